// The floor for the engine's latency: a bare program that takes a virtual device the way the
// engine's virtual build does and turns bit 0 of each report straight into SendInput.
#include <windows.h>

#include <cstdint>

#include "virtual_device_protocol.h"

namespace {

HANDLE connectMessagePipe(const char* name) {
  for (int tries = 0; tries < 500; ++tries) {
    HANDLE h = CreateFileA(name, GENERIC_READ | FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
      DWORD mode = PIPE_READMODE_MESSAGE;
      SetNamedPipeHandleState(h, &mode, nullptr, nullptr);
      return h;
    }
    Sleep(10);
  }
  return INVALID_HANDLE_VALUE;
}

}  // namespace

int main() {
  HANDLE hub = connectMessagePipe(ringdeck::engine::kVirtualHubPipe);
  if (hub == INVALID_HANDLE_VALUE) return 1;
  char name[ringdeck::engine::kVirtualMaxName + 1] = {};
  DWORD got = 0;
  if (!ReadFile(hub, name, ringdeck::engine::kVirtualMaxName, &got, nullptr)) return 1;
  HANDLE device = connectMessagePipe(name);
  if (device == INVALID_HANDLE_VALUE) return 1;
  std::uint8_t report[8];
  ReadFile(device, report, sizeof report, &got, nullptr);  // vendor and product
  while (ReadFile(device, report, sizeof report, &got, nullptr)) {
    if (got != sizeof report) continue;
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = 'A';
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyA('A', 0));
    input.ki.dwFlags = (report[4] & 1) ? 0 : KEYEVENTF_KEYUP;
    input.ki.dwExtraInfo = 1;
    SendInput(1, &input, sizeof input);
  }
  CloseHandle(hub);
  return 0;
}
