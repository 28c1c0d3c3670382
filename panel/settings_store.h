// The control panel's sets, held in memory while it runs: loaded whole from the settings file,
// edited in place, and written whole (global set first, the rest sorted by name) on every save.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "file_access.h"
#include "peer_messenger.h"
#include "settings_file.h"
#include "settings_io.h"

namespace ringdeck::panel {

class SettingsStore {
 public:
  SettingsStore(FileSystem& files, PeerMessenger& peers) : files_(files), peers_(peers) {}

  std::string settingsPath;
  // The sets in the order they had in the file at the last load, then at least one all-zero
  // spare record that a new set is built in.
  std::vector<SettingsRecord> records = std::vector<SettingsRecord>(1);
  std::uint32_t recordCount = 0;
  std::uint32_t currentSet = 0;

  // Opens (creating when missing) and repairs the file, then reads every set; record 0 takes
  // the name globalSettingsCaption. On failure the store keeps what it had.
  bool LoadSettingsFile(const std::string& path,
                        std::string_view globalSettingsCaption = kGlobalSetName);

  // What the window works on when the file cannot be loaded: one empty global set, named
  // globalSettingsCaption, that a later save writes as a new file.
  void UseEmptyGlobalSet(std::string_view globalSettingsCaption = kGlobalSetName);

  // Writes the header and the first count records, set 0 first and the rest by name, then
  // tells the helper (or starts it) and the engine to reload. The order in memory stays. A
  // save cut short loads as the old sets or the new ones; false when the save failed.
  bool SaveSettingsFile(const std::string& path, std::uint32_t count);

  // Entries of the target application box, in record order.
  std::vector<std::string> TargetAppBoxEntries() const;

  // Where set `index` of memory stands in the file as last loaded or saved by this store;
  // nothing for a set that was not written.
  std::optional<std::uint32_t> savedPosition(std::uint32_t index) const;

  // The current set; an all-zero record when currentSet is out of range.
  const SettingsRecord& current() const;

  // The caption record 0 was named with at the last load (or empty global set).
  const std::string& globalSettingsCaption() const { return globalCaption_; }

 private:
  FileSystem& files_;
  PeerMessenger& peers_;
  std::string globalCaption_{kGlobalSetName};
  std::vector<std::uint32_t> savedPositions_;
  std::vector<SettingsRecord> previousRecords_;  // the buffer the next load reads into
};

// What the window's RefreshSettingsStatus shows for the current set.
struct SettingsStatus {
  bool setLevelEntriesEnabled;  // "Remove Settings", "Change Target Application", "Rename Settings"
  FactoryState indicator;       // blank label, "(Factory settings)" or "(Customized Settings)"
};
SettingsStatus RefreshSettingsStatus(const SettingsStore& store);

}  // namespace ringdeck::panel
