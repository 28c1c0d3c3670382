#include "editor_captions.h"

#include "key_words.h"

namespace ringdeck::panel {

std::string StandardEditorCaptions::caption(EditorCaption which) const {
  switch (which) {
    case EditorCaption::NumPad: return "NumPad";
    case EditorCaption::FunctionKey: return "F";
    case EditorCaption::None: return "None";
    case EditorCaption::GlobalSettings: return "Global Settings";
    case EditorCaption::ShiftButton: return "Shift";
    case EditorCaption::ControlButton: return "Control";
    case EditorCaption::AltButton: return "Alt";
    case EditorCaption::WinButton: return "Win";
    case EditorCaption::DoNothing: return "Do Nothing";
    case EditorCaption::SameAsLower: return "Same as Lower Value";
    case EditorCaption::TypeKeystroke: return "Type Keystroke";
    case EditorCaption::PressModifierKeys: return "Press Modifier Keys";
    case EditorCaption::WheelUp: return "Wheel Up";
    case EditorCaption::WheelDown: return "Wheel Down";
    case EditorCaption::OpenItem: return "Open Item";
    case EditorCaption::WheelLeft: return "Wheel Left";
    case EditorCaption::WheelRight: return "Wheel Right";
    case EditorCaption::OtherResponse: return "Other Response (%u)";
  }
  return {};
}

std::string StandardEditorCaptions::keyMenuCaption(std::uint8_t keyCode) const {
  const KeyWords* k = findKeyWords(keyCode);
  if (k == nullptr || k->fixed) return {};
  return std::string(k->editor);
}

}  // namespace ringdeck::panel
