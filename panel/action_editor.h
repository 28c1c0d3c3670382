// The action editor: the right-hand panel of the control panel, which edits one slot of the
// current set. ActionEditor holds every rule of it; the window only copies EditorView into its
// controls after each call and forwards the user's input here. Owned by the main window, used
// on its thread only (the keyboard hook runs on that thread too, so nothing here is locked).
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "action_names.h"
#include "editor_captions.h"
#include "layout_chars.h"
#include "settings_store.h"

namespace ringdeck::panel {

// Repeat period stored for each position of the frequency list; positions 14 and 15 have no
// item. Position 2 ("Hold Down and Auto-Repeat") is never stored as it stands: it becomes kind 7
// with a hold period.
inline constexpr std::array<std::uint16_t, 16> RepeatPeriodTable = {
    0, 0xFFFF, 0xFFFE, 1, 2, 3, 4, 7, 10, 20, 50, 100, 200, 300, 400, 500};
inline constexpr int kFrequencyItemCount = 14;
inline constexpr int kHoldAndAutoRepeatItem = 2;

// Key codes of the manual key menu's entries in menu order, and where each submenu starts.
inline constexpr std::array<std::uint8_t, 75> ManualKeyTable = {
    // Function Keys
    112, 113, 114, 115, 116, 117, 118, 119, 120, 121, 122, 123, 124, 125, 126, 127, 128, 129, 130,
    131, 132, 133, 134, 135,
    // Motion and Editing Keys
    20, 38, 40, 37, 39, 33, 34, 36, 35, 45, 46, 8,
    // Numeric Pad Keys
    144, 96, 97, 98, 99, 100, 101, 102, 103, 104, 105, 110, 107, 109, 106, 111, 108, 10,
    // Special Keys
    93, 9, 13, 145, 27, 44, 19, 47, 43, 41, 12, 250, 175, 174, 173, 251, 249, 246, 247, 248, 253};
inline constexpr std::array<int, 4> ManualKeyGroupStart = {0, 24, 36, 54};

// Submenu and position in it of ManualKeyTable's entry at index; false outside the table.
bool ManualKeyEntryOf(int index, int& group, int& position);

// Modifier bit a key code stands for in the capture; 0 for every other key.
std::uint16_t CaptureModifierBit(std::uint32_t keyCode);

// Whether the low-level keyboard hook takes a key event for the capture (and keeps it from the
// system and the window) instead of passing it on. Alt counts as down when the event says so or
// when it is a system key message: Wine never sets the Alt-down flag.
struct HookEvent {
  int code;
  std::uint32_t message;
  std::uint32_t vkCode;
  std::uint32_t flags;
};
bool HookIntercepts(const HookEvent& event, bool keystrokeBoxFocused, bool controlDown);
inline bool IsKeyDownMessage(std::uint32_t message) { return message == 256 || message == 260; }

// Scroll amounts the editor stores.
inline constexpr int kMinScrollAmount = 1;
inline constexpr int kMaxScrollAmount = 127;

// The response menu, in menu order (separators left out).
enum class ResponseChoice { DoNothing, SameAsLower, TypeKeystroke, PressModifierKeys, WheelUp, WheelDown };
std::uint16_t KindOfChoice(ResponseChoice choice);

// Highlight picture of a slot: 0..12 the buttons, 13 the jog wheel, 14 the shuttle ring; -1
// for a slot no picture stands for.
int HighlightOfSlot(int slotIndex);

// The toggle buttons ModifierButton1..5.
enum ModifierButton { kControlButton, kAltButton, kWinButton, kShiftButton, kAltGrButton, kModifierButtonCount };

struct EditingState {
  int currentUserAction = 0;
  unsigned currentKind = 0;
  std::uint8_t capturedKey = 0;
  std::uint16_t capturedModifiers = 0;
  std::uint16_t heldModifiers = 0;
  bool captureComplete = true;
  bool manualKeyMode = false;
  int shownOverlay = -1;
};

// Everything the editor's controls show. The window copies it into the controls after each
// call, and writes what the user changes in the plain fields (comment, toggles, frequency,
// sync release, scroll amount) back before the next call.
struct EditorView {
  int userAction = 0;     // selection of the user action list
  int targetAppSet = 0;   // selection of the target application box
  std::string responseCaption;
  bool keystrokeShown = false;   // keystroke label, box and list button
  bool modifiersShown = false;   // modifier label and the five toggles
  bool frequencyShown = false;   // frequency label and list
  bool frequencyEnabled = false; // frequency label, list and sync release
  bool syncReleaseShown = false;
  bool syncReleaseEnabled = true;
  bool wheelShown = false;       // scroll amount label, box and arrows
  bool commentEnabled = true;
  bool sameAsLowerEnabled = false;  // the response menu entry
  std::string keystrokeText;
  std::array<bool, kModifierButtonCount> modifierDown{};
  int frequency = 0;  // -1: no selection
  bool syncRelease = false;
  std::string wheelText = "1";
  std::string comment;
  int shownOverlay = -1;
};

class ActionEditor {
 public:
  ActionEditor(SettingsStore& store, const CaptionProvider& captions, const LayoutCharTable& layout)
      : store_(store), captions_(captions), layout_(layout) {}

  EditingState state;
  EditorView view;

  // Loads slot UserActionSlotMap[position] of the current set into the view.
  void ShowUserAction(int position);

  enum class StoreResult { Stored, InvalidScrollAmount };
  // Writes the view into the slot being edited. A scroll amount the user typed that is not a
  // number from 1 to 127 stores nothing at all; the caller shows the message and goes no further.
  StoreResult StoreEditedAction();

  // A response chosen from the menu (and what "show" runs for a stored kind).
  void ChooseResponse(ResponseChoice choice);
  // Key events of the capture, from the box's own key events and from the hook.
  void KeyDown(std::uint32_t keyCode);
  void KeyUp(std::uint32_t keyCode);
  // An entry of the manual key menu: submenu group, position in it. False for no such entry.
  bool SelectManualKey(int group, int position);
  // The scroll amount arrows.
  void WheelArrow(bool up);
  // Another entry of the user action list: store, then show it. False when the store refused.
  StoreResult ChangeUserAction(int position);

  // The slot being edited.
  const ActionSlot& editedSlot() const;

 private:
  ActionSlot& slotOf(int position);
  void showKeystroke(std::uint16_t modifiers);
  void setModifierButtons(std::uint16_t modifiers);
  std::uint16_t modifiersFromButtons() const;

  SettingsStore& store_;
  const CaptionProvider& captions_;
  const LayoutCharTable& layout_;
  // A kind the menu does not offer is kept as it is until the user picks a response for it.
  bool unofferedKind_ = false;
  // The scroll amount text as shown for a stored scroll action: stored back unchanged even
  // when a file holds an amount the box would not accept from typing.
  std::string shownWheelText_;
  bool shownWheelFromSlot_ = false;
};

// Parses a scroll amount the user typed: a whole decimal number, nothing else around it.
bool ParseScrollAmount(const std::string& text, int& value);

}  // namespace ringdeck::panel
