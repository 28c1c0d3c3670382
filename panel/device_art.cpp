#include "device_art.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "device_map.h"

namespace ringdeck::panel {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kSub = 4;                   // kSub × kSub samples per pixel smooth the edges
constexpr int kSamples = kSub * kSub;
constexpr int kKeepOwner = -2;            // painting that does not change which control is hit
constexpr int kNoControl = -1;

struct Point {
  double x, y;
};

struct Rgb {
  double r, g, b;
};

Rgb mix(Rgb a, Rgb b, double t) {
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}
Rgb lighten(Rgb c, double amount) {  // amount in colour steps, negative darkens
  return {c.r + amount, c.g + amount, c.b + amount};
}
Rgb hex(std::uint32_t v) {
  return {static_cast<double>((v >> 16) & 0xFF), static_cast<double>((v >> 8) & 0xFF),
          static_cast<double>(v & 0xFF)};
}
double clamp01(double v) { return std::clamp(v, 0.0, 1.0); }
double smooth(double e0, double e1, double v) {
  const double t = clamp01((v - e0) / (e1 - e0));
  return t * t * (3 - 2 * t);
}

const Rgb kAccent = hex(0xFF8C1A);
const Rgb kAccentLight = hex(0xFFC060);

// ---------------------------------------------------------------------------------------------
// Shapes as signed distances (negative inside), in the coordinates of the thing drawn.

struct Box {
  double x0, y0, x1, y1;
};

struct Ellipse {
  double cx, cy, a, b;
  bool contains(Point p) const {
    const double u = (p.x - cx) / a, v = (p.y - cy) / b;
    return u * u + v * v <= 1;
  }
  double radius(Point p) const {  // 1 on the outline
    const double u = (p.x - cx) / a, v = (p.y - cy) / b;
    return std::sqrt(u * u + v * v);
  }
  double angle(Point p) const { return std::atan2((p.y - cy) / b, (p.x - cx) / a); }
  double distance(Point p) const {
    const double k0 = radius(p);
    const double u = (p.x - cx) / (a * a), v = (p.y - cy) / (b * b);
    const double k1 = std::sqrt(u * u + v * v);
    return k1 > 0 ? k0 * (k0 - 1) / k1 : -std::min(a, b);
  }
  Box box(double grow = 0) const { return {cx - a - grow, cy - b - grow, cx + a + grow, cy + b + grow}; }
};

// The ellipse moved straight down by 0..height: a disc seen from the side with its wall.
struct Cylinder {
  Ellipse top;
  double height;
  bool contains(Point p) const {
    const double u = (p.x - top.cx) / top.a;
    if (u * u > 1) return false;
    const double half = top.b * std::sqrt(1 - u * u);
    return p.y >= top.cy - half && p.y <= top.cy + height + half;
  }
  Box box() const { return {top.cx - top.a, top.cy - top.b, top.cx + top.a, top.cy + height + top.b}; }
};

struct RoundedRect {
  Point c;
  double halfLength, halfWidth, radius, angle;  // angle of the long side, radians
  double distance(Point p) const {
    const double dx = p.x - c.x, dy = p.y - c.y;
    const double cs = std::cos(angle), sn = std::sin(angle);
    const double lx = std::abs(dx * cs + dy * sn) - (halfLength - radius);
    const double ly = std::abs(-dx * sn + dy * cs) - (halfWidth - radius);
    const double ox = std::max(lx, 0.0), oy = std::max(ly, 0.0);
    return std::sqrt(ox * ox + oy * oy) + std::min(std::max(lx, ly), 0.0) - radius;
  }
  double halfExtentX() const {
    return (halfLength - radius) * std::abs(std::cos(angle)) +
           (halfWidth - radius) * std::abs(std::sin(angle)) + radius;
  }
  double halfExtentY() const {
    return (halfLength - radius) * std::abs(std::sin(angle)) +
           (halfWidth - radius) * std::abs(std::cos(angle)) + radius;
  }
  Box box(double grow = 0) const {
    return {c.x - halfExtentX() - grow, c.y - halfExtentY() - grow, c.x + halfExtentX() + grow,
            c.y + halfExtentY() + grow};
  }
};

double segmentDistance(Point p, Point a, Point b) {
  const double vx = b.x - a.x, vy = b.y - a.y;
  const double len2 = vx * vx + vy * vy;
  const double t = len2 > 0 ? std::clamp(((p.x - a.x) * vx + (p.y - a.y) * vy) / len2, 0.0, 1.0) : 0.0;
  const double dx = p.x - a.x - t * vx, dy = p.y - a.y - t * vy;
  return std::sqrt(dx * dx + dy * dy);
}

// ---------------------------------------------------------------------------------------------
// A canvas with premultiplied colour and coverage per pixel, and optionally the control hit by
// each sample. Shapes are given in "scene" coordinates; scene = (pixel - offset) / scale.

class Canvas {
 public:
  Canvas(int width, int height, bool trackOwners)
      : w_(width), h_(height), px_(static_cast<std::size_t>(width * height), Rgb{0, 0, 0}),
        alpha_(static_cast<std::size_t>(width * height), 0.0) {
    if (trackOwners) owner_.assign(static_cast<std::size_t>(width * height * kSamples), kNoControl);
  }

  void setTransform(double scale, double ox, double oy) {
    scale_ = scale;
    ox_ = ox;
    oy_ = oy;
  }
  int width() const { return w_; }
  int height() const { return h_; }

  Point scene(double px, double py) const { return {(px - ox_) / scale_, (py - oy_) / scale_}; }

  // Paints the samples where inside(p) holds with colour(p) (taken at the pixel centre), at the
  // given opacity; samples painted at full opacity now belong to owner (unless kKeepOwner).
  template <class Inside, class Colour>
  void paint(Box box, Inside inside, Colour colour, int owner = kKeepOwner, double opacity = 1) {
    forPixels(box, [&](int x, int y) {
      int hits = 0;
      for (int s = 0; s < kSamples; ++s) {
        const Point p = scene(x + (s % kSub + 0.5) / kSub, y + (s / kSub + 0.5) / kSub);
        if (!inside(p)) continue;
        ++hits;
        if (owner != kKeepOwner && !owner_.empty() && opacity >= 1) {
          owner_[static_cast<std::size_t>((y * w_ + x) * kSamples + s)] = static_cast<std::int8_t>(owner);
        }
      }
      if (hits > 0) blend(x, y, colour(scene(x + 0.5, y + 0.5)), opacity * hits / kSamples);
    });
  }

