// Event translation: from a device's previous and current state to the ActionEvents of the
// current settings set, queued for the output stage.
//
// Threading contract (the engine process):
// - One EventTranslator per engine, created with the engine window. Its current set, zone map,
//   throttle flag and every DeviceInput are guarded by the engine's settings lock, which the
//   caller holds (the core has no settings lock of its own):
//     * a reader thread, for each report:     lock; translator.decodeReport(device, report, use); unlock
//     * a reader thread, when its read fails: lock; translator.releaseDevice(device); unlock
//     * the window thread, on a switch or reload: lock; (swap the image); translator.setCurrentSet(set); unlock
//   setSystemRepeatSpeed() may be called from any thread (WM_CREATE, WM_SETTINGCHANGE).
// - decodeReport never sends anything itself: it copies events into the EventQueue (its own
//   lock) and calls EngineWaker::wake() (PostMessage 0x414) after every insert attempt.
// - The current set is a SettingsRecord owned by the caller (the shared image); it must stay
//   valid until the next setCurrentSet, which the caller makes under the same lock.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "action_event.h"
#include "engine_seams.h"
#include "event_queue.h"
#include "settings_file.h"
#include "timer_pool.h"

namespace ringdeck {

inline constexpr std::size_t kReportSize = 8;
inline constexpr int kShuttleLimit = 8;  // the zone map covers shuttle bytes -8..8
inline constexpr int kButtonCount = SlotIndex::ButtonCount;
// The throttle stops decoding when fewer than this many pool entries are free...
inline constexpr std::uint32_t kThrottleOnBelow = 16;
// ...and decodes again once more than this many are free.
inline constexpr std::uint32_t kThrottleOffAbove = 2048;

// Key-repeat period of the system in units of 10 ms for its keyboard speed setting (0..31;
// larger values count as 31): 3150 ms at 0, 50 ms at 31.
constexpr std::uint16_t systemRepeatPeriod(unsigned speed) {
  return static_cast<std::uint16_t>(315 - 10 * (speed > 31 ? 31 : speed));
}

struct DeviceState {
  std::int8_t zone = 0;  // shuttle zone after the zone map
  std::uint8_t jog = 0;  // free-running counter, wraps at 256
  std::uint16_t buttons = 0;
  bool operator==(const DeviceState&) const = default;
};

// Which zone's slot acts for each shuttle position: runs of SameAsLower zones act as the last
// zone before them on the way out from the centre.
class ZoneMap {
 public:
  ZoneMap();  // no set: every position acts as its own zone
  void rebuild(const SettingsRecord* set);
  // The zone for a shuttle byte, or nothing for a byte outside -8..8.
  std::optional<std::int8_t> zoneFor(int shuttleByte) const;

 private:
  std::array<std::int8_t, 2 * kShuttleLimit + 1> zones_{};
};

// The slot fields a press acted on, kept so that the release undoes exactly that press even
// after the current set has changed.
struct PressedAction {
  std::uint16_t kind = 0;
  std::uint16_t modifiers = 0;
  std::uint8_t keyCode = 0;
  std::int8_t wheelNotches = 0;
  std::uint16_t repeatPeriod = 0;  // as sent (the system period for KeystrokeSystemRepeat)
  bool syncRelease = false;
};

// One device's side of translation: its previous state and what each held control pressed.
// Owned by the device's reader thread; used only under the settings lock.
class DeviceInput {
 public:
  bool started() const { return started_; }
  const DeviceState& previous() const { return previous_; }
  // Held controls whose press the engine acted on and has not released yet.
  std::uint16_t pressedButtons() const { return pressedButtons_; }
  bool zonePressed() const { return zonePressed_; }

 private:
  friend class EventTranslator;
  bool started_ = false;
  DeviceState previous_{};
  std::uint16_t pressedButtons_ = 0;
  std::array<PressedAction, kButtonCount> buttonPress_{};
  bool zonePressed_ = false;
  PressedAction zonePress_{};
};

enum class ReportUse {
  Act,        // decode and act on the changes
  StateOnly,  // the report target took the report: only the state moves on
};

class EventTranslator {
 public:
  EventTranslator(EventQueue& queue, const TimerPool& pool, EngineWaker& waker);

  // Window thread, settings lock held. nullptr: no set, nothing is acted on.
  void setCurrentSet(const SettingsRecord* set);
  const SettingsRecord* currentSet() const { return set_; }
  const ZoneMap& zoneMap() const { return zoneMap_; }
  void setSystemRepeatSpeed(unsigned speed);
  std::uint16_t systemRepeatPeriod() const;

  // Reader thread, settings lock held. Turns one raw input report into the device's current
  // state and queues the events of the change from its previous one. The first report of a
  // device only sets the state. A report that is not 8 bytes long is refused (false) and
  // changes nothing. Controls released in a report that is not acted on (taken by the report
  // target, or dropped by the throttle) still release what their press did, so no key is left
  // down.
  bool decodeReport(DeviceInput& device, std::span<const std::uint8_t> report,
                    ReportUse use = ReportUse::Act);
  // Reader thread, settings lock held, when the device is lost: releases what its held
  // buttons and shuttle zone pressed; the device starts afresh with its next report.
  void releaseDevice(DeviceInput& device);

  bool throttled() const { return throttled_; }
  // Events refused because the queue was full.
  std::uint64_t droppedEvents() const { return dropped_; }

 private:
  bool throttle();
  PressedAction actionOf(int slot) const;
  // False when the queue refused an event of the press.
  bool press(const PressedAction& a);
  void release(const PressedAction& a, bool undoOnly);
  bool emit(const ActionEvent& e);
  // A press released at once (jog step, zone transition): a press the queue refused needs no
  // release, which would only take the queue's reserve from the releases of held controls.
  void tap(const PressedAction& a);
  void pressButton(DeviceInput& d, int b);
  void releaseButton(DeviceInput& d, int b, bool undoOnly);

  EventQueue& queue_;
  const TimerPool& pool_;
  EngineWaker& waker_;
  const SettingsRecord* set_ = nullptr;
  ZoneMap zoneMap_;
  std::atomic<std::uint16_t> systemRepeatPeriod_{ringdeck::systemRepeatPeriod(31)};
  bool throttled_ = false;
  std::uint64_t dropped_ = 0;
};

}  // namespace ringdeck
