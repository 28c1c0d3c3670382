// The editor's words. The window keeps every user-visible text in its layout (menu entries,
// toggle buttons, hidden labels), so the naming code asks for them here instead of holding
// them; StandardEditorCaptions is the text the layout ships with.
#pragma once

#include <cstdint>
#include <string>

namespace ringdeck::panel {

enum class EditorCaption {
  NumPad,          // hidden label sNumPad
  FunctionKey,     // hidden label sFunctionKey
  None,            // hidden label sNone
  GlobalSettings,  // hidden label sGlobalSettings
  ShiftButton,     // ModifierButton4
  ControlButton,   // ModifierButton1
  AltButton,       // ModifierButton2
  WinButton,       // ModifierButton3
  // Entries of the response menu.
  DoNothing,
  SameAsLower,
  TypeKeystroke,
  PressModifierKeys,
  WheelUp,
  WheelDown,
  // What the response button names for kinds the menu does not offer; OtherResponse holds a
  // "%u" for the kind's code.
  OpenItem,
  WheelLeft,
  WheelRight,
  OtherResponse,
};

class CaptionProvider {
 public:
  virtual ~CaptionProvider() = default;
  virtual std::string caption(EditorCaption which) const = 0;
  // Caption of the manual key menu entry of keyCode; empty when the menu has no such entry.
  virtual std::string keyMenuCaption(std::uint8_t keyCode) const = 0;
};

class StandardEditorCaptions final : public CaptionProvider {
 public:
  std::string caption(EditorCaption which) const override;
  std::string keyMenuCaption(std::uint8_t keyCode) const override;
};

}  // namespace ringdeck::panel
