#include "whole_file_save.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "crc32.h"
#include "memory_file.h"
#include "settings_io.h"

namespace ringdeck {
namespace {

using Bytes = std::vector<std::uint8_t>;
const std::string kPath = "C:\\windows\\system32\\OrvanelRingDeck.pref";

std::vector<SettingsRecord> sets(std::initializer_list<const char*> names) {
  std::vector<SettingsRecord> out;
  for (const char* n : names) {
    SettingsRecord r{};
    setName(r, n);
    // Bytes all through the record, so that a record written in part never passes for whole.
    std::memset(r.slots, static_cast<int>(std::strlen(n) * 7 + 1), sizeof r.slots);
    out.push_back(r);
  }
  return out;
}

Bytes fileOf(const std::vector<SettingsRecord>& records) {
  Bytes b;
  MemoryFile file(b);
  EXPECT_TRUE(writeSettingsFile(file, records));
  return b;
}

// A file system whose writes (and deletions) all stop for good once a number of bytes was
// written through it: the program was killed there.
class DyingFileSystem final : public FileSystem {
 public:
  explicit DyingFileSystem(MemoryFileSystem& files, std::uint64_t budget) : files_(files), budget_(budget) {}

  std::unique_ptr<FileAccess> open(const std::string& path, OpenMode mode) override {
    if (dead() && mode != OpenMode::ReadOnlyExisting) return nullptr;
    auto inner = files_.open(path, mode);
    return inner ? std::make_unique<File>(std::move(inner), *this) : nullptr;
  }
  bool exists(const std::string& path) override { return files_.exists(path); }
  bool remove(const std::string& path) override { return !dead() && files_.remove(path); }
  bool replace(const std::string&, const std::string&) override { return false; }
  bool dead() const { return budget_ == 0; }

 private:
  class File final : public FileAccess {
   public:
    File(std::unique_ptr<FileAccess> inner, DyingFileSystem& fs) : inner_(std::move(inner)), fs_(fs) {}
    std::optional<std::uint64_t> size() override { return inner_->size(); }
    std::optional<std::size_t> readAt(std::uint64_t o, std::span<std::uint8_t> out) override {
      return inner_->readAt(o, out);
    }
    bool writeAt(std::uint64_t o, std::span<const std::uint8_t> data) override {
      const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(data.size(), fs_.budget_));
      fs_.budget_ -= n;
      if (n > 0 && !inner_->writeAt(o, data.first(n))) return false;
      return n == data.size();
    }
    bool truncate(std::uint64_t s) override { return !fs_.dead() && inner_->truncate(s); }

   private:
    std::unique_ptr<FileAccess> inner_;
    DyingFileSystem& fs_;
  };

