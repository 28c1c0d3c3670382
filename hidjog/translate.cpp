#include "translate.h"

namespace ringdeck {

namespace {

bool isSameAsLower(const SettingsRecord* set, int zone) {
  return set != nullptr &&
         set->slots[SlotIndex::shuttleZone(zone)].actionKind() == ActionKind::SameAsLower;
}

}  // namespace

ZoneMap::ZoneMap() { rebuild(nullptr); }

void ZoneMap::rebuild(const SettingsRecord* set) {
  zones_[kShuttleLimit] = 0;
  for (int step : {1, -1}) {
    int acting = 0;
    for (int z = step; z >= -kShuttleLimit && z <= kShuttleLimit; z += step) {
      if (!isSameAsLower(set, z)) acting = z;
      zones_[static_cast<std::size_t>(z + kShuttleLimit)] = static_cast<std::int8_t>(acting);
    }
  }
}

std::optional<std::int8_t> ZoneMap::zoneFor(int shuttleByte) const {
  if (shuttleByte < -kShuttleLimit || shuttleByte > kShuttleLimit) return std::nullopt;
  return zones_[static_cast<std::size_t>(shuttleByte + kShuttleLimit)];
}

EventTranslator::EventTranslator(EventQueue& queue, const TimerPool& pool, EngineWaker& waker)
    : queue_(queue), pool_(pool), waker_(waker) {}

void EventTranslator::setCurrentSet(const SettingsRecord* set) {
  set_ = set;
  zoneMap_.rebuild(set);
}

void EventTranslator::setSystemRepeatSpeed(unsigned speed) {
  systemRepeatPeriod_.store(ringdeck::systemRepeatPeriod(speed), std::memory_order_relaxed);
}

std::uint16_t EventTranslator::systemRepeatPeriod() const {
  return systemRepeatPeriod_.load(std::memory_order_relaxed);
}

bool EventTranslator::throttle() {
  const std::uint32_t freeEntries = pool_.freeCount();
  if (throttled_) {
    if (freeEntries <= kThrottleOffAbove) return true;
    throttled_ = false;
  }
  if (freeEntries < kThrottleOnBelow) {
    throttled_ = true;
    return true;
  }
  return false;
}

PressedAction EventTranslator::actionOf(int slot) const {
  PressedAction a;
  if (set_ == nullptr) return a;
  const ActionSlot& s = set_->slots[slot];
  a.kind = s.kind;
  a.modifiers = s.modifiers;
  // 0xFF is no virtual key, and the output stage uses it to mean "no key held": as a key it
  // could never be told apart from none and would stay down.
  a.keyCode = s.keyCode == kNoKey ? 0 : s.keyCode;
  a.wheelNotches = s.wheelNotches;
  a.repeatPeriod =
      s.actionKind() == ActionKind::KeystrokeSystemRepeat ? systemRepeatPeriod() : s.repeatPeriod;
  a.syncRelease = s.syncRelease != 0;
  return a;
}

bool EventTranslator::emit(const ActionEvent& e) {
  // A release may take the queue's reserve: a press lost costs an action, a release lost would
  // leave its key down.
  const bool release = e.eventType == kKeyEvent && e.pressed == 0;
  const bool queued = release ? queue_.insertRelease(e) : queue_.insert(e);
  if (!queued) ++dropped_;
  // Posted even when the queue was full: the message then takes a later event or none.
  waker_.wake();
  return queued;
}

void EventTranslator::tap(const PressedAction& a) {
  if (press(a)) release(a, false);
}

bool EventTranslator::press(const PressedAction& a) {
  switch (static_cast<ActionKind>(a.kind)) {
    case ActionKind::KeystrokeSystemRepeat:
      return emit(ActionEvent::key(a.repeatPeriod, a.modifiers, a.keyCode, true, a.syncRelease));
    case ActionKind::Keystroke:
      if (!emit(ActionEvent::key(a.repeatPeriod, a.modifiers, a.keyCode, true, a.syncRelease))) return false;
      // Typed once: the whole keystroke goes at the press; the release of the control is silent.
      if (a.repeatPeriod == kRepeatOnce)
        emit(ActionEvent::key(0, a.modifiers, a.keyCode, false, a.syncRelease));
      return true;
    case ActionKind::Modifiers:
      return emit(ActionEvent::key(0, a.modifiers, 0, true, a.syncRelease));
    case ActionKind::ScrollUp:
    case ActionKind::ScrollDown:
      return a.modifiers == 0 || emit(ActionEvent::key(0, a.modifiers, 0, true, a.syncRelease));
    default:
      return true;
  }
}

void EventTranslator::release(const PressedAction& a, bool undoOnly) {
  switch (static_cast<ActionKind>(a.kind)) {
    case ActionKind::KeystrokeSystemRepeat:
      emit(ActionEvent::key(a.repeatPeriod, a.modifiers, a.keyCode, false, a.syncRelease));
      break;
    case ActionKind::Keystroke:
      if (a.repeatPeriod != kRepeatOnce)
        emit(ActionEvent::key(a.repeatPeriod, a.modifiers, a.keyCode, false, a.syncRelease));
      break;
    case ActionKind::Modifiers:
      emit(ActionEvent::key(0, a.modifiers, 0, false, a.syncRelease));
      break;
    case ActionKind::ScrollUp:
    case ActionKind::ScrollDown:
      // The wheel turns at the release of the control; undoing a press turns nothing.
      if (!undoOnly) {
        const std::int32_t n = a.wheelNotches;
        emit(ActionEvent::wheel(a.kind == static_cast<std::uint16_t>(ActionKind::ScrollUp) ? n : -n,
                                a.syncRelease));
      }
      if (a.modifiers != 0) emit(ActionEvent::key(0, a.modifiers, 0, false, a.syncRelease));
      break;
    default:
      break;
  }
}

void EventTranslator::pressButton(DeviceInput& d, int b) {
  const PressedAction a = actionOf(SlotIndex::button(b));
  press(a);
  d.buttonPress_[static_cast<std::size_t>(b)] = a;
  d.pressedButtons_ = static_cast<std::uint16_t>(d.pressedButtons_ | (1u << b));
}

void EventTranslator::releaseButton(DeviceInput& d, int b, bool undoOnly) {
  const std::uint16_t bit = static_cast<std::uint16_t>(1u << b);
  if (d.pressedButtons_ & bit) {
    release(d.buttonPress_[static_cast<std::size_t>(b)], undoOnly);
    d.pressedButtons_ = static_cast<std::uint16_t>(d.pressedButtons_ & ~bit);
  } else if (!undoOnly) {
    // Held before the engine saw it (first report, or a report not acted on): released from
    // the current set, as the press would have been.
    release(actionOf(SlotIndex::button(b)), false);
  }
}

bool EventTranslator::decodeReport(DeviceInput& device, std::span<const std::uint8_t> report,
                                   ReportUse use) {
  if (report.size() != kReportSize) return false;
  const int shuttleByte = static_cast<std::int8_t>(report[1]);
  DeviceState now;
  now.jog = report[2];
  now.buttons = static_cast<std::uint16_t>(report[4] | (report[5] << 8));
  const std::optional<std::int8_t> zone = zoneMap_.zoneFor(shuttleByte);

  if (!device.started_) {
    now.zone = zone.value_or(0);
    device.previous_ = now;
    device.started_ = true;
    return true;
  }

  const DeviceState old = device.previous_;
  // A shuttle byte the device never sends: the shuttle part of the report is ignored.
  now.zone = zone.value_or(old.zone);
  device.previous_ = now;

  const bool act = use == ReportUse::Act && !throttle();
  const bool undoOnly = !act;

  const std::uint16_t changed = static_cast<std::uint16_t>(old.buttons ^ now.buttons);
  for (int b = 0; b < kButtonCount; ++b) {
    if (!(changed & (1u << b))) continue;
    if (now.buttons & (1u << b)) {
      if (act) pressButton(device, b);
    } else {
      releaseButton(device, b, undoOnly);
    }
  }

  if (act) {
    const auto d = static_cast<std::int8_t>(static_cast<std::uint8_t>(now.jog - old.jog));
    if (d != 0) {
      tap(actionOf(d > 0 ? SlotIndex::JogRight : SlotIndex::JogLeft));
    }
  }

  if (now.zone != old.zone) {
    if (device.zonePressed_) {
      release(device.zonePress_, undoOnly);
      device.zonePressed_ = false;
    } else if (act) {
      release(actionOf(SlotIndex::shuttleZone(old.zone)), false);
    }
    if (act) {
      tap(actionOf(now.zone > old.zone ? SlotIndex::transitionUp(old.zone)
                                       : SlotIndex::transitionDown(old.zone)));
      device.zonePress_ = actionOf(SlotIndex::shuttleZone(now.zone));
      press(device.zonePress_);
      device.zonePressed_ = true;
    }
  }
  return true;
}

void EventTranslator::releaseDevice(DeviceInput& device) {
  for (int b = 0; b < kButtonCount; ++b)
    if (device.pressedButtons_ & (1u << b)) releaseButton(device, b, true);
  if (device.zonePressed_) release(device.zonePress_, true);
  device = DeviceInput{};
}

}  // namespace ringdeck
