// The about box's hidden second picture: it appears after eight clicks on the quadrants of the
// about picture in one fixed order (twice round clockwise from the top left, like turning the
// jog wheel) and goes again with the next click.
#pragma once

#include <array>

namespace ringdeck::panel {

// 0 top left, 1 top right, 2 bottom left, 3 bottom right.
int AboutQuadrant(int x, int y, int width, int height);

class EasterEggSequence {
 public:
  static constexpr std::array<int, 8> kSequence = {0, 1, 3, 2, 0, 1, 3, 2};

  bool shown() const { return shown_; }
  // A click on the picture; true when the picture to show changed.
  bool Click(int quadrant);

 private:
  int matched_ = 0;
  bool shown_ = false;
};

}  // namespace ringdeck::panel
