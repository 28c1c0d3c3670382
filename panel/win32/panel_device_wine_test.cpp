// Picking a control by touching it, under Wine with the real engine (its virtual-device build)
// and a virtual controller: while the control panel is in front the device selects in its user
// action list and types nothing; in the background the device types again.
#include "panel_wine_fixture.h"

#include "device_table.h"

namespace ringdeck::wine {
namespace {

constexpr int kButton5Slot = SlotIndex::button(4);

struct Report {
  int shuttle = 0;
  std::uint8_t jog = 0;
  std::uint16_t buttons = 0;
};

class PanelWithDevice : public PanelUnderWine {
 protected:
  void SetUp() override {
    PanelUnderWine::SetUp();
    ASSERT_TRUE(engine_.start(kEngineVirtual, "-run"));
    ASSERT_TRUE(devices_.waitForEngine());
    device_ = devices_.plug(ringdeck::engine::kMakerVendor, ringdeck::engine::kMakerController);
    ASSERT_GE(device_, 0);
    // The engine's own first report: its resting state, offered to no listener.
    sendAndSettle({});
  }
  void TearDown() override {
    if (HWND w = FindWindowA(kEngineWindowClass, nullptr)) SendMessageA(w, WM_QUIT, 0, 0);
    engine_.wait(5000);
    PanelUnderWine::TearDown();
  }
  std::vector<SettingsRecord> initialSets() override {
    auto sets = fixtureSets();
    sets[0].slots[kButton5Slot] = keystrokeSlot(0, 'Q', kRepeatOnce, true);
    sets[0].slots[SlotIndex::JogRight] = keystrokeSlot(0, VK_RIGHT, kRepeatOnce, true);
    return sets;
  }
  void send(const Report& r) {
    const std::uint8_t bytes[8] = {0, static_cast<std::uint8_t>(static_cast<std::int8_t>(r.shuttle)), r.jog, 0,
                                   static_cast<std::uint8_t>(r.buttons & 0xFF), static_cast<std::uint8_t>(r.buttons >> 8), 0, 0};
    ASSERT_TRUE(devices_.send(device_, bytes));
  }
  // The engine answers the report before the next one is read: a report sent after a wait for
  // the window's answer to the one before is the next thing it sees.
  void sendAndSettle(const Report& r) {
    send(r);
    Sleep(80);
  }
  // The panel has taken the report stream once it is in front and its report answer is in.
  void bringPanelToFront() {
    SetForegroundWindow(window_);
    ASSERT_TRUE(waitUntil([&] { return GetForegroundWindow() == window_; }));
    Sleep(100);
  }

