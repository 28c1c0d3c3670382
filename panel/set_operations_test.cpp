#include "set_operations.h"

#include <gtest/gtest.h>

#include <sstream>

#include "memory_file.h"
#include "settings_io.h"

namespace ringdeck::panel {
namespace {

const std::string kPath = "C:\\windows\\system32\\OrvanelRingDeck.pref";
const std::string kExport = "C:\\Users\\me\\Desktop\\Editor.pref";

class RecordingPeers final : public PeerMessenger {
 public:
  std::vector<std::string> log;
  bool sendReloadAllPreferences(Peer peer, std::uint32_t currentSet, std::uint32_t count) override {
    std::ostringstream s;
    s << (peer == Peer::Helper ? "helper " : "engine ") << currentSet << ' ' << count;
    log.push_back(s.str());
    return true;
  }
  void StartHelper() override { log.push_back("start helper"); }
};

SettingsRecord set(const char* name, const char* target = "", int key = 0) {
  SettingsRecord r{};
  setName(r, name);
  setTargetApp(r, target);
  r.slots[SlotIndex::button(0)].kind = static_cast<std::uint16_t>(ActionKind::Keystroke);
  r.slots[SlotIndex::button(0)].keyCode = static_cast<std::uint8_t>(key);
  return r;
}

class SetOperationsTest : public ::testing::Test {
 protected:
  void load(const std::vector<SettingsRecord>& sets) {
    MemoryFile file(fs.files[kPath]);
    ASSERT_TRUE(writeSettingsFile(file, sets));
    ASSERT_TRUE(store.LoadSettingsFile(kPath));
    store.settingsPath = kPath;
    peers.log.clear();
  }
  std::vector<SettingsRecord> file() {
    MemoryFile f(fs.files[kPath]);
    return readAllSettingsRecords(f).value_or(std::vector<SettingsRecord>{});
  }
  std::vector<std::string> namesInFile() {
    std::vector<std::string> names;
    for (const SettingsRecord& r : file()) names.emplace_back(fieldText(r.name));
    return names;
  }
  std::vector<std::string> namesInMemory() {
    std::vector<std::string> names;
    for (std::uint32_t i = 0; i < store.recordCount; ++i) names.emplace_back(fieldText(store.records[i].name));
    return names;
  }

