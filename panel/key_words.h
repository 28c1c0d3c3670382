// Keys with a name of their own, in both vocabularies. Most of the editor's words are the
// captions of the manual key menu; the rows marked fixed are literals in both vocabularies.
#pragma once

#include <cstdint>
#include <string_view>

namespace ringdeck::panel {

struct KeyWords {
  std::uint8_t code;
  std::string_view editor;  // also the standard caption of the key's menu entry
  std::string_view report;
  bool fixed;               // not taken from the menu
};

inline constexpr KeyWords kKeyWords[] = {
    {8, "BackSpace", "Backspace", false},
    {9, "Tab", "Tab", false},
    {10, "NumPad Enter", "NumPad Enter", false},
    {12, "Clear", "Clear", false},
    {13, "Enter", "Enter", false},
    {19, "Pause", "Pause", false},
    {20, "Caps Lock", "Caps Lock", false},
    {27, "Escape", "Escape", false},
    {32, "Space", "Space", true},
    {33, "Page Up", "Page Up", false},
    {34, "Page Down", "Page Down", false},
    {35, "End", "End", false},
    {36, "Home", "Home", false},
    {37, "Left Arrow", "Left Arrow", false},
    {38, "Up Arrow", "Up Arrow", false},
    {39, "Right Arrow", "Right Arrow", false},
    {40, "Down Arrow", "Down Arrow", false},
    {41, "Select", "Select", false},
    {42, "Print", "Print", true},
    {43, "Execute", "Execute", false},
    {44, "Print Screen", "Print Screen", false},
    {45, "Insert", "Insert", false},
    {46, "Delete", "Delete", false},
    {47, "Help", "Help", false},
    {93, "Applications Key", "Applications key", false},
    {106, "NumPad *", "Numpad *", false},
    {107, "NumPad +", "Numpad +", false},
    {108, "Numpad Separator", "Numpad Separator", true},
    {109, "NumPad -", "Numpad -", false},
    {110, "NumPad Decimal", "Numpad Decimal", false},
    {111, "NumPad /", "Numpad /", false},
    {144, "Num Lock", "Num Lock", false},
    {145, "Scroll Lock", "Scroll Lock", false},
    {173, "Mute", "Mute", false},
    {174, "Volume Down", "Volume Down", false},
    {175, "Volume Up", "Volume Up", false},
    {190, ".", ".", true},
    {229, "Process", "Process", true},
    {243, "F15 (Apple PRO Keyboard)", "F15 (Apple PRO Keyboard)", true},
    {245, "F14 (Apple PRO Keyboard)", "F14 (Apple PRO Keyboard)", true},
    {246, "Attn", "Attn", false},
    {247, "CrSel", "CrSel", false},
    {248, "ExSel", "ExSel", false},
    {249, "Erase EOF", "Erase EOF", false},
    {250, "Play", "Play", false},
    {251, "Zoom", "Zoom", false},
    {253, "PA1", "PA1", false},
    {254, "OEM Clear", "OEM Clear", true},
};

inline constexpr std::uint8_t kAppsKeyCode = 93;

constexpr const KeyWords* findKeyWords(std::uint8_t code) {
  for (const KeyWords& k : kKeyWords)
    if (k.code == code) return &k;
  return nullptr;
}

}  // namespace ringdeck::panel
