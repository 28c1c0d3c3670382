// The names the control panel shows: which control a slot belongs to, what an action does and
// which keys it types. Two vocabularies: the editor's (words read from the window's captions)
// and the text report's (fixed words). These are the tables the Unit3 module has always held.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "editor_captions.h"
#include "layout_chars.h"
#include "settings_file.h"

namespace ringdeck::panel {

inline constexpr std::size_t kUserActionCount = 58;

namespace detail {
constexpr std::array<std::uint16_t, kUserActionCount> makeUserActionSlotMap() {
  std::array<std::uint16_t, kUserActionCount> map{};
  std::size_t i = 0;
  for (int s = 60; s <= 72; ++s) map[i++] = static_cast<std::uint16_t>(s);  // buttons 1..13
  for (int s = 0; s <= 1; ++s) map[i++] = static_cast<std::uint16_t>(s);    // jog
  for (int s = 5; s <= 19; ++s) map[i++] = static_cast<std::uint16_t>(s);   // zones -7..7
  for (int s = 25; s <= 38; ++s) map[i++] = static_cast<std::uint16_t>(s);  // moves to the right
  for (int s = 43; s <= 56; ++s) map[i++] = static_cast<std::uint16_t>(s);  // moves to the left
  return map;
}
}  // namespace detail

// The slot each entry of the editor's user action list edits, in list order.
inline constexpr std::array<std::uint16_t, kUserActionCount> UserActionSlotMap =
    detail::makeUserActionSlotMap();

// Caption of the user action list entry at position ("Button 1", "Shuttle from Left 1 to
// Center", ...); empty for a position outside the list.
std::string UserActionCaption(std::size_t position);
// List position of the user action that edits slot; nothing for slots no entry edits.
std::optional<std::size_t> UserActionOfSlot(int slotIndex);

// Appends the report's name of the slot and returns true; false and nothing appended when the
// slot has no user action.
bool SlotName(int slotIndex, std::string& text);

// Appends the report's name of a virtual-key code.
void ExportKeyName(const LayoutCharTable& layout, std::uint8_t keyCode, std::string& text);
// Appends the report's one-line description of an action.
void ActionDescription(const LayoutCharTable& layout, const ActionSlot& slot, std::string& text);

// The editor's name of a virtual-key code.
std::string EditorKeyName(const CaptionProvider& captions, const LayoutCharTable& layout,
                          std::uint8_t keyCode);
// The text of the keystroke box: modifier words, then the key.
std::string KeystrokeText(const CaptionProvider& captions, const LayoutCharTable& layout,
                          std::uint8_t keyCode, std::uint16_t modifiers);
// The response menu's caption for an action kind; empty for kinds the menu does not offer.
std::string EditorActionName(const CaptionProvider& captions, std::uint16_t kind);

}  // namespace ringdeck::panel
