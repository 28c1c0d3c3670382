#include "settings_image.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "memory_file.h"
#include "settings_io.h"
#include "whole_file_save.h"

namespace ringdeck::engine {
namespace {

constexpr const char* kPath = "C:\\windows\\system32\\OrvanelRingDeck.pref";

class ImageTest : public testing::Test {
 protected:
  void writeSets(std::initializer_list<const char*> names) {
    std::vector<SettingsRecord> records;
    for (const char* n : names) {
      SettingsRecord r{};
      setName(r, n);
      records.push_back(r);
    }
    auto f = files.open(kPath, OpenMode::ReadWriteCreateNew);
    ASSERT_TRUE(writeSettingsFile(*f, records));
  }
  std::string currentName() const { return std::string(fieldText(image.currentRecord().name)); }

  MemoryFileSystem files;
  HeapSectionFactory sections;
  SettingsImage image{files, sections, kPath};
};

TEST_F(ImageTest, MissingFileIsCreatedWithTheGlobalSet) {
  ASSERT_TRUE(image.load());
  EXPECT_EQ(image.recordCount(), 1u);
  EXPECT_EQ(image.currentIndex(), 0u);
  EXPECT_EQ(files.files[kPath].size(), kExportedFileSize);
}

// A save cut short while the file was being rewritten: the image holds the new sets from the
// recovery copy, even where the engine may not write the file; with no copy at hand the cut
// file is used as one empty set in memory and left as it is for its saver.
TEST_F(ImageTest, ASaveCutShortGivesTheNewSets) {
  writeSets({"", "old"});
  std::vector<SettingsRecord> next(3);
  setName(next[2], "new");
  files.writeLimitFor[kPath] = kHeaderSize + kRecordSize;
  ASSERT_FALSE(saveSettingsInPlace(files, kPath, next));
  files.writeLimitFor.clear();
  const auto cut = files.files[kPath];
  const auto copy = files.files[files.recoveryCopyPath(kPath)];

  files.readOnly.insert(kPath);
  ASSERT_TRUE(image.load());
  EXPECT_EQ(image.recordCount(), 3u);
  EXPECT_EQ(fieldText(image.record(2).name), "new");
  EXPECT_EQ(files.files[kPath], cut);

  files.readOnly.clear();
  files.remove(files.recoveryCopyPath(kPath));
  ASSERT_TRUE(image.load());
  EXPECT_EQ(image.recordCount(), 1u);
  EXPECT_EQ(files.files[kPath], cut);

  files.files[files.recoveryCopyPath(kPath)] = copy;
  ASSERT_TRUE(image.load());
  EXPECT_EQ(image.recordCount(), 3u);
  EXPECT_EQ(fieldText(image.record(2).name), "new");
  EXPECT_FALSE(files.exists(files.recoveryCopyPath(kPath)));
}

TEST_F(ImageTest, UnopenableFileFails) {
  files.failOpen = true;
  EXPECT_FALSE(image.load());
  EXPECT_FALSE(image.loaded());
}

// A standard user may read the file an elevated setup made, but not write it.
TEST_F(ImageTest, AFileTheUserMayNotWriteIsUsedAndLeftAsItIs) {
  struct Case {
    const char* what;
    std::function<void(std::vector<std::uint8_t>&)> change;
    std::uint32_t sets;
    const char* lastName;
  };
  const Case cases[] = {
      {"intact", [](auto&) {}, 3, "B"},
      {"bytes behind the last set", [](auto& b) { b.resize(b.size() + 100, 0xCC); }, 3, "B"},
      {"cut inside the header", [](auto& b) { b.resize(15); }, 1, ""},
      {"cut inside the first set", [](auto& b) { b.resize(kExportedFileSize - 1); }, 1, ""},
      {"wrong magic", [](auto& b) { b[0] ^= 0xFF; }, 1, ""},
  };
  for (const Case& c : cases) {
    writeSets({"G", "A", "B"});
    c.change(files.files[kPath]);
    const std::vector<std::uint8_t> before = files.files[kPath];
    files.readOnly = {kPath};
    ASSERT_TRUE(image.load()) << c.what;
    EXPECT_EQ(image.recordCount(), c.sets) << c.what;
    EXPECT_EQ(std::string(fieldText(image.record(c.sets - 1).name)), c.lastName) << c.what;
    ASSERT_TRUE(image.reload(0, c.sets)) << c.what;
    EXPECT_EQ(image.recordCount(), c.sets) << c.what;
    EXPECT_EQ(files.files[kPath], before) << c.what;
    files.readOnly.clear();
  }
}

TEST_F(ImageTest, AMissingFileThatCannotBeCreatedFails) {
  files.readOnly = {kPath};
  EXPECT_FALSE(image.load());
  EXPECT_FALSE(files.exists(kPath));
}

TEST_F(ImageTest, ChangeCurrentAndFallbackForAnIndexNotInTheImage) {
  writeSets({"G", "A", "B"});
  ASSERT_TRUE(image.load());
  image.changeCurrent(2);
  EXPECT_EQ(image.currentIndex(), 2u);
  EXPECT_EQ(currentName(), "B");
  image.changeCurrent(3);
  EXPECT_EQ(image.currentIndex(), 0u);
  image.changeCurrent(0xFFFFFFFF);
  EXPECT_EQ(currentName(), "G");
}

TEST_F(ImageTest, ReloadIndexRule) {
  struct Case {
    const char* what;
    std::uint32_t current;
    std::initializer_list<const char*> after;
    std::uint32_t selected, count;
    std::uint32_t expected;
  };
  const Case cases[] = {
      {"same count keeps the index though sets moved", 2, {"G", "B", "A"}, 1, 3, 2},
      {"the current set was removed", 1, {"G", "B"}, 1, 2, 0},
      {"another set removed while the last is current", 2, {"G", "B"}, 1, 2, 1},
      {"another set removed, a middle one current", 1, {"G", "A", "B", "C"}, 3, 4, 1},
      {"a set added", 1, {"G", "A", "B", "C"}, 3, 4, 1},
      {"last set current and count grows", 2, {"G", "A", "B", "C"}, 3, 4, 3},
      {"index beyond the new file falls back", 2, {"G"}, 1, 1, 0},
  };
  for (const Case& c : cases) {
    writeSets({"G", "A", "B"});
    ASSERT_TRUE(image.load()) << c.what;
    image.changeCurrent(c.current);
    writeSets(c.after);
    ASSERT_TRUE(image.reload(c.selected, c.count)) << c.what;
    EXPECT_EQ(image.currentIndex(), c.expected) << c.what;
    EXPECT_EQ(image.recordCount(), c.after.size()) << c.what;
  }
}

TEST_F(ImageTest, ReloadRepairsADamagedFile) {
  writeSets({"G", "A"});
  ASSERT_TRUE(image.load());
  image.changeCurrent(1);
  files.files[kPath].resize(15);
  ASSERT_TRUE(image.reload(0, 2));
  EXPECT_EQ(image.recordCount(), 1u);
  EXPECT_EQ(image.currentIndex(), 0u);
  EXPECT_EQ(currentName(), "");
}

TEST_F(ImageTest, TrailingBytesAreNotSets) {
  writeSets({"G", "A"});
  files.files[kPath].resize(files.files[kPath].size() + 100, 0xCC);
  ASSERT_TRUE(image.load());
  EXPECT_EQ(image.recordCount(), 2u);
  EXPECT_EQ(std::string(fieldText(image.record(1).name)), "A");
}

}  // namespace
}  // namespace ringdeck::engine
