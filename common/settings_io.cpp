#include "settings_io.h"

#include <cstring>

#include "crc32.h"
#include "protocol.h"

namespace ringdeck {
namespace {

template <typename T>
std::span<std::uint8_t> bytesOf(T& value) {
  return {reinterpret_cast<std::uint8_t*>(&value), sizeof(T)};
}

template <typename T>
std::span<const std::uint8_t> bytesOf(const T& value) {
  return {reinterpret_cast<const std::uint8_t*>(&value), sizeof(T)};
}

std::uint64_t recordOffset(std::uint32_t index) {
  return kHeaderSize + static_cast<std::uint64_t>(index) * kRecordSize;
}

}  // namespace

std::string settingsFilePath(std::string_view systemDirectory) {
  std::string path(systemDirectory);
  path += kSettingsFileName;
  return path;
}

HeaderState checkSettingsHeader(FileAccess& file) {
  SettingsFileHeader header{};
  const auto got = file.readAt(0, bytesOf(header));
  if (!got) return HeaderState::IoError;
  return *got == kHeaderSize && header.magic == kSettingsMagic ? HeaderState::Valid
                                                                : HeaderState::Invalid;
}

RepairResult repairSettingsFile(FileAccess& file) {
  const HeaderState header = checkSettingsHeader(file);
  if (header == HeaderState::IoError) return RepairResult::Failed;
  if (header == HeaderState::Valid) {
    const auto count = settingsRecordCount(file);
    if (!count) return RepairResult::Failed;
    if (*count > 0) return RepairResult::Intact;
  }
  // Damaged, or a header with no whole record after it: no program may act on a set that is
  // not there, so both become one empty global set.
  static const SettingsRecord kEmptyRecord{};
  return writeSettingsFile(file, std::span(&kEmptyRecord, 1)) ? RepairResult::Repaired
                                                              : RepairResult::Failed;
}

std::optional<std::uint32_t> settingsRecordCount(FileAccess& file) {
  const auto size = file.size();
  if (!size) return std::nullopt;
  return recordCountForSize(*size);
}

bool readSettingsRecord(FileAccess& file, std::uint32_t index, SettingsRecord& out) {
  const auto got = file.readAt(recordOffset(index), bytesOf(out));
  return got && *got == kRecordSize;
}

bool readSettingsRecords(FileAccess& file, std::span<SettingsRecord> out) {
  const std::span<std::uint8_t> bytes(reinterpret_cast<std::uint8_t*>(out.data()), out.size_bytes());
  const auto got = file.readAt(kHeaderSize, bytes);
  return got && *got == bytes.size();
}

std::optional<std::vector<SettingsRecord>> readAllSettingsRecords(FileAccess& file) {
  if (checkSettingsHeader(file) != HeaderState::Valid) return std::nullopt;
  const auto count = settingsRecordCount(file);
  if (!count) return std::nullopt;
  std::vector<SettingsRecord> records(*count);
  if (!readSettingsRecords(file, records)) return std::nullopt;
  return records;
}

bool writeSettingsHeader(FileAccess& file) {
  static constexpr SettingsFileHeader kHeader = standardHeader();
  return file.writeAt(0, bytesOf(kHeader));
}

bool writeSettingsFile(FileAccess& file, std::span<const SettingsRecord> records) {
  if (!writeSettingsHeader(file)) return false;
  const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(records.data()),
                                            records.size_bytes());
  if (!bytes.empty() && !file.writeAt(kHeaderSize, bytes)) return false;
  return file.truncate(kHeaderSize + bytes.size());
}

std::uint32_t computeFactoryChecksum(const SettingsRecord& record) {
  SettingsRecord copy;
  std::memcpy(&copy, &record, sizeof copy);
  copy.factoryChecksum = kFactoryChecksumPlaceholder;
  return crc32(&copy, sizeof copy);
}

FactoryState factoryState(const SettingsRecord& record) {
  if (record.factoryChecksum == 0) return FactoryState::NoInformation;
  return computeFactoryChecksum(record) == record.factoryChecksum ? FactoryState::Factory
                                                                   : FactoryState::Changed;
}

}  // namespace ringdeck
