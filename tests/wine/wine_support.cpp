#include "wine_support.h"

#include <algorithm>
#include <cstdio>

#include "virtual_device_protocol.h"

namespace ringdeck::wine {

std::string programDirectory() {
  char path[MAX_PATH];
  const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string dir(path, n);
  return dir.substr(0, dir.find_last_of("\\/") + 1);
}

std::string windowsPath(const std::string& unixPath) {
  std::string p = "Z:" + unixPath;
  std::replace(p.begin(), p.end(), '/', '\\');
  return p;
}

ChildProcess::~ChildProcess() {
  if (info_.hProcess) {
    if (running()) {
      TerminateProcess(info_.hProcess, 9);
      WaitForSingleObject(info_.hProcess, 5000);
    }
    CloseHandle(info_.hProcess);
    CloseHandle(info_.hThread);
  }
}

bool ChildProcess::start(const std::string& exe, const std::string& arguments) {
  std::string line = "\"" + exe + "\" " + arguments;
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  return CreateProcessA(exe.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &info_) != FALSE;
}

std::optional<DWORD> ChildProcess::wait(DWORD timeoutMs) {
  if (!info_.hProcess) return std::nullopt;
  if (WaitForSingleObject(info_.hProcess, timeoutMs) != WAIT_OBJECT_0) {
    TerminateProcess(info_.hProcess, 9);
    WaitForSingleObject(info_.hProcess, 5000);
    return std::nullopt;
  }
  DWORD code = 0;
  GetExitCodeProcess(info_.hProcess, &code);
  return code;
}

bool ChildProcess::running() const {
  return info_.hProcess && WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT;
}

double nowMs() {
  static const double perMs = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return static_cast<double>(f.QuadPart) / 1000.0;
  }();
  LARGE_INTEGER c;
  QueryPerformanceCounter(&c);
  return static_cast<double>(c.QuadPart) / perMs;
}

