// The on-screen controller without the window: which control of the device picture a point
// touches (by the picture's mask), what the mouse does to the controls, and the 8-byte input
// report the controls make, exactly as the device sends it.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace ringdeck::vcontroller {

inline constexpr int kButtonCount = 13;
inline constexpr int kShuttleMax = 7;
// One wheel notch (WHEEL_DELTA) turns the jog by one step.
inline constexpr int kWheelNotch = 120;
inline constexpr int kMaxWheelSteps = 100;
// Pointer turn around the ring per shuttle position, and around the jog per jog step (degrees).
inline constexpr double kShuttleDegreesPerPosition = 12.0;
inline constexpr double kJogDegreesPerStep = 15.0;

using Report = std::array<std::uint8_t, 8>;

// Byte 1 the shuttle (-7..7), byte 2 the jog counter, bytes 4-5 the buttons (bit b = button
// b + 1), everything else 0.
Report BuildReport(int shuttle, std::uint8_t jog, std::uint16_t buttons);

enum class Part { None, Button, Jog, Shuttle };

struct Hit {
  Part part = Part::None;
  int button = -1;  // 0..12 for Part::Button
  bool operator==(const Hit&) const = default;
};

struct Ellipse {
  double cx = 0, cy = 0, rx = 1, ry = 1;
};

// Clockwise angle of a point around an ellipse's centre in degrees, (-180, 180], 0 straight up;
// the ellipse's radii make a turn drawn in perspective count as a turn of a circle.
double AngleAround(const Ellipse& e, double x, double y);

// The device picture's mask (one grey value per control, 0 elsewhere; the control panel's
// artwork) and the shapes taken from it.
class DeviceMask {
 public:
  // values: width × height bytes, top row first. Fewer bytes than that count as background.
  DeviceMask(std::vector<std::uint8_t> values, int width, int height);

  int width() const { return width_; }
  int height() const { return height_; }
  // The control at a point of the picture; nothing outside it.
  Hit at(int x, int y) const;
  // The extent of the jog and of the ring as the mask paints them.
  const Ellipse& jog() const { return jog_; }
  const Ellipse& ring() const { return ring_; }

 private:
  std::vector<std::uint8_t> values_;
  int width_ = 0;
  int height_ = 0;
  Ellipse jog_, ring_;
};

// Follows a pointer around a centre and adds up how far it has turned (degrees, clockwise
// positive), across the line where the angle wraps.
class TurnTracker {
 public:
  void begin(double angle) {
    last_ = angle;
    total_ = 0;
  }
  double update(double angle);
  double total() const { return total_; }

 private:
  double last_ = 0;
  double total_ = 0;
};

// The shuttle position for a turn of the pointer around the ring: the nearest position,
// -7..7.
int ShuttleForTurn(double degrees);

enum class MouseButton { Left, Right };

// The controls and what the mouse does to them. Points are in the picture's pixels.
class ControllerModel {
 public:
  explicit ControllerModel(const DeviceMask& mask) : mask_(mask) {}

  // A mouse button went down at a point: a left button presses the button under it (until it
  // goes up) or takes hold of the jog or the ring; a right button latches a button down or lets
  // a latched one go. Returns what it touched.
  Hit mouseDown(MouseButton which, int x, int y);
  // The pointer moved (with a button down or not): turns the jog or the ring being held.
  void mouseMove(int x, int y);
  // The mouse button went up: the button pressed with it comes up; the ring is let go and
  // springs back (springStep).
  void mouseUp(MouseButton which);
  // The wheel turned by delta (kWheelNotch a notch, positive away from the person) with the
  // pointer at a point: over the jog, one jog step a notch (away = right), parts of a notch kept
  // for the next. Returns the steps turned.
  int wheel(int delta, int x, int y);

  // The ring back one position toward the centre, as its spring takes it; false when it is
  // already there or still held.
  bool springStep();
  // Everything let go: pressed and latched buttons up, the ring at the centre, nothing held.
  void releaseAll();

  std::uint16_t buttons() const { return static_cast<std::uint16_t>(pressed_ | latched_); }
  bool latched(int button) const { return button >= 0 && button < kButtonCount && (latched_ >> button & 1); }
  int shuttle() const { return shuttle_; }
  std::uint8_t jogCounter() const { return jog_; }
  bool holdingRing() const { return held_ == Part::Shuttle; }
  bool holdingJog() const { return held_ == Part::Jog; }
  Report report() const { return BuildReport(shuttle_, jog_, buttons()); }

 private:
  void turnJog(int steps) { jog_ = static_cast<std::uint8_t>(jog_ + steps); }

  const DeviceMask& mask_;
  std::uint16_t pressed_ = 0;  // held by the left mouse button
  std::uint16_t latched_ = 0;  // held by a right-click until the next one
  int pressedButton_ = -1;
  Part held_ = Part::None;     // the jog or the ring, while the left button holds it
  TurnTracker turn_;
  double jogTurnUsed_ = 0;     // degrees of the jog turn already given as steps
  int startShuttle_ = 0;       // where the ring was when it was taken hold of
  int shuttle_ = 0;
  std::uint8_t jog_ = 0;
  int wheelRest_ = 0;          // part of a notch not yet turned
};

}  // namespace ringdeck::vcontroller
