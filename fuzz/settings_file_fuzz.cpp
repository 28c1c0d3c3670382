// Any bytes as a settings file: repair and reading never fail unsafely, and a repaired file
// always holds at least the global set.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "memory_file.h"
#include "settings_io.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace ringdeck;
  std::vector<std::uint8_t> bytes(data, data + size);
  MemoryFile file(bytes);
  if (auto records = readAllSettingsRecords(file)) {
    for (const auto& r : *records) {
      (void)factoryState(r);
      (void)fieldText(r.name);
      (void)hasNoTargetApp(r);
    }
  }
  if (repairSettingsFile(file) == RepairResult::Failed) std::abort();
  const auto records = readAllSettingsRecords(file);
  if (!records || records->empty()) std::abort();
  return 0;
}