  // Blends colour over the pixels with the opacity alpha(p) at the pixel centre.
  template <class Alpha>
  void shade(Box box, Alpha alpha, Rgb colour) {
    forPixels(box, [&](int x, int y) {
      const double a = clamp01(alpha(scene(x + 0.5, y + 0.5)));
      if (a > 0) blend(x, y, colour, a);
    });
  }
  template <class Colour>
  void fill(Colour colour) {
    for (int y = 0; y < h_; ++y) {
      for (int x = 0; x < w_; ++x) {
        const std::size_t i = static_cast<std::size_t>(y * w_ + x);
        px_[i] = colour(scene(x + 0.5, y + 0.5));
        alpha_[i] = 1;
      }
    }
  }

  RgbPicture rgb(int left = 0, int top = 0, int width = -1, int height = -1) const {
    if (width < 0) width = w_;
    if (height < 0) height = h_;
    RgbPicture out{width, height, {}};
    out.rgb.reserve(static_cast<std::size_t>(width * height * 3));
    for (int y = top; y < top + height; ++y) {
      for (int x = left; x < left + width; ++x) {
        const Rgb c = px_[static_cast<std::size_t>(y * w_ + x)];
        for (double v : {c.r, c.g, c.b}) out.rgb.push_back(toByte(v));
      }
    }
    return out;
  }

  IconPicture argb() const {
    IconPicture out{w_, {}};
    for (std::size_t i = 0; i < px_.size(); ++i) {
      const double a = alpha_[i];
      const std::uint32_t alpha = toByte(a * 255);
      std::uint32_t v = 0;
      if (alpha > 0) {
        v = alpha << 24 | std::uint32_t{toByte(px_[i].r / a)} << 16 | std::uint32_t{toByte(px_[i].g / a)} << 8 |
            toByte(px_[i].b / a);
      }
      out.argb.push_back(v);
    }
    return out;
  }

  // Per pixel the first (smallest) control any of its samples belongs to, or -1.
  std::vector<int> pixelOwners() const {
    std::vector<int> out(static_cast<std::size_t>(w_ * h_), kNoControl);
    for (std::size_t i = 0; i < out.size(); ++i) {
      for (int s = 0; s < kSamples; ++s) {
        const int o = owner_[i * kSamples + static_cast<std::size_t>(s)];
        if (o >= 0 && (out[i] < 0 || o < out[i])) out[i] = o;
      }
    }
    return out;
  }

 private:
  static std::uint8_t toByte(double v) {
    return static_cast<std::uint8_t>(std::lround(std::clamp(v, 0.0, 255.0)));
  }
  template <class F>
  void forPixels(Box box, F f) {
    const int x0 = std::max(0, static_cast<int>(std::floor(box.x0 * scale_ + ox_)) - 1);
    const int y0 = std::max(0, static_cast<int>(std::floor(box.y0 * scale_ + oy_)) - 1);
    const int x1 = std::min(w_ - 1, static_cast<int>(std::ceil(box.x1 * scale_ + ox_)) + 1);
    const int y1 = std::min(h_ - 1, static_cast<int>(std::ceil(box.y1 * scale_ + oy_)) + 1);
    for (int y = y0; y <= y1; ++y) {
      for (int x = x0; x <= x1; ++x) f(x, y);
    }
  }
  void blend(int x, int y, Rgb c, double a) {
    const std::size_t i = static_cast<std::size_t>(y * w_ + x);
    px_[i] = {c.r * a + px_[i].r * (1 - a), c.g * a + px_[i].g * (1 - a), c.b * a + px_[i].b * (1 - a)};
    alpha_[i] = a + alpha_[i] * (1 - a);
  }

