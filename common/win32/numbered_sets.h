// Two lists of sets that differ in every record, for the save tests: list 0 has 10,000 sets,
// list 1 has 9,000, and a record written in part never passes for one of either list.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "settings_file.h"

namespace ringdeck::testing {

inline std::vector<SettingsRecord> numberedSets(int list) {
  const std::size_t count = list == 0 ? 10000 : 9000;
  std::vector<SettingsRecord> sets(count);
  for (std::size_t i = 0; i < count; ++i) {
    SettingsRecord& r = sets[i];
    char name[32];
    std::snprintf(name, sizeof name, "list %d set %05u", list, static_cast<unsigned>(i));
    setName(r, i == 0 ? "" : name);
    // Every byte of the slots differs from the same record of the other list.
    std::memset(r.slots, static_cast<int>((i * 7 + static_cast<std::size_t>(list) * 101) & 0xFF), sizeof r.slots);
  }
  return sets;
}

}  // namespace ringdeck::testing
