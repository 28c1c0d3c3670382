#include "action_names.h"

#include <string_view>

#include "key_words.h"

namespace ringdeck::panel {
namespace {

constexpr std::string_view kButtonNames[SlotIndex::ButtonCount] = {
    "Top Left Button",          "Top Center Left Button",    "Top Center Right Button",
    "Top Right Button",         "Upper Left Button",         "Upper Center Left Button",
    "Upper Center Button",      "Upper Center Right Button", "Upper Right Button",
    "Lower Left Button",        "Lower Right Button",        "Bottom Left Button",
    "Bottom Right Button",
};

std::string transitionText(int from, int to) {
  return "Transition " + std::to_string(from) + " to " + std::to_string(to);
}

// A key neither a rule nor the layout names would otherwise be a raw byte in the text.
std::string unnamedKey(std::uint8_t keyCode) { return "Key " + std::to_string(keyCode); }

std::string layoutKeyName(const LayoutCharTable& layout, std::uint8_t keyCode) {
  const std::uint8_t c = layout[keyCode];
  // Control characters would print as nothing readable either.
  if (c == LayoutCharTable::kNoCharacter || c < 0x20) return unnamedKey(keyCode);
  return std::string(1, static_cast<char>(c));
}

enum class Vocabulary { Editor, Report };

std::string keyName(Vocabulary vocabulary, const CaptionProvider* captions,
                    const LayoutCharTable& layout, std::uint8_t keyCode) {
  if (keyCode == 0) return {};
  if (keyCode >= 'A' && keyCode <= 'Z') return std::string(1, static_cast<char>(keyCode));
  if (keyCode >= 96 && keyCode <= 105) {
    const std::string digit(1, static_cast<char>('0' + keyCode - 96));
    return vocabulary == Vocabulary::Editor
               ? captions->caption(EditorCaption::NumPad) + " " + digit
               : "Numpad " + digit;
  }
  if (keyCode >= 112 && keyCode <= 135) {
    const std::string number = std::to_string(keyCode - 111);
    return vocabulary == Vocabulary::Editor
               ? captions->caption(EditorCaption::FunctionKey) + number
               : "F" + number;
  }
  if (const KeyWords* k = findKeyWords(keyCode)) {
    if (vocabulary == Vocabulary::Report) return std::string(k->report);
    if (!k->fixed) {
      std::string menu = captions->keyMenuCaption(keyCode);
      if (!menu.empty()) return menu;
    }
    return std::string(k->editor);
  }
  return layoutKeyName(layout, keyCode);
}

void appendReportModifierWords(std::uint16_t modifiers, std::string& text) {
  // The Applications key bit has no word in the report.
  if (modifiers & ModShift) text += "Shift + ";
  if (modifiers & ModControl) text += "Control + ";
  if (modifiers & ModAlt) text += "Alt + ";
  if (modifiers & ModWin) text += "WinKey + ";
}

}  // namespace

std::string UserActionCaption(std::size_t position) {
  const int p = static_cast<int>(position);
  if (position >= kUserActionCount) return {};
  if (p <= 12) return "Button " + std::to_string(p + 1);
  if (p == 13) return "Jog Left";
  if (p == 14) return "Jog Right";
  if (p <= 21) return "Shuttle in Left " + std::to_string(22 - p);
  if (p == 22) return "Shuttle Centered";
  if (p <= 29) return "Shuttle in Right " + std::to_string(p - 22);
  if (p <= 35) return "Shuttle from Left " + std::to_string(37 - p) + " to " + std::to_string(36 - p);
  if (p == 36) return "Shuttle from Left 1 to Center";
  if (p == 37) return "Shuttle from Center to Right 1";
  if (p <= 43) return "Shuttle from Right " + std::to_string(p - 37) + " to " + std::to_string(p - 36);
  if (p <= 49) return "Shuttle from Right " + std::to_string(51 - p) + " to " + std::to_string(50 - p);
  if (p == 50) return "Shuttle from Right 1 to Center";
  if (p == 51) return "Shuttle from Center to Left 1";
  return "Shuttle from Left " + std::to_string(p - 51) + " to " + std::to_string(p - 50);
}

std::optional<std::size_t> UserActionOfSlot(int slotIndex) {
  for (std::size_t i = 0; i < UserActionSlotMap.size(); ++i)
    if (UserActionSlotMap[i] == slotIndex) return i;
  return std::nullopt;
}

bool SlotName(int slotIndex, std::string& text) {
  const int s = slotIndex;
  if (s == SlotIndex::JogLeft) {
    text += "Turn Jog Left";
  } else if (s == SlotIndex::JogRight) {
    text += "Turn Jog Right";
  } else if (s >= 5 && s <= 19) {
    text += "Shuttle Zone " + std::to_string(s - 12);
  } else if (s >= 25 && s <= 38) {
    text += transitionText(s - 32, s - 31);
  } else if (s >= 43 && s <= 56) {
    text += transitionText(50 - s, 49 - s);
  } else if (s >= 60 && s <= 72) {
    text += kButtonNames[s - 60];
  } else {
    return false;
  }
  return true;
}

void ExportKeyName(const LayoutCharTable& layout, std::uint8_t keyCode, std::string& text) {
  text += keyName(Vocabulary::Report, nullptr, layout, keyCode);
}

void ActionDescription(const LayoutCharTable& layout, const ActionSlot& slot, std::string& text) {
  switch (slot.actionKind()) {
    case ActionKind::SameAsLower:
      text += "same as lower";
      return;
    case ActionKind::KeystrokeSystemRepeat:
    case ActionKind::Keystroke:
      if (slot.keyCode == 0) {
        text += "-";
        return;
      }
      text += "keystroke: ";
      appendReportModifierWords(slot.modifiers, text);
      ExportKeyName(layout, slot.keyCode, text);
      return;
    case ActionKind::Modifiers:
      text += "modifiers: ";
      appendReportModifierWords(slot.modifiers, text);
      return;
    case ActionKind::OpenItem:
      // The path belongs to this kind only; other kinds may carry a stale one.
      text += "open item: ";
      text += fieldText(slot.itemPath);
      return;
    case ActionKind::ScrollUp:
      text += "scroll up";
      return;
    case ActionKind::ScrollDown:
      text += "scroll down";
      return;
    case ActionKind::ScrollLeft:
      text += "scroll left";
      return;
    case ActionKind::ScrollRight:
      text += "scroll right";
      return;
    case ActionKind::None:
      break;
  }
  text += "-";  // None and every code this program does not know
}

std::string EditorKeyName(const CaptionProvider& captions, const LayoutCharTable& layout,
                          std::uint8_t keyCode) {
  return keyName(Vocabulary::Editor, &captions, layout, keyCode);
}

std::string KeystrokeText(const CaptionProvider& captions, const LayoutCharTable& layout,
                          std::uint8_t keyCode, std::uint16_t modifiers) {
  if (modifiers == 0 && keyCode == 0) return captions.caption(EditorCaption::None);
  std::string text;
  const auto word = [&](const std::string& caption) { text += caption + " + "; };
  if (modifiers & ModShift) word(captions.caption(EditorCaption::ShiftButton));
  if (modifiers & ModControl) word(captions.caption(EditorCaption::ControlButton));
  if (modifiers & ModAlt) word(captions.caption(EditorCaption::AltButton));
  if (modifiers & ModWin) word(captions.caption(EditorCaption::WinButton));
  if (modifiers & ModApps) word(EditorKeyName(captions, layout, kAppsKeyCode));
  if (keyCode != 0) text += EditorKeyName(captions, layout, keyCode);
  return text;
}

std::string EditorActionName(const CaptionProvider& captions, std::uint16_t kind) {
  switch (static_cast<ActionKind>(kind)) {
    case ActionKind::None: return captions.caption(EditorCaption::DoNothing);
    case ActionKind::SameAsLower: return captions.caption(EditorCaption::SameAsLower);
    case ActionKind::KeystrokeSystemRepeat:
    case ActionKind::Keystroke: return captions.caption(EditorCaption::TypeKeystroke);
    case ActionKind::Modifiers: return captions.caption(EditorCaption::PressModifierKeys);
    case ActionKind::ScrollUp: return captions.caption(EditorCaption::WheelUp);
    case ActionKind::ScrollDown: return captions.caption(EditorCaption::WheelDown);
    case ActionKind::OpenItem:
    case ActionKind::ScrollLeft:
    case ActionKind::ScrollRight: break;
  }
  return {};
}

}  // namespace ringdeck::panel
