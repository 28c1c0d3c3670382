#include "device_table.h"

#include <array>

namespace ringdeck::engine {
namespace {

// First matching rule wins; no rule: refused silently.
constexpr std::array<DeviceRule, 3> kRules{{
    {kPartnerVendor, kPartnerController, DeviceMatch::Accept},
    {kMakerVendor, kMakerController, DeviceMatch::Accept},
    {kMakerVendor, kMakerOtherModel, DeviceMatch::RefuseIncompatible},
}};

}  // namespace

DeviceMatch matchDevice(std::uint16_t vendor, std::uint16_t product) {
  for (const DeviceRule& rule : kRules) {
    if (rule.vendor == vendor && rule.product == product) return rule.match;
  }
  return DeviceMatch::Refuse;
}

}  // namespace ringdeck::engine
