// "RingDeck Helper.exe" run for real under Wine. The test program plays the engine (a hidden
// window of class "RingDeck Engine" that records what the helper sends and answers with
// Status.Notify) and the foreground applications; it reads the helper's icon, tooltip and menu
// through the helper's state query.
#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

#include <functional>
#include <string>
#include <vector>

#include "device_table.h"
#include "helper_core.h"
#include "integrity_win32.h"
#include "protocol.h"
#include "settings_io.h"
#include "win32_file.h"
#include "wine_support.h"

namespace ringdeck::helper {
namespace {

using ringdeck::win32::Win32FileSystem;

using ringdeck::wine::waitUntil;
using ringdeck::wine::windowsPath;

void pumpFor(DWORD ms) {
  waitUntil([] { return false; }, ms);
}

struct Set {
  std::string name;
  std::string target;
};

std::string moduleName() {
  char path[MAX_PATH];
  const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  const std::string p(path, n);
  return p.substr(p.find_last_of('\\') + 1);
}

// The stand-in engine: records Status.Request and Change.Current.Preference and answers like
// the engine, by sending Status.Notify to the helper while the helper waits.
class FakeEngine {
 public:
  bool answerStatusRequest = true;
  std::uint32_t current = 0;
  std::uint32_t devices = 1;
  int statusRequests = 0;
  std::vector<std::uint32_t> changes;

  FakeEngine() {
    statusRequest_ = RegisterWindowMessageA(kMsgStatusRequest);
    statusNotify_ = RegisterWindowMessageA(kMsgStatusNotify);
    change_ = RegisterWindowMessageA(kMsgChangeCurrentPreference);
    WNDCLASSA wc{};
    wc.lpfnWndProc = &FakeEngine::proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = kEngineWindowClass;
    RegisterClassA(&wc);
    hwnd_ = CreateWindowExA(0, kEngineWindowClass, "", 0, 0, 0, 0, 0, nullptr, nullptr,
                            wc.hInstance, this);
  }
  ~FakeEngine() {
    DestroyWindow(hwnd_);
    UnregisterClassA(kEngineWindowClass, GetModuleHandleA(nullptr));
  }
  FakeEngine(const FakeEngine&) = delete;
  FakeEngine& operator=(const FakeEngine&) = delete;

  void notifyHelper() {
    if (HWND helper = FindWindowA(kHelperWindowClass, nullptr)) {
      SendMessageA(helper, statusNotify_, current, devices);
    }
  }

 private:
  static LRESULT CALLBACK proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NCCREATE) {
      SetWindowLongPtrA(hwnd, GWLP_USERDATA,
                        reinterpret_cast<LONG_PTR>(
                            reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams));
    }
    auto* self = reinterpret_cast<FakeEngine*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (self && msg == self->statusRequest_) {
      ++self->statusRequests;
      if (self->answerStatusRequest) self->notifyHelper();
      return 0;
    }
    if (self && msg == self->change_) {
      self->changes.push_back(static_cast<std::uint32_t>(wParam));
      self->current = static_cast<std::uint32_t>(wParam);
      self->notifyHelper();
      return 0;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
  }

  HWND hwnd_ = nullptr;
  UINT statusRequest_ = 0, statusNotify_ = 0, change_ = 0;
};

// A visible top-level window of this program (an application for AutoSwitch).
class TestWindow {
 public:
  explicit TestWindow(const char* title) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "HelperTestApplication";
    RegisterClassA(&wc);  // fails harmlessly for the second window
    hwnd = CreateWindowExA(0, wc.lpszClassName, title, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 50, 50,
                           300, 200, nullptr, nullptr, wc.hInstance, nullptr);
  }
  ~TestWindow() { DestroyWindow(hwnd); }
  TestWindow(const TestWindow&) = delete;
  TestWindow& operator=(const TestWindow&) = delete;
  HWND hwnd;
};