  int w_, h_;
  std::vector<Rgb> px_;  // premultiplied by alpha_
  std::vector<double> alpha_;
  std::vector<std::int8_t> owner_;
  double scale_ = 1, ox_ = 0, oy_ = 0;
};

// ---------------------------------------------------------------------------------------------
// Lettering: a small stroke font. Units: capitals are 10 high (top 0, baseline 10), small letters
// 7 (top 3), descenders reach 13. M starts a stroke, L draws to a point, A draws an arc
// (centre, radii, start and end angle in degrees; 0 = right, 90 = down).

struct Glyph {
  char c;
  double width;
  const char* strokes;
};

constexpr Glyph kGlyphs[] = {
    {'A', 7.5, "M0,10 L3.75,0 L7.5,10 M1.3,6.6 L6.2,6.6"},
    {'B', 6.5, "M0,10 L0,0 L3.5,0 A3.5,2.5,2.5,2.5,-90,90 L0,5 M3.5,5 L4,5 A4,7.5,2.5,2.5,-90,90 L0,10"},
    {'C', 8.5, "A5,5,4.5,5,-42,-318"},
    {'D', 7.5, "M0,0 L0,10 L2.5,10 A2.5,5,5,5,90,-90 L0,0"},
    {'E', 6, "M6,0 L0,0 L0,10 L6,10 M0,5 L5,5"},
    {'F', 6, "M6,0 L0,0 L0,10 M0,5 L5,5"},
    {'G', 9.2, "A5,5,4.6,5,-42,-360 L9.6,5 L5.6,5"},
    {'H', 7, "M0,0 L0,10 M7,0 L7,10 M0,5 L7,5"},
    {'I', 0, "M0,0 L0,10"},
    {'J', 5.5, "M5.5,0 L5.5,7.2 A2.75,7.2,2.75,2.8,0,180"},
    {'K', 6.5, "M0,0 L0,10 M6.5,0 L0,6.5 M2.4,4.2 L6.8,10"},
    {'L', 5.5, "M0,0 L0,10 L5.5,10"},
    {'M', 9, "M0,10 L0,0 L4.5,7 L9,0 L9,10"},
    {'N', 7, "M0,10 L0,0 L7,10 L7,0"},
    {'O', 9.5, "A4.75,5,4.75,5,0,360"},
    {'P', 6.5, "M0,10 L0,0 L3.75,0 A3.75,2.75,2.75,2.75,-90,90 L0,5.5"},
    {'R', 6.8, "M0,10 L0,0 L3.75,0 A3.75,2.75,2.75,2.75,-90,90 L0,5.5 M3.4,5.5 L6.8,10"},
    {'S', 6.6, "A3.3,2.6,3.1,2.6,-15,-270 A3.3,7.55,3.3,2.45,-90,155"},
    {'T', 7, "M0,0 L7,0 M3.5,0 L3.5,10"},
    {'U', 7, "M0,0 L0,6.5 A3.5,6.5,3.5,3.5,180,0 L7,0"},
    {'V', 7.5, "M0,0 L3.75,10 L7.5,0"},
    {'W', 10.5, "M0,0 L2.6,10 L5.25,2 L7.9,10 L10.5,0"},
    {'X', 7, "M0,0 L7,10 M7,0 L0,10"},
    {'Y', 7, "M0,0 L3.5,5 L7,0 M3.5,5 L3.5,10"},
    {'Z', 7, "M0,0 L7,0 L0,10 L7,10"},
    {'a', 6, "A3,6.5,3,3.5,0,360 M6,3 L6,10"},
    {'b', 6, "M0,0 L0,10 A3,6.5,3,3.5,0,360"},
    {'c', 5.6, "A3,6.5,3,3.5,-40,-320"},
    {'d', 6, "A3,6.5,3,3.5,0,360 M6,0 L6,10"},
    {'e', 6, "M0.1,6.5 L6,6.5 A3,6.5,3,3.5,0,-318"},
    {'f', 4, "M1.5,10 L1.5,2.2 A3.5,2.2,2,2,180,310 M0,3.5 L4,3.5"},
    {'g', 6, "A3,6.5,3,3.5,0,360 M6,3 L6,10.5 A3,10.5,3,2.5,0,160"},
    {'h', 6, "M0,0 L0,10 M0,6 A3,6,3,3,180,360 L6,10"},
    {'i', 0, "M0,3 L0,10 M0,0.5 L0,0.9"},
    {'j', 2.5, "M2.5,3 L2.5,10.8 A0.8,10.8,1.7,2.2,0,120 M2.5,0.5 L2.5,0.9"},
    {'k', 5.3, "M0,0 L0,10 M5.3,3 L0,7.4 M1.9,5.9 L5.6,10"},
    {'l', 0, "M0,0 L0,10"},
    {'m', 9, "M0,3 L0,10 M0,5.6 A2.25,5.6,2.25,2.6,180,360 L4.5,10 M4.5,5.6 A6.75,5.6,2.25,2.6,180,360 L9,10"},
    {'n', 6, "M0,3 L0,10 M0,6 A3,6,3,3,180,360 L6,10"},
    {'o', 6.5, "A3.25,6.5,3.25,3.5,0,360"},
    {'p', 6, "M0,3 L0,13 A3,6.5,3,3.5,0,360"},
    {'r', 4.2, "M0,3 L0,10 M0,6.6 A3.6,6.6,3.6,3.6,180,285"},
    {'s', 5.4, "A2.7,4.75,2.5,1.75,-25,-270 A2.7,8.25,2.7,1.75,-90,155"},
    {'t', 4.2, "M1.5,0.8 L1.5,8.3 A3.2,8.3,1.7,1.7,180,90 L4.2,10 M0,3 L4,3"},
    {'u', 6, "M0,3 L0,7 A3,7,3,3,180,0 M6,3 L6,10"},
    {'v', 6, "M0,3 L3,10 L6,3"},
    {'w', 9, "M0,3 L2.2,10 L4.5,4.6 L6.8,10 L9,3"},
    {'y', 6.2, "M0,3 L3.2,10 M6.2,3 L2.3,12.2 A1.2,11.6,1.2,1.4,60,150"},
    {'1', 4, "M0.6,2 L3,0 L3,10"},
    {'3', 6, "A3,2.6,2.8,2.6,-160,90 A3,7.5,3.1,2.5,-90,160"},
    {'!', 0, "M0,0 L0,7 M0,9.6 L0,10"},
    {'.', 0, "M0,9.6 L0,10"},
    {'-', 4, "M0,6 L4,6"},
};

const Glyph* findGlyph(char c) {
  for (const Glyph& g : kGlyphs) {
    if (g.c == c) return &g;
  }
  return nullptr;
}

struct Stroke {  // one straight piece of a letter, in pixels
  Point a, b;
};

void addStrokes(std::vector<Stroke>& out, const Glyph& g, double x0, double top, double unit) {
  const auto at = [&](double x, double y) { return Point{x0 + x * unit, top + y * unit}; };
  const char* s = g.strokes;
  Point pen{0, 0};
  bool down = false;
  while (*s) {
    const char cmd = *s++;
    double v[6] = {};
    const int n = cmd == 'A' ? 6 : 2;
    for (int i = 0; i < n; ++i) {
      char* end = nullptr;
      v[i] = std::strtod(s, &end);
      s = end;
      if (*s == ',') ++s;
    }
    while (*s == ' ') ++s;
    if (cmd == 'M') {
      pen = at(v[0], v[1]);
      down = false;
    } else if (cmd == 'L') {
      const Point next = at(v[0], v[1]);
      out.push_back({pen, next});
      pen = next;
      down = true;
    } else if (cmd == 'A') {
      const double a0 = v[4] * kPi / 180, a1 = v[5] * kPi / 180;
      const int steps = std::max(4, static_cast<int>(std::abs(a1 - a0) / (kPi / 16)));
      for (int i = 0; i <= steps; ++i) {
        const double t = a0 + (a1 - a0) * i / steps;
        const Point q = at(v[0] + v[2] * std::cos(t), v[1] + v[3] * std::sin(t));
        if (i > 0 || down) out.push_back({pen, q});
        pen = q;
      }
      down = true;
    }
  }
}

struct TextStyle {
  double capHeight;  // pixels
  double weight;     // stroke width, pixels
  double tracking;   // extra space between letters, in font units
};

double letterGap(const TextStyle& st) { return 2.2 + st.tracking; }

double textWidth(std::string_view text, const TextStyle& st) {
  const double unit = st.capHeight / 10;
  double w = 0;
  for (char c : text) {
    const Glyph* g = findGlyph(c);
    w += (g ? g->width + letterGap(st) : 3.6 + st.tracking) * unit;
  }
  return w - letterGap(st) * unit + st.weight;
}

// Draws text with its left edge at x and its capitals' top at top (pixels of the canvas).
template <class Colour>
void drawText(Canvas& canvas, std::string_view text, double x, double top, const TextStyle& st,
              Colour colour) {
  const double unit = st.capHeight / 10;
  std::vector<Stroke> strokes;
  double pen = x + st.weight / 2;
  for (char c : text) {
    const Glyph* g = findGlyph(c);
    if (g) {
      addStrokes(strokes, *g, pen, top, unit);
      pen += (g->width + letterGap(st)) * unit;
    } else {
      pen += (3.6 + st.tracking) * unit;
    }
  }
  const double r = st.weight / 2;
  for (const Stroke& s : strokes) {
    const Box box{std::min(s.a.x, s.b.x) - r, std::min(s.a.y, s.b.y) - r, std::max(s.a.x, s.b.x) + r,
                  std::max(s.a.y, s.b.y) + r};
    canvas.paint(box, [&](Point p) { return segmentDistance(p, s.a, s.b) <= r; }, colour);
  }
}

// ---------------------------------------------------------------------------------------------
// The device. Coordinates are those of the 270 × 248 picture; each control is drawn inside its
// painted region so that its mask value lands exactly where the table allows.

const Box kBody{46, 4, 254, 200};
constexpr double kBodyRadius = 34;
constexpr double kBodyThickness = 12;

const Ellipse kRingTop{147, 78, 38.6, 32.5};
constexpr double kRingWall = 7.8;
const Ellipse kRingHole{146.8, 74.4, 28, 23.2};
const Ellipse kJogTop{146.5, 69.2, 25.2, 19.8};
constexpr double kJogWall = 3.8;
const Ellipse kDimple{157.5, 59, 5.6, 4.4};

constexpr double kButtonWall = 1.8;

double roundedBoxDistance(Point p, Box b, double r) {
  const double cx = (b.x0 + b.x1) / 2, cy = (b.y0 + b.y1) / 2;
  const double qx = std::abs(p.x - cx) - ((b.x1 - b.x0) / 2 - r);
  const double qy = std::abs(p.y - cy) - ((b.y1 - b.y0) / 2 - r);
  const double ox = std::max(qx, 0.0), oy = std::max(qy, 0.0);
  return std::sqrt(ox * ox + oy * oy) + std::min(std::max(qx, qy), 0.0) - r;
}
Box shifted(Box b, double dx, double dy) { return {b.x0 + dx, b.y0 + dy, b.x1 + dx, b.y1 + dy}; }
Box grown(Box b, double g) { return {b.x0 - g, b.y0 - g, b.x1 + g, b.y1 + g}; }

struct ButtonShape {
  double angleDegrees;  // direction of the long side
  double aspect;        // length / width
};
// Buttons follow the curve of the ring: their long side runs along it.
constexpr ButtonShape kButtonShapes[kButtonControls] = {
    {8, 2.7},  {32, 1.9},  {52, 1.6}, {78, 1.7},  {-4, 3.0},  {18, 2.2}, {40, 1.9},
    {62, 1.7}, {96, 2.0},  {90, 2.3}, {0, 4.2},   {90, 2.3},  {0, 3.0},
};

// Where a control may be drawn: inside its painted region and one pixel inside its highlight
// rectangle, so that the highlight shows the whole control and its edge meets the picture below
// without a seam.
Box drawArea(int index) {
  const DeviceControl& ctl = kDeviceControls[static_cast<std::size_t>(index)];
  const PictureRect& r = ctl.highlight;
  return {static_cast<double>(std::max(ctl.x.first, r.left + 1)),
          static_cast<double>(std::max(ctl.y.first, r.top + 1)),
          static_cast<double>(std::min(ctl.x.last, r.left + r.width - 2) + 1),
          static_cast<double>(std::min(ctl.y.last, r.top + r.height - 2) + 1)};
}

// The cap of a button at rest: the largest rounded rectangle of its shape whose cap and wall fit
// inside the button's area with half a pixel to spare.
RoundedRect buttonCap(int index) {
  const Box area = drawArea(index);
  const ButtonShape& shape = kButtonShapes[index];
  constexpr double kMargin = 0.5;
  const double halfW = (area.x1 - area.x0) / 2 - kMargin;
  const double halfH = (area.y1 - area.y0 - kButtonWall) / 2 - kMargin;
  const double angle = shape.angleDegrees * kPi / 180;
  const double cs = std::abs(std::cos(angle)), sn = std::abs(std::sin(angle));
  constexpr double kRound = 0.75;  // corner radius as a share of the half width
  // Half extents for a half width of 1.
  const double fx = (shape.aspect - kRound) * cs + (1 - kRound) * sn + kRound;
  const double fy = (shape.aspect - kRound) * sn + (1 - kRound) * cs + kRound;
  const double halfWidth = std::min(halfW / fx, halfH / fy);
  const Point centre{(area.x0 + area.x1) / 2, (area.y0 + area.y1) / 2 - kButtonWall / 2};
  return {centre, halfWidth * shape.aspect, halfWidth, halfWidth * kRound, angle};
}

// The button with its wall: the cap moved down by 0..kButtonWall.
double buttonDistance(const RoundedRect& cap, Point p) {
  double d = cap.distance(p);
  for (int i = 1; i <= 4; ++i) d = std::min(d, cap.distance({p.x, p.y - kButtonWall * i / 4}));
  return d;
}

// Fades a glow to nothing towards the edge of the highlight rectangle, so that the highlight
// picture sits seamlessly over the device picture.
double rectFade(Point p, const PictureRect& r) {
  const double d = std::min({p.x - r.left, r.left + r.width - p.x, p.y - r.top, r.top + r.height - p.y});
  return smooth(0.5, 2.5, d);
}

template <class Distance>
void drawGlow(Canvas& c, Box box, const PictureRect& rect, Distance distance, double reach) {
  c.shade(grown(box, reach),
          [&](Point p) {
            const double d = distance(p);
            if (d <= 0) return 0.0;
            const double t = 1 - clamp01(d / reach);
            return 0.75 * t * t * rectFade(p, rect);
          },
          kAccent);
}

void drawBody(Canvas& c) {
  // The shadow on the desk, then the front edge of the body and its top.
  const Box shadowBox = shifted(kBody, 0, kBodyThickness + 4);
  c.shade(grown(shadowBox, 16),
          [&](Point p) {
            const double d = roundedBoxDistance(p, grown(shadowBox, -4), kBodyRadius);
            return 0.42 * (1 - smooth(-6, 14, d));
          },
          hex(0x5A6270));
  const Box front = shifted(kBody, 0, kBodyThickness);
  c.paint(grown(front, 1), [&](Point p) { return roundedBoxDistance(p, front, kBodyRadius) <= 0; },
          [&](Point p) {
            const double t = clamp01((p.y - (front.y1 - 40)) / 40);
            Rgb col = mix(hex(0x2A2E35), hex(0x15171A), t);
            // A soft reflection along the middle of the front edge.
            const double mid = 1 - std::abs(p.x - 150) / 110;
            return lighten(col, 10 * std::max(0.0, mid));
          },
          kNoControl);
  c.paint(grown(kBody, 1), [&](Point p) { return roundedBoxDistance(p, kBody, kBodyRadius) <= 0; },
          [&](Point p) {
            const double d = roundedBoxDistance(p, kBody, kBodyRadius);
            const double t = clamp01((p.y - kBody.y0) / (kBody.y1 - kBody.y0));
            Rgb col = mix(hex(0x4A505A), hex(0x30343B), t);
            // A soft sheen from the light at the upper left.
            const double sx = (p.x - 110) / 130, sy = (p.y - 40) / 120;
            col = lighten(col, 12 * std::max(0.0, 1 - (sx * sx + sy * sy)));
            // Bevelled rim: lit along the top, shaded along the bottom.
            if (d > -3) {
              const double rim = 1 + d / 3;
              const double lit = std::clamp((110 - p.y) / 50, -0.6, 1.0);
              col = lighten(col, 34 * rim * rim * lit);
            }
            return col;
          },
          kNoControl);
  // A small wordmark on the body below the ring.
  const TextStyle mark{6, 0.95, 1.2};
  const double w = textWidth("RingDeck", mark);
  drawText(c, "RingDeck", 238 - w, 180, mark, [](Point) { return hex(0x8A919C); });
}

void drawRing(Canvas& c, int lit, const PictureRect& rect) {
  const bool on = lit == kShuttleControl;
  // The well the ring sits in.
  const Ellipse well{kRingTop.cx, kRingTop.cy + 5.5, kRingTop.a + 3.2, kRingTop.b + 6.2};
  c.shade(well.box(3), [&](Point p) { return 0.85 * (1 - smooth(-2.5, 1.5, well.distance(p))); },
          hex(0x15171B));
  const Cylinder ring{kRingTop, kRingWall};
  if (on) {
    drawGlow(c, ring.box(), rect, [&](Point p) {
      return ring.contains(p) ? -1.0 : std::min(kRingTop.distance(p), kRingTop.distance({p.x, p.y - kRingWall}));
    }, 5);
  }
  const auto tint = [&](Rgb col, double amount) { return on ? mix(col, kAccent, amount) : col; };
  // The ring's outer wall, knurled.
  c.paint(ring.box(), [&](Point p) { return ring.contains(p); },
          [&](Point p) {
            const double phi = std::atan2(p.y - kRingTop.cy, (p.x - kRingTop.cx) * kRingTop.b / kRingTop.a);
            const double t = clamp01((p.x - kRingTop.cx) / kRingTop.a * 0.5 + 0.5);
            Rgb col = mix(hex(0xA7AEB7), hex(0x646B75), t);
            const double f = std::fmod(phi * 36 / kPi + 100, 1.0);
            if (f < 0.35) col = lighten(col, -26);
            return tint(col, 0.55);
          },
          kShuttleControl);
  // Its top face: brushed metal with grip notches along the outside.
  c.paint(kRingTop.box(), [&](Point p) { return kRingTop.contains(p); },
          [&](Point p) {
            const double r = kRingTop.radius(p);
            const double phi = kRingTop.angle(p);
            Rgb col = hex(0xC3C8CF);
            col = lighten(col, 26 * std::cos(2 * (phi + kPi * 0.75)));
            col = lighten(col, -18 * (1 - r));
            const double f = std::fmod(phi * 18 / kPi + 100, 1.0);
            if (r > 0.83 && r < 0.97 && f < 0.28) col = lighten(col, -34);
            if (r > 0.965) col = lighten(col, p.y < kRingTop.cy ? 30 : -30);
            return tint(col, 0.5);
          },
          kShuttleControl);
  // The gap between the ring and the jog wheel.
  c.paint(kRingHole.box(), [&](Point p) { return kRingHole.contains(p); },
          [&](Point p) {
            const double r = kRingHole.radius(p);
            Rgb col = mix(hex(0x1E2126), hex(0x08090B), smooth(0.6, 1.0, r));
            if (r > 0.94 && p.y > kRingHole.cy) col = lighten(col, 40 * (r - 0.94) / 0.06);
            return tint(col, 0.25);
          },
          kShuttleControl);
}

void drawJog(Canvas& c, int lit, const PictureRect& rect) {
  const bool on = lit == kJogControl;
  const Cylinder wheel{kJogTop, kJogWall};
  // Its shadow on the ring gap.
  c.shade(wheel.box(), [&](Point p) { return 0.6 * (wheel.contains({p.x, p.y - 2.2}) ? 1.0 : 0.0); },
          hex(0x000000));
  if (on) {
    drawGlow(c, wheel.box(), rect, [&](Point p) {
      return wheel.contains(p) ? -1.0 : std::min(kJogTop.distance(p), kJogTop.distance({p.x, p.y - kJogWall}));
    }, 4);
  }
  const auto tint = [&](Rgb col, double amount) { return on ? mix(col, kAccent, amount) : col; };
  c.paint(wheel.box(), [&](Point p) { return wheel.contains(p); },
          [&](Point p) {
            const double t = clamp01((p.x - kJogTop.cx) / kJogTop.a * 0.5 + 0.5);
            Rgb col = mix(hex(0x3A3F48), hex(0x16181C), t);
            const double phi = std::atan2(p.y - kJogTop.cy, (p.x - kJogTop.cx) * kJogTop.b / kJogTop.a);
            if (std::fmod(phi * 30 / kPi + 100, 1.0) < 0.4) col = lighten(col, -10);
            return tint(col, 0.6);
          },
          kJogControl);
  c.paint(kJogTop.box(), [&](Point p) { return kJogTop.contains(p); },
          [&](Point p) {
            const double r = kJogTop.radius(p);
            const double phi = kJogTop.angle(p);
            Rgb col = hex(0x3B4049);
            col = lighten(col, 4 * std::sin(r * 70));             // fine concentric grooves
            col = lighten(col, 13 * std::cos(2 * (phi + kPi * 0.75)));  // sheen
            if (r > 0.9) col = lighten(col, (p.y < kJogTop.cy + 4 ? 34 : -12) * (r - 0.9) / 0.1);
            if (on) col = mix(col, r > 0.88 ? kAccentLight : kAccent, r > 0.88 ? 0.9 : 0.6);
            return col;
          },
          kJogControl);
  // The finger dimple: a hollow lit from the upper left, so its lower right rim catches the light.
  c.paint(kDimple.box(1), [&](Point p) { return kDimple.contains(p); },
          [&](Point p) {
            const double dx = (p.x - kDimple.cx) / kDimple.a, dy = (p.y - kDimple.cy) / kDimple.b;
            Rgb col = lighten(hex(0x2A2E35), 30 * (dx + dy) * 0.5);
            if (kDimple.radius(p) > 0.85 && dx + dy > 0) col = lighten(col, 25);
            return on ? mix(col, kAccent, 0.5) : col;
          },
          kJogControl);
}

void drawButton(Canvas& c, int index, int lit, const PictureRect& rect) {
  const bool on = lit == index;
  const RoundedRect cap = buttonCap(index);
  const Box box = cap.box(kButtonWall + 1);
  // A soft shadow on the body and a dark seam around the button.
  c.shade(grown(box, 3),
          [&](Point p) {
            const double d = buttonDistance(cap, {p.x - 0.7, p.y - 1.4});
            return 0.55 * (1 - smooth(-0.5, 2.6, d));
          },
          hex(0x0B0C0E));
  if (on) drawGlow(c, box, rect, [&](Point p) { return buttonDistance(cap, p); }, 3.5);
  c.paint(box, [&](Point p) { return buttonDistance(cap, p) <= 0; },
          [&](Point) { return on ? hex(0xC8600A) : hex(0x8E959F); }, index);
  c.paint(box, [&](Point p) { return cap.distance(p) <= 0; },
          [&](Point p) {
            const double t = clamp01((p.y - (cap.c.y - cap.halfExtentY())) / (2 * cap.halfExtentY()));
            Rgb col = on ? mix(kAccentLight, kAccent, t) : mix(hex(0xF2F4F6), hex(0xC9CED5), t);
            const double d = cap.distance(p);
            if (d > -1.1 && p.y < cap.c.y) col = lighten(col, 14 * (1 + d / 1.1));
            return col;
          },
          index);
}

// The whole picture with one control lit (or none for lit = -1).
Canvas drawDevice(int lit) {
  Canvas c(kDevicePictureWidth, kDevicePictureHeight, true);
  c.fill([](Point) { return Rgb{kDeviceBackground[0] * 1.0, kDeviceBackground[1] * 1.0, kDeviceBackground[2] * 1.0}; });
  const PictureRect rect = lit >= 0 ? kDeviceControls[static_cast<std::size_t>(lit)].highlight : PictureRect{0, 0, 0, 0};
  drawBody(c);
  drawRing(c, lit, rect);
  drawJog(c, lit, rect);
  for (int i = 0; i < kButtonControls; ++i) drawButton(c, i, lit, rect);
  return c;
}

// ---------------------------------------------------------------------------------------------
// Logo, about pictures and icon.

void drawEmblem(Canvas& c, Point centre, double radius) {
  const Ellipse outer{centre.x, centre.y, radius, radius};
  const Ellipse inner{centre.x, centre.y, radius * 0.62, radius * 0.62};
  c.paint(outer.box(1), [&](Point p) { return outer.contains(p); },
          [&](Point p) {
            const double phi = outer.angle(p);
            return lighten(hex(0xC3C8CF), 28 * std::cos(2 * (phi + kPi * 0.75)));
          });
  c.paint(inner.box(1), [&](Point p) { return inner.radius(p) <= 1.12; }, [](Point) { return hex(0x101215); });
  c.paint(inner.box(1), [&](Point p) { return inner.contains(p); },
          [&](Point p) { return lighten(hex(0x3B4049), 14 * std::cos(2 * (inner.angle(p) + kPi * 0.75))); });
  const Ellipse dot{centre.x + radius * 0.28, centre.y - radius * 0.28, radius * 0.13, radius * 0.13};
  c.paint(dot.box(1), [&](Point p) { return dot.contains(p); }, [](Point) { return kAccent; });
}

Rgb verticalGradient(Point p, double top, double bottom, Rgb a, Rgb b) {
  return mix(a, b, clamp01((p.y - top) / (bottom - top)));
}

struct Lcg {  // a fixed sequence, so that every build draws the same pictures
  std::uint32_t state;
  double next() {
    state = state * 1664525u + 1013904223u;
    return (state >> 8) / 16777216.0;
  }
};

}  // namespace

