// The virtual device: how a test or a demo drives the engine's virtual-device build through
// named pipes (message mode). docs/virtual-device.md tells the whole protocol.
#pragma once

#include <cstddef>
#include <cstdint>

#include "device_readers.h"

namespace ringdeck::engine {

// Served by the driver; the engine connects to it and reads one message per arriving device:
// the name of that device's pipe (ASCII, at most kVirtualMaxName characters, no NUL).
inline constexpr const char* kVirtualHubPipe = "\\\\.\\pipe\\RingDeck.VirtualDevices";
inline constexpr std::size_t kVirtualMaxName = 200;

// First message on a device pipe: vendor and product, 16 bits each, little-endian.
inline constexpr std::size_t kVirtualHelloSize = 4;
// Every further message holds 1 to kVirtualMaxReports whole 8-byte reports, as one read of a
// HID device may return several queued reports.
inline constexpr std::size_t kVirtualMaxReports = 64;

inline DeviceIdentity parseVirtualHello(const std::uint8_t* hello) {
  return DeviceIdentity{static_cast<std::uint16_t>(hello[0] | hello[1] << 8),
                        static_cast<std::uint16_t>(hello[2] | hello[3] << 8)};
}

inline void makeVirtualHello(DeviceIdentity id, std::uint8_t* hello) {
  hello[0] = static_cast<std::uint8_t>(id.vendor);
  hello[1] = static_cast<std::uint8_t>(id.vendor >> 8);
  hello[2] = static_cast<std::uint8_t>(id.product);
  hello[3] = static_cast<std::uint8_t>(id.product >> 8);
}

}  // namespace ringdeck::engine