class Process {
 public:
  Process() = default;
  explicit Process(const std::string& exe, const std::string& args = {}) {
    std::string commandLine = "\"" + exe + "\"" + (args.empty() ? "" : " " + args);
    STARTUPINFOA si{};
    si.cb = sizeof si;
    if (CreateProcessA(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                       nullptr, &si, &info_)) {
      CloseHandle(info_.hThread);
    }
  }
  ~Process() {
    if (info_.hProcess) {
      if (WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT) {
        TerminateProcess(info_.hProcess, 99);
        WaitForSingleObject(info_.hProcess, 5000);
      }
      CloseHandle(info_.hProcess);
    }
  }
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  bool started() const { return info_.hProcess != nullptr; }
  DWORD id() const { return info_.dwProcessId; }
  // The exit code, or nothing when the process still runs after timeoutMs (pumping meanwhile).
  std::optional<DWORD> waitExit(DWORD timeoutMs) {
    if (!waitUntil([&] { return WaitForSingleObject(info_.hProcess, 0) == WAIT_OBJECT_0; },
                   timeoutMs)) {
      return std::nullopt;
    }
    DWORD code = 0;
    GetExitCodeProcess(info_.hProcess, &code);
    return code;
  }

 private:
  PROCESS_INFORMATION info_{};
};

// A top-level window of process pid with the given class (nullptr: any).
HWND findWindowOf(DWORD pid, const char* className, const char* title = nullptr) {
  HWND w = nullptr;
  while ((w = FindWindowExA(nullptr, w, className, title)) != nullptr) {
    DWORD owner = 0;
    GetWindowThreadProcessId(w, &owner);
    if (owner == pid) return w;
  }
  return nullptr;
}

class HelperUnderWine : public testing::Test {
 protected:
  void SetUp() override {
    path_ = settingsFilePath(ringdeck::win32::systemDirectory());
    if (auto f = fs_.open(path_, OpenMode::ReadOnlyExisting)) {
      saved_.resize(*f->size());
      f->readAt(0, saved_);
      hadFile_ = true;
    }
    queryMsg_ = RegisterWindowMessageA("Orvanel.RingDeck.Helper.State.Query");
    reloadMsg_ = RegisterWindowMessageA(kMsgReloadAllPreferences);
    statusNotifyMsg_ = RegisterWindowMessageA(kMsgStatusNotify);
    WNDCLASSA wc{};
    wc.lpfnWndProc = &HelperUnderWine::replyProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "HelperTestReply";
    RegisterClassA(&wc);
    reply_ = CreateWindowExA(0, wc.lpszClassName, "", 0, 0, 0, 0, 0, nullptr, nullptr,
                             wc.hInstance, nullptr);
    SetWindowLongPtrA(reply_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&state_));
  }
  void TearDown() override {
    helper_.reset();
    DestroyWindow(reply_);
    UnregisterClassA("HelperTestReply", GetModuleHandleA(nullptr));
    fs_.remove(path_);
    if (hadFile_) {
      auto f = fs_.open(path_, OpenMode::ReadWriteCreateNew);
      f->writeAt(0, saved_);
    }
  }

  void writeSets(const std::vector<Set>& sets) {
    std::vector<SettingsRecord> records(sets.size());
    for (std::size_t i = 0; i < sets.size(); ++i) {
      setName(records[i], sets[i].name);
      setTargetApp(records[i], sets[i].target);
    }
    fs_.remove(path_);
    auto f = fs_.open(path_, OpenMode::ReadWriteCreateNew);
    ASSERT_TRUE(f);
    ASSERT_TRUE(writeSettingsFile(*f, records));
  }

  // Starts the helper (the built one, a copy elsewhere, or another build) and waits for its window.
  void startHelper(const std::string& exe = windowsPath(RINGDECK_HELPER_EXE), const std::string& args = {}) {
    helper_ = std::make_unique<Process>(exe, args);
    ASSERT_TRUE(helper_->started());
    ASSERT_TRUE(waitUntil([&] { return (window_ = findWindowOf(helper_->id(), kHelperWindowClass)) != nullptr; },
                          10000));
    // The icon is added after the window: wait until the state shows it.
    ASSERT_TRUE(waitUntil([&] { return query().find("icon=none") == std::string::npos; }, 5000));
  }

  std::string query() {
    state_.clear();
    SendMessageA(window_, queryMsg_, reinterpret_cast<WPARAM>(reply_), 0);
    return state_;
  }
  std::string line(const std::string& prefix) {
    std::string s(1, '\n');
    s += query();
    std::string needle(1, '\n');
    needle += prefix;
    const auto at = s.find(needle);
    if (at == std::string::npos) return {};
    const auto start = at + 1 + prefix.size();
    return s.substr(start, s.find('\n', start) - start);
  }
  std::vector<std::string> menu() {
    const std::string s = query();
    std::vector<std::string> out;
    auto pos = s.find("\nkey=");
    pos = s.find('\n', pos + 1);
    while (pos != std::string::npos && pos + 1 < s.size()) {
      const auto end = s.find('\n', pos + 1);
      out.push_back(s.substr(pos + 1, end - pos - 1));
      pos = end;
    }
    return out;
  }

  // Can the helper's icon still be changed? Only while it is in the notification area.
  bool iconPresent() {
    NOTIFYICONDATAA data{};
    data.cbSize = NOTIFYICONDATAA_V1_SIZE;
    data.hWnd = window_;
    data.uID = 1;
    return Shell_NotifyIconA(NIM_MODIFY, &data) != FALSE;
  }

  static LRESULT CALLBACK replyProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_COPYDATA) {
      const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
      auto* state = reinterpret_cast<std::string*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
      if (state && data->dwData == 0x52444853) {
        state->assign(static_cast<const char*>(data->lpData), data->cbData);
      }
      return TRUE;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
  }

  Win32FileSystem fs_;
  std::string path_;
  std::vector<std::uint8_t> saved_;
  bool hadFile_ = false;
  UINT queryMsg_ = 0, reloadMsg_ = 0, statusNotifyMsg_ = 0;
  HWND reply_ = nullptr;
  std::string state_;
  std::unique_ptr<Process> helper_;
  HWND window_ = nullptr;
};

