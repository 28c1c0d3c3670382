// setupprep.exe run for real: a copy of it beside default files in a folder of its own, the
// settings file in the system directory, the suite's windows created here, and its message
// boxes read and answered from this process.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "setup_prep.h"
#include "settings_file.h"
#include "settings_io.h"
#include "win32_file.h"
#include "wine_support.h"

namespace ringdeck::setup {
namespace {

using Bytes = std::vector<std::uint8_t>;

// The build hands over Unix paths; Wine shows the Unix root as drive Z:.
using ringdeck::wine::windowsPath;

Bytes settingsBytes(int records, std::uint8_t tag, std::size_t tail = 0, bool goodMagic = true) {
  Bytes bytes(kHeaderSize + records * kRecordSize + tail, 0);
  const SettingsFileHeader header = standardHeader();
  std::memcpy(bytes.data(), &header, sizeof header);
  if (!goodMagic) bytes[0] = 'X';
  for (int i = 0; i < records; ++i) {
    std::memset(bytes.data() + kHeaderSize + i * kRecordSize, tag + i, kRecordSize);
  }
  std::memset(bytes.data() + kHeaderSize + records * kRecordSize, 0xEE, tail);
  return bytes;
}

struct Box {
  std::string caption;
  std::string text;
  int defaultButton = 0;
  bool operator==(const Box&) const = default;
};

struct Outcome {
  DWORD exitCode = STILL_ACTIVE;
  std::vector<Box> boxes;
};

struct FindBox {
  HWND dialog = nullptr;
};

BOOL CALLBACK findMessageBox(HWND hwnd, LPARAM param) {
  char cls[16] = {};
  GetClassNameA(hwnd, cls, sizeof cls);
  if (std::strcmp(cls, "#32770") == 0 && IsWindowVisible(hwnd)) {
    reinterpret_cast<FindBox*>(param)->dialog = hwnd;
    return FALSE;
  }
  return TRUE;
}

std::string windowText(HWND hwnd) {
  char buffer[512] = {};
  GetWindowTextA(hwnd, buffer, sizeof buffer);
  return buffer;
}

// The button drawn as the default one (Wine answers DM_GETDEFID with IDOK whatever the box's
// default button is, but gives the right button the default style).
int defaultButton(HWND dialog) {
  for (const int id : {IDOK, IDCANCEL}) {
    HWND button = GetDlgItem(dialog, id);
    if (button && IsWindowVisible(button) &&
        (GetWindowLongA(button, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON) {
      return id;
    }
  }
  return 0;
}

void PrintTo(const Box& box, std::ostream* os) {
  *os << "{\"" << box.caption << "\", \"" << box.text << "\", default " << box.defaultButton << "}";
}

class SetupPrepProgram : public testing::Test {
 protected:
  void SetUp() override {
    char temp[MAX_PATH];
    ASSERT_NE(GetTempPathA(sizeof temp, temp), 0u);
    folder_ = std::string(temp) + "ringdeck-setupprep-" + std::to_string(GetCurrentProcessId()) + "\\";
    CreateDirectoryA(folder_.c_str(), nullptr);
    exe_ = folder_ + "setupprep.exe";
    ASSERT_TRUE(CopyFileA(windowsPath(SETUPPREP_EXE).c_str(), exe_.c_str(), FALSE))
        << GetLastError();

    target_ = settingsFilePath(win32::systemDirectory());
    // Keep whatever a previous program left there and put it back afterwards.
    if (const auto saved = read(target_)) saved_ = saved;
    files_.remove(target_);
  }

  void TearDown() override {
    files_.remove(target_);
    if (saved_) write(target_, *saved_);
    for (const char* name : {"setupprep.exe", "OrvanelRingDeck.pref2k", "OrvanelRingDeck.pref98"}) {
      files_.remove(folder_ + name);
    }
    RemoveDirectoryA(folder_.c_str());
  }

  std::optional<Bytes> read(const std::string& path) {
    auto f = files_.open(path, OpenMode::ReadOnlyExisting);
    if (!f) return std::nullopt;
    Bytes bytes(*f->size());
    if (f->readAt(0, bytes) != bytes.size()) return std::nullopt;
    return bytes;
  }

  void write(const std::string& path, const Bytes& bytes) {
    auto f = files_.open(path, OpenMode::ReadWriteCreateNew);
    ASSERT_TRUE(f) << path;
    if (!bytes.empty()) {
      ASSERT_TRUE(f->writeAt(0, bytes));
    }
  }

  void putDefaults(const Bytes& nt, const Bytes& win9x) {
    write(folder_ + "OrvanelRingDeck.pref2k", nt);
    write(folder_ + "OrvanelRingDeck.pref98", win9x);
  }

  static Bytes shipped(const char* suffix) {
    std::ifstream in(windowsPath(std::string(FACTORY_SETS_DIR) + "/OrvanelRingDeck.pref" + suffix),
                     std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
  }

  // Runs the copy, answers each message box with `answer` and records what it showed.
  Outcome run(int answer = IDOK) {
    Outcome out;
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    std::string commandLine = "\"" + exe_ + "\"";
    if (!CreateProcessA(exe_.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        folder_.c_str(), &si, &pi)) {
      ADD_FAILURE() << "CreateProcessA: " << GetLastError();
      return out;
    }
    const DWORD deadline = GetTickCount() + 20000;
    HWND answered = nullptr;
    while (true) {
      const DWORD wait = MsgWaitForMultipleObjects(1, &pi.hProcess, FALSE, 50, QS_ALLINPUT);
      if (wait == WAIT_OBJECT_0) break;
      // Our own windows must answer while setupprep looks for them.
      MSG msg;
      while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
      FindBox found;
      EnumThreadWindows(pi.dwThreadId, findMessageBox, reinterpret_cast<LPARAM>(&found));
      if (found.dialog && found.dialog != answered) {
        out.boxes.push_back({windowText(found.dialog),
                             windowText(GetDlgItem(found.dialog, 0xFFFF)),
                             defaultButton(found.dialog)});
        PostMessageA(found.dialog, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED), 0);
        answered = found.dialog;
      }
      if (static_cast<LONG>(GetTickCount() - deadline) > 0) {
        ADD_FAILURE() << "setupprep did not end";
        TerminateProcess(pi.hProcess, 99);
        WaitForSingleObject(pi.hProcess, 5000);
        break;
      }
    }
    GetExitCodeProcess(pi.hProcess, &out.exitCode);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return out;
  }

  win32::Win32FileSystem files_;
  std::string folder_;
  std::string exe_;
  std::string target_;
  std::optional<Bytes> saved_;
};

constexpr DWORD kExitMinusOne = 0xFFFFFFFF;

const Box kFailureBox{"Setup Cannot Continue",
                      "There was an error creating or accessing default settings file.", IDOK};

TEST_F(SetupPrepProgram, MissingTargetGetsTheShippedNtFamilyFile) {
  const Bytes nt = shipped("2k");
  const Bytes win9x = shipped("98");
  ASSERT_GT(nt.size(), kExportedFileSize);
  ASSERT_NE(nt, win9x);
  putDefaults(nt, win9x);
  // Pending renames are an older system's business: on the NT family they stay.
  char windowsDir[MAX_PATH];
  GetWindowsDirectoryA(windowsDir, sizeof windowsDir);
  const std::string wininit = std::string(windowsDir) + "\\wininit.bak";
  const bool hadWininit = files_.exists(wininit);
  if (!hadWininit) write(wininit, {'x'});

  const Outcome out = run();
  const bool wininitKept = files_.exists(wininit);
  if (!hadWininit) files_.remove(wininit);

  EXPECT_EQ(out.exitCode, 0u);
  EXPECT_TRUE(out.boxes.empty());
  EXPECT_TRUE(wininitKept);
  EXPECT_EQ(read(target_), nt);
  const DWORD attributes = GetFileAttributesA(target_.c_str());
  EXPECT_EQ(attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE),
            static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE));

  auto file = files_.open(target_, OpenMode::ReadOnlyExisting);
  ASSERT_TRUE(file);
  const auto records = readAllSettingsRecords(*file);
  ASSERT_TRUE(records);
  for (const SettingsRecord& r : *records) {
    EXPECT_EQ(factoryState(r), FactoryState::Factory) << fieldText(r.name);
  }
}

// Wine reports a 95/98/Me system to a program named in its AppDefaults with Version "win98":
// the other branch of setupprep, run for real.
class Win98Version {
 public:
  Win98Version() {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                        nullptr) == ERROR_SUCCESS) {
      ok_ = RegSetValueExA(key, "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>("win98"),
                           6) == ERROR_SUCCESS;
      RegCloseKey(key);
    }
  }
  ~Win98Version() { RegDeleteKeyA(HKEY_CURRENT_USER, kKey); }
  Win98Version(const Win98Version&) = delete;
  Win98Version& operator=(const Win98Version&) = delete;
  bool ok() const { return ok_; }

