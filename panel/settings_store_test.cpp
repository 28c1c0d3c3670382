#include "settings_store.h"

#include <gtest/gtest.h>

#include <cstring>
#include <sstream>

#include "memory_file.h"

namespace ringdeck::panel {
namespace {

const std::string kPath = "C:\\windows\\system32\\OrvanelRingDeck.pref";

// Records what the store told the other programs, in order.
class RecordingPeers final : public PeerMessenger {
 public:
  bool helperRunning = true;
  bool engineRunning = true;
  std::vector<std::string> log;

  bool sendReloadAllPreferences(Peer peer, std::uint32_t currentSet,
                                std::uint32_t recordCount) override {
    const bool present = peer == Peer::Helper ? helperRunning : engineRunning;
    if (present) {
      std::ostringstream s;
      s << (peer == Peer::Helper ? "reload helper " : "reload engine ") << currentSet << ' '
        << recordCount;
      log.push_back(s.str());
    }
    return present;
  }
  void StartHelper() override { log.push_back("start helper"); }
};

SettingsRecord namedSet(const char* name) {
  SettingsRecord r{};
  setName(r, name);
  return r;
}

class SettingsStoreTest : public ::testing::Test {
 protected:
  void writeFile(const std::vector<SettingsRecord>& sets) {
    MemoryFile file(fs.files[kPath]);
    ASSERT_TRUE(writeSettingsFile(file, sets));
  }
  std::vector<std::string> namesInFile() {
    MemoryFile file(fs.files[kPath]);
    const auto records = readAllSettingsRecords(file);
    std::vector<std::string> names;
    if (!records) return {"<unreadable>"};
    for (const SettingsRecord& r : *records) names.emplace_back(fieldText(r.name));
    return names;
  }
  std::vector<std::string> namesInMemory() {
    std::vector<std::string> names;
    for (std::uint32_t i = 0; i < store.recordCount; ++i)
      names.emplace_back(fieldText(store.records[i].name));
    return names;
  }

