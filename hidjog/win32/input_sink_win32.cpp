#include "input_sink_win32.h"

#include <algorithm>
#include <array>

#include "win32_log.h"

namespace ringdeck::engine::win32 {

std::size_t SendInputSink::sendKeys(std::span<const KeyInput> batch) {
  // One combination is one SendInput call, so nothing the user types can come between its keys.
  std::array<INPUT, 256> inputs{};
  const std::size_t n = std::min(batch.size(), inputs.size());
  const DWORD now = GetTickCount();
  for (std::size_t i = 0; i < n; ++i) {
    KEYBDINPUT& k = inputs[i].ki;
    inputs[i].type = INPUT_KEYBOARD;
    k.wVk = batch[i].virtualKey;
    k.wScan = static_cast<WORD>(MapVirtualKeyA(batch[i].virtualKey, 0));
    k.dwFlags = (batch[i].extended ? KEYEVENTF_EXTENDEDKEY : 0) | (batch[i].up ? KEYEVENTF_KEYUP : 0);
    k.time = now;
    k.dwExtraInfo = kEngineKeyExtraInfo;
  }
  if (n == 0) return 0;
  // The system inserts the inputs in order and stops at the first it refuses.
  const UINT accepted = SendInput(static_cast<UINT>(n), inputs.data(), sizeof(INPUT));
  if (accepted != n) ringdeck::win32::logLastError("SendInput");
  return accepted;
}

void SendInputSink::sendWheel(std::int32_t wheelUnits) {
  INPUT input{};
  input.type = INPUT_MOUSE;
  POINT cursor{};
  GetCursorPos(&cursor);
  input.mi.dx = cursor.x;
  input.mi.dy = cursor.y;
  input.mi.mouseData = static_cast<DWORD>(wheelUnits);
  input.mi.dwFlags = MOUSEEVENTF_WHEEL;
  if (SendInput(1, &input, sizeof input) != 1) ringdeck::win32::logLastError("SendInput");
}

bool SendInputSink::numLockOn() { return (GetKeyState(VK_NUMLOCK) & 1) != 0; }

void WindowTimers::startTimer(std::uint16_t id, std::uint32_t periodMs) {
  if (!SetTimer(window_, id, periodMs, nullptr)) ringdeck::win32::logLastError("SetTimer");
}

void WindowTimers::stopTimer(std::uint16_t id) { KillTimer(window_, id); }

void PostingWaker::wake() {
  if (pending_.exchange(true)) return;
  if (!PostMessageA(window_, kMsgQueuedEvent, 0, 0)) {
    ringdeck::win32::logLastError("PostMessageA");
    // The next event offered, or the window's own drain, tries again.
    if (!stopped_.load()) pending_.store(false);
  }
}

}  // namespace ringdeck::engine::win32