const std::vector<Set> kSets = {
    {"Global Settings", ""}, {"Alpha", ""}, {"", "*"}, {"Editing", "other.exe"}};

TEST_F(HelperUnderWine, WithoutEngineShowsNotRunningAndEndsCleanlyOnCommand1) {
  writeSets(kSets);
  startHelper();
  EXPECT_EQ(line("icon="), "104");
  EXPECT_EQ(line("tip="), "The engine is not running");
  EXPECT_EQ(line("mode="), "autoswitch");
  EXPECT_EQ(menu(), (std::vector<std::string>{"11 [ ] Global Settings", "12 [ ] Alpha",
                                              "13 [ ] Unnamed Settings", "-",
                                              "2 [ ] Open RingDeck Control Panel..."}));

  // A second helper ends at once with 1 and leaves the first alone.
  Process second(windowsPath(RINGDECK_HELPER_EXE));
  ASSERT_TRUE(second.started());
  EXPECT_EQ(second.waitExit(10000), 1u);
  EXPECT_EQ(FindWindowA(kHelperWindowClass, nullptr), window_);

  // A pick without engine: the crossed image, nothing sent.
  SendMessageA(window_, WM_COMMAND, 12, 0);
  EXPECT_EQ(line("tip="), "The engine is not running");

  EXPECT_TRUE(iconPresent());
  SendMessageA(window_, WM_COMMAND, 1, 0);
  EXPECT_EQ(helper_->waitExit(10000), 0u);
  EXPECT_FALSE(iconPresent());
  EXPECT_EQ(FindWindowA(kHelperWindowClass, nullptr), nullptr);
}

TEST_F(HelperUnderWine, UnreadableSettingsFileShowsTheMessageAndEndsWithMinusOne) {
  fs_.remove(path_);
  Process helper(windowsPath(RINGDECK_HELPER_EXE));
  ASSERT_TRUE(helper.started());
  HWND box = nullptr;
  ASSERT_TRUE(waitUntil([&] { return (box = findWindowOf(helper.id(), "#32770", "RingDeck Helper")) != nullptr; },
                        10000));
  char text[128] = {};
  GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
  EXPECT_STREQ(text, "Cannot open settings file.");
  PostMessageA(box, WM_COMMAND, IDOK, 0);
  EXPECT_EQ(helper.waitExit(10000), static_cast<DWORD>(-1));
}

