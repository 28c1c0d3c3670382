#include "about_box.h"

namespace ringdeck::panel {

int AboutQuadrant(int x, int y, int width, int height) {
  return (x * 2 >= width ? 1 : 0) + (y * 2 >= height ? 2 : 0);
}

bool EasterEggSequence::Click(int quadrant) {
  if (shown_) {
    shown_ = false;
    matched_ = 0;
    return true;
  }
  if (quadrant == kSequence[static_cast<std::size_t>(matched_)]) {
    ++matched_;
  } else {
    // A wrong click may itself begin the sequence again.
    matched_ = quadrant == kSequence[0] ? 1 : 0;
  }
  if (matched_ == static_cast<int>(kSequence.size())) {
    shown_ = true;
    matched_ = 0;
    return true;
  }
  return false;
}

}  // namespace ringdeck::panel
