#include "helper_core.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "memory_file.h"
#include "whole_file_save.h"
#include "settings_io.h"

namespace ringdeck::helper {
namespace {

constexpr const char* kPath = "C:\\windows\\system32\\OrvanelRingDeck.pref";

struct Set {
  std::string name;
  std::string target;
};

std::vector<std::uint8_t> fileOf(const std::vector<Set>& sets) {
  std::vector<SettingsRecord> records(sets.size());
  for (std::size_t i = 0; i < sets.size(); ++i) {
    setName(records[i], sets[i].name);
    setTargetApp(records[i], sets[i].target);
  }
  std::vector<std::uint8_t> bytes;
  MemoryFile file(bytes);
  EXPECT_TRUE(writeSettingsFile(file, records));
  return bytes;
}

// Records what the helper sends; may answer like the engine does, by sending Status.Notify
// back while the helper still waits.
struct FakeEngine : EngineLink {
  bool running = true;
  std::vector<std::uint32_t> changes;
  int statusRequests = 0;
  std::function<void(std::uint32_t)> onChange;
  std::function<void()> onStatusRequest;

  bool findEngine() override { return running; }
  void sendStatusRequest() override {
    ++statusRequests;
    if (onStatusRequest) onStatusRequest();
  }
  void sendChangeCurrentPreference(std::uint32_t record) override {
    changes.push_back(record);
    if (onChange) onChange(record);
  }
};

struct IconCall {
  IconOperation op;
  IconImage image;
  std::string tip;  // empty when the record carries none
  bool operator==(const IconCall&) const = default;
};

struct FakeIcon : TrayIcon {
  std::vector<IconCall> calls;
  std::vector<std::string> balloons;  // their titles
  bool update(IconOperation op, IconImage image, const TooltipField& tip) override {
    calls.push_back({op, image, tip.present ? std::string(tip.text.data()) : std::string()});
    return true;
  }
  void balloon(std::string_view title, std::string_view) override {
    balloons.emplace_back(title);
  }
};

struct FakeAlerts : Alerts {
  int cannotOpen = 0;
  std::function<void()> onAlert;  // runs while the message box would be up
  void cannotOpenSettings() override {
    ++cannotOpen;
    if (onAlert) onAlert();
  }
};

struct FakeDesktop : ForegroundProbe {
  WindowId foreground = 0;
  std::map<WindowId, FocusChain> chains;                    // by foreground window
  std::map<WindowId, std::vector<std::string>> modules;     // by focus window
  int snapshots = 0;

  WindowId foregroundWindow() override { return foreground; }
  FocusChain focusChain(WindowId fg) override {
    auto it = chains.find(fg);
    return it == chains.end() ? FocusChain{fg, {"Plain"}} : it->second;
  }
  std::vector<std::string> moduleNames(WindowId w) override {
    ++snapshots;
    auto it = modules.find(w);
    return it == modules.end() ? std::vector<std::string>{} : it->second;
  }
  // A top-level window of a program, focused on itself.
  void window(WindowId w, std::string exe) { modules[w] = {std::move(exe), "ntdll.dll"}; }

  // Integrity levels: every program, the helper and the engine started normally unless told.
  std::map<WindowId, IntegrityReading> levels;  // by focus window
  IntegrityReading own = kMediumIntegrity;
  Engine engine{true, kMediumIntegrity};
  int programQueries = 0;
  Program programOf(WindowId w) override {
    ++programQueries;
    auto it = modules.find(w);
    auto level = levels.find(w);
    return {it == modules.end() ? std::string() : it->second.front(),
            level == levels.end() ? IntegrityReading(kMediumIntegrity) : level->second};
  }
  IntegrityReading ownIntegrity() override { return own; }
  Engine engineIntegrity() override { return engine; }
};

class Helper : public testing::Test {
 protected:
  void make(HelperMode mode, const std::vector<Set>& sets) {
    fs.files[kPath] = fileOf(sets);
    core = std::make_unique<HelperCore>(
        mode, HelperCore::Ports{fs, kPath, engine, icon, alerts}, "RingDeck Helper.exe");
  }
  void startWith(HelperMode mode, const std::vector<Set>& sets) {
    make(mode, sets);
    ASSERT_TRUE(core->start());
    core->showInitialIcon();
  }
  // Answers every Change.Current.Preference like the engine, with one device connected.
  void engineAnswers(std::uint32_t devices = 1) {
    engine.onChange = [this, devices](std::uint32_t r) { core->onStatusNotify(r, devices); };
  }
  std::vector<std::string> labels() const {
    std::vector<std::string> out;
    for (const MenuEntry& e : core->menu()) out.push_back(e.separator ? "-" : e.label);
    return out;
  }
  std::vector<std::uint32_t> commands() const {
    std::vector<std::uint32_t> out;
    for (const MenuEntry& e : core->menu()) out.push_back(e.command);
    return out;
  }
  std::vector<std::string> checkedLabels() const {
    std::vector<std::string> out;
    for (const MenuEntry& e : core->menu()) {
      if (e.checked) out.push_back(e.label);
    }
    return out;
  }
  void tick(WindowId fg) {
    desktop.foreground = fg;
    core->onTimer(desktop);
  }

