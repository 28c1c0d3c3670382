#include "set_operations.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "settings_io.h"

namespace ringdeck::panel {
namespace {

// Makes sure entry recordCount of records exists: the spare a new set is built in.
bool ensureSpare(SettingsStore& store) {
  try {
    if (store.records.size() <= store.recordCount) store.records.resize(store.recordCount + std::size_t{1});
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

// Saves the spare record as a new set (it carries the marker) and reads the file back; the new
// set is found again by its marker, since the file is sorted by name.
SetOperationResult saveNewSetAndReload(SettingsStore& store) {
  const std::uint32_t oldCount = store.recordCount;
  const std::uint32_t oldCurrent = store.currentSet;
  // Only the new set may carry the marker: one left in memory by a file from an interrupted
  // create would otherwise be found instead of it.
  for (std::uint32_t i = 0; i < oldCount; ++i) store.records[i].newSetMarker = 0;
  store.records[oldCount].newSetMarker = kNewSetMarker;
  store.currentSet = oldCount;  // the reload message's wParam: the old number of sets
  if (!store.SaveSettingsFile(store.settingsPath, oldCount + 1)) {
    store.records[oldCount] = SettingsRecord{};
    store.currentSet = oldCurrent;
    return SetOperationResult::SaveFailed;
  }
  if (!store.LoadSettingsFile(store.settingsPath, store.globalSettingsCaption())) {
    // The file has the new set; memory goes on as it was written, in memory's order.
    store.records[oldCount].newSetMarker = 0;
    store.recordCount = oldCount + 1;
    ensureSpare(store);
    return SetOperationResult::ReloadFailed;
  }
  store.currentSet = 0;
  for (std::uint32_t i = 1; i < store.recordCount; ++i)
    if (store.records[i].newSetMarker == kNewSetMarker) {
      store.currentSet = i;
      break;
    }
  for (std::uint32_t i = 0; i < store.recordCount; ++i) store.records[i].newSetMarker = 0;
  return SetOperationResult::Done;
}

}  // namespace

std::string FileNameOf(std::string_view path) {
  const std::size_t slash = path.find_last_of('\\');
  return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string NewSetName(std::string_view chosenFile) {
  const std::size_t dot = chosenFile.find_last_of('.');
  std::string_view stem = dot == std::string_view::npos ? chosenFile : chosenFile.substr(0, dot);
  if (stem.size() > sizeof(SettingsRecord::name) - 1) stem = stem.substr(0, sizeof(SettingsRecord::name) - 1);
  return std::string(stem);
}

bool FitsTargetApp(std::string_view fileName) { return fileName.size() <= kMaxTargetAppLength; }

bool SetTargetApplication(SettingsRecord& record, std::string_view pickedPath) {
  const std::string file = FileNameOf(pickedPath);
  if (!FitsTargetApp(file)) return false;
  setTargetApp(record, file);
  return true;
}

SetOperationResult NewPreferences(SettingsStore& store, CopyMode copyMode, std::string_view chosenFile) {
  if (!FitsTargetApp(chosenFile)) return SetOperationResult::TargetNameTooLong;
  if (store.recordCount == 0 || !ensureSpare(store)) return SetOperationResult::SaveFailed;
  SettingsRecord& spare = store.records[store.recordCount];
  switch (copyMode) {
    case CopyMode::Empty: spare = SettingsRecord{}; break;
    case CopyMode::CopyOfGlobal: spare = store.records[0]; break;
    case CopyMode::CopyOfCurrent: spare = store.current(); break;
  }
  setName(spare, NewSetName(chosenFile));
  setTargetApp(spare, chosenFile);
  return saveNewSetAndReload(store);
}

void RenameCurrentSet(SettingsStore& store, std::string_view name) {
  if (store.currentSet < store.recordCount) setName(store.records[store.currentSet], name);
}

SetOperationResult RemoveCurrentSet(SettingsStore& store) {
  const std::uint32_t removed = store.currentSet;
  if (removed == 0 || removed >= store.recordCount) return SetOperationResult::NothingToDo;
  const SettingsRecord kept = store.records[removed];
  const std::uint32_t last = store.recordCount - 1;
  store.records[removed] = store.records[last];
  store.recordCount = last;
  // currentSet still names the removed index: the reload message's wParam.
  if (!store.SaveSettingsFile(store.settingsPath, store.recordCount)) {
    store.records[removed] = kept;  // the last set is still in its own place
    store.recordCount = last + 1;
    return SetOperationResult::SaveFailed;
  }
  const bool reloaded = store.LoadSettingsFile(store.settingsPath, store.globalSettingsCaption());
  store.currentSet = 0;
  return reloaded ? SetOperationResult::Done : SetOperationResult::ReloadFailed;
}

ImportReadResult ReadImportFile(FileAccess& file, SettingsRecord& record) {
  const auto size = file.size();
  if (!size || *size != kExportedFileSize) return ImportReadResult::Unreadable;
  std::uint8_t bytes[kExportedFileSize];
  if (file.readAt(0, std::span(bytes, kHeaderSize)) != kHeaderSize) return ImportReadResult::Unreadable;
  SettingsFileHeader header;
  std::memcpy(&header, bytes, kHeaderSize);
  if (header.magic != kSettingsMagic) return ImportReadResult::FormatNotValid;
  // A file cut or failing after its header gives nothing rather than a set made of part of it.
  if (file.readAt(kHeaderSize, std::span(bytes + kHeaderSize, kRecordSize)) != kRecordSize)
    return ImportReadResult::Unreadable;
  std::memcpy(&record, bytes + kHeaderSize, kRecordSize);
  return ImportReadResult::Read;
}

ImportReadResult ReadImportFile(FileSystem& files, const std::string& path, SettingsRecord& record) {
  const auto file = files.open(path, OpenMode::ReadOnlyExisting);
  if (!file) return ImportReadResult::Unreadable;
  return ReadImportFile(*file, record);
}

SetOperationResult AppendImportedSet(SettingsStore& store, const SettingsRecord& record) {
  if (store.recordCount == 0 || !ensureSpare(store)) return SetOperationResult::SaveFailed;
  store.records[store.recordCount] = record;
  return saveNewSetAndReload(store);
}

std::vector<std::uint8_t> ExportedSetBytes(const SettingsRecord& record) {
  std::vector<std::uint8_t> bytes(kExportedFileSize);
  const SettingsFileHeader header = standardHeader();
  std::memcpy(bytes.data(), &header, kHeaderSize);
  std::memcpy(bytes.data() + kHeaderSize, &record, kRecordSize);
  return bytes;
}

std::string ProposedExportFileName(const SettingsStore& store) {
  return std::string(fieldText(store.current().name)) + ".pref";
}

bool ExportSet(FileSystem& files, const SettingsRecord& record, const std::string& path) {
  auto file = files.openWithAttributes(path, OpenMode::ReadWriteCreateNew, CreatedAttributes::Archive);
  if (!file) return false;
  const std::vector<std::uint8_t> bytes = ExportedSetBytes(record);
  return file->writeAt(0, bytes) && file->truncate(bytes.size());
}

}  // namespace ringdeck::panel
