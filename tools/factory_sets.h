// The sets shipped with the product, read from a readable source file and turned into the two
// default settings files that setupprep copies. Every record carries its factory checksum, so
// the control panel shows it as factory settings until the user edits it.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "settings_file.h"

namespace ringdeck::tools {

// The two default files: one for the NT family, one for Windows 95/98/Me.
enum class Variant { Nt, Win9x };
std::string_view variantSuffix(Variant v);  // "2k" / "98"

// How a set drives the program's speed, so that the documentation can say it and a test can
// play ring moves against it.
enum class SpeedKind {
  None,
  // The program's own transport keys: `faster` plays forward (one step faster each time while
  // playing forward), `reverse` the same backward, `stop` stops.
  Transport,
  // Keys that move by a fixed amount each time they are typed; the speed is how far the held
  // zone moves in a second.
  Moves,
};

struct SpeedKey {
  std::uint16_t modifiers = 0;
  std::uint8_t keyCode = 0;
  int units = 0;  // Moves: signed distance of one keystroke
};

struct SpeedModel {
  SpeedKind kind = SpeedKind::None;
  std::vector<SpeedKey> keys;  // Transport: faster, reverse, stop; Moves: every moving key
};

// What the set promises for scripted ring moves on the right-hand side (the left mirrors it):
// the speed in zones +1..+7 turned out one zone at a time, in zones +6..0 turned back the same
// way, after a flick to +7 and straight back, and in +5 reached in one jump from the centre.
// Transport: steps above stop; Moves: units moved in a second of holding.
struct Feel {
  bool given = false;
  std::array<int, 7> out{};
  std::array<int, 7> back{};
  int flick = 0;
  int jump = 0;
};

struct FactorySet {
  SettingsRecord record{};  // checksum not yet filled in
  bool inNt = false;
  bool inWin9x = false;
  std::string about;   // why the set is built as it is
  std::string source;  // where the program's default shortcuts were taken from
  SpeedModel speed;
  Feel feel;
};

struct ParseResult {
  std::vector<FactorySet> sets;
  std::string error;  // "line N: ..." when the source is not accepted
  bool ok() const { return error.empty(); }
};

// Source format, one statement a line ('#' starts a comment line):
//   set <name>                     starts a set (name up to 31 characters)
//   target <program file>          the set's target application; none for the global set
//   files 2k 98                    the default files the set goes into
//   about <text>                   why the set is built as it is (lines are joined)
//   source <text>                  where the program's shortcuts come from (lines are joined)
//   speed transport <faster> <reverse> <stop>
//   speed moves <keys> <units> [<keys> <units> ...]
//   feel out <7 numbers> back <7 numbers> flick <n> jump <n>
//   <control> = <action> [; what it does]
// with <control> a name as the control panel shows it ("Turn Jog Left", "Shuttle Zone -3",
// "Top Left Button", "Transition 0 to 1") and <action> one of
//   none | same-as-lower
//   key <keys> [once | hold | repeat <n x 10 ms>] [deferred]
//   system-repeat <keys> [deferred]
//   modifiers <mods>
//   scroll-up <notches> [with <mods>] | scroll-down <notches> [with <mods>]
//   open <item>
// <keys> is modifiers and one key joined by '+', e.g. "Ctrl+Shift+Z", "J", "PageUp".
// Keystrokes release with the control unless marked deferred.
ParseResult parseFactorySets(std::string_view source);

// The records of one default file, in source order, each with its factory checksum.
std::vector<SettingsRecord> recordsFor(const std::vector<FactorySet>& sets, Variant v);

// The documentation of the shipped sets as a Markdown page.
std::string shippedSetsMarkdown(const std::vector<FactorySet>& sets);

// Readable forms, for the documentation and error messages.
std::string slotName(int index);         // empty for an index no control uses
std::string describeAction(const ActionSlot& slot);
std::string keysText(std::uint16_t modifiers, std::uint8_t keyCode);
// Keys whose character depends on the keyboard layout (US punctuation positions).
bool isLayoutDependentKey(std::uint8_t keyCode);

}  // namespace ringdeck::tools
