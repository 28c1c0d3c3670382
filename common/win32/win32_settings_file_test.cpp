// The settings file rules on a real file in the system directory, opened the way the programs
// open it.
#include <gtest/gtest.h>

#include <windows.h>

#include <vector>

#include "settings_io.h"
#include "win32_file.h"

namespace ringdeck::win32 {
namespace {

using Bytes = std::vector<std::uint8_t>;

class SystemSettingsFile : public testing::Test {
 protected:
  void SetUp() override {
    path_ = settingsFilePath(systemDirectory());
    ASSERT_FALSE(path_.empty());
    // Keep whatever a previous program left there and put it back afterwards.
    if (auto f = fs_.open(path_, OpenMode::ReadOnlyExisting)) {
      saved_.resize(*f->size());
      f->readAt(0, saved_);
      hadFile_ = true;
    }
    fs_.remove(path_);
  }
  void TearDown() override {
    fs_.remove(path_);
    if (hadFile_) {
      auto f = fs_.open(path_, OpenMode::ReadWriteCreateNew);
      f->writeAt(0, saved_);
    }
  }
  void writeRaw(const Bytes& bytes) {
    auto f = fs_.open(path_, OpenMode::ReadWriteCreateNew);
    ASSERT_TRUE(f);
    if (!bytes.empty()) {
      ASSERT_TRUE(f->writeAt(0, bytes));
    }
  }

  Win32FileSystem fs_;
  std::string path_;
  Bytes saved_;
  bool hadFile_ = false;
};

TEST_F(SystemSettingsFile, PathIsInTheSystemDirectory) {
  char dir[MAX_PATH];
  GetSystemDirectoryA(dir, MAX_PATH);
  EXPECT_EQ(path_, std::string(dir) + "\\OrvanelRingDeck.pref");
}

TEST_F(SystemSettingsFile, MissingFileIsCreatedHiddenAndRepaired) {
  EXPECT_FALSE(fs_.open(path_, OpenMode::ReadOnlyExisting));
  auto f = fs_.open(path_, OpenMode::ReadWriteOpenAlways);
  ASSERT_TRUE(f);
  EXPECT_EQ(repairSettingsFile(*f), RepairResult::Repaired);
  EXPECT_EQ(*f->size(), kExportedFileSize);
  const DWORD attributes = GetFileAttributesA(path_.c_str());
  EXPECT_TRUE(attributes & FILE_ATTRIBUTE_HIDDEN);
  EXPECT_TRUE(attributes & FILE_ATTRIBUTE_ARCHIVE);
}

TEST_F(SystemSettingsFile, FifteenBytesAreRepairedWhileAnotherReaderHasItOpen) {
  writeRaw(Bytes(15, 0x73));
  auto reader = fs_.open(path_, OpenMode::ReadOnlyExisting);  // no program locks the file
  ASSERT_TRUE(reader);
  auto f = fs_.open(path_, OpenMode::ReadWriteOpenAlways);
  ASSERT_TRUE(f);
  EXPECT_EQ(repairSettingsFile(*f), RepairResult::Repaired);
  f.reset();
  EXPECT_EQ(*reader->size(), kExportedFileSize);
  Bytes header(16);
  ASSERT_EQ(reader->readAt(0, header), 16u);
  EXPECT_EQ(header, (Bytes{0x73, 0x26, 0x6A, 0x43, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST_F(SystemSettingsFile, TwoRecordsWithTrailingBytesAreRead) {
  std::vector<SettingsRecord> records(2);
  setName(records[0], "Global Settings");
  setName(records[1], "Editor");
  setTargetApp(records[1], "EDITOR.EXE");
  {
    auto f = fs_.open(path_, OpenMode::ReadWriteCreateNew);
    ASSERT_TRUE(writeSettingsFile(*f, records));
    ASSERT_TRUE(f->writeAt(kHeaderSize + 2 * kRecordSize, Bytes(100, 0xEE)));
  }
  auto f = fs_.open(path_, OpenMode::ReadOnlyExisting);
  ASSERT_TRUE(f);
  EXPECT_FALSE(f->writeAt(0, Bytes(1, 0)));  // read-only really is
  auto back = readAllSettingsRecords(*f);
  ASSERT_TRUE(back);
  ASSERT_EQ(back->size(), 2u);
  EXPECT_EQ(fieldText((*back)[1].targetApp), "EDITOR.EXE");
  EXPECT_FALSE(hasNoTargetApp((*back)[1]));
  EXPECT_TRUE(hasNoTargetApp((*back)[0]));
}

TEST_F(SystemSettingsFile, ReplaceSwapsInTheNewFileKeepingItHidden) {
  writeRaw(Bytes(20, 1));
  const std::string fresh = path_ + ".new";
  {
    auto f = fs_.open(fresh, OpenMode::ReadWriteCreateNew);
    ASSERT_TRUE(f);
    ASSERT_TRUE(f->writeAt(0, Bytes(30, 2)));
  }
  ASSERT_TRUE(fs_.replace(fresh, path_));
  EXPECT_FALSE(fs_.exists(fresh));
  auto f = fs_.open(path_, OpenMode::ReadOnlyExisting);
  EXPECT_EQ(*f->size(), 30u);
  EXPECT_TRUE(GetFileAttributesA(path_.c_str()) & FILE_ATTRIBUTE_HIDDEN);
}

}  // namespace
}  // namespace ringdeck::win32
