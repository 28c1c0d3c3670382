// Any file as a set to import: only an exported set of exactly 6528 bytes with the settings
// magic is read; what is read appends to the sets as it is, exports to the same bytes and
// imports again unchanged. Most inputs are short, so the first byte may ask for the input to
// be laid out as a whole exported file (its own bytes repeated behind a valid or a broken
// header, or cut one byte short or long).
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "memory_file.h"
#include "quiet_peers.h"
#include "set_operations.h"
#include "settings_io.h"

namespace {

using namespace ringdeck;
using namespace ringdeck::panel;

void check(bool ok) {
  if (!ok) std::abort();
}

std::vector<std::uint8_t> importFileFrom(const std::uint8_t* data, std::size_t size) {
  if (size == 0 || (data[0] & 0x80) != 0) return {data + (size ? 1 : 0), data + size};
  std::size_t length = kExportedFileSize;
  if (data[0] & 1) --length;
  if (data[0] & 2) ++length;
  std::vector<std::uint8_t> bytes(length, 0);
  for (std::size_t i = 0; i < length && size > 1; ++i) bytes[i] = data[1 + i % (size - 1)];
  if ((data[0] & 4) == 0) {
    const SettingsFileHeader header = standardHeader();
    std::memcpy(bytes.data(), &header, std::min(sizeof header, bytes.size()));
  }
  return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  MemoryFileSystem fs;
  fs.files["in.pref"] = importFileFrom(data, size);
  const std::vector<std::uint8_t> input = fs.files["in.pref"];
  SettingsRecord record{};
  const ImportReadResult result = ReadImportFile(fs, "in.pref", record);
  std::uint32_t magic = 0;
  if (input.size() >= 4) std::memcpy(&magic, input.data(), 4);
  if (input.size() != kExportedFileSize) check(result == ImportReadResult::Unreadable);
  else check(result == (magic == kSettingsMagic ? ImportReadResult::Read : ImportReadResult::FormatNotValid));
  if (result != ImportReadResult::Read) return 0;
  check(std::memcmp(&record, input.data() + kHeaderSize, kRecordSize) == 0);

  QuietPeers peers;
  SettingsStore store(fs, peers);
  store.settingsPath = "settings.pref";
  check(store.LoadSettingsFile(store.settingsPath));
  if (ImportNeedsTarget(record)) check(SetTargetApplication(record, "C:\\bin\\tool.exe"));
  check(AppendImportedSet(store, record) == SetOperationResult::Done);
  check(store.recordCount == 2 && store.currentSet == 1);
  SettingsRecord expected = record;
  expected.newSetMarker = 0;  // the marker finds the new set after the reload, then goes
  check(std::memcmp(&store.current(), &expected, kRecordSize) == 0);

  check(ExportSet(fs, store.current(), "out.pref"));
  SettingsRecord again{};
  check(ReadImportFile(fs, "out.pref", again) == ImportReadResult::Read);
  check(std::memcmp(&again, &expected, kRecordSize) == 0);
  return 0;
}
