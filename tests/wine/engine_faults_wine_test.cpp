// The engine program under Wine when things go wrong around it: devices unplugged mid-hold, the
// engine stopped mid-hold, sets switched and reloaded mid-hold, a report target or a helper that
// hangs or is killed, a burst of reports that fills the event queue, several reports in one
// read. Every test ends with the observer seeing no key held.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <map>
#include <set>
#include <vector>

#include "device_table.h"
#include "engine_setup.h"
#include "engine_test_support.h"
#include "peer_standin.h"
#include "protocol.h"
#include "settings_io.h"
#include "win32_file.h"
#include "wine_support.h"

namespace ringdeck::wine {
namespace {

using engine::kMakerController;
using engine::kMakerVendor;
using ringdeck::testing::keystrokeSlot;
using ringdeck::testing::modifiersSlot;
using ringdeck::testing::scrollSlot;

const std::string kEngineVirtual = windowsPath(RINGDECK_ENGINE_VIRTUAL);
const std::string kPeer = windowsPath(RINGDECK_PEER_STANDIN);

std::vector<SettingsRecord> faultSets() {
  std::vector<SettingsRecord> sets(2);
  setName(sets[0], "Global Settings");
  auto& g = sets[0].slots;
  g[SlotIndex::button(0)] = keystrokeSlot(ModControl, 'C', kRepeatOnce, true);
  g[SlotIndex::button(1)] = keystrokeSlot(0, kKeypadEnter, kRepeatHold, true);
  g[SlotIndex::button(2)] = keystrokeSlot(0, VK_HOME, 10, true);                // repeats every 100 ms
  g[SlotIndex::button(3)] = keystrokeSlot(ModControl, 'X', kRepeatHold, false);  // released 500 ms late
  g[SlotIndex::button(4)] = keystrokeSlot(ModShift, 'A', kRepeatHold, true);
  g[SlotIndex::button(5)] = modifiersSlot(ModControl | ModShift, true);
  g[SlotIndex::button(6)] = scrollSlot(ActionKind::ScrollDown, 1, ModControl, true);
  g[SlotIndex::JogRight] = keystrokeSlot(0, VK_RIGHT, kRepeatOnce, true);
  g[SlotIndex::JogLeft] = keystrokeSlot(0, VK_LEFT, kRepeatOnce, true);
  g[SlotIndex::shuttleZone(3)] = keystrokeSlot(0, 'Z', kRepeatHold, true);
  g[SlotIndex::shuttleZone(-3)] = keystrokeSlot(ModShift, 'Y', kRepeatHold, false);
  setName(sets[1], "One");
  setTargetApp(sets[1], "ONE.EXE");
  sets[1].slots[SlotIndex::button(1)] = keystrokeSlot(0, 'Q', kRepeatHold, true);
  return sets;
}

using Report8 = std::array<std::uint8_t, 8>;

Report8 state(std::uint16_t buttons, std::int8_t shuttle = 0, std::uint8_t jog = 0) {
  return Report8{0, static_cast<std::uint8_t>(shuttle), jog, 0, static_cast<std::uint8_t>(buttons),
                 static_cast<std::uint8_t>(buttons >> 8), 0, 0};
}

std::size_t count(const std::vector<std::string>& lines, const std::string& line) {
  return static_cast<std::size_t>(std::count(lines.begin(), lines.end(), line));
}

class EngineFaults : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = settingsFilePath(ringdeck::win32::systemDirectory());
    writeSettings(faultSets());
    statusMessage_ = RegisterWindowMessageA(kMsgStatusNotify);
    listener_ = std::make_unique<StandInWindow>("RingDeckTestListener", "", [this](UINT m, WPARAM w, LPARAM l, LRESULT&) {
      if (m == WM_APP + 1) ++offered_;
      if (m == WM_APP + 2) addStatus(w, l);
      return false;
    });
  }

  void TearDown() override {
    stopEngine();
    helper_.reset();
    listener_.reset();
    files_.remove(path_);
    EXPECT_TRUE(heldKeys(observer_.lines()).empty()) << "a key was left down";
  }

