#include "controller_model.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "device_art.h"
#include "device_map.h"

namespace ringdeck::vcontroller {
namespace {

using panel::kDeviceControls;

const DeviceMask& deviceMask() {
  static const DeviceMask mask = [] {
    const panel::GreyPicture grey = panel::DrawDeviceMask();
    return DeviceMask(grey.value, grey.width, grey.height);
  }();
  return mask;
}

struct Point {
  int x, y;
};

// The pixel of a control's mask value nearest the middle of its pixels: inside it, not on its
// edge.
Point inside(int control) {
  const std::uint8_t value = kDeviceControls[static_cast<std::size_t>(control)].maskValue;
  static const panel::GreyPicture grey = panel::DrawDeviceMask();
  double sx = 0, sy = 0, n = 0;
  for (int y = 0; y < grey.height; ++y)
    for (int x = 0; x < grey.width; ++x)
      if (grey.value[static_cast<std::size_t>(y * grey.width + x)] == value) sx += x, sy += y, n += 1;
  Point best{-1, -1};
  double bestD = 1e9;
  for (int y = 0; y < grey.height; ++y)
    for (int x = 0; x < grey.width; ++x) {
      if (grey.value[static_cast<std::size_t>(y * grey.width + x)] != value) continue;
      const double d = std::hypot(x - sx / n, y - sy / n);
      if (d < bestD) bestD = d, best = {x, y};
    }
  return best;
}

// A point on the ring at a clockwise angle from the top (degrees), a little inside its edge.
Point onRing(double degrees) {
  const Ellipse& e = deviceMask().ring();
  const double a = degrees * std::numbers::pi / 180;
  return {static_cast<int>(std::lround(e.cx + std::sin(a) * (e.rx - 3))),
          static_cast<int>(std::lround(e.cy - std::cos(a) * (e.ry - 3)))};
}

Point onJog(double degrees) {
  const Ellipse& e = deviceMask().jog();
  const double a = degrees * std::numbers::pi / 180;
  return {static_cast<int>(std::lround(e.cx + std::sin(a) * (e.rx - 4))),
          static_cast<int>(std::lround(e.cy - std::cos(a) * (e.ry - 4)))};
}

TEST(ControllerReport, BytesAsTheDeviceSendsThem) {
  struct Case {
    int shuttle;
    std::uint8_t jog;
    std::uint16_t buttons;
    Report expected;
  } cases[] = {
      {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}},
      {3, 17, 1 << 4, {0, 3, 17, 0, 0x10, 0, 0, 0}},
      {-7, 255, (1 << 12) | 1, {0, 0xF9, 255, 0, 0x01, 0x10, 0, 0}},
      {7, 0, 0x1FFF, {0, 7, 0, 0, 0xFF, 0x1F, 0, 0}},
      // Out of range: the ring stops at its ends; there is no fourteenth button.
      {9, 0, 0xFFFF, {0, 7, 0, 0, 0xFF, 0x1F, 0, 0}},
      {-100, 0, 0xE000, {0, 0xF9, 0, 0, 0, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(BuildReport(c.shuttle, c.jog, c.buttons), c.expected) << c.shuttle << " " << c.buttons;
  }
}

TEST(ControllerMask, EveryControlIsFoundWhereTheArtworkPaintsIt) {
  for (int control = 0; control < panel::kControlCount; ++control) {
    const Point p = inside(control);
    const Hit hit = deviceMask().at(p.x, p.y);
    if (control < panel::kButtonControls) {
      EXPECT_EQ(hit, (Hit{Part::Button, control})) << control;
    } else {
      EXPECT_EQ(hit.part, control == panel::kJogControl ? Part::Jog : Part::Shuttle) << control;
    }
  }
  EXPECT_EQ(deviceMask().at(0, 0).part, Part::None);  // the background
  for (const Point p : {Point{-1, 50}, Point{50, -1}, Point{panel::kDevicePictureWidth, 50},
                        Point{50, panel::kDevicePictureHeight}}) {
    EXPECT_EQ(deviceMask().at(p.x, p.y).part, Part::None) << p.x << "," << p.y;
  }
}

TEST(ControllerMask, ShortOrEmptyMaskTouchesNothing) {
  const DeviceMask empty({}, 0, 0);
  EXPECT_EQ(empty.at(0, 0).part, Part::None);
  const DeviceMask shortMask({kDeviceControls[0].maskValue}, 10, 10);  // 1 of 100 bytes
  EXPECT_EQ(shortMask.at(0, 0).part, Part::Button);
  EXPECT_EQ(shortMask.at(9, 9).part, Part::None);
  const DeviceMask negative({1, 2, 3}, -5, 3);
  EXPECT_EQ(negative.at(0, 0).part, Part::None);
}

TEST(ControllerMask, JogSitsInsideTheRing) {
  const Ellipse& jog = deviceMask().jog();
  const Ellipse& ring = deviceMask().ring();
  EXPECT_NEAR(jog.cx, ring.cx, 3);
  EXPECT_GT(ring.rx, jog.rx);
  EXPECT_GT(ring.ry, jog.ry);
  for (double a = 0; a < 360; a += 30) {
    const Point r = onRing(a), j = onJog(a);
    EXPECT_EQ(deviceMask().at(r.x, r.y).part, Part::Shuttle) << a;
    EXPECT_EQ(deviceMask().at(j.x, j.y).part, Part::Jog) << a;
  }
}

TEST(ControllerModelButtons, ClickHoldsUntilTheMouseButtonComesUp) {
  ControllerModel m(deviceMask());
  const Point fifth = inside(4);
  EXPECT_EQ(m.mouseDown(MouseButton::Left, fifth.x, fifth.y), (Hit{Part::Button, 4}));
  EXPECT_EQ(m.buttons(), 1 << 4);
  EXPECT_EQ(m.report()[4], 0x10);
  m.mouseMove(0, 0);  // sliding off keeps it down, as the captured mouse does
  EXPECT_EQ(m.buttons(), 1 << 4);
  m.mouseUp(MouseButton::Left);
  EXPECT_EQ(m.buttons(), 0);
}

TEST(ControllerModelButtons, RightClickLatchesUntilTheNextForChords) {
  ControllerModel m(deviceMask());
  const Point fifth = inside(4), sixth = inside(5), last = inside(12);
  m.mouseDown(MouseButton::Right, fifth.x, fifth.y);
  m.mouseUp(MouseButton::Right);
  m.mouseDown(MouseButton::Right, sixth.x, sixth.y);
  m.mouseUp(MouseButton::Right);
  EXPECT_EQ(m.buttons(), (1 << 4) | (1 << 5));
  EXPECT_TRUE(m.latched(4));
  // A click of a third button plays it on top of the chord; its release leaves the chord.
  m.mouseDown(MouseButton::Left, last.x, last.y);
  EXPECT_EQ(m.buttons(), (1 << 4) | (1 << 5) | (1 << 12));
  m.mouseUp(MouseButton::Left);
  EXPECT_EQ(m.buttons(), (1 << 4) | (1 << 5));
  // A left click on a latched button leaves it latched.
  m.mouseDown(MouseButton::Left, fifth.x, fifth.y);
  m.mouseUp(MouseButton::Left);
  EXPECT_EQ(m.buttons(), (1 << 4) | (1 << 5));
  m.mouseDown(MouseButton::Right, fifth.x, fifth.y);
  EXPECT_EQ(m.buttons(), 1 << 5);
  EXPECT_FALSE(m.latched(4));
  m.releaseAll();
  EXPECT_EQ(m.buttons(), 0);
  EXPECT_FALSE(m.latched(5));
  // Right clicks elsewhere change nothing.
  m.mouseDown(MouseButton::Right, 0, 0);
  const Point jog = inside(panel::kJogControl);
  m.mouseDown(MouseButton::Right, jog.x, jog.y);
  EXPECT_EQ(m.report(), BuildReport(0, 0, 0));
}

TEST(ControllerModelJog, WheelNotchesOverTheJogStepAndWrap) {
  ControllerModel m(deviceMask());
  const Point jog = inside(panel::kJogControl), ring = onRing(0);
  struct Step {
    int delta;
    Point at;
    int steps;
    std::uint8_t counter;
  } steps[] = {
      {120, jog, 1, 1},    {360, jog, 3, 4},     {-120, jog, -1, 3},  {-480, jog, -4, 255},
      {60, jog, 0, 255},   {60, jog, 1, 0},      // two halves make a notch
      {-60, jog, 0, 0},    {120, ring, 0, 0},    // not over the jog: nothing, the half forgotten
      {-120, jog, -1, 255}, {120 * 50, jog, 50, 49},  // wraps around
      {120 * 300, jog, 100, 149},  // more than a report can tell counts as 100
  };
  for (const Step& s : steps) {
    EXPECT_EQ(m.wheel(s.delta, s.at.x, s.at.y), s.steps) << s.delta;
    EXPECT_EQ(m.jogCounter(), s.counter) << s.delta;
    EXPECT_EQ(m.report()[2], s.counter);
  }
  EXPECT_EQ(m.wheel(INT32_MIN, jog.x, jog.y), -100);
  EXPECT_EQ(m.jogCounter(), 49);
}

TEST(ControllerModelJog, DraggingAroundTurnsOneStepPerFifteenDegrees) {
  ControllerModel m(deviceMask());
  const Point start = onJog(0);
  ASSERT_EQ(m.mouseDown(MouseButton::Left, start.x, start.y).part, Part::Jog);
  for (double a = 0; a <= 360; a += 5) m.mouseMove(onJog(a).x, onJog(a).y);
  // One turn clockwise, within a step of pixel rounding.
  EXPECT_NEAR(m.jogCounter(), 360 / kJogDegreesPerStep, 1);
  const int afterTurn = m.jogCounter();
  for (double a = 360; a >= 270; a -= 5) m.mouseMove(onJog(a).x, onJog(a).y);
  EXPECT_NEAR(afterTurn - m.jogCounter(), 90 / kJogDegreesPerStep, 1);
  m.mouseUp(MouseButton::Left);
  const int counter = m.jogCounter();
  m.mouseMove(onJog(180).x, onJog(180).y);  // no longer held
  EXPECT_EQ(m.jogCounter(), counter);
}

TEST(ControllerModelShuttle, FollowsThePointersAngleAndSpringsBack) {
  ControllerModel m(deviceMask());
  const Point top = onRing(0);
  ASSERT_EQ(m.mouseDown(MouseButton::Left, top.x, top.y).part, Part::Shuttle);
  EXPECT_TRUE(m.holdingRing());
  struct Step {
    double angle;
    int shuttle;
  } steps[] = {{0, 0}, {5, 0}, {24, 2}, {48, 4}, {90, 7}, {150, 7}, {36, 3}, {0, 0}, {-36, -3}, {-120, -7}, {-12, -1}};
  for (const Step& s : steps) {
    const Point p = onRing(s.angle);
    m.mouseMove(p.x, p.y);
    EXPECT_NEAR(m.shuttle(), s.shuttle, 1) << s.angle;  // pixel rounding
    EXPECT_EQ(static_cast<std::int8_t>(m.report()[1]), m.shuttle());
  }
  m.mouseMove(onRing(90).x, onRing(90).y);
  ASSERT_EQ(m.shuttle(), 7);
  EXPECT_FALSE(m.springStep());  // held: it stays
  m.mouseUp(MouseButton::Left);
  std::vector<int> back;
  while (m.springStep()) back.push_back(m.shuttle());
  EXPECT_EQ(back, (std::vector<int>{6, 5, 4, 3, 2, 1, 0}));
}

TEST(ControllerModelShuttle, TurningPastTheBottomDoesNotJump) {
  ControllerModel m(deviceMask());
  const Point start = onRing(170);
  m.mouseDown(MouseButton::Left, start.x, start.y);
  for (double a = 170; a <= 194; a += 2) m.mouseMove(onRing(a).x, onRing(a).y);  // across ±180
  EXPECT_NEAR(m.shuttle(), 2, 1);
  m.mouseUp(MouseButton::Left);
}

TEST(ControllerModelShuttle, TakenWhileSpringingBackItGoesOnFromThere) {
  ControllerModel m(deviceMask());
  m.mouseDown(MouseButton::Left, onRing(0).x, onRing(0).y);
  m.mouseMove(onRing(90).x, onRing(90).y);
  m.mouseUp(MouseButton::Left);
  m.springStep();
  m.springStep();
  ASSERT_EQ(m.shuttle(), 5);
  m.mouseDown(MouseButton::Left, onRing(-30).x, onRing(-30).y);
  EXPECT_EQ(m.shuttle(), 5);
  m.mouseMove(onRing(-30).x, onRing(-30).y);
  EXPECT_EQ(m.shuttle(), 5);
  m.mouseMove(onRing(-54).x, onRing(-54).y);
  EXPECT_NEAR(m.shuttle(), 3, 1);
  m.releaseAll();
  EXPECT_EQ(m.shuttle(), 0);
  EXPECT_FALSE(m.holdingRing());
}

TEST(ControllerModel, OneThingAtATimeWithTheLeftButton) {
  ControllerModel m(deviceMask());
  const Point fifth = inside(4);
  m.mouseDown(MouseButton::Left, onRing(0).x, onRing(0).y);
  m.mouseDown(MouseButton::Left, fifth.x, fifth.y);  // a second down while the ring is held
  EXPECT_EQ(m.buttons(), 0);
  m.mouseUp(MouseButton::Left);
  EXPECT_FALSE(m.holdingRing());
  m.mouseDown(MouseButton::Left, 0, 0);  // the background
  m.mouseMove(onRing(90).x, onRing(90).y);
  EXPECT_EQ(m.report(), BuildReport(0, 0, 0));
}

TEST(ControllerAngle, ClockwiseFromTheTopAndTurnsAddUp) {
  const Ellipse e{100, 50, 40, 20};
  EXPECT_NEAR(AngleAround(e, 100, 30), 0, 1e-9);
  EXPECT_NEAR(AngleAround(e, 140, 50), 90, 1e-9);
  EXPECT_NEAR(AngleAround(e, 60, 50), -90, 1e-9);
  EXPECT_NEAR(std::abs(AngleAround(e, 100, 70)), 180, 1e-9);
  EXPECT_NEAR(AngleAround(e, 140, 30), 45, 1e-9);  // the ellipse counts as a circle
  EXPECT_EQ(AngleAround(e, 100, 50), 0);           // the centre itself
  TurnTracker t;
  t.begin(170);
  t.update(-170);
  EXPECT_NEAR(t.total(), 20, 1e-9);
  t.update(170);
  t.update(0);
  EXPECT_NEAR(t.total(), -170, 1e-9);
  EXPECT_EQ(ShuttleForTurn(5.9), 0);
  EXPECT_EQ(ShuttleForTurn(6.1), 1);
  EXPECT_EQ(ShuttleForTurn(-1000), -7);
  EXPECT_EQ(ShuttleForTurn(std::nan("")), 0);
}

}  // namespace
}  // namespace ringdeck::vcontroller