 private:
  static constexpr const char* kKey = "Software\\Wine\\AppDefaults\\setupprep.exe";
  bool ok_ = false;
};

TEST_F(SetupPrepProgram, On95To98TheOtherFileIsUsedAndPendingRenamesGo) {
  const Bytes nt = shipped("2k");
  const Bytes win9x = shipped("98");
  putDefaults(nt, win9x);
  char windowsDir[MAX_PATH];
  GetWindowsDirectoryA(windowsDir, sizeof windowsDir);
  const std::string ini = std::string(windowsDir) + "\\wininit.ini";
  const std::string bak = std::string(windowsDir) + "\\wininit.bak";
  ASSERT_FALSE(files_.exists(ini));
  ASSERT_FALSE(files_.exists(bak));
  write(ini, {'['});
  write(bak, {'['});
  Outcome out;
  {
    Win98Version win98;
    EXPECT_TRUE(win98.ok());
    out = run();
  }
  const bool iniGone = !files_.exists(ini);
  const bool bakGone = !files_.exists(bak);
  files_.remove(ini);
  files_.remove(bak);

  EXPECT_EQ(out.exitCode, 0u);
  EXPECT_TRUE(out.boxes.empty());
  EXPECT_EQ(read(target_), win9x);
  EXPECT_TRUE(iniGone);
  EXPECT_TRUE(bakGone);

  // Nothing left to delete is no failure either, and a single target gains the other sets.
  Bytes single(win9x.begin(), win9x.begin() + kExportedFileSize);
  write(target_, single);
  {
    Win98Version win98;
    out = run();
  }
  EXPECT_EQ(out.exitCode, 0u);
  EXPECT_EQ(read(target_), win9x);
}