  // A helper window in this process; while hang is set its answer to Status.Notify waits for
  // the hang event (at most 10 s).
  void standInHelper() {
    helper_ = std::make_unique<StandInWindow>(kHelperWindowClass, "", [this](UINT m, WPARAM w, LPARAM l, LRESULT&) {
      if (m == statusMessage_) {
        if (hangHelper_) WaitForSingleObject(hangEnd_, 10000);
        addStatus(w, l);
      }
      return false;
    });
  }

  void addStatus(WPARAM w, LPARAM l) {
    std::lock_guard lock(statusLock_);
    statuses_.emplace_back(static_cast<std::uint32_t>(w), static_cast<std::uint32_t>(l));
  }

  void writeSettings(const std::vector<SettingsRecord>& sets) {
    auto f = files_.open(path_, OpenMode::ReadWriteCreateNew);
    ASSERT_TRUE(f);
    ASSERT_TRUE(writeSettingsFile(*f, sets));
  }

  void startEngine() {
    ASSERT_EQ(FindWindowA(kEngineWindowClass, nullptr), nullptr) << "an engine of an earlier run is still there";
    ASSERT_TRUE(engine_.start(kEngineVirtual, "-run"));
    ASSERT_TRUE(waitUntil([] { return FindWindowA(kEngineWindowClass, nullptr) != nullptr; }, 10000));
    engineWindow_ = FindWindowA(kEngineWindowClass, nullptr);
    ASSERT_TRUE(devices_->waitForEngine());
  }

  void stopEngine() {
    if (!engine_.running()) return;
    if (HWND w = FindWindowA(kEngineWindowClass, nullptr)) SendMessageA(w, WM_QUIT, 0, 0);
    EXPECT_EQ(engine_.wait(5000), std::optional<DWORD>(0u));
  }

  std::pair<std::uint32_t, std::uint32_t> lastStatus() {
    std::lock_guard lock(statusLock_);
    return statuses_.empty() ? std::make_pair(99u, 99u) : statuses_.back();
  }
  std::size_t statusCount() {
    std::lock_guard lock(statusLock_);
    return statuses_.size();
  }
  bool statusBecomes(std::uint32_t index, std::uint32_t count) {
    return waitUntil([&] { return lastStatus() == std::make_pair(index, count); });
  }

  void play(int device, std::initializer_list<Report8> reports, DWORD gapMs = 30) {
    for (const Report8& r : reports) {
      ASSERT_TRUE(devices_->sendRaw(device, r.data(), 8));
      Sleep(gapMs);
    }
  }

  std::vector<std::string> settledInput(DWORD quietMs = 700) { return observer_.settledLines(quietMs); }

  bool sawLine(const std::string& line, DWORD timeoutMs = 3000) {
    return waitUntil([&] { return count(observer_.lines(), line) > 0; }, timeoutMs);
  }

  ringdeck::win32::Win32FileSystem files_;
  std::string path_;
  UINT statusMessage_ = 0;
  std::mutex statusLock_;
  std::vector<std::pair<std::uint32_t, std::uint32_t>> statuses_;
  std::atomic<int> offered_{0};
  std::atomic<bool> hangHelper_{false};
  HANDLE hangEnd_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  std::unique_ptr<StandInWindow> listener_;
  std::unique_ptr<StandInWindow> helper_;
  InputObserver observer_;
  std::unique_ptr<VirtualDevices> devices_ = std::make_unique<VirtualDevices>();
  ChildProcess engine_;
  HWND engineWindow_ = nullptr;
};

