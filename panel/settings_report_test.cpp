#include "quiet_peers.h"
#include "settings_report.h"

#include <gtest/gtest.h>

#include "memory_file.h"
#include "test_layout.h"

namespace ringdeck::panel {
namespace {

const LayoutCharTable kUs = testing::usLayoutTable();
const std::string kPath = "C:\\windows\\system32\\OrvanelRingDeck.pref";
const std::string kReportPath = "C:\\Users\\me\\Edit Suite.txt";

ActionSlot& put(SettingsRecord& r, int slot, ActionKind kind, std::uint16_t mods = 0,
                std::uint8_t key = 0, const char* comment = "") {
  ActionSlot& s = r.slots[slot];
  s.kind = static_cast<std::uint16_t>(kind);
  s.modifiers = mods;
  s.keyCode = key;
  setComment(s, comment);
  return s;
}

SettingsRecord craftedSet() {
  SettingsRecord r{};
  setName(r, "Edit \"Suite\" \xE9 #2");
  setTargetApp(r, "editor.exe");
  put(r, 0, ActionKind::Keystroke, 0, 37);
  put(r, 1, ActionKind::Keystroke, ModShift | ModControl, 'S', "Save");
  put(r, 2, ActionKind::Keystroke, 0, 'Q', "never shown");
  put(r, 5, ActionKind::None, 0, 0, "Idle");
  put(r, 12, ActionKind::Modifiers, ModControl | ModAlt, 0, "Hold for mark");
  put(r, 13, ActionKind::ScrollUp, ModShift).wheelNotches = 3;
  put(r, 14, static_cast<ActionKind>(99), 0, 'A');
  setItemPath(put(r, 19, ActionKind::OpenItem), "notepad.exe");
  put(r, 25, ActionKind::KeystrokeSystemRepeat, ModAlt, 124);
  put(r, 32, ActionKind::SameAsLower);
  put(r, 56, ActionKind::Keystroke, 0, 103);
  put(r, 60, ActionKind::KeystrokeSystemRepeat, ModShift, 0, "xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx");
  put(r, 61, ActionKind::Keystroke, ModWin | ModApps, 0xBA);
  put(r, 72, ActionKind::ScrollRight, 0, 0, "Tab\there, \xFF\" end");
  put(r, 79, ActionKind::ScrollDown, 0, 0, "never shown");
  return r;
}

// Written out by hand from the report's format, not by the code under test.
const char* const kCraftedBlocks[] = {
    "Turn Jog Left                   keystroke: Left Arrow",
    "                                -",
    "Turn Jog Right                  keystroke: Shift + Control + S",
    "                                Save",
    "Shuttle Zone -7                 -",
    "                                Idle",
    "Shuttle Zone -6                 -",
    "                                -",
    "Shuttle Zone -5                 -",
    "                                -",
    "Shuttle Zone -4                 -",
    "                                -",
    "Shuttle Zone -3                 -",
    "                                -",
    "Shuttle Zone -2                 -",
    "                                -",
    "Shuttle Zone -1                 -",
    "                                -",
    "Shuttle Zone 0                  modifiers: Control + Alt + ",
    "                                Hold for mark",
    "Shuttle Zone 1                  scroll up",
    "                                -",
    "Shuttle Zone 2                  -",
    "                                -",
    "Shuttle Zone 3                  -",
    "                                -",
    "Shuttle Zone 4                  -",
    "                                -",
    "Shuttle Zone 5                  -",
    "                                -",
    "Shuttle Zone 6                  -",
    "                                -",
    "Shuttle Zone 7                  open item: notepad.exe",
    "                                -",
    "Transition -7 to -6             keystroke: Alt + F13",
    "                                -",
    "Transition -6 to -5             -",
    "                                -",
    "Transition -5 to -4             -",
    "                                -",
    "Transition -4 to -3             -",
    "                                -",
    "Transition -3 to -2             -",
    "                                -",
    "Transition -2 to -1             -",
    "                                -",
    "Transition -1 to 0              -",
    "                                -",
    "Transition 0 to 1               same as lower",
    "                                -",
    "Transition 1 to 2               -",
    "                                -",
    "Transition 2 to 3               -",
    "                                -",
    "Transition 3 to 4               -",
    "                                -",
    "Transition 4 to 5               -",
    "                                -",
    "Transition 5 to 6               -",
    "                                -",
    "Transition 6 to 7               -",
    "                                -",
    "Transition 7 to 6               -",
    "                                -",
    "Transition 6 to 5               -",
    "                                -",
    "Transition 5 to 4               -",
    "                                -",
    "Transition 4 to 3               -",
    "                                -",
    "Transition 3 to 2               -",
    "                                -",
    "Transition 2 to 1               -",
    "                                -",
    "Transition 1 to 0               -",
    "                                -",
    "Transition 0 to -1              -",
    "                                -",
    "Transition -1 to -2             -",
    "                                -",
    "Transition -2 to -3             -",
    "                                -",
    "Transition -3 to -4             -",
    "                                -",
    "Transition -4 to -5             -",
    "                                -",
    "Transition -5 to -6             -",
    "                                -",
    "Transition -6 to -7             keystroke: Numpad 7",
    "                                -",
    "Top Left Button                 -",
    "                                xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx",
    "Top Center Left Button          keystroke: WinKey + ;",
    "                                -",
    "Top Center Right Button         -",
    "                                -",
    "Top Right Button                -",
    "                                -",
    "Upper Left Button               -",
    "                                -",
    "Upper Center Left Button        -",
    "                                -",
    "Upper Center Button             -",
    "                                -",
    "Upper Center Right Button       -",
    "                                -",
    "Upper Right Button              -",
    "                                -",
    "Lower Left Button               -",
    "                                -",
    "Lower Right Button              -",
    "                                -",
    "Bottom Left Button              -",
    "                                -",
    "Bottom Right Button             scroll right",
    "                                Tab\there, \xFF\" end",
};

std::string craftedReport() {
  std::string text = "Orvanel RingDeck Settings\n\r\nEdit \"Suite\" \xE9 #2\r\n\r\n";
  for (const char* line : kCraftedBlocks) text += std::string(line) + "\r\n";
  return text + "\r\n";
}

TEST(SettingsReportText, GoldenReportByteForByte) {
  EXPECT_EQ(SettingsReportText(kUs, craftedSet()), craftedReport());
}

TEST(SettingsReportText, EmptySetReadsDashesUnderAnEmptyName) {
  const std::string text = SettingsReportText(kUs, SettingsRecord{});
  EXPECT_EQ(text.rfind("Orvanel RingDeck Settings\n\r\n\r\n\r\nTurn Jog Left ", 0), 0u);
  EXPECT_NE(text.find("\r\nTransition -1 to 0" + std::string(14, ' ') + "-\r\n" +
                      std::string(32, ' ') + "-\r\n"),
            std::string::npos);
  EXPECT_EQ(text.substr(text.size() - 37), std::string(32, ' ') + "-\r\n\r\n");
}

// Lets the files of one path fail to open, the rest kept in memory.
class FailingPathFileSystem final : public FileSystem {
 public:
  MemoryFileSystem memory;
  std::string failingPath;
  std::unique_ptr<FileAccess> open(const std::string& path, OpenMode mode) override {
    return path == failingPath ? nullptr : memory.open(path, mode);
  }
  std::unique_ptr<FileAccess> openWithAttributes(const std::string& path, OpenMode mode,
                                                 CreatedAttributes attributes) override {
    return path == failingPath ? nullptr : memory.openWithAttributes(path, mode, attributes);
  }
  bool exists(const std::string& path) override { return memory.exists(path); }
  bool remove(const std::string& path) override { return memory.remove(path); }
  bool replace(const std::string& s, const std::string& t) override { return memory.replace(s, t); }
};

class ExportAsTextTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::vector<SettingsRecord> sets(3);
    setName(sets[1], "zed");
    sets[2] = craftedSet();
    setName(sets[2], "alpha");
    MemoryFile file(fs.memory.files[kPath]);
    ASSERT_TRUE(writeSettingsFile(file, sets));
    ASSERT_TRUE(store.LoadSettingsFile(kPath));
    store.settingsPath = kPath;
  }

