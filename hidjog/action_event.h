// One request from event translation to the output stage. The event queue, the timer pool and
// the output stage all hold copies of it; it never leaves the engine process.
#pragma once

#include <cstdint>

namespace ringdeck {

inline constexpr std::uint16_t kNoTimer = 0xFFFF;  // no timer-pool entry / no repeat timer
inline constexpr std::uint8_t kNoKey = 0xFF;        // HeldKey when no key is held

enum : std::uint8_t { kKeyEvent = 0, kWheelEvent = 1 };
enum : std::uint32_t { kPhaseOrdinary = 0, kPhaseDeferredRelease = 1 };

struct ActionEvent {
  std::uint8_t eventType = kKeyEvent;  // any other value than key or wheel is ignored
  std::uint16_t repeatPeriod = 0;      // units of 10 ms; 0 and 0xFFFF do not repeat
  std::uint16_t timerId = kNoTimer;    // pool entry whose timer belongs to this event
  std::uint16_t sequence = 0;          // order stamp given by the output stage
  std::uint32_t syncRelease = 0;       // 1: release at once; 0: release 500 ms later
  std::uint32_t phase = kPhaseOrdinary;
  std::uint16_t modifiers = 0;  // key events: Mod* bits
  std::uint8_t keyCode = 0;     // key events: virtual key, 0 = none
  std::uint32_t pressed = 0;    // key events: 1 = press, 0 = release
  // Wheel events: signed notches, positive = away from the user. Kept in a field of its own
  // rather than overlaying modifiers and keyCode; the event is never stored outside memory.
  std::int32_t wheelAmount = 0;

  static constexpr ActionEvent key(std::uint16_t period, std::uint16_t mods, std::uint8_t code,
                                   bool press, bool sync) {
    ActionEvent e;
    e.eventType = kKeyEvent;
    e.repeatPeriod = period;
    e.modifiers = mods;
    e.keyCode = code;
    e.pressed = press ? 1 : 0;
    e.syncRelease = sync ? 1 : 0;
    return e;
  }
  static constexpr ActionEvent wheel(std::int32_t notches, bool sync) {
    ActionEvent e;
    e.eventType = kWheelEvent;
    e.wheelAmount = notches;
    e.syncRelease = sync ? 1 : 0;
    return e;
  }
  bool operator==(const ActionEvent&) const = default;
};

}  // namespace ringdeck
