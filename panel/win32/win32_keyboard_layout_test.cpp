// Under Wine the thread's layout is the US layout of the X server.
#include "win32_keyboard_layout.h"

#include <gtest/gtest.h>

namespace ringdeck::panel::win32 {
namespace {

TEST(Win32KeyboardLayout, FillsTheTableFromTheThreadsLayout) {
  LayoutCharTable table;
  table.fill(Win32KeyboardLayout{});
  EXPECT_EQ(table['A'], 'a');
  EXPECT_EQ(table['Z'], 'z');
  EXPECT_EQ(table['5'], '5');
  EXPECT_EQ(table[0x20], ' ');
  EXPECT_EQ(table[0x70], LayoutCharTable::kNoCharacter);  // F1 types nothing
}

}  // namespace
}  // namespace ringdeck::panel::win32
