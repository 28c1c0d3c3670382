// Reading, repairing and writing the settings file through the file seam.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "file_access.h"
#include "settings_file.h"

namespace ringdeck {

// "<system directory>\OrvanelRingDeck.pref".
std::string settingsFilePath(std::string_view systemDirectory);

enum class HeaderState { Valid, Invalid, IoError };
// Valid when 16 bytes could be read and the magic matches; formatVersion is not tested.
HeaderState checkSettingsHeader(FileAccess& file);

enum class RepairResult { Intact, Repaired, Failed };
// A file that is short of a header, has a wrong magic or holds no whole record is rewritten
// from its start as the standard header and one all-zero record, and cut after it.
RepairResult repairSettingsFile(FileAccess& file);

// Number of whole records the file holds, from its size; nothing when the size is unknown.
std::optional<std::uint32_t> settingsRecordCount(FileAccess& file);

bool readSettingsRecord(FileAccess& file, std::uint32_t index, SettingsRecord& out);
// Reads out.size() records in file order from the first one.
bool readSettingsRecords(FileAccess& file, std::span<SettingsRecord> out);
// Every whole record of a file with a valid header; nothing when the header is not valid or
// reading fails.
std::optional<std::vector<SettingsRecord>> readAllSettingsRecords(FileAccess& file);

bool writeSettingsHeader(FileAccess& file);
// The whole file: standard header, the records in the order given, cut after the last one.
bool writeSettingsFile(FileAccess& file, std::span<const SettingsRecord> records);

enum class FactoryState { NoInformation, Factory, Changed };
// CRC-32 of the record while its checksum field holds the placeholder value.
std::uint32_t computeFactoryChecksum(const SettingsRecord& record);
FactoryState factoryState(const SettingsRecord& record);

}  // namespace ringdeck
