// Logging of Win32 failures: the API's name and GetLastError, to the debugger and stderr.
#pragma once

namespace ringdeck::win32 {

void logLastError(const char* api);

}  // namespace ringdeck::win32
