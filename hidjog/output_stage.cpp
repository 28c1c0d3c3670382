#include "output_stage.h"

#include <algorithm>
#include <array>

namespace ringdeck {

namespace {

struct ModifierKey {
  std::uint16_t bit;
  std::uint8_t virtualKey;
};
// The order in which modifiers go down (and up, after the key).
constexpr std::array<ModifierKey, 5> kModifierKeys{{
    {ModShift, 0x10}, {ModControl, 0x11}, {ModAlt, 0x12}, {ModWin, 0x5B}, {ModApps, 0x5D}}};

bool isModifierKey(std::size_t code) {
  for (const ModifierKey& m : kModifierKeys)
    if (m.virtualKey == code) return true;
  return false;
}

// The key code an input was made from (keyInputFor backwards).
std::uint8_t codeOf(const KeyInput& k) {
  return k.virtualKey == 0x0D && k.extended ? kKeypadEnter : k.virtualKey;
}

// Every key of the set going up, as releaseEverything sends them: keys first, then modifiers
// in their order.
template <typename Batch>
std::size_t upBatch(const std::bitset<256>& keys, Batch& out) {
  std::size_t n = 0;
  for (std::size_t k = 1; k < keys.size(); ++k)
    if (keys[k] && !isModifierKey(k)) out[n++] = keyInputFor(static_cast<std::uint8_t>(k), true);
  for (const ModifierKey& m : kModifierKeys)
    if (keys[m.virtualKey]) out[n++] = keyInputFor(m.virtualKey, true);
  return n;
}

}  // namespace

KeyInput keyInputFor(std::uint8_t keyCode, bool up) {
  if (keyCode == kKeypadEnter) return KeyInput{0x0D, true, up};
  const bool extended = (keyCode >= 33 && keyCode <= 40) || keyCode == 44 || keyCode == 93;
  return KeyInput{keyCode, extended, up};
}

std::size_t keyBatch(std::uint16_t modifiers, std::uint8_t keyCode, bool up, KeyInput (&out)[6]) {
  std::size_t n = 0;
  if (up && keyCode != 0) out[n++] = keyInputFor(keyCode, true);
  for (const ModifierKey& m : kModifierKeys)
    if (modifiers & m.bit) out[n++] = keyInputFor(m.virtualKey, up);
  if (!up && keyCode != 0) out[n++] = keyInputFor(keyCode, false);
  return n;
}

OutputStage::OutputStage(TimerPool& pool, InputSink& sink, TimerService& timers)
    : pool_(pool), sink_(sink), timers_(timers) {}

bool OutputStage::onQueuedEvent(EventQueue& queue) {
  ActionEvent e;
  for (std::size_t i = 0; i < kEventsPerMessage && queue.remove(e); ++i) handleEvent(e);
  return queue.size() > 0;
}

void OutputStage::handleEvent(ActionEvent e) {
  if (e.eventType != kKeyEvent) {
    perform(e);
    return;
  }
  if (!e.pressed) {
    // Every release stops whatever auto-repeats now, whichever control it belongs to.
    e.timerId = state_.CurrentRepeatTimer;
    perform(e);
    state_.CurrentRepeatTimer = kNoTimer;
    return;
  }
  const std::uint16_t started = perform(e);
  if (started == kNoTimer) return;
  // Only one action repeats: release the one that repeated so far. Its release stops its timer
  // and frees its entry itself; freeing the entry again here could free the deferred release
  // that has just taken the same index, and that key would then stay down.
  const std::uint16_t previous = state_.CurrentRepeatTimer;
  if (previous != kNoTimer && pool_.inUse(previous)) {
    ActionEvent old = *pool_.lookUp(previous);
    old.pressed = 0;
    perform(old);
  }
  state_.CurrentRepeatTimer = started;
}

void OutputStage::onTimer(std::uint16_t id) {
  if (id == kUpRetryTimer) {
    retryRefusedUps();
    return;
  }
  timers_.stopTimer(id);
  // A timer whose entry is gone (stopped, with its message already waiting) is ignored.
  if (!pool_.inUse(id)) return;
  ActionEvent e = *pool_.lookUp(id);
  if (e.phase == kPhaseDeferredRelease) {
    perform(e);
  } else if (e.sequence > state_.CancelledSequence || state_.RepeatWrapCount > 0) {
    // Modifiers still held by their control are not pressed again: a repeat sends the key.
    e.modifiers = static_cast<std::uint16_t>(e.modifiers & ~state_.ActiveModifiers);
    state_.CurrentRepeatTimer = perform(e);
  } else if (state_.CurrentRepeatTimer == id) {
    state_.CurrentRepeatTimer = kNoTimer;
  }
  pool_.free(id);
}

std::uint16_t OutputStage::perform(ActionEvent e) {
  if (e.eventType == kWheelEvent) {
    sendWheel(e.wheelAmount);
    return kNoTimer;
  }
  if (e.eventType != kKeyEvent) return kNoTimer;
  if (e.pressed) return performPress(e);
  if (e.syncRelease)
    performSyncRelease(e);
  else if (e.phase == kPhaseOrdinary)
    deferRelease(e);
  else
    fireDeferredRelease(e);
  return kNoTimer;
}

std::uint16_t OutputStage::performPress(ActionEvent& e) {
  if (e.modifiers != 0 && state_.ActiveModifiers == 0) suspendNumLock();
  state_.ActiveModifiers = static_cast<std::uint16_t>(state_.ActiveModifiers | e.modifiers);
  // A modifier kept down by a pending deferred release is not pressed again.
  e.modifiers = static_cast<std::uint16_t>(e.modifiers & ~state_.LatchedModifiers);
  if (!e.syncRelease && e.keyCode != state_.HeldKey) {
    if (state_.HeldKey != kNoKey) {
      sendKeys(0, state_.HeldKey, true);
      state_.ReleasedSequence = state_.HeldSequence;
      state_.HeldSequenceWrapped = false;
    }
    state_.HeldKey = e.keyCode;
  }
  sendKeys(e.modifiers, e.keyCode, false);
  if (e.repeatPeriod == 0 || e.repeatPeriod == 0xFFFF) return kNoTimer;
  const std::uint16_t index = pool_.allocate(e);
  if (index == kNoTimer) return kNoTimer;  // pool full: held without repeating
  state_.RepeatSequence = static_cast<std::uint16_t>(state_.RepeatSequence + 1);
  ActionEvent& entry = *pool_.lookUp(index);
  entry.timerId = index;
  entry.sequence = state_.RepeatSequence;
  entry.phase = kPhaseOrdinary;
  if (state_.RepeatSequence == 0xFFFF) ++state_.RepeatWrapCount;
  timers_.startTimer(index, std::uint32_t{e.repeatPeriod} * 10);
  return index;
}

void OutputStage::stopRepeat(std::uint16_t timerId) {
  timers_.stopTimer(timerId);
  if (!pool_.inUse(timerId)) return;
  state_.CancelledSequence = pool_.lookUp(timerId)->sequence;
  state_.RepeatWrapCount = 0;
  pool_.free(timerId);
}

void OutputStage::performSyncRelease(ActionEvent& e) {
  if (e.timerId != kNoTimer) stopRepeat(e.timerId);
  state_.ActiveModifiers = static_cast<std::uint16_t>(state_.ActiveModifiers & ~e.modifiers);
  state_.LatchedModifiers = static_cast<std::uint16_t>(state_.LatchedModifiers & ~e.modifiers);
  finishRelease(e);
}

void OutputStage::deferRelease(ActionEvent& e) {
  if (e.timerId != kNoTimer) stopRepeat(e.timerId);
  if (e.modifiers != 0) {
    ++state_.LatchedModifierCount;
    state_.ActiveModifiers = static_cast<std::uint16_t>(state_.ActiveModifiers & ~e.modifiers);
    state_.LatchedModifiers = static_cast<std::uint16_t>(state_.LatchedModifiers | e.modifiers);
  }
  if (e.keyCode != 0) {
    if (e.keyCode == state_.HeldKey) {
      ++state_.HeldKeyCount;
      state_.HeldSequence = static_cast<std::uint16_t>(state_.HeldSequence + 1);
      e.sequence = state_.HeldSequence;
      if (state_.HeldSequence == 0xFFFF) state_.HeldSequenceWrapped = true;
    } else {
      // A later non-sync press has sent this key up already. Counting its release would let it
      // hold the count above 0 when the held key's own release fires, and that key would stay
      // down for good.
      e.keyCode = 0;
    }
  }
  e.phase = kPhaseDeferredRelease;
  const std::uint16_t index = pool_.allocate(e);
  if (index == kNoTimer) {
    // No timer can carry it: release now rather than leave the keys down.
    fireDeferredRelease(e);
    return;
  }
  pool_.lookUp(index)->timerId = index;
  timers_.startTimer(index, kDeferredReleaseMs);
}

void OutputStage::fireDeferredRelease(ActionEvent& e) {
  if (e.modifiers != 0) {
    if (state_.LatchedModifierCount > 0) --state_.LatchedModifierCount;
    if (state_.LatchedModifierCount > 0) {
      e.modifiers = 0;
    } else {
      // The last pending release lets go of every latched modifier, also those of earlier
      // overlapping releases with other modifiers, which would otherwise stay down.
      e.modifiers = static_cast<std::uint16_t>(e.modifiers | state_.LatchedModifiers);
      state_.LatchedModifiers = 0;
    }
  }
  if (e.keyCode != 0) {
    if (state_.HeldKeyCount > 0) --state_.HeldKeyCount;
    // Whichever pending release fires last lets the held key go, when a control released it
    // since it went down. Deferred releases need not fire in the order they were made: a
    // window flooded with posted messages gets no WM_TIMER until the flood ends, and then every
    // due timer at once in the system's order. Deciding by this release's own stamp would keep
    // the key down whenever an older release happened to fire last.
    if (state_.HeldKeyCount == 0 &&
        (state_.HeldSequence != state_.ReleasedSequence || state_.HeldSequenceWrapped)) {
      e.keyCode = state_.HeldKey;
      state_.HeldKey = kNoKey;
      state_.ReleasedSequence = state_.HeldSequence;
      state_.HeldSequenceWrapped = false;
    } else {
      e.keyCode = 0;  // released by a later press already, or another pending release holds it
    }
  }
  finishRelease(e);
}

void OutputStage::finishRelease(const ActionEvent& e) {
  sendKeys(e.modifiers, e.keyCode, true);
  if (state_.LatchedModifierCount == 0 && state_.ActiveModifiers == 0) restoreNumLock();
}

void OutputStage::sendKeys(std::uint16_t modifiers, std::uint8_t keyCode, bool up) {
  KeyInput batch[6];
  const std::size_t n = keyBatch(modifiers, keyCode, up, batch);
  if (n == 0) return;
  sendBatch(std::span<const KeyInput>(batch, n));
}

void OutputStage::sendBatch(std::span<const KeyInput> batch) {
  const std::size_t accepted = std::min(sink_.sendKeys(batch), batch.size());
  for (std::size_t i = 0; i < batch.size(); ++i) {
    const std::uint8_t code = codeOf(batch[i]);
    if (i < accepted) {
      keysDown_[code] = !batch[i].up;
      upRefused_[code] = false;
    } else if (batch[i].up && keysDown_[code]) {
      upRefused_[code] = true;  // still down in the system: try again until it goes up
    }
    // A down the system refused never went down: nothing to undo later.
  }
  if (upRefused_.any() && !retryRunning_) {
    retryRunning_ = true;
    timers_.startTimer(kUpRetryTimer, kUpRetryMs);
  }
}

void OutputStage::retryRefusedUps() {
  if (upRefused_.any()) {
    std::array<KeyInput, 256> batch{};
    const std::size_t n = upBatch(upRefused_, batch);
    sendBatch(std::span<const KeyInput>(batch.data(), n));
  }
  if (upRefused_.none()) {
    timers_.stopTimer(kUpRetryTimer);
    retryRunning_ = false;
  }
}

void OutputStage::sendWheel(std::int32_t notches) { sink_.sendWheel(notches * kWheelDelta); }

void OutputStage::tapNumLock() {
  // Two separate calls, as a keyboard would send them.
  const KeyInput down{kVkNumLock, false, false};
  const KeyInput up{kVkNumLock, false, true};
  sink_.sendKeys(std::span<const KeyInput>(&down, 1));
  sink_.sendKeys(std::span<const KeyInput>(&up, 1));
}

void OutputStage::suspendNumLock() {
  // With Num Lock on, the system would turn Shift with a keypad key into the unshifted key.
  if (state_.NumLockSuspended) return;
  state_.NumLockSuspended = true;
  state_.NumLockWasOn = sink_.numLockOn();
  if (state_.NumLockWasOn) tapNumLock();
}

void OutputStage::restoreNumLock() {
  if (state_.NumLockWasOn && state_.NumLockSuspended) tapNumLock();
  state_.NumLockSuspended = false;
}

void OutputStage::releaseEverything() {
  for (std::uint16_t i = 0; i < TimerPool::kEntries; ++i) {
    if (!pool_.inUse(i)) continue;
    timers_.stopTimer(i);
    pool_.free(i);
  }
  timers_.stopTimer(kUpRetryTimer);
  retryRunning_ = false;
  std::array<KeyInput, 256> batch{};
  const std::size_t n = upBatch(keysDown_, batch);
  // The engine is ending: there is no later chance to send again what the system refuses now.
  if (n != 0) sink_.sendKeys(std::span<const KeyInput>(batch.data(), n));
  keysDown_.reset();
  upRefused_.reset();
  const KeyboardState before = state_;
  state_ = KeyboardState{};
  state_.NumLockSuspended = before.NumLockSuspended;
  state_.NumLockWasOn = before.NumLockWasOn;
  restoreNumLock();
}

bool OutputStage::idle() const {
  return state_.ActiveModifiers == 0 && state_.LatchedModifiers == 0 &&
         state_.LatchedModifierCount == 0 && state_.HeldKeyCount == 0 &&
         state_.CurrentRepeatTimer == kNoTimer && !state_.NumLockSuspended && keysDown_.none() &&
         !retryRunning_ && pool_.freeCount() == TimerPool::kEntries;
}

}  // namespace ringdeck
