#include "device_map.h"

namespace ringdeck::panel {

int ControlForMaskValue(std::uint8_t value) {
  if (value == 0) return -1;
  for (int i = 0; i < kControlCount; ++i) {
    if (kDeviceControls[static_cast<std::size_t>(i)].maskValue == value) return i;
  }
  return -1;
}

int UserActionForMaskValue(std::uint8_t value) {
  const int control = ControlForMaskValue(value);
  return control < 0 ? -1 : kDeviceControls[static_cast<std::size_t>(control)].userAction;
}

int UserActionAtPicturePoint(const std::uint8_t* mask, int x, int y) {
  if (mask == nullptr || x < 0 || y < 0 || x >= kDevicePictureWidth || y >= kDevicePictureHeight) {
    return -1;
  }
  return UserActionForMaskValue(mask[static_cast<std::size_t>(y) * kDevicePictureWidth +
                                     static_cast<std::size_t>(x)]);
}

}  // namespace ringdeck::panel
