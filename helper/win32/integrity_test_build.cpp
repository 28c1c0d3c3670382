// The helper's test build: Wine runs every program at one level, so this build reports the
// programs named on its command line ("--report-higher a.exe b.exe") one level above what the
// system says. Only the integration tests run this build; the product reads no command line.
#include <cstring>
#include <sstream>
#include <vector>

#include "app_key.h"
#include "integrity_win32.h"

namespace ringdeck::helper::win32 {
namespace {

std::vector<std::string> higherPrograms() {
  std::vector<std::string> names;
  const char* line = GetCommandLineA();
  const char* at = line ? std::strstr(line, "--report-higher ") : nullptr;
  if (!at) return names;
  std::istringstream rest(at + std::strlen("--report-higher "));
  for (std::string name; rest >> name;) names.push_back(upperCaseAscii(name));
  return names;
}

}  // namespace

IntegrityReading processIntegrity(DWORD processId) {
  static const std::vector<std::string> higher = higherPrograms();
  const IntegrityReading level = readIntegrityLevel(processId);
  if (!level) return level;
  const std::string name = upperCaseAscii(programFileName(processId));
  for (const std::string& h : higher) {
    if (name == h) return *level + 0x1000;
  }
  return level;
}

}  // namespace ringdeck::helper::win32
