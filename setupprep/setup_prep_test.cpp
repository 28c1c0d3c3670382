#include "setup_prep.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <vector>

#include "memory_file.h"
#include "whole_file_save.h"
#include "settings_file.h"
#include "settings_io.h"

namespace ringdeck::setup {
namespace {

using Bytes = std::vector<std::uint8_t>;

const std::string kSystemDir = "C:\\WINDOWS\\system32";
const std::string kWindowsDir = "C:\\WINDOWS";
const std::string kProgram = "D:\\Setup Files\\setupprep.exe";
const std::string kTarget = "C:\\WINDOWS\\system32\\OrvanelRingDeck.pref";
const std::string kDefault2k = "D:\\Setup Files\\OrvanelRingDeck.pref2k";
const std::string kDefault98 = "D:\\Setup Files\\OrvanelRingDeck.pref98";

// A settings file whose records can be told apart: record i is filled with byte tag + i.
Bytes settingsBytes(int records, std::uint8_t tag, std::size_t tail = 0, bool goodMagic = true) {
  Bytes bytes(kHeaderSize + records * kRecordSize + tail, 0);
  const SettingsFileHeader header = standardHeader();
  std::memcpy(bytes.data(), &header, sizeof header);
  if (!goodMagic) bytes[3] ^= 0x01;
  for (int i = 0; i < records; ++i) {
    std::memset(bytes.data() + kHeaderSize + i * kRecordSize, tag + i, kRecordSize);
  }
  std::memset(bytes.data() + kHeaderSize + records * kRecordSize, 0xEE, tail);
  return bytes;
}

Bytes recordBytes(const Bytes& file, int index) {
  const auto from = file.begin() + static_cast<std::ptrdiff_t>(kHeaderSize + index * kRecordSize);
  return Bytes(from, from + kRecordSize);
}

Bytes concat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

class FakePlatform final : public PlatformInfo {
 public:
  bool nt = true;
  std::string systemDir = kSystemDir;
  std::string windowsDir = kWindowsDir;
  std::string program = kProgram;
  bool isNtFamily() override { return nt; }
  std::string systemDirectory() override { return systemDir; }
  std::string windowsDirectory() override { return windowsDir; }
  std::string programFile() override { return program; }
};

class FakeWindows final : public WindowFinder {
 public:
  std::set<std::string, std::less<>> classes;
  std::set<std::string, std::less<>> titles;
  std::vector<std::string> asked;
  bool classExists(std::string_view c) override {
    asked.emplace_back(c);
    return classes.contains(c);
  }
  bool titleExists(std::string_view t) override {
    asked.emplace_back(t);
    return titles.contains(t);
  }
};

struct Box {
  bool question;
  std::string text;
  std::string caption;
  bool operator==(const Box&) const = default;
};

class FakePrompts final : public UserPrompts {
 public:
  std::vector<Box> shown;
  bool answerOk = true;
  void showError(std::string_view text, std::string_view caption) override {
    shown.push_back({false, std::string(text), std::string(caption)});
  }
  bool confirm(std::string_view text, std::string_view caption) override {
    shown.push_back({true, std::string(text), std::string(caption)});
    return answerOk;
  }
};

// A file whose writes or reads start failing after a number of calls; a failing write puts
// half of its bytes down first, as a full disk would.
class FaultyFile final : public FileAccess {
 public:
  FaultyFile(std::unique_ptr<FileAccess> inner, int writesLeft, int readsLeft)
      : inner_(std::move(inner)), writesLeft_(writesLeft), readsLeft_(readsLeft) {}
  std::optional<std::uint64_t> size() override { return inner_->size(); }
  std::optional<std::size_t> readAt(std::uint64_t o, std::span<std::uint8_t> out) override {
    if (readsLeft_ == 0) return std::nullopt;
    --readsLeft_;
    return inner_->readAt(o, out);
  }
  bool writeAt(std::uint64_t o, std::span<const std::uint8_t> d) override {
    if (writesLeft_ == 0) {
      inner_->writeAt(o, d.first(d.size() / 2));
      return false;
    }
    --writesLeft_;
    return inner_->writeAt(o, d);
  }
  bool truncate(std::uint64_t s) override { return inner_->truncate(s); }