TEST_F(HelperUnderWine, EngineStatusPickAndReload) {
  writeSets(kSets);
  FakeEngine engine;
  engine.answerStatusRequest = false;
  startHelper();
  EXPECT_EQ(engine.statusRequests, 1);
  EXPECT_EQ(line("icon="), "103");
  EXPECT_EQ(line("tip="), "Waiting for a engine status report");

  SendMessageA(window_, statusNotifyMsg_, 2, 1);
  EXPECT_EQ(line("tip="), "Unnamed Settings");
  EXPECT_EQ(menu()[2], "13 [x] Unnamed Settings");

  // A pick goes to the engine; the mark follows the engine's answer.
  SendMessageA(window_, WM_COMMAND, 12, 0);
  EXPECT_EQ(engine.changes, (std::vector<std::uint32_t>{1}));
  EXPECT_EQ(menu()[1], "12 [x] Alpha");
  EXPECT_EQ(menu()[2], "13 [ ] Unnamed Settings");
  EXPECT_EQ(line("tip="), "Alpha");

  // No device: the crossed image with its own text.
  engine.devices = 0;
  engine.notifyHelper();
  EXPECT_EQ(line("icon="), "104");
  EXPECT_EQ(line("tip="), "Orvanel RingDeck device disconnected");

  // The panel rewrote the file and says so: the menu follows the file.
  writeSets({{"Global Settings", ""}, {"Renamed", ""}, {"Extra", ""}});
  SendMessageA(window_, reloadMsg_, 1, 3);
  EXPECT_EQ(menu(), (std::vector<std::string>{"11 [ ] Global Settings", "12 [ ] Renamed",
                                              "13 [ ] Extra", "-",
                                              "2 [ ] Open RingDeck Control Panel..."}));
  EXPECT_EQ(line("icon="), "103");
  EXPECT_EQ(line("tip="), "Renamed");
  engine.devices = 1;
  engine.notifyHelper();
  EXPECT_EQ(menu()[1], "12 [x] Renamed");

  SendMessageA(window_, WM_COMMAND, 1, 0);
  EXPECT_EQ(helper_->waitExit(10000), 0u);
}

// The same with the real engine (its virtual-device build) and a virtual controller: the icon
// follows the device, a pick switches the engine's set and the mark follows its answer.
TEST_F(HelperUnderWine, WithTheRealEngine) {
  writeSets(kSets);
  ringdeck::wine::VirtualDevices devices;
  ringdeck::wine::ChildProcess engine;
  ASSERT_TRUE(engine.start(windowsPath(RINGDECK_ENGINE_VIRTUAL), "-run"));
  ASSERT_TRUE(devices.waitForEngine());
  startHelper();
  // The engine answered the helper's Status.Request: no device yet.
  ASSERT_TRUE(waitUntil([&] { return line("icon=") == "104"; }, 5000));
  EXPECT_EQ(line("tip="), "Orvanel RingDeck device disconnected");

  const int device = devices.plug(engine::kMakerVendor, engine::kMakerController);
  ASSERT_GE(device, 0);
  ASSERT_TRUE(waitUntil([&] { return line("icon=") == "103"; }, 5000));
  EXPECT_EQ(line("tip="), "Global Settings");
  EXPECT_EQ(menu()[0], "11 [x] Global Settings");

  SendMessageA(window_, WM_COMMAND, 12, 0);  // Alpha, set 1
  ASSERT_TRUE(waitUntil([&] { return menu()[1] == "12 [x] Alpha"; }, 5000));
  EXPECT_EQ(menu()[0], "11 [ ] Global Settings");
  EXPECT_EQ(line("tip="), "Alpha");

  // The control panel saved a file with another set before Alpha: helper first, then engine.
  writeSets({{"Global Settings", ""}, {"Aardvark", ""}, {"Alpha", ""}, {"", "*"}, {"Editing", "other.exe"}});
  SendMessageA(window_, reloadMsg_, 1, 5);
  SendMessageA(FindWindowA(kEngineWindowClass, nullptr), reloadMsg_, 1, 5);
  ASSERT_TRUE(waitUntil([&] { return menu().size() == 6; }, 5000));
  // The count changed and the panel named the set in use: the engine falls back to the global
  // set and tells the helper so.
  EXPECT_EQ(menu(), (std::vector<std::string>{"11 [x] Global Settings", "12 [ ] Aardvark", "13 [ ] Alpha",
                                              "14 [ ] Unnamed Settings", "-",
                                              "2 [ ] Open RingDeck Control Panel..."}));

  devices.unplug(device);
  ASSERT_TRUE(waitUntil([&] { return line("icon=") == "104"; }, 5000));
  EXPECT_EQ(line("tip="), "Orvanel RingDeck device disconnected");

  SendMessageA(FindWindowA(kEngineWindowClass, nullptr), WM_QUIT, 0, 0);
  EXPECT_EQ(engine.wait(5000), std::optional<DWORD>(0u));
  SendMessageA(window_, WM_COMMAND, 1, 0);
  EXPECT_EQ(helper_->waitExit(10000), 0u);
}

