#include "helper_window.h"

#include <shellapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstring>

#include "app_key.h"
#include "integrity_win32.h"
#include "message_filter.h"
#include "protocol.h"
#include "settings_io.h"
#include "win32_log.h"

namespace ringdeck::helper::win32 {
namespace {

constexpr const char* kCaption = "RingDeck Helper";
constexpr UINT kIconId = 1;

HWND toHwnd(WindowId w) { return reinterpret_cast<HWND>(w); }
WindowId toId(HWND h) { return reinterpret_cast<WindowId>(h); }

// The helper's program path, or empty when it does not fit MAX_PATH (a cut path names another
// file).
std::string ownProgramPath() {
  char path[MAX_PATH + 1] = {};
  const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) {
    ringdeck::win32::logLastError("GetModuleFileNameA");
    return {};
  }
  return std::string(path, n);
}

std::string folderOf(const std::string& path) {
  const auto cut = path.find_last_of('\\');
  return cut == std::string::npos ? std::string() : path.substr(0, cut);
}

// A module snapshot of a process; Wine and Windows may fail it briefly while the process loads
// modules (ERROR_BAD_LENGTH), so it is tried a few times.
HANDLE moduleSnapshot(DWORD processId) {
  for (int attempt = 0; attempt < 3; ++attempt) {
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE | TH32CS_SNAPMODULE32, processId);
    if (snap != INVALID_HANDLE_VALUE) return snap;
    if (GetLastError() != ERROR_BAD_LENGTH) break;
  }
  return INVALID_HANDLE_VALUE;
}

}  // namespace

std::string ownProgramName() {
  std::string name;
  HANDLE snap = moduleSnapshot(GetCurrentProcessId());
  if (snap != INVALID_HANDLE_VALUE) {
    MODULEENTRY32 entry{};
    entry.dwSize = sizeof entry;
    if (Module32First(snap, &entry)) name = entry.szModule;
    CloseHandle(snap);
  }
  if (name.empty()) {
    const std::string path = ownProgramPath();
    name = path.substr(path.find_last_of('\\') + 1);
  }
  return name.substr(0, kMaxAppNameLength);
}

HelperWindow::HelperWindow(HINSTANCE instance, std::string ownProgramName)
    : instance_(instance), ownProgramName_(std::move(ownProgramName)) {}

HelperWindow::~HelperWindow() {
  if (hwnd_) DestroyWindow(hwnd_);
}

std::optional<int> HelperWindow::start() {
  messages_.reloadAllPreferences = RegisterWindowMessageA(kMsgReloadAllPreferences);
  messages_.changeCurrentPreference = RegisterWindowMessageA(kMsgChangeCurrentPreference);
  messages_.statusNotify = RegisterWindowMessageA(kMsgStatusNotify);
  messages_.statusRequest = RegisterWindowMessageA(kMsgStatusRequest);
  messages_.stateQuery = RegisterWindowMessageA(kMsgStateQuery);

  WNDCLASSA wc{};
  wc.lpfnWndProc = &HelperWindow::windowProc;
  wc.hInstance = instance_;
  wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  wc.hIcon = LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_APPLICATION));
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  wc.lpszClassName = kHelperWindowClass;
  if (!RegisterClassA(&wc)) {
    ringdeck::win32::logLastError("RegisterClassA");
    return -1;
  }
  hwnd_ = CreateWindowExA(0, kHelperWindowClass, kCaption, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                          CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance_,
                          this);
  if (!hwnd_) {
    ringdeck::win32::logLastError("CreateWindowExA");
    return -1;
  }
  // A helper started as administrator still hears the engine, the control panel and the
  // notification area, which run with the user's standard rights.
  ringdeck::win32::AllowMessagesThroughFilter(
      hwnd_, {messages_.reloadAllPreferences, messages_.statusNotify, kNotifyCallback, WM_COMMAND});

  const bool timer = SetTimer(hwnd_, kTimerId, kTimerPeriodMs, nullptr) != 0;
  if (!timer) ringdeck::win32::logLastError("SetTimer");
  core_ = std::make_unique<HelperCore>(
      timer ? HelperMode::AutoSwitch : HelperMode::Plain,
      HelperCore::Ports{files_, settingsFilePath(ringdeck::win32::systemDirectory()), *this, *this,
                        *this},
      ownProgramName_);
  if (!core_->start()) return -1;
  core_->showInitialIcon();
  return std::nullopt;
}

void HelperWindow::finish() {
  if (core_) core_->removeIcon();
  if (hwnd_) {
    KillTimer(hwnd_, kTimerId);
    DestroyWindow(hwnd_);
    hwnd_ = nullptr;
  }
}

