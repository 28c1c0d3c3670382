#include "engine_setup.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "protocol.h"

namespace ringdeck::engine {
namespace {

struct FakeServices : ServiceControl {
  bool managerOk = true, exists = false, running = false, startOk = true, deleteOk = true;
  int stopPendingPolls = 0;  // queries answering stop-pending before stopped
  bool stopAccepted = true;
  std::string command;
  bool openManager() override { return managerOk; }
  bool createService(const std::string& c) override {
    if (exists) return false;
    exists = true;
    command = c;
    return true;
  }
  bool openService() override { return exists; }
  bool startService() override { return running = startOk; }
  bool requestStop() override { return running && stopAccepted; }
  ServiceState queryState() override {
    if (stopPendingPolls-- > 0) return ServiceState::StopPending;
    running = false;
    return ServiceState::Stopped;
  }
  bool deleteService() override {
    if (!deleteOk) return false;
    exists = false;
    return true;
  }
  void closeAll() override {}
};

struct FakeDesktop : SetupDesktop {
  std::string path = "C:\\Program Files\\RingDeck\\RingDeckEngine.exe";
  bool pathOk = true, registryOk = true, startOk = true;
  std::map<std::string, std::string> runValues;
  std::set<std::string> windows;
  int engineQuitAfterWaits = 0;  // the engine window goes after this many waits
  std::vector<std::string> started, posted, sent;
  std::vector<std::pair<std::string, MessageIcon>> messages;
  std::uint32_t slept = 0;

