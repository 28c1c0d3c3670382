// Many readers and the window thread at once: reader threads decode reports from several devices
// while the window thread switches and reloads sets, carries out queued events, fires timers and
// lets a report target take reports. Meant to be run under ThreadSanitizer (scripts/tsan); in the
// ordinary build it is a quick check that the engine ends holding nothing.
#include <gtest/gtest.h>

#include <atomic>
#include <deque>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "engine.h"
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
using ringdeck::testing::scrollSlot;
using ringdeck::testing::systemRepeatSlot;
using ringdeck::testing::VirtualTimers;

constexpr const char* kPath = "C:\\windows\\system32\\OrvanelRingDeck.pref";
constexpr int kDevices = 4;
constexpr int kReportsPerDevice = 20000;

// Opening happens on the window thread only; the devices live as long as the test.
struct Port : DevicePort {
  std::deque<ScriptedDevice> devices{kDevices};
  void enumerate(const std::function<void(const std::string&)>& found) override {
    for (std::size_t i = 0; i < devices.size(); ++i) found(std::to_string(i));
  }
  std::unique_ptr<DeviceHandle> open(const std::string& path, DeviceIdentity& id) override {
    const std::size_t i = std::stoul(path);
    if (i >= devices.size()) return nullptr;
    id = {kMakerVendor, kMakerController};
    return devices[i].handle();
  }
};

// What readers and the window thread both call: status, report target, wake-ups.
struct Receivers : ReportSender, StatusSink, WarningBox, EngineWaker {
  std::atomic<int> wakes{0};
  std::atomic<int> statuses{0};
  std::atomic<int> offered{0};
  std::uintptr_t sendReportNotify(WindowId, std::uint32_t, std::uint32_t) override {
    ++offered;
    return kReportTaken;
  }
  void statusNotify(std::uint32_t, std::uint32_t) override { ++statuses; }
  void incompatibleDevice() override {}
  void wake() override { ++wakes; }
};

std::vector<SettingsRecord> threeSets() {
  std::vector<SettingsRecord> sets(3);
  setName(sets[0], "Global");
  setName(sets[1], "One");
  setName(sets[2], "Two");
  for (std::size_t s = 0; s < sets.size(); ++s) {
    auto& slots = sets[s].slots;
    const auto k = static_cast<std::uint8_t>('A' + 5 * s);
    slots[SlotIndex::button(0)] = keystrokeSlot(ModControl, k, kRepeatOnce, true);
    slots[SlotIndex::button(1)] = keystrokeSlot(ModShift, k + 1, kRepeatHold, true);
    slots[SlotIndex::button(2)] = keystrokeSlot(0, k + 2, 3, false);
    slots[SlotIndex::button(3)] = systemRepeatSlot(ModAlt, k + 3, true);
    slots[SlotIndex::button(4)] = scrollSlot(ActionKind::ScrollUp, 2, 0, false);
  }
  return sets;
}

Report randomReport(std::mt19937& rng) {
  const auto buttons = static_cast<std::uint16_t>(rng() & 0x1F);
  const int shuttle = static_cast<int>(rng() % 15) - 7;
  return Report{0, static_cast<std::uint8_t>(static_cast<std::int8_t>(shuttle)),
                static_cast<std::uint8_t>(rng()), 0, static_cast<std::uint8_t>(buttons), 0, 0, 0};
}

