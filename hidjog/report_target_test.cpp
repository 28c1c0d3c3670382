#include "report_target.h"

#include <gtest/gtest.h>

#include <vector>

#include "protocol.h"

namespace ringdeck::engine {
namespace {

struct ScriptedSender : ReportSender {
  std::uintptr_t reply = kReportNotTaken;
  struct Sent {
    WindowId target;
    std::uint32_t low, high;
  };
  std::vector<Sent> sent;
  std::uintptr_t sendReportNotify(WindowId target, std::uint32_t low, std::uint32_t high) override {
    sent.push_back({target, low, high});
    return reply;
  }
};

constexpr std::array<std::uint8_t, 8> kReport{0x01, 0x03, 0xFE, 0x00, 0x01, 0x10, 0x00, 0x00};

TEST(ReportRequest, RepliesAsTheProtocolSays) {
  ReportTarget t;
  EXPECT_EQ(t.handleRequest(1, 0), 3u);       // no window given
  EXPECT_EQ(t.handleRequest(2, 0), 2u);       // nothing to stop
  EXPECT_EQ(t.handleRequest(1, 0x100), 0u);   // registered
  EXPECT_EQ(t.handleRequest(1, 0x200), 2u);   // one is already there: it stays
  EXPECT_EQ(t.current(), 0x100u);
  EXPECT_EQ(t.handleRequest(3, 0x300), 0x100u);  // exchange replies the previous target
  EXPECT_EQ(t.handleRequest(3, 0), 0x300u);
  EXPECT_EQ(t.handleRequest(3, 0), 0u);
  EXPECT_EQ(t.handleRequest(1, 0x400), 0u);
  EXPECT_EQ(t.handleRequest(2, 0), 0u);
  EXPECT_EQ(t.current(), 0u);
  EXPECT_EQ(t.handleRequest(0, 0x500), 1u);
  EXPECT_EQ(t.handleRequest(4, 0x500), 1u);
  EXPECT_EQ(t.current(), 0u);
}

TEST(ReportNotify, CarriesTheReportAsTwoLittleEndianWords) {
  ReportTarget t;
  ScriptedSender s;
  t.handleRequest(1, 0x100);
  EXPECT_FALSE(t.offer(s, kReport));
  ASSERT_EQ(s.sent.size(), 1u);
  EXPECT_EQ(s.sent[0].target, 0x100u);
  EXPECT_EQ(s.sent[0].low, 0x00FE0301u);
  EXPECT_EQ(s.sent[0].high, 0x00001001u);
}

TEST(ReportNotify, ReplyDecidesTakenAndDropsABadTarget) {
  struct Case {
    std::uintptr_t reply;
    bool taken;
    bool kept;
  };
  for (const Case c : {Case{kReportTaken, true, true}, Case{kReportNotTaken, false, true},
                       Case{0, false, false}, Case{1, false, false}}) {
    ReportTarget t;
    ScriptedSender s;
    s.reply = c.reply;
    t.handleRequest(1, 0x100);
    EXPECT_EQ(t.offer(s, kReport), c.taken) << c.reply;
    EXPECT_EQ(t.current() == 0x100u, c.kept) << c.reply;
  }
}

TEST(ReportNotify, NothingIsSentWithoutATarget) {
  ReportTarget t;
  ScriptedSender s;
  EXPECT_FALSE(t.offer(s, kReport));
  EXPECT_TRUE(s.sent.empty());
}

// A reader dropping a dead target must not drop one registered while it waited for the reply.
TEST(ReportNotify, BadReplyDoesNotDropATargetRegisteredMeanwhile) {
  ReportTarget t;
  struct Reregistering : ReportSender {
    ReportTarget* t;
    std::uintptr_t sendReportNotify(WindowId, std::uint32_t, std::uint32_t) override {
      t->handleRequest(3, 0x999);
      return 0;
    }
  } s;
  s.t = &t;
  t.handleRequest(1, 0x100);
  EXPECT_FALSE(t.offer(s, kReport));
  EXPECT_EQ(t.current(), 0x999u);
}

}  // namespace
}  // namespace ringdeck::engine
