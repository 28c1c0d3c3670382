#include "settings_report.h"

#include <span>

#include "action_names.h"
#include "settings_io.h"

namespace ringdeck::panel {
namespace {

constexpr std::size_t kNameColumn = 32;

// The set the store last wrote at the current set's position; an empty set when the file
// does not hold it, so the report never shows bytes of another set.
SettingsRecord savedCurrentSet(FileAccess& settings, const SettingsStore& store) {
  SettingsRecord record{};
  const auto position = store.savedPosition(store.currentSet);
  if (!position || checkSettingsHeader(settings) != HeaderState::Valid ||
      !readSettingsRecord(settings, *position, record)) {
    record = SettingsRecord{};
  }
  return record;
}

}  // namespace

std::string SettingsReportText(const LayoutCharTable& layout, const SettingsRecord& record) {
  std::string text = "Orvanel RingDeck Settings\n";
  text += "\r\n";
  text += fieldText(record.name);
  text += "\r\n\r\n";
  for (int i = 0; i < static_cast<int>(kSlotCount); ++i) {
    const std::size_t lineStart = text.size();
    if (!SlotName(i, text)) continue;
    const std::size_t nameLength = text.size() - lineStart;
    if (nameLength < kNameColumn) text.append(kNameColumn - nameLength, ' ');
    const ActionSlot& slot = record.slots[i];
    ActionDescription(layout, slot, text);
    text += "\r\n";
    text.append(kNameColumn, ' ');
    const std::string_view comment = fieldText(slot.comment);
    text += comment.empty() ? std::string_view("-") : comment;
    text += "\r\n";
  }
  text += "\r\n";
  return text;
}

std::string proposedReportFileName(const SettingsStore& store) {
  return std::string(fieldText(store.current().name)) + ".txt";
}

ReportResult ExportAsText(FileSystem& files, const SettingsStore& store,
                          const LayoutCharTable& layout, const std::string& reportPath) {
  auto settings = files.open(store.settingsPath, OpenMode::ReadWriteOpenAlways);
  // Reading is all the report needs: a settings file this user may read but not write (the
  // setup could not grant the access) still gives its report.
  if (!settings) settings = files.open(store.settingsPath, OpenMode::ReadOnlyExisting);
  if (!settings) return ReportResult::CannotOpenSettings;
  // A report is for the user to find: archive only, never hidden like the settings file.
  auto report = files.openWithAttributes(reportPath, OpenMode::ReadWriteCreateNew, CreatedAttributes::Archive);
  if (!report) return ReportResult::CannotCreateReport;

  const std::string text = SettingsReportText(layout, savedCurrentSet(*settings, store));
  const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(text.data()),
                                            text.size());
  // A report cut short by a full disk is no report; the caller says so instead of success.
  if (!report->writeAt(0, bytes) || !report->truncate(bytes.size())) return ReportResult::WriteFailed;
  return ReportResult::Written;
}

}  // namespace ringdeck::panel
