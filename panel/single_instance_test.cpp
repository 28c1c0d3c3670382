// The single-instance channel against a mailslot kept in memory: what a second start puts into
// it, what the running instance does with it, and what a message of the wrong size does.
#include "single_instance.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "slot_message.h"

namespace ringdeck::panel {
namespace {

// A mailslot in memory with the real one's reading rules: a read with a buffer smaller than
// the next message fails and leaves it waiting.
class FakeMailslot final : public MailslotPort {
 public:
  bool isOwner = true;
  bool reachable = true;       // an owner exists to write to
  bool wineCount = false;      // report at most one waiting message, as Wine does
  int failQuestionsFrom = -1;  // questions from this one on fail
  bool refillOnRead = false;   // a writer that never stops
  std::uint32_t shortWrite = 0;
  std::deque<std::vector<std::uint8_t>> queue;
  std::vector<std::string> log;  // "write <kind> <text>", "announce"
  int questions = 0;

  bool owner() const override { return isOwner; }
  bool queryInfo(std::uint32_t& nextSize, std::uint32_t& count) override {
    if (failQuestionsFrom >= 0 && questions >= failQuestionsFrom) {
      ++questions;
      return false;
    }
    ++questions;
    nextSize = queue.empty() ? kNoMessage : static_cast<std::uint32_t>(queue.front().size());
    count = static_cast<std::uint32_t>(queue.size());
    if (wineCount && count > 1) count = 1;
    return true;
  }
  bool read(std::uint8_t* buffer, std::uint32_t size, std::uint32_t& bytesRead) override {
    if (queue.empty() || queue.front().size() > size) return false;
    bytesRead = static_cast<std::uint32_t>(queue.front().size());
    std::copy(queue.front().begin(), queue.front().end(), buffer);
    if (refillOnRead)
      queue.push_back(queue.front());
    queue.pop_front();
    return true;
  }
  bool write(const std::uint8_t* bytes, std::uint32_t size, std::uint32_t& written) override {
    if (!reachable) return false;
    written = shortWrite ? shortWrite : size;
    queue.emplace_back(bytes, bytes + written);
    const auto m = slotMessageFromBytes(bytes, size);
    log.push_back("write " + std::to_string(m->messageKind) + " " + std::string(slotText(*m)));
    return true;
  }
  void announce() override { log.push_back("announce"); }
};

class RecordingWindow final : public ChannelWindow {
 public:
  std::vector<std::string> events;
  void beep() override { events.push_back("beep"); }
  void bringToFront() override { events.push_back("front"); }
};

std::vector<std::uint8_t> bytesOf(std::uint32_t kind, std::string_view text, std::uint32_t pid = 77) {
  const SlotBytes b = slotMessageBytes(makeSlotMessage(kind, pid, text));
  return {b.begin(), b.end()};
}

const std::string k300(300, 'p');

TEST(SlotMessage, LaysOutKindSenderAndABoundedText) {
  struct Case {
    std::string text;
    std::size_t kept;
  } cases[] = {{"", 0}, {"C:\\clips\\take 1.wav", 19}, {std::string(259, 'a'), 259},
               {std::string(260, 'b'), 260}, {k300, 260}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text.size());
    const SlotBytes b = slotMessageBytes(makeSlotMessage(0x01020304, 0xA0B0C0D0, c.text));
    EXPECT_EQ((std::vector<int>{b[0], b[1], b[2], b[3], b[4], b[5], b[6], b[7]}),
              (std::vector<int>{4, 3, 2, 1, 0xD0, 0xC0, 0xB0, 0xA0}));
    EXPECT_EQ(std::string(b.begin() + 8, b.begin() + 8 + static_cast<long>(c.kept)),
              c.text.substr(0, c.kept));
    for (std::size_t i = 8 + c.kept; i < kSlotMessageSize; ++i) ASSERT_EQ(b[i], 0) << i;

    const auto back = slotMessageFromBytes(b.data(), b.size());
    ASSERT_TRUE(back);
    EXPECT_EQ(back->messageKind, 0x01020304u);
    EXPECT_EQ(back->senderProcessId, 0xA0B0C0D0u);
    EXPECT_EQ(slotText(*back), c.text.substr(0, c.kept));
  }
}

TEST(SlotMessage, OnlyExactly268BytesAreAMessage) {
  std::vector<std::uint8_t> bytes(400, 'x');
  for (std::size_t size : {0u, 8u, 267u, 269u, 400u})
    EXPECT_FALSE(slotMessageFromBytes(bytes.data(), size)) << size;
  EXPECT_FALSE(slotMessageFromBytes(nullptr, kSlotMessageSize));
  // A full text field without a zero reads back as its 260 characters, nothing beyond.
  const auto m = slotMessageFromBytes(bytes.data(), kSlotMessageSize);
  ASSERT_TRUE(m);
  EXPECT_EQ(slotText(*m), std::string(260, 'x'));
}

TEST(SingleInstance, SlotPathIsThePrefixAndTheName) {
  EXPECT_EQ(slotPathFor(kPanelSlotName), "\\\\.\\mailslot\\Once\\MailSlot\\RingDeck");
}

TEST(SingleInstance, HandOverWritesSixMessagesForThreeArgumentsThenAnnounces) {
  FakeMailslot slot;
  HandOver(slot, 4242, {"first", "C:\\My Clips\\a b.mov", k300});
  EXPECT_EQ(slot.log, (std::vector<std::string>{"write 0 ", "write 1 ", "write 2 first",
                                                "write 2 C:\\My Clips\\a b.mov",
                                                "write 2 " + k300.substr(0, 260), "write 3 ",
                                                "announce"}));
  for (const auto& bytes : slot.queue) {
    ASSERT_EQ(bytes.size(), kSlotMessageSize);
    EXPECT_EQ(slotMessageFromBytes(bytes.data(), bytes.size())->senderProcessId, 4242u);
  }
}

// The running instance reads everything a hand-over left, whether the mailslot reports the
// true number of waiting messages or, as Wine does, at most one.
TEST(SingleInstance, AimedWakeUpComesToTheFrontOnceAndEmptiesTheChannel) {
  for (bool wine : {false, true}) {
    SCOPED_TRACE(wine ? "count at most 1" : "true count");
    FakeMailslot slot;
    slot.wineCount = wine;
    HandOver(slot, 1, {"a", "b", k300});
    RecordingWindow window;
    ServeChannel(slot, true, window);
    EXPECT_EQ(window.events, std::vector<std::string>{"front"});
    EXPECT_TRUE(slot.queue.empty());
    // The later copies of the same broadcast find nothing.
    ServeChannel(slot, true, window);
    EXPECT_EQ(window.events, std::vector<std::string>{"front"});
  }
}

TEST(SingleInstance, WakeUpNotAimedAtTheMainWindowBeepsAndDropsTheRequest) {
  FakeMailslot slot;
  HandOver(slot, 1, {"a"});
  RecordingWindow window;
  ServeChannel(slot, false, window);
  EXPECT_EQ(window.events, std::vector<std::string>{"beep"});
  EXPECT_TRUE(slot.queue.empty());
  ServeChannel(slot, true, window);
  EXPECT_EQ(window.events, std::vector<std::string>{"beep"});
}

TEST(SingleInstance, WithoutTheChannelNothingHappens) {
  FakeMailslot slot;
  slot.queue.push_back(bytesOf(kSlotBringToFront, ""));
  slot.isOwner = false;
  RecordingWindow window;
  ServeChannel(slot, false, window);
  EXPECT_TRUE(window.events.empty());
  std::uint32_t count = 9, nextSize = 9;
  EXPECT_FALSE(PendingInfo(slot, count, nextSize));
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(nextSize, 0u);
  EXPECT_EQ(slot.questions, 0);
}

TEST(SingleInstance, PendingInfoAnswers) {
  struct Case {
    const char* what;
    std::vector<std::size_t> sizes;
    int failFrom;
    bool result;
    std::uint32_t count, nextSize;
    int questions;
  } cases[] = {
      {"empty", {}, -1, false, 0, 0, 1},
      {"one message", {268}, -1, true, 1, 268, 1},
      {"three messages", {268, 268, 268}, -1, true, 3, 268, 1},
      {"wrong size first", {100, 268}, -1, true, 2, 100, 10},
      {"question fails", {268}, 0, false, 0, 0, 1},
      {"last of the questions fails", {100}, 4, false, 0, 0, 5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FakeMailslot slot;
    slot.failQuestionsFrom = c.failFrom;
    for (std::size_t s : c.sizes) slot.queue.emplace_back(s, 0);
    std::uint32_t count = 9, nextSize = 9;
    EXPECT_EQ(PendingInfo(slot, count, nextSize), c.result);
    EXPECT_EQ(count, c.count);
    EXPECT_EQ(nextSize, c.nextSize);
    EXPECT_EQ(slot.questions, c.questions);
  }
}

TEST(SingleInstance, AWaitingMessageOfTheWrongSizeIsNeitherReadNorRemoved) {
  for (std::size_t size : {100u, 267u, 269u, 400u}) {
    SCOPED_TRACE(size);
    FakeMailslot slot;
    slot.queue.emplace_back(size, 1);
    slot.queue.push_back(bytesOf(kSlotBringToFront, ""));
    SlotMessage m{};
    EXPECT_FALSE(ReadSlotMessage(slot, m));
    EXPECT_EQ(slot.questions, kPendingQuestions);
    RecordingWindow window;
    ServeChannel(slot, true, window);
    EXPECT_TRUE(window.events.empty());
    ASSERT_EQ(slot.queue.size(), 2u);
    EXPECT_EQ(slot.queue.front().size(), size);
  }
}

TEST(SingleInstance, WritesThatFailAreReportedAndTheHandOverStillAnnounces) {
  FakeMailslot gone;
  gone.reachable = false;
  EXPECT_FALSE(WriteSlotMessage(gone, 1, kSlotStart, ""));
  HandOver(gone, 1, {"a"});
  EXPECT_EQ(gone.log, std::vector<std::string>{"announce"});

  FakeMailslot cut;
  cut.shortWrite = 200;
  EXPECT_FALSE(WriteSlotMessage(cut, 1, kSlotStart, ""));
  FakeMailslot fine;
  EXPECT_TRUE(WriteSlotMessage(fine, 1, kSlotStart, ""));
}

TEST(SingleInstance, AWriterThatNeverStopsDoesNotHoldTheWindow) {
  FakeMailslot slot;
  slot.refillOnRead = true;
  slot.queue.push_back(bytesOf(kSlotBringToFront, ""));
  RecordingWindow window;
  ServeChannel(slot, true, window);
  EXPECT_EQ(window.events.size(), static_cast<std::size_t>(kMaxMessagesPerWake));
}

}  // namespace
}  // namespace ringdeck::panel