  MemoryFileSystem& files_;
  std::uint64_t budget_;
};

std::optional<std::vector<SettingsRecord>> load(FileSystem& files, Recovery* outcome = nullptr) {
  Bytes holder;
  auto file = openWholeSettings(files, kPath, OpenMode::ReadOnlyExisting, holder, outcome);
  if (!file) return std::nullopt;
  return readAllSettingsRecords(*file);
}

bool same(const std::optional<std::vector<SettingsRecord>>& got, const std::vector<SettingsRecord>& want) {
  return got && got->size() == want.size() &&
         std::memcmp(got->data(), want.data(), want.size() * kRecordSize) == 0;
}

TEST(WholeFileSave, RewritesInPlaceInTheOrderGivenAndLeavesNoCopy) {
  MemoryFileSystem fs;
  fs.files[kPath] = fileOf(sets({"", "a", "b"}));
  const auto next = sets({"", "z", "y", "x"});
  const std::uint32_t order[] = {0, 3, 2, 1};
  ASSERT_TRUE(saveSettingsInPlace(fs, kPath, next, order));
  EXPECT_EQ(fs.files[kPath], fileOf({next[0], next[3], next[2], next[1]}));
  EXPECT_FALSE(fs.exists(fs.recoveryCopyPath(kPath)));
  Recovery r;
  EXPECT_TRUE(same(load(fs, &r), {next[0], next[3], next[2], next[1]}));
  EXPECT_EQ(r, Recovery::None);
}

// A save killed after any number of bytes: the next load finds exactly the old sets or exactly
// the new ones, and both happen.
TEST(WholeFileSave, AKillAtAnyPointLoadsAsTheOldOrTheNewSets) {
  for (const bool shrink : {true, false}) {
    const auto before = shrink ? sets({"", "old1", "old2"}) : sets({"", "o"});
    const auto after = shrink ? sets({"", "newer"}) : sets({"", "n1", "n2", "n3"});
    // Everything the save writes: the recovery copy (header, path, content), the marker,
    // the content and the final header.
    const std::uint64_t total = sizeof(RecoveryCopyHeader) + kPath.size() + 2 * fileOf(after).size() +
                                2 * kHeaderSize;
    int olds = 0, news = 0;
    for (std::uint64_t budget = 0; budget <= total + 1; budget += (budget % 997 == 0 ? 1 : 131)) {
      SCOPED_TRACE(budget);
      MemoryFileSystem fs;
      fs.files[kPath] = fileOf(before);
      DyingFileSystem dying(fs, budget);
      const bool saved = saveSettingsInPlace(dying, kPath, after);
      if (!dying.dead()) {
        EXPECT_TRUE(saved);
      }
      const auto loaded = load(fs);
      if (same(loaded, before)) {
        ++olds;
      } else {
        ASSERT_TRUE(same(loaded, after));
        ++news;
      }
      EXPECT_FALSE(fs.exists(fs.recoveryCopyPath(kPath)));
      EXPECT_EQ(fs.files[kPath], fileOf(same(loaded, before) ? before : after));
    }
    EXPECT_GT(olds, 10);
    EXPECT_GT(news, 10);
  }
}

TEST(WholeFileSave, ACopyIsUsedOnlyForAFileCutShort) {
  const auto before = sets({"", "old"});
  const auto after = sets({"", "new", "more"});
  struct Case {
    const char* name;
    bool markFile;     // the file carries the save-in-progress magic
    bool spoilCopy;    // one byte of the copy's content changed
    const char* copyFor;
    Recovery outcome;
    bool loadsNew;     // otherwise: the old sets, or nothing for a cut file without a copy
  };
  const Case cases[] = {
      {"whole file, copy left over", false, false, nullptr, Recovery::None, false},
      {"cut file", true, false, nullptr, Recovery::Restored, true},
      {"cut file, path in other case", true, false, "c:\\WINDOWS\\system32\\orvanelringdeck.PREF", Recovery::Restored, true},
      {"cut file, copy of another file", true, false, "D:\\other.pref", Recovery::CutWithoutCopy, false},
      {"cut file, copy damaged", true, true, nullptr, Recovery::CutWithoutCopy, false},
      {"whole file, copy damaged", false, true, nullptr, Recovery::None, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MemoryFileSystem fs;
    const std::string copyPath = fs.recoveryCopyPath(kPath);
    // The copy comes from a real save into another file system.
    MemoryFileSystem other;
    const std::string madeFor = c.copyFor ? c.copyFor : kPath;
    DyingFileSystem stopsBeforeTheFile(other, sizeof(RecoveryCopyHeader) + madeFor.size() + fileOf(after).size());
    saveSettingsInPlace(stopsBeforeTheFile, madeFor, after);
    ASSERT_TRUE(other.exists(other.recoveryCopyPath(madeFor)));
    fs.files[copyPath] = other.files[other.recoveryCopyPath(madeFor)];
    if (c.spoilCopy) fs.files[copyPath].back() ^= 1;
    fs.files[kPath] = fileOf(before);
    if (c.markFile) std::memcpy(fs.files[kPath].data(), &kSaveInProgressMagic, 4);
    const Bytes fileBefore = fs.files[kPath];

    Recovery outcome;
    const auto loaded = load(fs, &outcome);
    EXPECT_EQ(outcome, c.outcome);
    if (c.loadsNew) {
      EXPECT_TRUE(same(loaded, after));
    } else if (c.outcome == Recovery::CutWithoutCopy) {
      EXPECT_EQ(fs.files[kPath], fileBefore);
    } else {
      EXPECT_TRUE(same(loaded, before));
    }
    // A copy that was of no use is gone, but one for another file is left to it; a cut file
    // is never repaired without a copy.
    EXPECT_EQ(fs.exists(copyPath), c.copyFor && c.outcome == Recovery::CutWithoutCopy);
  }
}

TEST(WholeFileSave, AFileThatMayNotBeWrittenIsReadFromTheCopy) {
  const auto after = sets({"", "new"});
  MemoryFileSystem fs;
  fs.files[kPath] = fileOf(sets({"", "old", "older"}));
  DyingFileSystem cut(fs, sizeof(RecoveryCopyHeader) + kPath.size() + fileOf(after).size() + kHeaderSize + 100);
  ASSERT_FALSE(saveSettingsInPlace(cut, kPath, after));
  const Bytes cutFile = fs.files[kPath];
  fs.readOnly.insert(kPath);
  Recovery outcome;
  EXPECT_TRUE(same(load(fs, &outcome), after));
  EXPECT_EQ(outcome, Recovery::InMemory);
  EXPECT_EQ(fs.files[kPath], cutFile);
  EXPECT_TRUE(fs.exists(fs.recoveryCopyPath(kPath)));  // for a program that may write the file
  fs.readOnly.clear();
  EXPECT_TRUE(same(load(fs, &outcome), after));
  EXPECT_EQ(outcome, Recovery::Restored);
}

TEST(WholeFileSave, AFailedCopyLeavesTheFileUntouched) {
  MemoryFileSystem fs;
  const Bytes before = fileOf(sets({"", "old"}));
  fs.files[kPath] = before;
  fs.writeLimit = 1000;  // the disk holding the copy fills up
  EXPECT_FALSE(saveSettingsInPlace(fs, kPath, sets({"", "new"})));
  EXPECT_EQ(fs.files[kPath], before);
  EXPECT_FALSE(fs.exists(fs.recoveryCopyPath(kPath)));
}

TEST(WholeFileSave, RecoveryCopiesThatAreNotWholeAreRefused) {
  MemoryFileSystem other;
  DyingFileSystem stop(other, sizeof(RecoveryCopyHeader) + kPath.size() + fileOf(sets({"", "x"})).size());
  saveSettingsInPlace(stop, kPath, sets({"", "x"}));
  const Bytes good = other.files[other.recoveryCopyPath(kPath)];
  ASSERT_TRUE(parseRecoveryCopy(good, kPath));
  EXPECT_EQ(parseRecoveryCopy(good, kPath)->size(), fileOf(sets({"", "x"})).size());

  struct Case {
    const char* name;
    std::size_t at;  // byte changed, or the length cut to when cut is set
    bool cut;
  };
  const Case cases[] = {{"magic", 0, false}, {"content size", 8, false}, {"path size", 16, false},
                        {"crc", 20, false}, {"path", 30, false}, {"content", good.size() - 1, false},
                        {"cut in the content", good.size() - 1, true}, {"cut in the header", 10, true},
                        {"empty", 0, true}};
  for (const Case& c : cases) {
    Bytes b = good;
    if (c.cut) b.resize(c.at);
    else b[c.at] ^= 0x40;
    EXPECT_FALSE(parseRecoveryCopy(b, kPath)) << c.name;
  }
  // Whole, but holding no settings file.
  Bytes noMagic = good;
  const std::size_t contentAt = sizeof(RecoveryCopyHeader) + kPath.size();
  noMagic[contentAt] ^= 1;
  RecoveryCopyHeader h;
  std::memcpy(&h, noMagic.data(), sizeof h);
  h.crc = 0;
  std::uint32_t crc = crc32Update(0, &h, sizeof h);
  crc = crc32Update(crc, noMagic.data() + sizeof h, noMagic.size() - sizeof h);
  std::memcpy(noMagic.data() + 20, &crc, 4);
  EXPECT_FALSE(parseRecoveryCopy(noMagic, kPath));
}

}  // namespace
}  // namespace ringdeck
