#include "win32_log.h"

#include <windows.h>

#include <cstdio>

namespace ringdeck::win32 {

void logLastError(const char* api) {
  const DWORD error = GetLastError();
  char line[160];
  std::snprintf(line, sizeof line, "%s error: %lu\n", api, static_cast<unsigned long>(error));
  OutputDebugStringA(line);
  std::fputs(line, stderr);
  SetLastError(error);
}

}  // namespace ringdeck::win32
