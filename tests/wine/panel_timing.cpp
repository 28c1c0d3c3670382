// Start-up and Apply of the control panel under Wine, for the shipped default settings and for
// a file of 10,000 sets; the device picking controls in the window; the operations on whole
// sets on a file of 10,000 sets:
//   panel_timing [starts] [reports] [repeats]      default 10, 400, 5
// Start-up: process start until the window is visible showing user action 0 ("Button 1").
// Apply: a click on Apply (BM_CLICK, answered when the handler is done): the edit stored, the
// sorted file written, Reload.All.Preferences answered by a helper and an engine stand-in.
// Report to selection: a report written to the virtual device's pipe until the window's user
// action list shows the control it touched (jog steps right and left in turn, so that each
// report changes the selection), through the real engine.
// Create, remove, import: from the end of the user's last answer (the file dialog or the
// confirm box gone) until the window shows the result: the set saved, read back and shown, or
// the import's success box.
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "protocol.h"
#include "settings_io.h"
#include "win32_file.h"
#include "wine_support.h"
#include "x_input.h"

#include "device_table.h"

#include "../../panel/win32/resource.h"

namespace ringdeck::wine {
namespace {

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

double percentile(std::vector<double> v, double p) {
  std::sort(v.begin(), v.end());
  if (v.empty()) return 0;
  const std::size_t at = std::min(v.size() - 1, static_cast<std::size_t>(p * static_cast<double>(v.size())));
  return v[at];
}

bool writeFile(ringdeck::win32::Win32FileSystem& files, const std::string& path,
               const std::vector<SettingsRecord>& sets) {
  files.remove(path);
  auto f = files.open(path, OpenMode::ReadWriteCreateNew);
  return f && writeSettingsFile(*f, sets);
}

std::vector<SettingsRecord> shippedDefaults(ringdeck::win32::Win32FileSystem& files) {
  auto f = files.open(windowsPath(RINGDECK_DEFAULT_SETTINGS), OpenMode::ReadWriteOpenAlways);
  auto sets = f ? readAllSettingsRecords(*f) : std::nullopt;
  return sets ? *sets : std::vector<SettingsRecord>(1);
}

std::vector<SettingsRecord> manySets(std::size_t n) {
  std::vector<SettingsRecord> sets(n);
  setName(sets[0], "Global Settings");
  for (std::size_t i = 1; i < n; ++i) {
    // Names in no order, so that the save really sorts.
    const unsigned key = static_cast<unsigned>((i * 7919) % 100003);
    setName(sets[i], "Set " + std::to_string(key));
    setTargetApp(sets[i], "PROGRAM" + std::to_string(i) + ".EXE");
  }
  return sets;
}

struct Run {
  std::vector<double> startMs;
  std::vector<double> applyMs;
};

Run measure(const std::string& panel, int starts) {
  Run run;
  const UINT reload = RegisterWindowMessageA(kMsgReloadAllPreferences);
  auto answer = [reload](UINT m, WPARAM, LPARAM, LRESULT& r) {
    if (m != reload) return false;
    r = 0;
    return true;
  };
  StandInWindow helper(kHelperWindowClass, "", answer);
  StandInWindow engine(kEngineWindowClass, "", answer);
  for (int i = 0; i < starts; ++i) {
    ChildProcess p;
    HWND window = nullptr;
    const double t0 = nowMs();
    if (!p.start(panel, "")) break;
    waitUntil([&] {
      window = FindWindowA("TShuttleControlForm", "Orvanel RingDeck");
      return window && IsWindowVisible(window) &&
             SendMessageA(GetDlgItem(window, IDC_USERACTIONBOX), CB_GETCURSEL, 0, 0) == 0;
    }, 60000);
    run.startMs.push_back(nowMs() - t0);
    const double a0 = nowMs();
    SendMessageA(GetDlgItem(window, IDC_SPEEDBUTTON1), BM_CLICK, 0, 0);
    run.applyMs.push_back(nowMs() - a0);
  }
  return run;
}

HWND startPanel(ChildProcess& p, const std::string& panel) {
  HWND window = nullptr;
  if (!p.start(panel, "")) return nullptr;
  waitUntil([&] {
    window = FindWindowA("TShuttleControlForm", "Orvanel RingDeck");
    return window && IsWindowVisible(window) &&
           SendMessageA(GetDlgItem(window, IDC_USERACTIONBOX), CB_GETCURSEL, 0, 0) == 0;
  }, 60000);
  return window;
}

// Report to selection through the real engine and a virtual controller, the panel in front.
std::vector<double> measureReports(const std::string& panel, int reports) {
  std::vector<double> ms;
  VirtualDevices devices;
  ChildProcess engine;
  if (!engine.start(windowsPath(RINGDECK_ENGINE_VIRTUAL), "-run") || !devices.waitForEngine()) return ms;
  const int d = devices.plug(ringdeck::engine::kMakerVendor, ringdeck::engine::kMakerController);
  const std::uint8_t rest[8] = {};
  if (d < 0 || !devices.send(d, rest)) return ms;
  ChildProcess p;
  HWND window = startPanel(p, panel);
  if (!window) return ms;
  SetForegroundWindow(window);
  waitUntil([&] { return GetForegroundWindow() == window; });
  Sleep(200);
  HWND list = GetDlgItem(window, IDC_USERACTIONBOX);
  devices.send(d, rest);  // the window's own starting point
  Sleep(100);
  for (int i = 0; i < reports; ++i) {
    const std::uint8_t jog = static_cast<std::uint8_t>((i + 1) % 2);
    const LRESULT expected = jog == 1 ? 14 : 13;  // "Jog Right", then "Jog Left"
    const std::uint8_t report[8] = {0, 0, jog, 0, 0, 0, 0, 0};
    const double t0 = nowMs();
    if (!devices.send(d, report)) break;
    // Yields between looks: on a busy machine a bare spin takes the core the panel and the
    // engine need.
    while (SendMessageA(list, CB_GETCURSEL, 0, 0) != expected && nowMs() - t0 < 2000) SwitchToThread();
    ms.push_back(nowMs() - t0);
  }
  if (HWND w = FindWindowA(kEngineWindowClass, nullptr)) SendMessageA(w, WM_QUIT, 0, 0);
  engine.wait(5000);
  return ms;
}

HWND visibleWindowOf(DWORD pid, const char* className, const char* title) {
  HWND w = nullptr;
  while ((w = FindWindowExA(nullptr, w, className, title)) != nullptr) {
    DWORD owner = 0;
    GetWindowThreadProcessId(w, &owner);
    if (owner == pid && IsWindowVisible(w)) return w;
  }
  return nullptr;
}

HWND waitForWindow(DWORD pid, const char* className, const char* title) {
  HWND w = nullptr;
  waitUntil([&] { return (w = visibleWindowOf(pid, className, title)) != nullptr; }, 10000);
  return w;
}

// Spins (no 10 ms message wait) until pred holds: what is timed here takes tens of milliseconds.
bool spinUntil(const std::function<bool()>& pred, double timeoutMs) {
  const double t0 = nowMs();
  while (!pred()) {
    if (nowMs() - t0 > timeoutMs) return false;
    SwitchToThread();
  }
  return true;
}

// Types a path into a file dialog and presses Enter; the time the dialog went away, seen by a
// thread that watches it while the key is on its way.
double answerFileDialog(HWND dialog, const std::string& path) {
  SetForegroundWindow(dialog);
  waitUntil([&] { return GetForegroundWindow() == dialog; });
  XDo("keydown ctrl key a keyup ctrl");
  XDo("type --delay 5 '" + path + "'");
  double gone = 0;
  std::thread watch([&] {
    spinUntil([&] { return !IsWindow(dialog) || !IsWindowVisible(dialog); }, 10000);
    gone = nowMs();
  });
  XDo("key Return");
  watch.join();
  return gone;
}

std::string textOf(HWND w) {
  char text[128] = {};
  SendMessageA(w, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
  return text;
}

struct SetTimes {
  std::vector<double> create, remove, import;
};

SetTimes measureSetOperations(const std::string& panel, int repeats) {
  SetTimes t;
  const std::string folder = "C:\\ringdeck-timing";
  CreateDirectoryA(folder.c_str(), nullptr);
  const std::string editor = folder + "\\Editor.exe";
  const std::string imported = folder + "\\imported.pref";
  CopyFileA(windowsPath(RINGDECK_PANEL_EXE).c_str(), editor.c_str(), FALSE);
  {
    SettingsRecord set{};
    setName(set, "Imported");
    setTargetApp(set, "tool.exe");
    std::vector<std::uint8_t> bytes(kExportedFileSize);
    const SettingsFileHeader h = standardHeader();
    std::memcpy(bytes.data(), &h, kHeaderSize);
    std::memcpy(bytes.data() + kHeaderSize, &set, kRecordSize);
    HANDLE f = CreateFileA(imported.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD put = 0;
    WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr);
    CloseHandle(f);
  }
  const UINT reload = RegisterWindowMessageA(kMsgReloadAllPreferences);
  auto answer = [reload](UINT m, WPARAM, LPARAM, LRESULT& r) {
    if (m != reload) return false;
    r = 0;
    return true;
  };
  StandInWindow helper(kHelperWindowClass, "", answer);
  StandInWindow engineStandIn(kEngineWindowClass, "", answer);
  ChildProcess p;
  HWND window = startPanel(p, panel);
  if (!window) return t;
  HWND box = GetDlgItem(window, IDC_TARGETAPPBOX);
  const LRESULT sets = SendMessageA(box, CB_GETCOUNT, 0, 0);
  auto removeCurrent = [&]() -> bool {
    PostMessageA(window, WM_COMMAND, IDM_REMOVESETTINGS, 0);
    HWND confirm = waitForWindow(p.id(), "#32770", "Confirm Request");
    if (!confirm) return false;
    PostMessageA(confirm, WM_COMMAND, IDOK, 0);
    spinUntil([&] { return !IsWindow(confirm) || !IsWindowVisible(confirm); }, 10000);
    const double t0 = nowMs();
    spinUntil([&] { return SendMessageA(box, CB_GETCOUNT, 0, 0) == sets && textOf(box) == "Global Settings"; }, 30000);
    t.remove.push_back(nowMs() - t0);
    return true;
  };
  for (int i = 0; i < repeats; ++i) {
    PostMessageA(window, WM_COMMAND, IDM_NEWPREFERENCES, 0);
    HWND create = waitForWindow(p.id(), "TForm3", "Create New Settings");
    if (!create) break;
    PostMessageA(create, WM_COMMAND, IDC_FORM3OK, 0);
    HWND open = waitForWindow(p.id(), "#32770", "Open");
    if (!open) break;
    const double t0 = answerFileDialog(open, editor);
    spinUntil([&] { return textOf(box) == "Editor"; }, 30000);
    t.create.push_back(nowMs() - t0);
    if (!removeCurrent()) break;

    PostMessageA(window, WM_COMMAND, IDM_IMPORTSETTINGS, 0);
    open = waitForWindow(p.id(), "#32770", "Open");
    if (!open) break;
    const double i0 = answerFileDialog(open, imported);
    HWND success = nullptr;
    spinUntil([&] { return (success = visibleWindowOf(p.id(), "#32770", "Import Successfull")) != nullptr; }, 30000);
    t.import.push_back(nowMs() - i0);
    if (success) PostMessageA(success, WM_COMMAND, IDOK, 0);
    waitUntil([&] { return textOf(box) == "Imported"; }, 30000);
    if (!removeCurrent()) break;
  }
  PostMessageA(window, WM_COMMAND, IDM_QUITWITHOUTSAVING, 0);
  if (HWND confirm = waitForWindow(p.id(), "#32770", "Confirm Request")) PostMessageA(confirm, WM_COMMAND, IDOK, 0);
  p.wait(10000);
  DeleteFileA(editor.c_str());
  DeleteFileA(imported.c_str());
  RemoveDirectoryA(folder.c_str());
  return t;
}

}  // namespace
}  // namespace ringdeck::wine

int main(int argc, char** argv) {
  using namespace ringdeck;
  using namespace ringdeck::wine;
  const int starts = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
  ringdeck::win32::Win32FileSystem files;
  const std::string path = settingsFilePath(ringdeck::win32::systemDirectory());
  const std::string panel = windowsPath(RINGDECK_PANEL_EXE);
  struct Case {
    const char* name;
    std::vector<SettingsRecord> sets;
  };
  const Case cases[] = {{"shipped defaults", shippedDefaults(files)}, {"10,000 sets", manySets(10000)}};
  for (const Case& c : cases) {
    if (!writeFile(files, path, c.sets)) {
      std::printf("cannot write %s\n", path.c_str());
      return 1;
    }
    const Run run = measure(panel, starts);
    std::printf("%-17s (%zu sets): start to Button 1 shown median %.0f ms (min %.0f, max %.0f); "
                "Apply median %.1f ms over %d starts\n",
                c.name, c.sets.size(), median(run.startMs),
                *std::min_element(run.startMs.begin(), run.startMs.end()),
                *std::max_element(run.startMs.begin(), run.startMs.end()), median(run.applyMs), starts);
  }
  const int reports = argc > 2 ? std::max(1, std::atoi(argv[2])) : 400;
  const int repeats = argc > 3 ? std::max(1, std::atoi(argv[3])) : 5;
  if (!writeFile(files, path, cases[0].sets)) return 1;
  const std::vector<double> selection = measureReports(panel, reports);
  if (!selection.empty())
    std::printf("report to selection (%zu reports, real engine, virtual controller): median %.2f ms, "
                "p99 %.2f ms, max %.2f ms\n",
                selection.size(), median(selection), percentile(selection, 0.99),
                *std::max_element(selection.begin(), selection.end()));
  if (!writeFile(files, path, manySets(10000))) return 1;
  const SetTimes sets = measureSetOperations(panel, repeats);
  auto line = [](const char* what, const std::vector<double>& v) {
    if (!v.empty())
      std::printf("%-7s on 10,000 sets: median %.0f ms (min %.0f, max %.0f) over %zu\n", what, median(v),
                  *std::min_element(v.begin(), v.end()), *std::max_element(v.begin(), v.end()), v.size());
    else
      std::printf("%-7s on 10,000 sets: not measured\n", what);
  };
  line("create", sets.create);
  line("remove", sets.remove);
  line("import", sets.import);
  files.remove(path);
  return 0;
}
