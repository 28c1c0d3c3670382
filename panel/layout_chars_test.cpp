#include "layout_chars.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

#include "test_layout.h"

namespace ringdeck::panel {
namespace {

TEST(LayoutCharTable, TakesUnshiftedCharactersOnly) {
  const LayoutCharTable t = testing::usLayoutTable();
  EXPECT_EQ(t['A'], 'a');  // 'A' needs Shift and loses to 'a'
  EXPECT_EQ(t['1'], '1');  // '!' needs Shift
  EXPECT_EQ(t[0xBA], ';');
  EXPECT_EQ(t[0xBE], '.');
  EXPECT_EQ(t[0x0D], '\r');  // '\n' needs Control
  EXPECT_EQ(t[0x70], LayoutCharTable::kNoCharacter);  // F1 types nothing
  EXPECT_EQ(t[0], LayoutCharTable::kNoCharacter);
}

// Answers from a table; records which characters were asked.
class ScriptedLayout final : public KeyboardLayoutQuery {
 public:
  std::map<std::uint8_t, std::int16_t> answers;
  mutable std::set<unsigned> asked;
  std::int16_t keyForCharacter(std::uint8_t c) const override {
    asked.insert(c);
    const auto it = answers.find(c);
    return it == answers.end() ? std::int16_t{-1} : it->second;
  }
};

TEST(LayoutCharTable, HighestCharacterWinsAndCharacter255IsNeverAsked) {
  ScriptedLayout layout;
  layout.answers = {{'x', 0x58}, {'y', 0x58}, {0xE9, 0x58}, {0xF0, 0x0158}, {0x41, 0x00FF}};
  LayoutCharTable t;
  t.set(0x30, '0');  // a refill starts from nothing
  t.fill(layout);
  EXPECT_EQ(t[0x58], 0xE9);  // shifted 0xF0 does not count
  EXPECT_EQ(t[0xFF], 0x41);  // a key code of 255 is an ordinary entry
  EXPECT_EQ(t[0x30], LayoutCharTable::kNoCharacter);
  EXPECT_EQ(layout.asked.size(), 255u);
  EXPECT_EQ(layout.asked.count(255), 0u);
}

}  // namespace
}  // namespace ringdeck::panel