RgbPicture DrawDevicePicture() { return drawDevice(-1).rgb(); }

GreyPicture DrawDeviceMask() {
  const Canvas c = drawDevice(-1);
  const std::vector<int> owners = c.pixelOwners();
  GreyPicture mask{kDevicePictureWidth, kDevicePictureHeight, std::vector<std::uint8_t>(owners.size(), 0)};
  for (std::size_t i = 0; i < owners.size(); ++i) {
    if (owners[i] >= 0) mask.value[i] = kDeviceControls[static_cast<std::size_t>(owners[i])].maskValue;
  }
  return mask;
}

RgbPicture DrawHighlightPicture(int control) {
  if (control < 0 || control >= kControlCount) return {};
  const PictureRect& r = kDeviceControls[static_cast<std::size_t>(control)].highlight;
  return drawDevice(control).rgb(r.left, r.top, r.width, r.height);
}

RgbPicture DrawLogo() {
  Canvas c(kLogoWidth, kLogoHeight, false);
  c.fill([](Point p) {
    Rgb col = verticalGradient(p, 0, kLogoHeight, hex(0x3D434C), hex(0x22262C));
    return lighten(col, 10 * std::max(0.0, 1 - std::abs(p.x - 60) / 140));
  });
  // A thin accent line along the bottom.
  c.paint({0, kLogoHeight - 3.0, kLogoWidth * 1.0, kLogoHeight * 1.0},
          [](Point p) { return p.y >= kLogoHeight - 3; },
          [](Point p) { return mix(kAccent, hex(0xFFB347), p.x / kLogoWidth); });
  drawEmblem(c, {42, 38}, 26);
  drawText(c, "ORVANEL", 82, 15, {9, 1.5, 3.2}, [](Point) { return hex(0xAEB5BF); });
  const TextStyle big{27, 3.6, 0.4};
  drawText(c, "Ring", 81, 33, big, [](Point) { return hex(0xF4F5F7); });
  drawText(c, "Deck", 81 + textWidth("Ring", big) + 1.5, 33, big,
           [](Point p) { return mix(hex(0xFFB347), kAccent, clamp01((p.y - 33) / 27)); });
  return c.rgb();
}

