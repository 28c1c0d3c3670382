#include "setup_prep.h"

#include <array>
#include <memory>

#include "protocol.h"
#include "settings_file.h"
#include "settings_io.h"
#include "whole_file_save.h"

namespace ringdeck::setup {
namespace {

std::uint64_t recordOffset(std::uint64_t index) { return kHeaderSize + index * kRecordSize; }

bool prepareTarget(SetupEnvironment& env, const std::string& defaultPath,
                   const std::string& targetPath) {
  // A save that was cut short is finished first, so that its sets count as what they are.
  recoverInterruptedSave(env.files, targetPath);
  switch (checkTarget(env.files, targetPath)) {
    case TargetState::Missing:
      break;
    case TargetState::Invalid:
      if (!env.prompts.confirm(kInvalidFileText, kInvalidFileCaption)) return true;
      break;
    case TargetState::Single:
      // The target's one record is its global set; the default's other sets go behind it.
      return appendDefaultRecords(env.files, defaultPath, targetPath, FirstRecord::Skip);
    case TargetState::Other:
      return true;
  }
  return createTarget(env.files, targetPath) &&
         appendDefaultRecords(env.files, defaultPath, targetPath, FirstRecord::Include);
}

}  // namespace

bool suiteIsRunning(WindowFinder& windows) {
  return windows.classExists(kEngineWindowClass) || windows.classExists(kHelperWindowClass) ||
         windows.titleExists(kPanelWindowTitle);
}

std::string defaultFileName(bool ntFamily) {
  std::string name(kDefaultFileBaseName);
  name += ntFamily ? "2k" : "98";
  return name;
}

std::string folderOf(std::string_view programFile) {
  const auto cut = programFile.find_last_of("\\/");
  if (cut == std::string_view::npos) return {};
  return std::string(programFile.substr(0, cut + 1));
}

TargetState checkTarget(FileSystem& files, const std::string& targetPath) {
  const auto file = files.open(targetPath, OpenMode::ReadOnlyExisting);
  if (!file) return TargetState::Missing;
  SettingsFileHeader header{};
  const auto got =
      file->readAt(0, std::span(reinterpret_cast<std::uint8_t*>(&header), sizeof header));
  if (!got || *got < kHeaderSize) return TargetState::Missing;
  if (header.magic != kSettingsMagic) return TargetState::Invalid;
  // A header was read, so the size is at least that; an unknown size counts as no record.
  const auto size = file->size();
  return size && recordCountForSize(*size) == 1 ? TargetState::Single : TargetState::Other;
}

bool createTarget(FileSystem& files, const std::string& targetPath) {
  const auto file = files.open(targetPath, OpenMode::ReadWriteCreateNew);
  return file && writeSettingsHeader(*file) && file->truncate(kHeaderSize);
}

bool appendDefaultRecords(FileSystem& files, const std::string& defaultPath,
                          const std::string& targetPath, FirstRecord first) {
  const auto source = files.open(defaultPath, OpenMode::ReadOnlyExisting);
  if (!source) return false;
  const auto sourceSize = source->size();
  if (!sourceSize || *sourceSize < kExportedFileSize) return false;
  const std::uint32_t count = recordCountForSize(*sourceSize);
  // Nothing to add: the target stays untouched, whatever the rest of the default file holds.
  if (count == 1 && first == FirstRecord::Skip) return true;
  if (checkSettingsHeader(*source) != HeaderState::Valid) return false;

  const auto target = files.open(targetPath, OpenMode::ReadWriteOpenAlways);
  if (!target) return false;
  const auto targetSize = target->size();
  // The target was checked or created just before; without a header now it is not ours to fill.
  if (!targetSize || *targetSize < kHeaderSize) return false;
  // Records appended behind a partial one would be out of step with the record grid.
  const std::uint64_t start = recordOffset(recordCountForSize(*targetSize));
  if (start != *targetSize && !target->truncate(start)) return false;

  auto record = std::make_unique<std::array<std::uint8_t, kRecordSize>>();
  std::uint64_t end = start;
  for (std::uint32_t i = first == FirstRecord::Skip ? 1 : 0; i < count; ++i) {
    const auto got = source->readAt(recordOffset(i), *record);
    if (!got) {
      // A read error is no end of file: leave the target as it was before and say so.
      target->truncate(start);
      return false;
    }
    if (*got < kRecordSize) break;  // the default file ends early: keep what was copied
    if (!target->writeAt(end, *record)) {
      // Never leave half a record behind, and never call a failed copy done.
      target->truncate(start);
      return false;
    }
    end += kRecordSize;
  }
  return true;
}

int runSetupPrep(SetupEnvironment& env) {
  if (suiteIsRunning(env.windows)) {
    env.prompts.showError(kRunningText, kCannotContinueCaption);
    return kExitFailed;
  }

  const bool nt = env.platform.isNtFamily();
  if (!nt) {
    // Pending renames that an older system would carry out at its next start; a failed
    // deletion does not matter. Without the Windows directory the bare names would point at
    // the root of the current drive, so nothing is deleted then.
    const std::string windowsDir = env.platform.windowsDirectory();
    if (!windowsDir.empty()) {
      env.files.remove(windowsDir + std::string(kWininitIni));
      env.files.remove(windowsDir + std::string(kWininitBak));
    }
  }

  // Without either directory the paths would name files in the wrong place.
  const std::string programFolder = folderOf(env.platform.programFile());
  const std::string systemDir = env.platform.systemDirectory();
  const bool ok = !programFolder.empty() && !systemDir.empty() &&
                  prepareTarget(env, programFolder + defaultFileName(nt),
                                settingsFilePath(systemDir));
  if (!ok) {
    env.prompts.showError(kDefaultFileErrorText, kCannotContinueCaption);
    return kExitFailed;
  }
  return kExitDone;
}

}  // namespace ringdeck::setup
