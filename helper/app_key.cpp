#include "app_key.h"

namespace ringdeck::helper {

void upperCaseAsciiInPlace(std::span<char> text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - ('a' - 'A'));
  }
}

std::string upperCaseAscii(std::string_view text) {
  std::string out(text);
  upperCaseAsciiInPlace(out);
  return out;
}

std::string applicationKey(std::string_view targetApp) {
  if (targetApp.empty()) return std::string(kGlobalKey);
  return upperCaseAscii(targetApp);
}

bool isApplicationModuleName(std::string_view moduleName) {
  if (moduleName.size() < 4) return false;
  const std::string tail = upperCaseAscii(moduleName.substr(moduleName.size() - 4));
  return tail == ".EXE" || tail == ".MOD";
}

std::string applicationNameFromModules(std::span<const std::string> moduleNames) {
  for (const std::string& name : moduleNames) {
    // A module name is a C string in its snapshot entry: nothing after a NUL counts.
    const std::string_view bare(name.c_str());
    if (isApplicationModuleName(bare)) {
      return upperCaseAscii(bare.substr(0, kMaxAppNameLength));
    }
  }
  return {};
}

}  // namespace ringdeck::helper
