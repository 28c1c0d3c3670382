// "RingDeck Virtual Controller.exe" under Wine with the engine's virtual-device build, played
// with real X input (xdotool clicks, wheel notches and drags on the drawn device): what the
// engine then types is read by low-level hooks, the device count from the real helper.
#include <gtest/gtest.h>

#include <windows.h>

#include <cmath>
#include <memory>
#include <mutex>
#include <thread>
#include <numbers>
#include <vector>

#include "controller_model.h"
#include "controller_window.h"
#include "device_art.h"
#include "device_map.h"
#include "mask_points.h"
#include "engine_test_support.h"
#include "protocol.h"
#include "settings_io.h"
#include "win32_file.h"
#include "wine_support.h"
#include "x_input.h"

namespace ringdeck::wine {
namespace {

using ringdeck::testing::keystrokeSlot;
using vcontroller::kPictureScale;

const std::string kControllerExe = windowsPath(RINGDECK_VCONTROLLER_EXE);
const std::string kEngineVirtual = windowsPath(RINGDECK_ENGINE_VIRTUAL);
const std::string kHelperExe = windowsPath(RINGDECK_HELPER_EXE);

std::string shotPath(const std::string& name) { return std::string(RINGDECK_SHOT_DIR) + "/" + name + ".png"; }

// The global set: the fifth and sixth buttons hold Q and W, the jog types the arrows, the ring's
// zones 1..7 on the right hold the digits 1..7.
std::vector<SettingsRecord> controllerSets() {
  std::vector<SettingsRecord> sets(1);
  setName(sets[0], "Global Settings");
  auto& g = sets[0].slots;
  g[SlotIndex::button(4)] = keystrokeSlot(0, 'Q', kRepeatHold, true);
  g[SlotIndex::button(5)] = keystrokeSlot(0, 'W', kRepeatHold, true);
  g[SlotIndex::JogRight] = keystrokeSlot(0, VK_RIGHT, kRepeatOnce, true);
  g[SlotIndex::JogLeft] = keystrokeSlot(0, VK_LEFT, kRepeatOnce, true);
  for (int zone = 1; zone <= 7; ++zone) {
    g[SlotIndex::shuttleZone(zone)] = keystrokeSlot(0, static_cast<std::uint8_t>('0' + zone), kRepeatHold, true);
  }
  return sets;
}

using vcontroller::controlMiddle;
using vcontroller::deviceMask;
using vcontroller::onRing;

int count(const std::vector<std::string>& lines, const std::string& line) {
  return static_cast<int>(std::count(lines.begin(), lines.end(), line));
}

// Keys held at the end of the lines: downs without their ups.
std::vector<std::string> held(const std::vector<std::string>& lines) {
  std::vector<std::string> keys;
  for (const std::string& l : lines) {
    if (l.rfind("key ", 0) != 0) continue;
    const std::string key = l.substr(4, 2);
    const auto at = std::find(keys.begin(), keys.end(), key);
    if (l.find(" down") != std::string::npos) {
      if (at == keys.end()) keys.push_back(key);
    } else if (at != keys.end()) {
      keys.erase(at);
    }
  }
  return keys;
}

// A visible window in front with the keyboard focus, as the program a person works in, counting
// the wheel turns that reach it.
class FrontWindow {
 public:
  FrontWindow() {
    thread_ = std::thread([this] {
      WNDCLASSA wc{};
      wc.lpfnWndProc = proc;
      wc.hInstance = GetModuleHandleA(nullptr);
      wc.lpszClassName = "RingDeckControllerTestFront";
      RegisterClassA(&wc);
      HWND w = CreateWindowExA(0, wc.lpszClassName, "Document", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 20, 400, 300, 200,
                               nullptr, nullptr, wc.hInstance, nullptr);
      SetWindowLongPtrA(w, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
      window_ = w;
      MSG msg;
      while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
    });
    while (!window_) Sleep(1);
  }
  ~FrontWindow() {
    PostMessageA(window_, WM_CLOSE, 0, 0);
    thread_.join();
  }
  HWND handle() const { return window_; }
  std::vector<int> wheels() {
    std::lock_guard lock(m_);
    return wheels_;
  }

 private:
  static LRESULT CALLBACK proc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    auto* self = reinterpret_cast<FrontWindow*>(GetWindowLongPtrA(w, GWLP_USERDATA));
    if (msg == WM_MOUSEWHEEL && self) {
      std::lock_guard lock(self->m_);
      self->wheels_.push_back(GET_WHEEL_DELTA_WPARAM(wp));
      return 0;
    }
    if (msg == WM_DESTROY) PostQuitMessage(0);
    return DefWindowProcA(w, msg, wp, lp);
  }
  std::thread thread_;
  std::atomic<HWND> window_{nullptr};
  std::mutex m_;
  std::vector<int> wheels_;
};

class ControllerUnderWine : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = settingsFilePath(ringdeck::win32::systemDirectory());
    writeSettings(controllerSets());
    statusMessage_ = RegisterWindowMessageA(kMsgStatusNotify);
  }

