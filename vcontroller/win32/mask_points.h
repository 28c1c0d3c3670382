// Where on the controller's picture a test or the demo points the mouse: found in the same mask
// the program hit-tests with, so a point found here is one the program takes for that control.
#pragma once

#include <windows.h>

#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

#include "controller_model.h"
#include "device_art.h"
#include "device_map.h"

namespace ringdeck::vcontroller {

inline const panel::GreyPicture& maskPicture() {
  static const panel::GreyPicture grey = panel::DrawDeviceMask();
  return grey;
}

inline const DeviceMask& deviceMask() {
  static const DeviceMask mask(maskPicture().value, maskPicture().width, maskPicture().height);
  return mask;
}

// The picture point nearest the middle of a control's pixels.
inline POINT controlMiddle(int control) {
  const panel::GreyPicture& grey = maskPicture();
  const std::uint8_t value = panel::kDeviceControls[static_cast<std::size_t>(control)].maskValue;
  double sx = 0, sy = 0, n = 0;
  for (int y = 0; y < grey.height; ++y)
    for (int x = 0; x < grey.width; ++x)
      if (grey.value[static_cast<std::size_t>(y * grey.width + x)] == value) sx += x, sy += y, n += 1;
  POINT best{-1, -1};
  double bestD = 1e9;
  for (int y = 0; y < grey.height; ++y)
    for (int x = 0; x < grey.width; ++x) {
      if (grey.value[static_cast<std::size_t>(y * grey.width + x)] != value) continue;
      const double d = std::hypot(x - sx / n, y - sy / n);
      if (d < bestD) bestD = d, best = POINT{x, y};
    }
  return best;
}

// A point on the ring at a clockwise angle from its top (degrees): the middle of the ring's
// pixels along that direction from its centre, however thin the perspective draws it there.
inline POINT onRing(double degrees) {
  const Ellipse& e = deviceMask().ring();
  const double a = degrees * std::numbers::pi / 180;
  std::vector<POINT> hits;
  for (double t = 1.0; t > 0.2; t -= 0.01) {
    const POINT p{static_cast<LONG>(std::lround(e.cx + std::sin(a) * e.rx * t)),
                  static_cast<LONG>(std::lround(e.cy - std::cos(a) * e.ry * t))};
    if (deviceMask().at(p.x, p.y).part == Part::Shuttle) hits.push_back(p);
  }
  return hits.empty() ? POINT{-1, -1} : hits[hits.size() / 2];
}

}  // namespace ringdeck::vcontroller