TEST_F(HelperUnderWine, AutoSwitchFollowsTheForegroundApplication) {
  const std::string self = moduleName();
  std::string lower = self;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  writeSets({{"Global Settings", ""},
             {"Mine", lower},
             {"Stand-in One", "helper_fg_window.exe"},
             {"Stand-in Two", "HELPER_FG_WINDOW.EXE"}});
  FakeEngine engine;
  // A copy of the helper in a folder without the help file, whose box is the helper's own window
  // brought to the front below.
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  const std::string folder = std::string(temp) + "ringdeck-nohelp";
  const std::string helperCopy = folder + "\\RingDeck Helper.exe";
  CreateDirectoryA(folder.c_str(), nullptr);
  ASSERT_TRUE(CopyFileA(windowsPath(RINGDECK_HELPER_EXE).c_str(), helperCopy.c_str(), FALSE));
  startHelper(helperCopy);
  const auto changed = [&](std::size_t count) {
    return waitUntil([&] { return engine.changes.size() >= count; }, 4000);
  };
  const auto quiet = [&](std::size_t count) {
    pumpFor(1600);  // three ticks
    return engine.changes.size() == count;
  };

  TestWindow a("Test A"), b("Test B");
  SetForegroundWindow(a.hwnd);
  ASSERT_TRUE(changed(1));
  EXPECT_EQ(engine.changes.back(), 1u);
  std::string upper = self;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  EXPECT_EQ(line("key="), upper);
  EXPECT_EQ(menu()[0], "11 [x] Mine");

  // Another window of the same program: nothing.
  SetForegroundWindow(b.hwnd);
  EXPECT_TRUE(quiet(1));

  // A window of class "Shell_TrayWnd" of another program, then back: nothing. (The shell sends
  // icon changes to the first window of that class, so the stand-in goes as soon as it served.)
  {
    Process tray(windowsPath(RINGDECK_FG_WINDOW_EXE), "Shell_TrayWnd Tray");
    HWND trayWindow = nullptr;
    ASSERT_TRUE(waitUntil(
        [&] { return (trayWindow = findWindowOf(tray.id(), "Shell_TrayWnd")) != nullptr; }, 10000));
    SetForegroundWindow(trayWindow);
    EXPECT_TRUE(quiet(1));
    SetForegroundWindow(b.hwnd);
    EXPECT_TRUE(quiet(1));
  }

  // Another program: its list, file order, case folded.
  Process other(windowsPath(RINGDECK_FG_WINDOW_EXE), "HelperStandIn Other");
  HWND otherWindow = nullptr;
  ASSERT_TRUE(waitUntil([&] { return (otherWindow = findWindowOf(other.id(), "HelperStandIn")) != nullptr; }, 10000));
  SetForegroundWindow(otherWindow);
  ASSERT_TRUE(changed(2));
  EXPECT_EQ(engine.changes.back(), 2u);
  EXPECT_EQ(menu(), (std::vector<std::string>{"11 [x] Stand-in One", "12 [ ] Stand-in Two", "-",
                                              "2 [ ] Open RingDeck Control Panel..."}));
  // The user picks the second set; coming back later brings it again.
  SendMessageA(window_, WM_COMMAND, 12, 0);
  EXPECT_EQ(engine.changes.back(), 3u);
  SetForegroundWindow(a.hwnd);
  ASSERT_TRUE(changed(4));
  EXPECT_EQ(engine.changes.back(), 1u);
  SetForegroundWindow(otherWindow);
  ASSERT_TRUE(changed(5));
  EXPECT_EQ(engine.changes.back(), 3u);

  // The helper's own window in front (its help box): nothing.
  PostMessageA(window_, WM_COMMAND, 3, 0);
  HWND box = nullptr;
  ASSERT_TRUE(waitUntil([&] { return (box = findWindowOf(helper_->id(), "#32770", "Help not Found")) != nullptr; }, 10000));
  char text[128] = {};
  GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
  EXPECT_STREQ(text, "Could not find Help file");
  SetForegroundWindow(box);
  EXPECT_TRUE(quiet(5));
  PostMessageA(box, WM_COMMAND, IDOK, 0);
  ASSERT_TRUE(waitUntil([&] { return !IsWindow(box); }, 5000));

  SendMessageA(window_, WM_COMMAND, 1, 0);
  EXPECT_EQ(helper_->waitExit(10000), 0u);
  DeleteFileA(helperCopy.c_str());
  RemoveDirectoryA(folder.c_str());
}

