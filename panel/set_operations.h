// The control panel's operations on whole sets: create, rename, re-target, remove, import and
// export. They work on the window's SettingsStore (saving to store.settingsPath) and leave to
// the window only its dialogs, message boxes and showing the result.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "file_access.h"
#include "settings_file.h"
#include "settings_store.h"

namespace ringdeck::panel {

// The Create New Settings dialog's radio buttons, top to bottom.
enum class CopyMode : int { Empty = 1, CopyOfGlobal = 2, CopyOfCurrent = 3 };

// The picked path after its last "\" (the whole path when it has none).
std::string FileNameOf(std::string_view path);

// Name of a set made for a program file: the file name before its last "." (the whole name when
// it has no "."), cut to 31 characters.
std::string NewSetName(std::string_view chosenFile);

// AutoSwitch compares the foreground program's file name with the whole targetApp, which holds
// 32 characters: a longer name could never match and is refused.
inline constexpr std::size_t kMaxTargetAppLength = sizeof(SettingsRecord::targetApp) - 1;
bool FitsTargetApp(std::string_view fileName);

// LocateTargetApplication's store step: the picked path's file name into the record's
// targetApp. False, and the record unchanged, when the name does not fit.
bool SetTargetApplication(SettingsRecord& record, std::string_view pickedPath);

enum class SetOperationResult {
  Done,
  NothingToDo,        // removing the global set
  TargetNameTooLong,  // the picked program's file name does not fit targetApp; nothing changed
  SaveFailed,         // the settings file could not be written; memory is as it was before
  ReloadFailed,       // saved, but the file could not be read back; memory holds what was saved
};

// Builds a set in the spare record (empty, a copy of the global set or of the current one),
// named after the program file and targeting it, saves all sets and reloads, and makes the new
// set current. The save's reload message carries the old set count and the new one.
SetOperationResult NewPreferences(SettingsStore& store, CopyMode copyMode, std::string_view chosenFile);

// Renames the current set (at most 31 characters); the file learns it at the next save.
void RenameCurrentSet(SettingsStore& store, std::string_view name);

// Removes the current set: the last set moves into its place, all sets are saved (the reload
// message carries the removed set's index and the new count) and read back; the global set is
// current afterwards. The global set is never removed.
SetOperationResult RemoveCurrentSet(SettingsStore& store);

enum class ImportReadResult {
  Read,
  Unreadable,      // cannot be opened, not exactly 6528 bytes, or reading failed part-way
  FormatNotValid,  // the header's magic is not the settings file's
};
// Reads an exported set. Only a file that reads whole fills record.
ImportReadResult ReadImportFile(FileAccess& file, SettingsRecord& record);
ImportReadResult ReadImportFile(FileSystem& files, const std::string& path, SettingsRecord& record);

// An imported set that targets no program asks for one before it is added.
inline bool ImportNeedsTarget(const SettingsRecord& record) { return hasNoTargetApp(record); }

// Appends an imported set as it is (its own name, slots and factory checksum), saves, reloads
// and makes it current.
SetOperationResult AppendImportedSet(SettingsStore& store, const SettingsRecord& record);

// An exported set: the standard header and the record as held in memory, 6528 bytes.
std::vector<std::uint8_t> ExportedSetBytes(const SettingsRecord& record);
// Proposed file name of an export: the current set's name and ".pref".
std::string ProposedExportFileName(const SettingsStore& store);
// Writes the export, created anew as a visible (archive only) file. False when it cannot be
// created or written whole.
bool ExportSet(FileSystem& files, const SettingsRecord& record, const std::string& path);

}  // namespace ringdeck::panel
