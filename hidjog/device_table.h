// Which HID devices the engine takes, by the vendor and product identifiers the device reports.
#pragma once

#include <cstdint>
#include <string_view>

namespace ringdeck::engine {

enum class DeviceMatch { Accept, Refuse, RefuseIncompatible };

struct DeviceRule {
  std::uint16_t vendor;
  std::uint16_t product;
  DeviceMatch match;
};

// The controller as sold under a partner's vendor identifier.
inline constexpr std::uint16_t kPartnerVendor = 0x3A51;
inline constexpr std::uint16_t kPartnerController = 0x0120;
// The maker's own vendor identifier: this controller, and the other model this driver cannot use.
inline constexpr std::uint16_t kMakerVendor = 0x3A52;
inline constexpr std::uint16_t kMakerController = 0x0030;
inline constexpr std::uint16_t kMakerOtherModel = 0x0031;

DeviceMatch matchDevice(std::uint16_t vendor, std::uint16_t product);

// Shown (caption "Warning") when the maker's other model is found.
inline constexpr std::string_view kIncompatibleDeviceText =
    "You are trying to use a device that is not compatible with this version of Orvanel A/V "
    "Solutions driver.\n\nPlease contact Orvanel A/V Solutions for available upgrade options.\n\n"
    "Orvanel A/V Solutions\n"
    "12 Harbour Lane, Springfield 40012\n"
    "Telephone +1 555 0100, Fax +1 555 0101\n"
    "support@orvanel.example";
inline constexpr std::string_view kIncompatibleDeviceCaption = "Warning";

}  // namespace ringdeck::engine
