// Can the keys the engine types reach the program in front? Windows (Vista and later) drops
// input that a program sends into a program of a higher integrity level, one started "as
// administrator", and tells neither side: the keys just vanish. The helper, which watches the
// window in front anyway, compares the levels and says so on its icon.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ringdeck::helper {

// The relative identifier of a mandatory label: 0x1000 low, 0x2000 medium (a program started
// normally), 0x3000 high (started as administrator), 0x4000 system.
using IntegrityLevel = std::uint32_t;
inline constexpr IntegrityLevel kLowIntegrity = 0x1000;
inline constexpr IntegrityLevel kMediumIntegrity = 0x2000;
inline constexpr IntegrityLevel kHighIntegrity = 0x3000;
inline constexpr IntegrityLevel kSystemIntegrity = 0x4000;

// A process's level as the helper could read it; nothing when the helper could not open the
// process even for a limited query, or not read its token.
using IntegrityReading = std::optional<IntegrityLevel>;

struct ReachSituation {
  // The helper's own level; nothing on a system without integrity levels (before Vista).
  IntegrityReading helper;
  bool engineRunning = false;  // is there an engine window at all?
  IntegrityReading engine;     // of the engine window's process
  IntegrityReading front;      // of the process of the window in front
  std::uint32_t deviceCount = 0;
};

// True when the person should be told that the device's keys cannot reach the window in
// front. A program the helper cannot read counts as above the helper's own level (that is why
// the read failed). An engine the helper cannot read is above the helper as well, most likely
// started as administrator, and then reaches the programs started that way: with both
// unreadable no warning is given, since the usual case (an elevated engine typing into an
// elevated program) works.
bool keysBlocked(const ReachSituation& situation);

// The tooltip while the keys cannot reach the program: "RingDeck cannot type into NAME: it runs
// as administrator", at most 63 characters. A name too long for that loses ".exe"/".mod" first
// and is then cut with "..."; an unknown name reads "the program".
std::string reachWarningTip(std::string_view programName);
// The balloon: a title of at most 63 characters and a text of at most 255 with the remedy.
std::string reachBalloonTitle(std::string_view programName);
std::string reachBalloonText(std::string_view programName);

}  // namespace ringdeck::helper