  MemoryFileSystem fs;
  FakeEngine engine;
  FakeIcon icon;
  FakeAlerts alerts;
  FakeDesktop desktop;
  std::unique_ptr<HelperCore> core;
};

const std::string kPanel(kOpenPanelLabel);

const std::vector<Set> kSets = {
    {"Global Settings", ""},  {"Edit", "notepad.exe"}, {"", ""},
    {"Cut", "NOTEPAD.EXE"},   {"Star", "*"},           {"Mix", "Notepad.Exe"},
    {"Player", "player.mod"},
};

TEST_F(Helper, HeaderOnlyFileGivesOnlyThePanelEntryInBothModes) {
  for (HelperMode mode : {HelperMode::Plain, HelperMode::AutoSwitch}) {
    fs.files[kPath] = std::vector<std::uint8_t>(16, 0);
    core = std::make_unique<HelperCore>(mode, HelperCore::Ports{fs, kPath, engine, icon, alerts},
                                        "RingDeck Helper.exe");
    ASSERT_TRUE(core->start());
    EXPECT_EQ(labels(), (std::vector<std::string>{"-", kPanel}));
    EXPECT_EQ(commands(), (std::vector<std::uint32_t>{0, kCommandOpenPanel}));
  }
}

TEST_F(Helper, PlainMenuListsEveryRecordWithDefaultSettingsFirst) {
  startWith(HelperMode::Plain, kSets);
  EXPECT_EQ(labels(), (std::vector<std::string>{"Default Settings", "Edit", "", "Cut", "Star",
                                                "Mix", "Player", "-", kPanel}));
  EXPECT_EQ(commands(), (std::vector<std::uint32_t>{11, 12, 13, 14, 15, 16, 17, 0, 2}));
}

TEST_F(Helper, AutoSwitchMenuStartsWithTheGlobalListUnderOwnNames) {
  startWith(HelperMode::AutoSwitch, kSets);
  // "", "*" and an empty name all belong to "*"; an empty name reads "Unnamed Settings".
  EXPECT_EQ(labels(), (std::vector<std::string>{"Global Settings", "Unnamed Settings", "Star",
                                                "-", kPanel}));
  EXPECT_EQ(commands(), (std::vector<std::uint32_t>{11, 12, 13, 0, 2}));
  EXPECT_TRUE(checkedLabels().empty());
}

TEST_F(Helper, PartialRecordAtTheEndIsIgnoredAndFullWidthNamesStayBounded) {
  auto bytes = fileOf({{"Global Settings", ""}, {std::string(32, 'N'), ""}});
  SettingsRecord& second = *reinterpret_cast<SettingsRecord*>(bytes.data() + 16 + kRecordSize);
  std::memset(second.name, 'N', sizeof second.name);  // no terminator in the field
  bytes.resize(bytes.size() + 6000, 0x41);
  for (HelperMode mode : {HelperMode::Plain, HelperMode::AutoSwitch}) {
    fs.files[kPath] = bytes;
    core = std::make_unique<HelperCore>(mode, HelperCore::Ports{fs, kPath, engine, icon, alerts},
                                        "RingDeck Helper.exe");
    ASSERT_TRUE(core->start());
    ASSERT_EQ(labels().size(), 4u);
    EXPECT_EQ(labels()[1], std::string(32, 'N'));
  }
}

TEST_F(Helper, CaseFoldedTargetsShareOneListInFileOrder) {
  startWith(HelperMode::AutoSwitch, kSets);
  desktop.window(100, "notepad.EXE");
  tick(100);
  EXPECT_EQ(core->currentKey(), "NOTEPAD.EXE");
  EXPECT_EQ(labels(), (std::vector<std::string>{"Edit", "Cut", "Mix", "-", kPanel}));
  EXPECT_EQ(engine.changes, (std::vector<std::uint32_t>{1}));  // the list's first set
}

// A save cut short while the file was being rewritten: the menu lists the new sets from the
// recovery copy; a cut file with no copy at hand gives the message, not a menu of a mixture.
TEST_F(Helper, ASaveCutShortListsTheNewSets) {
  const auto old = fileOf({{"Global Settings", ""}, {"Old", ""}});
  const auto next = fileOf({{"Global Settings", ""}, {"New", ""}, {"Newer", ""}});
  const std::vector<SettingsRecord> nextSets(
      reinterpret_cast<const SettingsRecord*>(next.data() + kHeaderSize),
      reinterpret_cast<const SettingsRecord*>(next.data() + next.size()));
  for (const bool withCopy : {true, false}) {
    fs.files[kPath] = old;
    fs.writeLimitFor[kPath] = kHeaderSize + kRecordSize;
    ASSERT_FALSE(saveSettingsInPlace(fs, kPath, nextSets));
    fs.writeLimitFor.clear();
    if (!withCopy) fs.remove(fs.recoveryCopyPath(kPath));
    alerts.cannotOpen = 0;
    core = std::make_unique<HelperCore>(HelperMode::Plain, HelperCore::Ports{fs, kPath, engine, icon, alerts},
                                        "RingDeck Helper.exe");
    if (withCopy) {
      ASSERT_TRUE(core->start());
      EXPECT_EQ(labels(), (std::vector<std::string>{"Default Settings", "New", "Newer", "-", kPanel}));
    } else {
      EXPECT_FALSE(core->start());
      EXPECT_EQ(alerts.cannotOpen, 1);
    }
  }
}

TEST_F(Helper, MissingFileAtStartFailsWithTheMessage) {
  for (HelperMode mode : {HelperMode::Plain, HelperMode::AutoSwitch}) {
    core = std::make_unique<HelperCore>(mode, HelperCore::Ports{fs, kPath, engine, icon, alerts},
                                        "RingDeck Helper.exe");
    EXPECT_FALSE(core->start());
  }
  EXPECT_EQ(alerts.cannotOpen, 2);
  EXPECT_TRUE(icon.calls.empty());
}

TEST(TooltipField, SixtyThreeCharactersFitLongerTextsAreCut) {
  const std::string t63(63, 'a');
  const std::string t64 = std::string(60, 'b') + "cdef";
  struct Case {
    std::string text;
    std::string shown;
    bool present;
  };
  const Case cases[] = {
      {"", "", false},
      {"Global Settings", "Global Settings", true},
      {t63, t63, true},
      {t64, std::string(60, 'b') + "...", true},
      {std::string(200, 'z'), std::string(60, 'z') + "...", true},
  };
  for (const Case& c : cases) {
    const TooltipField f = tooltipField(c.text);
    EXPECT_EQ(f.present, c.present);
    EXPECT_EQ(std::string(f.text.data()), c.shown);
    EXPECT_EQ(f.text[63], '\0');
  }
}

TEST_F(Helper, IconAndTooltipFollowEachEvent) {
  make(HelperMode::AutoSwitch, kSets);
  ASSERT_TRUE(core->start());
  engine.running = false;
  core->showInitialIcon();
  engine.running = true;
  core->showInitialIcon();  // as a second start-up would, with the engine there
  core->pick(1);            // answered below, by hand
  engine.running = false;
  core->pick(0);
  core->onStatusNotify(0, 1);
  core->onStatusNotify(0, 0);
  core->onReload(0, 7);
  core->removeIcon();
  const IconImage N = IconImage::Normal, X = IconImage::Crossed;
  const IconOperation A = IconOperation::Add, M = IconOperation::Modify;
  EXPECT_EQ(icon.calls, (std::vector<IconCall>{
                            {A, X, "The engine is not running"},
                            {A, N, "Waiting for a engine status report"},
                            {M, X, "The engine is not running"},
                            {M, N, "Global Settings"},
                            {M, X, "Orvanel RingDeck device disconnected"},
                            // A reload keeps the checked position: its label is the text.
                            {M, N, "Global Settings"},
                            {IconOperation::Delete, N, ""},
                        }));
  EXPECT_EQ(engine.statusRequests, 1);
  EXPECT_EQ(engine.changes, (std::vector<std::uint32_t>{2}));
  EXPECT_FALSE(core->icon().present);
}

TEST_F(Helper, StatusRequestAnsweredInsideTheSendSetsTheTooltip) {
  make(HelperMode::AutoSwitch, kSets);
  ASSERT_TRUE(core->start());
  engine.onStatusRequest = [this] { core->onStatusNotify(4, 2); };
  core->showInitialIcon();
  EXPECT_EQ(checkedLabels(), (std::vector<std::string>{"Star"}));
  EXPECT_EQ(core->icon().tip, "Star");
  EXPECT_EQ(core->icon().image, IconImage::Normal);
}

TEST_F(Helper, PlainCheckMarkFollowsStatusNotifyAndReload) {
  startWith(HelperMode::Plain, kSets);
  engineAnswers();
  core->pick(3);
  EXPECT_EQ(engine.changes, (std::vector<std::uint32_t>{3}));
  EXPECT_EQ(checkedLabels(), (std::vector<std::string>{"Cut"}));
  EXPECT_EQ(core->icon().tip, "Cut");
  core->onStatusNotify(0, 1);
  EXPECT_EQ(checkedLabels(), (std::vector<std::string>{"Default Settings"}));
  EXPECT_EQ(core->icon().tip, "Default Settings");

  core->onStatusNotify(5, 1);
  // The panel rewrote the file without the checked set: the mark goes back to entry 0.
  fs.files[kPath] = fileOf({{"G", ""}, {"A", ""}, {"B", ""}, {"C", ""}, {"D", ""}, {"E", ""}});
  core->onReload(5, 6);
  EXPECT_EQ(checkedLabels(), (std::vector<std::string>{"Default Settings"}));
  EXPECT_EQ(labels().size(), 8u);
  // Another set's index keeps the mark where it is.
  core->onStatusNotify(3, 1);
  core->onReload(1, 6);
  EXPECT_EQ(checkedLabels(), (std::vector<std::string>{"C"}));
  EXPECT_EQ(core->icon().tip, "C");
}

TEST_F(Helper, PlainStatusForARecordBeyondTheMenuChecksNothingAndKeepsTheText) {
  startWith(HelperMode::Plain, kSets);
  core->onStatusNotify(1, 1);
  core->onStatusNotify(99, 0);
  EXPECT_TRUE(checkedLabels().empty());
  core->onStatusNotify(99, 1);
  EXPECT_EQ(core->icon().tip, "Orvanel RingDeck device disconnected");
  EXPECT_EQ(core->icon().image, IconImage::Normal);
}

TEST_F(Helper, PlainFailedReloadKeepsTheMenuAndItsMark) {
  startWith(HelperMode::Plain, kSets);
  core->onStatusNotify(1, 1);
  const auto before = labels();
  fs.files.erase(kPath);
  core->onReload(4, 7);
  EXPECT_EQ(alerts.cannotOpen, 1);
  EXPECT_EQ(labels(), before);
  EXPECT_EQ(checkedLabels(), (std::vector<std::string>{"Edit"}));
}

TEST_F(Helper, AutoSwitchStatusForASetOutsideTheListUnchecksAndKeepsTheText) {
  startWith(HelperMode::AutoSwitch, kSets);
  core->onStatusNotify(2, 1);
  EXPECT_EQ(checkedLabels(), (std::vector<std::string>{"Unnamed Settings"}));
  EXPECT_EQ(core->checkedPosition(), 1);
  core->onStatusNotify(3, 0);  // "Cut" is in NOTEPAD.EXE's list, not in the shown one
  EXPECT_TRUE(checkedLabels().empty());
  EXPECT_EQ(core->checkedPosition(), -1);
  EXPECT_EQ(core->icon().image, IconImage::Crossed);
  core->onStatusNotify(3, 1);
  EXPECT_EQ(core->icon().image, IconImage::Normal);
  EXPECT_EQ(core->icon().tip, "Orvanel RingDeck device disconnected");
}

TEST_F(Helper, PickRemembersThePositionPerApplicationUntilTheNextRead) {
  startWith(HelperMode::AutoSwitch, kSets);
  engineAnswers();
  desktop.window(100, "NOTEPAD.EXE");
  desktop.window(200, "other.exe");
  tick(100);
  core->pick(2);  // "Mix", record 5
  EXPECT_EQ(checkedLabels(), (std::vector<std::string>{"Mix"}));
  EXPECT_EQ(core->icon().tip, "Mix");
  tick(200);  // unknown program: the global list's remembered set, 0
  EXPECT_EQ(labels()[0], "Global Settings");
  core->pick(2);  // "Star", record 4
  tick(100);
  tick(200);
  EXPECT_EQ(engine.changes, (std::vector<std::uint32_t>{1, 5, 0, 4, 5, 4}));
  EXPECT_EQ(checkedLabels(), (std::vector<std::string>{"Star"}));

  // A reload forgets the selections and rebuilds the menu of the current application.
  core->onReload(0, 7);
  EXPECT_TRUE(checkedLabels().empty());
  tick(100);
  EXPECT_EQ(engine.changes.back(), 1u);
}

TEST_F(Helper, PicksOutsideTheShownMenuAreIgnored) {
  startWith(HelperMode::AutoSwitch, kSets);
  core->pick(3);
  core->pick(UINT32_MAX - 11);
  EXPECT_TRUE(engine.changes.empty());
  make(HelperMode::Plain, kSets);
  ASSERT_TRUE(core->start());
  core->pick(7);
  EXPECT_TRUE(engine.changes.empty());
}

TEST_F(Helper, FailedAutoSwitchReloadOffersOnlyThePanelUntilAReadSucceeds) {
  startWith(HelperMode::AutoSwitch, kSets);
  engineAnswers();
  desktop.window(100, "NOTEPAD.EXE");
  tick(100);
  fs.files.erase(kPath);
  // While the message box is up the user may open the menu: the old sets are gone already.
  std::vector<std::string> duringAlert;
  alerts.onAlert = [&] { duringAlert = labels(); };
  core->onReload(0, 7);
  EXPECT_EQ(alerts.cannotOpen, 1);
  EXPECT_EQ(duringAlert, (std::vector<std::string>{"-", kPanel}));
  EXPECT_FALSE(core->hasMap());
  EXPECT_EQ(labels(), (std::vector<std::string>{"-", kPanel}));
  // Nothing of the discarded lists can be picked, switched to or checked.
  core->pick(0);
  desktop.window(200, "other.exe");
  tick(200);
  core->onStatusNotify(1, 1);
  EXPECT_EQ(engine.changes, (std::vector<std::uint32_t>{1}));
  EXPECT_TRUE(checkedLabels().empty());

  fs.files[kPath] = fileOf(kSets);
  core->onReload(0, 7);
  EXPECT_EQ(labels(), (std::vector<std::string>{"Edit", "Cut", "Mix", "-", kPanel}));
  tick(200);
  EXPECT_EQ(engine.changes.back(), 0u);
}

TEST_F(Helper, ReadThatRunsOutOfMemoryLeavesNoMapAndNoMessage) {
  make(HelperMode::AutoSwitch, kSets);
  core->setArenaLimit(1000);
  EXPECT_FALSE(core->start());
  EXPECT_EQ(alerts.cannotOpen, 0);
  EXPECT_FALSE(core->hasMap());
}

TEST_F(Helper, AutoSwitchDecisions) {
  startWith(HelperMode::AutoSwitch, kSets);
  engineAnswers();
  desktop.window(1, "NOTEPAD.EXE");
  desktop.window(2, "Notepad.exe");  // another window of the same program
  desktop.window(3, "RingDeck Helper.exe");
  desktop.window(4, "Player.MOD");
  desktop.window(6, std::string(40, 'n') + ".exe");
  desktop.chains[5] = {55, {"Button", "Shell_TrayWnd"}};
  desktop.chains[7] = {0, {}};
  struct Step {
    WindowId foreground;
    std::vector<std::uint32_t> sent;
    std::string key;
  };
  const Step steps[] = {
      {1, {1}, "NOTEPAD.EXE"},  // another application: its first set
      {1, {}, "NOTEPAD.EXE"},   // same window again
      {2, {}, "NOTEPAD.EXE"},   // same application
      {3, {}, "NOTEPAD.EXE"},   // the helper itself
      {5, {}, "NOTEPAD.EXE"},   // the taskbar
      {1, {}, "NOTEPAD.EXE"},   // back to the window in front before
      {7, {}, "NOTEPAD.EXE"},   // no focus window
      {4, {6}, "PLAYER.MOD"},
      {6, {0}, std::string(31, 'N')},  // name cut to 31: no list of its own
      {8, {0}, ""},                    // no application name: the global list
      {9, {0}, ""},                    // each such window switches again
      {2, {1}, "NOTEPAD.EXE"},
  };
  for (const Step& s : steps) {
    engine.changes.clear();
    tick(s.foreground);
    EXPECT_EQ(engine.changes, s.sent) << "foreground " << s.foreground;
    EXPECT_EQ(core->currentKey(), s.key) << "foreground " << s.foreground;
  }
}

TEST_F(Helper, OwnWindowIsLookedAtAgainEachTickOthersOnlyOnce) {
  startWith(HelperMode::AutoSwitch, kSets);
  desktop.window(3, "RINGDECK HELPER.EXE");
  desktop.window(1, "notepad.exe");
  tick(3);
  tick(3);
  EXPECT_EQ(desktop.snapshots, 2);
  tick(1);
  tick(1);
  tick(1);
  EXPECT_EQ(desktop.snapshots, 3);
}

TEST_F(Helper, FocusInAChildWindowIsExaminedOnce) {
  startWith(HelperMode::AutoSwitch, kSets);
  // A program without an application name whose focus sits in a child (an edit field).
  desktop.chains[10] = {11, {"Edit", "Main"}};
  tick(10);
  tick(10);
  tick(10);
  EXPECT_EQ(engine.changes, (std::vector<std::uint32_t>{0}));
  EXPECT_EQ(desktop.snapshots, 1);
}

TEST_F(Helper, TheTaskbarAgainAfterTheTaskbarIsLookedAtAgain) {
  startWith(HelperMode::AutoSwitch, kSets);
  desktop.chains[5] = {55, {"Button", "Shell_TrayWnd"}};
  tick(5);
  tick(5);
  EXPECT_EQ(desktop.snapshots, 0);
  EXPECT_TRUE(engine.changes.empty());
}

TEST_F(Helper, SwitchToAnApplicationWithoutSetsUsesTheGlobalRememberedSet) {
  startWith(HelperMode::AutoSwitch, {{"Only", "other.exe"}});
  desktop.window(1, "notepad.exe");
  tick(1);
  // A file without a global list: nothing to show or send.
  EXPECT_EQ(labels(), (std::vector<std::string>{"-", kPanel}));
  EXPECT_TRUE(engine.changes.empty());
}

TEST_F(Helper, PlainModeNeverSwitches) {
  startWith(HelperMode::Plain, kSets);
  desktop.window(1, "notepad.exe");
  tick(1);
  EXPECT_EQ(desktop.snapshots, 0);
  EXPECT_TRUE(engine.changes.empty());
}

// The tooltip says so while the keys cannot reach the program in front, one balloon per
// program, and the usual text comes back with a program they reach.
TEST_F(Helper, SaysSoWhileTheKeysCannotReachTheProgramInFront) {
  startWith(HelperMode::AutoSwitch, kSets);
  engineAnswers();
  core->onStatusNotify(0, 1);
  desktop.window(1, "notepad.exe");
  desktop.window(2, "Resolve.exe");
  desktop.window(3, "Resolve.exe");  // another window of the elevated program
  desktop.window(4, "Admin Tool.exe");
  desktop.levels[2] = desktop.levels[3] = kHighIntegrity;
  desktop.levels[4] = std::nullopt;  // the helper cannot even open it
  desktop.chains[5] = {55, {"Button", "Shell_TrayWnd"}};
  const std::string resolve = "RingDeck cannot type into Resolve.exe: it runs as administrator";
  const std::string admin = "RingDeck cannot type into Admin Tool: it runs as administrator";
  struct Step {
    const char* what;
    std::function<void()> act;
    IconImage image;
    std::string tip;
    std::vector<std::string> balloons;
  };
  const std::vector<std::string> one = {"RingDeck cannot type into Resolve.exe"};
  const std::vector<std::string> two = {"RingDeck cannot type into Resolve.exe",
                                        "RingDeck cannot type into Admin Tool.exe"};
  const Step steps[] = {
      {"elevated program", [&] { tick(2); }, IconImage::Normal, resolve, one},
      {"program started normally", [&] { tick(1); }, IconImage::Normal, "Edit", one},
      {"the elevated program again", [&] { tick(3); }, IconImage::Normal, resolve, one},
      {"the taskbar", [&] { tick(5); }, IconImage::Normal, resolve, one},
      {"a reload", [&] { core->onReload(0, 7); }, IconImage::Normal, resolve, one},
      {"device unplugged", [&] { core->onStatusNotify(0, 0); }, IconImage::Crossed,
       std::string(kTipDisconnected), one},
      {"device back", [&] { core->onStatusNotify(0, 1); }, IconImage::Normal, resolve, one},
      {"program the helper cannot open", [&] { tick(4); }, IconImage::Normal, admin, two},
      {"no engine at a pick", [&] { engine.running = false; core->pick(0); }, IconImage::Crossed,
       std::string(kTipNoEngine), two},
      {"engine back", [&] { engine.running = true; core->onStatusNotify(0, 1); },
       IconImage::Normal, admin, two},
      {"the program started normally", [&] { tick(1); }, IconImage::Normal, "Edit", two},
  };
  for (const Step& s : steps) {
    s.act();
    EXPECT_EQ(core->icon().image, s.image) << s.what;
    EXPECT_EQ(core->icon().tip, s.tip) << s.what;
    EXPECT_EQ(icon.balloons, s.balloons) << s.what;
  }
}

TEST_F(Helper, WatchRunsWhileAutoSwitchRestsAndInPlainMode) {
  for (const HelperMode mode : {HelperMode::Plain, HelperMode::AutoSwitch}) {
    icon.balloons.clear();
    startWith(mode, kSets);
    if (mode == HelperMode::AutoSwitch) {
      fs.files.erase(kPath);
      core->onReload(0, 7);  // AutoSwitch rests until a read succeeds
      ASSERT_FALSE(core->hasMap());
    }
    core->onStatusNotify(0, 1);
    desktop.window(2, "Resolve.exe");
    desktop.levels[2] = kHighIntegrity;
    tick(2);
    EXPECT_EQ(core->icon().tip, "RingDeck cannot type into Resolve.exe: it runs as administrator");
    EXPECT_EQ(icon.balloons.size(), 1u);
    EXPECT_EQ(desktop.snapshots, 0);
    EXPECT_TRUE(engine.changes.empty());
  }
}

TEST_F(Helper, ReloadArrivingInsideASendLeavesNothingStale) {
  // The panel's Reload.All.Preferences can arrive while the helper waits in a send to the engine:
  // the lists of the read the send was made from are gone when the send returns.
  startWith(HelperMode::AutoSwitch, kSets);
  std::vector<Set> next = {{"Global Settings", ""}, {"New", "notepad.exe"}};
  engine.onChange = [&](std::uint32_t) {
    fs.files[kPath] = fileOf(next);
    core->onReload(0, 2);
  };
  desktop.window(100, "notepad.exe");
  tick(100);  // switch: the send reloads
  EXPECT_EQ(labels(), (std::vector<std::string>{"New", "-", kPanel}));
  next = kSets;
  core->pick(0);  // pick: the send reloads again
  EXPECT_EQ(labels(), (std::vector<std::string>{"Edit", "Cut", "Mix", "-", kPanel}));
  EXPECT_EQ(engine.changes, (std::vector<std::uint32_t>{1, 1}));
}

TEST(DescribeHelper, ListsIconTooltipAndMenu) {
  MemoryFileSystem fs;
  fs.files[kPath] = fileOf({{"Global Settings", ""}, {"Two", ""}});
  FakeEngine engine;
  FakeIcon icon;
  FakeAlerts alerts;
  HelperCore core(HelperMode::AutoSwitch, {fs, kPath, engine, icon, alerts}, "x.exe");
  ASSERT_TRUE(core.start());
  core.showInitialIcon();
  core.onStatusNotify(1, 2);
  EXPECT_EQ(describeHelper(core),
            "mode=autoswitch\nicon=103\ntip=Two\nballoon=\ndevices=2\nkey=*\n11 [ ] Global Settings\n12 [x] Two\n-\n"
            "2 [ ] Open RingDeck Control Panel...\n");
}

}  // namespace
}  // namespace ringdeck::helper
