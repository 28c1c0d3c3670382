#include "action_editor.h"

#include <charconv>
#include <cstdio>

namespace ringdeck::panel {
namespace {

constexpr std::uint16_t kNotchesUnused = 0xFF;

EditorCaption captionOfChoice(ResponseChoice choice) {
  switch (choice) {
    case ResponseChoice::DoNothing: return EditorCaption::DoNothing;
    case ResponseChoice::SameAsLower: return EditorCaption::SameAsLower;
    case ResponseChoice::TypeKeystroke: return EditorCaption::TypeKeystroke;
    case ResponseChoice::PressModifierKeys: return EditorCaption::PressModifierKeys;
    case ResponseChoice::WheelUp: return EditorCaption::WheelUp;
    case ResponseChoice::WheelDown: return EditorCaption::WheelDown;
  }
  return EditorCaption::DoNothing;
}

// What the response button says for a kind the menu does not offer.
std::string unofferedCaption(const CaptionProvider& captions, unsigned kind) {
  switch (static_cast<ActionKind>(kind)) {
    case ActionKind::OpenItem: return captions.caption(EditorCaption::OpenItem);
    case ActionKind::ScrollLeft: return captions.caption(EditorCaption::WheelLeft);
    case ActionKind::ScrollRight: return captions.caption(EditorCaption::WheelRight);
    default: break;
  }
  const std::string format = captions.caption(EditorCaption::OtherResponse);
  const std::size_t at = format.find("%u");
  if (at == std::string::npos) return format;
  return format.substr(0, at) + std::to_string(kind) + format.substr(at + 2);
}

}  // namespace

std::uint16_t CaptureModifierBit(std::uint32_t keyCode) {
  switch (keyCode) {
    case 16: return ModShift;
    case 17: return ModControl;
    case 18:
    case 164:
    case 165: return ModAlt;
    case 91:
    case 92: return ModWin;
    case 93: return ModApps;
    default: return 0;
  }
}

bool HookIntercepts(const HookEvent& e, bool keystrokeBoxFocused, bool controlDown) {
  if (!keystrokeBoxFocused || e.code != 0) return false;
  if (e.message != 256 && e.message != 257 && e.message != 260 && e.message != 261) return false;
  const bool altDown = (e.flags & 0x20) != 0 || e.message == 260 || e.message == 261;
  switch (e.vkCode) {
    case 9:
    case 18:
    case 164:
    case 165: return true;
    case 27: return controlDown || altDown;
    case 37:
    case 38:
    case 39:
    case 40:
    case 115: return altDown;
    default: return false;
  }
}

std::uint16_t KindOfChoice(ResponseChoice choice) {
  switch (choice) {
    case ResponseChoice::DoNothing: return static_cast<std::uint16_t>(ActionKind::None);
    case ResponseChoice::SameAsLower: return static_cast<std::uint16_t>(ActionKind::SameAsLower);
    case ResponseChoice::TypeKeystroke: return static_cast<std::uint16_t>(ActionKind::Keystroke);
    case ResponseChoice::PressModifierKeys: return static_cast<std::uint16_t>(ActionKind::Modifiers);
    case ResponseChoice::WheelUp: return static_cast<std::uint16_t>(ActionKind::ScrollUp);
    case ResponseChoice::WheelDown: return static_cast<std::uint16_t>(ActionKind::ScrollDown);
  }
  return 0;
}

int HighlightOfSlot(int s) {
  if (s >= 60 && s <= 72) return s - 60;
  if (s == 0 || s == 1) return 13;
  if (s >= 4 && s <= 57) return 14;
  return -1;
}

bool ParseScrollAmount(const std::string& text, int& value) {
  const char* first = text.data();
  const char* last = first + text.size();
  const auto [end, error] = std::from_chars(first, last, value);
  return error == std::errc() && end == last && !text.empty();
}

ActionSlot& ActionEditor::slotOf(int position) {
  SettingsRecord& record = store_.records.at(store_.currentSet);
  return record.slots[UserActionSlotMap.at(static_cast<std::size_t>(position))];
}

const ActionSlot& ActionEditor::editedSlot() const {
  const SettingsRecord& record = store_.records.at(store_.currentSet);
  return record.slots[UserActionSlotMap.at(static_cast<std::size_t>(state.currentUserAction))];
}

void ActionEditor::showKeystroke(std::uint16_t modifiers) {
  view.keystrokeText = KeystrokeText(captions_, layout_, state.capturedKey, modifiers);
  view.frequencyEnabled = !(state.capturedKey == 0 && modifiers == 0);
  view.syncReleaseEnabled = view.frequencyEnabled;
}

void ActionEditor::setModifierButtons(std::uint16_t modifiers) {
  view.modifierDown = {};
  view.modifierDown[kShiftButton] = (modifiers & ModShift) != 0;
  view.modifierDown[kControlButton] = (modifiers & ModControl) != 0;
  view.modifierDown[kAltButton] = (modifiers & ModAlt) != 0;
  view.modifierDown[kWinButton] = (modifiers & ModWin) != 0;
}

std::uint16_t ActionEditor::modifiersFromButtons() const {
  std::uint16_t m = 0;
  if (view.modifierDown[kControlButton]) m |= ModControl;
  if (view.modifierDown[kAltButton]) m |= ModAlt;
  if (view.modifierDown[kWinButton]) m |= ModWin;
  if (view.modifierDown[kShiftButton]) m |= ModShift;
  if (view.modifierDown[kAltGrButton]) m |= ModAltGr;
  return m;
}

void ActionEditor::ShowUserAction(int position) {
  if (position < 0 || position >= static_cast<int>(kUserActionCount)) position = 0;
  state.capturedKey = 0;
  state.capturedModifiers = 0;
  state.currentUserAction = position;
  view.targetAppSet = static_cast<int>(store_.currentSet);
  view.userAction = position;
  const int s = UserActionSlotMap[static_cast<std::size_t>(position)];
  const ActionSlot& slot = slotOf(position);

  const int h = HighlightOfSlot(s);
  if (h != state.shownOverlay) state.shownOverlay = h;
  view.shownOverlay = state.shownOverlay;

  view.modifierDown = {};
  view.comment = std::string(fieldText(slot.comment));
  view.syncRelease = slot.syncRelease != 0;
  view.sameAsLowerEnabled = s >= 5 && s <= 19 && s != 12;

  int amount = 1;
  int frequency = 0;
  unofferedKind_ = false;
  shownWheelFromSlot_ = false;
  switch (static_cast<ActionKind>(slot.kind)) {
    case ActionKind::None: ChooseResponse(ResponseChoice::DoNothing); break;
    case ActionKind::SameAsLower: ChooseResponse(ResponseChoice::SameAsLower); break;
    case ActionKind::KeystrokeSystemRepeat:
      state.capturedKey = slot.keyCode;
      state.capturedModifiers = slot.modifiers;
      frequency = kHoldAndAutoRepeatItem;
      ChooseResponse(ResponseChoice::TypeKeystroke);
      break;
    case ActionKind::Keystroke:
      state.capturedKey = slot.keyCode;
      state.capturedModifiers = slot.modifiers;
      frequency = -1;
      for (int p = static_cast<int>(RepeatPeriodTable.size()) - 1; p >= 0; --p) {
        if (RepeatPeriodTable[static_cast<std::size_t>(p)] == slot.repeatPeriod) {
          frequency = p;
          break;
        }
      }
      // Positions 14 and 15 have no item in the list: nothing is selected.
      if (frequency >= kFrequencyItemCount) frequency = -1;
      ChooseResponse(ResponseChoice::TypeKeystroke);
      break;
    case ActionKind::Modifiers:
      ChooseResponse(ResponseChoice::PressModifierKeys);
      setModifierButtons(slot.modifiers);
      break;
    case ActionKind::ScrollUp:
    case ActionKind::ScrollDown:
      amount = slot.wheelNotches;
      shownWheelFromSlot_ = true;
      ChooseResponse(slot.kind == static_cast<std::uint16_t>(ActionKind::ScrollUp)
                         ? ResponseChoice::WheelUp
                         : ResponseChoice::WheelDown);
      setModifierButtons(slot.modifiers);
      break;
    default:
      // Shown for what it is and kept byte for byte: no control that could change it is shown.
      unofferedKind_ = true;
      state.currentKind = slot.kind;
      view.responseCaption = unofferedCaption(captions_, slot.kind);
      view.keystrokeShown = view.modifiersShown = view.frequencyShown = false;
      view.syncReleaseShown = view.wheelShown = false;
      break;
  }
  view.commentEnabled = !unofferedKind_;
  view.wheelText = std::to_string(amount);
  shownWheelText_ = view.wheelText;
  view.frequency = frequency;
  state.currentUserAction = position;
}

void ActionEditor::ChooseResponse(ResponseChoice choice) {
  unofferedKind_ = false;
  view.commentEnabled = true;
  view.responseCaption = captions_.caption(captionOfChoice(choice));
  const bool keystroke = choice == ResponseChoice::TypeKeystroke;
  const bool modifiers = choice == ResponseChoice::PressModifierKeys;
  const bool wheel = choice == ResponseChoice::WheelUp || choice == ResponseChoice::WheelDown;
  view.keystrokeShown = keystroke;
  view.frequencyShown = keystroke;
  view.modifiersShown = modifiers || wheel;
  view.syncReleaseShown = keystroke || modifiers || wheel;
  if (modifiers) view.syncReleaseEnabled = true;
  view.wheelShown = wheel;
  state.currentKind = KindOfChoice(choice);
  if (keystroke) {
    showKeystroke(state.capturedModifiers);
  } else {
    state.capturedKey = 0;
    state.capturedModifiers = 0;
  }
}

void ActionEditor::KeyDown(std::uint32_t k) {
  if (state.heldModifiers == 0) {
    state.capturedKey = 0;
    state.capturedModifiers = 0;
    state.captureComplete = false;
  }
  const std::uint16_t bit = CaptureModifierBit(k);
  if (state.manualKeyMode || bit == 0)
    state.capturedKey = static_cast<std::uint8_t>(k & 0xFF);
  else
    state.heldModifiers |= bit;
  showKeystroke(state.heldModifiers);
}

void ActionEditor::KeyUp(std::uint32_t k) {
  const std::uint16_t bit = CaptureModifierBit(k);
  if (state.manualKeyMode || bit == 0) {
    state.capturedModifiers = state.heldModifiers;
    state.captureComplete = true;
  } else {
    // A release flips the bit: a modifier held before the box had the focus counts from its
    // release on.
    state.heldModifiers ^= bit;
  }
  showKeystroke(state.captureComplete ? state.capturedModifiers : state.heldModifiers);
}

bool ManualKeyEntryOf(int index, int& group, int& position) {
  if (index < 0 || index >= static_cast<int>(ManualKeyTable.size())) return false;
  group = static_cast<int>(ManualKeyGroupStart.size()) - 1;
  while (group > 0 && ManualKeyGroupStart[static_cast<std::size_t>(group)] > index) --group;
  position = index - ManualKeyGroupStart[static_cast<std::size_t>(group)];
  return true;
}

bool ActionEditor::SelectManualKey(int group, int position) {
  if (group < 0 || group >= static_cast<int>(ManualKeyGroupStart.size()) || position < 0)
    return false;
  const int end = group + 1 < static_cast<int>(ManualKeyGroupStart.size())
                      ? ManualKeyGroupStart[static_cast<std::size_t>(group) + 1]
                      : static_cast<int>(ManualKeyTable.size());
  const int index = ManualKeyGroupStart[static_cast<std::size_t>(group)] + position;
  if (index >= end) return false;
  const std::uint8_t k = ManualKeyTable[static_cast<std::size_t>(index)];
  state.manualKeyMode = true;
  KeyDown(k);
  KeyUp(k);
  state.manualKeyMode = false;
  return true;
}

void ActionEditor::WheelArrow(bool up) {
  int v = 0;
  if (!ParseScrollAmount(view.wheelText, v)) {
    ShowUserAction(state.currentUserAction);
    return;
  }
  if (up) {
    v = v < kMinScrollAmount ? kMinScrollAmount : (v < kMaxScrollAmount ? v + 1 : kMaxScrollAmount);
  } else if (v > kMinScrollAmount) {
    v = v > kMaxScrollAmount ? kMaxScrollAmount : v - 1;
  }
  view.wheelText = std::to_string(v);
}

ActionEditor::StoreResult ActionEditor::StoreEditedAction() {
  if (unofferedKind_) return StoreResult::Stored;
  ActionSlot& slot = slotOf(state.currentUserAction);
  const unsigned kind = state.currentKind;
  const bool wheel = kind == static_cast<unsigned>(ActionKind::ScrollUp) ||
                     kind == static_cast<unsigned>(ActionKind::ScrollDown);

  // Checked before anything is written: a refused amount leaves the slot exactly as it was.
  int notches = 0;
  bool keepNotches = false;
  if (wheel) {
    const bool valid = ParseScrollAmount(view.wheelText, notches) && notches >= kMinScrollAmount &&
                       notches <= kMaxScrollAmount;
    if (!valid) {
      if (!(shownWheelFromSlot_ && view.wheelText == shownWheelText_))
        return StoreResult::InvalidScrollAmount;
      keepNotches = true;
    }
  }

  slot.kind = static_cast<std::uint16_t>(kind);
  setComment(slot, view.comment);
  slot.syncRelease = view.syncRelease ? 1 : 0;
  switch (static_cast<ActionKind>(kind)) {
    case ActionKind::Modifiers:
      slot.keyCode = 0;
      slot.repeatPeriod = 0;
      slot.wheelNotches = static_cast<std::int8_t>(kNotchesUnused);
      slot.modifiers = modifiersFromButtons();
      break;
    case ActionKind::Keystroke:
      slot.modifiers = state.capturedModifiers;
      slot.keyCode = state.capturedKey;
      if (state.capturedKey == 0 && state.capturedModifiers == 0) {
        slot.repeatPeriod = 0;
      } else if (view.frequency == kHoldAndAutoRepeatItem) {
        slot.kind = static_cast<std::uint16_t>(ActionKind::KeystrokeSystemRepeat);
        slot.repeatPeriod = kRepeatHold;
      } else if (view.frequency >= 0 && view.frequency < static_cast<int>(RepeatPeriodTable.size())) {
        slot.repeatPeriod = RepeatPeriodTable[static_cast<std::size_t>(view.frequency)];
      } else {
        slot.repeatPeriod = 0;
      }
      slot.wheelNotches = static_cast<std::int8_t>(kNotchesUnused);
      break;
    case ActionKind::ScrollUp:
    case ActionKind::ScrollDown:
      slot.keyCode = 0;
      slot.repeatPeriod = 0;
      if (!keepNotches) slot.wheelNotches = static_cast<std::int8_t>(notches);
      slot.modifiers = modifiersFromButtons();
      break;
    default: break;
  }
  // Once another response was stored, the slot no longer holds the amount that was shown: a
  // scroll action picked again must be given an amount the box accepts.
  shownWheelFromSlot_ = wheel;
  if (wheel) shownWheelText_ = view.wheelText;
  return StoreResult::Stored;
}

ActionEditor::StoreResult ActionEditor::ChangeUserAction(int position) {
  const StoreResult r = StoreEditedAction();
  if (r == StoreResult::Stored) ShowUserAction(position);
  return r;
}

}  // namespace ringdeck::panel