LRESULT CALLBACK HelperWindow::windowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* self = reinterpret_cast<HelperWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  // Messages before the core exists (creation) have nothing of the helper's own to do.
  if (self && self->core_) self->handle(msg, wParam, lParam);
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

void HelperWindow::handle(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_COMMAND:
      command(LOWORD(wParam));
      return;
    case WM_TIMER:
      if (wParam == kTimerId) core_->onTimer(*this);
      return;
    case kNotifyCallback:
      if (lParam == WM_LBUTTONUP || lParam == WM_RBUTTONUP) showMenu();
      return;
    case WM_QUIT:  // sent rather than posted
      PostQuitMessage(0);
      return;
    default:
      break;
  }
  // Status.Notify arrives again inside the sends of pick, start-up and AutoSwitch; the core
  // keeps nothing of one message for the next.
  if (msg == messages_.statusNotify) {
    core_->onStatusNotify(static_cast<std::uint32_t>(wParam), static_cast<std::uint32_t>(lParam));
  } else if (msg == messages_.reloadAllPreferences) {
    core_->onReload(static_cast<std::uint32_t>(wParam), static_cast<std::uint32_t>(lParam));
  } else if (msg == messages_.stateQuery) {
    answerStateQuery(reinterpret_cast<HWND>(wParam));
  }
}

void HelperWindow::command(UINT id) {
  switch (id) {
    case kCommandQuit:
      PostQuitMessage(0);
      return;
    case kCommandOpenPanel:
      startControlPanel();
      return;
    case kCommandHelp:
      openHelp();
      return;
    default:
      if (id >= kCommandFirstSet) core_->pick(id - kCommandFirstSet);
  }
}

void HelperWindow::showMenu() {
  // The menu is made from the core's model when it is shown, so it always matches the model.
  HMENU menu = CreatePopupMenu();
  if (!menu) {
    ringdeck::win32::logLastError("CreatePopupMenu");
    return;
  }
  for (const MenuEntry& e : core_->menu()) {
    if (e.separator) {
      AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    } else {
      AppendMenuA(menu, MF_STRING | (e.checked ? MF_CHECKED : MF_UNCHECKED), e.command,
                  e.label.c_str());
    }
  }
  POINT at{};
  GetCursorPos(&at);
  SetForegroundWindow(hwnd_);
  TrackPopupMenu(menu, 0, at.x, at.y, 0, hwnd_, nullptr);
  // Lets the menu close when the user clicks elsewhere next time.
  PostMessageA(hwnd_, WM_NULL, 0, 0);
  DestroyMenu(menu);
}

void HelperWindow::startControlPanel() {
  const std::string self = ownProgramPath();
  if (self.empty()) return;
  const std::string panel = folderOf(self) + "\\Orvanel RingDeck.exe";
  // The program is named on its own and quoted on the command line: an unquoted path with
  // spaces would let "C:\Program.exe" and the like run instead.
  std::string commandLine = "\"" + panel + "\"";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (CreateProcessA(panel.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                     CREATE_NEW_PROCESS_GROUP, nullptr, nullptr, &startup, &process)) {
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  } else {
    ringdeck::win32::logLastError("CreateProcessA");
  }
}

void HelperWindow::openHelp() {
  const std::string self = ownProgramPath();
  const std::string folder = folderOf(self);
  const std::string help = folder + "\\shuttle.chm";
  const auto result = reinterpret_cast<INT_PTR>(
      ShellExecuteA(hwnd_, nullptr, help.c_str(), nullptr, folder.c_str(), SW_RESTORE));
  if (self.empty() || result <= 32) {
    MessageBoxA(hwnd_, "Could not find Help file", "Help not Found", MB_OK);
  }
}

void HelperWindow::answerStateQuery(HWND asker) {
  if (!IsWindow(asker)) return;
  const std::string state = describeHelper(*core_);
  COPYDATASTRUCT data{};
  data.dwData = kStateCopyDataTag;
  data.cbData = static_cast<DWORD>(state.size());
  data.lpData = const_cast<char*>(state.data());
  // A diagnostic must never hang the helper on an asker that does not answer.
  DWORD_PTR result = 0;
  SendMessageTimeoutA(asker, WM_COPYDATA, reinterpret_cast<WPARAM>(hwnd_),
                      reinterpret_cast<LPARAM>(&data), SMTO_ABORTIFHUNG, 2000, &result);
}

bool HelperWindow::findEngine() {
  engine_ = FindWindowA(kEngineWindowClass, nullptr);
  return engine_ != nullptr;
}

void HelperWindow::sendStatusRequest() {
  if (engine_) SendMessageA(engine_, messages_.statusRequest, 0, 0);
}

