// The control panel's operations on whole sets under Wine, used as a person uses them: the
// "Manage settings." pop-up menu and the "&File" menu from the keyboard, the Create New
// Settings dialog and the common file dialogs answered with typed paths and Enter, the message
// boxes read and answered; then the settings file, the exported files and, end to end, what the
// helper and the engine make of a new set.
#include "panel_wine_fixture.h"

#include "device_table.h"

namespace ringdeck::wine {
namespace {

const std::string kFolder = "C:\\RingDeck Sets Test";
const std::string kEditorExe = kFolder + "\\Editor.exe";
const std::string kHelperState = "Orvanel.RingDeck.Helper.State.Query";
constexpr int kButton5Slot = SlotIndex::button(4);

SettingsRecord namedSet(const char* name, const char* target = "", std::uint8_t button5Key = 0) {
  SettingsRecord r{};
  setName(r, name);
  setTargetApp(r, target);
  if (button5Key) r.slots[kButton5Slot] = keystrokeSlot(0, button5Key, kRepeatOnce, true);
  return r;
}

std::vector<std::uint8_t> bytesOf(const std::string& path) {
  std::vector<std::uint8_t> bytes;
  HANDLE f = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return bytes;
  bytes.resize(GetFileSize(f, nullptr));
  DWORD read = 0;
  if (!bytes.empty() && (!ReadFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) || read != bytes.size()))
    bytes.clear();
  CloseHandle(f);
  return bytes;
}

bool writeBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  DeleteFileA(path.c_str());
  HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return false;
  DWORD put = 0;
  const bool ok = WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr) && put == bytes.size();
  CloseHandle(f);
  return ok;
}

std::vector<std::uint8_t> exportedBytes(const SettingsRecord& r) {
  std::vector<std::uint8_t> bytes(kExportedFileSize);
  const SettingsFileHeader h = standardHeader();
  std::memcpy(bytes.data(), &h, kHeaderSize);
  std::memcpy(bytes.data() + kHeaderSize, &r, kRecordSize);
  return bytes;
}

// Reads the real helper's state: its menu and tooltip, as it answers its state query.
class HelperState {
 public:
  HelperState() {
    WNDCLASSA wc{};
    wc.lpfnWndProc = &HelperState::proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "PanelSetsHelperReply";
    RegisterClassA(&wc);
    reply_ = CreateWindowExA(0, wc.lpszClassName, "", 0, 0, 0, 0, 0, nullptr, nullptr, wc.hInstance, nullptr);
    SetWindowLongPtrA(reply_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&state_));
  }
  ~HelperState() { DestroyWindow(reply_); }
  HelperState(const HelperState&) = delete;
  HelperState& operator=(const HelperState&) = delete;
  std::string query() {
    state_.clear();
    if (HWND helper = FindWindowA(kHelperWindowClass, nullptr))
      SendMessageTimeoutA(helper, RegisterWindowMessageA(kHelperState.c_str()), reinterpret_cast<WPARAM>(reply_), 0,
                          SMTO_NORMAL, 2000, nullptr);
    return state_;
  }

 private:
  static LRESULT CALLBACK proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_COPYDATA) {
      const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
      if (auto* state = reinterpret_cast<std::string*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA)))
        state->assign(static_cast<const char*>(data->lpData), data->cbData);
      return TRUE;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
  }
  HWND reply_ = nullptr;
  std::string state_;
};

