// Where the engine's devices come from. The product reads the HID class (hid_source.cpp); the
// virtual-device build links virtual_source.cpp instead and takes its devices from named pipes.
// Nothing else differs between the two builds.
#pragma once

#include <windows.h>

#include <memory>

#include "device_readers.h"

namespace ringdeck::engine::win32 {

class DeviceSource : public DevicePort {
 public:
  // Arrange for WM_DEVICECHANGE (DBT_DEVICEARRIVAL with the device's interface path) to reach
  // the engine window when a device arrives. Called on the window's thread at WM_CREATE.
  virtual bool watchArrivals(HWND window) = 0;
};

std::unique_ptr<DeviceSource> makeDeviceSource();

}  // namespace ringdeck::engine::win32