  void TearDown() override {
    if (controller_.running()) {
      if (window_) PostMessageA(window_, WM_CLOSE, 0, 0);
      controller_.wait(5000);
    }
    if (helper_.running()) {
      if (HWND h = FindWindowA(kHelperWindowClass, nullptr)) PostMessageA(h, WM_QUIT, 0, 0);
      helper_.wait(5000);
    }
    if (engine_.running()) {
      if (HWND w = FindWindowA(kEngineWindowClass, nullptr)) SendMessageA(w, WM_QUIT, 0, 0);
      EXPECT_EQ(engine_.wait(5000), std::optional<DWORD>(0u));
    }
    standInHelper_.reset();
    files_.remove(path_);
  }

  void writeSettings(const std::vector<SettingsRecord>& sets) {
    auto f = files_.open(path_, OpenMode::ReadWriteCreateNew);
    ASSERT_TRUE(f);
    ASSERT_TRUE(writeSettingsFile(*f, sets));
  }

  // The engine tells the helper every change of the device count: a stand-in helper keeps it.
  void standInHelper() {
    standInHelper_ = std::make_unique<StandInWindow>(kHelperWindowClass, "", [this](UINT m, WPARAM, LPARAM l, LRESULT&) {
      if (m == statusMessage_) devices_ = static_cast<int>(l);
      return false;
    });
  }

  void startEngine() {
    ASSERT_TRUE(engine_.start(kEngineVirtual, "-run"));
    ASSERT_TRUE(waitUntil([] { return FindWindowA(kEngineWindowClass, nullptr) != nullptr; }, 10000));
  }

  void startController() {
    ASSERT_TRUE(controller_.start(kControllerExe, ""));
    ASSERT_TRUE(waitUntil([&] {
      window_ = FindWindowA(vcontroller::kWindowClass, vcontroller::kCaption);
      return window_ && IsWindowVisible(window_);
    }, 10000));
  }

  // A point of the device picture on the screen.
  POINT screenPoint(POINT picture, HWND window = nullptr) const {
    POINT p{picture.x * kPictureScale + kPictureScale / 2, picture.y * kPictureScale + kPictureScale / 2};
    ClientToScreen(window ? window : window_, &p);
    return p;
  }
  std::string at(POINT picture) const {
    const POINT p = screenPoint(picture);
    return std::to_string(p.x) + " " + std::to_string(p.y);
  }

  // Picks an entry of the window's only menu with the mouse: the menu bar above the client area,
  // then the entry of the popup that opens.
  void menuCommand(HWND window, int entry, int entries = 4) {
    POINT client{0, 0};
    ClientToScreen(window, &client);
    ASSERT_TRUE(XClickAt(client.x + 20, client.y - GetSystemMetrics(SM_CYMENU) / 2));
    HWND popup = nullptr;
    const bool opened = waitUntil([&] {
      popup = FindWindowA("#32768", nullptr);
      return popup && IsWindowVisible(popup);
    }, 5000);
    if (!opened) XScreenshot(shotPath("vcontroller-no-menu"));
    ASSERT_TRUE(opened);
    RECT r;
    GetWindowRect(popup, &r);
    const int border = 3;
    const double item = (r.bottom - r.top - 2.0 * border) / entries;
    ASSERT_TRUE(XClickAt((r.left + r.right) / 2, r.top + border + static_cast<int>(item * (entry + 0.5))));
    ASSERT_TRUE(waitUntil([&] { return !IsWindowVisible(popup); }, 5000));
  }

  // Every line seen so far, once the input has been quiet for a moment (or after 5 s of input
  // that never ends).
  std::vector<std::string> settledInput(DWORD quietMs = 400) {
    std::size_t n = observer_.lines().size();
    for (DWORD waited = 0; waited < 5000; waited += quietMs) {
      Sleep(quietMs);
      const std::size_t now = observer_.lines().size();
      if (now == n) break;
      n = now;
    }
    return observer_.lines();
  }

  bool devicesBecome(int n) { return waitUntil([&] { return devices_ == n; }, 8000); }

  ringdeck::win32::Win32FileSystem files_;
  std::string path_;
  UINT statusMessage_ = 0;
  std::atomic<int> devices_{-1};
  std::unique_ptr<StandInWindow> standInHelper_;
  InputObserver observer_;
  ChildProcess engine_, controller_, helper_;
  HWND window_ = nullptr;
};

using Lines = std::vector<std::string>;

