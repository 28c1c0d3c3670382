// What the engine core needs from the platform, in the core's own types. The Win32 glue maps
// them onto SendInput, MapVirtualKeyA, GetKeyState, GetCursorPos, SetTimer/KillTimer and
// PostMessageA; the tests use recorders and a virtual clock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace ringdeck {

// Every key input the engine synthesises carries this extra-information mark, so that the
// control panel's keyboard hook and tests can tell the engine's input from the user's.
inline constexpr std::uintptr_t kEngineKeyExtraInfo = 1;
// Wheel units per notch.
inline constexpr std::int32_t kWheelDelta = 120;

struct KeyInput {
  std::uint8_t virtualKey;
  bool extended;  // KEYEVENTF_EXTENDEDKEY
  bool up;        // KEYEVENTF_KEYUP
  bool operator==(const KeyInput&) const = default;
};

// The way out to the system. Called only on the engine window's thread.
class InputSink {
 public:
  virtual ~InputSink() = default;
  // One batch is one SendInput call: every input a keyboard input with the scan code of
  // MapVirtualKeyA(virtualKey, 0), time GetTickCount() and extra information kEngineKeyExtraInfo.
  // Returns how many inputs of the batch, from its start, the system took (SendInput's count):
  // fewer than the batch when it refused the rest, for example while the secure desktop is in
  // front.
  virtual std::size_t sendKeys(std::span<const KeyInput> batch) = 0;
  // One mouse input with MOUSEEVENTF_WHEEL only, wheel data = wheelUnits (notches x 120), the
  // cursor position as coordinates, time 0 and extra information 0.
  virtual void sendWheel(std::int32_t wheelUnits) = 0;
  // Bit 0 of GetKeyState(VK_NUMLOCK).
  virtual bool numLockOn() = 0;
};

// Window timers of the engine window; the identifier is the timer-pool index. Starting an
// identifier that runs already restarts it. Called only on the engine window's thread; each
// expiry comes back as OutputStage::onTimer(id) (WM_TIMER).
class TimerService {
 public:
  virtual ~TimerService() = default;
  virtual void startTimer(std::uint16_t id, std::uint32_t periodMs) = 0;
  virtual void stopTimer(std::uint16_t id) = 0;
};

// Posts message 0x414 to the engine window: an event was offered to the queue. Called from
// reader threads with the settings lock held; it must not block on the window thread. Since one
// 0x414 carries out every waiting event (in shares of kEventsPerMessage, posting again while
// more wait), a waker may leave the post out while a 0x414 of its own still waits.
class EngineWaker {
 public:
  virtual ~EngineWaker() = default;
  virtual void wake() = 0;
};

}  // namespace ringdeck
