// Any bytes as the settings file of the control panel: loading, the text report of every set
// and a save never fail unsafely, and a save loses no set.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "quiet_peers.h"
#include "memory_file.h"
#include "settings_report.h"
#include "settings_store.h"

namespace {

using namespace ringdeck;
using namespace ringdeck::panel;

void check(bool ok) {
  if (!ok) std::abort();
}

// Inputs are shorter than one record, so most are taken as a pattern that fills a file of a
// few whole records behind a valid header: the first byte picks raw or patterned, the number
// of records and a trailing partial record.
std::vector<std::uint8_t> settingsFileFrom(const std::uint8_t* data, std::size_t size) {
  if (size == 0 || (data[0] & 0x80) != 0) return {data + (size ? 1 : 0), data + size};
  const std::size_t records = 1 + (data[0] & 7);
  const std::size_t partial = (data[0] & 8) != 0 ? kRecordSize / 2 : 0;
  std::vector<std::uint8_t> bytes(kHeaderSize + records * kRecordSize + partial, 0);
  const SettingsFileHeader header = standardHeader();
  std::memcpy(bytes.data(), &header, sizeof header);
  if (size > 1)
    for (std::size_t i = kHeaderSize; i < bytes.size(); ++i)
      bytes[i] = data[1 + (i - kHeaderSize) % (size - 1)];
  return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string path = "C:\\windows\\system32\\OrvanelRingDeck.pref";
  const std::string reportPath = "C:\\report.txt";
  MemoryFileSystem fs;
  fs.files[path] = settingsFileFrom(data, size);
  QuietPeers peers;
  SettingsStore store(fs, peers);
  store.settingsPath = path;
  check(store.LoadSettingsFile(path));
  check(store.recordCount >= 1 && store.records.size() == store.recordCount + 1u);

  LayoutCharTable layout;
  for (std::uint32_t i = 0; i <= store.recordCount; ++i) {
    store.currentSet = i;
    check(ExportAsText(fs, store, layout, reportPath) == ReportResult::Written);
    const auto& report = fs.files[reportPath];
    check(report.size() > 30 && report[report.size() - 1] == '\n');
  }

  std::vector<std::string> before;
  for (std::uint32_t i = 1; i < store.recordCount; ++i)
    before.emplace_back(fieldText(store.records[i].name));
  check(store.SaveSettingsFile(path, store.recordCount));
  SettingsStore reloaded(fs, peers);
  check(reloaded.LoadSettingsFile(path));
  check(reloaded.recordCount == store.recordCount);
  check(std::memcmp(&reloaded.records[0], &store.records[0], sizeof(SettingsRecord)) == 0);
  std::vector<std::string> after;
  for (std::uint32_t i = 1; i < reloaded.recordCount; ++i)
    after.emplace_back(fieldText(reloaded.records[i].name));
  check(std::is_sorted(after.begin(), after.end(), [](const std::string& a, const std::string& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [](char x, char y) {
                                          return static_cast<unsigned char>(x) <
                                                 static_cast<unsigned char>(y);
                                        });
  }));
  std::sort(before.begin(), before.end());
  std::sort(after.begin(), after.end());
  check(before == after);
  return 0;
}
