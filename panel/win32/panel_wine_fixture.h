// The control panel under Wine as a person uses it: the fixture that starts "Orvanel
// RingDeck.exe" on a settings file of the test's choosing, finds its controls and message boxes,
// and clicks and types at them with real X input. Shared by the panel's Wine test programs.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "device_map.h"
#include "engine_test_support.h"
#include "protocol.h"
#include "resource.h"
#include "settings_io.h"
#include "win32_file.h"
#include "wine_support.h"
#include "x_input.h"

namespace ringdeck::wine {

using ringdeck::testing::keystrokeSlot;
using namespace ringdeck::panel;

inline const std::string kPanelExe = windowsPath(RINGDECK_PANEL_EXE);
inline const std::string kHelperExe = windowsPath(RINGDECK_HELPER_EXE);
inline const std::string kEngineVirtual = windowsPath(RINGDECK_ENGINE_VIRTUAL);
// Screenshots land in the build folder, named after the screen's DPI when it is not 96.
inline std::string shotPath(const std::string& name) {
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  return std::string(RINGDECK_SHOT_DIR) + "/" + name + (dpi == 96 ? "" : "-" + std::to_string(dpi) + "dpi") + ".png";
}

constexpr int kButton1Slot = SlotIndex::button(0);

inline std::vector<SettingsRecord> fixtureSets() {
  std::vector<SettingsRecord> sets(2);
  setName(sets[0], "Global Settings");
  sets[0].slots[kButton1Slot] = keystrokeSlot(ModControl, 'Z', kRepeatOnce, true);
  setComment(sets[0].slots[kButton1Slot], "Undo");
  sets[0].slots[SlotIndex::button(4)] = keystrokeSlot(0, 'Q', kRepeatOnce, true);
  setName(sets[1], "Editor");
  setTargetApp(sets[1], "Editor.exe");
  return sets;
}

inline std::string windowText(HWND w) {
  char text[512] = {};
  SendMessageTimeoutA(w, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000, nullptr);
  return text;
}

// The message box of the given caption that the control panel shows, if any.
inline HWND findBox(const char* caption) { return FindWindowA("#32770", caption); }

inline std::string boxText(HWND box) {
  std::string text;
  EnumChildWindows(box, [](HWND child, LPARAM out) -> BOOL {
    char cls[32] = {};
    GetClassNameA(child, cls, sizeof cls);
    if (lstrcmpiA(cls, "Static") == 0) {
      const std::string t = windowText(child);
      if (!t.empty()) *reinterpret_cast<std::string*>(out) += t;
    }
    return TRUE;
  }, reinterpret_cast<LPARAM>(&text));
  return text;
}

inline HWND boxButton(HWND box, const char* caption) {
  struct Find { const char* caption; HWND found; } find{caption, nullptr};
  EnumChildWindows(box, [](HWND child, LPARAM p) -> BOOL {
    auto* f = reinterpret_cast<Find*>(p);
    if (windowText(child) == f->caption) {
      f->found = child;
      return FALSE;
    }
    return TRUE;
  }, reinterpret_cast<LPARAM>(&find));
  return find.found;
}

class PanelUnderWine : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = settingsFilePath(ringdeck::win32::systemDirectory());
    writeSettings(initialSets());
    // A save tells the helper or starts it: a stand-in answers, so that no real helper outlives
    // a test (the one test of the start removes it).
    helper_ = std::make_unique<StandInWindow>(kHelperWindowClass, "", [](UINT, WPARAM, LPARAM, LRESULT&) { return false; });
  }
  void TearDown() override {
    panel_.reset();
    helper_.reset();
    files_.remove(path_);
  }

  // The settings file each test starts with.
  virtual std::vector<SettingsRecord> initialSets() { return fixtureSets(); }

  void writeSettings(const std::vector<SettingsRecord>& sets) {
    auto f = files_.open(path_, OpenMode::ReadWriteCreateNew);
    ASSERT_TRUE(f);
    ASSERT_TRUE(writeSettingsFile(*f, sets));
  }
  std::vector<SettingsRecord> readSettings() {
    auto f = files_.open(path_, OpenMode::ReadWriteOpenAlways);
    if (!f) return {};
    auto records = readAllSettingsRecords(*f);
    return records ? *records : std::vector<SettingsRecord>{};
  }
  // Read only, so that it also reads a file no one may write.
  std::vector<std::uint8_t> fileBytes() {
    auto f = files_.open(path_, OpenMode::ReadOnlyExisting);
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(f ? f->size().value_or(0) : 0));
    if (f && !bytes.empty() && f->readAt(0, bytes) != bytes.size()) bytes.clear();
    return bytes;
  }

  void startPanel(const std::string& exe = kPanelExe) {
    panel_ = std::make_unique<ChildProcess>();
    ASSERT_TRUE(panel_->start(exe, ""));
    ASSERT_TRUE(waitUntil([&] {
      window_ = FindWindowA("TShuttleControlForm", "Orvanel RingDeck");
      return window_ && IsWindowVisible(window_);
    }, 15000));
    // Its first paint and focus settle before the first click.
    Sleep(300);
  }
  HWND item(int id) const { return GetDlgItem(window_, id); }
  std::string text(int id) const { return windowText(item(id)); }
  int selection(int id) const { return static_cast<int>(SendMessageA(item(id), CB_GETCURSEL, 0, 0)); }
  bool textBecomes(int id, const std::string& expected, DWORD ms = 5000) {
    return waitUntil([&] { return text(id) == expected; }, ms);
  }
  bool selectionBecomes(int id, int expected, DWORD ms = 5000) {
    return waitUntil([&] { return selection(id) == expected; }, ms);
  }
  void click(int id) { ASSERT_TRUE(XClickWindow(item(id))); }
  HWND focusOfPanel() const {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(GetWindowThreadProcessId(window_, nullptr), &info);
    return info.hwndFocus;
  }
  // Clicks the device picture at a pixel of the picture's own (96 DPI) coordinates.
  void clickPicture(int x, int y) {
    POINT at{0, 0};
    ClientToScreen(item(IDC_SHUTTLEIMAGE), &at);
    RECT r;
    GetClientRect(item(IDC_SHUTTLEIMAGE), &r);
    ASSERT_TRUE(XClickAt(at.x + x * r.right / kDevicePictureWidth, at.y + y * r.bottom / kDevicePictureHeight));
  }
  // Answers the control panel's confirm box with a click on one of its buttons.
  std::string answerBox(const char* caption, const char* button) {
    HWND box = nullptr;
    if (!waitUntil([&] { return (box = findBox(caption)) != nullptr && IsWindowVisible(box); }, 5000)) return "<no box>";
    const std::string t = boxText(box);
    HWND b = boxButton(box, button);
    if (!b || !XClickWindow(b)) return "<no button>";
    waitUntil([&] { return !IsWindow(box); }, 5000);
    return t;
  }
  // Selects a user action by its list position through the keyboard, as a person may.
  void selectKeystrokeBoxOf(int position) {
    ASSERT_EQ(position, 0);  // the fixture's keystroke action
    click(IDC_KEYSTROKEBOX);
    ASSERT_TRUE(waitUntil([&] { return focusOfPanel() == item(IDC_KEYSTROKEBOX); }));
  }

  // A visible window of the control panel's process with the given class and title.
  HWND panelWindow(const char* className, const char* title) const {
    HWND w = nullptr;
    while ((w = FindWindowExA(nullptr, w, className, title)) != nullptr) {
      DWORD pid = 0;
      GetWindowThreadProcessId(w, &pid);
      if (pid == panel_->id() && IsWindowVisible(w)) return w;
    }
    return nullptr;
  }
  HWND waitForPanelWindow(const char* className, const char* title, DWORD ms = 5000) const {
    HWND w = nullptr;
    waitUntil([&] { return (w = panelWindow(className, title)) != nullptr; }, ms);
    return w;
  }
  // Opens the settings pop-up menu with the "Manage settings." button and picks an entry with
  // the keyboard (the menu opens with no entry highlighted: "Down" is the first).
  void chooseFromSettingsMenu(const std::string& keys) {
    click(IDC_SPEEDBUTTON2);
    ASSERT_NE(waitForPanelWindow("#32768", nullptr), nullptr) << "no menu";
    ASSERT_TRUE(XDo("key --delay 30 " + keys));
  }
  // Opens "&File" from the keyboard and picks an entry by its mnemonic (none: leaves it open).
  void chooseFromFileMenu(const std::string& mnemonic) {
    SetForegroundWindow(window_);
    ASSERT_TRUE(waitUntil([&] { return GetForegroundWindow() == window_; }));
    ASSERT_TRUE(XDo("keydown alt key f keyup alt"));
    ASSERT_NE(waitForPanelWindow("#32768", nullptr), nullptr) << "no menu";
    if (!mnemonic.empty()) {
      ASSERT_TRUE(XDo("key " + mnemonic));
    }
  }
  // Answers a common file dialog as a person does: the path typed into its file name box (which
  // has the focus when it opens) over whatever it proposes, then Enter; when the file exists
  // and the dialog asks before replacing it, "Yes".
  void answerFileDialog(const char* title, const std::string& path, bool confirmReplace = false) {
    HWND dialog = waitForPanelWindow("#32770", title);
    ASSERT_NE(dialog, nullptr) << "no dialog " << title;
    SetForegroundWindow(dialog);
    ASSERT_TRUE(waitUntil([&] { return GetForegroundWindow() == dialog; }));
    ASSERT_TRUE(XDo("keydown ctrl key a keyup ctrl"));
    ASSERT_TRUE(XDo("type --delay 5 '" + path + "'"));
    ASSERT_TRUE(XDo("key Return"));
    if (confirmReplace) {
      HWND question = nullptr;
      ASSERT_TRUE(waitUntil([&] {
        HWND w = nullptr;
        while ((w = FindWindowExA(nullptr, w, "#32770", nullptr)) != nullptr)
          if (w != dialog && IsWindowVisible(w) && boxButton(w, "&Yes")) return (question = w) != nullptr;
        return false;
      })) << "no question before replacing";
      ASSERT_TRUE(XClickWindow(boxButton(question, "&Yes")));
    }
    if (!waitUntil([&] { return !IsWindow(dialog) || !IsWindowVisible(dialog); }, 5000)) {
      XScreenshot(shotPath("file-dialog-stuck"));
      FAIL() << "the dialog " << title << " stayed open";
    }
  }
  // The texts of a dialog's child windows, as a person reads them.
  static std::vector<std::string> childTexts(HWND dialog) {
    std::vector<std::string> texts;
    EnumChildWindows(dialog, [](HWND child, LPARAM out) -> BOOL {
      reinterpret_cast<std::vector<std::string>*>(out)->push_back(windowText(child));
      return TRUE;
    }, reinterpret_cast<LPARAM>(&texts));
    return texts;
  }
  // The names of the sets in the settings file, in file order.
  std::vector<std::string> namesInFile() {
    std::vector<std::string> names;
    for (const SettingsRecord& r : readSettings()) names.emplace_back(fieldText(r.name));
    return names;
  }
  std::vector<std::string> targetAppEntries() const {
    std::vector<std::string> entries;
    const int n = static_cast<int>(SendMessageA(item(IDC_TARGETAPPBOX), CB_GETCOUNT, 0, 0));
    for (int i = 0; i < n; ++i) {
      // Wine hands the text of another process's list over in wide characters.
      wchar_t entry[64] = {};
      SendMessageW(item(IDC_TARGETAPPBOX), CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(entry));
      char narrow[64] = {};
      WideCharToMultiByte(CP_ACP, 0, entry, -1, narrow, sizeof narrow, nullptr, nullptr);
      entries.emplace_back(narrow);
    }
    return entries;
  }
  // Picks an entry of the target application box as a person does: the list dropped down with
  // a click, moved with the arrow keys from the entry shown, Enter.
  void pickTargetApp(int entry) {
    const int from = selection(IDC_TARGETAPPBOX);
    click(IDC_TARGETAPPBOX);
    ASSERT_TRUE(waitUntil([&] { return SendMessageA(item(IDC_TARGETAPPBOX), CB_GETDROPPEDSTATE, 0, 0) != 0; }));
    std::string keys;
    for (int i = from; i < entry; ++i) keys += " Down";
    for (int i = entry; i < from; ++i) keys += " Up";
    ASSERT_TRUE(XDo("key --delay 30" + keys + " Return"));
    ASSERT_TRUE(selectionBecomes(IDC_TARGETAPPBOX, entry));
  }

  ringdeck::win32::Win32FileSystem files_;
  std::string path_;
  std::unique_ptr<ChildProcess> panel_;
  std::unique_ptr<StandInWindow> helper_;
  HWND window_ = nullptr;
};

}  // namespace ringdeck::wine