  MemoryFileSystem fs;
  RecordingPeers peers;
  SettingsStore store{fs, peers};
};

TEST(SetNames, FromTheProgramFileName) {
  const std::pair<const char*, const char*> cases[] = {
      {"Editor.exe", "Editor"},
      {"my.tool.exe", "my.tool"},
      {"Makefile", "Makefile"},  // no "." at all: the whole name
      {".exe", ""},
      {"1234567890123456789012345678901234567890.exe", "1234567890123456789012345678901"},
  };
  for (const auto& [file, name] : cases) EXPECT_EQ(NewSetName(file), name) << file;
  EXPECT_EQ(FileNameOf("C:\\Program Files\\Tools\\Editor.exe"), "Editor.exe");
  EXPECT_EQ(FileNameOf("Editor.exe"), "Editor.exe");
}

TEST(SetNames, AProgramNameLongerThan32CharactersIsRefusedAndChangesNothing) {
  SettingsRecord r = set("Mine", "old.exe");
  EXPECT_TRUE(SetTargetApplication(r, "C:\\x\\" + std::string(28, 'a') + ".exe"));  // 32
  EXPECT_EQ(fieldText(r.targetApp), std::string(28, 'a') + ".exe");
  EXPECT_FALSE(SetTargetApplication(r, "C:\\x\\" + std::string(29, 'b') + ".exe"));  // 33
  EXPECT_EQ(fieldText(r.targetApp), std::string(28, 'a') + ".exe");
}

TEST_F(SetOperationsTest, CreateFromEditorExeGivesASelectedSetInItsSortedPlace) {
  load({set("Global Settings", "", 'G'), set("Zed", "zed.exe"), set("Alpha", "alpha.exe", 'A')});
  store.currentSet = 2;
  const std::pair<CopyMode, int> modes[] = {
      {CopyMode::Empty, 0}, {CopyMode::CopyOfGlobal, 'G'}, {CopyMode::CopyOfCurrent, 'A'}};
  for (const auto& [mode, key] : modes) {
    SCOPED_TRACE(static_cast<int>(mode));
    load({set("Global Settings", "", 'G'), set("Zed", "zed.exe"), set("Alpha", "alpha.exe", 'A')});
    store.currentSet = 2;
    ASSERT_EQ(NewPreferences(store, mode, "Editor.exe"), SetOperationResult::Done);
    EXPECT_EQ(namesInFile(), (std::vector<std::string>{"Global Settings", "Alpha", "Editor", "Zed"}));
    EXPECT_EQ(namesInMemory(), (std::vector<std::string>{"Global Settings", "Alpha", "Editor", "Zed"}));
    ASSERT_EQ(store.currentSet, 2u);
    const SettingsRecord& made = store.current();
    EXPECT_EQ(fieldText(made.name), "Editor");
    EXPECT_EQ(fieldText(made.targetApp), "Editor.exe");
    EXPECT_EQ(made.slots[SlotIndex::button(0)].keyCode, key);
    // The reload message: the old number of sets, then the new one.
    EXPECT_EQ(peers.log, (std::vector<std::string>{"helper 3 4", "engine 3 4"}));
    // The marker stays in the file until the next save, never in memory.
    const auto written = file();
    ASSERT_EQ(written.size(), 4u);
    EXPECT_EQ(written[2].newSetMarker, kNewSetMarker);
    for (std::uint32_t i = 0; i < store.recordCount; ++i) EXPECT_EQ(store.records[i].newSetMarker, 0) << i;
    ASSERT_EQ(store.records.size(), store.recordCount + std::size_t{1});  // a spare again
  }
}

TEST_F(SetOperationsTest, OtherPendingChangesAreSavedWithTheNewSetAndAStaleMarkerIsNotFound) {
  SettingsRecord stale = set("Aaa");
  stale.newSetMarker = kNewSetMarker;  // left by a create whose panel ended before a save
  load({set("Global Settings"), stale});
  store.currentSet = 1;
  RenameCurrentSet(store, "Abc");
  ASSERT_EQ(NewPreferences(store, CopyMode::Empty, "Zzz.mod"), SetOperationResult::Done);
  EXPECT_EQ(fieldText(store.current().name), "Zzz");
  EXPECT_EQ(namesInFile(), (std::vector<std::string>{"Global Settings", "Abc", "Zzz"}));
}

TEST_F(SetOperationsTest, ACreateWhoseSaveFailsLeavesEverythingAsItWas) {
  load({set("Global Settings"), set("One")});
  store.currentSet = 1;
  const auto before = fs.files[kPath];
  fs.readOnly.insert(fs.recoveryCopyPath(kPath));
  fs.readOnly.insert(kPath);
  EXPECT_EQ(NewPreferences(store, CopyMode::CopyOfCurrent, "Editor.exe"), SetOperationResult::SaveFailed);
  EXPECT_EQ(store.recordCount, 2u);
  EXPECT_EQ(store.currentSet, 1u);
  EXPECT_EQ(fieldText(store.records[2].name), "");  // the spare is empty again
  EXPECT_EQ(fs.files[kPath], before);
  EXPECT_TRUE(peers.log.empty());
  // The refused long name changes nothing at all.
  fs.readOnly.clear();
  EXPECT_EQ(NewPreferences(store, CopyMode::Empty, std::string(30, 'x') + ".exe"),
            SetOperationResult::TargetNameTooLong);
  EXPECT_EQ(store.recordCount, 2u);
  EXPECT_EQ(fs.files[kPath], before);
}

TEST_F(SetOperationsTest, RemoveSetTwoOfFiveMovesTheLastIntoItsPlace) {
  load({set("Global Settings"), set("b"), set("c"), set("d"), set("e")});
  store.currentSet = 2;
  ASSERT_EQ(RemoveCurrentSet(store), SetOperationResult::Done);
  EXPECT_EQ(peers.log, (std::vector<std::string>{"helper 2 4", "engine 2 4"}));
  EXPECT_EQ(namesInFile(), (std::vector<std::string>{"Global Settings", "b", "d", "e"}));
  EXPECT_EQ(store.currentSet, 0u);
  EXPECT_EQ(store.recordCount, 4u);
}

TEST_F(SetOperationsTest, RemoveKeepsMemoryOrderBeforeTheSaveAndNeverRemovesTheGlobalSet) {
  load({set("Global Settings"), set("b"), set("c"), set("d"), set("e")});
  store.currentSet = 0;
  EXPECT_EQ(RemoveCurrentSet(store), SetOperationResult::NothingToDo);
  EXPECT_EQ(store.recordCount, 5u);
  EXPECT_TRUE(peers.log.empty());
  // A failed save puts the removed set back where it was.
  store.currentSet = 2;
  fs.failOpen = true;
  EXPECT_EQ(RemoveCurrentSet(store), SetOperationResult::SaveFailed);
  EXPECT_EQ(namesInMemory(), (std::vector<std::string>{"Global Settings", "b", "c", "d", "e"}));
  EXPECT_EQ(store.currentSet, 2u);
}

std::vector<std::uint8_t> exported(const SettingsRecord& r) { return ExportedSetBytes(r); }

TEST_F(SetOperationsTest, ImportChecksSizeAndMagic) {
  SettingsRecord r = set("Imported", "tool.exe", 'I');
  struct Case {
    const char* what;
    std::vector<std::uint8_t> bytes;
    ImportReadResult expected;
  };
  auto withSize = [&](std::size_t n) {
    auto b = exported(r);
    b.resize(n);
    return b;
  };
  auto wrongMagic = exported(r);
  wrongMagic[0] ^= 1;
  auto otherVersion = exported(r);
  otherVersion[4] = 9;  // the rest of the header is not checked
  const Case cases[] = {
      {"6528 bytes", exported(r), ImportReadResult::Read},
      {"6527 bytes", withSize(6527), ImportReadResult::Unreadable},
      {"6529 bytes", withSize(6529), ImportReadResult::Unreadable},
      {"empty", {}, ImportReadResult::Unreadable},
      {"a settings file of two sets", withSize(16 + 2 * 6512), ImportReadResult::Unreadable},
      {"wrong magic", wrongMagic, ImportReadResult::FormatNotValid},
      {"another version", otherVersion, ImportReadResult::Read},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs.files["in.pref"] = c.bytes;
    SettingsRecord got{};
    EXPECT_EQ(ReadImportFile(fs, "in.pref", got), c.expected);
    if (c.expected == ImportReadResult::Read) {
      EXPECT_EQ(std::memcmp(&got, &r, sizeof r), 0);
    }
  }
  SettingsRecord got{};
  EXPECT_EQ(ReadImportFile(fs, "missing.pref", got), ImportReadResult::Unreadable);
}

TEST_F(SetOperationsTest, AnImportWhoseReadingFailsHalfWayGivesNothing) {
  std::vector<std::uint8_t> bytes = exported(set("Imported", "tool.exe"));
  // The size says 6528, but the record cannot be read: a file cut while it is read.
  class CutFile final : public FileAccess {
   public:
    explicit CutFile(std::vector<std::uint8_t>& b) : b_(b) {}
    std::optional<std::uint64_t> size() override { return b_.size(); }
    std::optional<std::size_t> readAt(std::uint64_t offset, std::span<std::uint8_t> out) override {
      if (offset > 0) return std::size_t{100};
      std::memcpy(out.data(), b_.data(), out.size());
      return out.size();
    }
    bool writeAt(std::uint64_t, std::span<const std::uint8_t>) override { return false; }
    bool truncate(std::uint64_t) override { return false; }

   private:
    std::vector<std::uint8_t>& b_;
  } cut(bytes);
  SettingsRecord got = set("untouched");
  EXPECT_EQ(ReadImportFile(cut, got), ImportReadResult::Unreadable);
  EXPECT_EQ(fieldText(got.name), "untouched");
}

TEST_F(SetOperationsTest, AnImportedSetIsAppendedAsItIsAndSelected) {
  load({set("Global Settings"), set("Same"), set("Zed")});
  SettingsRecord imported = set("Same", "", 'S');
  imported.factoryChecksum = 0x12345678;
  EXPECT_TRUE(ImportNeedsTarget(imported));
  setTargetApp(imported, "*");
  EXPECT_TRUE(ImportNeedsTarget(imported));
  ASSERT_TRUE(SetTargetApplication(imported, "C:\\bin\\same.exe"));
  EXPECT_FALSE(ImportNeedsTarget(imported));
  ASSERT_EQ(AppendImportedSet(store, imported), SetOperationResult::Done);
  EXPECT_EQ(peers.log, (std::vector<std::string>{"helper 3 4", "engine 3 4"}));
  // Names are never checked for duplicates.
  EXPECT_EQ(namesInMemory(), (std::vector<std::string>{"Global Settings", "Same", "Same", "Zed"}));
  EXPECT_EQ(fieldText(store.current().targetApp), "same.exe");
  EXPECT_EQ(store.current().factoryChecksum, 0x12345678u);
  EXPECT_EQ(store.current().slots[SlotIndex::button(0)].keyCode, 'S');
}

TEST_F(SetOperationsTest, ExportOfTheGlobalSetIsAVisibleFileThatImportsAgainUnchanged) {
  load({set("Global Settings", "", 'G'), set("Editor", "Editor.exe")});
  EXPECT_EQ(ProposedExportFileName(store), "Global Settings.pref");
  store.records[0].slots[3].keyCode = 42;  // exported as held in memory
  ASSERT_TRUE(ExportSet(fs, store.current(), kExport));
  ASSERT_EQ(fs.files[kExport].size(), 6528u);
  EXPECT_EQ(fs.attributes.at(kExport), CreatedAttributes::Archive);
  EXPECT_EQ(fs.attributes.at(kPath), CreatedAttributes::SettingsFile);
  SettingsRecord back{};
  ASSERT_EQ(ReadImportFile(fs, kExport, back), ImportReadResult::Read);
  EXPECT_EQ(std::memcmp(&back, &store.records[0], sizeof back), 0);
  // An export that cannot be created or written whole says so.
  fs.readOnly.insert(kExport);
  EXPECT_FALSE(ExportSet(fs, store.current(), kExport));
  fs.readOnly.clear();
  fs.writeLimit = 1000;
  EXPECT_FALSE(ExportSet(fs, store.current(), kExport));
}

}  // namespace
}  // namespace ringdeck::panel
