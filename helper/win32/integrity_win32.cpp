#include "integrity_win32.h"

#include <vector>

namespace ringdeck::helper::win32 {
namespace {

using OpenProcessTokenFn = BOOL(WINAPI*)(HANDLE, DWORD, PHANDLE);
using GetTokenInformationFn = BOOL(WINAPI*)(HANDLE, TOKEN_INFORMATION_CLASS, LPVOID, DWORD,
                                            PDWORD);
using GetSidSubAuthorityFn = PDWORD(WINAPI*)(PSID, DWORD);
using GetSidSubAuthorityCountFn = PUCHAR(WINAPI*)(PSID);
using QueryFullProcessImageNameFn = BOOL(WINAPI*)(HANDLE, DWORD, LPSTR, PDWORD);

template <typename F>
F lookUp(HMODULE module, const char* name) {
  if (!module) return nullptr;
  // The cast through void(*)() is how a looked-up address becomes a typed function.
  return reinterpret_cast<F>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

struct Api {
  OpenProcessTokenFn openProcessToken = nullptr;
  GetTokenInformationFn getTokenInformation = nullptr;
  GetSidSubAuthorityFn getSidSubAuthority = nullptr;
  GetSidSubAuthorityCountFn getSidSubAuthorityCount = nullptr;
  QueryFullProcessImageNameFn queryFullProcessImageName = nullptr;

  Api() {
    HMODULE advapi = LoadLibraryA("advapi32.dll");
    openProcessToken = lookUp<OpenProcessTokenFn>(advapi, "OpenProcessToken");
    getTokenInformation = lookUp<GetTokenInformationFn>(advapi, "GetTokenInformation");
    getSidSubAuthority = lookUp<GetSidSubAuthorityFn>(advapi, "GetSidSubAuthority");
    getSidSubAuthorityCount = lookUp<GetSidSubAuthorityCountFn>(advapi, "GetSidSubAuthorityCount");
    queryFullProcessImageName = lookUp<QueryFullProcessImageNameFn>(
        GetModuleHandleA("kernel32.dll"), "QueryFullProcessImageNameA");
  }
  bool hasLevels() const {
    return openProcessToken && getTokenInformation && getSidSubAuthority &&
           getSidSubAuthorityCount;
  }
};

const Api& api() {
  static const Api loaded;
  return loaded;
}

// PROCESS_QUERY_LIMITED_INFORMATION is the one right a program started normally is granted on
// an elevated process of its own user; the helper's own process needs no opening.
HANDLE openForQuery(DWORD processId) {
  if (processId == GetCurrentProcessId()) return GetCurrentProcess();
  return OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
}
void closeQuery(HANDLE process) {
  if (process && process != GetCurrentProcess()) CloseHandle(process);
}

}  // namespace

IntegrityReading readIntegrityLevel(DWORD processId) {
  const Api& a = api();
  if (!a.hasLevels() || processId == 0) return std::nullopt;
  HANDLE process = openForQuery(processId);
  if (!process) return std::nullopt;
  IntegrityReading level;
  HANDLE token = nullptr;
  if (a.openProcessToken(process, TOKEN_QUERY, &token)) {
    DWORD size = 0;
    a.getTokenInformation(token, TokenIntegrityLevel, nullptr, 0, &size);
    // Before Vista the class is unknown and the first call fails with another error.
    if (GetLastError() == ERROR_INSUFFICIENT_BUFFER && size >= sizeof(TOKEN_MANDATORY_LABEL)) {
      std::vector<unsigned char> buffer(size);
      if (a.getTokenInformation(token, TokenIntegrityLevel, buffer.data(), size, &size)) {
        PSID sid = reinterpret_cast<TOKEN_MANDATORY_LABEL*>(buffer.data())->Label.Sid;
        const UCHAR count = *a.getSidSubAuthorityCount(sid);
        if (count > 0) level = *a.getSidSubAuthority(sid, count - 1u);
      }
    }
    CloseHandle(token);
  }
  closeQuery(process);
  return level;
}

std::string programFileName(DWORD processId) {
  const Api& a = api();
  if (!a.queryFullProcessImageName || processId == 0) return {};
  HANDLE process = openForQuery(processId);
  if (!process) return {};
  char path[MAX_PATH + 1] = {};
  DWORD size = MAX_PATH;
  std::string name;
  if (a.queryFullProcessImageName(process, 0, path, &size) && size <= MAX_PATH) {
    const std::string full(path, size);
    name = full.substr(full.find_last_of('\\') + 1);
  }
  closeQuery(process);
  return name;
}

}  // namespace ringdeck::helper::win32
