// The engine program under Wine: its virtual-device build driven through named pipes, with the
// helper and the control panel played by stand-in windows and the synthesised input read by
// low-level hooks.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <vector>

#include "device_table.h"
#include "engine_test_support.h"
#include "protocol.h"
#include "settings_io.h"
#include "win32_file.h"
#include "wine_support.h"

namespace ringdeck::wine {
namespace {

using engine::kMakerController;
using ringdeck::testing::keystrokeSlot;
using ringdeck::testing::scrollSlot;
using engine::kMakerOtherModel;
using engine::kMakerVendor;
using engine::kPartnerController;
using engine::kPartnerVendor;

const std::string kEngineVirtual = windowsPath(RINGDECK_ENGINE_VIRTUAL);
const std::string kEngineProduct = windowsPath(RINGDECK_ENGINE_PRODUCT);

// Three sets; the global one maps the controls the tests use.
std::vector<SettingsRecord> craftedSets() {
  std::vector<SettingsRecord> sets(3);
  setName(sets[0], "Global Settings");
  auto& g = sets[0].slots;
  g[SlotIndex::button(0)] = keystrokeSlot(ModControl, 'C', kRepeatOnce, true);
  g[SlotIndex::button(1)] = keystrokeSlot(0, kKeypadEnter, kRepeatHold, true);
  g[SlotIndex::button(2)] = keystrokeSlot(0, VK_HOME, 10, true);  // repeats every 100 ms
  g[SlotIndex::button(3)] = scrollSlot(ActionKind::ScrollDown, 3, ModControl, true);
  g[SlotIndex::button(4)] = keystrokeSlot(ModControl, 'X', kRepeatHold, false);  // released 500 ms late
  g[SlotIndex::JogRight] = keystrokeSlot(0, VK_RIGHT, kRepeatOnce, true);
  setName(sets[1], "One");
  setTargetApp(sets[1], "ONE.EXE");
  setName(sets[2], "Two");
  setTargetApp(sets[2], "TWO.EXE");
  sets[2].slots[SlotIndex::button(0)] = keystrokeSlot(0, 'Z', kRepeatOnce, true);
  return sets;
}

struct Report8 {
  std::uint8_t bytes[8];
};

Report8 state(std::uint16_t buttons, std::int8_t shuttle = 0, std::uint8_t jog = 0) {
  return Report8{{0, static_cast<std::uint8_t>(shuttle), jog, 0, static_cast<std::uint8_t>(buttons),
                  static_cast<std::uint8_t>(buttons >> 8), 0, 0}};
}

class EngineUnderWine : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = settingsFilePath(ringdeck::win32::systemDirectory());
    writeSettings(craftedSets());
    statusMessage_ = RegisterWindowMessageA(kMsgStatusNotify);
    helper_ = std::make_unique<StandInWindow>(kHelperWindowClass, "", [this](UINT m, WPARAM w, LPARAM l, LRESULT&) {
      if (m == statusMessage_) {
        std::lock_guard lock(statusLock_);
        statuses_.emplace_back(static_cast<std::uint32_t>(w), static_cast<std::uint32_t>(l));
      }
      return false;
    });
  }

  void TearDown() override {
    stopEngine();
    helper_.reset();
    files_.remove(path_);
  }

  void writeSettings(const std::vector<SettingsRecord>& sets) {
    auto f = files_.open(path_, OpenMode::ReadWriteCreateNew);
    ASSERT_TRUE(f);
    ASSERT_TRUE(writeSettingsFile(*f, sets));
  }

