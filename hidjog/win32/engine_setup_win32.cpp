#include "engine_setup_win32.h"

#include <string>
#include <vector>

#include "desktop_start.h"
#include "win32_log.h"

namespace ringdeck::engine::win32 {

using ringdeck::win32::logLastError;

bool Win32ServiceControl::openManager() {
  manager_ = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  if (!manager_) logLastError("OpenSCManagerA");
  return manager_ != nullptr;
}

bool Win32ServiceControl::createService(const std::string& command) {
  service_ = CreateServiceA(manager_, kServiceName, kServiceDisplayName, SERVICE_ALL_ACCESS,
                            SERVICE_WIN32_OWN_PROCESS | SERVICE_INTERACTIVE_PROCESS,
                            SERVICE_AUTO_START, SERVICE_ERROR_NORMAL, command.c_str(), nullptr,
                            nullptr, nullptr, nullptr, nullptr);
  if (!service_) logLastError("CreateServiceA");
  return service_ != nullptr;
}

bool Win32ServiceControl::openService() {
  service_ = OpenServiceA(manager_, kServiceName, SERVICE_ALL_ACCESS);
  if (!service_) logLastError("OpenServiceA");
  return service_ != nullptr;
}

bool Win32ServiceControl::startService() {
  if (StartServiceA(service_, 0, nullptr)) return true;
  logLastError("StartServiceA");
  return false;
}

bool Win32ServiceControl::requestStop() {
  SERVICE_STATUS status;
  if (ControlService(service_, SERVICE_CONTROL_STOP, &status)) return true;
  logLastError("ControlService");
  return false;
}

ServiceState Win32ServiceControl::queryState() {
  SERVICE_STATUS status;
  if (!QueryServiceStatus(service_, &status)) {
    logLastError("QueryServiceStatus");
    return ServiceState::Unknown;
  }
  return static_cast<ServiceState>(status.dwCurrentState);
}

bool Win32ServiceControl::deleteService() {
  if (DeleteService(service_)) return true;
  logLastError("DeleteService");
  return false;
}

void Win32ServiceControl::closeAll() {
  if (service_) CloseServiceHandle(service_);
  if (manager_) CloseServiceHandle(manager_);
  service_ = manager_ = nullptr;
}

bool Win32SetupDesktop::modulePath(std::size_t maxChars, std::string& path) {
  std::vector<char> buffer(maxChars + 1);
  const DWORD n = GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(maxChars));
  if (n == 0 || n >= maxChars) {
    logLastError("GetModuleFileNameA");
    return false;
  }
  path.assign(buffer.data(), n);
  return true;
}

bool Win32SetupDesktop::setRunValue(const char* key, const std::string& command) {
  HKEY k;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, key, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE,
                      nullptr, &k, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  const LONG r = RegSetValueExA(k, kRunValueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                                static_cast<DWORD>(command.size() + 1));
  RegCloseKey(k);
  return r == ERROR_SUCCESS;
}

bool Win32SetupDesktop::deleteRunValue(const char* key) {
  HKEY k;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_SET_VALUE, &k) != ERROR_SUCCESS) return false;
  const LONG r = RegDeleteValueA(k, kRunValueName);
  RegCloseKey(k);
  return r == ERROR_SUCCESS;
}

bool Win32SetupDesktop::startProcess(const std::string& command) {
  // On Vista and later "-install" usually runs elevated (from the setup): started from here the
  // engine would run as administrator, and as the administrator whose password a standard user
  // typed. The desktop's shell starts it as the person logged on, as the Run entry will at every
  // logon. Without such a shell it is started from here, as before.
  if (currentPlatform() == PlatformKind::NtSession && command.size() > 2 && command.front() == '"') {
    const auto close = command.find('"', 1);
    if (close != std::string::npos) {
      const std::string program = command.substr(1, close - 1);
      const auto rest = command.find_first_not_of(' ', close + 1);
      if (ringdeck::win32::startThroughDesktopShell(
              program, rest == std::string::npos ? std::string() : command.substr(rest))) {
        return true;
      }
    }
  }
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  std::vector<char> line(command.begin(), command.end());
  line.push_back('\0');
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS, nullptr,
                      nullptr, &startup, &process)) {
    logLastError("CreateProcessA");
    return false;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return true;
}

bool Win32SetupDesktop::windowExists(const char* windowClass) {
  return FindWindowA(windowClass, nullptr) != nullptr;
}

void Win32SetupDesktop::postQuit(const char* windowClass) {
  if (HWND w = FindWindowA(windowClass, nullptr)) PostMessageA(w, WM_QUIT, 0, 0);
}

void Win32SetupDesktop::sendQuit(const char* windowClass) {
  if (HWND w = FindWindowA(windowClass, nullptr)) SendMessageA(w, WM_QUIT, 0, 0);
}

void Win32SetupDesktop::message(std::string_view text, MessageIcon icon) {
  UINT flags = MB_OK;
  switch (icon) {
    case MessageIcon::Exclamation: flags |= MB_ICONEXCLAMATION; break;
    case MessageIcon::Information: flags |= MB_ICONINFORMATION; break;
    case MessageIcon::Stop: flags |= MB_ICONSTOP; break;
  }
  MessageBoxA(nullptr, std::string(text).c_str(), kSetupCaption, flags);
}

PlatformKind currentPlatform() {
  OSVERSIONINFOA v{};
  v.dwOSVersionInfoSize = sizeof v;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  if (!GetVersionExA(&v)) return PlatformKind::Unknown;
#pragma GCC diagnostic pop
  return platformKind(v.dwPlatformId, v.dwMajorVersion);
}

}  // namespace ringdeck::engine::win32
