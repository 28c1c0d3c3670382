// The keyboard layout of the calling thread, asked character by character with VkKeyScanExA.
#pragma once

#include "layout_chars.h"

namespace ringdeck::panel::win32 {

class Win32KeyboardLayout final : public KeyboardLayoutQuery {
 public:
  // Takes the layout active now (GetKeyboardLayout(0)); later switches are not followed.
  Win32KeyboardLayout();
  std::int16_t keyForCharacter(std::uint8_t character) const override;

 private:
  void* layout_;  // HKL
};

}  // namespace ringdeck::panel::win32