void HelperWindow::sendChangeCurrentPreference(std::uint32_t record) {
  if (engine_) SendMessageA(engine_, messages_.changeCurrentPreference, record, 0);
}

bool HelperWindow::update(IconOperation op, IconImage image, const TooltipField& tip) {
  NOTIFYICONDATAA data{};
  data.cbSize = NOTIFYICONDATAA_V1_SIZE;
  data.hWnd = hwnd_;
  data.uID = kIconId;
  data.uFlags = NIF_MESSAGE | NIF_ICON | (tip.present ? NIF_TIP : 0);
  data.uCallbackMessage = kNotifyCallback;
  data.hIcon = LoadIconA(instance_, MAKEINTRESOURCEA(static_cast<WORD>(image)));
  // The record of the first shell version: its tooltip field is 64 bytes.
  static_assert(sizeof data.szTip >= sizeof tip.text);
  std::memcpy(data.szTip, tip.text.data(), sizeof tip.text);
  const DWORD operation = op == IconOperation::Add      ? NIM_ADD
                          : op == IconOperation::Modify ? NIM_MODIFY
                                                        : NIM_DELETE;
  if (!Shell_NotifyIconA(operation, &data)) {
    ringdeck::win32::logLastError("Shell_NotifyIconA");
    return false;
  }
  return true;
}

void HelperWindow::balloon(std::string_view title, std::string_view text) {
  // The balloon fields came with the second version of the record (every system with
  // integrity levels has them).
  NOTIFYICONDATAA data{};
  data.cbSize = NOTIFYICONDATAA_V2_SIZE;
  data.hWnd = hwnd_;
  data.uID = kIconId;
  data.uFlags = NIF_INFO;
  std::memcpy(data.szInfoTitle, title.data(), std::min(title.size(), sizeof data.szInfoTitle - 1));
  std::memcpy(data.szInfo, text.data(), std::min(text.size(), sizeof data.szInfo - 1));
  data.uTimeout = 15000;
  data.dwInfoFlags = NIIF_WARNING;
  if (!Shell_NotifyIconA(NIM_MODIFY, &data)) ringdeck::win32::logLastError("Shell_NotifyIconA");
}

void HelperWindow::cannotOpenSettings() {
  MessageBoxA(nullptr, "Cannot open settings file.", kCaption, MB_OK);
}

WindowId HelperWindow::foregroundWindow() { return toId(GetForegroundWindow()); }

FocusChain HelperWindow::focusChain(WindowId foreground) {
  // GetFocus answers for the calling thread's input state only: share the foreground thread's.
  const DWORD own = GetCurrentThreadId();
  const DWORD other = GetWindowThreadProcessId(toHwnd(foreground), nullptr);
  const bool attached = other != 0 && other != own && AttachThreadInput(own, other, TRUE);
  FocusChain chain;
  HWND w = GetFocus();
  chain.focus = toId(w);
  for (int i = 0; w && i < 32; ++i) {
    char name[81] = {};
    GetClassNameA(w, name, 80);
    chain.classNames.emplace_back(name);
    w = GetParent(w);
  }
  if (attached) AttachThreadInput(own, other, FALSE);
  return chain;
}

std::vector<std::string> HelperWindow::moduleNames(WindowId window) {
  OutputDebugStringA("GetFocusProcessName\n");
  DWORD processId = 0;
  GetWindowThreadProcessId(toHwnd(window), &processId);
  std::vector<std::string> names;
  HANDLE snap = moduleSnapshot(processId);
  if (snap == INVALID_HANDLE_VALUE) return names;
  MODULEENTRY32 entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Module32First(snap, &entry); more; more = Module32Next(snap, &entry)) {
    entry.szModule[sizeof entry.szModule - 1] = '\0';
    names.emplace_back(entry.szModule);
  }
  CloseHandle(snap);
  return names;
}

ForegroundProbe::Program HelperWindow::programOf(WindowId window) {
  DWORD processId = 0;
  GetWindowThreadProcessId(toHwnd(window), &processId);
  return {programFileName(processId), processIntegrity(processId)};
}

IntegrityReading HelperWindow::ownIntegrity() {
  if (!ownIntegrity_) ownIntegrity_ = processIntegrity(GetCurrentProcessId());
  return *ownIntegrity_;
}

ForegroundProbe::Engine HelperWindow::engineIntegrity() {
  // Looked up here on its own: the engine handle for the sends stays as the rules keep it.
  HWND engine = FindWindowA(kEngineWindowClass, nullptr);
  if (!engine) return {};
  DWORD processId = 0;
  GetWindowThreadProcessId(engine, &processId);
  return {true, processIntegrity(processId)};
}

}  // namespace ringdeck::helper::win32
