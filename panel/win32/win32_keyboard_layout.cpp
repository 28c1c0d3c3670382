#include "win32_keyboard_layout.h"

#include <windows.h>

namespace ringdeck::panel::win32 {

Win32KeyboardLayout::Win32KeyboardLayout() : layout_(GetKeyboardLayout(0)) {}

std::int16_t Win32KeyboardLayout::keyForCharacter(std::uint8_t character) const {
  return VkKeyScanExA(static_cast<CHAR>(character), static_cast<HKL>(layout_));
}

}  // namespace ringdeck::panel::win32
