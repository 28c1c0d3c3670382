#include "reach.h"

#include "app_key.h"

namespace ringdeck::helper {
namespace {

constexpr std::string_view kUnknownProgram = "the program";
constexpr std::string_view kTipHead = "RingDeck cannot type into ";
constexpr std::string_view kTipTail = ": it runs as administrator";
constexpr std::size_t kTipRoom = 63;
constexpr std::size_t kTitleRoom = 63;
// The balloon names the program twice; longer names are cut so the remedy always fits.
constexpr std::size_t kBalloonNameRoom = 36;

// The name cut to at most room characters: without its extension first, then with "...".
std::string fitName(std::string_view name, std::size_t room) {
  if (name.empty()) name = kUnknownProgram;
  if (name.size() <= room) return std::string(name);
  if (isApplicationModuleName(name)) name.remove_suffix(4);
  if (name.size() <= room) return std::string(name);
  return std::string(name.substr(0, room - 3)) + "...";
}

}  // namespace

bool keysBlocked(const ReachSituation& s) {
  if (!s.helper) return false;  // no integrity levels: every program takes every key
  if (s.deviceCount == 0 || !s.engineRunning) return false;  // nothing is typed at all
  if (!s.front) {
    // The program lies above the helper. Only an engine known to be at or below the helper is
    // known to lie below the program.
    return s.engine && *s.engine <= *s.helper;
  }
  // An unreadable engine lies above the helper: it reaches whatever the helper could read at
  // or below its own level, and for anything higher there is nothing sound to compare.
  if (!s.engine) return false;
  return *s.front > *s.engine;
}

std::string reachWarningTip(std::string_view programName) {
  return std::string(kTipHead) +
         fitName(programName, kTipRoom - kTipHead.size() - kTipTail.size()) +
         std::string(kTipTail);
}

std::string reachBalloonTitle(std::string_view programName) {
  return std::string(kTipHead) + fitName(programName, kTitleRoom - kTipHead.size());
}

std::string reachBalloonText(std::string_view programName) {
  const std::string name = fitName(programName, kBalloonNameRoom);
  const bool known = !programName.empty();
  return (known ? name : std::string("The program in front")) +
         " runs as administrator, and Windows keeps programs that run normally from typing into"
         " it. To use the controller there, start " +
         (known ? name : std::string("that program")) +
         " normally, or start the RingDeck engine as administrator.";
}

}  // namespace ringdeck::helper