  MemoryFileSystem fs;
  RecordingPeers peers;
  SettingsStore store{fs, peers};
};

// A save cut short while the file was being rewritten: the next load finishes it from the
// recovery copy, and a file cut with no copy at hand is neither loaded nor repaired.
TEST_F(SettingsStoreTest, ASaveCutShortIsFinishedAtTheNextLoad) {
  writeFile({namedSet(""), namedSet("bravo"), namedSet("alpha")});
  ASSERT_TRUE(store.LoadSettingsFile(kPath));
  setName(store.records[1], "charlie");
  fs.writeLimitFor[kPath] = kHeaderSize + kRecordSize;  // the marker and half the sets, then a kill
  EXPECT_FALSE(store.SaveSettingsFile(kPath, store.recordCount));
  fs.writeLimitFor.clear();
  const auto cut = fs.files[kPath];

  SettingsStore next(fs, peers);
  ASSERT_TRUE(next.LoadSettingsFile(kPath));
  EXPECT_EQ(namesInFile(), (std::vector<std::string>{"Global Settings", "alpha", "charlie"}));
  EXPECT_FALSE(fs.exists(fs.recoveryCopyPath(kPath)));

  fs.files[kPath] = cut;  // as another user finds it: the copy is in the saver's own folder
  SettingsStore other(fs, peers);
  EXPECT_FALSE(other.LoadSettingsFile(kPath));
  EXPECT_EQ(fs.files[kPath], cut);
}

TEST_F(SettingsStoreTest, MissingFileBecomesOneGlobalSet) {
  ASSERT_TRUE(store.LoadSettingsFile(kPath));
  const std::vector<std::uint8_t>& bytes = fs.files.at(kPath);
  ASSERT_EQ(bytes.size(), 6528u);
  const std::uint8_t header[16] = {0x73, 0x26, 0x6A, 0x43, 1};
  EXPECT_EQ(std::memcmp(bytes.data(), header, 16), 0);
  EXPECT_EQ(store.recordCount, 1u);
  EXPECT_EQ(store.currentSet, 0u);
  EXPECT_EQ(store.TargetAppBoxEntries(), std::vector<std::string>{"Global Settings"});
  EXPECT_EQ(fieldText(store.records[0].name), "Global Settings");
  ASSERT_EQ(store.records.size(), 2u);  // with the spare
  EXPECT_EQ(store.records[1].slots[0].kind, 0);
}

TEST_F(SettingsStoreTest, DamagedFilesAreRepairedWithoutAWord) {
  const std::vector<std::uint8_t> damaged[] = {
      {},
      {0x73, 0x26, 0x6A},
      std::vector<std::uint8_t>(7000, 0xAB),                         // wrong magic
      {0x73, 0x26, 0x6A, 0x43, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},  // no set after it
  };
  for (const auto& bytes : damaged) {
    fs.files[kPath] = bytes;
    ASSERT_TRUE(store.LoadSettingsFile(kPath)) << bytes.size();
    EXPECT_EQ(fs.files[kPath].size(), 6528u) << bytes.size();
    EXPECT_EQ(store.recordCount, 1u);
  }
  EXPECT_TRUE(peers.log.empty());
}

TEST_F(SettingsStoreTest, LoadKeepsFileOrderAndNamesTheGlobalSet) {
  SettingsRecord global{};
  std::memcpy(global.name, "An old global set name ending..", 31);
  writeFile({global, namedSet("zed"), namedSet("Alpha")});
  fs.files[kPath].resize(fs.files[kPath].size() + 100, 0xEE);  // a partial record at the end
  store.currentSet = 2;
  ASSERT_TRUE(store.LoadSettingsFile(kPath));
  EXPECT_EQ(store.recordCount, 3u);
  EXPECT_EQ(store.currentSet, 0u);
  EXPECT_EQ(store.TargetAppBoxEntries(), (std::vector<std::string>{"Global Settings", "zed", "Alpha"}));
  // "Global Settings" and its zero go over the start of the name; the rest stays.
  EXPECT_EQ(std::memcmp(store.records[0].name, "Global Settings\0t name ending..", 31), 0);
  EXPECT_EQ(store.records.size(), 4u);
  EXPECT_EQ(fieldText(store.records[3].name), "");
}

TEST_F(SettingsStoreTest, FailedLoadKeepsTheStore) {
  writeFile({namedSet(""), namedSet("one")});
  ASSERT_TRUE(store.LoadSettingsFile(kPath));
  store.currentSet = 1;
  fs.failOpen = true;
  EXPECT_FALSE(store.LoadSettingsFile(kPath));
  EXPECT_EQ(store.recordCount, 2u);
  EXPECT_EQ(store.currentSet, 1u);
  EXPECT_EQ(namesInMemory(), (std::vector<std::string>{"Global Settings", "one"}));
}

TEST_F(SettingsStoreTest, AnUnreadableFileLeavesAnEmptyGlobalSetThatASaveWritesAnew) {
  fs.failOpen = true;
  ASSERT_FALSE(store.LoadSettingsFile(kPath));
  store.UseEmptyGlobalSet("Global Settings");
  EXPECT_EQ(namesInMemory(), (std::vector<std::string>{"Global Settings"}));
  EXPECT_EQ(store.TargetAppBoxEntries(), (std::vector<std::string>{"Global Settings"}));
  EXPECT_EQ(store.currentSet, 0u);
  fs.failOpen = false;
  ASSERT_TRUE(store.SaveSettingsFile(kPath, store.recordCount));
  EXPECT_EQ(fs.files[kPath].size(), kHeaderSize + kRecordSize);
  EXPECT_EQ(namesInFile(), (std::vector<std::string>{"Global Settings"}));
}

TEST_F(SettingsStoreTest, SaveSortsByNameAsUnsignedBytesAndKeepsMemoryOrder) {
  writeFile({namedSet(""), namedSet("beta"), namedSet("Alpha"), namedSet("\xE9t\xE9"),
             namedSet("alpha"), namedSet("Zulu")});
  ASSERT_TRUE(store.LoadSettingsFile(kPath));
  store.currentSet = 4;
  ASSERT_TRUE(store.SaveSettingsFile(kPath, store.recordCount));
  EXPECT_EQ(namesInFile(), (std::vector<std::string>{"Global Settings", "Alpha", "Zulu", "alpha",
                                                     "beta", "\xE9t\xE9"}));
  EXPECT_EQ(namesInMemory(), (std::vector<std::string>{"Global Settings", "beta", "Alpha",
                                                       "\xE9t\xE9", "alpha", "Zulu"}));
  EXPECT_EQ(peers.log, (std::vector<std::string>{"reload helper 4 6", "reload engine 4 6"}));
  EXPECT_FALSE(fs.exists(fs.recoveryCopyPath(kPath)));
  // Where each set of memory now stands in the file.
  const std::uint32_t expected[] = {0, 4, 1, 5, 3, 2};
  for (std::uint32_t i = 0; i < 6; ++i) EXPECT_EQ(store.savedPosition(i), expected[i]) << i;
}

TEST_F(SettingsStoreTest, ReloadGoesToTheHelperOrStartsItThenToTheEngine) {
  struct Case {
    bool helper, engine;
    std::vector<std::string> log;
  };
  const Case cases[] = {
      {true, true, {"reload helper 0 1", "reload engine 0 1"}},
      {false, true, {"start helper", "reload engine 0 1"}},
      {true, false, {"reload helper 0 1"}},
      {false, false, {"start helper"}},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(store.LoadSettingsFile(kPath));
    peers.log.clear();
    peers.helperRunning = c.helper;
    peers.engineRunning = c.engine;
    ASSERT_TRUE(store.SaveSettingsFile(kPath, store.recordCount));
    EXPECT_EQ(peers.log, c.log);
  }
}

TEST_F(SettingsStoreTest, SaveWritesTheSpareRecordWhenAskedFor) {
  writeFile({namedSet(""), namedSet("beta")});
  ASSERT_TRUE(store.LoadSettingsFile(kPath));
  setName(store.records[2], "Editor");
  store.records[2].newSetMarker = kNewSetMarker;
  store.currentSet = 2;
  ASSERT_TRUE(store.SaveSettingsFile(kPath, store.recordCount + 1));
  EXPECT_EQ(namesInFile(), (std::vector<std::string>{"Global Settings", "Editor", "beta"}));
  EXPECT_EQ(peers.log.back(), "reload engine 2 3");
  ASSERT_TRUE(store.LoadSettingsFile(kPath));
  EXPECT_EQ(store.records[1].newSetMarker, kNewSetMarker);
}

TEST_F(SettingsStoreTest, SaveOfNoSetsOrMoreThanHeldWritesNothing) {
  writeFile({namedSet(""), namedSet("beta")});
  const auto before = fs.files[kPath];
  ASSERT_TRUE(store.LoadSettingsFile(kPath));
  EXPECT_FALSE(store.SaveSettingsFile(kPath, 0));
  EXPECT_FALSE(store.SaveSettingsFile(kPath, store.recordCount + 2));
  EXPECT_EQ(fs.files[kPath], before);
  EXPECT_TRUE(peers.log.empty());
}

TEST_F(SettingsStoreTest, InterruptedSaveLeavesTheOldFileWhole) {
  std::vector<SettingsRecord> sets;
  for (const char* n : {"", "delta", "charlie", "bravo", "alpha"}) sets.push_back(namedSet(n));
  writeFile(sets);
  ASSERT_TRUE(store.LoadSettingsFile(kPath));
  ASSERT_TRUE(store.SaveSettingsFile(kPath, store.recordCount));
  const auto saved = fs.files[kPath];
  peers.log.clear();
  setName(store.records[1], "echo");

  // The disk fills (or the power goes) two and a half records into the new file.
  fs.writeLimit = kHeaderSize + 2 * kRecordSize + kRecordSize / 2;
  EXPECT_FALSE(store.SaveSettingsFile(kPath, store.recordCount));
  EXPECT_EQ(fs.files[kPath], saved);
  EXPECT_FALSE(fs.exists(fs.recoveryCopyPath(kPath)));
  EXPECT_TRUE(peers.log.empty());

  // Nor opened at all.
  fs.writeLimit = UINT64_MAX;
  fs.failOpen = true;
  EXPECT_FALSE(store.SaveSettingsFile(kPath, store.recordCount));
  EXPECT_EQ(fs.files[kPath], saved);
  EXPECT_TRUE(peers.log.empty());

  // The remembered positions still describe the file that is there.
  EXPECT_EQ(store.savedPosition(1), 4u);
  fs.failOpen = false;
  ASSERT_TRUE(store.SaveSettingsFile(kPath, store.recordCount));
  EXPECT_EQ(namesInFile(), (std::vector<std::string>{"Global Settings", "alpha", "bravo", "charlie",
                                                     "echo"}));
}

TEST_F(SettingsStoreTest, StatusOfTheCurrentSet) {
  SettingsRecord factory = namedSet("Editor");
  setComment(factory.slots[3], "as shipped");
  factory.factoryChecksum = computeFactoryChecksum(factory);
  writeFile({namedSet(""), factory, namedSet("mine")});
  ASSERT_TRUE(store.LoadSettingsFile(kPath));

  SettingsStatus s = RefreshSettingsStatus(store);
  EXPECT_FALSE(s.setLevelEntriesEnabled);
  EXPECT_EQ(s.indicator, FactoryState::NoInformation);

  store.currentSet = 1;
  s = RefreshSettingsStatus(store);
  EXPECT_TRUE(s.setLevelEntriesEnabled);
  EXPECT_EQ(s.indicator, FactoryState::Factory);

  setComment(store.records[1].slots[3], "mine now");
  EXPECT_EQ(RefreshSettingsStatus(store).indicator, FactoryState::Changed);

  store.currentSet = 2;
  EXPECT_EQ(RefreshSettingsStatus(store).indicator, FactoryState::NoInformation);
  store.currentSet = 99;  // never an out-of-range read
  EXPECT_EQ(RefreshSettingsStatus(store).indicator, FactoryState::NoInformation);
}

}  // namespace
}  // namespace ringdeck::panel
