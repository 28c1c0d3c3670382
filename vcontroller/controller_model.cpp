#include "controller_model.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "device_map.h"

namespace ringdeck::vcontroller {

Report BuildReport(int shuttle, std::uint8_t jog, std::uint16_t buttons) {
  shuttle = std::clamp(shuttle, -kShuttleMax, kShuttleMax);
  return Report{0,
                static_cast<std::uint8_t>(static_cast<std::int8_t>(shuttle)),
                jog,
                0,
                static_cast<std::uint8_t>(buttons & 0xFF),
                static_cast<std::uint8_t>(buttons >> 8 & 0x1F),
                0,
                0};
}

double AngleAround(const Ellipse& e, double x, double y) {
  const double dx = (x - e.cx) / (e.rx > 0 ? e.rx : 1);
  const double dy = (y - e.cy) / (e.ry > 0 ? e.ry : 1);
  if (dx == 0 && dy == 0) return 0;
  return std::atan2(dx, -dy) * 180.0 / std::numbers::pi;
}

namespace {

// The smallest ellipse around the box of every pixel of one value (a fallback when there is none).
Ellipse extentOf(const std::vector<std::uint8_t>& values, int width, int height, std::uint8_t value) {
  int x0 = width, y0 = height, x1 = -1, y1 = -1;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      if (values[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)] != value)
        continue;
      x0 = std::min(x0, x);
      x1 = std::max(x1, x);
      y0 = std::min(y0, y);
      y1 = std::max(y1, y);
    }
  }
  if (x1 < 0) return Ellipse{width / 2.0, height / 2.0, 1, 1};
  return Ellipse{(x0 + x1) / 2.0, (y0 + y1) / 2.0, (x1 - x0 + 1) / 2.0, (y1 - y0 + 1) / 2.0};
}

}  // namespace

DeviceMask::DeviceMask(std::vector<std::uint8_t> values, int width, int height)
    : values_(std::move(values)), width_(std::max(width, 0)), height_(std::max(height, 0)) {
  values_.resize(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_), 0);
  using panel::kDeviceControls;
  jog_ = extentOf(values_, width_, height_, kDeviceControls[panel::kJogControl].maskValue);
  ring_ = extentOf(values_, width_, height_, kDeviceControls[panel::kShuttleControl].maskValue);
}

Hit DeviceMask::at(int x, int y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return {};
  const int control = panel::ControlForMaskValue(
      values_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) + static_cast<std::size_t>(x)]);
  if (control < 0) return {};
  if (control < panel::kButtonControls) return Hit{Part::Button, control};
  return Hit{control == panel::kJogControl ? Part::Jog : Part::Shuttle, -1};
}

double TurnTracker::update(double angle) {
  double step = angle - last_;
  while (step > 180) step -= 360;
  while (step <= -180) step += 360;
  last_ = angle;
  total_ += step;
  return total_;
}

int ShuttleForTurn(double degrees) {
  if (!std::isfinite(degrees)) return 0;
  const double position = std::round(degrees / kShuttleDegreesPerPosition);
  return static_cast<int>(std::clamp(position, -double{kShuttleMax}, double{kShuttleMax}));
}

Hit ControllerModel::mouseDown(MouseButton which, int x, int y) {
  const Hit hit = mask_.at(x, y);
  if (which == MouseButton::Right) {
    if (hit.part == Part::Button) latched_ ^= static_cast<std::uint16_t>(1u << hit.button);
    return hit;
  }
  if (held_ != Part::None || pressedButton_ >= 0) return hit;  // one thing at a time
  switch (hit.part) {
    case Part::Button:
      pressedButton_ = hit.button;
      pressed_ = static_cast<std::uint16_t>(1u << hit.button);
      break;
    case Part::Jog:
      held_ = Part::Jog;
      turn_.begin(AngleAround(mask_.jog(), x, y));
      jogTurnUsed_ = 0;
      break;
    case Part::Shuttle:
      held_ = Part::Shuttle;
      turn_.begin(AngleAround(mask_.ring(), x, y));
      break;
    case Part::None:
      break;
  }
  // A ring taken while it springs back goes on from where it is, without a jump.
  startShuttle_ = held_ == Part::Shuttle ? shuttle_ : 0;
  return hit;
}

void ControllerModel::mouseMove(int x, int y) {
  if (held_ == Part::Jog) {
    const double total = turn_.update(AngleAround(mask_.jog(), x, y));
    while (total - jogTurnUsed_ >= kJogDegreesPerStep) {
      jogTurnUsed_ += kJogDegreesPerStep;
      turnJog(1);
    }
    while (total - jogTurnUsed_ <= -kJogDegreesPerStep) {
      jogTurnUsed_ -= kJogDegreesPerStep;
      turnJog(-1);
    }
  } else if (held_ == Part::Shuttle) {
    const double total = turn_.update(AngleAround(mask_.ring(), x, y));
    shuttle_ = ShuttleForTurn(total + startShuttle_ * kShuttleDegreesPerPosition);
  }
}

void ControllerModel::mouseUp(MouseButton which) {
  if (which != MouseButton::Left) return;
  if (pressedButton_ >= 0) {
    pressed_ = 0;
    pressedButton_ = -1;
  }
  held_ = Part::None;
}

int ControllerModel::wheel(int delta, int x, int y) {
  if (mask_.at(x, y).part != Part::Jog) {
    wheelRest_ = 0;
    return 0;
  }
  // A report tells a jog turn of at most 127 steps (the counter's difference as a signed byte):
  // a bigger turn in one go counts as 100.
  wheelRest_ += std::clamp(delta, -kMaxWheelSteps * kWheelNotch, kMaxWheelSteps * kWheelNotch);
  const int steps = wheelRest_ / kWheelNotch;
  wheelRest_ -= steps * kWheelNotch;
  turnJog(steps);
  return steps;
}

bool ControllerModel::springStep() {
  if (held_ == Part::Shuttle || shuttle_ == 0) return false;
  shuttle_ += shuttle_ > 0 ? -1 : 1;
  return true;
}

void ControllerModel::releaseAll() {
  pressed_ = 0;
  latched_ = 0;
  pressedButton_ = -1;
  held_ = Part::None;
  shuttle_ = 0;
}

}  // namespace ringdeck::vcontroller