  void startEngine(const std::string& exe = kEngineVirtual) {
    ASSERT_TRUE(engine_.start(exe, "-run"));
    ASSERT_TRUE(waitUntil([] { return FindWindowA(kEngineWindowClass, nullptr) != nullptr; }, 10000));
    engineWindow_ = FindWindowA(kEngineWindowClass, nullptr);
    if (exe == kEngineVirtual) {
      ASSERT_TRUE(devices_.waitForEngine());
    }
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
  bool statusBecomes(std::uint32_t index, std::uint32_t count) {
    return waitUntil([&] { return lastStatus() == std::make_pair(index, count); });
  }

  void play(int device, std::initializer_list<Report8> reports, DWORD gapMs = 30) {
    for (const Report8& r : reports) {
      ASSERT_TRUE(devices_.send(device, r.bytes));
      Sleep(gapMs);
    }
  }

  std::vector<std::string> settledInput(DWORD quietMs = 300) { return observer_.settledLines(quietMs); }

  ringdeck::win32::Win32FileSystem files_;
  std::string path_;
  UINT statusMessage_ = 0;
  std::mutex statusLock_;
  std::vector<std::pair<std::uint32_t, std::uint32_t>> statuses_;
  std::unique_ptr<StandInWindow> helper_;
  InputObserver observer_;
  VirtualDevices devices_;
  ChildProcess engine_;
  HWND engineWindow_ = nullptr;
};

using Lines = std::vector<std::string>;

TEST_F(EngineUnderWine, KeystrokeOnceAndJogSendExactBatches) {
  startEngine();
  const int d = devices_.plug(kMakerVendor, kMakerController);
  ASSERT_GE(d, 0);
  ASSERT_TRUE(statusBecomes(0, 1));
  play(d, {state(0), state(1), state(0), state(0, 0, 1)});
  EXPECT_EQ(settledInput(), (Lines{"key 11 down extra=1", "key 43 down extra=1", "key 43 up extra=1",
                                   "key 11 up extra=1", "key 27 down ext extra=1", "key 27 up ext extra=1"}));
}

TEST_F(EngineUnderWine, KeypadEnterWheelRepeatAndDeferredRelease) {
  startEngine();
  const int d = devices_.plug(kMakerVendor, kMakerController);
  ASSERT_GE(d, 0);
  play(d, {state(0), state(2), state(0)});
  EXPECT_EQ(settledInput(), (Lines{"key 0D down ext extra=1", "key 0D up ext extra=1"}));
  observer_.clear();

  play(d, {state(8), state(0)});
  EXPECT_EQ(settledInput(), (Lines{"key 11 down extra=1", "wheel -360 extra=0", "key 11 up extra=1"}));
  observer_.clear();

  // Held for about 450 ms with a 100 ms period: the key goes down again and again, like a
  // held key of the keyboard, and up once when the button is let go.
  play(d, {state(4)}, 450);
  play(d, {state(0)});
  const Lines repeat = settledInput();
  EXPECT_GE(std::count(repeat.begin(), repeat.end(), "key 24 down ext extra=1"), 3);
  EXPECT_EQ(std::count(repeat.begin(), repeat.end(), "key 24 up ext extra=1"), 1);
  EXPECT_EQ(repeat.back(), "key 24 up ext extra=1");
  observer_.clear();

  // Deferred release: the keys go up about 500 ms after the button.
  play(d, {state(16)}, 50);
  const DWORD released = GetTickCount();
  play(d, {state(0)}, 0);
  ASSERT_TRUE(observer_.waitForLines(3, 3000));
  const DWORD upAt = GetTickCount();
  EXPECT_GE(upAt - released, 400u);
  EXPECT_EQ(settledInput(), (Lines{"key 11 down extra=1", "key 58 down extra=1", "key 58 up extra=1",
                                   "key 11 up extra=1"}));
}

TEST_F(EngineUnderWine, DevicesAreCountedAndALostDeviceReleasesItsKeys) {
  MessageBoxWatcher warnings("Warning");
  startEngine();
  const int a = devices_.plug(kMakerVendor, kMakerController);
  ASSERT_TRUE(statusBecomes(0, 1));
  const int b = devices_.plug(kPartnerVendor, kPartnerController);
  ASSERT_TRUE(statusBecomes(0, 2));
  // Refused: another model of the maker (with its warning, once), and any other device. The
  // engine opens each to learn what it is, then lets it go.
  devices_.plug(kMakerVendor, kMakerOtherModel);
  devices_.plug(0x845E, 0x0001);
  ASSERT_TRUE(warnings.waitForBoxes(1));
  Sleep(200);
  ASSERT_EQ(warnings.texts().size(), 1u);
  EXPECT_EQ(warnings.texts()[0].rfind("You are trying to use a device that is not compatible", 0), 0u);
  EXPECT_EQ(lastStatus(), std::make_pair(0u, 2u));

  play(b, {state(0), state(2)});  // keypad Enter held on the second device
  ASSERT_TRUE(observer_.waitForLines(1));
  devices_.unplug(b);
  ASSERT_TRUE(statusBecomes(0, 1));
  EXPECT_EQ(settledInput(), (Lines{"key 0D down ext extra=1", "key 0D up ext extra=1"}));
  devices_.unplug(a);
  EXPECT_TRUE(statusBecomes(0, 0));
}

TEST_F(EngineUnderWine, ReportTargetBorrowsTheReports) {
  startEngine();
  const UINT request = RegisterWindowMessageA(kMsgReportRequest);
  const UINT notify = RegisterWindowMessageA(kMsgReportNotify);
  std::atomic<int> offered{0};
  StandInWindow panel("RingDeckTestPanel", "", [&](UINT m, WPARAM, LPARAM, LRESULT& reply) {
    if (m != notify) return false;
    ++offered;
    reply = kReportTaken;
    return true;
  });
  const auto target = reinterpret_cast<LPARAM>(panel.handle());
  EXPECT_EQ(SendMessageA(engineWindow_, request, 1, 0), 3);
  EXPECT_EQ(SendMessageA(engineWindow_, request, 2, 0), 2);
  EXPECT_EQ(SendMessageA(engineWindow_, request, 1, target), 0);
  EXPECT_EQ(SendMessageA(engineWindow_, request, 1, 0x1234), 2);
  EXPECT_EQ(SendMessageA(engineWindow_, request, 7, 0), 1);

  const int d = devices_.plug(kMakerVendor, kMakerController);
  play(d, {state(0), state(1), state(0), state(1)});
  ASSERT_TRUE(waitUntil([&] { return offered == 3; }));
  EXPECT_EQ(SendMessageA(engineWindow_, request, 3, 0), target);  // handed back
  play(d, {state(1), state(0)});
  EXPECT_TRUE(settledInput().empty()) << "stored-up or suppressed events reached the system";
  play(d, {state(1)});
  EXPECT_EQ(settledInput().size(), 4u);
}

TEST_F(EngineUnderWine, SetSwitchAndReloadRules) {
  startEngine();
  const UINT change = RegisterWindowMessageA(kMsgChangeCurrentPreference);
  const UINT reload = RegisterWindowMessageA(kMsgReloadAllPreferences);
  const UINT statusRequest = RegisterWindowMessageA(kMsgStatusRequest);
  SendMessageA(engineWindow_, statusRequest, 0, 0);
  EXPECT_TRUE(statusBecomes(0, 0));
  SendMessageA(engineWindow_, change, 2, 0);
  EXPECT_TRUE(statusBecomes(2, 0));

  const int d = devices_.plug(kMakerVendor, kMakerController);
  play(d, {state(0), state(1), state(0)});
  EXPECT_EQ(settledInput(), (Lines{"key 5A down extra=1", "key 5A up extra=1"}));  // set 2 types Z

  // Set 1 removed; the last set moved into its place.
  auto sets = craftedSets();
  sets[1] = sets[2];
  sets.pop_back();
  writeSettings(sets);
  SendMessageA(engineWindow_, reload, 1, 2);
  EXPECT_TRUE(statusBecomes(1, 1));
  // The set in use removed: back to the global set.
  sets.pop_back();
  writeSettings(sets);
  SendMessageA(engineWindow_, reload, 1, 1);
  EXPECT_TRUE(statusBecomes(0, 1));
  // An index the image does not hold: the global set.
  SendMessageA(engineWindow_, change, 7, 0);
  EXPECT_TRUE(statusBecomes(0, 1));
}

TEST_F(EngineUnderWine, WithoutKeywordTheEngineEndsWithMinusOne) {
  for (const char* args : {"", "--help run"}) {
    ChildProcess p;
    ASSERT_TRUE(p.start(kEngineVirtual, args));
    EXPECT_EQ(p.wait(10000), std::optional<DWORD>(0xFFFFFFFFu)) << '"' << args << '"';
    EXPECT_EQ(FindWindowA(kEngineWindowClass, nullptr), nullptr);
  }
}

// The product's own HID enumeration meets Wine's built-in mouse and keyboard: both are refused
// without a word.
TEST_F(EngineUnderWine, ProductRefusesWinesOwnHidDevicesSilently) {
  MessageBoxWatcher warnings("Warning");
  startEngine(kEngineProduct);
  SendMessageA(engineWindow_, RegisterWindowMessageA(kMsgStatusRequest), 0, 0);
  EXPECT_TRUE(statusBecomes(0, 0));
  Sleep(300);
  EXPECT_TRUE(warnings.texts().empty());
}

TEST_F(EngineUnderWine, DamagedSettingsFileIsRepairedAtStart) {
  {
    auto f = files_.open(path_, OpenMode::ReadWriteCreateNew);
    f->writeAt(0, std::vector<std::uint8_t>(15, 0x73));
  }
  startEngine();
  auto f = files_.open(path_, OpenMode::ReadOnlyExisting);
  EXPECT_EQ(f->size(), std::optional<std::uint64_t>(kExportedFileSize));
}

}  // namespace
}  // namespace ringdeck::wine
