// RingDeckEngine: "-run" runs the engine, "-install" registers and starts it, "-remove" stops
// and unregisters it. The virtual-device build is made from the same sources; only the device
// source it links differs.
#include <windows.h>

#include <dbt.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <thread>

#include "command_line.h"
#include "device_source.h"
#include "device_table.h"
#include "engine.h"
#include "engine_setup_win32.h"
#include "input_sink_win32.h"
#include "message_filter.h"
#include "protocol.h"
#include "service_status.h"
#include "settings_io.h"
#include "shared_section.h"
#include "win32_file.h"
#include "win32_log.h"

namespace ringdeck::engine::win32 {
namespace {

using ringdeck::win32::logLastError;

constexpr const char* kEngineCaption = "RingDeck Engine";
constexpr const char* kEventSource = "RingDeckengine";

struct RegisteredMessages {
  UINT reportRequest = RegisterWindowMessageA(kMsgReportRequest);
  UINT reportNotify = RegisterWindowMessageA(kMsgReportNotify);
  UINT statusRequest = RegisterWindowMessageA(kMsgStatusRequest);
  UINT statusNotify = RegisterWindowMessageA(kMsgStatusNotify);
  UINT changeCurrent = RegisterWindowMessageA(kMsgChangeCurrentPreference);
  UINT reloadAll = RegisterWindowMessageA(kMsgReloadAllPreferences);
};

// SMTO_BLOCK: the waiting thread takes no other sent message meanwhile (the window thread stays
// out of its own handlers); SMTO_ABORTIFHUNG: a window the system already knows as hung is not
// waited for at all.
std::uintptr_t boundedSend(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  DWORD_PTR reply = kNoAnswer;
  if (!SendMessageTimeoutA(window, message, wParam, lParam, SMTO_BLOCK | SMTO_ABORTIFHUNG, kNotifyWaitMs,
                           &reply)) {
    return kNoAnswer;
  }
  return static_cast<std::uintptr_t>(reply);
}

class MessageSenders final : public ReportSender, public StatusSink, public WarningBox {
 public:
  explicit MessageSenders(const RegisteredMessages& m) : m_(m) {}
  // A receiver that hangs must not hang the sender: a reader thread would stop reading its
  // device, the window thread would stop acting on every device. A window that does not answer
  // in time counts as not having taken the report (and stops being the target); a helper that
  // does not answer is told again at the next change.
  std::uintptr_t sendReportNotify(WindowId target, std::uint32_t low, std::uint32_t high) override {
    return boundedSend(reinterpret_cast<HWND>(target), m_.reportNotify, low, static_cast<LPARAM>(high));
  }
  void statusNotify(std::uint32_t index, std::uint32_t count) override {
    if (HWND helper = FindWindowA(kHelperWindowClass, nullptr)) {
      boundedSend(helper, m_.statusNotify, index, static_cast<LPARAM>(count));
    }
  }
  void incompatibleDevice() override {
    MessageBoxA(nullptr, std::string(kIncompatibleDeviceText).c_str(),
                std::string(kIncompatibleDeviceCaption).c_str(), MB_OK | MB_ICONEXCLAMATION);
  }

 private:
  const RegisteredMessages& m_;
};

unsigned keyboardRepeatSpeed() {
  DWORD speed = 31;
  if (!SystemParametersInfoA(SPI_GETKEYBOARDSPEED, 0, &speed, 0)) logLastError("SystemParametersInfoA");
  return static_cast<unsigned>(speed);
}

// Everything the running engine owns. Made once and never destroyed: reader threads blocked on
// their devices may still use it until the process ends.
struct EngineProcess {
  explicit EngineProcess(const RegisteredMessages& m, std::string settingsPath)
      : messages(m),
        senders(m),
        devices(makeDeviceSource()),
        engine(EnginePorts{files, sections, input, timers, waker, senders, senders, *devices, senders},
               std::move(settingsPath)) {}

  const RegisteredMessages& messages;
  ringdeck::win32::Win32FileSystem files;
  NamedSectionFactory sections;
  SendInputSink input;
  WindowTimers timers;
  PostingWaker waker;
  MessageSenders senders;
  std::unique_ptr<DeviceSource> devices;
  Engine engine;
  bool stopping = false;  // WM_QUIT was sent to the window (window thread only)
};

[[noreturn]] void settingsFailure(const std::string& path) {
  MessageBoxA(nullptr, path.c_str(), kEngineCaption, MB_OK);
  ExitProcess(1);
}

void openArrivedDevice(EngineProcess& p, LPARAM lParam) {
  const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(lParam);
  if (!header || header->dbch_devicetype != DBT_DEVTYP_DEVICEINTERFACE) return;
  const auto* device = reinterpret_cast<const DEV_BROADCAST_DEVICEINTERFACE_A*>(header);
  if (p.engine.deviceArrived(device->dbcc_name) == OpenResult::ThreadFailed) ExitProcess(1);
}

LRESULT CALLBACK engineWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* p = reinterpret_cast<EngineProcess*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (!p) return DefWindowProcA(window, message, wParam, lParam);
  Engine& engine = p->engine;
  const RegisteredMessages& m = p->messages;

