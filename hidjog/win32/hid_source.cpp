// The product's devices: every present device of the HID interface class.
#include <windows.h>

#include <dbt.h>
#include <setupapi.h>

extern "C" {
#include <hidsdi.h>  // mingw's header lacks its own extern "C"; it brings hidpi.h
}

#include <vector>

#include "device_source.h"
#include "win32_log.h"

namespace ringdeck::engine::win32 {
namespace {

// Reports one read may return at most (the HID class hands over as many queued reports as fit).
constexpr std::size_t kReportsPerRead = 16;

class HidHandle final : public DeviceHandle {
 public:
  HidHandle(HANDLE h, std::size_t reportLength) : h_(h), chunks_(reportLength, kReportsPerRead) {}
  ~HidHandle() override { CloseHandle(h_); }
  HidHandle(const HidHandle&) = delete;
  HidHandle& operator=(const HidHandle&) = delete;

  bool readReport(Report& report) override {
    while (!chunks_.next(report)) {
      DWORD got = 0;
      if (!ReadFile(h_, chunks_.buffer(), static_cast<DWORD>(chunks_.capacity()), &got, nullptr)) return false;
      chunks_.filled(got);
    }
    return true;
  }

 private:
  HANDLE h_;
  ReportChunks chunks_;
};

// The device's own input report length (report identifier byte included), or 0.
std::size_t inputReportLength(HANDLE h) {
  PHIDP_PREPARSED_DATA preparsed = nullptr;
  if (!HidD_GetPreparsedData(h, &preparsed)) return 0;
  HIDP_CAPS caps{};
  const bool ok = HidP_GetCaps(preparsed, &caps) == HIDP_STATUS_SUCCESS;
  HidD_FreePreparsedData(preparsed);
  return ok ? caps.InputReportByteLength : 0;
}

class HidSource final : public DeviceSource {
 public:
  void enumerate(const std::function<void(const std::string&)>& found) override {
    GUID hid;
    HidD_GetHidGuid(&hid);
    HDEVINFO set = SetupDiGetClassDevsA(&hid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    // Without the set every index would fail with another error than "no more items".
    if (set == INVALID_HANDLE_VALUE) {
      ringdeck::win32::logLastError("SetupDiGetClassDevsA");
      return;
    }
    // A set that keeps failing for other reasons must not keep the engine here for ever.
    constexpr DWORD kMaxInterfaces = 4096;
    for (DWORD i = 0; i < kMaxInterfaces; ++i) {
      SP_DEVICE_INTERFACE_DATA data{};
      data.cbSize = sizeof data;
      if (!SetupDiEnumDeviceInterfaces(set, nullptr, &hid, i, &data)) {
        if (GetLastError() == ERROR_NO_MORE_ITEMS) break;
        continue;
      }
      DWORD needed = 0;
      SetupDiGetDeviceInterfaceDetailA(set, &data, nullptr, 0, &needed, nullptr);
      if (needed < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A)) continue;
      std::vector<std::uint8_t> buffer(needed);
      auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(buffer.data());
      detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
      if (SetupDiGetDeviceInterfaceDetailA(set, &data, detail, needed, nullptr, nullptr)) {
        found(detail->DevicePath);
      }
    }
    SetupDiDestroyDeviceInfoList(set);
  }

  std::unique_ptr<DeviceHandle> open(const std::string& path, DeviceIdentity& identity) override {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return nullptr;  // keyboards and mice are not ours to open
    HIDD_ATTRIBUTES attributes{};
    attributes.Size = sizeof attributes;
    if (!HidD_GetAttributes(h, &attributes)) {
      CloseHandle(h);
      return nullptr;
    }
    identity.vendor = attributes.VendorID;
    identity.product = attributes.ProductID;
    const std::size_t length = inputReportLength(h);
    if (length == 0) {
      // Without its report length nothing it sends can be read as a whole report.
      ringdeck::win32::logLastError("HidP_GetCaps");
      CloseHandle(h);
      return nullptr;
    }
    return std::make_unique<HidHandle>(h, length);
  }

  bool watchArrivals(HWND window) override {
    DEV_BROADCAST_DEVICEINTERFACE_A filter{};
    filter.dbcc_size = sizeof filter;
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    HidD_GetHidGuid(&filter.dbcc_classguid);
    if (!RegisterDeviceNotificationA(window, &filter, DEVICE_NOTIFY_WINDOW_HANDLE)) {
      ringdeck::win32::logLastError("RegisterDeviceNotificationA");
      return false;
    }
    return true;
  }
};

}  // namespace

std::unique_ptr<DeviceSource> makeDeviceSource() { return std::make_unique<HidSource>(); }

}  // namespace ringdeck::engine::win32