RgbPicture DrawAboutPicture() {
  Canvas c(kAboutWidth, kAboutHeight, false);
  c.fill([](Point p) {
    Rgb col = verticalGradient(p, 0, kAboutHeight, hex(0xF7F8FA), hex(0xD5DAE1));
    const double dx = (p.x - 390) / 230, dy = (p.y - 170) / 190;
    return lighten(col, 8 * std::max(0.0, 1 - (dx * dx + dy * dy)));
  });
  // The device, larger, on the right.
  c.setTransform(1.2, 205, 38);
  drawBody(c);
  drawRing(c, -1, {0, 0, 0, 0});
  drawJog(c, -1, {0, 0, 0, 0});
  for (int i = 0; i < kButtonControls; ++i) drawButton(c, i, -1, {0, 0, 0, 0});
  c.setTransform(1, 0, 0);
  drawEmblem(c, {52, 126}, 22);
  drawText(c, "ORVANEL", 24, 168, {11, 1.7, 3.4}, [](Point) { return hex(0x6B7380); });
  const TextStyle big{34, 4.4, 0.4};
  drawText(c, "Ring", 22, 188, big, [](Point) { return hex(0x2B2F36); });
  drawText(c, "Deck", 22 + textWidth("Ring", big) + 2, 188, big,
           [](Point p) { return mix(hex(0xFFA030), hex(0xE8700C), clamp01((p.y - 188) / 34)); });
  c.paint({24, 236, 214, 238.5}, [](Point p) { return p.x >= 24 && p.x <= 214 && p.y >= 236 && p.y <= 238.5; },
          [](Point) { return kAccent; });
  drawText(c, "JOG - SHUTTLE - 13 BUTTONS", 24, 250, {8, 1.4, 1.8}, [](Point) { return hex(0x59616D); });
  return c.rgb();
}

