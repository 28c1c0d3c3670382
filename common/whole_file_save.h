// Saving the settings file so that it is always whole, and mending it at the next load when a
// save was cut short.
//
// A save rewrites the file in place: that works while other programs hold it open (they share
// reading and writing, not deleting) and for a user who may write the file but not create files
// beside it. Before the file is touched, the whole new content goes into a recovery copy in a
// folder the user may write (FileSystem::recoveryCopyPath), checked by a CRC-32. The file's
// header carries kSaveInProgressMagic while its records are rewritten and gets the standard
// magic back as the last write; the recovery copy is deleted after that. So a save killed at
// any point leaves either the old file untouched (standard magic) or a file marked as cut
// short next to a whole recovery copy of the new content, which the next load puts in place.
//
// Every saver of one settings file holds FileAccess::lockForUpdate for the whole save, and a
// load mends only under that lock: two programs (or two users) never rewrite the file at once,
// and a load never mistakes a save in progress for one that was cut short.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "file_access.h"
#include "settings_file.h"

namespace ringdeck {

// In the settings file's magic while a save rewrites it ("sav!").
inline constexpr std::uint32_t kSaveInProgressMagic = 0x21766173;

// Start of a recovery copy; after it come the settings file's path and then its content.
struct RecoveryCopyHeader {
  char magic[8];                // kRecoveryCopyMagic
  std::uint64_t contentSize;    // bytes of the settings file
  std::uint32_t pathSize;       // bytes of the path, no terminating zero
  std::uint32_t crc;            // CRC-32 of this header (crc as 0), the path and the content
};
static_assert(sizeof(RecoveryCopyHeader) == 24);
inline constexpr char kRecoveryCopyMagic[8] = {'R', 'D', 'S', 'A', 'V', 'E', '0', '1'};
// Larger recovery copies are not read (a settings file of a million sets is under 6.6 GB; the
// programs hold far fewer).
inline constexpr std::uint64_t kMaxRecoveryContent = 1ull << 31;

// Writes a whole settings file at path: the standard header, then records[order[k]] for each k
// (every record in its order when order is empty). False when the recovery copy could not be
// written (the file is then untouched) or the file could not be rewritten (the next load then
// puts the new content in place from the recovery copy).
bool saveSettingsInPlace(FileSystem& files, const std::string& path,
                         std::span<const SettingsRecord> records,
                         std::span<const std::uint32_t> order = {});

enum class Recovery {
  None,            // no save of this file was cut short: read it as it is
  Restored,        // a cut save was finished from the recovery copy
  InMemory,        // the file was cut and may not be written here: the content is in memory
  CutWithoutCopy,  // the file was cut by a save and no recovery copy is at hand here
};
// Run by every program before it reads the settings file. inMemory receives the recovery
// copy's content for Recovery::InMemory.
Recovery recoverInterruptedSave(FileSystem& files, const std::string& path,
                                std::vector<std::uint8_t>* inMemory = nullptr);

// The settings file opened for reading after recoverInterruptedSave: the file itself, or a file
// in memory (backed by holder) with the recovery copy's content when the file could not be
// mended here; nothing when it cannot be opened or was cut short with no copy at hand.
std::unique_ptr<FileAccess> openWholeSettings(FileSystem& files, const std::string& path,
                                              OpenMode mode, std::vector<std::uint8_t>& holder,
                                              Recovery* outcome = nullptr);

// The content a recovery copy holds for the settings file at path: nothing unless the copy is
// whole (sizes and CRC agree), was made for that path (compared without regard to ASCII case)
// and holds a file with the standard header.
std::optional<std::span<const std::uint8_t>> parseRecoveryCopy(std::span<const std::uint8_t> copy,
                                                               std::string_view path);

}  // namespace ringdeck