 private:
  std::unique_ptr<FileAccess> inner_;
  int writesLeft_;
  int readsLeft_;
};

class FakeFileSystem final : public FileSystem {
 public:
  MemoryFileSystem memory;
  std::set<std::pair<std::string, OpenMode>> refuse;  // opens that fail
  std::string faultyPath;
  int writesLeft = -1;  // -1: never fail
  int readsLeft = -1;
  std::vector<std::string> removed;

  std::unique_ptr<FileAccess> open(const std::string& path, OpenMode mode) override {
    if (refuse.contains({path, mode})) return nullptr;
    auto file = memory.open(path, mode);
    if (file && path == faultyPath) {
      return std::make_unique<FaultyFile>(std::move(file), writesLeft, readsLeft);
    }
    return file;
  }
  bool exists(const std::string& path) override { return memory.exists(path); }
  bool remove(const std::string& path) override {
    removed.push_back(path);
    return memory.remove(path);
  }
  bool replace(const std::string& s, const std::string& t) override { return memory.replace(s, t); }
};

class SetupPrep : public testing::Test {
 protected:
  int run() {
    SetupEnvironment env{platform, windows, prompts, files};
    return runSetupPrep(env);
  }
  std::map<std::string, Bytes>& disk() { return files.memory.files; }
  const Box kFailureBox{false, std::string(kDefaultFileErrorText),
                        std::string(kCannotContinueCaption)};

