// The sets shipped with the product, read from a readable source file and turned into the two
// default settings files that setupprep copies. Every record carries its factory checksum, so
// the control panel shows it as factory settings until the user edits it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "settings_file.h"

namespace ringdeck::tools {

// The two default files: one for the NT family, one for Windows 95/98/Me.
enum class Variant { Nt, Win9x };
std::string_view variantSuffix(Variant v);  // "2k" / "98"

struct FactorySet {
  SettingsRecord record{};  // checksum not yet filled in
  bool inNt = false;
  bool inWin9x = false;
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

}  // namespace ringdeck::tools