  bool modulePath(std::size_t maxChars, std::string& out) override {
    EXPECT_EQ(maxChars, 2042u);
    out = path;
    return pathOk;
  }
  bool setRunValue(const char* key, const std::string& command) override {
    if (!registryOk) return false;
    runValues[key] = command;
    return true;
  }
  bool deleteRunValue(const char* key) override { return registryOk && runValues.erase(key) == 1; }
  bool startProcess(const std::string& command) override {
    started.push_back(command);
    return startOk;
  }
  bool windowExists(const char* cls) override { return windows.count(cls) != 0; }
  void postQuit(const char* cls) override { posted.push_back(cls); }
  void sendQuit(const char* cls) override { sent.push_back(cls); }
  void sleepMs(std::uint32_t ms) override {
    slept += ms;
    if (engineQuitAfterWaits-- == 1) windows.erase(kEngineWindowClass);
  }
  void message(std::string_view text, MessageIcon icon) override { messages.emplace_back(text, icon); }
};

using Messages = std::vector<std::pair<std::string, MessageIcon>>;
const auto kExcl = MessageIcon::Exclamation;
const auto kInfo = MessageIcon::Information;

TEST(Install, ServicePathRegistersAndStartsWithTheQuotedCommand) {
  FakeServices s;
  FakeDesktop d;
  EXPECT_EQ(installEngine(PlatformKind::NtService, s, d), 0);
  EXPECT_EQ(s.command, "\"C:\\Program Files\\RingDeck\\RingDeckEngine.exe\" -run");
  EXPECT_TRUE(s.running);
  EXPECT_EQ(d.messages, (Messages{{std::string(kMsgRegistered), kInfo}}));
}

TEST(Install, ServicePathFailures) {
  {
    FakeServices s;
    s.exists = true;  // already registered
    FakeDesktop d;
    installEngine(PlatformKind::NtService, s, d);
    EXPECT_EQ(d.messages, (Messages{{std::string(kMsgUnableToRegister), kExcl}}));
  }
  {
    FakeServices s;
    s.managerOk = false;
    FakeDesktop d;
    installEngine(PlatformKind::NtService, s, d);
    EXPECT_EQ(d.messages, (Messages{{std::string(kMsgUnableToRegister), kExcl}}));
  }
  {
    FakeServices s;
    s.startOk = false;
    FakeDesktop d;
    installEngine(PlatformKind::NtService, s, d);
    EXPECT_EQ(d.messages, (Messages{{std::string(kMsgRegistered), kInfo}, {std::string(kMsgUnableToStart), kExcl}}));
  }
  {
    FakeServices s;
    FakeDesktop d;
    d.pathOk = false;
    EXPECT_EQ(installEngine(PlatformKind::NtService, s, d), 0);
    EXPECT_EQ(d.messages, (Messages{{std::string(kMsgUnableToRegister), kExcl}}));
    EXPECT_FALSE(s.exists);
  }
}

TEST(Install, OverlongPathEndsSilently) {
  FakeServices s;
  FakeDesktop d;
  d.path = std::string(2040, 'p');  // 2040 + 4 + 4 >= 2048
  EXPECT_EQ(installEngine(PlatformKind::NtService, s, d), 0);
  EXPECT_TRUE(d.messages.empty());
  EXPECT_FALSE(s.exists);
  d.path = std::string(2039, 'p');
  installEngine(PlatformKind::NtService, s, d);
  EXPECT_TRUE(s.exists);
}

TEST(Install, RunEntryPathsWriteTheirKeyAndStartAtOnceWithoutMessage) {
  struct Case {
    PlatformKind platform;
    const char* key;
  };
  for (const Case c : {Case{PlatformKind::Windows9x, kRunServicesKey}, Case{PlatformKind::NtSession, kRunKey}}) {
    FakeServices s;
    FakeDesktop d;
    EXPECT_EQ(installEngine(c.platform, s, d), 0);
    EXPECT_EQ(d.runValues[c.key], "\"C:\\Program Files\\RingDeck\\RingDeckEngine.exe\" -run");
    EXPECT_EQ(d.started, std::vector<std::string>{d.runValues[c.key]});
    EXPECT_TRUE(d.messages.empty());
    EXPECT_FALSE(s.exists);
  }
}

TEST(Install, RunEntryFailures) {
  {
    FakeServices s;
    FakeDesktop d;
    d.registryOk = false;
    installEngine(PlatformKind::NtSession, s, d);
    EXPECT_EQ(d.messages, (Messages{{std::string(kMsgUnableToRegister), kExcl}}));
    EXPECT_TRUE(d.started.empty());
  }
  {
    FakeServices s;
    FakeDesktop d;
    d.startOk = false;
    installEngine(PlatformKind::Windows9x, s, d);
    EXPECT_EQ(d.messages, (Messages{{std::string(kMsgUnableToStart), MessageIcon::Stop}}));
  }
}

TEST(Install, RunningEngineIsNotStartedTwice) {
  FakeServices s;
  FakeDesktop d;
  d.windows.insert(kEngineWindowClass);
  installEngine(PlatformKind::NtSession, s, d);
  EXPECT_EQ(d.runValues.size(), 1u);
  EXPECT_TRUE(d.started.empty());
  EXPECT_TRUE(d.messages.empty());
}

TEST(Remove, ServicePathStopsWaitsAndDeletes) {
  FakeServices s;
  s.exists = s.running = true;
  s.stopPendingPolls = 2;
  FakeDesktop d;
  d.windows.insert(kHelperWindowClass);
  EXPECT_EQ(removeEngine(PlatformKind::NtService, s, d), 0);
  EXPECT_EQ(d.posted, std::vector<std::string>{kHelperWindowClass});  // the helper is ended
  EXPECT_EQ(d.slept, 2000u);
  EXPECT_FALSE(s.exists);
  EXPECT_EQ(d.messages, (Messages{{std::string(kMsgUnregistered), kInfo}}));
}

TEST(Remove, ServicePathCases) {
  struct Case {
    const char* what;
    bool managerOk, exists, running, deleteOk;
    int pendingPolls;
    Messages expected;
  };
  const Case cases[] = {
      {"no manager", false, true, true, true, 0, {{std::string(kMsgNoServiceManager), kExcl}}},
      {"not registered", true, false, false, true, 0, {{std::string(kMsgRegistrationNotFound), kExcl}}},
      {"registered but stopped", true, true, false, true, 0, {{std::string(kMsgUnregistered), kInfo}}},
      {"delete fails", true, true, false, false, 0, {{std::string(kMsgUnableToUnregister), kExcl}}},
      {"stuck stopping", true, true, true, true, 1000,
       {{std::string(kMsgUnableToUnregister), kExcl}, {std::string(kMsgUnregistered), kInfo}}},
  };
  for (const Case& c : cases) {
    FakeServices s;
    s.managerOk = c.managerOk;
    s.exists = c.exists;
    s.running = c.running;
    s.deleteOk = c.deleteOk;
    s.stopPendingPolls = c.pendingPolls;
    FakeDesktop d;
    EXPECT_EQ(removeEngine(PlatformKind::NtService, s, d), 0) << c.what;
    EXPECT_EQ(d.messages, c.expected) << c.what;
    EXPECT_LE(d.slept, 60000u) << c.what;  // never waits for ever
  }
}

TEST(Remove, RunEntryPathDeletesTheValueAndQuitsTheEngineWindow) {
  FakeServices s;
  FakeDesktop d;
  d.runValues[kRunKey] = "x";
  d.windows.insert(kEngineWindowClass);
  d.engineQuitAfterWaits = 3;
  EXPECT_EQ(removeEngine(PlatformKind::NtSession, s, d), 0);
  EXPECT_TRUE(d.runValues.empty());
  EXPECT_EQ(d.sent, std::vector<std::string>{kEngineWindowClass});
  EXPECT_EQ(d.slept, 300u);
  EXPECT_TRUE(d.messages.empty());
}

TEST(Remove, RunEntryPathCases) {
  {
    // Not running: the value goes, and the user is told the engine could not be stopped.
    FakeServices s;
    FakeDesktop d;
    d.runValues[kRunServicesKey] = "x";
    removeEngine(PlatformKind::Windows9x, s, d);
    EXPECT_TRUE(d.runValues.empty());
    EXPECT_EQ(d.messages, (Messages{{std::string(kMsgUnableToStop), kExcl}}));
  }
  {
    // No value and an engine that never goes: both failures are told, after 50 waits.
    FakeServices s;
    FakeDesktop d;
    d.windows.insert(kEngineWindowClass);
    d.engineQuitAfterWaits = -1;
    removeEngine(PlatformKind::NtSession, s, d);
    EXPECT_EQ(d.slept, 5000u);
    EXPECT_EQ(d.messages, (Messages{{std::string(kMsgUnableToUnregister), kExcl},
                                     {std::string(kMsgUnableToStop), kExcl}}));
  }
}

TEST(Platform, KindFollowsPlatformAndVersion) {
  EXPECT_EQ(platformKind(1, 4), PlatformKind::Windows9x);
  EXPECT_EQ(platformKind(2, 5), PlatformKind::NtService);
  EXPECT_EQ(platformKind(2, 6), PlatformKind::NtSession);
  EXPECT_EQ(platformKind(2, 10), PlatformKind::NtSession);
  EXPECT_EQ(platformKind(0, 3), PlatformKind::Unknown);
}

}  // namespace
}  // namespace ringdeck::engine
