// The helper's icons, drawn here rather than kept as opaque binaries: the device seen from above
// (graphite body, silver shuttle ring around the dark jog wheel, orange buttons either side) and
// the same picture crossed out in red. make_icons writes them as .ico files for the resources;
// a test keeps those files equal to what this code draws.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace ringdeck::helper {

struct IconImageData {
  int size = 0;                      // width = height
  std::vector<std::uint32_t> argb;   // size * size pixels, top row first, 0xAARRGGBB
};

IconImageData drawDeviceIcon(int size, bool crossed);

// An .ico file holding the images in order (32-bit colour with alpha, plus the 1-bit mask).
std::vector<std::uint8_t> icoFile(std::span<const IconImageData> images);

// The file behind icon resource 101 (program icon, 32 and 16 pixels), 103 (16-pixel device) or
// 104 (16-pixel device crossed out); empty for any other number.
std::vector<std::uint8_t> helperIconFile(int resourceId);

}  // namespace ringdeck::helper
