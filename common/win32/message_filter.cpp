#include "message_filter.h"

#include "win32_log.h"

namespace ringdeck::win32 {
namespace {

// From winuser.h of Windows 7; spelled out so that the programs need no newer headers.
constexpr DWORD kMsgFltAllow = 1;

struct FilterStatus {
  DWORD cbSize;
  DWORD ExtStatus;
};
using ChangeFilterEx = BOOL(WINAPI*)(HWND, UINT, DWORD, FilterStatus*);

ChangeFilterEx changeFilterEx() {
  HMODULE user = GetModuleHandleA("user32.dll");
  if (!user) return nullptr;
  return reinterpret_cast<ChangeFilterEx>(
      reinterpret_cast<void*>(GetProcAddress(user, "ChangeWindowMessageFilterEx")));
}

}  // namespace

bool AllowMessagesThroughFilter(HWND window, std::initializer_list<UINT> messages) {
  const ChangeFilterEx change = changeFilterEx();
  if (!change || !window) return false;
  bool all = true;
  for (UINT message : messages) {
    if (message == 0) {  // a registration that failed names no message
      all = false;
      continue;
    }
    FilterStatus status{sizeof status, 0};
    if (!change(window, message, kMsgFltAllow, &status)) {
      logLastError("ChangeWindowMessageFilterEx");
      all = false;
    }
  }
  return all;
}

}  // namespace ringdeck::win32
