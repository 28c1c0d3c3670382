// "Export Settings Info": a readable text report of the current set as last saved, one block
// per user action. Nothing reads the report back.
#pragma once

#include <string>

#include "file_access.h"
#include "layout_chars.h"
#include "settings_file.h"
#include "settings_store.h"

namespace ringdeck::panel {

// The report's exact bytes for one set: the title line ends in LF alone, every other line in
// CR LF.
std::string SettingsReportText(const LayoutCharTable& layout, const SettingsRecord& record);

// File name the save dialog proposes: the in-memory name of the current set and ".txt".
std::string proposedReportFileName(const SettingsStore& store);

enum class ReportResult {
  Written,
  CannotOpenSettings,  // "Cannot open settings file" / "Internal error"; no report created
  CannotCreateReport,  // "Unable to export file. Make sure you have right privileges."
  WriteFailed,         // the report was created but is not complete
};

// Writes the report of the current set to reportPath. The set is read from the settings file
// where the store last saved it (the file is sorted, memory is not); a set the file does not
// hold reads as an empty set with an empty name line.
ReportResult ExportAsText(FileSystem& files, const SettingsStore& store,
                          const LayoutCharTable& layout, const std::string& reportPath);

}  // namespace ringdeck::panel
