#include "win32_peer_messenger.h"

#include <windows.h>

#include <string>

#include "protocol.h"
#include "win32_log.h"

namespace ringdeck::panel::win32 {

Win32PeerMessenger::Win32PeerMessenger()
    : reloadMessage_(RegisterWindowMessageA(kMsgReloadAllPreferences)) {
  if (reloadMessage_ == 0) ringdeck::win32::logLastError("RegisterWindowMessageA");
}

bool Win32PeerMessenger::sendReloadAllPreferences(Peer peer, std::uint32_t currentSet,
                                                  std::uint32_t recordCount) {
  HWND window = FindWindowA(peer == Peer::Helper ? kHelperWindowClass : kEngineWindowClass, nullptr);
  if (window == nullptr) return false;
  // Synchronous: the helper has reread the file before the engine is asked to. Bounded: a
  // window of that class that does not answer (hung, or another program's) must not hang the
  // control panel's save.
  constexpr UINT kReloadWaitMs = 5000;
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutA(window, reloadMessage_, currentSet, static_cast<LPARAM>(recordCount),
                           SMTO_NORMAL | SMTO_ABORTIFHUNG, kReloadWaitMs, &result))
    ringdeck::win32::logLastError("SendMessageTimeoutA");
  return true;
}

void Win32PeerMessenger::StartHelper() {
  char own[MAX_PATH + 1] = {};
  const DWORD n = GetModuleFileNameA(nullptr, own, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) {
    ringdeck::win32::logLastError("GetModuleFileNameA");
    return;
  }
  const std::string program = helperProgramPath(std::string_view(own, n));
  std::string commandLine = "\"" + program + "\"";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                      CREATE_NEW_PROCESS_GROUP, nullptr, nullptr, &startup, &process)) {
    // Not the user's concern: the helper reads the file whenever it does start.
    ringdeck::win32::logLastError("CreateProcessA");
    return;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
}

}  // namespace ringdeck::panel::win32
