// The store's save through the real file calls: the file is rewritten whole and keeps its
// hidden and archive attributes.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "quiet_peers.h"
#include "settings_store.h"
#include "win32_file.h"

namespace ringdeck::panel {
namespace {

class Win32SettingsStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char temp[MAX_PATH + 1];
    ASSERT_NE(GetTempPathA(sizeof temp, temp), 0u);
    dir = std::string(temp) + "ringdeck-panel-" + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(dir.c_str(), nullptr);
    path = dir + "\\OrvanelRingDeck.pref";
  }
  void TearDown() override {
    fs.remove(path);
    fs.remove(fs.recoveryCopyPath(path));
    RemoveDirectoryA(dir.c_str());
  }

  std::string dir, path;
  win32::Win32FileSystem fs;
  QuietPeers peers;
  SettingsStore store{fs, peers};
};

TEST_F(Win32SettingsStoreTest, SaveRewritesTheFileAndKeepsItHidden) {
  ASSERT_TRUE(store.LoadSettingsFile(path));
  const DWORD hiddenArchive = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE;
  EXPECT_EQ(GetFileAttributesA(path.c_str()) & hiddenArchive, hiddenArchive);

  // A recovery copy left by a save that died while writing it does not stand in the way.
  {
    auto stale = fs.open(fs.recoveryCopyPath(path), OpenMode::ReadWriteCreateNew);
    ASSERT_TRUE(stale);
    const std::uint8_t junk[3] = {1, 2, 3};
    ASSERT_TRUE(stale->writeAt(0, junk));
  }

  store.records.resize(3);
  setName(store.records[1], "zed");
  setName(store.records[2], "alpha");
  ASSERT_TRUE(store.SaveSettingsFile(path, 3));
  EXPECT_EQ(GetFileAttributesA(path.c_str()) & hiddenArchive, hiddenArchive);
  EXPECT_FALSE(fs.exists(fs.recoveryCopyPath(path)));

  SettingsStore reloaded(fs, peers);
  ASSERT_TRUE(reloaded.LoadSettingsFile(path));
  EXPECT_EQ(reloaded.TargetAppBoxEntries(),
            (std::vector<std::string>{"Global Settings", "alpha", "zed"}));
  ASSERT_TRUE(reloaded.SaveSettingsFile(path, reloaded.recordCount));
  EXPECT_EQ(GetFileAttributesA(path.c_str()) & hiddenArchive, hiddenArchive);
}

}  // namespace
}  // namespace ringdeck::panel
