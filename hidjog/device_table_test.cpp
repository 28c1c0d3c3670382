#include "device_table.h"

#include <gtest/gtest.h>

namespace ringdeck::engine {
namespace {

TEST(DeviceTable, AcceptsTheTwoControllersAndWarnsOnlyForTheOtherModel) {
  struct Case {
    std::uint16_t vendor, product;
    DeviceMatch expected;
  };
  const Case cases[] = {
      {kPartnerVendor, kPartnerController, DeviceMatch::Accept},
      {kPartnerVendor, kMakerController, DeviceMatch::Refuse},
      {kMakerVendor, kMakerController, DeviceMatch::Accept},
      {kMakerVendor, kMakerOtherModel, DeviceMatch::RefuseIncompatible},
      {kMakerVendor, kPartnerController, DeviceMatch::Refuse},
      {0x845E, 0x0001, DeviceMatch::Refuse},  // Wine's own HID mouse and keyboard
      {0x845E, 0x0002, DeviceMatch::Refuse},
      {0, 0, DeviceMatch::Refuse},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(matchDevice(c.vendor, c.product), c.expected) << std::hex << c.vendor << ':' << c.product;
  }
}

TEST(DeviceTable, WarningStartsWithTheFixedTextAndEndsWithContactLines) {
  EXPECT_TRUE(kIncompatibleDeviceText.starts_with(
      "You are trying to use a device that is not compatible with this version of Orvanel A/V "
      "Solutions driver.\n\nPlease contact Orvanel A/V Solutions for available upgrade options.\n\n"));
  EXPECT_NE(kIncompatibleDeviceText.find("Telephone"), std::string_view::npos);
}

}  // namespace
}  // namespace ringdeck::engine
