// Application keys: the text under which sets are grouped and by which the foreground
// application is matched. Only the letters a..z are folded, so that bytes of the system code
// page above 127 compare exactly as stored.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "settings_file.h"

namespace ringdeck::helper {

// The key of sets without a target application, and the list every unknown application gets.
inline constexpr std::string_view kGlobalKey = "*";
// The longest application name a foreground module can yield (a 32-byte buffer).
inline constexpr std::size_t kMaxAppNameLength = 31;

// 'a'..'z' become 'A'..'Z'; every other byte stays.
void upperCaseAsciiInPlace(std::span<char> text);
std::string upperCaseAscii(std::string_view text);

// "*" for an empty target application, otherwise the field upper-cased ("*" stays "*").
std::string applicationKey(std::string_view targetApp);
inline std::string applicationKey(const SettingsRecord& record) {
  return applicationKey(fieldText(record.targetApp));
}

// Does a module file name end in ".exe" or ".mod", ignoring the case of A..Z?
bool isApplicationModuleName(std::string_view moduleName);

// The application name of a process from its module names in snapshot order: the first module
// that is an application module, cut to 31 characters and upper-cased; empty when none is.
std::string applicationNameFromModules(std::span<const std::string> moduleNames);

}  // namespace ringdeck::helper
