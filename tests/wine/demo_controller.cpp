// The on-screen controller, played with real X input (xdotool) the way a person plays it.
//   demo_controller <picture folder>   the demo: the engine (virtual-device build) with the
//                                      shipped defaults, the control panel and the controller
//                                      side by side; a button click, three wheel notches and a
//                                      ring turned out and back; prints what reached the system
//                                      and saves screenshots into the folder (a Unix path)
//   demo_controller --arrange          puts the windows scripts/try opened side by side
//   demo_controller --latency [N]      N clicks (default 200) from the mouse button to the key
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <numbers>
#include <string>
#include <thread>
#include <vector>

#include "action_names.h"
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

using vcontroller::kPictureScale;

// The control panel's list of user actions (its resources' IDC_USERACTIONBOX).
constexpr int kUserActionBox = 1031;

using vcontroller::controlMiddle;
using vcontroller::deviceMask;
using vcontroller::onRing;

std::string screenAt(HWND window, POINT picture) {
  POINT p{picture.x * kPictureScale + kPictureScale / 2, picture.y * kPictureScale + kPictureScale / 2};
  ClientToScreen(window, &p);
  return std::to_string(p.x) + " " + std::to_string(p.y);
}

// What programs sent to the system (SendInput), as low-level hooks on a thread of their own see
// it: keys by name, wheel turns by their amount. The person's own clicks and wheel notches on the
// controller are left out; the mouse button's time is kept for the latency.
std::string keyName(unsigned vk, bool extended) {
  switch (vk) {
    case VK_MEDIA_PLAY_PAUSE: return "PlayPause";
    case VK_VOLUME_UP: return "VolumeUp";
    case VK_VOLUME_DOWN: return "VolumeDown";
    case VK_PRIOR: return "PageUp";
    case VK_NEXT: return "PageDown";
    case VK_SHIFT: return "Shift";
    case VK_CONTROL: return "Ctrl";
    case VK_MENU: return "Alt";
  }
  char name[64] = {};
  const LONG scan = static_cast<LONG>(MapVirtualKeyA(vk, MAPVK_VK_TO_VSC));
  if (scan != 0 && GetKeyNameTextA(scan << 16 | (extended ? 1 << 24 : 0), name, sizeof name) > 0) return name;
  std::snprintf(name, sizeof name, "key 0x%02X", vk);
  return name;
}

class Recorder {
 public:
  Recorder() {
    self_ = this;
    thread_ = std::thread([this] {
      MSG msg;
      PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);
      HHOOK m = SetWindowsHookExA(WH_MOUSE_LL, mouseHook, GetModuleHandleA(nullptr), 0);
      HHOOK k = SetWindowsHookExA(WH_KEYBOARD_LL, keyHook, GetModuleHandleA(nullptr), 0);
      threadId_ = GetCurrentThreadId();
      while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
      UnhookWindowsHookEx(m);
      UnhookWindowsHookEx(k);
    });
    while (!threadId_) Sleep(1);
  }
  ~Recorder() {
    PostThreadMessageA(threadId_, WM_QUIT, 0, 0);
    thread_.join();
    self_ = nullptr;
  }
  std::size_t size() {
    std::lock_guard lock(m_);
    return lines_.size();
  }
  // The lines from `from` on, once nothing more has come for a moment.
  std::string since(std::size_t& from) {
    std::size_t n = size();
    for (;;) {
      Sleep(300);
      if (size() == n) break;
      n = size();
    }
    std::lock_guard lock(m_);
    std::string out;
    for (; from < lines_.size(); ++from) out += (out.empty() ? "" : ", ") + lines_[from];
    return out.empty() ? "(nothing)" : out;
  }
  std::atomic<double> clickAt{0}, keyAt{0};
  std::atomic<int> keyDowns{0};

 private:
  void add(std::string line) {
    std::lock_guard lock(m_);
    lines_.push_back(std::move(line));
  }
  static LRESULT CALLBACK mouseHook(int code, WPARAM wp, LPARAM lp) {
    const auto* m = reinterpret_cast<const MSLLHOOKSTRUCT*>(lp);
    if (code == HC_ACTION && self_) {
      if (wp == WM_LBUTTONDOWN && !(m->flags & LLMHF_INJECTED)) self_->clickAt = nowMs();
      if (wp == WM_MOUSEWHEEL && (m->flags & LLMHF_INJECTED)) {
        self_->add("wheel " + std::to_string(static_cast<short>(HIWORD(m->mouseData))));
      }
    }
    return CallNextHookEx(nullptr, code, wp, lp);
  }
  static LRESULT CALLBACK keyHook(int code, WPARAM wp, LPARAM lp) {
    const auto* k = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lp);
    if (code == HC_ACTION && self_ && (k->flags & LLKHF_INJECTED)) {
      const bool up = (k->flags & LLKHF_UP) != 0;
      if (!up) {
        self_->keyAt = nowMs();
        ++self_->keyDowns;
      }
      self_->add(keyName(k->vkCode, (k->flags & LLKHF_EXTENDED) != 0) + (up ? " up" : " down"));
    }
    return CallNextHookEx(nullptr, code, wp, lp);
  }
  static inline Recorder* self_ = nullptr;
  std::thread thread_;
  std::atomic<DWORD> threadId_{0};
  std::mutex m_;
  std::vector<std::string> lines_;
};

