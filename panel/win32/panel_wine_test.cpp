// "Orvanel RingDeck.exe" under Wine, used as a person uses it: real X input (clicks at its
// controls, keys typed into it) through xdotool, then reading back what the window shows, the
// settings file it wrote and what the engine then types.
#include "panel_wine_fixture.h"

#include "device_table.h"

namespace ringdeck::wine {
namespace {

TEST_F(PanelUnderWine, OpensOnButton1OfTheGlobalSet) {
  startPanel();
  EXPECT_EQ(text(IDC_TARGETAPPBOX), "Global Settings");
  EXPECT_EQ(SendMessageA(item(IDC_TARGETAPPBOX), CB_GETCOUNT, 0, 0), 2);
  EXPECT_EQ(selection(IDC_USERACTIONBOX), 0);
  EXPECT_EQ(SendMessageA(item(IDC_USERACTIONBOX), CB_GETCOUNT, 0, 0), 58);
  EXPECT_EQ(text(IDC_RESPONSEBUTTON), "Type Keystroke");
  EXPECT_EQ(text(IDC_KEYSTROKEBOX), "Control + Z");
  EXPECT_EQ(text(IDC_COMMENTBOX), "Undo");
  EXPECT_EQ(focusOfPanel(), item(IDC_USERACTIONBOX));
  // What the layout keeps hidden stays hidden: the rename box and every message text.
  for (int id : {IDC_TARGETAPPEDITBOX, IDC_SCONFIRMREQUEST, IDC_SSURETOQUIT, IDC_SINVALIDSCROLLAMOUNT,
                 IDC_CUSTOMIZEDSETTINGSLABEL, IDC_FACTORYSETTINGSLABEL, IDC_WHEELBOX})
    EXPECT_FALSE(IsWindowVisible(item(id))) << id;
  EXPECT_TRUE(IsWindowVisible(item(IDC_NOINFOONSETTINGSLABEL)));  // the fixture's set has no checksum
  // No two controls a person sees lie over each other.
  std::vector<std::pair<int, RECT>> shown;
  for (HWND c = GetWindow(window_, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
    RECT r;
    if (IsWindowVisible(c) && GetWindowRect(c, &r)) shown.emplace_back(GetDlgCtrlID(c), r);
  }
  for (std::size_t a = 0; a < shown.size(); ++a)
    for (std::size_t b = a + 1; b < shown.size(); ++b) {
      RECT overlap;
      EXPECT_FALSE(IntersectRect(&overlap, &shown[a].second, &shown[b].second))
          << shown[a].first << " and " << shown[b].first;
    }
  RECT client;
  GetClientRect(window_, &client);
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  EXPECT_EQ(client.right, MulDiv(573, dpi, 96));
  EXPECT_EQ(client.bottom, MulDiv(409, dpi, 96));
  XScreenshot(shotPath("panel-main"));
}

struct CaptureCase {
  const char* keys;
  const char* shown;
};

TEST_F(PanelUnderWine, KeystrokeCaptureThroughTheRealKeyboardAndHook) {
  startPanel();
  const CaptureCase cases[] = {
      {"keydown ctrl keydown a keyup a keyup ctrl", "Control + A"},
      {"keydown ctrl keydown a keyup ctrl keyup a", "A"},
      {"keydown shift keyup shift", "None"},
      {"keydown alt keydown Tab keyup Tab keyup alt", "Alt + Tab"},
      {"keydown alt keydown F4 keyup F4 keyup alt", "Alt + F4"},
      {"keydown ctrl keydown Escape keyup Escape keyup ctrl", "Control + Escape"},
      {"keydown Tab keyup Tab", "Tab"},
      {"keydown F4 keyup F4", "F4"},
      {"keydown alt keydown Left keyup Left keyup alt", "Alt + Left Arrow"},
  };
  selectKeystrokeBoxOf(0);
  for (const CaptureCase& c : cases) {
    SCOPED_TRACE(c.keys);
    ASSERT_TRUE(XDo(c.keys));
    EXPECT_TRUE(textBecomes(IDC_KEYSTROKEBOX, c.shown)) << "shows " << text(IDC_KEYSTROKEBOX);
    // Nothing was taken away: the window is still there, in front, the focus in the box.
    EXPECT_TRUE(IsWindow(window_));
    EXPECT_EQ(GetForegroundWindow(), window_);
    EXPECT_EQ(focusOfPanel(), item(IDC_KEYSTROKEBOX));
    const bool none = std::strcmp(c.shown, "None") == 0;
    EXPECT_EQ(IsWindowEnabled(item(IDC_FREQUENCYBOX)) != FALSE, !none);
    EXPECT_EQ(IsWindowEnabled(item(IDC_ISTANTRELEASECHECKBOX)) != FALSE, !none);
  }
  // The last combination that counts is stored by Apply.
  ASSERT_TRUE(XDo("keydown ctrl keydown a keyup a keyup ctrl"));
  ASSERT_TRUE(textBecomes(IDC_KEYSTROKEBOX, "Control + A"));
  click(IDC_SPEEDBUTTON1);
  ASSERT_TRUE(waitUntil([&] {
    const auto sets = readSettings();
    return !sets.empty() && sets[0].slots[kButton1Slot].keyCode == 'A';
  }));
  const ActionSlot stored = readSettings()[0].slots[kButton1Slot];
  EXPECT_EQ(stored.kind, 8);
  EXPECT_EQ(stored.modifiers, ModControl);
}

TEST_F(PanelUnderWine, UndoBringsBackTheStoredKeystroke) {
  startPanel();
  selectKeystrokeBoxOf(0);
  ASSERT_TRUE(XDo("keydown b keyup b"));
  ASSERT_TRUE(textBecomes(IDC_KEYSTROKEBOX, "B"));
  click(IDC_UNDOBUTTON);
  EXPECT_TRUE(textBecomes(IDC_KEYSTROKEBOX, "Control + Z"));
}

// A pixel of each control's painted region, read from the mask the program carries: the one
// nearest the region's centre of mass among those whose neighbours two pixels around all belong
// to the region too, so that a click scaled to another DPI still lands inside it.
std::vector<std::pair<int, int>> controlPixels(const std::vector<std::uint8_t>& mask) {
  auto value = [&](int x, int y) -> int {
    if (x < 0 || y < 0 || x >= kDevicePictureWidth || y >= kDevicePictureHeight) return -1;
    return mask[static_cast<std::size_t>(y) * kDevicePictureWidth + x];
  };
  auto interior = [&](int x, int y, int v) {
    for (int dy = -2; dy <= 2; ++dy)
      for (int dx = -2; dx <= 2; ++dx)
        if (value(x + dx, y + dy) != v) return false;
    return true;
  };
  std::vector<std::pair<int, int>> points;
  for (const DeviceControl& c : kDeviceControls) {
    long sx = 0, sy = 0, n = 0;
    for (int y = c.y.first; y <= c.y.last; ++y)
      for (int x = c.x.first; x <= c.x.last; ++x)
        if (value(x, y) == c.maskValue) sx += x, sy += y, ++n;
    int bx = -1, by = -1;
    long best = -1;
    for (int y = c.y.first; y <= c.y.last && n; ++y)
      for (int x = c.x.first; x <= c.x.last; ++x)
        if (interior(x, y, c.maskValue)) {
          const long d = (x - sx / n) * (x - sx / n) + (y - sy / n) * (y - sy / n);
          if (best < 0 || d < best) best = d, bx = x, by = y;
        }
    points.emplace_back(bx, by);
  }
  return points;
}

std::vector<std::uint8_t> maskOf(const std::string& exe) {
  HMODULE module = LoadLibraryExA(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  std::vector<std::uint8_t> pixels;
  if (!module) return pixels;
  HBITMAP bitmap = static_cast<HBITMAP>(LoadImageA(module, MAKEINTRESOURCEA(IDB_SHUTTLEIMAGEMASK), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  DIBSECTION dib{};
  if (bitmap && GetObjectA(bitmap, sizeof dib, &dib) == sizeof dib && dib.dsBm.bmBitsPixel == 8) {
    pixels.resize(static_cast<std::size_t>(kDevicePictureWidth) * kDevicePictureHeight);
    for (int y = 0; y < kDevicePictureHeight; ++y) {
      const int row = dib.dsBmih.biHeight > 0 ? kDevicePictureHeight - 1 - y : y;
      std::memcpy(&pixels[static_cast<std::size_t>(y) * kDevicePictureWidth],
                  static_cast<const BYTE*>(dib.dsBm.bmBits) + static_cast<std::ptrdiff_t>(row) * dib.dsBm.bmWidthBytes,
                  kDevicePictureWidth);
    }
  }
  if (bitmap) DeleteObject(bitmap);
  FreeLibrary(module);
  return pixels;
}

TEST_F(PanelUnderWine, ClicksOnThePictureSelectTheControlUnderThePointer) {
  const auto mask = maskOf(kPanelExe);
  ASSERT_EQ(mask.size(), static_cast<std::size_t>(kDevicePictureWidth) * kDevicePictureHeight);
  const auto points = controlPixels(mask);
  startPanel();
  // Backwards, so that every click changes the selection.
  for (int i = kControlCount - 1; i >= 0; --i) {
    const DeviceControl& c = kDeviceControls[static_cast<std::size_t>(i)];
    SCOPED_TRACE(c.userAction);
    ASSERT_GE(points[static_cast<std::size_t>(i)].first, 0);
    clickPicture(points[static_cast<std::size_t>(i)].first, points[static_cast<std::size_t>(i)].second);
    EXPECT_TRUE(selectionBecomes(IDC_USERACTIONBOX, c.userAction)) << "selected " << selection(IDC_USERACTIONBOX);
  }
  XScreenshot(shotPath("panel-picture-jog"));
}

TEST_F(PanelUnderWine, AClickOnTheBackgroundKeepsTheActionButStoresItsEditFirst) {
  startPanel();
  click(IDC_COMMENTBOX);
  ASSERT_TRUE(XDo("key --delay 20 ctrl+a BackSpace"));
  ASSERT_TRUE(XDo("type --delay 20 Redo"));
  ASSERT_TRUE(textBecomes(IDC_COMMENTBOX, "Redo"));
  clickPicture(3, 3);  // the background, mask value 0
  Sleep(300);
  EXPECT_EQ(selection(IDC_USERACTIONBOX), 0);
  click(IDC_UNDOBUTTON);  // shows the stored action again: the edit was stored by the click
  EXPECT_TRUE(textBecomes(IDC_COMMENTBOX, "Redo"));
}

TEST_F(PanelUnderWine, OkThenCancelSavesAndTheCloseBoxThenAsksAboutUnsavedChanges) {
  startPanel();
  click(IDC_COMMENTBOX);
  ASSERT_TRUE(XDo("key --delay 20 End"));
  ASSERT_TRUE(XDo("type --delay 20 !"));
  ASSERT_TRUE(textBecomes(IDC_COMMENTBOX, "Undo!"));
  click(IDC_OKBUTTON);
  EXPECT_EQ(answerBox("Confirm Request", "Cancel"), "Are you sure to quit?");
  EXPECT_TRUE(IsWindow(window_));
  EXPECT_EQ(fieldText(readSettings()[0].slots[kButton1Slot].comment), "Undo!");
  // Alt+F4 from the comment box is the close request a person makes from the keyboard.
  click(IDC_COMMENTBOX);
  ASSERT_TRUE(XDo("keydown alt key F4 keyup alt"));
  EXPECT_EQ(answerBox("Confirm Request", "OK"), "Are you sure to quit without saving?");
  EXPECT_EQ(panel_->wait(5000), std::optional<DWORD>(0u));
}

TEST_F(PanelUnderWine, QuitWithoutSavingAsksOnceAndLeavesTheFileAlone) {
  const auto before = fileBytes();
  startPanel();
  click(IDC_COMMENTBOX);
  ASSERT_TRUE(XDo("type --delay 20 x"));
  ASSERT_TRUE(waitUntil([&] { return text(IDC_COMMENTBOX) != "Undo"; }));
  // File menu by its mnemonic, then "Quit &Without Saving".
  ASSERT_TRUE(XDo("keydown alt key f keyup alt"));
  Sleep(300);
  ASSERT_TRUE(XDo("key w"));
  EXPECT_EQ(answerBox("Confirm Request", "OK"), "Are you sure to quit without saving?");
  EXPECT_EQ(panel_->wait(5000), std::optional<DWORD>(0u));
  EXPECT_EQ(findBox("Confirm Request"), nullptr);
  EXPECT_EQ(fileBytes(), before);
}

TEST_F(PanelUnderWine, ATypedScrollAmountOutOfRangeIsRefusedWithAMessageAndStoresNothing) {
  const auto before = readSettings()[0].slots[kButton1Slot];
  startPanel();
  click(IDC_RESPONSEBUTTON);
  // The response menu opens at the pointer: its last entry is "Wheel Down".
  Sleep(300);
  ASSERT_TRUE(XDo("key End Return"));
  ASSERT_TRUE(textBecomes(IDC_RESPONSEBUTTON, "Wheel Down"));
  click(IDC_WHEELBOX);
  ASSERT_TRUE(XDo("key --delay 20 ctrl+a BackSpace"));
  ASSERT_TRUE(XDo("type --delay 20 300"));
  ASSERT_TRUE(textBecomes(IDC_WHEELBOX, "300"));
  click(IDC_SPEEDBUTTON1);
  EXPECT_EQ(answerBox("Orvanel RingDeck", "OK"),
            "'300' is not a valid scroll amount. Enter a whole number from 1 to 127.");
  const ActionSlot after = readSettings()[0].slots[kButton1Slot];
  EXPECT_EQ(std::memcmp(&after, &before, sizeof after), 0);
  // The up arrow stops at 127.
  RECT arrows;
  GetWindowRect(item(IDC_WHEELUD), &arrows);
  ASSERT_TRUE(XClickAt((arrows.left + arrows.right) / 2, arrows.top + 3));
  EXPECT_TRUE(textBecomes(IDC_WHEELBOX, "127"));
  click(IDC_SPEEDBUTTON1);
  ASSERT_TRUE(waitUntil([&] { return readSettings()[0].slots[kButton1Slot].kind == 17; }));
  EXPECT_EQ(readSettings()[0].slots[kButton1Slot].wheelNotches, 127);
}

TEST_F(PanelUnderWine, ApplyTellsTheHelperFirstThenTheEngine) {
  std::mutex lock;
  std::vector<std::string> order;
  const UINT reload = RegisterWindowMessageA(kMsgReloadAllPreferences);
  auto recorder = [&](const char* who) {
    return [&, who](UINT m, WPARAM w, LPARAM l, LRESULT&) {
      if (m == reload) {
        std::lock_guard g(lock);
        order.push_back(std::string(who) + " " + std::to_string(w) + " " + std::to_string(l));
      }
      return false;
    };
  };
  helper_.reset();
  StandInWindow helper(kHelperWindowClass, "", recorder("helper"));
  StandInWindow engine(kEngineWindowClass, "", recorder("engine"));
  startPanel();
  click(IDC_SPEEDBUTTON1);
  ASSERT_TRUE(waitUntil([&] {
    std::lock_guard g(lock);
    return order.size() == 2;
  }));
  EXPECT_EQ(order, (std::vector<std::string>{"helper 0 2", "engine 0 2"}));
}

TEST_F(PanelUnderWine, ApplyMakesTheEngineTypeTheNewKeystroke) {
  InputObserver observer;
  VirtualDevices devices;
  ChildProcess engine;
  ASSERT_TRUE(engine.start(kEngineVirtual, "-run"));
  ASSERT_TRUE(devices.waitForEngine());
  const int d = devices.plug(ringdeck::engine::kMakerVendor, ringdeck::engine::kMakerController);
  ASSERT_GE(d, 0);
  startPanel();
  selectKeystrokeBoxOf(0);
  ASSERT_TRUE(XDo("keydown shift keydown m keyup m keyup shift"));
  ASSERT_TRUE(textBecomes(IDC_KEYSTROKEBOX, "Shift + M"));
  click(IDC_SPEEDBUTTON1);
  ASSERT_TRUE(waitUntil([&] {
    const auto sets = readSettings();
    return !sets.empty() && sets[0].slots[kButton1Slot].keyCode == 'M';
  }));
  // With the panel in front the device picks controls in it: the keystroke goes to another
  // program's window.
  HWND other = CreateWindowExA(0, "STATIC", "Another program", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 300, 200,
                               nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  ASSERT_NE(other, nullptr);
  SetForegroundWindow(other);
  ASSERT_TRUE(waitUntil([&] { return GetForegroundWindow() == other; }));
  Sleep(300);
  observer.clear();
  const std::uint8_t press[8] = {0, 0, 0, 0, 1, 0, 0, 0};
  const std::uint8_t release[8] = {0, 0, 0, 0, 0, 0, 0, 0};
  ASSERT_TRUE(devices.send(d, release));  // the first report is the device's resting state
  Sleep(50);
  ASSERT_TRUE(devices.send(d, press));
  Sleep(50);
  ASSERT_TRUE(devices.send(d, release));
  ASSERT_TRUE(observer.waitForLines(4));
  Sleep(300);
  EXPECT_EQ(observer.lines(), (std::vector<std::string>{"key 10 down extra=1", "key 4D down extra=1",
                                                        "key 4D up extra=1", "key 10 up extra=1"}));
  DestroyWindow(other);
  if (HWND w = FindWindowA(kEngineWindowClass, nullptr)) SendMessageA(w, WM_QUIT, 0, 0);
  engine.wait(5000);
}

TEST_F(PanelUnderWine, ASaveWithoutTheHelperStartsItFromThePanelsFolder) {
  // A folder with a space in its name, as "Program Files" has.
  const std::string folder = "C:\\RingDeck Panel Test";
  CreateDirectoryA(folder.c_str(), nullptr);
  const std::string panel = folder + "\\Orvanel RingDeck.exe";
  ASSERT_TRUE(CopyFileA(kPanelExe.c_str(), panel.c_str(), FALSE));
  ASSERT_TRUE(CopyFileA(kHelperExe.c_str(), (folder + "\\RingDeck Helper.exe").c_str(), FALSE));
  helper_.reset();
  ASSERT_EQ(FindWindowA(kHelperWindowClass, nullptr), nullptr);
  startPanel(panel);
  click(IDC_SPEEDBUTTON1);
  EXPECT_TRUE(waitUntil([] { return FindWindowA(kHelperWindowClass, nullptr) != nullptr; }, 10000));
  if (HWND helper = FindWindowA(kHelperWindowClass, nullptr)) {
    PostMessageA(helper, WM_QUIT, 0, 0);
    waitUntil([] { return FindWindowA(kHelperWindowClass, nullptr) == nullptr; }, 5000);
  }
  panel_.reset();
  DeleteFileA(panel.c_str());
  DeleteFileA((folder + "\\RingDeck Helper.exe").c_str());
  RemoveDirectoryA(folder.c_str());
}

// A settings file no process may write, as a standard user's is when the setup could not grant
// the access (as root here only the immutable flag on the Unix side stops a write open).
class UnwritableSettingsFile {
 public:
  UnwritableSettingsFile() { locked_ = RunUnix("chattr +i \"$WINEPREFIX/drive_c/windows/system32/OrvanelRingDeck.pref\"") == 0; }
  ~UnwritableSettingsFile() {
    if (locked_) RunUnix("chattr -i \"$WINEPREFIX/drive_c/windows/system32/OrvanelRingDeck.pref\"");
  }
  bool locked() const { return locked_; }

 private:
  bool locked_ = false;
};

TEST_F(PanelUnderWine, ASettingsFileThatCannotBeWrittenGivesTheErrorBoxAndLosesNothing) {
  const auto before = fileBytes();
  startPanel();
  click(IDC_COMMENTBOX);
  ASSERT_TRUE(XDo("key --delay 20 End"));
  ASSERT_TRUE(XDo("type --delay 20 2"));
  ASSERT_TRUE(textBecomes(IDC_COMMENTBOX, "Undo2"));
  {
    UnwritableSettingsFile locked;
    if (!locked.locked()) GTEST_SKIP() << "chattr +i is not available on this file system";
    click(IDC_SPEEDBUTTON1);
    EXPECT_EQ(answerBox("Internal error", "OK"), "Cannot open settings file");
    EXPECT_EQ(fileBytes(), before);
  }
  // Nothing the user did is lost: the edit is still there, and the next Apply saves it.
  EXPECT_EQ(text(IDC_COMMENTBOX), "Undo2");
  click(IDC_SPEEDBUTTON1);
  ASSERT_TRUE(waitUntil([&] { return fieldText(readSettings()[0].slots[kButton1Slot].comment) == "Undo2"; }));
}

int countPanelWindows() {
  int n = 0;
  EnumWindows([](HWND w, LPARAM count) -> BOOL {
    char cls[64] = {};
    GetClassNameA(w, cls, sizeof cls);
    if (lstrcmpA(cls, "TShuttleControlForm") == 0) ++*reinterpret_cast<int*>(count);
    return TRUE;
  }, reinterpret_cast<LPARAM>(&n));
  return n;
}

TEST_F(PanelUnderWine, ASecondStartHandsOverAndTheRunningWindowComesToTheFront) {
  startPanel();
  // Another program's window in front, as when the user starts the panel again from a menu.
  HWND other = CreateWindowExA(0, "STATIC", "Another program", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 300, 200,
                               nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  ASSERT_NE(other, nullptr);
  SetForegroundWindow(other);
  ASSERT_TRUE(waitUntil([&] { return GetForegroundWindow() == other; }));
  ChildProcess second;
  ASSERT_TRUE(second.start(kPanelExe, "one \"two words\" " + std::string(300, 'x')));
  EXPECT_EQ(second.wait(10000), std::optional<DWORD>(0u));
  EXPECT_TRUE(waitUntil([&] { return GetForegroundWindow() == window_; }));
  EXPECT_EQ(countPanelWindows(), 1);
  EXPECT_TRUE(IsWindowVisible(window_));
  EXPECT_FALSE(IsIconic(window_));
  DestroyWindow(other);
}

TEST_F(PanelUnderWine, TheLogoOpensTheAboutBoxWithTheVersionLine) {
  startPanel();
  click(IDC_ORVANELLOGO);
  HWND about = nullptr;
  ASSERT_TRUE(waitUntil([&] {
    about = FindWindowA("TForm2", "About");
    return about && IsWindowVisible(about);
  }));
  EXPECT_EQ(windowText(GetDlgItem(about, IDC_VERSIONSTRING)), "Version 1.3.3 Windows 2000 && XP");
  XScreenshot(shotPath("panel-about"));
  ASSERT_TRUE(XClickWindow(GetDlgItem(about, IDC_CLOSEBUTTON)));
  EXPECT_TRUE(waitUntil([&] { return !IsWindowVisible(about); }));
}

}  // namespace
}  // namespace ringdeck::wine