TEST_F(HelperUnderWine, IconClickShowsTheMenuAndAPickFromItReachesTheEngine) {
  writeSets({{"Global Settings", ""}, {"Alpha", ""}, {"Beta", "*"}});
  FakeEngine engine;
  startHelper();
  EXPECT_EQ(menu()[0], "11 [x] Global Settings");

  // Other callback events do nothing; a click brings the helper with its menu to the front.
  PostMessageA(window_, WM_USER + 1, 0, WM_MOUSEMOVE);
  PostMessageA(window_, WM_USER + 1, 0, WM_RBUTTONUP);
  HWND popup = nullptr;
  ASSERT_TRUE(waitUntil([&] {
    popup = findWindowOf(helper_->id(), "#32768");
    return popup && IsWindowVisible(popup);
  }, 5000));
  // The helper's own menu in front never switches the set.
  pumpFor(1600);
  EXPECT_TRUE(engine.changes.empty());

  // Down, down, Enter: the second entry, command 12.
  for (WPARAM key : {VK_DOWN, VK_DOWN, VK_RETURN}) PostMessageA(window_, WM_KEYDOWN, key, 0);
  ASSERT_TRUE(waitUntil([&] { return !engine.changes.empty(); }, 5000));
  EXPECT_EQ(engine.changes, (std::vector<std::uint32_t>{1}));
  EXPECT_EQ(menu()[1], "12 [x] Alpha");
  EXPECT_EQ(menu()[0], "11 [ ] Global Settings");

  // The engine ends the helper by posting WM_QUIT to its window when it removes itself.
  PostMessageA(window_, WM_QUIT, 0, 0);
  EXPECT_EQ(helper_->waitExit(10000), 0u);
  EXPECT_FALSE(iconPresent());
}

TEST_F(HelperUnderWine, ProgramsWithoutApplicationNameGetTheGlobalSetEachTime) {
  writeSets({{"Global Settings", ""}, {"Alpha", ""}, {"Stand-in", "helper_fg_window.exe"}});
  // The stand-in under a name that ends neither in .exe nor .mod.
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  const std::string bin = std::string(temp) + "helper_standin.bin";
  ASSERT_TRUE(CopyFileA(windowsPath(RINGDECK_FG_WINDOW_EXE).c_str(), bin.c_str(), FALSE));
  FakeEngine engine;
  startHelper();
  {
    Process named(windowsPath(RINGDECK_FG_WINDOW_EXE), "HelperStandIn Named");
    Process first(bin, "HelperStandIn First");
    Process second(bin, "HelperStandIn Second");
    HWND n = nullptr, a = nullptr, b = nullptr;
    ASSERT_TRUE(waitUntil([&] {
      n = findWindowOf(named.id(), "HelperStandIn");
      a = findWindowOf(first.id(), "HelperStandIn");
      b = findWindowOf(second.id(), "HelperStandIn");
      return n && a && b;
    }, 10000));
    // New windows take the front as they appear, in no fixed order: start counting from one
    // known window in front.
    SetForegroundWindow(b);
    pumpFor(1600);
    engine.changes.clear();
    SetForegroundWindow(n);
    ASSERT_TRUE(waitUntil([&] { return engine.changes.size() == 1; }, 4000));
    EXPECT_EQ(engine.changes.back(), 2u);
    // The global list's remembered set is the second one from now on.
    SendMessageA(window_, WM_COMMAND, 11, 0);  // the stand-in's own list: still record 2
    SetForegroundWindow(a);
    ASSERT_TRUE(waitUntil([&] { return engine.changes.size() == 3; }, 4000));
    EXPECT_EQ(engine.changes.back(), 0u);
    EXPECT_EQ(line("key="), "");
    EXPECT_EQ(menu()[1], "12 [ ] Alpha");
    SendMessageA(window_, WM_COMMAND, 12, 0);
    SetForegroundWindow(b);
    ASSERT_TRUE(waitUntil([&] { return engine.changes.size() == 5; }, 4000));
    EXPECT_EQ(engine.changes, (std::vector<std::uint32_t>{2, 2, 0, 1, 1}));
  }
  DeleteFileA(bin.c_str());
  // Sent rather than posted, WM_QUIT ends the helper as well.
  SendMessageA(window_, WM_QUIT, 0, 0);
  EXPECT_EQ(helper_->waitExit(10000), 0u);
}

