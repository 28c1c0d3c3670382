#include "device_map.h"

#include <gtest/gtest.h>

#include <vector>

namespace ringdeck::panel {
namespace {

TEST(DeviceMap, EachMaskValueSelectsItsUserAction) {
  const struct {
    std::uint8_t value;
    int action;
  } cases[] = {
      {255, 0},  {254, 1},  {253, 2},   {247, 3},   {252, 4},   {251, 5},  {250, 6},  {249, 7},
      {248, 8},  {202, 9},  {204, 10},  {201, 11},  {203, 12},
      {209, 13},  // the jog wheel: "Jog Left"
      {219, 15},  // the shuttle ring: "Shuttle in Left 7"
      // Everything else selects nothing: the background, neighbours of table values, and the
      // positions the jog and shuttle groups do not lead to directly.
      {0, -1},   {1, -1},   {13, -1},   {14, -1},   {15, -1},   {200, -1}, {205, -1}, {208, -1},
      {210, -1}, {218, -1}, {220, -1},  {246, -1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(UserActionForMaskValue(c.value), c.action) << "mask value " << int{c.value};
  }
}

TEST(DeviceMap, PointsOutsideThePictureSelectNothing) {
  // A mask painted in a control's value everywhere: only the bounds decide.
  const std::vector<std::uint8_t> mask(kDevicePictureWidth * kDevicePictureHeight, 255);
  const struct {
    int x, y, action;
  } cases[] = {
      {0, 0, 0},     {269, 247, 0},  {269, 0, 0},   {0, 247, 0},    {-1, 0, -1},
      {0, -1, -1},   {270, 0, -1},   {0, 248, -1},  {270, 248, -1}, {-100000, 5, -1},
      {5, 1 << 30, -1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(UserActionAtPicturePoint(mask.data(), c.x, c.y), c.action) << c.x << "," << c.y;
  }
  EXPECT_EQ(UserActionAtPicturePoint(nullptr, 5, 5), -1);
}

TEST(DeviceMap, ReadsTheMaskRowByRowFromTheTop) {
  std::vector<std::uint8_t> mask(kDevicePictureWidth * kDevicePictureHeight, 0);
  mask[static_cast<std::size_t>(2 * kDevicePictureWidth + 7)] = 209;
  EXPECT_EQ(UserActionAtPicturePoint(mask.data(), 7, 2), 13);
  EXPECT_EQ(UserActionAtPicturePoint(mask.data(), 2, 7), -1);
  EXPECT_EQ(UserActionAtPicturePoint(mask.data(), 8, 2), -1);
}

TEST(DeviceMap, HighlightRectanglesLieInsideThePicture) {
  for (std::size_t i = 0; i < kDeviceControls.size(); ++i) {
    const PictureRect& r = kDeviceControls[i].highlight;
    EXPECT_GE(r.left, 0) << i;
    EXPECT_GE(r.top, 0) << i;
    EXPECT_GT(r.width, 0) << i;
    EXPECT_GT(r.height, 0) << i;
    EXPECT_LE(r.left + r.width, kDevicePictureWidth) << i;
    EXPECT_LE(r.top + r.height, kDevicePictureHeight) << i;
  }
}

}  // namespace
}  // namespace ringdeck::panel