class PanelSets : public PanelUnderWine {
 protected:
  void SetUp() override {
    CreateDirectoryA(kFolder.c_str(), nullptr);
    ASSERT_TRUE(CopyFileA(windowsPath(RINGDECK_FG_WINDOW_EXE).c_str(), kEditorExe.c_str(), FALSE));
    PanelUnderWine::SetUp();
  }
  void TearDown() override {
    PanelUnderWine::TearDown();
    WIN32_FIND_DATAA found;
    HANDLE h = FindFirstFileA((kFolder + "\\*").c_str(), &found);
    if (h != INVALID_HANDLE_VALUE) {
      do {
        const std::string f = kFolder + "\\" + found.cFileName;
        SetFileAttributesA(f.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(f.c_str());
      } while (FindNextFileA(h, &found));
      FindClose(h);
    }
    RemoveDirectoryA(kFolder.c_str());
  }
  std::vector<SettingsRecord> initialSets() override {
    return {namedSet("Global Settings", "", 'Q'), namedSet("b"), namedSet("c", "c.exe"), namedSet("d"),
            namedSet("e")};
  }
};

TEST_F(PanelSets, RemoveAsksFirstThenMovesTheLastSetIntoTheHoleAndSavesSorted) {
  const UINT reload = RegisterWindowMessageA(kMsgReloadAllPreferences);
  std::mutex lock;
  std::vector<std::string> reloads;
  helper_ = std::make_unique<StandInWindow>(kHelperWindowClass, "", [&](UINT m, WPARAM w, LPARAM l, LRESULT&) {
    if (m == reload) {
      std::lock_guard g(lock);
      reloads.push_back(std::to_string(w) + " " + std::to_string(l));
    }
    return false;
  });
  startPanel();
  pickTargetApp(2);
  EXPECT_EQ(text(IDC_TARGETAPPBOX), "c");
  const auto before = fileBytes();
  chooseFromSettingsMenu("Down Down Down Down Return");
  EXPECT_EQ(answerBox("Confirm Request", "Cancel"), "Are you sure to remove current settings?");
  EXPECT_EQ(fileBytes(), before);
  EXPECT_EQ(text(IDC_TARGETAPPBOX), "c");

  chooseFromSettingsMenu("Down Down Down Down Return");
  EXPECT_EQ(answerBox("Confirm Request", "OK"), "Are you sure to remove current settings?");
  ASSERT_TRUE(waitUntil([&] { return namesInFile().size() == 4; }));
  EXPECT_EQ(namesInFile(), (std::vector<std::string>{"Global Settings", "b", "d", "e"}));
  EXPECT_TRUE(textBecomes(IDC_TARGETAPPBOX, "Global Settings"));
  EXPECT_EQ(targetAppEntries(), (std::vector<std::string>{"Global Settings", "b", "d", "e"}));
  EXPECT_EQ(selection(IDC_USERACTIONBOX), 0);
  EXPECT_NE(GetFileAttributesA(path_.c_str()) & FILE_ATTRIBUTE_HIDDEN, 0u);  // the settings file keeps its own
  std::lock_guard g(lock);
  EXPECT_EQ(reloads, std::vector<std::string>{"2 4"});
}

TEST_F(PanelSets, RenameCommitsOnEnterOnlyAndTheNextSaveWritesIt) {
  startPanel();
  pickTargetApp(1);
  struct Attempt {
    const char* typed;
    const char* end;  // xdotool keys, or "click" for a click elsewhere
    const char* shown;
  };
  const Attempt attempts[] = {{"Renamed", "key Escape", "b"}, {"Other", "click", "b"}, {"Bee", "key Return", "Bee"}};
  for (const Attempt& a : attempts) {
    SCOPED_TRACE(a.end);
    chooseFromSettingsMenu("Down Down Return");
    ASSERT_TRUE(waitUntil([&] { return IsWindowVisible(item(IDC_TARGETAPPEDITBOX)) != FALSE; }));
    EXPECT_FALSE(IsWindowVisible(item(IDC_TARGETAPPBOX)));
    EXPECT_EQ(text(IDC_TARGETAPPEDITBOX), "b");
    ASSERT_TRUE(XDo(std::string("type --delay 20 ") + a.typed));
    ASSERT_TRUE(textBecomes(IDC_TARGETAPPEDITBOX, a.typed));
    if (std::strcmp(a.end, "click") == 0) click(IDC_COMMENTBOX);
    else ASSERT_TRUE(XDo(a.end));
    ASSERT_TRUE(waitUntil([&] { return IsWindowVisible(item(IDC_TARGETAPPBOX)) != FALSE; }));
    EXPECT_FALSE(IsWindowVisible(item(IDC_TARGETAPPEDITBOX)));
    EXPECT_TRUE(textBecomes(IDC_TARGETAPPBOX, a.shown));
  }
  XScreenshot(shotPath("panel-renamed"));
  EXPECT_EQ(namesInFile()[1], "b");  // not before the next save
  click(IDC_SPEEDBUTTON1);
  ASSERT_TRUE(waitUntil([&] { return namesInFile()[1] == "Bee"; }));
}

TEST_F(PanelSets, ChangeTargetApplicationRefusesANameAutoSwitchCouldNeverMatch) {
  const std::string longName = kFolder + "\\" + std::string(40, 'L') + ".exe";
  ASSERT_TRUE(CopyFileA(kEditorExe.c_str(), longName.c_str(), FALSE));
  startPanel();
  pickTargetApp(2);  // "c", target c.exe
  chooseFromSettingsMenu("Down Down Down Return");
  answerFileDialog("Open", longName);
  EXPECT_EQ(answerBox("Target Application Selection", "OK"),
            "The program's file name '" + std::string(40, 'L') +
                ".exe' is longer than 32 characters: AutoSwitch could not recognise it. Nothing was "
                "changed; rename the program file or choose another one.");
  click(IDC_SPEEDBUTTON1);
  Sleep(300);
  EXPECT_EQ(fieldText(readSettings()[2].targetApp), "c.exe");
  chooseFromSettingsMenu("Down Down Down Return");
  answerFileDialog("Open", kEditorExe);
  click(IDC_SPEEDBUTTON1);
  ASSERT_TRUE(waitUntil([&] { return fieldText(readSettings()[2].targetApp) == "Editor.exe"; }));
  EXPECT_EQ(namesInFile()[2], "c");  // the name stays
}

struct ImportCase {
  const char* what;
  std::vector<std::uint8_t> bytes;
  const char* caption;
  const char* message;
};

TEST_F(PanelSets, ImportRefusesWhatIsNotOneExportedSetWithTheExactMessage) {
  SettingsRecord tool = namedSet("Tool", "tool.exe", 'T');
  auto cut = exportedBytes(tool);
  cut.pop_back();
  auto longer = exportedBytes(tool);
  longer.push_back(0);
  auto wrongMagic = exportedBytes(tool);
  wrongMagic[3] = 0;
  const char* unknown = "Unable to import file. Make sure that file is valid and you have right privileges.";
  const ImportCase cases[] = {
      {"6527 bytes", cut, "Error Importing Settings", unknown},
      {"6529 bytes", longer, "Error Importing Settings", unknown},
      {"wrong magic", wrongMagic, "Error Importing Settings", "Unable to import file. File format is not valid."},
  };
  startPanel();
  const auto before = fileBytes();
  for (const ImportCase& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = kFolder + "\\import.pref";
    ASSERT_TRUE(writeBytes(path, c.bytes));
    chooseFromFileMenu("i");
    answerFileDialog("Open", path);
    EXPECT_EQ(answerBox(c.caption, "OK"), c.message);
    EXPECT_EQ(fileBytes(), before);
    EXPECT_EQ(SendMessageA(item(IDC_TARGETAPPBOX), CB_GETCOUNT, 0, 0), 5);
  }
  // A whole exported set with its program: added as it is, selected, and saved at once.
  const std::string path = kFolder + "\\tool.pref";
  ASSERT_TRUE(writeBytes(path, exportedBytes(tool)));
  chooseFromFileMenu("i");
  answerFileDialog("Open", path);
  EXPECT_EQ(answerBox("Import Successfull", "OK"), "The settings have been successfully imported.");
  EXPECT_TRUE(textBecomes(IDC_TARGETAPPBOX, "Tool"));
  EXPECT_EQ(namesInFile(), (std::vector<std::string>{"Global Settings", "Tool", "b", "c", "d", "e"}));
  EXPECT_EQ(readSettings()[1].slots[kButton5Slot].keyCode, 'T');
}

TEST_F(PanelSets, ExportOfTheGlobalSetIsVisibleAndImportsAgainUnchangedAfterAskingForAProgram) {
  startPanel();
  chooseFromFileMenu("e");
  HWND save = waitForPanelWindow("#32770", "Save As");
  ASSERT_NE(save, nullptr);
  const auto texts = childTexts(save);
  EXPECT_NE(std::find(texts.begin(), texts.end(), "Global Settings.pref"), texts.end());
  XScreenshot(shotPath("panel-export-dialog"));
  // Over an existing visible file, which stays visible.
  const std::string path = kFolder + "\\global.pref";
  ASSERT_TRUE(writeBytes(path, {1, 2, 3}));
  answerFileDialog("Save As", path, true);
  ASSERT_TRUE(waitUntil([&] { return bytesOf(path).size() == kExportedFileSize; }));
  const DWORD attributes = GetFileAttributesA(path.c_str());
  EXPECT_EQ(attributes & FILE_ATTRIBUTE_HIDDEN, 0u);
  EXPECT_NE(attributes & FILE_ATTRIBUTE_ARCHIVE, 0u);
  const auto exported = bytesOf(path);
  SettingsRecord global = readSettings()[0];
  EXPECT_EQ(exported, exportedBytes(global));

  // Its target application is empty: the import asks for a program first.
  chooseFromFileMenu("i");
  answerFileDialog("Open", path);
  EXPECT_EQ(answerBox("Target Application Selection", "OK"),
            "After clicking OK, you'll have to locate a target application for your new settings");
  answerFileDialog("Open", kEditorExe);
  EXPECT_EQ(answerBox("Import Successfull", "OK"), "The settings have been successfully imported.");
  ASSERT_TRUE(waitUntil([&] { return readSettings().size() == 6; }));
  const auto sets = readSettings();
  EXPECT_EQ(fieldText(sets[1].name), "Global Settings");  // names are never checked for duplicates
  EXPECT_EQ(fieldText(sets[1].targetApp), "Editor.exe");
  EXPECT_EQ(std::memcmp(sets[1].slots, global.slots, sizeof global.slots), 0);
  EXPECT_EQ(selection(IDC_TARGETAPPBOX), 1);
}

TEST_F(PanelSets, ExportSettingsInfoFromBothMenusWritesAVisibleReport) {
  startPanel();
  pickTargetApp(2);
  const std::string fromFile = kFolder + "\\from file menu.txt";
  const std::string fromPopup = kFolder + "\\from pop-up.txt";
  chooseFromFileMenu("x");
  HWND save = waitForPanelWindow("#32770", "Save As");
  ASSERT_NE(save, nullptr);
  const auto texts = childTexts(save);
  EXPECT_NE(std::find(texts.begin(), texts.end(), "c.txt"), texts.end());
  answerFileDialog("Save As", fromFile);
  chooseFromSettingsMenu("End Return");
  answerFileDialog("Save As", fromPopup);
  for (const std::string& path : {fromFile, fromPopup}) {
    SCOPED_TRACE(path);
    ASSERT_TRUE(waitUntil([&] { return !bytesOf(path).empty(); }));
    const auto bytes = bytesOf(path);
    const std::string report(bytes.begin(), bytes.end());
    EXPECT_EQ(report.rfind("Orvanel RingDeck Settings\n\r\nc\r\n\r\n", 0), 0u);
    EXPECT_EQ(GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_HIDDEN, 0u);
  }
}

TEST_F(PanelSets, CreateDialogCancelAndARefusedProgramChangeNothing) {
  const std::string longName = kFolder + "\\" + std::string(33, 'n') + ".exe";
  ASSERT_TRUE(CopyFileA(kEditorExe.c_str(), longName.c_str(), FALSE));
  startPanel();
  const auto before = fileBytes();
  chooseFromSettingsMenu("Down Return");
  HWND dialog = waitForPanelWindow("TForm3", "Create New Settings");
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(windowText(GetDlgItem(dialog, IDC_COPYCURRENTRADIO)), "Copy From : 'Global Settings");
  EXPECT_EQ(SendMessageA(GetDlgItem(dialog, IDC_EMPTYRADIO), BM_GETCHECK, 0, 0), BST_CHECKED);
  XScreenshot(shotPath("panel-create-dialog"));
  ASSERT_TRUE(XClickWindow(GetDlgItem(dialog, IDC_FORM3CANCEL)));
  ASSERT_TRUE(waitUntil([&] { return !IsWindowVisible(dialog); }));
  EXPECT_EQ(windowText(GetDlgItem(dialog, IDC_COPYCURRENTRADIO)), "Copy From : '");

  chooseFromSettingsMenu("Down Return");
  ASSERT_EQ(waitForPanelWindow("TForm3", "Create New Settings"), dialog);
  ASSERT_TRUE(XClickWindow(GetDlgItem(dialog, IDC_FORM3OK)));
  // The program dialog cancelled: back to the choice.
  HWND open = waitForPanelWindow("#32770", "Open");
  ASSERT_NE(open, nullptr);
  SetForegroundWindow(open);
  ASSERT_TRUE(XDo("key Escape"));
  ASSERT_EQ(waitForPanelWindow("TForm3", "Create New Settings"), dialog);
  ASSERT_TRUE(XClickWindow(GetDlgItem(dialog, IDC_FORM3OK)));
  answerFileDialog("Open", longName);
  EXPECT_NE(answerBox("Target Application Selection", "OK").find("is longer than 32 characters"), std::string::npos);
  EXPECT_EQ(fileBytes(), before);
  EXPECT_EQ(SendMessageA(item(IDC_TARGETAPPBOX), CB_GETCOUNT, 0, 0), 5);
}

TEST_F(PanelSets, SetLevelEntriesAreOfferedOnlyForASetOtherThanTheGlobalOne) {
  startPanel();
  for (const bool global : {true, false}) {
    SCOPED_TRACE(global ? "global set" : "set b");
    if (!global) pickTargetApp(1);
    // "Rename Settings", the second entry of the pop-up menu.
    chooseFromSettingsMenu("Down Down");
    XScreenshot(shotPath(global ? "panel-settings-menu-global" : "panel-settings-menu-set"));
    ASSERT_TRUE(XDo("key Return"));
    const bool renaming = waitUntil([&] { return IsWindowVisible(item(IDC_TARGETAPPEDITBOX)) != FALSE; }, 1000);
    EXPECT_EQ(renaming, !global);
    // Whatever a grayed entry left open (the menu, or the next entry's dialog) is closed again.
    for (const char* title : {"Open", static_cast<const char*>(nullptr)})
      if (HWND w = panelWindow(title ? "#32770" : "#32768", title)) {
        SetForegroundWindow(w);
        XDo("key Escape");
        waitUntil([&] { return !IsWindowVisible(w); }, 2000);
      }
    if (renaming) {
      ASSERT_TRUE(XDo("key Escape"));
    }
    chooseFromFileMenu("");
    XScreenshot(shotPath(global ? "panel-file-menu-global" : "panel-file-menu-set"));
    ASSERT_TRUE(XDo("key Escape Escape"));
  }
}

// The whole per-application story: a set made for Editor.exe by copying the current set is
// listed by the helper, and with AutoSwitch the engine uses it when Editor.exe is in front.
class PanelCreatesASet : public PanelSets {
 protected:
  std::vector<SettingsRecord> initialSets() override {
    return {namedSet("Global Settings", "", 'Q'), namedSet("Zeta", "zeta.exe", 'Z')};
  }
};

TEST_F(PanelCreatesASet, FromEditorExeEndToEnd) {
  InputObserver observer;
  VirtualDevices devices;
  ChildProcess engine;
  ASSERT_TRUE(engine.start(kEngineVirtual, "-run"));
  ASSERT_TRUE(devices.waitForEngine());
  const int d = devices.plug(ringdeck::engine::kMakerVendor, ringdeck::engine::kMakerController);
  ASSERT_GE(d, 0);
  helper_.reset();
  ChildProcess helper;
  ASSERT_TRUE(helper.start(kHelperExe, ""));
  ASSERT_TRUE(waitUntil([] { return FindWindowA(kHelperWindowClass, nullptr) != nullptr; }, 10000));
  HelperState state;

  startPanel();
  pickTargetApp(1);
  chooseFromSettingsMenu("Down Return");
  HWND dialog = waitForPanelWindow("TForm3", "Create New Settings");
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(windowText(GetDlgItem(dialog, IDC_COPYCURRENTRADIO)), "Copy From : 'Zeta");
  ASSERT_TRUE(XClickWindow(GetDlgItem(dialog, IDC_COPYCURRENTRADIO)));
  ASSERT_TRUE(waitUntil([&] { return SendMessageA(GetDlgItem(dialog, IDC_COPYCURRENTRADIO), BM_GETCHECK, 0, 0) == BST_CHECKED; }));
  ASSERT_TRUE(XClickWindow(GetDlgItem(dialog, IDC_FORM3OK)));
  answerFileDialog("Open", kEditorExe);

  EXPECT_TRUE(textBecomes(IDC_TARGETAPPBOX, "Editor"));
  EXPECT_EQ(selection(IDC_TARGETAPPBOX), 1);  // in its sorted place
  EXPECT_EQ(targetAppEntries(), (std::vector<std::string>{"Global Settings", "Editor", "Zeta"}));
  const auto sets = readSettings();
  ASSERT_EQ(sets.size(), 3u);
  EXPECT_EQ(fieldText(sets[1].name), "Editor");
  EXPECT_EQ(fieldText(sets[1].targetApp), "Editor.exe");
  EXPECT_EQ(sets[1].slots[kButton5Slot].keyCode, 'Z');  // a copy of the current set
  XScreenshot(shotPath("panel-created"));

  // Editor.exe in front: the helper lists the new set, AutoSwitch has the engine use it, and
  // the device types the new set's keystroke.
  ChildProcess editor;
  ASSERT_TRUE(editor.start(kEditorExe, "HelperStandIn Editor"));
  HWND editorWindow = nullptr;
  ASSERT_TRUE(waitUntil([&] { return (editorWindow = FindWindowA("HelperStandIn", "Editor")) != nullptr; }, 10000));
  SetForegroundWindow(editorWindow);
  ASSERT_TRUE(waitUntil([&] { return ("\n" + state.query()).find("\ntip=Editor\n") != std::string::npos; }, 10000))
      << state.query();
  EXPECT_NE(state.query().find("11 [x] Editor"), std::string::npos) << state.query();
  observer.clear();
  const std::uint8_t press[8] = {0, 0, 0, 0, 0x10, 0, 0, 0};
  const std::uint8_t release[8] = {0, 0, 0, 0, 0, 0, 0, 0};
  ASSERT_TRUE(devices.send(d, release));
  Sleep(50);
  ASSERT_TRUE(devices.send(d, press));
  Sleep(50);
  ASSERT_TRUE(devices.send(d, release));
  ASSERT_TRUE(observer.waitForLines(2));
  EXPECT_EQ(observer.lines(), (std::vector<std::string>{"key 5A down extra=1", "key 5A up extra=1"}));

  if (HWND w = FindWindowA(kHelperWindowClass, nullptr)) SendMessageA(w, WM_COMMAND, 1, 0);
  helper.wait(5000);
  if (HWND w = FindWindowA(kEngineWindowClass, nullptr)) SendMessageA(w, WM_QUIT, 0, 0);
  engine.wait(5000);
}

}  // namespace
}  // namespace ringdeck::wine
