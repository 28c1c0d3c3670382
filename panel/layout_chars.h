// The unshifted character each virtual key types in the keyboard layout that was active when
// the main window was created. Key names fall back on it for digits, punctuation and whatever
// else has no name of its own.
#pragma once

#include <array>
#include <cstdint>

namespace ringdeck::panel {

// The platform's answer for one character: low byte the virtual key, high byte the shift state
// it needs; -1 when no key types it.
class KeyboardLayoutQuery {
 public:
  virtual ~KeyboardLayoutQuery() = default;
  virtual std::int16_t keyForCharacter(std::uint8_t character) const = 0;
};

class LayoutCharTable {
 public:
  static constexpr std::uint8_t kNoCharacter = 255;

  LayoutCharTable() { chars_.fill(kNoCharacter); }

  // Built once; keys that need Shift, Control or Alt for a character don't count, and where
  // several characters share a key the highest code wins.
  void fill(const KeyboardLayoutQuery& layout);

  std::uint8_t operator[](std::uint8_t keyCode) const { return chars_[keyCode]; }
  void set(std::uint8_t keyCode, std::uint8_t character) { chars_[keyCode] = character; }

 private:
  std::array<std::uint8_t, 256> chars_;
};

}  // namespace ringdeck::panel
