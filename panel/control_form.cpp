#include "control_form.h"

#include "device_map.h"

namespace ringdeck::panel {
namespace {
// Floor division: a point one pixel left of the picture must not round to column 0.
int floorDiv(long long a, long long b) {
  return static_cast<int>(a >= 0 ? a / b : -((-a + b - 1) / b));
}
}  // namespace

std::optional<PicturePoint> CursorToPicturePoint(int cursorX, int cursorY, int pictureLeft,
                                                 int pictureTop, int dpi) {
  if (dpi <= 0) dpi = 96;
  const int x = floorDiv((static_cast<long long>(cursorX) - pictureLeft) * 96, dpi);
  const int y = floorDiv((static_cast<long long>(cursorY) - pictureTop) * 96, dpi);
  if (x < 0 || y < 0 || x >= kDevicePictureWidth || y >= kDevicePictureHeight) return std::nullopt;
  return PicturePoint{x, y};
}

}  // namespace ringdeck::panel
