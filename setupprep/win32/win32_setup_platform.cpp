#include "win32_setup_platform.h"

#include <windows.h>

#include "win32_file.h"
#include "win32_log.h"

namespace ringdeck::setup::win32 {

bool Win32PlatformInfo::isNtFamily() {
  OSVERSIONINFOA info{};
  info.dwOSVersionInfoSize = sizeof info;  // 148 bytes: the record every system knows
  static_assert(sizeof(OSVERSIONINFOA) == 148);
  if (!GetVersionExA(&info)) {
    ringdeck::win32::logLastError("GetVersionExA");
    // Only the oldest systems lack a working call; the NT branch deletes nothing.
    return true;
  }
  return info.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

std::string Win32PlatformInfo::systemDirectory() { return ringdeck::win32::systemDirectory(); }

std::string Win32PlatformInfo::windowsDirectory() {
  char buffer[MAX_PATH];
  const UINT n = GetWindowsDirectoryA(buffer, sizeof buffer);
  if (n == 0 || n >= sizeof buffer) {
    ringdeck::win32::logLastError("GetWindowsDirectoryA");
    return {};
  }
  std::string dir(buffer, n);
  if (dir.back() == '\\') dir.pop_back();  // "C:\" on a system installed at a drive root
  return dir;
}

std::string Win32PlatformInfo::programFile() {
  char buffer[MAX_PATH];
  const DWORD n = GetModuleFileNameA(nullptr, buffer, sizeof buffer);
  // A full buffer means the path was cut: better no path than a wrong folder.
  if (n == 0 || n >= sizeof buffer) {
    ringdeck::win32::logLastError("GetModuleFileNameA");
    return {};
  }
  return std::string(buffer, n);
}

bool Win32WindowFinder::classExists(std::string_view windowClass) {
  return FindWindowA(std::string(windowClass).c_str(), nullptr) != nullptr;
}

bool Win32WindowFinder::titleExists(std::string_view title) {
  return FindWindowA(nullptr, std::string(title).c_str()) != nullptr;
}

void Win32UserPrompts::showError(std::string_view text, std::string_view caption) {
  if (MessageBoxA(nullptr, std::string(text).c_str(), std::string(caption).c_str(),
                  MB_OK | MB_ICONERROR) == 0) {
    ringdeck::win32::logLastError("MessageBoxA");
  }
}

bool Win32UserPrompts::confirm(std::string_view text, std::string_view caption) {
  const int answer = MessageBoxA(nullptr, std::string(text).c_str(), std::string(caption).c_str(),
                                 MB_OKCANCEL | MB_ICONQUESTION | MB_DEFBUTTON2);
  // A box that could not be shown is no consent: the file stays as it is.
  if (answer == 0) ringdeck::win32::logLastError("MessageBoxA");
  return answer == IDOK;
}

}  // namespace ringdeck::setup::win32