  FakePlatform platform;
  FakeWindows windows;
  FakePrompts prompts;
  FakeFileSystem files;
};

TEST_F(SetupPrep, RefusesWhileAnyProgramOfTheSuiteRuns) {
  struct Case {
    const char* windowClass;
    const char* title;
  };
  for (const Case c : {Case{"RingDeck Engine", nullptr}, Case{"RingDeck Helper", nullptr},
                       Case{nullptr, "Orvanel RingDeck"}}) {
    SCOPED_TRACE(c.windowClass ? c.windowClass : c.title);
    FakeWindows found;
    if (c.windowClass) found.classes.insert(c.windowClass);
    if (c.title) found.titles.insert(c.title);
    FakePrompts seen;
    FakeFileSystem fs;
    fs.memory.files[kDefault98] = settingsBytes(3, 1);
    fs.memory.files[kWindowsDir + "\\wininit.ini"] = {'x'};
    platform.nt = false;
    SetupEnvironment env{platform, found, seen, fs};

    EXPECT_EQ(runSetupPrep(env), -1);
    const Box expected{false,
                       "A previous version of this software seems to be already running.\n"
                       "Please unininstall the old version before installing this one.",
                       "Setup Cannot Continue"};
    EXPECT_EQ(seen.shown, std::vector<Box>{expected});
    // Refused before anything was touched: no settings file, no clean-up.
    EXPECT_FALSE(fs.memory.exists(kTarget));
    EXPECT_TRUE(fs.removed.empty());
  }
}

TEST_F(SetupPrep, LooksForEngineThenHelperThenControlPanel) {
  disk()[kDefault2k] = settingsBytes(1, 1);
  EXPECT_EQ(run(), 0);
  EXPECT_EQ(windows.asked,
            (std::vector<std::string>{"RingDeck Engine", "RingDeck Helper", "Orvanel RingDeck"}));
}

TEST_F(SetupPrep, MissingOrTooShortTargetIsCreatedWithAllDefaultRecords) {
  for (const std::size_t existing : {std::size_t{0}, std::size_t{1}, std::size_t{15}, std::size_t{99}}) {
    SCOPED_TRACE(existing);
    disk().clear();
    prompts.shown.clear();
    const Bytes defaults = settingsBytes(3, 0x10);
    disk()[kDefault2k] = defaults;
    if (existing != 99) disk()[kTarget] = Bytes(existing, 0x73);  // 99: no file at all

    EXPECT_EQ(run(), 0);
    EXPECT_EQ(disk()[kTarget], defaults);
    EXPECT_TRUE(prompts.shown.empty());
  }
}

TEST_F(SetupPrep, WrittenHeaderIsTheStandardOneWhateverTheDefaultHeaderSays) {
  Bytes defaults = settingsBytes(2, 0x10);
  defaults[4] = 7;     // formatVersion
  defaults[12] = 0xAB;  // reserved
  disk()[kDefault2k] = defaults;
  EXPECT_EQ(run(), 0);
  const Bytes& target = disk()[kTarget];
  EXPECT_EQ(Bytes(target.begin(), target.begin() + 16),
            (Bytes{0x73, 0x26, 0x6A, 0x43, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(target.size(), 16 + 2 * kRecordSize);
}

TEST_F(SetupPrep, InvalidTargetIsOverwrittenOnlyWhenTheUserAgrees) {
  const Bytes defaults = settingsBytes(2, 0x10);
  const Bytes invalid = settingsBytes(4, 0x40, 0, /*goodMagic=*/false);
  const Box question{true,
                     "An invalid settings file was found. \n"
                     "Do you want to overwrite it with the default one?",
                     "Invalid settings file found."};
  for (const bool ok : {true, false}) {
    SCOPED_TRACE(ok);
    disk() = {{kDefault2k, defaults}, {kTarget, invalid}};
    prompts.shown.clear();
    prompts.answerOk = ok;
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(prompts.shown, std::vector<Box>{question});
    EXPECT_EQ(disk()[kTarget], ok ? defaults : invalid);
  }
}

TEST_F(SetupPrep, SingleTargetKeepsItsGlobalSetAndGainsTheOtherDefaultSets) {
  const Bytes target = settingsBytes(1, 0x80);
  const Bytes defaults = settingsBytes(3, 0x10);
  disk() = {{kDefault2k, defaults}, {kTarget, target}};
  EXPECT_EQ(run(), 0);
  EXPECT_EQ(disk()[kTarget],
            concat(concat(target, recordBytes(defaults, 1)), recordBytes(defaults, 2)));
  EXPECT_TRUE(prompts.shown.empty());
}

// A save of three sets cut short over a file of one set: setup sees the three sets that the
// save wrote (and keeps them) instead of asking to overwrite a file that is not whole.
TEST_F(SetupPrep, ASaveCutShortIsFinishedBeforeTheTargetIsJudged) {
  const Bytes defaults = settingsBytes(3, 0x10);
  const Bytes saved = settingsBytes(3, 0x40);
  disk() = {{kDefault2k, defaults}, {kTarget, settingsBytes(1, 0x80)}};
  const std::vector<SettingsRecord> sets(reinterpret_cast<const SettingsRecord*>(saved.data() + kHeaderSize),
                                         reinterpret_cast<const SettingsRecord*>(saved.data() + saved.size()));
  files.memory.writeLimitFor[kTarget] = kHeaderSize + kRecordSize;
  ASSERT_FALSE(saveSettingsInPlace(files, kTarget, sets));
  files.memory.writeLimitFor.clear();
  EXPECT_EQ(run(), 0);
  EXPECT_EQ(disk()[kTarget], saved);
  EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(SetupPrep, PartialRecordBehindASingleSetIsCutSoAddedSetsStayOnTheGrid) {
  disk() = {{kDefault2k, settingsBytes(2, 0x10)}, {kTarget, settingsBytes(1, 0x80, 100)}};
  EXPECT_EQ(run(), 0);
  const Bytes& result = disk()[kTarget];
  ASSERT_EQ(result.size(), 16 + 2 * kRecordSize);
  EXPECT_EQ(recordBytes(result, 0), Bytes(kRecordSize, 0x80));
  EXPECT_EQ(recordBytes(result, 1), Bytes(kRecordSize, 0x11));
}

TEST_F(SetupPrep, SingleTargetWithOneRecordDefaultWritesNothing) {
  // The default's header is not even looked at when there is nothing to add.
  for (const bool goodMagic : {true, false}) {
    SCOPED_TRACE(goodMagic);
    const Bytes target = settingsBytes(1, 0x80, 100);
    disk() = {{kDefault2k, settingsBytes(1, 0x10, 50, goodMagic)}, {kTarget, target}};
    files.refuse.insert({kTarget, OpenMode::ReadWriteOpenAlways});  // any write attempt fails
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(disk()[kTarget], target);
    EXPECT_TRUE(prompts.shown.empty());
  }
}

TEST_F(SetupPrep, TargetWithNoneOrSeveralRecordsIsLeftAlone) {
  for (const Bytes& target : {settingsBytes(0, 0x80), settingsBytes(0, 0x80, 6511),
                              settingsBytes(2, 0x80), settingsBytes(2, 0x80, 6000),
                              settingsBytes(5, 0x80)}) {
    SCOPED_TRACE(target.size());
    disk() = {{kDefault2k, settingsBytes(3, 0x10)}, {kTarget, target}};
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(disk()[kTarget], target);
    EXPECT_TRUE(prompts.shown.empty());
  }
}

TEST_F(SetupPrep, DefaultFileTroubleFailsAfterCreatingLeavingTheHeaderAlone) {
  struct Case {
    const char* what;
    std::optional<Bytes> defaults;
  };
  Bytes oneRecordShort = settingsBytes(1, 0x10);
  oneRecordShort.pop_back();
  for (const Case& c : {Case{"missing", std::nullopt}, Case{"header only", settingsBytes(0, 1)},
                        Case{"one byte short of a record", oneRecordShort},
                        Case{"wrong magic", settingsBytes(3, 0x10, 0, false)}}) {
    SCOPED_TRACE(c.what);
    disk().clear();
    prompts.shown.clear();
    if (c.defaults) disk()[kDefault2k] = *c.defaults;
    EXPECT_EQ(run(), -1);
    EXPECT_EQ(disk()[kTarget], settingsBytes(0, 0));
    EXPECT_EQ(prompts.shown, std::vector<Box>{kFailureBox});
  }
}

TEST_F(SetupPrep, WrongMagicDefaultFailsForASingleTargetWithoutTouchingIt) {
  const Bytes target = settingsBytes(1, 0x80);
  disk() = {{kDefault2k, settingsBytes(3, 0x10, 0, false)}, {kTarget, target}};
  EXPECT_EQ(run(), -1);
  EXPECT_EQ(disk()[kTarget], target);
  EXPECT_EQ(prompts.shown, std::vector<Box>{kFailureBox});
}

TEST_F(SetupPrep, TargetThatCannotBeCreatedOrOpenedForAppendingFails) {
  for (const OpenMode mode : {OpenMode::ReadWriteCreateNew, OpenMode::ReadWriteOpenAlways}) {
    disk() = {{kDefault2k, settingsBytes(3, 0x10)}};
    prompts.shown.clear();
    files.refuse = {{kTarget, mode}};
    EXPECT_EQ(run(), -1);
    EXPECT_EQ(prompts.shown, std::vector<Box>{kFailureBox});
  }
}

TEST_F(SetupPrep, FailedWriteIsReportedAndLeavesNoPartOfTheCopy) {
  const Bytes target = settingsBytes(1, 0x80, 30);
  disk() = {{kDefault2k, settingsBytes(4, 0x10)}, {kTarget, target}};
  files.faultyPath = kTarget;
  files.writesLeft = 1;  // the first added record goes down, the second only half
  EXPECT_EQ(run(), -1);
  EXPECT_EQ(disk()[kTarget], settingsBytes(1, 0x80));
  EXPECT_EQ(prompts.shown, std::vector<Box>{kFailureBox});
}

TEST_F(SetupPrep, ReadErrorInTheDefaultFileIsReportedAndLeavesNoPartOfTheCopy) {
  disk() = {{kDefault2k, settingsBytes(4, 0x10)}};
  files.faultyPath = kDefault2k;
  files.readsLeft = 2;  // the header and the first record
  EXPECT_EQ(run(), -1);
  EXPECT_EQ(disk()[kTarget], settingsBytes(0, 0));
}

TEST_F(SetupPrep, TailOfTheDefaultFileBehindItsLastRecordIsNotCopied) {
  disk() = {{kDefault2k, settingsBytes(2, 0x10, 6511)}};
  EXPECT_EQ(run(), 0);
  EXPECT_EQ(disk()[kTarget], settingsBytes(2, 0x10));
}

TEST_F(SetupPrep, PlatformChoosesTheDefaultFileAndTheCleanUp) {
  for (const bool nt : {true, false}) {
    SCOPED_TRACE(nt);
    disk() = {{kDefault2k, settingsBytes(2, 0x20)},
              {kDefault98, settingsBytes(2, 0x90)},
              {"C:\\WINDOWS\\wininit.ini", {'a'}},
              {"C:\\WINDOWS\\wininit.bak", {'b'}}};
    files.removed.clear();
    platform.nt = nt;
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(disk()[kTarget], nt ? settingsBytes(2, 0x20) : settingsBytes(2, 0x90));
    EXPECT_EQ(disk().contains("C:\\WINDOWS\\wininit.ini"), nt);
    EXPECT_EQ(disk().contains("C:\\WINDOWS\\wininit.bak"), nt);
  }
}

TEST_F(SetupPrep, MissingWininitFilesDoNotMatter) {
  platform.nt = false;
  disk() = {{kDefault98, settingsBytes(1, 0x90)}};
  EXPECT_EQ(run(), 0);
  EXPECT_EQ(files.removed,
            (std::vector<std::string>{"C:\\WINDOWS\\wininit.ini", "C:\\WINDOWS\\wininit.bak"}));
  EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(SetupPrep, UnknownDirectoriesNeverPointAtTheDriveRoot) {
  platform.nt = false;
  platform.windowsDir.clear();
  disk() = {{kDefault98, settingsBytes(1, 0x90)}, {"\\wininit.ini", {'a'}}};
  EXPECT_EQ(run(), 0);
  EXPECT_TRUE(files.removed.empty());

  for (const bool noSystemDir : {true, false}) {
    SCOPED_TRACE(noSystemDir);
    FakePlatform p;
    (noSystemDir ? p.systemDir : p.program).clear();
    FakePrompts seen;
    FakeFileSystem fs;
    fs.memory.files[kDefault2k] = settingsBytes(1, 0x90);
    fs.memory.files["OrvanelRingDeck.pref2k"] = settingsBytes(1, 0x90);
    SetupEnvironment env{p, windows, seen, fs};
    EXPECT_EQ(runSetupPrep(env), -1);
    EXPECT_EQ(fs.memory.files.size(), 2u);  // nothing created anywhere
    EXPECT_EQ(seen.shown, std::vector<Box>{kFailureBox});
  }
}

TEST(SetupPrepNames, DefaultFileNameAndProgramFolder) {
  EXPECT_EQ(defaultFileName(true), "OrvanelRingDeck.pref2k");
  EXPECT_EQ(defaultFileName(false), "OrvanelRingDeck.pref98");
  EXPECT_EQ(folderOf("C:\\Program Files\\RingDeck\\setupprep.exe"), "C:\\Program Files\\RingDeck\\");
  EXPECT_EQ(folderOf("C:\\setupprep.exe"), "C:\\");
  EXPECT_EQ(folderOf("Z:/tmp/x/setupprep.exe"), "Z:/tmp/x/");
  EXPECT_EQ(folderOf("setupprep.exe"), "");
}

}  // namespace
}  // namespace ringdeck::setup