// A report target that stops answering (stuck in its own handler) costs the device at most the
// bounded wait: the engine drops the target and types the report itself.
TEST_F(EngineFaults, HungReportTargetIsDroppedAndTheDeviceTypesAgain) {
  standInHelper();
  startEngine();
  const UINT request = RegisterWindowMessageA(kMsgReportRequest);
  const UINT notify = RegisterWindowMessageA(kMsgReportNotify);
  HANDLE unstick = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  StandInWindow panel("RingDeckTestHungPanel", "", [&](UINT m, WPARAM, LPARAM, LRESULT& reply) {
    if (m != notify) return false;
    ++offered_;
    WaitForSingleObject(unstick, 10000);
    reply = kReportTaken;
    return true;
  });
  ASSERT_EQ(SendMessageA(engineWindow_, request, kReportRegister, reinterpret_cast<LPARAM>(panel.handle())), 0);
  const int d = devices_->plug(kMakerVendor, kMakerController);
  ASSERT_GE(d, 0);
  play(d, {state(0)});
  const double start = nowMs();
  play(d, {state(1), state(0)}, 0);
  ASSERT_TRUE(observer_.waitForLines(4, 3000)) << "the device stayed dead behind the hung target";
  const double typedAfter = nowMs() - start;
  std::printf("hung target: first report typed %.0f ms after it was sent\n", typedAfter);
  EXPECT_LT(typedAfter, 1000.0);
  EXPECT_EQ(offered_.load(), 1);
  EXPECT_EQ(SendMessageA(engineWindow_, request, kReportExchange, 0), 0) << "the hung target was kept";
  SetEvent(unstick);
  EXPECT_EQ(settledInput(), (std::vector<std::string>{"key 11 down extra=1", "key 43 down extra=1",
                                                      "key 43 up extra=1", "key 11 up extra=1"}));
  CloseHandle(unstick);
}

// A helper that stops answering Status.Notify does not stall the engine; it is told again at
// the next change once it answers.
TEST_F(EngineFaults, HungHelperDoesNotStallTheEngine) {
  standInHelper();
  hangHelper_ = true;
  startEngine();
  const int d = devices_->plug(kMakerVendor, kMakerController);  // its Status.Notify hangs
  ASSERT_GE(d, 0);
  play(d, {state(0)});
  const double start = nowMs();
  play(d, {state(1), state(0)}, 0);
  ASSERT_TRUE(observer_.waitForLines(4, 3000)) << "the engine stayed stuck behind the hung helper";
  std::printf("hung helper: report typed %.0f ms after it was sent\n", nowMs() - start);
  hangHelper_ = false;
  SetEvent(hangEnd_);
  SendMessageA(engineWindow_, RegisterWindowMessageA(kMsgStatusRequest), 0, 0);
  EXPECT_TRUE(statusBecomes(0, 1));
}

// One message carries several reports, as one read of a device may return several queued
// ones: each whole report is acted on in order, a partial one is skipped.
TEST_F(EngineFaults, SeveralReportsInOneReadAreEachActedOn) {
  startEngine();
  const int d = devices_->plug(kMakerVendor, kMakerController);
  ASSERT_GE(d, 0);
  play(d, {state(0)});
  std::vector<std::uint8_t> burst;
  for (const Report8& r : {state(1), state(0), state(1), state(0)}) burst.insert(burst.end(), r.begin(), r.end());
  ASSERT_TRUE(devices_->sendRaw(d, burst.data(), static_cast<DWORD>(burst.size())));
  // A whole report and a partial one, then a short read alone: only the whole report counts.
  const Report8 pressed = state(1);
  std::vector<std::uint8_t> ragged(pressed.begin(), pressed.end());
  ragged.insert(ragged.end(), {0, 0, 0, 0});
  ASSERT_TRUE(devices_->sendRaw(d, ragged.data(), static_cast<DWORD>(ragged.size())));
  const std::uint8_t shortRead[5] = {0, 0, 1, 0, 0};
  ASSERT_TRUE(devices_->sendRaw(d, shortRead, sizeof shortRead));
  play(d, {state(0)});
  const auto lines = settledInput();
  EXPECT_EQ(count(lines, "key 43 down extra=1"), 3u);
  EXPECT_EQ(count(lines, "key 27 down ext extra=1"), 0u) << "a phantom jog step from a short read";
  EXPECT_EQ(lines.size(), 12u) << ::testing::PrintToString(lines);
}