  InputObserver observer_;
  VirtualDevices devices_;
  ChildProcess engine_;
  int device_ = -1;
};

struct Touch {
  const char* what;
  Report report;
  int selected;  // the user action list's selection afterwards
};

TEST_F(PanelWithDevice, TouchingAControlSelectsItAndTypesNothing) {
  startPanel();
  bringPanelToFront();
  observer_.clear();
  // The first report after coming to the front only sets the baseline, whatever it holds.
  sendAndSettle({0, 0, 0x10});
  EXPECT_EQ(selection(IDC_USERACTIONBOX), 0);
  const Touch touches[] = {
      {"fifth button released", {0, 0, 0}, 4},
      {"fifth button pressed", {0, 0, 0x10}, 4},
      {"released again", {0, 0, 0}, 4},
      {"one jog step right", {0, 1, 0}, 14},
      {"jog back left", {0, 0, 0}, 13},
      {"jog 0 to 255 is left", {0, 255, 0}, 13},
      {"jog 255 to 0 is right", {0, 0, 0}, 14},
      {"shuttle 0 to +3", {3, 0, 0}, 25},
      {"back to +1 selects nothing", {1, 0, 0}, 25},
      {"to -2", {-2, 0, 0}, 20},
      {"to +1 across the centre", {1, 0, 0}, 23},
      {"to the centre selects nothing", {0, 0, 0}, 23},
      {"button and jog: the jog", {0, 1, 0x1}, 14},
  };
  for (const Touch& t : touches) {
    SCOPED_TRACE(t.what);
    send(t.report);
    EXPECT_TRUE(selectionBecomes(IDC_USERACTIONBOX, t.selected)) << "selected " << selection(IDC_USERACTIONBOX);
    Sleep(60);  // and nothing else after it
    EXPECT_EQ(selection(IDC_USERACTIONBOX), t.selected);
  }
  // The editor shows the selected action: the first button's, with its comment.
  send({0, 1, 0});
  EXPECT_TRUE(selectionBecomes(IDC_USERACTIONBOX, 0));
  EXPECT_TRUE(textBecomes(IDC_COMMENTBOX, "Undo"));
  XScreenshot(shotPath("panel-live-selection"));
  Sleep(200);
  EXPECT_TRUE(observer_.lines().empty()) << observer_.lines().front();
  EXPECT_TRUE(IsWindow(window_));
}

TEST_F(PanelWithDevice, WithTheTargetListDroppedDownNothingIsSelectedOrTyped) {
  startPanel();
  bringPanelToFront();
  sendAndSettle({0, 0, 0});
  click(IDC_TARGETAPPBOX);
  ASSERT_TRUE(waitUntil([&] { return SendMessageA(item(IDC_TARGETAPPBOX), CB_GETDROPPEDSTATE, 0, 0) != 0; }));
  observer_.clear();
  sendAndSettle({0, 0, 0x10});
  sendAndSettle({0, 0, 0});
  sendAndSettle({0, 1, 0});
  EXPECT_EQ(selection(IDC_USERACTIONBOX), 0);
  EXPECT_TRUE(observer_.lines().empty()) << observer_.lines().front();
  ASSERT_TRUE(XDo("key Escape"));
  ASSERT_TRUE(waitUntil([&] { return SendMessageA(item(IDC_TARGETAPPBOX), CB_GETDROPPEDSTATE, 0, 0) == 0; }));
  // Once the box has lost the focus, touching selects again.
  click(IDC_COMMENTBOX);
  send({0, 2, 0});
  EXPECT_TRUE(selectionBecomes(IDC_USERACTIONBOX, 14));
}

TEST_F(PanelWithDevice, InTheBackgroundTheDeviceTypesAgainAndThePreviousListenerIsBack) {
  // Another program listens to the reports before the panel comes to the front; it lets the
  // engine act on them.
  const UINT notify = RegisterWindowMessageA(kMsgReportNotify);
  std::atomic<int> heard{0};
  StandInWindow listener("PanelTestReportListener", "", [&](UINT m, WPARAM, LPARAM, LRESULT& r) {
    if (m != notify) return false;
    ++heard;
    r = kReportNotTaken;
    return true;
  });
  HWND engineWindow = FindWindowA(kEngineWindowClass, nullptr);
  ASSERT_NE(engineWindow, nullptr);
  ASSERT_EQ(SendMessageA(engineWindow, RegisterWindowMessageA(kMsgReportRequest), kReportRegister,
                         reinterpret_cast<LPARAM>(listener.handle())), 0);
  HWND other = CreateWindowExA(0, "STATIC", "Another program", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 300, 200,
                               nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  ASSERT_NE(other, nullptr);

  startPanel();
  bringPanelToFront();
  sendAndSettle({0, 0, 0});
  heard = 0;
  observer_.clear();
  send({0, 0, 0x10});
  ASSERT_TRUE(selectionBecomes(IDC_USERACTIONBOX, 4));
  sendAndSettle({0, 0, 0});
  EXPECT_EQ(heard.load(), 0);
  EXPECT_TRUE(observer_.lines().empty());

  SetForegroundWindow(other);
  ASSERT_TRUE(waitUntil([&] { return GetForegroundWindow() == other; }));
  Sleep(100);
  observer_.clear();
  sendAndSettle({0, 0, 0x10});
  sendAndSettle({0, 0, 0});
  ASSERT_TRUE(observer_.waitForLines(2));
  EXPECT_EQ(observer_.lines(), (std::vector<std::string>{"key 51 down extra=1", "key 51 up extra=1"}));
  EXPECT_EQ(heard.load(), 2);  // the listener from before has its reports again

  // Back in front: the first report is a baseline again, then touching selects.
  bringPanelToFront();
  observer_.clear();
  sendAndSettle({0, 5, 0});
  EXPECT_EQ(selection(IDC_USERACTIONBOX), 4);
  send({0, 6, 0});
  EXPECT_TRUE(selectionBecomes(IDC_USERACTIONBOX, 14));
  Sleep(200);
  EXPECT_TRUE(observer_.lines().empty());
  DestroyWindow(other);
}

}  // namespace
}  // namespace ringdeck::wine
