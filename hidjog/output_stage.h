// The output stage: performs queued ActionEvents, owns the engine's keyboard state (held
// modifiers and key, auto-repeat, deferred release, Num Lock suspension) and sends through an
// InputSink.
//
// Threading contract: everything here runs on the engine window's thread, one message at a time:
//   0x414            -> onQueuedEvent(queue)  (takes up to kEventsPerMessage events out)
//   WM_TIMER id      -> onTimer(id)           (a pool index, or kUpRetryTimer)
//   loop ended/stop  -> releaseEverything()
// The keyboard state therefore needs no lock; the TimerPool locks its own allocate and free.
#pragma once

#include <bitset>
#include <cstdint>

#include "action_event.h"
#include "engine_seams.h"
#include "event_queue.h"
#include "settings_file.h"
#include "timer_pool.h"

namespace ringdeck {

inline constexpr std::uint32_t kDeferredReleaseMs = 500;
inline constexpr std::uint8_t kVkNumLock = 0x90;
// Events one 0x414 message carries out at most before the window takes its other messages.
inline constexpr std::size_t kEventsPerMessage = 16;
// The window timer that sends again the key-ups the system refused, and how often. Its
// identifier is the one after the timer pool's.
inline constexpr std::uint16_t kUpRetryTimer = TimerPool::kEntries;
inline constexpr std::uint32_t kUpRetryMs = 250;

struct KeyboardState {
  std::uint16_t ActiveModifiers = 0;       // held by key events whose control is still pressed
  std::uint16_t LatchedModifiers = 0;      // kept down by pending deferred releases
  std::uint16_t LatchedModifierCount = 0;  // pending deferred releases that hold modifiers
  std::uint8_t HeldKey = kNoKey;           // key last pressed by a non-sync action
  std::uint16_t HeldKeyCount = 0;          // pending deferred releases that hold a key
  std::uint16_t HeldSequence = 0;
  std::uint16_t ReleasedSequence = 0;  // HeldSequence when the held key was last released
  bool HeldSequenceWrapped = false;
  std::uint16_t RepeatSequence = 0;
  std::uint16_t CancelledSequence = 0;  // stamp of the repeat stopped last
  std::uint16_t RepeatWrapCount = 0;
  std::uint16_t CurrentRepeatTimer = kNoTimer;  // the one action that auto-repeats
  bool NumLockSuspended = false;
  bool NumLockWasOn = false;
  bool operator==(const KeyboardState&) const = default;
};

class OutputStage {
 public:
  OutputStage(TimerPool& pool, InputSink& sink, TimerService& timers);
  OutputStage(const OutputStage&) = delete;
  OutputStage& operator=(const OutputStage&) = delete;

  // Message 0x414: takes the oldest events out of the queue, at most kEventsPerMessage, and
  // handles them; an empty queue is no error (an event refused when the queue was full still
  // posted its message, and one message may have taken the events of the next ones). True when
  // events are still waiting: the caller posts 0x414 again, so that no event waits for a
  // message that never comes (a post that failed).
  bool onQueuedEvent(EventQueue& queue);
  // The rules of 0x414 for one event: every release stops the action that auto-repeats at that
  // moment; a press that starts a repeat releases the one repeating before it.
  void handleEvent(ActionEvent event);
  // WM_TIMER: a repeat or a deferred release is due, or (kUpRetryTimer) the key-ups the system
  // refused are sent again. Unknown or stale identifiers are ignored.
  void onTimer(std::uint16_t id);
  // Carries out one event; returns the repeat timer it started, or kNoTimer.
  std::uint16_t perform(ActionEvent event);
  // For when the engine stops: every timer stopped, every key and modifier the engine sent
  // down sent up, Num Lock restored, the keyboard state back at its start.
  void releaseEverything();

  const KeyboardState& state() const { return state_; }
  // True when the engine holds no key, no modifier and no pending repeat or deferred release.
  bool idle() const;
  // Keys the system took down and refused to let go so far; sent up again every kUpRetryMs.
  std::size_t refusedUps() const { return upRefused_.count(); }

 private:
  std::uint16_t performPress(ActionEvent& e);
  void performSyncRelease(ActionEvent& e);
  void deferRelease(ActionEvent& e);
  void fireDeferredRelease(ActionEvent& e);
  void finishRelease(const ActionEvent& e);
  void stopRepeat(std::uint16_t timerId);
  void sendKeys(std::uint16_t modifiers, std::uint8_t keyCode, bool up);
  // Hands a batch to the sink and records what the system took: a key is down from its
  // accepted down to its accepted up; an up refused is kept for the retry timer.
  void sendBatch(std::span<const KeyInput> batch);
  void retryRefusedUps();
  void sendWheel(std::int32_t notches);
  void tapNumLock();
  void suspendNumLock();
  void restoreNumLock();

  TimerPool& pool_;
  InputSink& sink_;
  TimerService& timers_;
  KeyboardState state_;
  // What the system took down from the engine and has not taken up, by key code (a modifier by
  // its virtual key, the keypad Enter as kKeypadEnter), so that releaseEverything can send up
  // exactly that. Changed only by inputs the system accepted.
  std::bitset<256> keysDown_;
  // Of those, the keys whose up the system refused: the engine no longer wants them down.
  std::bitset<256> upRefused_;
  bool retryRunning_ = false;
};

// The inputs of one key combination in the order they go out: modifiers first going down
// (Shift, Control, Alt, Win, Apps), the key first going up. Key code 10 is the keypad Enter
// (Enter with the extended flag); codes 33..40, 44 and 93 carry the extended flag as well.
// Returns the number of inputs written (at most 6).
std::size_t keyBatch(std::uint16_t modifiers, std::uint8_t keyCode, bool up, KeyInput (&out)[6]);
KeyInput keyInputFor(std::uint8_t keyCode, bool up);

}  // namespace ringdeck