// A key held while bursts of reports flood the event queue: presses may be dropped, but the
// release of the held key and of the keys pressed during the burst all arrive.
TEST_F(EngineFaults, AFloodOfReportsLosesNoRelease) {
  startEngine();
  const int d = devices_->plug(kMakerVendor, kMakerController);
  ASSERT_GE(d, 0);
  play(d, {state(0), state(2)});
  ASSERT_TRUE(sawLine("key 0D down ext extra=1"));
  constexpr int kMessages = 40;
  constexpr int kPerMessage = 64;
  std::uint8_t jog = 0;
  std::vector<std::uint8_t> message;
  for (int m = 0; m < kMessages; ++m) {
    message.clear();
    for (int i = 0; i < kPerMessage; ++i) {
      std::uint16_t buttons = 2;
      if (m >= kMessages / 2) buttons |= 16;  // Shift+A held for the second half
      if (m == kMessages - 1 && i == kPerMessage - 1) buttons = 0;  // both let go in the last report
      const Report8 r = state(buttons, 0, ++jog);
      message.insert(message.end(), r.begin(), r.end());
    }
    ASSERT_TRUE(devices_->sendRaw(d, message.data(), static_cast<DWORD>(message.size())));
  }
  const auto lines = settledInput();
  const std::size_t steps = kMessages * kPerMessage - 1;
  std::printf("flood: %zu jog steps sent, %zu typed; %zu input lines\n", steps,
              count(lines, "key 27 down ext extra=1"), lines.size());
  EXPECT_EQ(count(lines, "key 0D up ext extra=1"), 1u);
  EXPECT_GE(count(lines, "key 41 up extra=1"), count(lines, "key 41 down extra=1"));
  EXPECT_TRUE(heldKeys(lines).empty());
}