TEST_F(SetupPrepProgram, EachCheckResultOnARealFile) {
  struct Case {
    const char* what;
    std::optional<Bytes> before;
    int answer;
    Bytes after;
    bool asked;
  };
  const Bytes defaults = settingsBytes(3, 0x10);
  const Bytes invalid = settingsBytes(2, 0x40, 0, false);
  Bytes singleWithTail = settingsBytes(1, 0x80);
  const Bytes appended(defaults.begin() + kHeaderSize + kRecordSize, defaults.end());
  Bytes single = singleWithTail;
  single.insert(single.end(), appended.begin(), appended.end());
  singleWithTail.resize(singleWithTail.size() + 1000, 0xEE);

  const Case cases[] = {
      {"missing", std::nullopt, IDOK, defaults, false},
      {"15 bytes", Bytes(15, 0x73), IDOK, defaults, false},
      {"invalid, OK", invalid, IDOK, defaults, true},
      {"invalid, Cancel", invalid, IDCANCEL, invalid, true},
      {"single", settingsBytes(1, 0x80), IDOK, single, false},
      {"single with a partial record", singleWithTail, IDOK, single, false},
      {"header only", settingsBytes(0, 0), IDOK, settingsBytes(0, 0), false},
      {"two records and a tail", settingsBytes(2, 0x80, 77), IDOK, settingsBytes(2, 0x80, 77), false},
  };
  putDefaults(defaults, settingsBytes(3, 0x90));
  const Box question{"Invalid settings file found.",
                     "An invalid settings file was found. \n"
                     "Do you want to overwrite it with the default one?",
                     IDCANCEL};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    files_.remove(target_);
    if (c.before) write(target_, *c.before);
    const Outcome out = run(c.answer);
    EXPECT_EQ(out.exitCode, 0u);
    EXPECT_EQ(out.boxes, c.asked ? std::vector<Box>{question} : std::vector<Box>{});
    EXPECT_EQ(read(target_), c.after);
  }
}

