// The engine put together, with scripted devices on reader threads, a recording sink and a
// virtual clock: what a report sequence makes the engine send, and that nothing stays held.
#include "engine.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <future>
#include <thread>
#include <map>
#include <mutex>

#include "engine_test_support.h"
#include "memory_file.h"
#include "protocol.h"
#include "scripted_device.h"
#include "settings_io.h"

namespace ringdeck::engine {
namespace {

using ringdeck::engine::testing::ScriptedDevice;
using ringdeck::testing::keystrokeSlot;
using ringdeck::testing::RecordingSink;
using ringdeck::testing::VirtualTimers;

constexpr const char* kPath = "C:\\windows\\system32\\OrvanelRingDeck.pref";

struct ScriptedPort : DevicePort {
  std::map<std::string, ScriptedDevice> devices;
  void enumerate(const std::function<void(const std::string&)>& found) override {
    for (auto& [path, d] : devices) found(path);
  }
  std::unique_ptr<DeviceHandle> open(const std::string& path, DeviceIdentity& id) override {
    auto it = devices.find(path);
    if (it == devices.end()) return nullptr;
    id = {kMakerVendor, kMakerController};
    return it->second.handle();
  }
};

struct Recorders : ReportSender, StatusSink, WarningBox, EngineWaker {
  std::mutex m;
  std::vector<std::pair<std::uint32_t, std::uint32_t>> statuses;
  std::atomic<int> wakes{0};
  std::uintptr_t reply = kReportTaken;
  std::uintptr_t sendReportNotify(WindowId, std::uint32_t, std::uint32_t) override { return reply; }
  void statusNotify(std::uint32_t index, std::uint32_t count) override {
    std::lock_guard l(m);
    statuses.emplace_back(index, count);
  }
  void incompatibleDevice() override {}
  void wake() override { ++wakes; }
  std::pair<std::uint32_t, std::uint32_t> lastStatus() {
    std::lock_guard l(m);
    return statuses.empty() ? std::pair<std::uint32_t, std::uint32_t>{99, 99} : statuses.back();
  }
};

Report buttons(std::uint16_t b) { return Report{0, 0, 0, 0, static_cast<std::uint8_t>(b), static_cast<std::uint8_t>(b >> 8), 0, 0}; }

class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::vector<SettingsRecord> sets(3);
    setName(sets[0], "Global");
    sets[0].slots[SlotIndex::button(0)] = keystrokeSlot(ModControl, 'C', kRepeatOnce, true);
    sets[0].slots[SlotIndex::button(1)] = keystrokeSlot(ModShift, 'H', kRepeatHold, true);
    setName(sets[1], "One");
    setName(sets[2], "Two");
    sets[2].slots[SlotIndex::button(1)] = keystrokeSlot(0, 'Z', kRepeatHold, true);
    auto f = files.open(kPath, OpenMode::ReadWriteCreateNew);
    ASSERT_TRUE(writeSettingsFile(*f, sets));
    ASSERT_TRUE(engine.loadSettings());
  }
  void TearDown() override {
    for (auto& [p, d] : port.devices) d.unplug();
    engine.waitForReaders();
    drain();
    engine.releaseEverything();
    EXPECT_TRUE(sink.down.empty()) << "a key was left down";
    EXPECT_TRUE(engine.output().idle());
  }
  // The window thread's side: one 0x414 per wake-up.
  void drain() {
    while (recorders.wakes > 0) {
      --recorders.wakes;
      engine.onQueuedEvent();
    }
  }
  ScriptedDevice& plug(const std::string& path) {
    ScriptedDevice& d = port.devices[path];
    EXPECT_EQ(engine.deviceArrived(path), OpenResult::Taken);
    return d;
  }
  void play(ScriptedDevice& d, std::initializer_list<Report> reports) {
    for (const Report& r : reports) {
      d.push(r);
      ASSERT_TRUE(d.idle());
      drain();
    }
  }

  MemoryFileSystem files;
  HeapSectionFactory sections;
  VirtualTimers timers;
  RecordingSink sink{timers};
  Recorders recorders;
  ScriptedPort port;
  Engine engine{EnginePorts{files, sections, sink, timers, recorders, recorders, recorders, port, recorders}, kPath};
};

TEST_F(EngineTest, AButtonPressTypesItsKeystroke) {
  ScriptedDevice& d = plug("dev");
  play(d, {buttons(0), buttons(1), buttons(0)});
  EXPECT_EQ(sink.log, (std::vector<std::string>{"0 +Ctrl +C", "0 -C -Ctrl"}));
}

TEST_F(EngineTest, DeviceCountAndCurrentSetReachTheHelper) {
  ScriptedDevice& d = plug("dev");
  EXPECT_EQ(recorders.lastStatus(), std::make_pair(0u, 1u));
  engine.changeCurrentSet(2);
  EXPECT_EQ(recorders.lastStatus(), std::make_pair(2u, 1u));
  engine.changeCurrentSet(3);  // not in the image: the global set
  EXPECT_EQ(recorders.lastStatus(), std::make_pair(0u, 1u));
  d.unplug();
  engine.waitForReaders();
  EXPECT_EQ(recorders.lastStatus(), std::make_pair(0u, 0u));
}

TEST_F(EngineTest, LosingADeviceReleasesWhatItHeldBeforeTheCountDrops) {
  ScriptedDevice& d = plug("dev");
  play(d, {buttons(0), buttons(2)});
  EXPECT_EQ(sink.log, (std::vector<std::string>{"0 +Shift +H"}));
  d.unplug();
  engine.waitForReaders();
  drain();
  EXPECT_EQ(sink.log.back(), "0 -H -Shift");
  EXPECT_TRUE(sink.down.empty());
}