TEST(EngineStress, ReadersAndTheWindowThreadTogetherLeaveNothingHeld) {
  MemoryFileSystem files;
  HeapSectionFactory sections;
  VirtualTimers timers;
  RecordingSink sink{timers};
  Receivers receivers;
  Port port;
  Engine engine{EnginePorts{files, sections, sink, timers, receivers, receivers, receivers, port, receivers},
                kPath};
  {
    auto f = files.open(kPath, OpenMode::ReadWriteCreateNew);
    ASSERT_TRUE(writeSettingsFile(*f, threeSets()));
  }
  ASSERT_TRUE(engine.loadSettings());

  // The window thread's side of a 0x414: one call per wake-up.
  auto drain = [&] {
    while (receivers.wakes.load() > 0) {
      --receivers.wakes;
      engine.onQueuedEvent();
    }
  };

  // Devices 0..kDevices-2 are there from the start; the last arrives while the others run.
  for (int i = 0; i + 1 < kDevices; ++i) ASSERT_EQ(engine.deviceArrived(std::to_string(i)), OpenResult::Taken);

  std::atomic<int> feedersDone{0};
  std::vector<std::thread> feeders;
  auto feed = [&](int device) {
    std::mt19937 rng(static_cast<std::uint32_t>(device * 7919 + 1));
    ScriptedDevice& d = port.devices[static_cast<std::size_t>(device)];
    for (int n = 0; n < kReportsPerDevice; ++n) {
      d.push(randomReport(rng));
      if (n % 64 == 63) std::this_thread::yield();
    }
    // Every device ends with nothing pressed, then is lost.
    d.push(Report{});
    if (!d.idle()) ADD_FAILURE() << "reader of device " << device << " did not take its reports";
    d.unplug();
    ++feedersDone;
  };
  for (int i = 0; i + 1 < kDevices; ++i) feeders.emplace_back(feed, i);

  bool lastPlugged = false;
  bool targetRegistered = false;
  std::uint32_t round = 0;
  while (feedersDone.load() < kDevices) {
    ++round;
    drain();
    timers.advance(1 + round % 7, [&](std::uint16_t id) { engine.onTimer(id); });
    switch (round % 8) {
      case 0:
        engine.changeCurrentSet(round % 3);
        break;
      case 2:
        EXPECT_TRUE(engine.reloadSettings(engine.currentSetIndex(), 3));
        break;
      case 4:
        engine.setKeyboardRepeatSpeed(round % 32);
        break;
      case 6:
        // A window takes the reports for a while, then hands them back.
        if (round % 48 == 6) {
          EXPECT_EQ(engine.reportRequest(targetRegistered ? kReportExchange : kReportRegister,
                                         targetRegistered ? 0 : 0x42),
                    targetRegistered ? 0x42u : 0u);
          targetRegistered = !targetRegistered;
        }
        break;
      default:
        EXPECT_LE(engine.deviceCount(), static_cast<std::uint32_t>(kDevices));
        break;
    }
    if (!lastPlugged && round == 200) {
      ASSERT_EQ(engine.deviceArrived(std::to_string(kDevices - 1)), OpenResult::Taken);
      feeders.emplace_back(feed, kDevices - 1);
      lastPlugged = true;
    }
    if (round % 16 == 0) std::this_thread::yield();
  }
  if (!lastPlugged) {
    ASSERT_EQ(engine.deviceArrived(std::to_string(kDevices - 1)), OpenResult::Taken);
    feeders.emplace_back(feed, kDevices - 1);
    while (feedersDone.load() < kDevices) drain();
  }
  for (auto& t : feeders) t.join();
  engine.waitForReaders();
  if (targetRegistered) engine.reportRequest(kReportExchange, 0);

  // Deferred releases have their time, then the engine stops.
  drain();
  timers.advance(2000, [&](std::uint16_t id) { engine.onTimer(id); });
  drain();
  EXPECT_EQ(engine.deviceCount(), 0u);
  EXPECT_TRUE(sink.down.empty()) << "a key was left down";
  EXPECT_EQ(engine.output().refusedUps(), 0u);
  EXPECT_TRUE(engine.output().idle());
  EXPECT_EQ(timers.running(), 0u);
  engine.releaseEverything();
  EXPECT_TRUE(sink.down.empty());
  EXPECT_TRUE(engine.output().idle());
  EXPECT_GT(receivers.statuses.load(), 2 * kDevices);
  EXPECT_FALSE(sink.log.empty());
}

}  // namespace
}  // namespace ringdeck::engine