// A device unplugged while it holds something: a held key, a repeating key, a hold with a
// deferred release, a deferred release still pending, a held shuttle zone.
TEST_F(EngineFaults, UnpluggedMidHoldLeavesNothingHeld) {
  standInHelper();
  startEngine();
  struct Case {
    const char* what;
    std::vector<Report8> reports;
    const char* firstLine;
  };
  const Case cases[] = {
      {"held key", {state(0), state(2)}, "key 0D down ext extra=1"},
      {"repeating key", {state(0), state(4)}, "key 24 down ext extra=1"},
      {"hold with a deferred release", {state(0), state(8)}, "key 58 down extra=1"},
      {"deferred release pending", {state(0), state(8), state(0)}, "key 58 down extra=1"},
      {"held shuttle zone with its modifiers", {state(0), state(0, -3)}, "key 59 down extra=1"},
      {"modifiers and a shortcut held", {state(0), state(32), state(32 + 16)}, "key 41 down extra=1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    observer_.clear();
    const int d = devices_->plug(kMakerVendor, kMakerController);
    ASSERT_GE(d, 0);
    ASSERT_TRUE(statusBecomes(0, 1));
    for (const Report8& r : c.reports) play(d, {r});
    ASSERT_TRUE(sawLine(c.firstLine));
    devices_->unplug(d);
    ASSERT_TRUE(statusBecomes(0, 0));
    EXPECT_EQ(heldKeys(settledInput()), std::set<std::string>{});
  }
}

// The engine stopped while keys are held, by WM_QUIT and by "-remove".
TEST_F(EngineFaults, EngineStoppedMidHoldLetsEverythingGo) {
  MessageBoxWatcher boxes(engine::kSetupCaption);
  for (const bool remove : {false, true}) {
    SCOPED_TRACE(remove ? "-remove" : "WM_QUIT");
    observer_.clear();
    devices_.reset();  // the hub takes one engine: a new one for the next
    devices_ = std::make_unique<VirtualDevices>();
    startEngine();
    const int d = devices_->plug(kMakerVendor, kMakerController);
    ASSERT_GE(d, 0);
    play(d, {state(0), state(2), state(2 + 16), state(2 + 16 + 4)});
    ASSERT_TRUE(sawLine("key 24 down ext extra=1"));
    if (remove) {
      ChildProcess remover;
      ASSERT_TRUE(remover.start(kEngineVirtual, "-remove"));
      EXPECT_EQ(remover.wait(20000), std::optional<DWORD>(0u));
      EXPECT_EQ(engine_.wait(5000), std::optional<DWORD>(0u));
    } else {
      stopEngine();
    }
    EXPECT_EQ(FindWindowA(kEngineWindowClass, nullptr), nullptr);
    EXPECT_EQ(heldKeys(settledInput()), std::set<std::string>{});
  }
}

// Held from one set, released in another: the release undoes what the press sent. Likewise
// across a reload of the settings file.
TEST_F(EngineFaults, SetSwitchAndReloadMidHoldReleaseWhatWasPressed) {
  standInHelper();
  startEngine();
  const UINT change = RegisterWindowMessageA(kMsgChangeCurrentPreference);
  const UINT reload = RegisterWindowMessageA(kMsgReloadAllPreferences);
  const int d = devices_->plug(kMakerVendor, kMakerController);
  ASSERT_GE(d, 0);
  play(d, {state(0), state(2), state(2 + 16)});
  ASSERT_TRUE(sawLine("key 41 down extra=1"));
  SendMessageA(engineWindow_, change, 1, 0);
  ASSERT_TRUE(statusBecomes(1, 1));
  play(d, {state(16)});
  ASSERT_TRUE(sawLine("key 0D up ext extra=1"));
  writeSettings(faultSets());
  const std::size_t told = statusCount();
  SendMessageA(engineWindow_, reload, 1, 2);
  ASSERT_TRUE(waitUntil([&] { return statusCount() > told; }));
  play(d, {state(0)});
  const auto lines = settledInput();
  EXPECT_EQ(count(lines, "key 51 down extra=1"), 0u) << "set One's key pressed by a release";
  EXPECT_EQ(count(lines, "key 41 up extra=1"), 1u);
  EXPECT_TRUE(heldKeys(lines).empty());
}

// The program that borrowed the reports is killed: within a second the device types again.
TEST_F(EngineFaults, KilledReportTargetHandsTheDeviceBack) {
  startEngine();
  const int d = devices_->plug(kMakerVendor, kMakerController);
  ASSERT_GE(d, 0);
  play(d, {state(0)});
  ChildProcess panel;
  ASSERT_TRUE(panel.start(kPeer, "panel"));
  ASSERT_TRUE(waitUntil([&] { return FindWindowA(kPanelStandInClass, kPanelStandInRegistered) != nullptr; }, 10000));
  play(d, {state(1), state(0)});
  ASSERT_TRUE(waitUntil([&] { return offered_ == 2; }));
  EXPECT_TRUE(observer_.lines().empty());
  panel.wait(0);  // killed
  const double start = nowMs();
  play(d, {state(1), state(0)}, 0);
  ASSERT_TRUE(observer_.waitForLines(4, 3000));
  const double typedAfter = nowMs() - start;
  std::printf("killed target: typed %.0f ms after the first report\n", typedAfter);
  EXPECT_LT(typedAfter, 1000.0);
}

// The helper is killed and started again: it gets its status back, with the change made while
// it was gone.
TEST_F(EngineFaults, KilledHelperGetsItsStatusBackWhenRestarted) {
  startEngine();
  {
    ChildProcess helper;
    ASSERT_TRUE(helper.start(kPeer, "helper"));
    ASSERT_TRUE(statusBecomes(0, 0));
    const int d = devices_->plug(kMakerVendor, kMakerController);
    ASSERT_GE(d, 0);
    ASSERT_TRUE(statusBecomes(0, 1));
    helper.wait(0);  // killed
  }
  const int second = devices_->plug(kMakerVendor, kMakerController);
  ASSERT_GE(second, 0);
  SendMessageA(engineWindow_, RegisterWindowMessageA(kMsgChangeCurrentPreference), 1, 0);
  ChildProcess helper;
  ASSERT_TRUE(helper.start(kPeer, "helper"));
  EXPECT_TRUE(statusBecomes(1, 2));
  // And the engine still types (set One: Q).
  play(second, {state(0), state(2), state(0)});
  EXPECT_EQ(settledInput(), (std::vector<std::string>{"key 51 down extra=1", "key 51 up extra=1"}));
  helper.wait(0);
}

}  // namespace
}  // namespace ringdeck::wine
