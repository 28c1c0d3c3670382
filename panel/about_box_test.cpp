#include "about_box.h"

#include <gtest/gtest.h>

#include <vector>

namespace ringdeck::panel {
namespace {

bool playAll(EasterEggSequence& egg, const std::vector<int>& clicks) {
  bool changed = false;
  for (int q : clicks) changed = egg.Click(q);
  return changed;
}

TEST(EasterEgg, EightClicksInOrderShowItAndTheNextClickHidesIt) {
  EasterEggSequence egg;
  EXPECT_TRUE(playAll(egg, {0, 1, 3, 2, 0, 1, 3, 2}));
  EXPECT_TRUE(egg.shown());
  EXPECT_TRUE(egg.Click(3));
  EXPECT_FALSE(egg.shown());
}

TEST(EasterEgg, AWrongClickStartsOverAndMayBeginTheSequence) {
  EasterEggSequence egg;
  EXPECT_FALSE(playAll(egg, {0, 1, 3, 3, 0, 1, 3, 2, 0, 1, 3}));
  EXPECT_FALSE(egg.shown());
  EXPECT_TRUE(egg.Click(2));
  EXPECT_TRUE(egg.shown());
  EasterEggSequence other;
  EXPECT_FALSE(playAll(other, {0, 1, 3, 2, 0, 1, 3, 1}));  // the last one wrong
  EXPECT_FALSE(other.shown());
}

TEST(EasterEgg, QuadrantsSplitThePictureInHalves) {
  EXPECT_EQ(AboutQuadrant(0, 0, 539, 360), 0);
  EXPECT_EQ(AboutQuadrant(538, 0, 539, 360), 1);
  EXPECT_EQ(AboutQuadrant(10, 359, 539, 360), 2);
  EXPECT_EQ(AboutQuadrant(300, 200, 539, 360), 3);
  EXPECT_EQ(AboutQuadrant(269, 179, 539, 360), 0);
}

}  // namespace
}  // namespace ringdeck::panel