LRESULT CALLBACK plainWindowProc(HWND hwnd, UINT msg, WPARAM w, LPARAM l) {
  return DefWindowProcA(hwnd, msg, w, l);
}

TEST_F(SetupPrepProgram, RefusesWhileAWindowOfTheSuiteExists) {
  struct Case {
    const char* windowClass;
    const char* title;
  };
  putDefaults(settingsBytes(2, 0x10), settingsBytes(2, 0x90));
  const Box refusal{"Setup Cannot Continue",
                    "A previous version of this software seems to be already running.\n"
                    "Please unininstall the old version before installing this one.",
                    IDOK};
  for (const Case c : {Case{"RingDeck Engine", ""}, Case{"RingDeck Helper", ""},
                       Case{"RingDeckTestPanelClass", "Orvanel RingDeck"}}) {
    SCOPED_TRACE(c.windowClass);
    WNDCLASSA wc{};
    wc.lpfnWndProc = plainWindowProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = c.windowClass;
    ASSERT_TRUE(RegisterClassA(&wc));
    HWND window = CreateWindowExA(0, c.windowClass, c.title, WS_OVERLAPPED, 0, 0, 100, 100,
                                  nullptr, nullptr, wc.hInstance, nullptr);
    ASSERT_TRUE(window);

    const Outcome out = run();
    DestroyWindow(window);
    UnregisterClassA(c.windowClass, wc.hInstance);

    EXPECT_EQ(out.exitCode, kExitMinusOne);
    EXPECT_EQ(out.boxes, std::vector<Box>{refusal});
    EXPECT_FALSE(files_.exists(target_));
  }
  // With the windows gone it goes on.
  EXPECT_EQ(run().exitCode, 0u);
  EXPECT_EQ(read(target_), settingsBytes(2, 0x10));
}

TEST_F(SetupPrepProgram, WrongMagicDefaultLeavesAHeaderOnlyTarget) {
  putDefaults(settingsBytes(3, 0x10, 0, false), settingsBytes(3, 0x90));
  const Outcome out = run();
  EXPECT_EQ(out.exitCode, kExitMinusOne);
  EXPECT_EQ(out.boxes, std::vector<Box>{kFailureBox});
  EXPECT_EQ(read(target_), settingsBytes(0, 0));
}

TEST_F(SetupPrepProgram, MissingDefaultFileFails) {
  // Only the file for the other platform family is there.
  write(folder_ + "OrvanelRingDeck.pref98", settingsBytes(3, 0x90));
  write(target_, settingsBytes(1, 0x80));
  const Outcome out = run();
  EXPECT_EQ(out.exitCode, kExitMinusOne);
  EXPECT_EQ(out.boxes, std::vector<Box>{kFailureBox});
  EXPECT_EQ(read(target_), settingsBytes(1, 0x80));
}

}  // namespace
}  // namespace ringdeck::setup