TEST_F(HelperUnderWine, ControlPanelStartsFromTheHelpersOwnFolderEvenWithSpacesInIt) {
  writeSets(kSets);
  // A copy of the helper in a folder with a space, beside a stand-in control panel.
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  const std::string folder = std::string(temp) + "ring deck";
  const std::string helperCopy = folder + "\\RingDeck Helper.exe";
  const std::string panel = folder + "\\Orvanel RingDeck.exe";
  CreateDirectoryA(folder.c_str(), nullptr);
  ASSERT_TRUE(CopyFileA(windowsPath(RINGDECK_HELPER_EXE).c_str(), helperCopy.c_str(), FALSE));
  ASSERT_TRUE(CopyFileA(windowsPath(RINGDECK_FG_WINDOW_EXE).c_str(), panel.c_str(), FALSE));

  helper_ = std::make_unique<Process>(helperCopy);
  ASSERT_TRUE(waitUntil([&] { return (window_ = findWindowOf(helper_->id(), kHelperWindowClass)) != nullptr; }, 10000));
  SendMessageA(window_, WM_COMMAND, 2, 0);
  HWND started = nullptr;
  ASSERT_TRUE(waitUntil([&] { return (started = FindWindowA("HelperStandIn", "Orvanel RingDeck.exe")) != nullptr; }, 10000));
  PostMessageA(started, WM_CLOSE, 0, 0);

  SendMessageA(window_, WM_COMMAND, 1, 0);
  EXPECT_EQ(helper_->waitExit(10000), 0u);
  waitUntil([&] { return FindWindowA("HelperStandIn", nullptr) == nullptr; }, 5000);
  DeleteFileA(helperCopy.c_str());
  DeleteFileA(panel.c_str());
  RemoveDirectoryA(folder.c_str());
}

// The integrity query as the helper makes it, for its own process and for another program.
// Wine runs every program with one full administrator token: both read the same level.
TEST(HelperIntegrity, ReadsALevelForItsOwnProcessAndAnotherProgram) {
  using namespace ringdeck::helper::win32;
  const IntegrityReading own = readIntegrityLevel(GetCurrentProcessId());
  ASSERT_TRUE(own);
  EXPECT_GE(*own, kLowIntegrity);
  EXPECT_LE(*own, kSystemIntegrity);

  Process other(windowsPath(RINGDECK_FG_WINDOW_EXE), "HelperStandIn Level");
  ASSERT_TRUE(other.started());
  const IntegrityReading level = readIntegrityLevel(other.id());
  ASSERT_TRUE(level);
  EXPECT_EQ(*level, *own);
  EXPECT_EQ(programFileName(other.id()), "helper_fg_window.exe");

  // No such process: nothing to read.
  EXPECT_FALSE(readIntegrityLevel(0xFFFFFFF0u));
  EXPECT_EQ(programFileName(0xFFFFFFF0u), "");
}