RgbPicture DrawEasterEggPicture() {
  Canvas c(kAboutWidth, kAboutHeight, false);
  c.fill([](Point p) { return verticalGradient(p, 0, kAboutHeight, hex(0xFFF3E4), hex(0xFFD6E0)); });
  // A doughnut where the ring would be, with sprinkles on its icing.
  const Point centre{340, 205};
  const Ellipse outer{centre.x, centre.y, 150, 118};
  const Ellipse hole{centre.x, centre.y - 4, 50, 38};
  c.shade(outer.box(20), [&](Point p) { return 0.35 * (1 - smooth(-10, 16, outer.distance({p.x - 6, p.y - 14}))); },
          hex(0xC58A9A));
  c.paint(outer.box(1), [&](Point p) { return outer.contains(p) && !hole.contains(p); },
          [&](Point p) {
            const double r = outer.radius(p);
            return lighten(hex(0xE0A35E), 40 * (0.6 - r) - 0.15 * (p.y - centre.y));
          });
  const auto icing = [&](Point p) {
    const double phi = outer.angle(p);
    const double wave = 0.84 + 0.05 * std::sin(phi * 7) + 0.025 * std::sin(phi * 13 + 1);
    const double rh = hole.radius(p);
    return outer.radius(p) < wave && rh > 1.14 + 0.04 * std::sin(phi * 9);
  };
  c.paint(outer.box(), icing, [&](Point p) {
    return lighten(hex(0xF47FA8), 34 * std::max(0.0, 1 - std::hypot(p.x - 280, p.y - 137) / 120));
  });
  Lcg rng{20061};
  const Rgb colours[] = {hex(0xFFFFFF), hex(0x5BC0EB), hex(0xFDE74C), hex(0x9BC53D), hex(0xFF8C1A), hex(0x7B5EA7)};
  for (int i = 0; i < 70; ++i) {
    const double phi = rng.next() * 2 * kPi, rad = 0.5 + rng.next() * 0.3;
    const Point q{centre.x + std::cos(phi) * outer.a * rad, centre.y + std::sin(phi) * outer.b * rad};
    const double a = rng.next() * kPi;
    const Rgb col = colours[static_cast<int>(rng.next() * 6) % 6];
    if (!icing(q)) continue;
    const RoundedRect s{q, 5, 1.6, 1.6, a};
    c.paint(s.box(1), [&](Point p) { return s.distance(p) <= 0; }, [&](Point) { return col; });
  }
  // Top left, below the version line; the Close button sits at the bottom left.
  drawText(c, "TAKE A BREAK!", 24, 36, {22, 3.6, 1.2}, [](Point) { return hex(0xC2185B); });
  drawText(c, "Even editors need doughnuts.", 26, 70, {10, 1.6, 0.6}, [](Point) { return hex(0x8A5A6A); });
  return c.rgb();
}

