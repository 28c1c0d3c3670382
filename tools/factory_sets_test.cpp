#include "factory_sets.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <sstream>

#include "settings_io.h"
#include "stdio_file.h"

namespace ringdeck::tools {

// Found by argument-dependent lookup, so it must live in the enum's own namespace.
void PrintTo(Variant v, std::ostream* os);
void PrintTo(Variant v, std::ostream* os) { *os << variantSuffix(v); }

namespace {

std::string readText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

std::vector<std::uint8_t> slotBytes(const ActionSlot& slot) {
  const auto* p = reinterpret_cast<const std::uint8_t*>(&slot);
  return {p, p + sizeof slot};
}

const SettingsRecord& onlySet(const ParseResult& r) {
  EXPECT_TRUE(r.ok()) << r.error;
  EXPECT_EQ(r.sets.size(), 1u);
  return r.sets.at(0).record;
}

std::string oneSet(const std::string& lines) {
  return "set Global Settings\nfiles 2k 98\n" + lines;
}

TEST(FactorySetsSource, KeystrokeHeldLikeTheControlPanelStoresIt) {
  const auto r = parseFactorySets(oneSet("Lower Left Button = key Ctrl+C hold\n"));
  std::vector<std::uint8_t> expected = {0x08, 0x00, 0x04, 0x00, 0x43, 0xFF, 0xFF, 0xFF,
                                        0x01, 0x00, 0x00, 0x00};
  expected.resize(kSlotSize, 0);
  EXPECT_EQ(slotBytes(onlySet(r).slots[SlotIndex::button(9)]), expected);
}

TEST(FactorySetsSource, EveryActionFormLandsInItsSlot) {
  const auto r = parseFactorySets(oneSet(
      "  Turn Jog Left = key Left ; One frame back\n"
      "Shuttle Zone -3 = key Shift+J repeat 25 deferred\n"
      "Shuttle Zone 7 = same-as-lower\n"
      "Transition 0 to 1 = system-repeat NumEnter\n"
      "Transition -6 to -7 = key F12\n"
      "Bottom Left Button = modifiers Ctrl+Alt\n"
      "Top Left Button = scroll-down 3 with Shift\n"
      "Top Right Button = scroll-up 1\n"
      "Upper Center Button = open notepad.exe ; editor\n"
      "# a comment line\n"
      "Lower Right Button = none\n"));
  const SettingsRecord& rec = onlySet(r);
  EXPECT_EQ(fieldText(rec.name), "Global Settings");
  EXPECT_TRUE(hasNoTargetApp(rec));

  const ActionSlot& jog = rec.slots[SlotIndex::JogLeft];
  EXPECT_EQ(jog.actionKind(), ActionKind::Keystroke);
  EXPECT_EQ(jog.keyCode, 0x25);
  EXPECT_EQ(jog.repeatPeriod, kRepeatOnce);
  EXPECT_EQ(jog.syncRelease, 1u);
  EXPECT_EQ(fieldText(jog.comment), "One frame back");

  const ActionSlot& zone = rec.slots[SlotIndex::shuttleZone(-3)];
  EXPECT_EQ(zone.modifiers, ModShift);
  EXPECT_EQ(zone.keyCode, 'J');
  EXPECT_EQ(zone.repeatPeriod, 25);
  EXPECT_EQ(zone.syncRelease, 0u);

  EXPECT_EQ(rec.slots[SlotIndex::shuttleZone(7)].actionKind(), ActionKind::SameAsLower);
  const ActionSlot& sys = rec.slots[SlotIndex::transitionUp(0)];
  EXPECT_EQ(sys.actionKind(), ActionKind::KeystrokeSystemRepeat);
  EXPECT_EQ(sys.keyCode, kKeypadEnter);
  EXPECT_EQ(sys.repeatPeriod, kRepeatHold);
  EXPECT_EQ(rec.slots[SlotIndex::transitionDown(-6)].keyCode, 0x7B);

  const ActionSlot& mods = rec.slots[SlotIndex::button(11)];
  EXPECT_EQ(mods.actionKind(), ActionKind::Modifiers);
  EXPECT_EQ(mods.modifiers, ModControl | ModAlt);
  EXPECT_EQ(mods.keyCode, 0);

  const ActionSlot& down = rec.slots[SlotIndex::button(0)];
  EXPECT_EQ(down.actionKind(), ActionKind::ScrollDown);
  EXPECT_EQ(down.wheelNotches, 3);
  EXPECT_EQ(down.modifiers, ModShift);
  EXPECT_EQ(rec.slots[SlotIndex::button(3)].actionKind(), ActionKind::ScrollUp);

  const ActionSlot& open = rec.slots[SlotIndex::button(6)];
  EXPECT_EQ(open.actionKind(), ActionKind::OpenItem);
  EXPECT_EQ(fieldText(open.itemPath), "notepad.exe");
  EXPECT_EQ(fieldText(open.comment), "editor");

  EXPECT_EQ(slotBytes(rec.slots[SlotIndex::button(10)]), std::vector<std::uint8_t>(kSlotSize, 0));
}

TEST(FactorySetsSource, MistakesAreReportedWithTheirLine) {
  struct Case {
    std::string source;
    const char* error;
  };
  const std::string longText(32, 'x');
  const Case cases[] = {
      {"Turn Jog Left = key Left\n", "line 1: expected 'set <name>' first"},
      {oneSet("Turn Jog Middle = key Left\n"), "line 3: unknown control 'Turn Jog Middle'"},
      {oneSet("Shuttle Zone 8 = key Left\n"), "line 3: unknown control"},
      {oneSet("Turn Jog Left = key Lft\n"), "line 3: unknown key 'Lft'"},
      {oneSet("Turn Jog Left = key Cntrl+A\n"), "line 3: unknown modifier 'Cntrl'"},
      {oneSet("Turn Jog Left = key A\nTurn Jog Left = key B\n"), "line 4: 'Turn Jog Left' given twice"},
      {oneSet("Turn Jog Left = key A repeat 0\n"), "line 3: repeat period"},
      {oneSet("Turn Jog Left = key A repeat 65535\n"), "line 3: repeat period"},
      {oneSet("Turn Jog Left = key A once hold\n"), "line 3: unexpected 'hold'"},
      {oneSet("Turn Jog Left = scroll-up 200\n"), "line 3: wheel notches"},
      {oneSet("Turn Jog Left = same-as-lower\n"), "line 3: same-as-lower only fits"},
      {oneSet("Shuttle Zone 0 = same-as-lower\n"), "line 3: same-as-lower only fits"},
      {oneSet("Turn Jog Left = modifiers Shift+A\n"), "line 3: unknown modifier 'A'"},
      {oneSet("Turn Jog Left = jump\n"), "line 3: unknown action 'jump'"},
      {oneSet("Turn Jog Left = key A ; " + longText + "\n"), "line 3: comment longer"},
      {oneSet("Turn Jog Left\n"), "line 3: expected '<control> = <action>'"},
      {"set " + longText + "\nfiles 2k 98\n", "line 1: set name"},
      {oneSet("target " + longText + "x\n"), "line 3: target"},
      {oneSet("files 95\n"), "line 3: unknown default file '95'"},
      {"set A\n", "goes into no file"},
      {"set A\nfiles 2k\n", "the 98 file is empty"},
      {"set A\nfiles 2k 98\ntarget a.exe\n", "must start with the one set that has no target"},
      {oneSet("set B\nfiles 2k\n"), "the 2k file must start with the one set"},
      {oneSet("set Global Settings\ntarget x.exe\nfiles 98\n"), "two sets named 'Global Settings'"},
      {oneSet("about\n"), "line 3: expected text after 'about'"},
      {oneSet("speed drift\n"), "line 3: unknown speed kind 'drift'"},
      {oneSet("speed transport L J\n"), "line 3: expected 'speed transport"},
      {oneSet("speed moves Right\n"), "line 3: expected 'speed moves"},
      {oneSet("speed moves Right 0\n"), "line 3: units must be"},
      {oneSet("speed moves Rite 1\n"), "line 3: unknown key 'Rite'"},
      {oneSet("feel out 1 2 3 4 5 6 7 back 1 2 3 4 5 6 7 flick 0 jump 1\n"), "needs a 'speed' line"},
      {oneSet("speed transport L J K\nfeel out 1 2 3\n"), "line 4: expected a number in 'feel'"},
      {oneSet("speed transport L J K\nfeel out 1 2 3 4 5 6 7 back 1 2 3 4 5 6 7 flick 0 jump 1 x\n"),
       "line 4: unexpected 'x'"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.source);
    const auto r = parseFactorySets(c.source);
    EXPECT_FALSE(r.ok());
    EXPECT_NE(r.error.find(c.error), std::string::npos) << r.error;
    EXPECT_TRUE(r.sets.empty());
  }
}

TEST(FactorySetsSource, WhatTheDocumentationAndTheRingTestReadAboutASet) {
  const auto r = parseFactorySets(oneSet(
      "about Seeks instead of\nabout changing the rate.\nsource The manual.\n"
      "speed moves Shift+Right 3 Shift+Left -3\n"
      "feel out 1 2 3 4 5 6 7 back 6 5 4 3 2 1 0 flick 0 jump 5\n"
      "Top Left Button = key Comma ; Back\n"));
  ASSERT_TRUE(r.ok()) << r.error;
  const FactorySet& set = r.sets.at(0);
  EXPECT_EQ(set.about, "Seeks instead of changing the rate.");
  EXPECT_EQ(set.source, "The manual.");
  ASSERT_EQ(set.speed.kind, SpeedKind::Moves);
  ASSERT_EQ(set.speed.keys.size(), 2u);
  EXPECT_EQ(set.speed.keys[0].modifiers, ModShift);
  EXPECT_EQ(set.speed.keys[0].keyCode, 0x27);
  EXPECT_EQ(set.speed.keys[1].units, -3);
  EXPECT_TRUE(set.feel.given);
  EXPECT_EQ(set.feel.out[6], 7);
  EXPECT_EQ(set.feel.back[6], 0);
  EXPECT_EQ(set.feel.jump, 5);

  const std::string md = shippedSetsMarkdown(r.sets);
  for (const char* text : {"Seeks instead of changing the rate.", "Shortcuts from: The manual.",
                           "other keyboard layouts: `Comma`", "| 1, 2, 3, 4, 5, 6, 7 |",
                           "| jump from 0 to +5 in one report | 5 |"}) {
    EXPECT_NE(md.find(text), std::string::npos) << text;
  }

  const auto t = parseFactorySets(oneSet("speed transport L J K\n"));
  ASSERT_TRUE(t.ok()) << t.error;
  ASSERT_EQ(t.sets.at(0).speed.kind, SpeedKind::Transport);
  EXPECT_EQ(t.sets.at(0).speed.keys.at(2).keyCode, 'K');
}

TEST(FactorySetsSource, RecordsGoIntoTheirFilesInOrderWithAFactoryChecksum) {
  const auto r = parseFactorySets(
      "set Global Settings\nfiles 2k 98\n"
      "set Both\ntarget both.exe\nfiles 98 2k\n"
      "set NT only\ntarget nt.exe\nfiles 2k\n"
      "set Old only\ntarget old.exe\nfiles 98\n");
  ASSERT_TRUE(r.ok()) << r.error;
  const auto nt = recordsFor(r.sets, Variant::Nt);
  const auto old = recordsFor(r.sets, Variant::Win9x);
  ASSERT_EQ(nt.size(), 3u);
  ASSERT_EQ(old.size(), 3u);
  EXPECT_EQ(fieldText(nt[2].targetApp), "nt.exe");
  EXPECT_EQ(fieldText(old[2].targetApp), "old.exe");
  for (const auto* records : {&nt, &old}) {
    for (const SettingsRecord& rec : *records) {
      EXPECT_EQ(factoryState(rec), FactoryState::Factory) << fieldText(rec.name);
      SettingsRecord edited = rec;
      setComment(edited.slots[0], "x");
      EXPECT_EQ(factoryState(edited), FactoryState::Changed);
    }
  }
}

// The files the build generated from the shipped source.
class ShippedDefaultFile : public testing::TestWithParam<Variant> {
 protected:
  void SetUp() override {
    const std::string path =
        std::string(FACTORY_SETS_DIR) + "/OrvanelRingDeck.pref" + std::string(variantSuffix(GetParam()));
    auto file = fs_.open(path, OpenMode::ReadOnlyExisting);
    ASSERT_TRUE(file) << path;
    const auto size = file->size();
    ASSERT_TRUE(size);
    EXPECT_EQ((*size - kHeaderSize) % kRecordSize, 0u) << "no partial record";
    std::vector<std::uint8_t> header(kHeaderSize);
    ASSERT_EQ(file->readAt(0, header), kHeaderSize);
    EXPECT_EQ(header, (std::vector<std::uint8_t>{0x73, 0x26, 0x6A, 0x43, 1, 0, 0, 0, 0, 0, 0, 0,
                                                 0, 0, 0, 0}));
    auto records = readAllSettingsRecords(*file);
    ASSERT_TRUE(records);
    records_ = std::move(*records);
    ASSERT_GE(records_.size(), 2u);
  }
  StdioFileSystem fs_;
  std::vector<SettingsRecord> records_;
};

TEST_P(ShippedDefaultFile, EveryRecordShowsAsFactorySettings) {
  for (const SettingsRecord& rec : records_) {
    EXPECT_EQ(factoryState(rec), FactoryState::Factory) << fieldText(rec.name);
  }
}

TEST_P(ShippedDefaultFile, GlobalSetComesFirstAndTheOthersTargetAProgram) {
  EXPECT_EQ(fieldText(records_[0].name), kGlobalSetName);
  EXPECT_TRUE(hasNoTargetApp(records_[0]));
  for (std::size_t i = 1; i < records_.size(); ++i) {
    EXPECT_FALSE(hasNoTargetApp(records_[i])) << fieldText(records_[i].name);
    EXPECT_EQ(records_[i].newSetMarker, 0);
  }
}

TEST_P(ShippedDefaultFile, EveryControlOfEverySetHasAnActionThatSaysWhatItDoes) {
  for (const SettingsRecord& rec : records_) {
    SCOPED_TRACE(fieldText(rec.name));
    for (const int i : {SlotIndex::JogLeft, SlotIndex::JogRight}) {
      EXPECT_NE(rec.slots[i].actionKind(), ActionKind::None) << slotName(i);
    }
    for (int b = 0; b < SlotIndex::ButtonCount; ++b) {
      EXPECT_NE(rec.slots[SlotIndex::button(b)].actionKind(), ActionKind::None) << slotName(b);
    }
    for (int i = 0; i < static_cast<int>(kSlotCount); ++i) {
      const ActionSlot& slot = rec.slots[i];
      if (slotName(i).empty()) {
        EXPECT_EQ(slotBytes(slot), std::vector<std::uint8_t>(kSlotSize, 0)) << i;
      } else if (slot.actionKind() != ActionKind::None) {
        EXPECT_FALSE(fieldText(slot.comment).empty()) << slotName(i);
        // No key may stay down after the control is let go ("same as lower" presses none).
        if (slot.actionKind() != ActionKind::SameAsLower) {
          EXPECT_NE(slot.syncRelease, 0u) << slotName(i);
        }
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(BothFiles, ShippedDefaultFile, testing::Values(Variant::Nt, Variant::Win9x),
                         [](const testing::TestParamInfo<Variant>& p) {
                           return "pref" + std::string(variantSuffix(p.param));
                         });

TEST(ShippedSetsDocument, IsInStepWithTheSource) {
  const auto parsed = parseFactorySets(readText(FACTORY_SETS_SOURCE));
  ASSERT_TRUE(parsed.ok()) << parsed.error;
  EXPECT_EQ(readText(SHIPPED_SETS_DOC), shippedSetsMarkdown(parsed.sets))
      << "regenerate docs/shipped-sets.md with make_factory_sets --markdown tools/factory-sets.txt";
}

}  // namespace
}  // namespace ringdeck::tools