// The helper's test build reports two stand-in programs one level above everything else: in
// front, each changes the tooltip and brings a balloon once; another program in front brings
// the usual tooltip back.
TEST_F(HelperUnderWine, SaysSoWhileTheProgramInFrontRunsHigher) {
  writeSets(kSets);
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  const std::string second = std::string(temp) + "second_app.exe";
  ASSERT_TRUE(CopyFileA(windowsPath(RINGDECK_FG_WINDOW_EXE).c_str(), second.c_str(), FALSE));
  FakeEngine engine;
  TestWindow mine("Test Mine");
  SetForegroundWindow(mine.hwnd);
  startHelper(windowsPath(RINGDECK_HELPER_TEST_BUILD_EXE),
              "--report-higher helper_fg_window.exe second_app.exe");
  ASSERT_TRUE(waitUntil([&] { return line("tip=") == "Global Settings"; }, 4000));
  EXPECT_EQ(line("balloon="), "");
  {
    Process first(windowsPath(RINGDECK_FG_WINDOW_EXE), "HelperStandIn First");
    Process other(second, "HelperStandIn Second");
    HWND firstWindow = nullptr, secondWindow = nullptr;
    ASSERT_TRUE(waitUntil([&] {
      firstWindow = findWindowOf(first.id(), "HelperStandIn");
      secondWindow = findWindowOf(other.id(), "HelperStandIn");
      return firstWindow && secondWindow;
    }, 10000));
    // New windows take the front as they appear and Wine hands it to the desktop when a window
    // of an ended program goes, both in no fixed order: bring w forward until it stays there.
    const auto front = [&](HWND w, const std::string& tip) {
      return waitUntil([&] {
        if (GetForegroundWindow() != w) SetForegroundWindow(w);
        return line("tip=") == tip;
      }, 4000);
    };
    const std::string firstTip = "RingDeck cannot type into helper_f...: it runs as administrator";
    const std::string firstBalloon =
        "RingDeck cannot type into helper_fg_window.exe: helper_fg_window.exe runs as "
        "administrator, and Windows keeps programs that run normally from typing into it. To use "
        "the controller there, start helper_fg_window.exe normally, or start the RingDeck engine "
        "as administrator.";
    const std::string secondTip = "RingDeck cannot type into second_app: it runs as administrator";

    ASSERT_TRUE(front(firstWindow, firstTip)) << query();
    EXPECT_EQ(line("icon="), "103");
    EXPECT_EQ(line("balloon="), firstBalloon);
    ASSERT_TRUE(front(mine.hwnd, "Global Settings"));
    ASSERT_TRUE(front(secondWindow, secondTip));
    EXPECT_EQ(line("balloon=").substr(0, 41), "RingDeck cannot type into second_app.exe:");
    // Back to the first: the tooltip says so again, its balloon is not shown a second time.
    ASSERT_TRUE(front(firstWindow, firstTip));
    EXPECT_EQ(line("balloon=").substr(0, 41), "RingDeck cannot type into second_app.exe:");

    // No device: the disconnected state, whatever is in front.
    engine.devices = 0;
    engine.notifyHelper();
    EXPECT_EQ(line("icon="), "104");
    EXPECT_EQ(line("tip="), "Orvanel RingDeck device disconnected");
    engine.devices = 1;
    engine.notifyHelper();
    EXPECT_EQ(line("tip="), firstTip);
    ASSERT_TRUE(front(mine.hwnd, "Global Settings"));
  }
  SendMessageA(window_, WM_COMMAND, 1, 0);
  EXPECT_EQ(helper_->waitExit(10000), 0u);
  DeleteFileA(second.c_str());
}

TEST(HelperResources, IconsOfBothSizesAndTheVersion) {
  const std::string exe = windowsPath(RINGDECK_HELPER_EXE);
  HMODULE module = LoadLibraryExA(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(module, nullptr);
  const struct {
    WORD id;
    int size;
  } icons[] = {{101, 32}, {101, 16}, {103, 16}, {104, 16}};
  for (const auto& icon : icons) {
    HANDLE h = LoadImageA(module, MAKEINTRESOURCEA(icon.id), IMAGE_ICON, icon.size, icon.size, 0);
    EXPECT_NE(h, nullptr) << icon.id << " at " << icon.size;
    if (!h) continue;
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(static_cast<HICON>(h), &info));
    BITMAP bm{};
    GetObjectA(info.hbmColor, sizeof bm, &bm);
    EXPECT_EQ(bm.bmWidth, icon.size) << icon.id;
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    DestroyIcon(static_cast<HICON>(h));
  }
  FreeLibrary(module);

  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA(exe.c_str(), &ignored);
  ASSERT_GT(size, 0u);
  std::vector<char> info(size);
  ASSERT_TRUE(GetFileVersionInfoA(exe.c_str(), 0, size, info.data()));
  char* name = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueA(info.data(), "\\StringFileInfo\\040904e4\\OriginalFilename",
                             reinterpret_cast<void**>(&name), &length));
  EXPECT_STREQ(name, "RingDeck Helper.exe");
}

}  // namespace
}  // namespace ringdeck::helper
