// A fixed keyboard layout for the tests: a US layout's answers to VkKeyScanExA for the
// printable characters, -1 for everything else.
#pragma once

#include "layout_chars.h"

namespace ringdeck::panel::testing {

class UsLayout final : public KeyboardLayoutQuery {
 public:
  std::int16_t keyForCharacter(std::uint8_t c) const override {
    constexpr std::int16_t kShift = 0x100;
    if (c >= 'a' && c <= 'z') return static_cast<std::int16_t>(c - 'a' + 'A');
    if (c >= 'A' && c <= 'Z') return static_cast<std::int16_t>(kShift | c);
    if (c >= '0' && c <= '9') return c;
    switch (c) {
      case ' ': return 0x20;
      case '\b': return 0x08;
      case '\t': return 0x09;
      case '\r': return 0x0D;
      case 27: return 0x1B;
      case ';': return 0xBA;
      case '=': return 0xBB;
      case ',': return 0xBC;
      case '-': return 0xBD;
      case '.': return 0xBE;
      case '/': return 0xBF;
      case '`': return 0xC0;
      case '[': return 0xDB;
      case '\\': return 0xDC;
      case ']': return 0xDD;
      case '\'': return 0xDE;
      case ':': return kShift | 0xBA;
      case '+': return kShift | 0xBB;
      case '<': return kShift | 0xBC;
      case '!': return kShift | 0x31;
      case '\n': return 0x200 | 0x0D;  // Control+Enter
      default: return -1;
    }
  }
};

inline LayoutCharTable usLayoutTable() {
  LayoutCharTable table;
  table.fill(UsLayout{});
  return table;
}

}  // namespace ringdeck::panel::testing
