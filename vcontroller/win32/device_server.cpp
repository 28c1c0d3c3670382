#include "device_server.h"

#include "virtual_device_protocol.h"

namespace ringdeck::vcontroller {
namespace {

// How long the engine may take to open a pipe it was told about, and to take a message.
constexpr DWORD kOpenTimeoutMs = 5000;
constexpr DWORD kWriteTimeoutMs = 2000;
// How often the pipes are looked at while nothing happens, so that an engine that went away
// shows without waiting for the next touch and a new one finds the hub free.
constexpr DWORD kProbeMs = 250;

HANDLE makePipe(const char* name, bool first) {
  // Outbound only: the engine reads, and nothing it could write is ever read. Local clients
  // only. The default security lets the engine open it from the person's account or as a service.
  return CreateNamedPipeA(name, PIPE_ACCESS_OUTBOUND | FILE_FLAG_OVERLAPPED | (first ? FILE_FLAG_FIRST_PIPE_INSTANCE : 0),
                          PIPE_TYPE_MESSAGE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS, 1, 4096, 4096, 0, nullptr);
}

}  // namespace

DeviceServer::DeviceServer(Notify notify) : notify_(std::move(notify)) {}

DeviceServer::~DeviceServer() {
  if (thread_.joinable()) {
    post(Command{Command::Stop, -1, {}});
    if (stop_) SetEvent(stop_);
    thread_.join();
  }
  for (HANDLE h : {hub_, hubConnect_.hEvent, wake_, stop_}) {
    if (h && h != INVALID_HANDLE_VALUE) CloseHandle(h);
  }
}

bool DeviceServer::start() {
  hub_ = makePipe(engine::kVirtualHubPipe, true);
  if (hub_ == INVALID_HANDLE_VALUE) {
    error_ = GetLastError();
    return false;
  }
  hubConnect_.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  wake_ = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  stop_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  if (!hubConnect_.hEvent || !wake_ || !stop_) {
    error_ = GetLastError();
    return false;
  }
  thread_ = std::thread([this] { run(); });
  return true;
}

int DeviceServer::add(std::uint16_t vendor, std::uint16_t product) {
  std::lock_guard lock(m_);
  if (count_ >= kMaxControllers) return -1;
  Controller& c = controllers_[static_cast<std::size_t>(count_)];
  c.vendor = vendor;
  c.product = product;
  states_[static_cast<std::size_t>(count_)] = PlugState::Unplugged;
  return count_++;
}

void DeviceServer::plug(int controller) { post(Command{Command::Plug, controller, {}}); }
void DeviceServer::unplug(int controller) { post(Command{Command::Unplug, controller, {}}); }
void DeviceServer::send(int controller, const Report& report) { post(Command{Command::Send, controller, report}); }

PlugState DeviceServer::state(int controller) const {
  std::lock_guard lock(m_);
  return controller >= 0 && controller < count_ ? states_[static_cast<std::size_t>(controller)] : PlugState::Unplugged;
}

void DeviceServer::post(const Command& c) {
  {
    std::lock_guard lock(m_);
    if (c.kind != Command::Stop && (c.controller < 0 || c.controller >= count_)) return;
    queue_.push_back(c);
  }
  if (wake_) SetEvent(wake_);
}

void DeviceServer::run() {
  startHubConnect();
  for (;;) {
    std::deque<Command> batch;
    int count = 0;
    {
      std::lock_guard lock(m_);
      batch.swap(queue_);
      count = count_;
    }
    for (const Command& c : batch) {
      if (c.kind == Command::Stop) {
        for (int i = 0; i < count; ++i) lose(i, PlugState::Unplugged);
        if (hubPending_) CancelIo(hub_);
        DisconnectNamedPipe(hub_);
        return;
      }
      handle(c);
    }

    if (hubPending_ && WaitForSingleObject(hubConnect_.hEvent, 0) == WAIT_OBJECT_0) {
      DWORD n = 0;
      hubPending_ = false;
      hubConnected_ = GetOverlappedResult(hub_, &hubConnect_, &n, FALSE) != FALSE;
      if (!hubConnected_) hubLost();
    } else if (!hubPending_ && !hubConnected_) {
      startHubConnect();
    }
    for (int i = 0; i < count && hubConnected_; ++i) {
      const Controller& c = controllers_[static_cast<std::size_t>(i)];
      if (c.wanted && c.pipe == INVALID_HANDLE_VALUE) announce(i);
    }

    HANDLE events[] = {wake_, stop_, hubConnect_.hEvent};
    if (WaitForMultipleObjects(hubPending_ ? 3 : 2, events, FALSE, kProbeMs) != WAIT_TIMEOUT) continue;

    // An empty message is skipped by the engine on every pipe: written while nothing else is, it
    // shows whether the engine is still there, so that a new one is waited for and served.
    const char nothing = 0;
    for (int i = 0; i < count; ++i) {
      const Controller& c = controllers_[static_cast<std::size_t>(i)];
      if (c.pipe != INVALID_HANDLE_VALUE && !writeTo(c.pipe, &nothing, 0, kWriteTimeoutMs)) {
        lose(i, PlugState::WaitingForEngine);
      }
    }
    if (hubConnected_ && !writeTo(hub_, &nothing, 0, kWriteTimeoutMs)) hubLost();
  }
}

void DeviceServer::handle(const Command& cmd) {
  Controller& c = controllers_[static_cast<std::size_t>(cmd.controller)];
  switch (cmd.kind) {
    case Command::Plug:
      c.wanted = true;
      if (c.pipe == INVALID_HANDLE_VALUE) setState(cmd.controller, PlugState::WaitingForEngine);
      break;
    case Command::Unplug:
      c.wanted = false;
      lose(cmd.controller, PlugState::Unplugged);
      break;
    case Command::Send:
      c.last = cmd.report;
      if (c.pipe != INVALID_HANDLE_VALUE && !writeTo(c.pipe, cmd.report.data(), 8, kWriteTimeoutMs)) {
        lose(cmd.controller, PlugState::WaitingForEngine);
      }
      break;
    case Command::Stop:
      break;
  }
}

void DeviceServer::startHubConnect() {
  ResetEvent(hubConnect_.hEvent);
  if (ConnectNamedPipe(hub_, &hubConnect_)) {
    hubConnected_ = true;
    return;
  }
  const DWORD e = GetLastError();
  if (e == ERROR_IO_PENDING) {
    hubPending_ = true;
  } else if (e == ERROR_PIPE_CONNECTED) {
    hubConnected_ = true;
  } else {
    // An engine that came and went before it was seen: free the hub for the next one (the
    // loop tries again).
    DisconnectNamedPipe(hub_);
  }
}

void DeviceServer::hubLost() {
  if (hubPending_) CancelIo(hub_);
  hubPending_ = false;
  hubConnected_ = false;
  DisconnectNamedPipe(hub_);
  startHubConnect();
}

bool DeviceServer::announce(int controller) {
  Controller& c = controllers_[static_cast<std::size_t>(controller)];
  const std::string name = "\\\\.\\pipe\\RingDeck.VirtualController." + std::to_string(GetCurrentProcessId()) + "." +
                           std::to_string(nextPipe_++);
  HANDLE pipe = makePipe(name.c_str(), true);
  if (pipe == INVALID_HANDLE_VALUE) return false;
  if (!writeTo(hub_, name.data(), static_cast<DWORD>(name.size()), kWriteTimeoutMs)) {
    // The engine that held the hub is gone: wait for the next one.
    CloseHandle(pipe);
    hubLost();
    return false;
  }
  OVERLAPPED ov{};
  ov.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  bool opened = false;
  if (ConnectNamedPipe(pipe, &ov)) {
    opened = true;
  } else if (GetLastError() == ERROR_PIPE_CONNECTED) {
    opened = true;
  } else if (GetLastError() == ERROR_IO_PENDING) {
    HANDLE events[] = {ov.hEvent, stop_};
    if (WaitForMultipleObjects(2, events, FALSE, kOpenTimeoutMs) == WAIT_OBJECT_0) {
      DWORD n = 0;
      opened = GetOverlappedResult(pipe, &ov, &n, FALSE) != FALSE;
    } else {
      CancelIo(pipe);
      DWORD n = 0;
      GetOverlappedResult(pipe, &ov, &n, TRUE);
    }
  }
  CloseHandle(ov.hEvent);
  std::uint8_t hello[engine::kVirtualHelloSize];
  engine::makeVirtualHello({c.vendor, c.product}, hello);
  // The first report is the device at rest, the baseline; then whatever the person holds now.
  const Report rest = BuildReport(0, c.last[2], 0);
  if (!opened || !writeTo(pipe, hello, sizeof hello, kWriteTimeoutMs) ||
      !writeTo(pipe, rest.data(), 8, kWriteTimeoutMs) ||
      (c.last != rest && !writeTo(pipe, c.last.data(), 8, kWriteTimeoutMs))) {
    CloseHandle(pipe);
    if (!opened) hubLost();  // whoever read the announcement did not come
    return false;
  }
  c.pipe = pipe;
  setState(controller, PlugState::PluggedIn);
  return true;
}

void DeviceServer::lose(int controller, PlugState next) {
  Controller& c = controllers_[static_cast<std::size_t>(controller)];
  if (c.pipe != INVALID_HANDLE_VALUE) {
    // Closed without disconnecting: what was written is still read before the engine sees the
    // device go.
    CloseHandle(c.pipe);
    c.pipe = INVALID_HANDLE_VALUE;
  }
  setState(controller, next);
}

void DeviceServer::setState(int controller, PlugState s) {
  Controller& c = controllers_[static_cast<std::size_t>(controller)];
  if (c.state == s) return;
  c.state = s;
  {
    std::lock_guard lock(m_);
    states_[static_cast<std::size_t>(controller)] = s;
  }
  if (notify_) notify_(controller, s);
}

bool DeviceServer::writeTo(HANDLE pipe, const void* bytes, DWORD size, DWORD timeoutMs) {
  OVERLAPPED ov{};
  ov.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  if (!ov.hEvent) return false;
  DWORD n = 0;
  bool ok = WriteFile(pipe, bytes, size, &n, &ov) != FALSE;
  if (!ok && GetLastError() == ERROR_IO_PENDING) {
    if (WaitForSingleObject(ov.hEvent, timeoutMs) == WAIT_OBJECT_0) {
      ok = GetOverlappedResult(pipe, &ov, &n, FALSE) != FALSE;
    } else {
      CancelIo(pipe);
      GetOverlappedResult(pipe, &ov, &n, TRUE);
    }
  }
  CloseHandle(ov.hEvent);
  return ok && n == size;
}

}  // namespace ringdeck::vcontroller