HWND waitForWindow(const char* cls, const char* title, DWORD ms = 15000) {
  HWND w = nullptr;
  waitUntil([&] {
    w = FindWindowA(cls, title);
    return w && IsWindowVisible(w);
  }, ms);
  return w && IsWindowVisible(w) ? w : nullptr;
}

RECT rectOf(HWND w) {
  RECT r{};
  GetWindowRect(w, &r);
  return r;
}

// The control panel at the top left (below Wine's tray window when it shows), the controller to
// its right, what else is given below the panel.
void sideBySide(HWND panelWindow, HWND controller, HWND below) {
  int top = 8;
  HWND tray = FindWindowA("Shell_TrayWnd", nullptr);
  if (tray && IsWindowVisible(tray)) top = static_cast<int>(rectOf(tray).bottom) + 4;
  const RECT p = rectOf(panelWindow);
  const int panelWidth = p.right - p.left, panelHeight = p.bottom - p.top;
  SetWindowPos(panelWindow, nullptr, 8, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  SetWindowPos(controller, nullptr, 8 + panelWidth + 8, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  if (below) {
    RECT work{0, 0, 1280, 1024};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    top += panelHeight + 8;
    SetWindowPos(below, nullptr, 8, top, panelWidth, std::max(200, static_cast<int>(work.bottom) - top - 8),
                 SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

bool crop(const std::string& from, const std::string& to, const RECT& r) {
  const std::string geometry = std::to_string(r.right - r.left) + "x" + std::to_string(r.bottom - r.top) + "+" +
                               std::to_string(r.left) + "+" + std::to_string(r.top);
  return RunUnix("convert '" + from + "' -crop " + geometry + " +repage '" + to + "'", 30000) == 0;
}

// ---- the demo

int demo(const std::string& folder) {
  const std::string path = settingsFilePath(ringdeck::win32::systemDirectory());
  if (!CopyFileA(windowsPath(RINGDECK_DEFAULT_SETTINGS).c_str(), path.c_str(), FALSE)) {
    std::printf("demo: cannot put the default settings at %s\n", path.c_str());
    return 1;
  }
  RunUnix("mkdir -p '" + folder + "'");

  // The engine tells the helper each change of the device count: a stand-in takes it.
  const UINT statusNotify = RegisterWindowMessageA(kMsgStatusNotify);
  std::atomic<int> devices{-1};
  StandInWindow helper(kHelperWindowClass, "", [&](UINT m, WPARAM, LPARAM l, LRESULT&) {
    if (m == statusNotify) devices = static_cast<int>(l);
    return false;
  });
  Recorder recorder;
  ChildProcess engine, panelProcess, controller;
  if (!engine.start(windowsPath(RINGDECK_ENGINE_VIRTUAL), "-run") ||
      !waitUntil([] { return FindWindowA(kEngineWindowClass, nullptr) != nullptr; }, 10000)) {
    std::printf("demo: the engine did not start\n");
    return 1;
  }
  panelProcess.start(windowsPath(RINGDECK_PANEL_EXE), "");
  HWND panelWindow = waitForWindow("TShuttleControlForm", "Orvanel RingDeck");
  controller.start(windowsPath(RINGDECK_VCONTROLLER_EXE), "");
  HWND window = waitForWindow(vcontroller::kWindowClass, vcontroller::kCaption);
  if (!panelWindow || !window || !waitUntil([&] { return devices == 1; }, 10000)) {
    std::printf("demo: the control panel or the on-screen controller did not come up\n");
    return 1;
  }
  sideBySide(panelWindow, window, nullptr);
  // The control panel in front, as when a person picks a control by touching it; the controller
  // never takes the front from it.
  SetForegroundWindow(panelWindow);
  Sleep(500);
  std::printf("on-screen controller: plugged in beside the control panel\n\n");

  std::size_t seen = recorder.size();
  const int button = 6;  // the Upper Center Button
  const std::string name = panel::UserActionCaption(static_cast<std::size_t>(button));
  const std::string shot = folder + "/screen.png";

  // With the control panel in front, touching a control picks it there and types nothing (the
  // first report after it came to the front only sets where the device stands). The button held
  // for the pictures.
  XDo("mousemove " + screenAt(window, controlMiddle(button)) + " click 1 sleep 0.3 mousedown 1");
  HWND actionBox = GetDlgItem(panelWindow, kUserActionBox);
  auto picked = [&] {
    char text[64] = {};
    SendMessageTimeoutA(actionBox, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000,
                        nullptr);
    return std::string(text);
  };
  waitUntil([&] { return picked() == name; }, 3000);
  Sleep(300);
  XScreenshot(shot);
  const RECT c = rectOf(window), p = rectOf(panelWindow);
  crop(shot, folder + "/controller-touched.png", c);
  // The two windows as they stand, on a light ground instead of the empty screen around them.
  crop(shot, folder + "/panel.png", p);
  RunUnix("convert '" + folder + "/panel.png' -size 12x1 xc:'#dfe3e8' '" + folder + "/controller-touched.png' " +
          "-background '#dfe3e8' -gravity north +append -bordercolor '#dfe3e8' -border 12 '" + folder +
          "/panel-beside-controller.png' && rm -f '" + folder + "/panel.png'", 30000);
  XDo("mouseup 1");
  const std::string typed = recorder.since(seen);
  std::printf("%-40s -> %s; the control panel shows \"%s\"\n", (name + " clicked, control panel in front").c_str(),
              typed.c_str(), picked().c_str());

  // Notepad in front: the global set acts.
  ChildProcess notepad;
  notepad.start("C:\\windows\\notepad.exe", "");
  if (HWND note = waitForWindow("Notepad", nullptr)) {
    SetWindowPos(note, nullptr, 8, p.bottom + 8, p.right - p.left, 300, SWP_NOZORDER);
    SetForegroundWindow(note);
    Sleep(300);
  }
  std::printf("(Notepad in front)\n");
  XDo("mousemove " + screenAt(window, controlMiddle(button)) + " click 1");
  std::printf("%-40s -> %s\n", (name + " clicked").c_str(), recorder.since(seen).c_str());

  XDo("mousemove " + screenAt(window, controlMiddle(panel::kJogControl)) + " click 4 sleep 0.1 click 4 sleep 0.1 click 4");
  std::printf("%-40s -> %s\n", "Three wheel notches over the jog", recorder.since(seen).c_str());

  // The ring taken at its upper left, turned right by four positions, held, turned back, let go.
  std::string out = "mousemove " + screenAt(window, onRing(-60)) + " mousedown 1";
  for (int a = -56; a <= -12; a += 4) out += " mousemove " + screenAt(window, onRing(a)) + " sleep 0.03";
  XDo(out);
  Sleep(800);
  XScreenshot(shot);
  crop(shot, folder + "/controller-shuttle.png", c);
  std::printf("%-40s -> %s\n", "Ring turned right to +4, held 0.8 s", recorder.since(seen).c_str());
  std::string back;
  for (int a = -16; a >= -60; a -= 4) back += " mousemove " + screenAt(window, onRing(a)) + " sleep 0.03";
  XDo(back + " mouseup 1");
  std::printf("%-40s -> %s\n", "Ring turned back to the centre", recorder.since(seen).c_str());
  DeleteFileA(windowsPath(shot).c_str());

  PostMessageA(window, WM_CLOSE, 0, 0);
  controller.wait(5000);
  if (HWND note = FindWindowA("Notepad", nullptr)) PostMessageA(note, WM_CLOSE, 0, 0);
  notepad.wait(3000);
  std::printf("\npictures: %s (controller-touched.png, controller-shuttle.png, panel-beside-controller.png)\n",
              folder.c_str());
  if (HWND w = FindWindowA(kEngineWindowClass, nullptr)) SendMessageA(w, WM_QUIT, 0, 0);
  const auto status = engine.wait(5000);
  DeleteFileA(path.c_str());
  return status == std::optional<DWORD>(0u) ? 0 : 1;
}

// ---- scripts/try: the windows it opened, side by side

int arrange() {
  HWND panelWindow = waitForWindow("TShuttleControlForm", "Orvanel RingDeck", 30000);
  HWND controller = waitForWindow(vcontroller::kWindowClass, vcontroller::kCaption, 30000);
  HWND notepad = waitForWindow("Notepad", nullptr, 30000);
  if (!panelWindow || !controller) return 1;
  sideBySide(panelWindow, controller, notepad);
  // Notepad in front: the keys of the global set go there.
  if (notepad) SetForegroundWindow(notepad);
  return 0;
}

// ---- click -> key

int latency(int clicks) {
  const std::string path = settingsFilePath(ringdeck::win32::systemDirectory());
  {
    SettingsRecord set{};
    setName(set, "Latency");
    set.slots[SlotIndex::button(4)] = ringdeck::testing::keystrokeSlot(0, 'Q', kRepeatOnce, true);
    ringdeck::win32::Win32FileSystem files;
    auto f = files.open(path, OpenMode::ReadWriteCreateNew);
    if (!f || !writeSettingsFile(*f, std::span(&set, 1))) return 1;
  }
  Recorder recorder;

  ChildProcess engine, controller;
  engine.start(windowsPath(RINGDECK_ENGINE_VIRTUAL), "-run");
  waitUntil([] { return FindWindowA(kEngineWindowClass, nullptr) != nullptr; }, 10000);
  controller.start(windowsPath(RINGDECK_VCONTROLLER_EXE), "");
  HWND window = waitForWindow(vcontroller::kWindowClass, vcontroller::kCaption);
  std::vector<double> samples;
  if (window) {
    Sleep(1000);  // plugged in
    const std::string fifth = screenAt(window, controlMiddle(4));
    XDo("mousemove " + fifth);
    for (int i = 0; i < clicks; ++i) {
      const int before = recorder.keyDowns;
      XDo("click 1");
      if (!waitUntil([&] { return recorder.keyDowns > before; }, 2000)) continue;
      samples.push_back(recorder.keyAt - recorder.clickAt);
    }
    PostMessageA(window, WM_CLOSE, 0, 0);
  }
  controller.wait(5000);
  if (HWND w = FindWindowA(kEngineWindowClass, nullptr)) SendMessageA(w, WM_QUIT, 0, 0);
  engine.wait(5000);
  DeleteFileA(path.c_str());
  if (samples.empty()) {
    std::printf("latency: no samples\n");
    return 1;
  }
  std::sort(samples.begin(), samples.end());
  auto at = [&](double q) { return samples[std::min(samples.size() - 1, static_cast<std::size_t>(samples.size() * q))]; };
  std::printf("%-34s %8s %8s %8s %8s\n", "click -> key (ms)", "samples", "median", "p95", "max");
  std::printf("%-34s %8zu %8.3f %8.3f %8.3f\n", "on-screen controller, engine", samples.size(), at(0.5), at(0.95),
              samples.back());
  return 0;
}

}  // namespace
}  // namespace ringdeck::wine

int main(int argc, char** argv) {
  const std::string first = argc > 1 ? argv[1] : "";
  if (first == "--arrange") return ringdeck::wine::arrange();
  if (first == "--latency") return ringdeck::wine::latency(argc > 2 ? std::max(1, std::atoi(argv[2])) : 200);
  if (first.empty() || first[0] == '-') {
    std::fprintf(stderr, "usage: demo_controller <picture folder> | --arrange | --latency [clicks]\n");
    return 2;
  }
  return ringdeck::wine::demo(first);
}