TEST_F(EngineTest, ASetSwitchWhileHeldReleasesWhatThePressSent) {
  ScriptedDevice& d = plug("dev");
  play(d, {buttons(0), buttons(2)});
  engine.changeCurrentSet(2);  // button 1 types Z there
  play(d, {buttons(0)});
  EXPECT_EQ(sink.log, (std::vector<std::string>{"0 +Shift +H", "0 -H -Shift"}));
}

TEST_F(EngineTest, ReportsTakenByTheTargetPressNothing) {
  ScriptedDevice& d = plug("dev");
  play(d, {buttons(0)});
  EXPECT_EQ(engine.reportRequest(kReportRegister, 0x42), 0u);
  play(d, {buttons(1), buttons(0), buttons(2)});
  EXPECT_TRUE(sink.log.empty());
  // Handed back: the next report is measured from the last one taken, so nothing stored up
  // follows. The release of the button pressed meanwhile is a change of its own: it may let keys
  // go, but never presses one.
  EXPECT_EQ(engine.reportRequest(kReportExchange, 0), 0x42u);
  play(d, {buttons(2)});
  EXPECT_TRUE(sink.log.empty());
  play(d, {buttons(0)});
  for (const std::string& line : sink.log) EXPECT_EQ(line.find('+'), std::string::npos) << line;
}

// A report queues a press and its release; of their two 0x414 messages only one arrives (the
// other post failed). The engine still carries out both: the key does not stay down.
TEST_F(EngineTest, AFailedPostLeavesNoEventBehind) {
  ScriptedDevice& d = plug("dev");
  play(d, {buttons(0)});
  d.push(buttons(1));
  ASSERT_TRUE(d.idle());
  ASSERT_EQ(recorders.wakes, 2);
  recorders.wakes = 1;
  drain();
  EXPECT_EQ(sink.log, (std::vector<std::string>{"0 +Ctrl +C", "0 -C -Ctrl"}));
}

// More events than one message carries: the engine posts again for the rest by itself.
TEST_F(EngineTest, EventsBeyondOneMessagesShareArePostedAgain) {
  ScriptedDevice& d = plug("dev");
  play(d, {buttons(0)});
  for (int i = 0; i < 12; ++i) d.push(buttons(i % 2 == 0 ? 1 : 0));
  ASSERT_TRUE(d.idle());
  ASSERT_EQ(recorders.wakes, 12);  // six typed shortcuts, press and release each
  recorders.wakes = 0;
  engine.onQueuedEvent();
  EXPECT_EQ(recorders.wakes, 0);  // twelve waited: one message was enough
  for (int i = 0; i < 24; ++i) d.push(buttons(i % 2 == 0 ? 1 : 0));
  ASSERT_TRUE(d.idle());
  recorders.wakes = 0;
  engine.onQueuedEvent();
  EXPECT_EQ(recorders.wakes, 1);
  drain();
  EXPECT_EQ(sink.log.size(), 36u);
}

TEST_F(EngineTest, StoppingReleasesEverythingHeld) {
  ScriptedDevice& d = plug("dev");
  play(d, {buttons(0), buttons(2)});
  engine.releaseEverything();
  EXPECT_TRUE(sink.down.empty());
  EXPECT_EQ(sink.log.back(), "0 -H -Shift");
}

// A device that goes on reporting while the engine stops: the stop ends, leaves nothing held,
// and what the device reports afterwards presses nothing.
TEST_F(EngineTest, StoppingEndsWhileADeviceKeepsReporting) {
  ScriptedDevice& d = plug("dev");
  play(d, {buttons(2)});  // Shift+H held
  std::atomic<bool> streaming{true};
  std::thread device([&] {
    for (std::uint16_t n = 0; streaming; ++n) {
      d.push(buttons(static_cast<std::uint16_t>(2 | (n & 1))));
      std::this_thread::yield();
    }
  });
  std::promise<void> stopped;
  auto done = stopped.get_future();
  std::thread window([&] {
    engine.releaseEverything();
    stopped.set_value();
  });
  // A hang shows as a failure here instead of a test that never ends.
  if (done.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
    streaming = false;
    device.join();
    window.join();
    FAIL() << "the stop did not end while the device kept reporting";
  }
  EXPECT_TRUE(sink.down.empty()) << "a key was left down";
  const std::size_t typed = sink.log.size();
  d.push(buttons(1));
  EXPECT_TRUE(d.idle());
  streaming = false;
  device.join();
  window.join();
  ASSERT_TRUE(d.idle());
  drain();
  EXPECT_EQ(sink.log.size(), typed) << "a report after the stop was acted on";
  EXPECT_TRUE(sink.down.empty());
}

TEST_F(EngineTest, ReloadAppliesTheIndexRuleAndTellsTheHelper) {
  engine.changeCurrentSet(2);
  std::vector<SettingsRecord> two(2);
  auto f = files.open(kPath, OpenMode::ReadWriteCreateNew);
  ASSERT_TRUE(writeSettingsFile(*f, two));
  f.reset();
  ASSERT_TRUE(engine.reloadSettings(1, 2));  // set 1 removed; the last set moved into its place
  EXPECT_EQ(engine.currentSetIndex(), 1u);
  EXPECT_EQ(recorders.lastStatus(), std::make_pair(1u, 0u));
}

}  // namespace
}  // namespace ringdeck::engine
