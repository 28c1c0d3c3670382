#include "icon_art.h"

#include <algorithm>

namespace ringdeck::helper {
namespace {

struct Point {
  double x, y;
};

// The picture is drawn on a 32-unit square whatever the pixel size.
bool inRoundedRect(Point p, double x0, double y0, double x1, double y1, double r) {
  const double cx = std::clamp(p.x, x0 + r, x1 - r);
  const double cy = std::clamp(p.y, y0 + r, y1 - r);
  const double dx = p.x - cx, dy = p.y - cy;
  return p.x >= x0 && p.x <= x1 && p.y >= y0 && p.y <= y1 && dx * dx + dy * dy <= r * r;
}

// Squared distances only: plain arithmetic gives the same pixels on every compiler and library.
bool within(Point p, Point c, double r) {
  const double dx = p.x - c.x, dy = p.y - c.y;
  return dx * dx + dy * dy <= r * r;
}

bool nearSegment(Point p, Point a, Point b, double w) {
  const double vx = b.x - a.x, vy = b.y - a.y;
  const double t = std::clamp(((p.x - a.x) * vx + (p.y - a.y) * vy) / (vx * vx + vy * vy), 0.0, 1.0);
  return within(p, {a.x + t * vx, a.y + t * vy}, w);
}

// The colour at a point of the picture, or 0 (transparent).
std::uint32_t colourAt(Point p, bool crossed) {
  if (crossed) {
    const double w = 1.4;
    if (nearSegment(p, {4, 4}, {28, 28}, w) || nearSegment(p, {28, 4}, {4, 28}, w)) {
      return 0xFFE02020;
    }
  }
  const Point centre{16, 16.5};
  if (within(p, {18.6, 13.4}, 1.5)) return 0xFF9AA1AB;  // finger dimple of the jog wheel
  if (within(p, centre, 6.2)) return 0xFF262A31;        // jog wheel
  if (within(p, centre, 9.4)) return 0xFFC9CED6;        // shuttle ring
  if (within(p, centre, 10.4)) return 0xFF1B1E23;       // ring's shadow in the body
  for (double by : {9.5, 16.5, 23.5}) {
    if (within(p, {4.6, by}, 1.9) || within(p, {27.4, by}, 1.9)) return 0xFFF0A030;
  }
  if (inRoundedRect(p, 1, 4, 31, 29, 5)) {
    return inRoundedRect(p, 2, 5, 30, 28, 4) ? 0xFF434956 : 0xFF1B1E23;
  }
  return 0;
}

void put16(std::vector<std::uint8_t>& out, std::uint32_t v) {
  out.push_back(static_cast<std::uint8_t>(v));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}
void put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  put16(out, v & 0xFFFF);
  put16(out, v >> 16);
}

}  // namespace

IconImageData drawDeviceIcon(int size, bool crossed) {
  IconImageData image;
  image.size = size;
  image.argb.resize(static_cast<std::size_t>(size) * static_cast<std::size_t>(size));
  constexpr int kSub = 4;  // 4 x 4 samples per pixel smooth the edges
  const double unit = 32.0 / size;
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      double a = 0, r = 0, g = 0, b = 0;
      for (int sy = 0; sy < kSub; ++sy) {
        for (int sx = 0; sx < kSub; ++sx) {
          const Point p{(x + (sx + 0.5) / kSub) * unit, (y + (sy + 0.5) / kSub) * unit};
          const std::uint32_t c = colourAt(p, crossed);
          if (c == 0) continue;
          a += 1;
          r += (c >> 16) & 0xFF;
          g += (c >> 8) & 0xFF;
          b += c & 0xFF;
        }
      }
      std::uint32_t pixel = 0;
      if (a > 0) {
        // Integer rounding of exact sums: the same result everywhere.
        const auto n = static_cast<std::uint32_t>(a);
        const auto channel = [&](double v) { return (static_cast<std::uint32_t>(v) + n / 2) / n; };
        const std::uint32_t alpha = (n * 255 + kSub * kSub / 2) / (kSub * kSub);
        pixel = alpha << 24 | channel(r) << 16 | channel(g) << 8 | channel(b);
      }
      image.argb[static_cast<std::size_t>(y * size + x)] = pixel;
    }
  }
  return image;
}

std::vector<std::uint8_t> icoFile(std::span<const IconImageData> images) {
  std::vector<std::uint8_t> out;
  put16(out, 0);  // reserved
  put16(out, 1);  // icon
  put16(out, static_cast<std::uint32_t>(images.size()));
  const auto maskRow = [](int size) { return static_cast<std::uint32_t>((size + 31) / 32 * 4); };
  std::uint32_t offset = 6 + 16 * static_cast<std::uint32_t>(images.size());
  for (const IconImageData& img : images) {
    const auto s = static_cast<std::uint32_t>(img.size);
    const std::uint32_t bytes = 40 + s * s * 4 + maskRow(img.size) * s;
    out.push_back(static_cast<std::uint8_t>(s >= 256 ? 0 : s));
    out.push_back(static_cast<std::uint8_t>(s >= 256 ? 0 : s));
    out.push_back(0);  // no palette
    out.push_back(0);
    put16(out, 1);   // planes
    put16(out, 32);  // bits per pixel
    put32(out, bytes);
    put32(out, offset);
    offset += bytes;
  }
  for (const IconImageData& img : images) {
    const auto s = static_cast<std::uint32_t>(img.size);
    // BITMAPINFOHEADER; the height counts colour and mask together.
    put32(out, 40);
    put32(out, s);
    put32(out, s * 2);
    put16(out, 1);
    put16(out, 32);
    put32(out, 0);
    put32(out, s * s * 4 + maskRow(img.size) * s);
    for (int i = 0; i < 4; ++i) put32(out, 0);
    for (int y = img.size - 1; y >= 0; --y) {  // bottom row first
      for (int x = 0; x < img.size; ++x) put32(out, img.argb[static_cast<std::size_t>(y * img.size + x)]);
    }
    for (int y = img.size - 1; y >= 0; --y) {
      std::vector<std::uint8_t> row(maskRow(img.size), 0);
      for (int x = 0; x < img.size; ++x) {
        if ((img.argb[static_cast<std::size_t>(y * img.size + x)] >> 24) == 0) {
          row[static_cast<std::size_t>(x / 8)] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
        }
      }
      out.insert(out.end(), row.begin(), row.end());
    }
  }
  return out;
}

std::vector<std::uint8_t> helperIconFile(int resourceId) {
  switch (resourceId) {
    case 101: {
      const IconImageData images[] = {drawDeviceIcon(32, false), drawDeviceIcon(16, false)};
      return icoFile(images);
    }
    case 103: {
      const IconImageData images[] = {drawDeviceIcon(16, false)};
      return icoFile(images);
    }
    case 104: {
      const IconImageData images[] = {drawDeviceIcon(16, true)};
      return icoFile(images);
    }
    default:
      return {};
  }
}

}  // namespace ringdeck::helper