bool waitUntil(const std::function<bool()>& pred, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  for (;;) {
    // Messages first: what the predicate waits for may be sitting in this thread's queue.
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    if (pred()) return true;
    if (GetTickCount() - start > timeoutMs) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
}

// ---- InputObserver

namespace {
// Low-level hooks take no context: the one observer of this process.
InputObserver* g_observer = nullptr;
std::function<void(std::string)> g_record;

char* hex2(char* out, unsigned v) {
  std::snprintf(out, 3, "%02X", v & 0xFF);
  return out;
}

LRESULT CALLBACK keyboardHook(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HC_ACTION && g_record) {
    const auto* k = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
    if (k->flags & LLKHF_INJECTED) {
      char vk[3];
      std::string line = std::string("key ") + hex2(vk, k->vkCode) + ((k->flags & LLKHF_UP) ? " up" : " down");
      if (k->flags & LLKHF_EXTENDED) line += " ext";
      line += " extra=" + std::to_string(k->dwExtraInfo);
      g_record(line);
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

LRESULT CALLBACK mouseHook(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HC_ACTION && wParam == WM_MOUSEWHEEL && g_record) {
    const auto* m = reinterpret_cast<const MSLLHOOKSTRUCT*>(lParam);
    const auto delta = static_cast<short>(HIWORD(m->mouseData));
    g_record("wheel " + std::to_string(delta) + " extra=" + std::to_string(m->dwExtraInfo));
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}
}  // namespace

InputObserver::InputObserver() {
  g_observer = this;
  g_record = [this](std::string line) {
    if (onLine) onLine(line);
    std::lock_guard l(m_);
    lines_.push_back(std::move(line));
    cv_.notify_all();
  };
  thread_ = std::thread([this] { run(); });
  while (!ready_) Sleep(1);
}

InputObserver::~InputObserver() {
  PostThreadMessageA(threadId_, WM_QUIT, 0, 0);
  thread_.join();
  g_record = nullptr;
  g_observer = nullptr;
}

void InputObserver::run() {
  threadId_ = GetCurrentThreadId();
  MSG msg;
  PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);  // make the thread's queue
  HINSTANCE instance = GetModuleHandleA(nullptr);
  HHOOK keys = SetWindowsHookExA(WH_KEYBOARD_LL, keyboardHook, instance, 0);
  HHOOK mouse = SetWindowsHookExA(WH_MOUSE_LL, mouseHook, instance, 0);
  ready_ = true;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
  if (keys) UnhookWindowsHookEx(keys);
  if (mouse) UnhookWindowsHookEx(mouse);
}

std::vector<std::string> InputObserver::lines() {
  std::lock_guard l(m_);
  return lines_;
}

void InputObserver::clear() {
  std::lock_guard l(m_);
  lines_.clear();
}

bool InputObserver::waitForLines(std::size_t n, DWORD timeoutMs) {
  std::unique_lock l(m_);
  return cv_.wait_for(l, std::chrono::milliseconds(timeoutMs), [&] { return lines_.size() >= n; });
}

std::vector<std::string> InputObserver::settledLines(DWORD quietMs) {
  std::size_t n = lines().size();
  for (;;) {
    Sleep(quietMs);
    const std::size_t now = lines().size();
    if (now == n) return lines();
    n = now;
  }
}

std::set<std::string> heldKeys(const std::vector<std::string>& lines) {
  std::set<std::string> down;
  for (const std::string& line : lines) {
    if (line.rfind("key ", 0) != 0) continue;
    const std::string vk = line.substr(4, 2);
    const bool ext = line.find(" ext ") != std::string::npos;
    const std::string key = ext ? vk + " ext" : vk;
    if (line.find(" down") != std::string::npos) {
      down.insert(key);
    } else {
      down.erase(key);
    }
  }
  return down;
}

// ---- VirtualDevices

namespace {
bool overlappedWait(HANDLE h, OVERLAPPED& ov, BOOL started, DWORD timeoutMs) {
  if (started) return true;
  const DWORD e = GetLastError();
  if (e == ERROR_PIPE_CONNECTED) return true;
  if (e != ERROR_IO_PENDING) return false;
  if (WaitForSingleObject(ov.hEvent, timeoutMs) != WAIT_OBJECT_0) {
    CancelIo(h);
    return false;
  }
  DWORD n;
  return GetOverlappedResult(h, &ov, &n, FALSE) != FALSE;
}

bool writeMessage(HANDLE h, const void* bytes, DWORD size) {
  OVERLAPPED ov{};
  ov.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  DWORD n = 0;
  const bool ok = overlappedWait(h, ov, WriteFile(h, bytes, size, &n, &ov), 5000);
  CloseHandle(ov.hEvent);
  return ok;
}

HANDLE makePipe(const char* name) {
  return CreateNamedPipeA(name, PIPE_ACCESS_OUTBOUND | FILE_FLAG_OVERLAPPED, PIPE_TYPE_MESSAGE | PIPE_WAIT, 1,
                          4096, 4096, 0, nullptr);
}

bool connect(HANDLE pipe, DWORD timeoutMs) {
  OVERLAPPED ov{};
  ov.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  const bool ok = overlappedWait(pipe, ov, ConnectNamedPipe(pipe, &ov), timeoutMs);
  CloseHandle(ov.hEvent);
  return ok;
}
}  // namespace

VirtualDevices::VirtualDevices() {
  hub_ = makePipe(engine::kVirtualHubPipe);
  if (hub_ != INVALID_HANDLE_VALUE) {
    hubWaiter_ = std::thread([this] { hubConnected_ = connect(hub_, 60000); });
  }
}

VirtualDevices::~VirtualDevices() {
  for (int i = 0; i < static_cast<int>(devices_.size()); ++i) unplug(i);
  if (hub_ != INVALID_HANDLE_VALUE) {
    CancelIoEx(hub_, nullptr);
    if (hubWaiter_.joinable()) hubWaiter_.join();
    DisconnectNamedPipe(hub_);
    CloseHandle(hub_);
  }
}

bool VirtualDevices::waitForEngine(DWORD timeoutMs) {
  return waitUntil([&] { return hubConnected_.load(); }, timeoutMs);
}

int VirtualDevices::plug(std::uint16_t vendor, std::uint16_t product, DWORD timeoutMs) {
  const std::string name = "\\\\.\\pipe\\RingDeck.VirtualDevice." + std::to_string(GetCurrentProcessId()) + "." +
                           std::to_string(next_++);
  HANDLE pipe = makePipe(name.c_str());
  if (pipe == INVALID_HANDLE_VALUE) return -1;
  if (!writeMessage(hub_, name.data(), static_cast<DWORD>(name.size())) || !connect(pipe, timeoutMs)) {
    CloseHandle(pipe);
    return -1;
  }
  std::uint8_t hello[engine::kVirtualHelloSize];
  engine::makeVirtualHello({vendor, product}, hello);
  writeMessage(pipe, hello, sizeof hello);
  devices_.push_back(pipe);
  return static_cast<int>(devices_.size()) - 1;
}

bool VirtualDevices::send(int device, const std::uint8_t (&report)[8]) { return sendRaw(device, report, 8); }

bool VirtualDevices::sendRaw(int device, const void* bytes, DWORD size) {
  return deviceOpen(device) && writeMessage(devices_[static_cast<std::size_t>(device)], bytes, size);
}

void VirtualDevices::unplug(int device) {
  if (!deviceOpen(device)) return;
  HANDLE& h = devices_[static_cast<std::size_t>(device)];
  DisconnectNamedPipe(h);
  CloseHandle(h);
  h = INVALID_HANDLE_VALUE;
}

bool VirtualDevices::deviceOpen(int device) const {
  return device >= 0 && device < static_cast<int>(devices_.size()) &&
         devices_[static_cast<std::size_t>(device)] != INVALID_HANDLE_VALUE;
}

// ---- StandInWindow

StandInWindow::StandInWindow(const char* className, const char* title, Handler handler)
    : className_(className), handler_(std::move(handler)) {
  std::string windowTitle = title ? title : "";
  thread_ = std::thread([this, windowTitle] {
    threadId_ = GetCurrentThreadId();
    WNDCLASSA cls{};
    cls.lpfnWndProc = proc;
    cls.hInstance = GetModuleHandleA(nullptr);
    cls.lpszClassName = className_.c_str();
    RegisterClassA(&cls);  // already registered by an earlier stand-in: fine
    HWND w = CreateWindowExA(0, className_.c_str(), windowTitle.c_str(), WS_OVERLAPPED, 0, 0, 10, 10, nullptr,
                             nullptr, GetModuleHandleA(nullptr), this);
    window_ = w;
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
  });
  while (!window_) Sleep(1);
}

StandInWindow::~StandInWindow() {
  PostMessageA(window_, WM_CLOSE, 0, 0);
  thread_.join();
}

LRESULT CALLBACK StandInWindow::proc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    SetWindowLongPtrA(w, GWLP_USERDATA,
                      reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTA*>(lp)->lpCreateParams));
  }
  auto* self = reinterpret_cast<StandInWindow*>(GetWindowLongPtrA(w, GWLP_USERDATA));
  if (msg == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  LRESULT reply = 0;
  if (self && self->handler_ && self->handler_(msg, wp, lp, reply)) return reply;
  return DefWindowProcA(w, msg, wp, lp);
}

