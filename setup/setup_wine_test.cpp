// The setup program under Wine, as an administrator deploys it (/S): what a silent install puts
// in place and starts, what a silent uninstall takes away and keeps, the refusal beside a running
// engine, an existing settings file; and the engine with a settings file it may not write.
#include <gtest/gtest.h>

#include <windows.h>

#include <shlobj.h>
#include <tlhelp32.h>

#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "engine_setup.h"
#include "helper_window.h"
#include "protocol.h"
#include "settings_io.h"
#include "setup_prep.h"
#include "win32_file.h"
#include "wine_support.h"

namespace ringdeck::wine {
namespace {

using Bytes = std::vector<std::uint8_t>;

const std::string kSetup = windowsPath(RINGDECK_SETUP_EXE);
const std::string kDist = kSetup.substr(0, kSetup.find_last_of('\\') + 1);
const std::string kEngineProduct = kDist + "RingDeckEngine.exe";
const std::string kPanelName = RINGDECK_PANEL_EXE;  // empty while the control panel is not built
constexpr const char* kUninstallKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\OrvanelRingDeck";
constexpr const char* kHelperRunValue = "RingDeck Helper";

std::string folder(int csidl) {
  char path[MAX_PATH] = {};
  SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
  return path;
}
const std::string kInstallDir = folder(CSIDL_PROGRAM_FILES) + "\\Orvanel RingDeck";
const std::string kMenuDir = folder(CSIDL_COMMON_PROGRAMS) + "\\Orvanel RingDeck";
const std::string kSettings = settingsFilePath(ringdeck::win32::systemDirectory());

bool exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::optional<Bytes> readBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

void writeBytes(const std::string& path, const Bytes& bytes) {
  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

Bytes settingsWith(std::initializer_list<const char*> names) {
  std::vector<SettingsRecord> records;
  for (const char* n : names) {
    SettingsRecord r{};
    setName(r, n);
    r.slots[3].keyCode = 0x41;  // something of the user's own beyond the name
    records.push_back(r);
  }
  ringdeck::win32::Win32FileSystem fs;
  {
    auto f = fs.open(kSettings, OpenMode::ReadWriteCreateNew);
    EXPECT_TRUE(f && writeSettingsFile(*f, records));
  }
  return *readBytes(kSettings);
}

std::optional<std::string> regValue(const char* key, const char* name) {
  char value[2048] = {};
  DWORD size = sizeof value;
  if (RegGetValueA(HKEY_LOCAL_MACHINE, key, name, RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  return std::string(value);
}

bool windowOf(const char* cls) { return FindWindowA(cls, nullptr) != nullptr; }
HWND helpViewer() { return FindWindowA("HH Parent", "RingDeck Help"); }

// The program file of the process that owns the window.
std::string programOf(HWND window) {
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  HANDLE p = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
  if (!p) return {};
  char path[MAX_PATH] = {};
  DWORD size = MAX_PATH;
  QueryFullProcessImageNameA(p, 0, path, &size);
  CloseHandle(p);
  return std::string(path, size);
}

// The program that started the process owning the window ("explorer.exe" for the desktop's shell).
std::string starterOf(HWND window) {
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snap == INVALID_HANDLE_VALUE) return {};
  PROCESSENTRY32 entry{};
  entry.dwSize = sizeof entry;
  DWORD parent = 0;
  std::vector<std::pair<DWORD, std::string>> names;
  for (BOOL more = Process32First(snap, &entry); more; more = Process32Next(snap, &entry)) {
    if (entry.th32ProcessID == pid) parent = entry.th32ParentProcessID;
    names.emplace_back(entry.th32ProcessID, entry.szExeFile);
  }
  CloseHandle(snap);
  for (const auto& [id, name] : names) {
    if (id == parent) return name;
  }
  return {};
}

// The helper's own account of itself (its state query), answered to a window of this test.
std::string helperState() {
  std::string state;
  StandInWindow asker("RingDeckSetupTestAsker", "", [&](UINT m, WPARAM, LPARAM l, LRESULT& r) {
    if (m != WM_COPYDATA) return false;
    const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(l);
    if (data->dwData == helper::win32::kStateCopyDataTag) {
      state.assign(static_cast<const char*>(data->lpData), data->cbData);
    }
    r = TRUE;
    return true;
  });
  if (HWND helper = FindWindowA(kHelperWindowClass, nullptr)) {
    SendMessageTimeoutA(helper, RegisterWindowMessageA(helper::win32::kMsgStateQuery),
                        reinterpret_cast<WPARAM>(asker.handle()), 0, SMTO_ABORTIFHUNG, 5000, nullptr);
  }
  return state;
}

DWORD runSetup(const std::string& exe, const std::string& arguments = "/S") {
  ChildProcess p;
  EXPECT_TRUE(p.start(exe, arguments));
  return p.wait(120000).value_or(0xDEAD);
}

// A silent uninstaller hands over to a copy of itself and returns at once: the work is done
// when the program folder and, its last step, the uninstall entry have gone.
bool uninstall() {
  const std::string uninstaller = kInstallDir + "\\Uninstall.exe";
  if (!exists(uninstaller)) return !exists(kInstallDir);
  EXPECT_EQ(runSetup(uninstaller), 0u);
  return waitUntil([] { return !exists(kInstallDir) && !regValue(kUninstallKey, "DisplayName"); }, 60000);
}

class Setup : public ::testing::Test {
 protected:
  void SetUp() override { DeleteFileA(kSettings.c_str()); }
  void TearDown() override {
    if (HWND viewer = helpViewer()) PostMessageA(viewer, WM_CLOSE, 0, 0);
    uninstall();
    for (const char* cls : {kEngineWindowClass, kHelperWindowClass}) {
      if (HWND w = FindWindowA(cls, nullptr)) SendMessageA(w, WM_QUIT, 0, 0);
    }
    DeleteFileA(kSettings.c_str());
  }
  MessageBoxWatcher engineBoxes{engine::kSetupCaption};
};

TEST_F(Setup, SilentInstallPlacesAndStartsEverythingAndSilentUninstallKeepsOnlyTheSettings) {
  ASSERT_EQ(runSetup(kSetup), 0u);

  std::vector<std::string> files = {"RingDeckEngine.exe", "RingDeck Helper.exe", "setupprep.exe",
                                    "OrvanelRingDeck.pref2k", "OrvanelRingDeck.pref98", "shuttle.chm",
                                    "Uninstall.exe"};
  std::vector<std::string> entries = {"RingDeck Help.lnk"};
  if (!kPanelName.empty()) {
    files.push_back(kPanelName);
    entries.push_back("Orvanel RingDeck.lnk");
  }
  for (const auto& f : files) EXPECT_TRUE(exists(kInstallDir + "\\" + f)) << f;
  for (const auto& e : entries) EXPECT_TRUE(exists(kMenuDir + "\\" + e)) << e;
  for (const char* name : {"shuttle.chm", "setupprep.exe"}) {
    EXPECT_EQ(readBytes(kInstallDir + "\\" + name), readBytes(kDist + name)) << name;
  }

  // The settings file is made from the default file of the NT family.
  const auto settings = readBytes(kSettings);
  const auto defaults = readBytes(kDist + "OrvanelRingDeck.pref2k");
  ASSERT_TRUE(settings && defaults);
  EXPECT_EQ(*settings, *defaults);

  // The engine runs from the program folder and starts at every logon; so does the helper,
  // which shows the engine's state in its icon.
  const std::string engine = kInstallDir + "\\RingDeckEngine.exe";
  const std::string helper = kInstallDir + "\\RingDeck Helper.exe";
  EXPECT_EQ(regValue(engine::kRunKey, engine::kRunValueName), "\"" + engine + "\" -run");
  EXPECT_EQ(regValue(engine::kRunKey, kHelperRunValue), "\"" + helper + "\"");
  ASSERT_TRUE(waitUntil([] { return windowOf(kEngineWindowClass); }, 10000));
  EXPECT_EQ(programOf(FindWindowA(kEngineWindowClass, nullptr)), engine);
  ASSERT_TRUE(waitUntil([] { return windowOf(kHelperWindowClass); }, 10000));
  EXPECT_EQ(programOf(FindWindowA(kHelperWindowClass, nullptr)), helper);
  // Both were started by the desktop's shell, as the person logged on, not by the elevated setup.
  EXPECT_EQ(starterOf(FindWindowA(kEngineWindowClass, nullptr)), "explorer.exe");
  EXPECT_EQ(starterOf(FindWindowA(kHelperWindowClass, nullptr)), "explorer.exe");
  // Wine has no RingDeck device: the engine's answer shows as the disconnected icon and tip.
  const std::string answered = "icon=104\ntip=" + std::string(helper::kTipDisconnected) + "\n";
  std::string state;
  EXPECT_TRUE(waitUntil([&] { return (state = helperState()).find(answered) != std::string::npos; }, 5000))
      << state;

  // The helper's help command opens the installed help file in the help viewer, under the
  // help file's own title. It stays open: the uninstaller must close it to remove the file.
  {
    MessageBoxWatcher notFound{"Help not Found"};
    PostMessageA(FindWindowA(kHelperWindowClass, nullptr), WM_COMMAND, helper::kCommandHelp, 0);
    EXPECT_TRUE(waitUntil([] { return helpViewer() != nullptr; }, 15000));
    EXPECT_TRUE(notFound.texts().empty());
  }

  EXPECT_EQ(regValue(kUninstallKey, "DisplayName"), "Orvanel RingDeck");
  EXPECT_EQ(regValue(kUninstallKey, "UninstallString"), "\"" + kInstallDir + "\\Uninstall.exe\"");
  EXPECT_EQ(regValue(kUninstallKey, "QuietUninstallString"), "\"" + kInstallDir + "\\Uninstall.exe\" /S");

  // A control panel left open: ended without the question its Quit would ask.
  std::atomic<bool> askedToClose{false};
  StandInWindow panel("RingDeckSetupTestPanel", "Orvanel RingDeck", [&](UINT m, WPARAM, LPARAM, LRESULT&) {
    if (m == WM_CLOSE) askedToClose = true;
    return false;
  });

  ASSERT_TRUE(uninstall());
  EXPECT_FALSE(helpViewer());
  EXPECT_FALSE(IsWindow(panel.handle()));
  EXPECT_FALSE(askedToClose);
  EXPECT_TRUE(waitUntil([] { return !windowOf(kEngineWindowClass) && !windowOf(kHelperWindowClass); }));
  EXPECT_FALSE(exists(kMenuDir));
  EXPECT_FALSE(regValue(engine::kRunKey, engine::kRunValueName));
  EXPECT_FALSE(regValue(engine::kRunKey, kHelperRunValue));
  EXPECT_FALSE(regValue(kUninstallKey, "DisplayName"));
  EXPECT_EQ(readBytes(kSettings), settings);
  EXPECT_TRUE(engineBoxes.texts().empty());
}

TEST_F(Setup, RefusesBesideARunningEngineAndChangesNothing) {
  const Bytes before = settingsWith({"Mine"});
  MessageBoxWatcher boxes{std::string(setup::kCannotContinueCaption)};
  {
    StandInWindow earlier(kEngineWindowClass, "", [](UINT, WPARAM, LPARAM, LRESULT&) { return false; });
    EXPECT_NE(runSetup(kSetup), 0u);
  }
  ASSERT_TRUE(boxes.waitForBoxes(1));
  EXPECT_EQ(boxes.texts(), std::vector<std::string>{std::string(setup::kRunningText)});
  EXPECT_FALSE(exists(kInstallDir));
  EXPECT_FALSE(exists(kMenuDir));
  EXPECT_FALSE(regValue(kUninstallKey, "DisplayName"));
  EXPECT_FALSE(regValue(engine::kRunKey, engine::kRunValueName));
  EXPECT_FALSE(regValue(engine::kRunKey, kHelperRunValue));
  EXPECT_FALSE(windowOf(kHelperWindowClass));
  EXPECT_EQ(readBytes(kSettings), before);
}

TEST_F(Setup, ASettingsFileWithOneSetGainsTheDefaultSetsAndKeepsItsOwn) {
  const Bytes mine = settingsWith({"My Global"});
  ASSERT_EQ(mine.size(), kExportedFileSize);
  ASSERT_EQ(runSetup(kSetup), 0u);
  const auto after = readBytes(kSettings);
  const auto defaults = readBytes(kDist + "OrvanelRingDeck.pref2k");
  ASSERT_TRUE(after && defaults);
  ASSERT_GT(defaults->size(), kExportedFileSize);
  EXPECT_EQ(Bytes(after->begin(), after->begin() + kExportedFileSize), mine);
  EXPECT_EQ(Bytes(after->begin() + kExportedFileSize, after->end()),
            Bytes(defaults->begin() + kExportedFileSize, defaults->end()));
}

// chattr +i on the Unix file: no process, root included, may open it for writing (Wine checks
// no file rights, and these tests run as root).
class Immutable {
 public:
  explicit Immutable(const std::string& windowsPath) {
    using UnixName = char*(CDECL*)(LPCWSTR);
    auto toUnix = reinterpret_cast<UnixName>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    std::wstring wide(windowsPath.begin(), windowsPath.end());
    if (char* unix = toUnix ? toUnix(wide.c_str()) : nullptr) {
      unixPath_ = unix;
      HeapFree(GetProcessHeap(), 0, unix);
    }
    set(true);
  }
  ~Immutable() { set(false); }
  // Whether a write open is now refused (the flag took).
  bool holds() const { return writeRefused(); }

 private:
  bool writeRefused() const {
    HANDLE h = CreateFileA(kSettings.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_ACCESS_DENIED;
    CloseHandle(h);
    return false;
  }
  void set(bool on) {
    if (unixPath_.empty()) return;
    // Wine starts a Unix program when its command line names one; its exit code does not come
    // back, so the result is read from the file itself.
    std::string line = std::string("/usr/bin/chattr ") + (on ? "+i" : "-i") + " \"" + unixPath_ + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
      CloseHandle(process.hThread);
      CloseHandle(process.hProcess);
    }
    waitUntil([&] { return writeRefused() == on; }, 5000);
  }
  std::string unixPath_;
};

TEST(SettingsFileTheUserMayNotWrite, TheEngineUsesItSilentlyAndLeavesItAsItIs) {
  struct Case {
    const char* what;
    std::initializer_list<const char*> sets;
    bool damage;
    std::uint32_t pick, expectedIndex;
  };
  const Case cases[] = {
      {"three sets", {"G", "A", "B"}, false, 2, 2},
      {"a wrong magic, repaired in the engine's image only", {"G", "A"}, true, 1, 0},
  };
  MessageBoxWatcher boxes{engine::kSetupCaption};
  const UINT statusNotify = RegisterWindowMessageA(kMsgStatusNotify);
  const UINT changeCurrent = RegisterWindowMessageA(kMsgChangeCurrentPreference);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Bytes bytes = settingsWith(c.sets);
    if (c.damage) {
      bytes[0] ^= 0xFF;
      writeBytes(kSettings, bytes);
    }
    std::atomic<int> lastIndex{-1};
    StandInWindow helper(kHelperWindowClass, "", [&](UINT m, WPARAM w, LPARAM, LRESULT&) {
      if (m == statusNotify) lastIndex = static_cast<int>(w);
      return false;
    });
    {
      Immutable locked(kSettings);
      ASSERT_TRUE(locked.holds()) << "chattr +i did not take";
      ChildProcess engine;
      ASSERT_TRUE(engine.start(kEngineProduct, "-run"));
      ASSERT_TRUE(waitUntil([] { return windowOf(kEngineWindowClass); }, 10000));
      SendMessageA(FindWindowA(kEngineWindowClass, nullptr), changeCurrent, c.pick, 0);
      EXPECT_TRUE(waitUntil([&] { return lastIndex == static_cast<int>(c.expectedIndex); }));
      SendMessageA(FindWindowA(kEngineWindowClass, nullptr), WM_QUIT, 0, 0);
      EXPECT_EQ(engine.wait(5000), std::optional<DWORD>(0u));
    }
    EXPECT_EQ(readBytes(kSettings), bytes);
  }
  Sleep(200);
  EXPECT_TRUE(boxes.texts().empty());
  DeleteFileA(kSettings.c_str());
}

}  // namespace
}  // namespace ringdeck::wine