TEST_F(ControllerUnderWine, ClickPressesTheFifthButtonAndLatchedChordIsReleasedAtClose) {
  standInHelper();
  startEngine();
  startController();
  ASSERT_TRUE(devicesBecome(1));

  const POINT fifth = controlMiddle(4), sixth = controlMiddle(5);
  ASSERT_TRUE(XClickAt(screenPoint(fifth).x, screenPoint(fifth).y));
  ASSERT_TRUE(observer_.waitForLines(2));
  EXPECT_EQ(settledInput(), (Lines{"key 51 down extra=1", "key 51 up extra=1"}));

  // Right-clicks latch the fifth and the sixth button: both held, the chord at the observer.
  observer_.clear();
  ASSERT_TRUE(XDo("mousemove " + at(fifth) + " click 3 mousemove " + at(sixth) + " click 3"));
  ASSERT_TRUE(observer_.waitForLines(2));
  Sleep(100);  // the pointer resting over the lit buttons for the picture
  XScreenshot(shotPath("vcontroller-chord"));
  EXPECT_EQ(settledInput(), (Lines{"key 51 down extra=1", "key 57 down extra=1"}));

  // Closing the window lets the chord go.
  observer_.clear();
  menuCommand(window_, 3);
  EXPECT_EQ(controller_.wait(5000), std::optional<DWORD>(0u));
  ASSERT_TRUE(devicesBecome(0));
  const Lines after = settledInput();
  EXPECT_EQ(count(after, "key 51 up extra=1"), 1) << ::testing::PrintToString(after);
  EXPECT_EQ(count(after, "key 57 up extra=1"), 1) << ::testing::PrintToString(after);
  EXPECT_TRUE(held(after).empty());
}

TEST_F(ControllerUnderWine, WheelNotchesOverTheJogStepIt) {
  standInHelper();
  startEngine();
  startController();
  ASSERT_TRUE(devicesBecome(1));
  const std::string jog = at(controlMiddle(panel::kJogControl));

  ASSERT_TRUE(XDo("mousemove " + jog + " click 4 click 4 click 4"));  // away from the person
  ASSERT_TRUE(observer_.waitForLines(6));
  const Lines right = settledInput();
  EXPECT_EQ(count(right, "key 27 down ext extra=1"), 3) << ::testing::PrintToString(right);
  EXPECT_EQ(count(right, "key 27 up ext extra=1"), 3);
  EXPECT_EQ(count(right, "key 25 down ext extra=1"), 0);

  observer_.clear();
  ASSERT_TRUE(XDo("mousemove " + jog + " click 5 click 5 click 5"));
  ASSERT_TRUE(observer_.waitForLines(6));
  const Lines left = settledInput();
  EXPECT_EQ(count(left, "key 25 down ext extra=1"), 3) << ::testing::PrintToString(left);
  EXPECT_EQ(count(left, "key 27 down ext extra=1"), 0);
}

// The engine turns the wheel under the pointer, which is over the jog: that turn must not turn
// the jog again (and the engine the wheel, for ever); it goes to the program in front.
TEST_F(ControllerUnderWine, TheEnginesOwnWheelTurnOverTheJogDoesNotTurnItAgain) {
  std::vector<SettingsRecord> sets = controllerSets();
  sets[0].slots[SlotIndex::JogRight] = ringdeck::testing::scrollSlot(ActionKind::ScrollDown, 1, 0, true);
  sets[0].slots[SlotIndex::JogLeft] = ringdeck::testing::scrollSlot(ActionKind::ScrollUp, 1, 0, true);
  writeSettings(sets);
  standInHelper();
  startEngine();
  startController();
  ASSERT_TRUE(devicesBecome(1));
  FrontWindow document;
  ASSERT_TRUE(waitUntil([&] {
    SetForegroundWindow(document.handle());
    return GetForegroundWindow() == document.handle();
  }, 5000));

  ASSERT_TRUE(XDo("mousemove " + at(controlMiddle(panel::kJogControl)) + " click 4"));
  ASSERT_TRUE(waitUntil([&] { return count(observer_.lines(), "wheel -120 extra=0") >= 1; }, 5000))
      << ::testing::PrintToString(observer_.lines());
  Sleep(500);  // time for a wheel turn going round
  const Lines lines = settledInput();
  EXPECT_EQ(count(lines, "wheel 120 extra=0"), 1) << ::testing::PrintToString(lines);   // the person's
  EXPECT_EQ(count(lines, "wheel -120 extra=0"), 1) << ::testing::PrintToString(lines);  // the engine's
  // The engine's turn went on to the program in front, where the pointer would be with a device.
  EXPECT_EQ(document.wheels(), std::vector<int>{-120});
}