  switch (message) {
    case WM_CREATE:
      p->timers.attach(window);
      p->waker.attach(window);
      p->devices->watchArrivals(window);
      engine.setKeyboardRepeatSpeed(keyboardRepeatSpeed());
      break;
    case WM_QUIT:  // sent by "-remove"
      // WM_QUIT comes only once no posted message waits: stop the 0x414 messages so that a
      // device streaming reports cannot hold the engine off.
      p->waker.stop();
      p->stopping = true;
      PostQuitMessage(0);
      // GetMessage takes this sent message while it waits for a posted one: give it one, so
      // that the loop checks the flag at once, whoever takes the quit message first.
      PostMessageA(window, WM_NULL, 0, 0);
      return 0;
    case WM_SETTINGCHANGE:
      engine.setKeyboardRepeatSpeed(keyboardRepeatSpeed());
      break;
    case WM_TIMER:
      engine.onTimer(static_cast<std::uint16_t>(wParam));
      return 0;
    case WM_DEVICECHANGE:
      if (wParam == DBT_DEVICEARRIVAL) {
        openArrivedDevice(*p, lParam);
        return 0;
      }
      if (wParam == DBT_DEVICEREMOVECOMPLETE) return 0;  // its reader ends by itself
      break;
    case kMsgQueuedEvent: {
      if (p->stopping) return 0;  // what is queued is carried out as the loop ends
      p->waker.taken();
      engine.onQueuedEvent();
      // While events keep coming another 0x414 is always waiting, and the system makes WM_TIMER
      // only when no posted message waits: repeats and deferred releases that are due are
      // carried out here, between the batches of events, instead of after the flood.
      MSG due;
      for (int i = 0; i < 64 && PeekMessageA(&due, window, WM_TIMER, WM_TIMER, PM_REMOVE); ++i) {
        if (due.message == WM_QUIT) {
          // PeekMessage hands out WM_QUIT whatever the filter: put it back for the loop.
          PostQuitMessage(static_cast<int>(due.wParam));
          break;
        }
        DispatchMessageA(&due);
      }
      return 0;
    }
    default:
      if (message == m.reportRequest) {
        return static_cast<LRESULT>(engine.reportRequest(wParam, static_cast<WindowId>(lParam)));
      }
      if (message == m.statusRequest) {
        engine.statusRequest();
      } else if (message == m.changeCurrent) {
        engine.changeCurrentSet(static_cast<std::uint32_t>(wParam));
      } else if (message == m.reloadAll) {
        if (!engine.reloadSettings(static_cast<std::uint32_t>(wParam), static_cast<std::uint32_t>(lParam))) {
          settingsFailure(engine.settingsPath());
        }
      }
      break;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

// Creates the hidden window, opens the present devices and runs the message loop. Returns the
// exit status: 1 when the window or a reader thread cannot be had.
int runEngineWindow(EngineProcess& p) {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  WNDCLASSA cls{};
  cls.lpfnWndProc = engineWindowProc;
  cls.hInstance = instance;
  cls.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
  cls.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  cls.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  cls.lpszClassName = kEngineWindowClass;
  if (!RegisterClassA(&cls)) {
    logLastError("RegisterClassA");
    return 1;
  }
  HWND window = CreateWindowExA(0, kEngineWindowClass, kEngineCaption, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance, &p);
  if (!window) {
    logLastError("CreateWindowExA");
    return 1;
  }
  // An engine started as administrator still takes the requests of the helper and the control
  // panel, which run with the user's standard rights.
  const RegisteredMessages& m = p.messages;
  ringdeck::win32::AllowMessagesThroughFilter(
      window, {m.reportRequest, m.statusRequest, m.changeCurrent, m.reloadAll});
  if (p.engine.enumerateDevices() == OpenResult::ThreadFailed) return 1;

  MSG msg;
  while (!p.stopping && GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  // Keys the engine sent down would otherwise stay down system-wide.
  p.engine.releaseEverything();
  DestroyWindow(window);
  return 0;
}

// The service controller's entry points cannot carry a pointer of ours into ServiceMain, so
// this one record is reachable from there.
struct ServiceContext {
  EngineProcess* process = nullptr;
  SERVICE_STATUS_HANDLE handle = nullptr;
  ServiceStatusModel model;
  std::atomic<DWORD> workerThread{0};
  DWORD savedError = 0;
};
ServiceContext* g_service = nullptr;

void reportEvent(ServiceContext& s, const char* text) {
  s.savedError = GetLastError();
  HANDLE source = RegisterEventSourceA(nullptr, kEventSource);
  if (!source) return;
  MessageBeep(0);
  char line[128];
  std::snprintf(line, sizeof line, "%s error: %d", kEventSource, static_cast<int>(s.savedError));
  const char* strings[2] = {line, text};
  ReportEventA(source, EVENTLOG_ERROR_TYPE, 0, 0, nullptr, 2, 0, strings, nullptr);
  DeregisterEventSource(source);
}

bool reportStatus(ServiceContext& s, const ServiceStatusRecord& r) {
  SERVICE_STATUS status{r.serviceType, r.currentState, r.controlsAccepted, r.win32ExitCode,
                        r.serviceExitCode, r.checkPoint, r.waitHint};
  return SetServiceStatus(s.handle, &status) != FALSE;
}

DWORD WINAPI serviceControl(DWORD control, DWORD, LPVOID, LPVOID context) {
  auto& s = *static_cast<ServiceContext*>(context);
  if (control == SERVICE_CONTROL_STOP) {
    s.model.setState(ServiceState::StopPending);
    if (const DWORD worker = s.workerThread.load()) PostThreadMessageA(worker, WM_QUIT, 0, 0);
  }
  reportStatus(s, s.model.again(0, 0));
  return NO_ERROR;
}

void serviceWorker(ServiceContext& s) {
  s.workerThread = GetCurrentThreadId();
  if (!reportStatus(s, s.model.next(ServiceState::Running, 0, 0))) return;
  if (runEngineWindow(*s.process) != 0) ExitProcess(1);
  s.workerThread = 0;
  reportStatus(s, s.model.next(ServiceState::Stopped, s.savedError, 0));
}

void WINAPI serviceMain(DWORD, LPSTR*) {
  ServiceContext& s = *g_service;
  s.handle = RegisterServiceCtrlHandlerExA(kServiceName, serviceControl, &s);
  if (!s.handle) return;
  if (!reportStatus(s, s.model.next(ServiceState::StartPending, 0, 15000))) {
    reportStatus(s, s.model.next(ServiceState::Stopped, s.savedError, 0));
    return;
  }
  try {
    std::thread([&s] { serviceWorker(s); }).detach();
  } catch (...) {
    ExitProcess(1);
  }
}

int runMode(const RegisteredMessages& messages) {
  std::string path = settingsFilePath(ringdeck::win32::systemDirectory());
  auto* p = new EngineProcess(messages, path);
  if (!p->engine.loadSettings()) settingsFailure(path);

  switch (currentPlatform()) {
    case PlatformKind::NtSession:
      return runEngineWindow(*p);
    case PlatformKind::Windows9x: {
      // Registered as a service process, the engine outlives the user's log-off there; where
      // that cannot be had it runs all the same.
      using Register = DWORD(WINAPI*)(DWORD, DWORD);
      HMODULE kernel = LoadLibraryA("KERNEL32.DLL");
      auto registerProcess = kernel ? reinterpret_cast<Register>(
                                          reinterpret_cast<void*>(GetProcAddress(kernel, "RegisterServiceProcess")))
                                    : nullptr;
      if (registerProcess) registerProcess(0, 1);
      const int status = runEngineWindow(*p);
      if (registerProcess) registerProcess(0, 0);
      if (kernel) FreeLibrary(kernel);
      return status;
    }
    case PlatformKind::NtService: {
      static ServiceContext context;
      context.process = p;
      g_service = &context;
      char name[] = "RingDeckengine";
      SERVICE_TABLE_ENTRYA table[] = {{name, serviceMain}, {nullptr, nullptr}};
      if (!StartServiceCtrlDispatcherA(table)) reportEvent(context, "StartServiceCtrlDispatcher failed.");
      return 0;
    }
    case PlatformKind::Unknown:
      return 0;
  }
  return 0;
}

// The text after the program's name.
const char* arguments(const char* commandLine) {
  const char* c = commandLine;
  if (*c == '"') {
    ++c;
    while (*c && *c != '"') ++c;
    if (*c == '"') ++c;
  } else {
    while (*c && *c != ' ' && *c != '\t') ++c;
  }
  return c;
}

}  // namespace
}  // namespace ringdeck::engine::win32

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  using namespace ringdeck::engine;
  using namespace ringdeck::engine::win32;
  const RegisteredMessages messages;  // every mode registers the six messages first
  switch (scanCommandLine(arguments(GetCommandLineA()))) {
    case EngineCommand::Run:
      return runMode(messages);
    case EngineCommand::Install: {
      Win32ServiceControl services;
      Win32SetupDesktop desktop;
      return installEngine(currentPlatform(), services, desktop);
    }
    case EngineCommand::Remove: {
      Win32ServiceControl services;
      Win32SetupDesktop desktop;
      return removeEngine(currentPlatform(), services, desktop);
    }
    case EngineCommand::None:
      break;
  }
  return -1;
}
