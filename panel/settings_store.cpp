#include "settings_store.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <numeric>
#include <span>

#include "whole_file_save.h"

namespace ringdeck::panel {
namespace {

// Plain byte order of the names as unsigned values, up to the first zero.
bool nameBefore(const SettingsRecord& a, const SettingsRecord& b) {
  const std::string_view x = fieldText(a.name);
  const std::string_view y = fieldText(b.name);
  const int c = std::memcmp(x.data(), y.data(), std::min(x.size(), y.size()));
  return c != 0 ? c < 0 : x.size() < y.size();
}

// Copies the caption with its terminating zero over the start of the name. The bytes after
// that zero stay as the file had them: they count in the set's factory checksum.
void nameGlobalSet(SettingsRecord& record, std::string_view caption) {
  const std::size_t len = std::min(caption.size(), sizeof record.name - 1);
  std::memcpy(record.name, caption.data(), len);
  record.name[len] = '\0';
}

}  // namespace

bool SettingsStore::LoadSettingsFile(const std::string& path,
                                     std::string_view globalSettingsCaption) {
  // A save that was cut short is finished first (or read from its recovery copy).
  std::vector<std::uint8_t> recovered;
  auto file = openWholeSettings(files_, path, OpenMode::ReadWriteOpenAlways, recovered);
  if (!file) return false;
  // Missing, damaged, or a header with no set after it: one empty global set, no message.
  if (repairSettingsFile(*file) == RepairResult::Failed) return false;
  const auto count = settingsRecordCount(*file);
  if (!count || *count == 0) return false;

  // Read into the buffer the load before last left behind: creating, importing and removing a
  // set each load the whole file again, and fresh memory for thousands of sets costs more than
  // reading them (Wine: some 270 ms for 65 MB, against 120 ms for the read).
  std::vector<SettingsRecord> loaded = std::move(previousRecords_);
  previousRecords_.clear();
  try {
    loaded.resize(static_cast<std::size_t>(*count) + 1);  // the last one is the spare
  } catch (const std::bad_alloc&) {
    return false;
  }
  loaded[*count] = SettingsRecord{};
  if (!readSettingsRecords(*file, std::span(loaded.data(), *count))) {
    previousRecords_ = std::move(loaded);
    return false;
  }
  nameGlobalSet(loaded[0], globalSettingsCaption);

  std::swap(records, loaded);
  previousRecords_ = std::move(loaded);
  recordCount = *count;
  currentSet = 0;
  globalCaption_ = std::string(globalSettingsCaption);
  savedPositions_.resize(recordCount);
  std::iota(savedPositions_.begin(), savedPositions_.end(), 0u);
  return true;
}

void SettingsStore::UseEmptyGlobalSet(std::string_view globalSettingsCaption) {
  records.assign(2, SettingsRecord{});
  nameGlobalSet(records[0], globalSettingsCaption);
  recordCount = 1;
  currentSet = 0;
  globalCaption_ = std::string(globalSettingsCaption);
  savedPositions_.assign(1, UINT32_MAX);
}

bool SettingsStore::SaveSettingsFile(const std::string& path, std::uint32_t count) {
  // Without set 0 the file would lose the global set at the next load.
  if (count == 0 || count > records.size()) return false;

  std::vector<std::uint32_t> order(count);
  std::iota(order.begin(), order.end(), 0u);
  // Stable, so that sets of equal names keep their order from save to save.
  std::stable_sort(order.begin() + 1, order.end(), [this](std::uint32_t a, std::uint32_t b) {
    return nameBefore(records[a], records[b]);
  });

  // Rewritten in place behind a recovery copy: other programs may hold the file open, and a
  // standard user may write it but not create a file beside it. A save cut short at any point
  // leaves the old sets or, at the next load, the new ones.
  if (!saveSettingsInPlace(files_, path, std::span(records.data(), records.size()), order))
    return false;

  savedPositions_.assign(records.size(), UINT32_MAX);
  for (std::uint32_t k = 0; k < count; ++k) savedPositions_[order[k]] = k;

  if (!peers_.sendReloadAllPreferences(Peer::Helper, currentSet, count)) peers_.StartHelper();
  peers_.sendReloadAllPreferences(Peer::Engine, currentSet, count);
  return true;
}

std::vector<std::string> SettingsStore::TargetAppBoxEntries() const {
  std::vector<std::string> entries;
  entries.reserve(recordCount);
  for (std::uint32_t i = 0; i < recordCount && i < records.size(); ++i)
    entries.emplace_back(i == 0 ? std::string_view(globalCaption_) : fieldText(records[i].name));
  return entries;
}

std::optional<std::uint32_t> SettingsStore::savedPosition(std::uint32_t index) const {
  if (index >= savedPositions_.size() || savedPositions_[index] == UINT32_MAX) return std::nullopt;
  return savedPositions_[index];
}

const SettingsRecord& SettingsStore::current() const {
  static const SettingsRecord kEmpty{};
  return currentSet < records.size() ? records[currentSet] : kEmpty;
}

SettingsStatus RefreshSettingsStatus(const SettingsStore& store) {
  return {store.currentSet != 0, factoryState(store.current())};
}

}  // namespace ringdeck::panel