  std::string report() {
    const auto it = fs.memory.files.find(kReportPath);
    return it == fs.memory.files.end() ? "<none>" : std::string(it->second.begin(), it->second.end());
  }
  std::string nameLine() {
    const std::string r = report();
    const std::size_t start = r.find("\n\r\n") + 3;
    return r.substr(start, r.find("\r\n", start) - start);
  }

  FailingPathFileSystem fs;
  QuietPeers peers;
  SettingsStore store{fs, peers};
};

TEST_F(ExportAsTextTest, WritesTheCurrentSetAsLoaded) {
  store.currentSet = 2;
  ASSERT_EQ(ExportAsText(fs, store, kUs, kReportPath), ReportResult::Written);
  SettingsRecord expected = craftedSet();
  setName(expected, "alpha");
  EXPECT_EQ(report(), SettingsReportText(kUs, expected));
}

TEST_F(ExportAsTextTest, AfterASaveThatReorderedTheFileItStillDescribesTheShownSet) {
  ASSERT_TRUE(store.SaveSettingsFile(kPath, store.recordCount));  // file: Global, alpha, zed
  store.currentSet = 1;                                           // memory: zed
  ASSERT_EQ(ExportAsText(fs, store, kUs, kReportPath), ReportResult::Written);
  EXPECT_EQ(nameLine(), "zed");
  store.currentSet = 2;
  ASSERT_EQ(ExportAsText(fs, store, kUs, kReportPath), ReportResult::Written);
  EXPECT_EQ(nameLine(), "alpha");
  EXPECT_NE(report().find("keystroke: Shift + Control + S"), std::string::npos);
}

