#include "layout_chars.h"

namespace ringdeck::panel {

void LayoutCharTable::fill(const KeyboardLayoutQuery& layout) {
  chars_.fill(kNoCharacter);
  // 255 stays out: it is the table's own "no character" mark.
  for (unsigned c = 0; c < kNoCharacter; ++c) {
    const auto answer = static_cast<std::uint16_t>(layout.keyForCharacter(static_cast<std::uint8_t>(c)));
    if ((answer >> 8) != 0) continue;  // needs a shift state, or no key at all (-1)
    chars_[answer & 0xFF] = static_cast<std::uint8_t>(c);
  }
}

}  // namespace ringdeck::panel
