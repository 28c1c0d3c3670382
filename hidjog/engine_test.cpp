// The engine put together, with scripted devices on reader threads, a recording sink and a
// virtual clock: what a report sequence makes the engine send, and that nothing stays held.
#include "engine.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>

#include "engine_test_support.h"
#include "memory_file.h"
#include "protocol.h"
#include "settings_io.h"

namespace ringdeck::engine {
namespace {

using ringdeck::testing::RecordingSink;
using ringdeck::testing::VirtualTimers;

constexpr const char* kPath = "C:\\windows\\system32\\OrvanelRingDeck.pref";

// A device whose reports the test pushes; idle() waits until the reader has handled them all.
class ScriptedDevice {
 public:
  void push(const Report& r) {
    std::lock_guard l(m_);
    q_.push_back(r);
    cv_.notify_all();
  }
  void unplug() {
    std::lock_guard l(m_);
    gone_ = true;
    cv_.notify_all();
  }
  bool read(Report& r) {
    std::unique_lock l(m_);
    waiting_ = true;
    cv_.notify_all();
    cv_.wait(l, [&] { return gone_ || !q_.empty(); });
    waiting_ = false;
    if (q_.empty()) return false;
    r = q_.front();
    q_.pop_front();
    return true;
  }
  void idle() {
    std::unique_lock l(m_);
    ASSERT_TRUE(cv_.wait_for(l, std::chrono::seconds(5), [&] { return waiting_ && q_.empty(); }));
  }

 private:
  std::mutex m_;
  std::condition_variable cv_;
  std::deque<Report> q_;
  bool gone_ = false;
  bool waiting_ = false;
};

struct ScriptedPort : DevicePort {
  std::map<std::string, ScriptedDevice> devices;
  void enumerate(const std::function<void(const std::string&)>& found) override {
    for (auto& [path, d] : devices) found(path);
  }
  std::unique_ptr<DeviceHandle> open(const std::string& path, DeviceIdentity& id) override {
    auto it = devices.find(path);
    if (it == devices.end()) return nullptr;
    id = {kMakerVendor, kMakerController};
    struct Handle : DeviceHandle {
      ScriptedDevice* d;
      bool readReport(Report& r) override { return d->read(r); }
    };
    auto h = std::make_unique<Handle>();
    h->d = &it->second;
    return h;
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

ActionSlot keystroke(std::uint16_t mods, std::uint8_t key, std::uint16_t repeat, bool sync) {
  ActionSlot s{};
  s.kind = static_cast<std::uint16_t>(ActionKind::Keystroke);
  s.modifiers = mods;
  s.keyCode = key;
  s.wheelNotches = -1;
  s.repeatPeriod = repeat;
  s.syncRelease = sync ? 1 : 0;
  return s;
}

Report buttons(std::uint16_t b) { return Report{0, 0, 0, 0, static_cast<std::uint8_t>(b), static_cast<std::uint8_t>(b >> 8), 0, 0}; }

class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::vector<SettingsRecord> sets(3);
    setName(sets[0], "Global");
    sets[0].slots[SlotIndex::button(0)] = keystroke(ModControl, 'C', kRepeatOnce, true);
    sets[0].slots[SlotIndex::button(1)] = keystroke(ModShift, 'H', kRepeatHold, true);
    setName(sets[1], "One");
    setName(sets[2], "Two");
    sets[2].slots[SlotIndex::button(1)] = keystroke(0, 'Z', kRepeatHold, true);
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
      d.idle();
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

TEST_F(EngineTest, StoppingReleasesEverythingHeld) {
  ScriptedDevice& d = plug("dev");
  play(d, {buttons(0), buttons(2)});
  engine.releaseEverything();
  EXPECT_TRUE(sink.down.empty());
  EXPECT_EQ(sink.log.back(), "0 -H -Shift");
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