TEST_F(ExportAsTextTest, ReadsTheFileNotUnsavedEdits) {
  store.currentSet = 1;
  setName(store.records[1], "renamed");
  store.records[1].slots[0].kind = static_cast<std::uint16_t>(ActionKind::ScrollUp);
  EXPECT_EQ(proposedReportFileName(store), "renamed.txt");
  ASSERT_EQ(ExportAsText(fs, store, kUs, kReportPath), ReportResult::Written);
  EXPECT_EQ(nameLine(), "zed");
  EXPECT_EQ(report().find("scroll up"), std::string::npos);
}

TEST_F(ExportAsTextTest, ASetTheFileDoesNotHoldReadsAsAnEmptySet) {
  store.currentSet = 2;
  fs.memory.files[kPath].resize(kHeaderSize + 2 * kRecordSize + 100);  // cut by someone else
  ASSERT_EQ(ExportAsText(fs, store, kUs, kReportPath), ReportResult::Written);
  EXPECT_EQ(report(), SettingsReportText(kUs, SettingsRecord{}));

  // A set built in the spare record and never saved is not in the file either.
  store.currentSet = store.recordCount;
  ASSERT_EQ(ExportAsText(fs, store, kUs, kReportPath), ReportResult::Written);
  EXPECT_EQ(nameLine(), "");

  // Nor in a file deleted behind the control panel's back.
  fs.memory.files.erase(kPath);
  ASSERT_EQ(ExportAsText(fs, store, kUs, kReportPath), ReportResult::Written);
  EXPECT_EQ(report(), SettingsReportText(kUs, SettingsRecord{}));

  // Nor is anything in a file whose header is damaged.
  ASSERT_TRUE(store.SaveSettingsFile(kPath, store.recordCount));
  store.currentSet = 1;
  fs.memory.files[kPath][0] ^= 0xFF;
  ASSERT_EQ(ExportAsText(fs, store, kUs, kReportPath), ReportResult::Written);
  EXPECT_EQ(nameLine(), "");
}

TEST_F(ExportAsTextTest, GlobalSetIsRecordZero) {
  ASSERT_EQ(ExportAsText(fs, store, kUs, kReportPath), ReportResult::Written);
  EXPECT_EQ(nameLine(), "");  // the file's own name bytes; "Global Settings" lives in memory
  EXPECT_EQ(proposedReportFileName(store), "Global Settings.txt");
}

TEST_F(ExportAsTextTest, SettingsFileThatCannotBeOpenedCreatesNoReport) {
  fs.failingPath = kPath;
  EXPECT_EQ(ExportAsText(fs, store, kUs, kReportPath), ReportResult::CannotOpenSettings);
  EXPECT_FALSE(fs.memory.exists(kReportPath));
}

TEST_F(ExportAsTextTest, TheReportIsAVisibleFileAndTheSettingsFileNeedOnlyBeReadable) {
  fs.memory.readOnly.insert(kPath);  // a standard user the setup could not grant the access
  store.currentSet = 2;
  ASSERT_EQ(ExportAsText(fs, store, kUs, kReportPath), ReportResult::Written);
  EXPECT_EQ(nameLine(), "alpha");
  EXPECT_EQ(fs.memory.attributes.at(kReportPath), CreatedAttributes::Archive);
}

TEST_F(ExportAsTextTest, ReportThatCannotBeCreated) {
  fs.failingPath = kReportPath;
  EXPECT_EQ(ExportAsText(fs, store, kUs, kReportPath), ReportResult::CannotCreateReport);
}

TEST_F(ExportAsTextTest, ReplacesAnOlderReportAndSaysSoWhenTheDiskFills) {
  fs.memory.files[kReportPath] = std::vector<std::uint8_t>(100000, 'z');
  ASSERT_EQ(ExportAsText(fs, store, kUs, kReportPath), ReportResult::Written);
  EXPECT_EQ(report(), SettingsReportText(kUs, SettingsRecord{}));
  fs.memory.writeLimit = 500;
  EXPECT_EQ(ExportAsText(fs, store, kUs, kReportPath), ReportResult::WriteFailed);
}

}  // namespace
}  // namespace ringdeck::panel
