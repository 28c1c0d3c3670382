// The virtual-device build's devices: named pipes served by a test or a demo (see
// docs/virtual-device.md). A hub pipe announces each arriving device by the name of its own
// pipe; the device pipe says its vendor and product once and then carries 8-byte reports;
// closing it unplugs the device.
#include <windows.h>

#include <dbt.h>

#include <cstring>
#include <thread>
#include <vector>

#include "device_source.h"
#include "virtual_device_protocol.h"
#include "win32_log.h"

namespace ringdeck::engine::win32 {
namespace {

HANDLE connectMessagePipe(const char* name) {
  HANDLE h = CreateFileA(name, GENERIC_READ | FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return h;
  DWORD mode = PIPE_READMODE_MESSAGE;
  if (!SetNamedPipeHandleState(h, &mode, nullptr, nullptr)) {
    ringdeck::win32::logLastError("SetNamedPipeHandleState");
    CloseHandle(h);
    return INVALID_HANDLE_VALUE;
  }
  return h;
}

// Reads one whole message; a longer one than the buffer is consumed and reported as too long.
bool readMessage(HANDLE h, std::uint8_t* buffer, DWORD size, DWORD& got, bool& tooLong) {
  tooLong = false;
  if (ReadFile(h, buffer, size, &got, nullptr)) return true;
  if (GetLastError() != ERROR_MORE_DATA) return false;
  tooLong = true;
  std::uint8_t rest[256];
  for (;;) {
    DWORD more = 0;
    if (ReadFile(h, rest, sizeof rest, &more, nullptr)) return true;
    if (GetLastError() != ERROR_MORE_DATA) return false;
  }
}

class PipeHandle final : public DeviceHandle {
 public:
  explicit PipeHandle(HANDLE h) : h_(h), chunks_(sizeof(Report), kVirtualMaxReports) {}
  ~PipeHandle() override { CloseHandle(h_); }
  PipeHandle(const PipeHandle&) = delete;
  PipeHandle& operator=(const PipeHandle&) = delete;

  // One message is what one read of a HID device returns: its whole 8-byte reports are
  // decoded in order, a shorter rest is skipped.
  bool readReport(Report& report) override {
    while (!chunks_.next(report)) {
      DWORD got = 0;
      bool tooLong = false;
      if (!readMessage(h_, chunks_.buffer(), static_cast<DWORD>(chunks_.capacity()), got, tooLong)) return false;
      chunks_.filled(tooLong ? 0 : got);  // a message longer than any read is skipped whole
    }
    return true;
  }

 private:
  HANDLE h_;
  ReportChunks chunks_;
};

class VirtualSource final : public DeviceSource {
 public:
  void enumerate(const std::function<void(const std::string&)>&) override {
    // Devices present at start are announced by the hub like later arrivals.
  }

  std::unique_ptr<DeviceHandle> open(const std::string& path, DeviceIdentity& identity) override {
    HANDLE h = connectMessagePipe(path.c_str());
    if (h == INVALID_HANDLE_VALUE) return nullptr;
    std::uint8_t hello[kVirtualHelloSize];
    DWORD got = 0;
    bool tooLong = false;
    if (!readMessage(h, hello, sizeof hello, got, tooLong) || tooLong || got != sizeof hello) {
      CloseHandle(h);
      return nullptr;
    }
    identity = parseVirtualHello(hello);
    return std::make_unique<PipeHandle>(h);
  }

  bool watchArrivals(HWND window) override {
    std::thread([window] { watchHub(window); }).detach();
    return true;
  }

 private:
  static void watchHub(HWND window) {
    for (;;) {
      HANDLE hub = connectMessagePipe(kVirtualHubPipe);
      if (hub == INVALID_HANDLE_VALUE) {
        Sleep(50);
        continue;
      }
      for (;;) {
        // The arrival notice: the broadcast header followed by the device's pipe name.
        std::vector<std::uint8_t> notice(sizeof(DEV_BROADCAST_DEVICEINTERFACE_A) + kVirtualMaxName + 1);
        auto* b = reinterpret_cast<DEV_BROADCAST_DEVICEINTERFACE_A*>(notice.data());
        DWORD got = 0;
        bool tooLong = false;
        if (!readMessage(hub, reinterpret_cast<std::uint8_t*>(b->dbcc_name), kVirtualMaxName, got, tooLong)) break;
        if (tooLong || got == 0) continue;
        b->dbcc_name[got] = '\0';
        b->dbcc_size = static_cast<DWORD>(sizeof(*b) + got);
        b->dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
        if (!IsWindow(window)) {
          CloseHandle(hub);
          return;
        }
        SendMessageA(window, WM_DEVICECHANGE, DBT_DEVICEARRIVAL, reinterpret_cast<LPARAM>(b));
      }
      CloseHandle(hub);
    }
  }
};

}  // namespace

std::unique_ptr<DeviceSource> makeDeviceSource() { return std::make_unique<VirtualSource>(); }

}  // namespace ringdeck::engine::win32
