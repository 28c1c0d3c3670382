// The save through the real file calls, in the situations a user meets: another program holds
// the file open, no file may be created beside it, the program is killed halfway, the file is
// a directory or locked by another program.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "numbered_sets.h"
#include "settings_io.h"
#include "whole_file_save.h"
#include "win32_file.h"

namespace ringdeck::win32 {
namespace {

using ringdeck::testing::numberedSets;

std::vector<SettingsRecord> fewSets(std::initializer_list<const char*> names) {
  std::vector<SettingsRecord> out;
  for (const char* n : names) {
    SettingsRecord r{};
    setName(r, n);
    out.push_back(r);
  }
  return out;
}

bool same(const std::optional<std::vector<SettingsRecord>>& got, const std::vector<SettingsRecord>& want) {
  return got && got->size() == want.size() &&
         std::memcmp(got->data(), want.data(), want.size() * kRecordSize) == 0;
}

// Runs a Unix command (Wine starts it when the command line names one). Its exit code does
// not come back: callers check the effect.
void runUnix(const std::string& line) {
  std::string command = line;
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    WaitForSingleObject(process.hProcess, 5000);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
}

std::string unixPathOf(const std::string& windowsPath) {
  using UnixName = char*(CDECL*)(LPCWSTR);
  auto toUnix = reinterpret_cast<UnixName>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
  const std::wstring wide(windowsPath.begin(), windowsPath.end());
  std::string out;
  if (char* unix = toUnix ? toUnix(wide.c_str()) : nullptr) {
    out = unix;
    HeapFree(GetProcessHeap(), 0, unix);
  }
  return out;
}

// save_loop, started with the arguments given; ended (killed) when destroyed.
class SaveLoop {
 public:
  explicit SaveLoop(const std::string& arguments) {
    std::string line = std::string("\"") + RINGDECK_SAVE_LOOP + "\" " + arguments;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process_))
      process_ = {};
  }
  ~SaveLoop() { kill(); }
  bool started() const { return process_.hProcess != nullptr; }
  // True once it holds the file, or starts saving.
  bool waitReady() {
    const std::string name = "RingDeckSaveLoop" + std::to_string(process_.dwProcessId);
    HANDLE held = CreateEventA(nullptr, TRUE, FALSE, name.c_str());
    HANDLE both[2] = {held, process_.hProcess};
    const DWORD r = WaitForMultipleObjects(2, both, FALSE, 10000);
    CloseHandle(held);
    return r == WAIT_OBJECT_0;
  }
  // Ends it as a kill would; the exit code it had when it ended by itself, else nothing.
  std::optional<DWORD> kill() {
    if (!process_.hProcess) return std::nullopt;
    DWORD code = 0;
    GetExitCodeProcess(process_.hProcess, &code);
    const bool ranOn = code == STILL_ACTIVE;
    TerminateProcess(process_.hProcess, 9);
    WaitForSingleObject(process_.hProcess, INFINITE);
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
    process_ = {};
    return ranOn ? std::nullopt : std::optional<DWORD>(code);
  }

 private:
  PROCESS_INFORMATION process_{};
};

class SaveUnderWine : public ::testing::Test {
 protected:
  void SetUp() override {
    char temp[MAX_PATH + 1];
    ASSERT_NE(GetTempPathA(sizeof temp, temp), 0u);
    const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    dir_ = std::string(temp) + "ringdeck-save-" + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(dir_.c_str(), nullptr);
    // A name of its own per test: the recovery copy is named after the file.
    path_ = dir_ + "\\" + name + ".pref";
    copy_ = fs_.recoveryCopyPath(path_);
  }
  void TearDown() override {
    RemoveDirectoryA(path_.c_str());
    fs_.remove(path_);
    fs_.remove(copy_);
    RemoveDirectoryA(dir_.c_str());
  }
  std::optional<std::vector<SettingsRecord>> load(Recovery* outcome = nullptr) {
    std::vector<std::uint8_t> holder;
    auto file = openWholeSettings(fs_, path_, OpenMode::ReadWriteOpenAlways, holder, outcome);
    if (!file) return std::nullopt;
    return readAllSettingsRecords(*file);
  }
  std::vector<std::uint8_t> rawFile() {
    std::vector<std::uint8_t> b;
    if (auto f = fs_.open(path_, OpenMode::ReadOnlyExisting)) {
      b.resize(static_cast<std::size_t>(f->size().value_or(0)));
      f->readAt(0, b);
    }
    return b;
  }