IconPicture DrawWindowIcon(int size) {
  Canvas c(size, size, false);
  c.setTransform(size / 48.0, 0, 0);
  // Drawn on a 48-unit square; the smallest size leaves the buttons out and shows the ring large.
  const bool small = size < 24;
  const Box body{2, 4, 46, 44};
  c.paint(body, [&](Point p) { return roundedBoxDistance(p, body, small ? 8 : 10) <= 0; },
          [&](Point p) { return verticalGradient(p, 4, 44, hex(0x4A505A), hex(0x272A30)); });
  const Ellipse ring = small ? Ellipse{24, 24, 17, 17} : Ellipse{20, 25, 14.5, 14.5};
  c.paint(ring.box(1), [&](Point p) { return ring.contains(p); },
          [&](Point p) { return lighten(hex(0xC3C8CF), 30 * std::cos(2 * (ring.angle(p) + kPi * 0.75))); });
  const Ellipse jog{ring.cx, ring.cy, ring.a * 0.6, ring.a * 0.6};
  c.paint(jog.box(2), [&](Point p) { return jog.radius(p) <= 1.14; }, [](Point) { return hex(0x101215); });
  c.paint(jog.box(1), [&](Point p) { return jog.contains(p); }, [](Point) { return hex(0x3B4049); });
  const Ellipse dot{ring.cx + ring.a * 0.25, ring.cy - ring.a * 0.25, ring.a * (small ? 0.2 : 0.16),
                    ring.a * (small ? 0.2 : 0.16)};
  c.paint(dot.box(1), [&](Point p) { return dot.contains(p); }, [](Point) { return kAccent; });
  if (!small) {
    for (int i = 0; i < 3; ++i) {
      const double a = (-52 + i * 40) * kPi / 180;
      const Ellipse b{ring.cx + std::cos(a) * 20.5, ring.cy + std::sin(a) * 20.5, 3, 3};
      c.paint(b.box(1), [&](Point p) { return b.contains(p); }, [](Point) { return hex(0xECEEF1); });
    }
  }
  return c.argb();
}