// ---- MessageBoxWatcher

namespace {
struct BoxSearch {
  const std::string* caption;
  std::vector<HWND> boxes;
};

BOOL CALLBACK findBoxes(HWND w, LPARAM lp) {
  auto& s = *reinterpret_cast<BoxSearch*>(lp);
  char cls[32] = {};
  char title[256] = {};
  GetClassNameA(w, cls, sizeof cls);
  GetWindowTextA(w, title, sizeof title);
  if (std::string(cls) == "#32770" && *s.caption == title) s.boxes.push_back(w);
  return TRUE;
}

BOOL CALLBACK longestStatic(HWND w, LPARAM lp) {
  auto& text = *reinterpret_cast<std::string*>(lp);
  char cls[32] = {};
  GetClassNameA(w, cls, sizeof cls);
  if (std::string(cls) == "Static") {
    char buffer[2048] = {};
    GetWindowTextA(w, buffer, sizeof buffer);
    if (std::string(buffer).size() > text.size()) text = buffer;
  }
  return TRUE;
}
}  // namespace

MessageBoxWatcher::MessageBoxWatcher(std::string caption) : caption_(std::move(caption)) {
  thread_ = std::thread([this] {
    std::set<HWND> seen;
    while (!stop_) {
      BoxSearch search{&caption_, {}};
      EnumWindows(findBoxes, reinterpret_cast<LPARAM>(&search));
      for (HWND box : search.boxes) {
        if (!seen.insert(box).second) continue;
        std::string text;
        EnumChildWindows(box, longestStatic, reinterpret_cast<LPARAM>(&text));
        {
          std::lock_guard l(m_);
          texts_.push_back(text);
        }
        PostMessageA(box, WM_COMMAND, IDOK, 0);
      }
      Sleep(20);
    }
  });
}

MessageBoxWatcher::~MessageBoxWatcher() {
  stop_ = true;
  thread_.join();
}

std::vector<std::string> MessageBoxWatcher::texts() {
  std::lock_guard l(m_);
  return texts_;
}

bool MessageBoxWatcher::waitForBoxes(std::size_t n, DWORD timeoutMs) {
  return waitUntil([&] { return texts().size() >= n; }, timeoutMs);
}

}  // namespace ringdeck::wine
