#include "action_names.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>

#include "test_layout.h"

namespace ringdeck::panel {
namespace {

const LayoutCharTable kUs = testing::usLayoutTable();
const StandardEditorCaptions kCaptions;

TEST(UserActionSlotMap, ListsTheEditedSlotsInListOrder) {
  EXPECT_EQ(UserActionSlotMap[0], 60);
  EXPECT_EQ(UserActionSlotMap[12], 72);
  EXPECT_EQ(UserActionSlotMap[13], 0);
  EXPECT_EQ(UserActionSlotMap[14], 1);
  EXPECT_EQ(UserActionSlotMap[15], 5);
  EXPECT_EQ(UserActionSlotMap[29], 19);
  EXPECT_EQ(UserActionSlotMap[30], 25);
  EXPECT_EQ(UserActionSlotMap[43], 38);
  EXPECT_EQ(UserActionSlotMap[44], 43);
  EXPECT_EQ(UserActionSlotMap[57], 56);
  // Every entry names a slot with a report name, each slot once.
  std::set<int> seen;
  for (std::size_t i = 0; i < kUserActionCount; ++i) {
    std::string name;
    EXPECT_TRUE(SlotName(UserActionSlotMap[i], name)) << i;
    EXPECT_TRUE(seen.insert(UserActionSlotMap[i]).second) << i;
    EXPECT_EQ(UserActionOfSlot(UserActionSlotMap[i]), i);
  }
  EXPECT_EQ(UserActionOfSlot(2), std::nullopt);
  EXPECT_EQ(UserActionOfSlot(80), std::nullopt);
}

TEST(UserActionCaption, FollowsTheListOfTheWindow) {
  const std::pair<std::size_t, const char*> cases[] = {
      {0, "Button 1"},
      {12, "Button 13"},
      {13, "Jog Left"},
      {14, "Jog Right"},
      {15, "Shuttle in Left 7"},
      {21, "Shuttle in Left 1"},
      {22, "Shuttle Centered"},
      {23, "Shuttle in Right 1"},
      {29, "Shuttle in Right 7"},
      {30, "Shuttle from Left 7 to 6"},
      {35, "Shuttle from Left 2 to 1"},
      {36, "Shuttle from Left 1 to Center"},
      {37, "Shuttle from Center to Right 1"},
      {38, "Shuttle from Right 1 to 2"},
      {43, "Shuttle from Right 6 to 7"},
      {44, "Shuttle from Right 7 to 6"},
      {49, "Shuttle from Right 2 to 1"},
      {50, "Shuttle from Right 1 to Center"},
      {51, "Shuttle from Center to Left 1"},
      {52, "Shuttle from Left 1 to 2"},
      {57, "Shuttle from Left 6 to 7"},
      {58, ""},
  };
  for (const auto& [position, caption] : cases) EXPECT_EQ(UserActionCaption(position), caption);
}

TEST(SlotName, NamesEveryEditedSlotAndNothingElse) {
  const std::pair<int, const char*> named[] = {
      {0, "Turn Jog Left"},
      {1, "Turn Jog Right"},
      {5, "Shuttle Zone -7"},
      {11, "Shuttle Zone -1"},
      {12, "Shuttle Zone 0"},
      {19, "Shuttle Zone 7"},
      {25, "Transition -7 to -6"},
      {31, "Transition -1 to 0"},
      {32, "Transition 0 to 1"},
      {38, "Transition 6 to 7"},
      {43, "Transition 7 to 6"},
      {49, "Transition 1 to 0"},
      {50, "Transition 0 to -1"},
      {56, "Transition -6 to -7"},
      {60, "Top Left Button"},
      {66, "Upper Center Button"},
      {67, "Upper Center Right Button"},
      {72, "Bottom Right Button"},
  };
  for (const auto& [slot, name] : named) {
    std::string text = "x";
    EXPECT_TRUE(SlotName(slot, text));
    EXPECT_EQ(text, std::string("x") + name);
  }
  for (int slot : {-1, 2, 3, 4, 20, 24, 39, 42, 57, 59, 73, 79, 80, 255, 65535}) {
    std::string text = "x";
    EXPECT_FALSE(SlotName(slot, text)) << slot;
    EXPECT_EQ(text, "x") << slot;
  }
}

struct KeyCase {
  int code;
  const char* editor;
  const char* report;
};

TEST(KeyNames, BothVocabularies) {
  const KeyCase cases[] = {
      {0, "", ""},
      {'A', "A", "A"},
      {'Z', "Z", "Z"},
      {'1', "1", "1"},          // from the layout
      {0xBA, ";", ";"},         // from the layout
      {96, "NumPad 0", "Numpad 0"},
      {105, "NumPad 9", "Numpad 9"},
      {112, "F1", "F1"},
      {124, "F13", "F13"},
      {135, "F24", "F24"},
      {8, "BackSpace", "Backspace"},
      {10, "NumPad Enter", "NumPad Enter"},
      {13, "Enter", "Enter"},
      {32, "Space", "Space"},
      {93, "Applications Key", "Applications key"},
      {106, "NumPad *", "Numpad *"},
      {108, "Numpad Separator", "Numpad Separator"},
      {110, "NumPad Decimal", "Numpad Decimal"},
      {190, ".", "."},
      {243, "F15 (Apple PRO Keyboard)", "F15 (Apple PRO Keyboard)"},
      {245, "F14 (Apple PRO Keyboard)", "F14 (Apple PRO Keyboard)"},
      {254, "OEM Clear", "OEM Clear"},
      // Neither a rule nor the layout names these: a readable name, not a raw byte.
      {0xE2, "Key 226", "Key 226"},
      {255, "Key 255", "Key 255"},
  };
  for (const KeyCase& c : cases) {
    const auto code = static_cast<std::uint8_t>(c.code);
    EXPECT_EQ(EditorKeyName(kCaptions, kUs, code), c.editor) << c.code;
    std::string text = "x";
    ExportKeyName(kUs, code, text);
    EXPECT_EQ(text, std::string("x") + c.report) << c.code;
  }
}

TEST(KeyNames, RulesWinOverTheLayoutAndControlCharactersAreNotNames) {
  LayoutCharTable layout;
  layout.set(190, ',');   // a layout whose period key types a comma
  layout.set('Q', 'a');   // letters are named by their code, not by the layout
  layout.set(0xC1, 0x1F);
  EXPECT_EQ(EditorKeyName(kCaptions, layout, 190), ".");
  EXPECT_EQ(EditorKeyName(kCaptions, layout, 'Q'), "Q");
  EXPECT_EQ(EditorKeyName(kCaptions, layout, 0xC1), "Key 193");
}

// A window whose layout was translated: the editor's words follow it, the report's do not.
class TranslatedCaptions final : public CaptionProvider {
 public:
  std::string caption(EditorCaption which) const override {
    switch (which) {
      case EditorCaption::NumPad: return "Ziffernblock";
      case EditorCaption::FunctionKey: return "Fn";
      case EditorCaption::None: return "Keine";
      case EditorCaption::ShiftButton: return "Umschalt";
      case EditorCaption::ControlButton: return "Strg";
      default: return StandardEditorCaptions().caption(which);
    }
  }
  std::string keyMenuCaption(std::uint8_t keyCode) const override {
    if (keyCode == 46) return "Entf";
    if (keyCode == 93) return "Anwendungstaste";
    return StandardEditorCaptions().keyMenuCaption(keyCode);
  }
};

TEST(KeyNames, EditorWordsComeFromTheWindowsCaptions) {
  const TranslatedCaptions de;
  EXPECT_EQ(EditorKeyName(de, kUs, 46), "Entf");
  EXPECT_EQ(EditorKeyName(de, kUs, 99), "Ziffernblock 3");
  EXPECT_EQ(EditorKeyName(de, kUs, 113), "Fn2");
  EXPECT_EQ(EditorKeyName(de, kUs, 32), "Space");  // a fixed literal, not a menu entry
  EXPECT_EQ(KeystrokeText(de, kUs, 46, ModControl | ModApps), "Strg + Anwendungstaste + Entf");
  EXPECT_EQ(KeystrokeText(de, kUs, 0, 0), "Keine");
  std::string text;
  ExportKeyName(kUs, 46, text);
  EXPECT_EQ(text, "Delete");
}

ActionSlot slotOf(ActionKind kind, std::uint16_t modifiers = 0, std::uint8_t key = 0) {
  ActionSlot s{};
  s.kind = static_cast<std::uint16_t>(kind);
  s.modifiers = modifiers;
  s.keyCode = key;
  return s;
}

std::string describe(const ActionSlot& s) {
  std::string text;
  ActionDescription(kUs, s, text);
  return text;
}

TEST(ActionDescription, DescribesEveryKind) {
  const std::pair<ActionSlot, const char*> cases[] = {
      {slotOf(ActionKind::None), "-"},
      {slotOf(ActionKind::SameAsLower), "same as lower"},
      {slotOf(ActionKind::Keystroke, ModShift | ModControl, 'S'), "keystroke: Shift + Control + S"},
      {slotOf(ActionKind::KeystrokeSystemRepeat, 0, 37), "keystroke: Left Arrow"},
      {slotOf(ActionKind::Keystroke, kAllModifiers, 10),
       "keystroke: Shift + Control + Alt + WinKey + NumPad Enter"},
      // No key: "-" alone, the modifiers are not mentioned.
      {slotOf(ActionKind::Keystroke, ModShift, 0), "-"},
      {slotOf(ActionKind::KeystrokeSystemRepeat, ModAlt, 0), "-"},
      {slotOf(ActionKind::Modifiers, ModControl | ModAlt), "modifiers: Control + Alt + "},
      {slotOf(ActionKind::Modifiers, 0), "modifiers: "},
      // The Applications key bit and bits of the high byte have no word in the report.
      {slotOf(ActionKind::Modifiers, ModApps | 0x0100 | ModWin), "modifiers: WinKey + "},
      {slotOf(ActionKind::ScrollUp, ModShift), "scroll up"},
      {slotOf(ActionKind::ScrollDown), "scroll down"},
      {slotOf(ActionKind::ScrollLeft), "scroll left"},
      {slotOf(ActionKind::ScrollRight), "scroll right"},
      {slotOf(static_cast<ActionKind>(2), ModShift, 'A'), "-"},
      {slotOf(static_cast<ActionKind>(0xFFFF), ModShift, 'A'), "-"},
  };
  for (const auto& [slot, text] : cases) EXPECT_EQ(describe(slot), text) << slot.kind;
}

TEST(ActionDescription, OpenItemPathIsBoundedByItsField) {
  ActionSlot s = slotOf(ActionKind::OpenItem);
  setItemPath(s, "C:\\Tools\\notes.txt");
  EXPECT_EQ(describe(s), "open item: C:\\Tools\\notes.txt");
  // A path field without its zero stops at the field's end, not in the comment after it.
  std::memset(s.itemPath, 'p', sizeof s.itemPath);
  setComment(s, "comment");
  EXPECT_EQ(describe(s), "open item: " + std::string(32, 'p'));
}

TEST(KeystrokeText, ModifierWordsThenKey) {
  struct Case {
    std::uint8_t key;
    std::uint16_t modifiers;
    const char* text;
  };
  const Case cases[] = {
      {46, ModControl | ModAlt, "Control + Alt + Delete"},
      {0, ModShift, "Shift + "},
      {99, ModControl, "Control + NumPad 3"},
      {'S', kAllModifiers, "Shift + Control + Alt + Win + Applications Key + S"},
      {0, 0, "None"},
      // Only bits outside the five: nothing to say, but something is set, so not "None".
      {0, 0x0108, ""},
      {'A', 0x8000, "A"},
      {10, 0, "NumPad Enter"},
  };
  for (const Case& c : cases) EXPECT_EQ(KeystrokeText(kCaptions, kUs, c.key, c.modifiers), c.text);
}

TEST(EditorActionName, ResponseMenuCaptions) {
  EXPECT_EQ(EditorActionName(kCaptions, 0), "Do Nothing");
  EXPECT_EQ(EditorActionName(kCaptions, 1), "Same as Lower Value");
  EXPECT_EQ(EditorActionName(kCaptions, 7), "Type Keystroke");
  EXPECT_EQ(EditorActionName(kCaptions, 8), "Type Keystroke");
  EXPECT_EQ(EditorActionName(kCaptions, 9), "Press Modifier Keys");
  EXPECT_EQ(EditorActionName(kCaptions, 16), "Wheel Up");
  EXPECT_EQ(EditorActionName(kCaptions, 17), "Wheel Down");
  for (std::uint16_t kind : {2, 10, 18, 19, 20, 0xFFFF}) EXPECT_EQ(EditorActionName(kCaptions, kind), "");
}

}  // namespace
}  // namespace ringdeck::panel