// ---------------------------------------------------------------------------------------------
// Files.

namespace {

void put16(std::vector<std::uint8_t>& out, std::uint32_t v) {
  out.push_back(static_cast<std::uint8_t>(v));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}
void put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  put16(out, v & 0xFFFF);
  put16(out, v >> 16);
}

// BITMAPFILEHEADER and BITMAPINFOHEADER of a bottom-up picture.
std::vector<std::uint8_t> bmpHeaders(int width, int height, int bits, std::uint32_t paletteEntries) {
  const auto rowBytes = static_cast<std::uint32_t>((width * bits / 8 + 3) / 4 * 4);
  const std::uint32_t imageBytes = rowBytes * static_cast<std::uint32_t>(height);
  const std::uint32_t offset = 14 + 40 + paletteEntries * 4;
  std::vector<std::uint8_t> out;
  out.push_back('B');
  out.push_back('M');
  put32(out, offset + imageBytes);
  put32(out, 0);
  put32(out, offset);
  put32(out, 40);
  put32(out, static_cast<std::uint32_t>(width));
  put32(out, static_cast<std::uint32_t>(height));
  put16(out, 1);
  put16(out, static_cast<std::uint32_t>(bits));
  put32(out, 0);  // no compression
  put32(out, imageBytes);
  put32(out, 2835);  // 72 dpi
  put32(out, 2835);
  put32(out, paletteEntries);
  put32(out, 0);
  return out;
}

void padRow(std::vector<std::uint8_t>& out, std::size_t rowStart) {
  while ((out.size() - rowStart) % 4 != 0) out.push_back(0);
}

}  // namespace

std::vector<std::uint8_t> BmpFile(const RgbPicture& picture) {
  std::vector<std::uint8_t> out = bmpHeaders(picture.width, picture.height, 24, 0);
  for (int y = picture.height - 1; y >= 0; --y) {
    const std::size_t start = out.size();
    for (int x = 0; x < picture.width; ++x) {
      const std::size_t i = static_cast<std::size_t>((y * picture.width + x) * 3);
      out.push_back(picture.rgb[i + 2]);
      out.push_back(picture.rgb[i + 1]);
      out.push_back(picture.rgb[i]);
    }
    padRow(out, start);
  }
  return out;
}

std::vector<std::uint8_t> BmpFile(const GreyPicture& picture) {
  std::vector<std::uint8_t> out = bmpHeaders(picture.width, picture.height, 8, 256);
  for (std::uint32_t v = 0; v < 256; ++v) put32(out, v << 16 | v << 8 | v);
  for (int y = picture.height - 1; y >= 0; --y) {
    const std::size_t start = out.size();
    const auto row = picture.value.begin() + static_cast<std::ptrdiff_t>(y * picture.width);
    out.insert(out.end(), row, row + picture.width);
    padRow(out, start);
  }
  return out;
}

std::vector<std::uint8_t> IcoFile(std::span<const IconPicture> images) {
  std::vector<std::uint8_t> out;
  put16(out, 0);  // reserved
  put16(out, 1);  // icon
  put16(out, static_cast<std::uint32_t>(images.size()));
  const auto maskRow = [](int size) { return static_cast<std::uint32_t>((size + 31) / 32 * 4); };
  std::uint32_t offset = 6 + 16 * static_cast<std::uint32_t>(images.size());
  for (const IconPicture& img : images) {
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
  for (const IconPicture& img : images) {
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
    for (int y = img.size - 1; y >= 0; --y) {
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

std::vector<ArtFile> PanelArtFiles() {
  std::vector<ArtFile> files;
  files.push_back({"device.bmp", BmpFile(DrawDevicePicture())});
  files.push_back({"mask.bmp", BmpFile(DrawDeviceMask())});
  for (int i = 0; i < kControlCount; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "highlight_%02d.bmp", i);
    files.push_back({name, BmpFile(DrawHighlightPicture(i))});
  }
  files.push_back({"logo.bmp", BmpFile(DrawLogo())});
  files.push_back({"about.bmp", BmpFile(DrawAboutPicture())});
  files.push_back({"about2.bmp", BmpFile(DrawEasterEggPicture())});
  const IconPicture icons[] = {DrawWindowIcon(16), DrawWindowIcon(32), DrawWindowIcon(48)};
  files.push_back({"panel.ico", IcoFile(icons)});
  return files;
}

}  // namespace ringdeck::panel
