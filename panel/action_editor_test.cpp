#include "quiet_peers.h"
#include "action_editor.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "memory_file.h"
#include "test_layout.h"

namespace ringdeck::panel {
namespace {

constexpr int kButton1 = 0;   // list positions
constexpr int kButton5 = 4;
constexpr int kJogLeft = 13;
constexpr int kLeft7 = 15;
constexpr int kCenter = 22;

class ActionEditorTest : public ::testing::Test {
 protected:
  ActionEditorTest() {
    store.records.assign(3, SettingsRecord{});
    store.recordCount = 2;
    editor.ShowUserAction(kButton1);
  }
  ActionSlot& slot(int position) { return store.records[store.currentSet].slots[UserActionSlotMap[position]]; }

  // Plays "d65 u65" style key events into the capture.
  void play(const std::vector<std::pair<char, int>>& events) {
    for (const auto& [what, code] : events) {
      if (what == 'd') editor.KeyDown(static_cast<std::uint32_t>(code));
      else editor.KeyUp(static_cast<std::uint32_t>(code));
    }
  }

  MemoryFileSystem files;
  QuietPeers peers;
  SettingsStore store{files, peers};
  StandardEditorCaptions captions;
  LayoutCharTable layout = testing::usLayoutTable();
  ActionEditor editor{store, captions, layout};
};

constexpr int kShift = 16, kControl = 17, kAlt = 18, kA = 65, kB = 66;

struct CaptureCase {
  const char* name;
  std::vector<std::pair<char, int>> events;
  const char* boxText;
  std::uint8_t key;
  std::uint16_t modifiers;
  bool frequencyEnabled;
};

TEST_F(ActionEditorTest, KeystrokeCaptureTakesTheModifiersHeldWhenTheKeyIsReleased) {
  const CaptureCase cases[] = {
      {"control held around A", {{'d', kControl}, {'d', kA}, {'u', kA}, {'u', kControl}},
       "Control + A", kA, ModControl, true},
      {"control let go before A", {{'d', kControl}, {'d', kA}, {'u', kControl}, {'u', kA}}, "A",
       kA, 0, true},
      {"shift alone", {{'d', kShift}, {'u', kShift}}, "None", 0, 0, false},
      {"control held over A then B", {{'d', kControl}, {'d', kA}, {'u', kA}, {'d', kB}, {'u', kB}, {'u', kControl}},
       "Control + B", kB, ModControl, true},
      {"alt and shift", {{'d', kAlt}, {'d', kShift}, {'d', kA}, {'u', kA}, {'u', kShift}, {'u', kAlt}},
       "Shift + Alt + A", kA, ModShift | ModAlt, true},
      {"a new key after release starts over", {{'d', kControl}, {'d', kA}, {'u', kA}, {'u', kControl}, {'d', kB}, {'u', kB}},
       "B", kB, 0, true},
  };
  for (const CaptureCase& c : cases) {
    SCOPED_TRACE(c.name);
    editor.state = EditingState{};
    editor.ShowUserAction(kButton1);
    editor.ChooseResponse(ResponseChoice::TypeKeystroke);
    play(c.events);
    EXPECT_EQ(editor.view.keystrokeText, c.boxText);
    EXPECT_EQ(editor.view.frequencyEnabled, c.frequencyEnabled);
    EXPECT_EQ(editor.view.syncReleaseEnabled, c.frequencyEnabled);
    ASSERT_EQ(editor.StoreEditedAction(), ActionEditor::StoreResult::Stored);
    EXPECT_EQ(slot(kButton1).kind, 8);
    EXPECT_EQ(slot(kButton1).keyCode, c.key);
    EXPECT_EQ(slot(kButton1).modifiers, c.modifiers);
    if (c.key == 0 && c.modifiers == 0) {
      EXPECT_EQ(slot(kButton1).repeatPeriod, 0);
    }
    EXPECT_EQ(editor.state.heldModifiers, 0);
  }
}

TEST_F(ActionEditorTest, BoxShowsTheHeldModifiersWhileTheCombinationIsOpen) {
  editor.ChooseResponse(ResponseChoice::TypeKeystroke);
  editor.KeyDown(kControl);
  EXPECT_EQ(editor.view.keystrokeText, "Control + ");
  editor.KeyDown(kA);
  EXPECT_EQ(editor.view.keystrokeText, "Control + A");
}

TEST_F(ActionEditorTest, AModifierReleasedUnseenCountsAsHeldFromThenOn) {
  editor.ChooseResponse(ResponseChoice::TypeKeystroke);
  editor.KeyUp(kShift);  // Shift was down before the box had the focus
  EXPECT_EQ(editor.state.heldModifiers, ModShift);
}

TEST(KeyboardHook, InterceptsOnlyTheKeysTheSystemWouldTakeAway) {
  struct Case {
    std::uint32_t message, vk, flags;
    bool control, focused;
    int code;
    bool intercepted;
  };
  const Case cases[] = {
      {256, 9, 0, false, true, 0, true},      // Tab
      {257, 9, 0x80, false, true, 0, true},   // Tab up
      {260, 18, 0x20, false, true, 0, true},  // Alt
      {256, 164, 0, false, true, 0, true},    // left Alt
      {257, 165, 0x81, false, true, 0, true}, // right Alt up
      {256, 27, 0, false, true, 0, false},    // plain Escape reaches the box
      {256, 27, 0, true, true, 0, true},      // Control+Escape
      {260, 27, 0x20, false, true, 0, true},  // Alt+Escape
      {256, 115, 0, false, true, 0, false},   // F4 alone reaches the box
      {256, 115, 0x20, false, true, 0, true}, // Alt+F4
      {260, 115, 0, false, true, 0, true},    // Alt+F4 as Wine delivers it: no Alt-down flag
      {260, 37, 0, false, true, 0, true},     // Alt+Left
      {256, 37, 0, false, true, 0, false},    // Left alone
      {256, 65, 0x20, true, true, 0, false},  // letters always pass
      {256, 9, 0, false, false, 0, false},    // box without the focus
      {256, 9, 0, false, true, 3, false},     // not an action code
      {0x200, 9, 0, false, true, 0, false},   // not a key message
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "message " << c.message << " vk " << c.vk);
    EXPECT_EQ(HookIntercepts({c.code, c.message, c.vk, c.flags}, c.focused, c.control), c.intercepted);
  }
}

TEST_F(ActionEditorTest, EveryFrequencyItemStoresItsPeriodAndShowsAgain) {
  for (int item = 0; item < kFrequencyItemCount; ++item) {
    SCOPED_TRACE(item);
    editor.ShowUserAction(kButton1);
    editor.ChooseResponse(ResponseChoice::TypeKeystroke);
    play({{'d', kA}, {'u', kA}});
    editor.view.frequency = item;
    ASSERT_EQ(editor.StoreEditedAction(), ActionEditor::StoreResult::Stored);
    if (item == kHoldAndAutoRepeatItem) {
      EXPECT_EQ(slot(kButton1).kind, 7);
      EXPECT_EQ(slot(kButton1).repeatPeriod, 0xFFFF);
    } else {
      EXPECT_EQ(slot(kButton1).kind, 8);
      EXPECT_EQ(slot(kButton1).repeatPeriod, RepeatPeriodTable[item]);
    }
    editor.ShowUserAction(kButton1);
    EXPECT_EQ(editor.view.frequency, item);
    EXPECT_EQ(editor.view.keystrokeText, "A");
  }
}

TEST_F(ActionEditorTest, PeriodsWithoutAnItemShowNoSelectionAndStoreOnce) {
  for (std::uint16_t period : {400, 500, 123}) {
    slot(kButton1) = ActionSlot{8, 0, kA, -1, period, 0, {}, {}, {}};
    editor.ShowUserAction(kButton1);
    EXPECT_EQ(editor.view.frequency, -1);
    ASSERT_EQ(editor.StoreEditedAction(), ActionEditor::StoreResult::Stored);
    EXPECT_EQ(slot(kButton1).repeatPeriod, 0);
  }
}

TEST_F(ActionEditorTest, ModifierTogglesStoreTheirBitsAndAltGrShowsAsControlAndAlt) {
  editor.ChooseResponse(ResponseChoice::PressModifierKeys);
  editor.view.modifierDown[kAltGrButton] = true;
  editor.view.modifierDown[kShiftButton] = true;
  ASSERT_EQ(editor.StoreEditedAction(), ActionEditor::StoreResult::Stored);
  EXPECT_EQ(slot(kButton1).kind, 9);
  EXPECT_EQ(slot(kButton1).modifiers, ModAltGr | ModShift);
  EXPECT_EQ(slot(kButton1).wheelNotches, -1);
  editor.ShowUserAction(kButton1);
  EXPECT_TRUE(editor.view.modifierDown[kControlButton]);
  EXPECT_TRUE(editor.view.modifierDown[kAltButton]);
  EXPECT_TRUE(editor.view.modifierDown[kShiftButton]);
  EXPECT_FALSE(editor.view.modifierDown[kAltGrButton]);
  EXPECT_TRUE(editor.view.modifiersShown);
  EXPECT_FALSE(editor.view.keystrokeShown);
}

TEST_F(ActionEditorTest, ControlGroupsFollowTheChosenResponse) {
  struct Case {
    ResponseChoice choice;
    bool keystroke, modifiers, frequency, sync, wheel;
    const char* caption;
  };
  const Case cases[] = {
      {ResponseChoice::DoNothing, false, false, false, false, false, "Do Nothing"},
      {ResponseChoice::SameAsLower, false, false, false, false, false, "Same as Lower Value"},
      {ResponseChoice::TypeKeystroke, true, false, true, true, false, "Type Keystroke"},
      {ResponseChoice::PressModifierKeys, false, true, false, true, false, "Press Modifier Keys"},
      {ResponseChoice::WheelUp, false, true, false, true, true, "Wheel Up"},
      {ResponseChoice::WheelDown, false, true, false, true, true, "Wheel Down"},
  };
  for (const Case& c : cases) {
    editor.ChooseResponse(c.choice);
    EXPECT_EQ(editor.view.responseCaption, c.caption);
    EXPECT_EQ(editor.view.keystrokeShown, c.keystroke) << c.caption;
    EXPECT_EQ(editor.view.modifiersShown, c.modifiers) << c.caption;
    EXPECT_EQ(editor.view.frequencyShown, c.frequency) << c.caption;
    EXPECT_EQ(editor.view.syncReleaseShown, c.sync) << c.caption;
    EXPECT_EQ(editor.view.wheelShown, c.wheel) << c.caption;
    EXPECT_EQ(editor.state.currentKind, KindOfChoice(c.choice));
  }
}

TEST_F(ActionEditorTest, AnotherResponseAndBackToKeystrokeShowsNone) {
  slot(kButton1) = ActionSlot{8, ModControl, kA, -1, 0, 0, {}, {}, {}};
  editor.ShowUserAction(kButton1);
  EXPECT_EQ(editor.view.keystrokeText, "Control + A");
  editor.ChooseResponse(ResponseChoice::WheelUp);
  editor.ChooseResponse(ResponseChoice::TypeKeystroke);
  EXPECT_EQ(editor.view.keystrokeText, "None");
  EXPECT_FALSE(editor.view.frequencyEnabled);
}

TEST_F(ActionEditorTest, SameAsLowerIsOfferedForTheShuttleZonesOffCentreOnly) {
  int enabled = 0;
  for (int p = 0; p < static_cast<int>(kUserActionCount); ++p) {
    editor.ShowUserAction(p);
    const int s = UserActionSlotMap[p];
    EXPECT_EQ(editor.view.sameAsLowerEnabled, s >= 5 && s <= 19 && s != 12) << p;
    enabled += editor.view.sameAsLowerEnabled;
  }
  EXPECT_EQ(enabled, 14);
}

TEST_F(ActionEditorTest, HighlightFollowsTheControlOfTheUserAction) {
  const std::pair<int, int> cases[] = {{kButton1, 0}, {kButton5, 4}, {12, 12}, {kJogLeft, 13},
                                       {14, 13}, {kLeft7, 14}, {kCenter, 14}, {57, 14}};
  for (const auto& [position, highlight] : cases) {
    editor.ShowUserAction(position);
    EXPECT_EQ(editor.view.shownOverlay, highlight) << position;
    EXPECT_EQ(editor.state.shownOverlay, highlight) << position;
  }
}

TEST_F(ActionEditorTest, ManualKeysAreTakenAsKeysEvenWhereTheyAreModifiers) {
  struct Case {
    int group, position;
    std::uint8_t key;
    const char* text;
  };
  const Case cases[] = {{0, 0, 112, "F1"},           {0, 23, 135, "F24"},
                        {1, 11, 8, "BackSpace"},     {2, 17, 10, "NumPad Enter"},
                        {2, 16, 108, "Numpad Separator"}, {3, 0, 93, "Applications Key"},
                        {3, 20, 253, "PA1"}};
  for (const Case& c : cases) {
    editor.ShowUserAction(kButton1);
    editor.ChooseResponse(ResponseChoice::TypeKeystroke);
    ASSERT_TRUE(editor.SelectManualKey(c.group, c.position));
    EXPECT_EQ(editor.view.keystrokeText, c.text);
    ASSERT_EQ(editor.StoreEditedAction(), ActionEditor::StoreResult::Stored);
    EXPECT_EQ(slot(kButton1).keyCode, c.key);
    EXPECT_EQ(slot(kButton1).modifiers, 0);
  }
  EXPECT_FALSE(editor.SelectManualKey(0, 24));  // past the last function key
  EXPECT_FALSE(editor.SelectManualKey(3, 21));
  EXPECT_FALSE(editor.SelectManualKey(4, 0));
}

TEST(ManualKeyMenu, EveryEntryOfTheTableBelongsToOneSubmenuPosition) {
  const struct {
    int index, group, position;
  } cases[] = {{0, 0, 0}, {23, 0, 23}, {24, 1, 0}, {35, 1, 11}, {36, 2, 0}, {53, 2, 17}, {54, 3, 0}, {74, 3, 20}};
  for (const auto& c : cases) {
    int group = -1, position = -1;
    ASSERT_TRUE(ManualKeyEntryOf(c.index, group, position)) << c.index;
    EXPECT_EQ(group, c.group) << c.index;
    EXPECT_EQ(position, c.position) << c.index;
  }
  int g = 0, p = 0;
  EXPECT_FALSE(ManualKeyEntryOf(-1, g, p));
  EXPECT_FALSE(ManualKeyEntryOf(75, g, p));
}

TEST_F(ActionEditorTest, ManualKeyKeepsTheModifiersHeldAtThatMoment) {
  editor.ChooseResponse(ResponseChoice::TypeKeystroke);
  editor.KeyDown(kControl);
  ASSERT_TRUE(editor.SelectManualKey(1, 1));  // Up Arrow
  EXPECT_EQ(editor.view.keystrokeText, "Control + Up Arrow");
}

TEST_F(ActionEditorTest, ScrollArrowsStayWithinOneTo127) {
  editor.ChooseResponse(ResponseChoice::WheelUp);
  const struct {
    const char* before;
    bool up;
    const char* after;
  } cases[] = {{"1", false, "1"}, {"2", false, "1"}, {"126", true, "127"}, {"127", true, "127"},
               {"300", true, "127"}, {"300", false, "127"}, {"0", true, "1"}, {"-4", false, "-4"}};
  for (const auto& c : cases) {
    editor.view.wheelText = c.before;
    editor.WheelArrow(c.up);
    EXPECT_EQ(editor.view.wheelText, c.after) << c.before << (c.up ? " up" : " down");
  }
}

TEST_F(ActionEditorTest, ScrollArrowOnTextThatIsNoNumberPutsTheStoredAmountBack) {
  slot(kButton1) = ActionSlot{16, 0, 0, 5, 0, 0, {}, {}, {}};
  editor.ShowUserAction(kButton1);
  editor.view.wheelText = "five";
  editor.WheelArrow(true);
  EXPECT_EQ(editor.view.wheelText, "5");
}

TEST_F(ActionEditorTest, ATypedScrollAmountOutsideOneTo127StoresNothing) {
  setComment(slot(kButton1), "old");
  slot(kButton1) = ActionSlot{8, ModShift, kA, -1, 10, 1, {}, {}, {}};
  setComment(slot(kButton1), "old");
  const ActionSlot before = slot(kButton1);
  for (const char* typed : {"0", "128", "-3", "abc", "", " 5", "5x", "999999999999"}) {
    editor.ShowUserAction(kButton1);
    editor.ChooseResponse(ResponseChoice::WheelDown);
    editor.view.comment = "new";
    editor.view.wheelText = typed;
    EXPECT_EQ(editor.StoreEditedAction(), ActionEditor::StoreResult::InvalidScrollAmount) << typed;
    EXPECT_EQ(std::memcmp(&slot(kButton1), &before, sizeof before), 0) << typed;
    EXPECT_EQ(editor.ChangeUserAction(kButton5), ActionEditor::StoreResult::InvalidScrollAmount);
    EXPECT_EQ(editor.state.currentUserAction, kButton1);
  }
  editor.view.wheelText = "127";
  ASSERT_EQ(editor.StoreEditedAction(), ActionEditor::StoreResult::Stored);
  EXPECT_EQ(slot(kButton1).kind, 17);
  EXPECT_EQ(slot(kButton1).wheelNotches, 127);
  EXPECT_EQ(slot(kButton1).keyCode, 0);
  EXPECT_EQ(slot(kButton1).repeatPeriod, 0);
  EXPECT_EQ(fieldText(slot(kButton1).comment), "new");
}

TEST_F(ActionEditorTest, AStoredAmountTheBoxWouldNotAcceptIsKeptWhenLeftUntouched) {
  slot(kButton1) = ActionSlot{16, ModControl, 0, -2, 0, 0, {}, {}, {}};
  editor.ShowUserAction(kButton1);
  EXPECT_EQ(editor.view.wheelText, "-2");
  EXPECT_EQ(editor.ChangeUserAction(kButton5), ActionEditor::StoreResult::Stored);
  EXPECT_EQ(slot(kButton1).wheelNotches, -2);
  EXPECT_EQ(slot(kButton1).modifiers, ModControl);
}

TEST_F(ActionEditorTest, AnUntouchedAmountIsNoLongerKeptOnceAnotherResponseWasStored) {
  for (const ResponseChoice between : {ResponseChoice::DoNothing, ResponseChoice::TypeKeystroke}) {
    slot(kButton1) = ActionSlot{17, 0, 0, 0, 0, 0, {}, {}, {}};
    editor.ShowUserAction(kButton1);
    ASSERT_EQ(editor.view.wheelText, "0");
    editor.ChooseResponse(between);
    ASSERT_EQ(editor.StoreEditedAction(), ActionEditor::StoreResult::Stored);
    const ActionSlot before = slot(kButton1);
    // The box still says "0", but the slot holds no scroll amount any more.
    editor.ChooseResponse(ResponseChoice::WheelDown);
    EXPECT_EQ(editor.StoreEditedAction(), ActionEditor::StoreResult::InvalidScrollAmount);
    EXPECT_EQ(std::memcmp(&slot(kButton1), &before, sizeof before), 0);
    editor.view.wheelText = "3";
    ASSERT_EQ(editor.StoreEditedAction(), ActionEditor::StoreResult::Stored);
    EXPECT_EQ(slot(kButton1).kind, 17);
    EXPECT_EQ(slot(kButton1).wheelNotches, 3);
  }
}

TEST_F(ActionEditorTest, KindsTheMenuDoesNotOfferAreShownForWhatTheyAreAndKeptByteForByte) {
  struct Case {
    std::uint16_t kind;
    const char* caption;
  };
  const Case cases[] = {{10, "Open Item"}, {18, "Wheel Left"}, {19, "Wheel Right"},
                        {2, "Other Response (2)"}, {0xBEEF, "Other Response (48879)"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.caption);
    ActionSlot odd{c.kind, ModAlt, 77, 3, 42, 1, {1, 2, 3, 4}, {}, {}};
    setItemPath(odd, "C:\\clip.wav");
    setComment(odd, "kept");
    slot(kButton5) = odd;
    editor.ShowUserAction(kButton1);
    editor.ChooseResponse(ResponseChoice::WheelUp);  // the previous action's controls
    ASSERT_EQ(editor.ChangeUserAction(kButton5), ActionEditor::StoreResult::Stored);
    EXPECT_EQ(editor.view.responseCaption, c.caption);
    EXPECT_FALSE(editor.view.keystrokeShown || editor.view.modifiersShown ||
                 editor.view.frequencyShown || editor.view.syncReleaseShown || editor.view.wheelShown);
    EXPECT_FALSE(editor.view.commentEnabled);
    editor.view.comment = "changed";  // the box is disabled; even so nothing may reach the slot
    ASSERT_EQ(editor.StoreEditedAction(), ActionEditor::StoreResult::Stored);
    ASSERT_EQ(editor.ChangeUserAction(kButton1), ActionEditor::StoreResult::Stored);
    EXPECT_EQ(std::memcmp(&slot(kButton5), &odd, sizeof odd), 0);
  }
  // Picking a response makes it an ordinary slot again.
  editor.ShowUserAction(kButton5);
  editor.ChooseResponse(ResponseChoice::DoNothing);
  ASSERT_EQ(editor.StoreEditedAction(), ActionEditor::StoreResult::Stored);
  EXPECT_EQ(slot(kButton5).kind, 0);
}

TEST_F(ActionEditorTest, EditsStayInTheViewUntilStoredAndShowDiscardsThem) {
  slot(kButton1) = ActionSlot{8, 0, kA, -1, 0, 0, {}, {}, {}};
  editor.ShowUserAction(kButton1);
  play({{'d', kB}, {'u', kB}});
  editor.view.comment = "pending";
  EXPECT_EQ(slot(kButton1).keyCode, kA);
  editor.ShowUserAction(kButton1);  // Undo
  EXPECT_EQ(editor.view.keystrokeText, "A");
  EXPECT_EQ(editor.view.comment, "");
}

TEST_F(ActionEditorTest, EditsGoToTheCurrentSetOnly) {
  store.currentSet = 1;
  editor.ShowUserAction(kButton1);
  EXPECT_EQ(editor.view.targetAppSet, 1);
  editor.ChooseResponse(ResponseChoice::SameAsLower);
  ASSERT_EQ(editor.StoreEditedAction(), ActionEditor::StoreResult::Stored);
  EXPECT_EQ(store.records[1].slots[60].kind, 1);
  EXPECT_EQ(store.records[0].slots[60].kind, 0);
}

TEST_F(ActionEditorTest, ACommentIsCutToTheField) {
  editor.view.comment = std::string(40, 'c');
  ASSERT_EQ(editor.StoreEditedAction(), ActionEditor::StoreResult::Stored);
  EXPECT_EQ(fieldText(slot(kButton1).comment), std::string(31, 'c'));
}

}  // namespace
}  // namespace ringdeck::panel