TEST_F(ControllerUnderWine, ShuttleDraggedToTheFarRightSpringsBackToTheCentre) {
  standInHelper();
  startEngine();
  startController();
  ASSERT_TRUE(devicesBecome(1));

  // Take the ring at its upper left and carry it round clockwise past its top, then let go.
  std::string drag = "mousemove " + at(onRing(-60)) + " mousedown 1";
  for (int a = -54; a <= 42; a += 6) drag += " mousemove " + at(onRing(a)) + " sleep 0.03";
  ASSERT_TRUE(XDo(drag));
  ASSERT_TRUE(waitUntil([&] { return count(observer_.lines(), "key 37 down extra=1") == 1; }, 5000))
      << ::testing::PrintToString(observer_.lines());
  XScreenshot(shotPath("vcontroller-shuttle"));
  ASSERT_TRUE(XDo("mouseup 1"));
  ASSERT_TRUE(waitUntil([&] { return count(observer_.lines(), "key 31 up extra=1") == 1; }, 5000))
      << ::testing::PrintToString(observer_.lines());
  const Lines lines = settledInput();

  // The zones' digits go up to 7 and come back down to 1, one zone at a time on the way back.
  std::vector<int> downs;
  for (const std::string& l : lines) {
    unsigned vk = 0;
    char dir[8] = {};
    if (std::sscanf(l.c_str(), "key %x %7s", &vk, dir) == 2 && std::string(dir) == "down") downs.push_back(static_cast<int>(vk) - '0');
  }
  const auto top = std::find(downs.begin(), downs.end(), 7);
  ASSERT_NE(top, downs.end()) << ::testing::PrintToString(lines);
  EXPECT_TRUE(std::is_sorted(downs.begin(), top + 1)) << ::testing::PrintToString(downs);
  EXPECT_EQ(std::vector<int>(top, downs.end()), (std::vector<int>{7, 6, 5, 4, 3, 2, 1}));
  EXPECT_TRUE(held(lines).empty()) << ::testing::PrintToString(lines);
}

TEST_F(ControllerUnderWine, AnEngineStartedAgainFindsTheControllerAgain) {
  standInHelper();
  startEngine();
  startController();
  ASSERT_TRUE(devicesBecome(1));
  SendMessageA(FindWindowA(kEngineWindowClass, nullptr), WM_QUIT, 0, 0);
  ASSERT_EQ(engine_.wait(5000), std::optional<DWORD>(0u));
  devices_ = -1;
  startEngine();
  ASSERT_TRUE(devicesBecome(1));
  const POINT fifth = controlMiddle(4);
  ASSERT_TRUE(XClickAt(screenPoint(fifth).x, screenPoint(fifth).y));
  ASSERT_TRUE(observer_.waitForLines(2));
  EXPECT_EQ(settledInput(), (Lines{"key 51 down extra=1", "key 51 up extra=1"}));
}

TEST_F(ControllerUnderWine, HelperCountsPlugInUnplugAndASecondController) {
  startEngine();
  ASSERT_TRUE(helper_.start(kHelperExe, ""));
  HWND helperWindow = nullptr;
  ASSERT_TRUE(waitUntil([&] { return (helperWindow = FindWindowA(kHelperWindowClass, nullptr)) != nullptr; }, 10000));
  // The helper's state, as its test query gives it.
  const UINT query = RegisterWindowMessageA("Orvanel.RingDeck.Helper.State.Query");
  std::mutex stateLock;
  std::string state;
  StandInWindow reply("RingDeckControllerTestReply", "", [&](UINT m, WPARAM, LPARAM l, LRESULT& r) {
    if (m != WM_COPYDATA) return false;
    const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(l);
    std::lock_guard lock(stateLock);
    state.assign(static_cast<const char*>(data->lpData), data->cbData);
    r = TRUE;
    return true;
  });
  auto helperShows = [&](int devices) {
    return waitUntil([&] {
      SendMessageA(helperWindow, query, reinterpret_cast<WPARAM>(reply.handle()), 0);
      std::lock_guard lock(stateLock);
      return state.find("devices=" + std::to_string(devices) + "\n") != std::string::npos;
    }, 8000);
  };

  startController();
  EXPECT_TRUE(helperShows(1)) << state;
  menuCommand(window_, 1);  // Unplug
  EXPECT_TRUE(helperShows(0)) << state;
  menuCommand(window_, 0);  // Plug in
  EXPECT_TRUE(helperShows(1)) << state;
  menuCommand(window_, 2);  // Add a second controller
  HWND second = nullptr;
  ASSERT_TRUE(waitUntil([&] {
    second = FindWindowA(vcontroller::kWindowClass, (std::string(vcontroller::kCaption) + " 2").c_str());
    return second && IsWindowVisible(second);
  }, 5000));
  EXPECT_TRUE(helperShows(2)) << state;
  XScreenshot(shotPath("vcontroller-two"));
  menuCommand(second, 3);  // Close the second
  EXPECT_TRUE(helperShows(1)) << state;
  EXPECT_TRUE(IsWindowVisible(window_));
}

}  // namespace
}  // namespace ringdeck::wine