  Win32FileSystem fs_;
  std::string dir_, path_, copy_;
};

TEST_F(SaveUnderWine, TheRecoveryCopyIsInTheUsersLocalApplicationData) {
  char local[MAX_PATH + 1];
  ASSERT_NE(GetEnvironmentVariableA("LOCALAPPDATA", local, sizeof local), 0u);
  EXPECT_EQ(copy_, std::string(local) + "\\RingDeck\\" +
                       ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".pref.save");
  EXPECT_EQ(fs_.recoveryCopyPath(settingsFilePath(systemDirectory())),
            std::string(local) + "\\RingDeck\\OrvanelRingDeck.pref.save");
  const DWORD attributes = GetFileAttributesA((std::string(local) + "\\RingDeck").c_str());
  ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
  EXPECT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

TEST_F(SaveUnderWine, ASaveSucceedsWhileAnotherProgramHoldsTheFileOpen) {
  ASSERT_TRUE(saveSettingsInPlace(fs_, path_, fewSets({"", "old"})));
  SaveLoop other("hold \"" + path_ + "\" share");
  ASSERT_TRUE(other.started() && other.waitReady());
  // What a file moved over it meets.
  const std::string fresh = dir_ + "\\fresh.pref";
  { ASSERT_TRUE(fs_.open(fresh, OpenMode::ReadWriteCreateNew)); }
  EXPECT_FALSE(MoveFileExA(fresh.c_str(), path_.c_str(), MOVEFILE_REPLACE_EXISTING));
  fs_.remove(fresh);

  const auto next = fewSets({"", "new", "newer"});
  ASSERT_TRUE(saveSettingsInPlace(fs_, path_, next));
  EXPECT_TRUE(same(load(), next));
  EXPECT_FALSE(fs_.exists(copy_));
  const DWORD hiddenArchive = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE;
  EXPECT_EQ(GetFileAttributesA(path_.c_str()) & hiddenArchive, hiddenArchive);
}

TEST_F(SaveUnderWine, ASaveSucceedsWhereNoFileMayBeCreatedBesideIt) {
  ASSERT_TRUE(saveSettingsInPlace(fs_, path_, fewSets({"", "old"})));
  // A folder in which no file may be created (chattr +i on the Unix folder), the file in it
  // still writable: what a standard user meets in the system directory.
  const std::string unixDir = unixPathOf(dir_);
  ASSERT_FALSE(unixDir.empty());
  const std::string probe = dir_ + "\\probe";
  const auto canCreate = [&] {
    HANDLE h = CreateFileA(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    CloseHandle(h);
    DeleteFileA(probe.c_str());
    return true;
  };
  // The Unix program's end does not come back through Wine: wait for its effect.
  const auto waitFor = [&](bool creatable) {
    for (int i = 0; i < 500 && canCreate() != creatable; ++i) Sleep(10);
    return canCreate() == creatable;
  };
  runUnix("/usr/bin/chattr +i \"" + unixDir + "\"");
  if (!waitFor(false)) GTEST_SKIP() << "chattr +i is not available here";
  const auto next = fewSets({"", "new", "newer", "newest"});
  const bool saved = saveSettingsInPlace(fs_, path_, next);
  const auto loaded = load();
  runUnix("/usr/bin/chattr -i \"" + unixDir + "\"");
  ASSERT_TRUE(waitFor(true));
  EXPECT_TRUE(saved);
  EXPECT_TRUE(same(loaded, next));
}

TEST_F(SaveUnderWine, ASettingsFileThatIsADirectoryFailsPlainly) {
  ASSERT_TRUE(CreateDirectoryA(path_.c_str(), nullptr));
  EXPECT_FALSE(load());
  EXPECT_FALSE(saveSettingsInPlace(fs_, path_, fewSets({""})));
  EXPECT_FALSE(fs_.exists(copy_));
  const DWORD attributes = GetFileAttributesA(path_.c_str());
  EXPECT_TRUE(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY));
}

TEST_F(SaveUnderWine, ASettingsFileLockedByAnotherProgramFailsPlainlyAndLosesNothing) {
  const auto old = fewSets({"", "old"});
  ASSERT_TRUE(saveSettingsInPlace(fs_, path_, old));
  const auto before = rawFile();
  {
    // Opened sharing nothing: neither read nor saved.
    SaveLoop other("hold \"" + path_ + "\" exclusive");
    ASSERT_TRUE(other.started() && other.waitReady());
    EXPECT_FALSE(load());
    EXPECT_FALSE(saveSettingsInPlace(fs_, path_, fewSets({"", "new"})));
  }
  {
    // A save that never ends (a hung program holding the right to rewrite): read as it is,
    // and a save gives up after its bounded wait.
    SaveLoop other("hold \"" + path_ + "\" saving");
    ASSERT_TRUE(other.started() && other.waitReady());
    EXPECT_TRUE(same(load(), old));
    EXPECT_FALSE(saveSettingsInPlace(fs_, path_, fewSets({"", "new"})));
  }
  EXPECT_EQ(rawFile(), before);
  Recovery outcome;
  EXPECT_TRUE(same(load(&outcome), old));
  EXPECT_EQ(outcome, Recovery::None);
  EXPECT_FALSE(fs_.exists(copy_));
}

// The program saving 10,000 sets (and 9,000 others) is killed at random points, the file held
// open by another program in half of the runs: every time the next load gives one list whole.
TEST_F(SaveUnderWine, AKilledSaveLoadsAsTheOldOrTheNewSets) {
  const std::vector<SettingsRecord> lists[2] = {numberedSets(0), numberedSets(1)};
  const auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(saveSettingsInPlace(fs_, path_, lists[0]));
  const auto saveMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                          std::chrono::steady_clock::now() - start).count();

  constexpr int kRuns = 52;
  std::mt19937 random(20261210);
  // About two saves from the moment the saver starts saving.
  std::uniform_int_distribution<int> delay(0, static_cast<int>(2 * saveMs));
  int current = 0, held = 0, cut = 0, restored = 0, wrong = 0, endedAlone = 0;
  int loads[2] = {0, 0};
  for (int run = 0; run < kRuns; ++run) {
    SCOPED_TRACE(run);
    std::optional<SaveLoop> holder;
    if (run % 2 == 1) {
      holder.emplace("hold \"" + path_ + "\" share");
      ASSERT_TRUE(holder->started() && holder->waitReady());
      ++held;
    }
    {
      SaveLoop saver("save \"" + path_ + "\" " + std::to_string(1 - current));
      ASSERT_TRUE(saver.started() && saver.waitReady());
      Sleep(static_cast<DWORD>(delay(random)));
      if (saver.kill()) ++endedAlone;
    }
    if (fs_.exists(copy_)) ++cut;
    Recovery outcome = Recovery::None;
    const auto loaded = load(&outcome);
    if (outcome == Recovery::Restored) ++restored;
    if (same(loaded, lists[0])) {
      current = 0;
    } else if (same(loaded, lists[1])) {
      current = 1;
    } else {
      ++wrong;
      ADD_FAILURE() << "the file loads as neither list";
      ASSERT_TRUE(saveSettingsInPlace(fs_, path_, lists[current]));
      continue;
    }
    ++loads[current];
    EXPECT_FALSE(fs_.exists(copy_));
  }
  std::printf("killed save: %d runs, %d with the file held open, one save %lld ms, %d kills left a "
              "recovery copy, %d loads finished a save from it, loaded 10,000 sets %d times and "
              "9,000 sets %d times, %d neither, %d savers ended by themselves\n",
              kRuns, held, static_cast<long long>(saveMs), cut, restored, loads[0], loads[1], wrong,
              endedAlone);
  EXPECT_EQ(wrong, 0);
  EXPECT_EQ(endedAlone, 0);
  EXPECT_GT(restored, 0);
}

}  // namespace
}  // namespace ringdeck::win32
