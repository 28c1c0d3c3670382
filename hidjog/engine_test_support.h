// Stand-ins for the platform used by the engine core's tests and benchmark: a virtual clock that
// plays the engine window's timers, a sink that records what would have been sent, and a rig
// that wires a whole engine core to them. Not part of any program.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <ostream>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "engine_seams.h"
#include "output_stage.h"
#include "translate.h"

namespace ringdeck {

// Readable ActionEvents in test failures.
inline void PrintTo(const ActionEvent& e, std::ostream* os) {
  *os << "{type " << int(e.eventType) << " period " << e.repeatPeriod << " timer " << e.timerId
      << " seq " << e.sequence << " sync " << e.syncRelease << " phase " << e.phase << " mods "
      << e.modifiers << " key " << int(e.keyCode) << " pressed " << e.pressed << " wheel "
      << e.wheelAmount << "}";
}

}  // namespace ringdeck

namespace ringdeck::testing {

// Periodic timers on a virtual clock in milliseconds, like SetTimer: a timer keeps firing every
// period until it is stopped. Fixed tables, no allocation.
class VirtualTimers final : public TimerService {
 public:
  // The pool's timers and the retry timer of refused key-ups.
  static constexpr std::uint16_t kTimerIds = kUpRetryTimer + 1;

  VirtualTimers() { position_.fill(kAbsent); }

  void startTimer(std::uint16_t id, std::uint32_t periodMs) override {
    if (id >= kTimerIds) return;
    if (position_[id] == kAbsent) {
      position_[id] = count_;
      active_[count_++] = id;
    }
    period_[id] = periodMs;
    due_[id] = now_ + periodMs;
    order_[id] = nextOrder_++;
  }
  void stopTimer(std::uint16_t id) override {
    if (id >= kTimerIds || position_[id] == kAbsent) return;
    const std::uint16_t last = active_[--count_];
    active_[position_[id]] = last;
    position_[last] = position_[id];
    position_[id] = kAbsent;
  }

  std::uint64_t now() const { return now_; }
  std::size_t running() const { return count_; }
  bool isRunning(std::uint16_t id) const { return id < kTimerIds && position_[id] != kAbsent; }

  // Lets ms pass, delivering every expiry in time order (ties in the order the timers were
  // started) to onTimer(id), as WM_TIMER would.
  template <typename OnTimer>
  void advance(std::uint64_t ms, OnTimer&& onTimer) {
    const std::uint64_t end = now_ + ms;
    for (;;) {
      std::uint16_t next = kAbsent;
      for (std::uint16_t i = 0; i < count_; ++i) {
        const std::uint16_t id = active_[i];
        if (due_[id] > end) continue;
        if (next == kAbsent || due_[id] < due_[next] ||
            (due_[id] == due_[next] && order_[id] < order_[next]))
          next = id;
      }
      if (next == kAbsent) break;
      now_ = due_[next];
      due_[next] += period_[next] == 0 ? 1 : period_[next];
      onTimer(next);
    }
    now_ = end;
  }

 private:
  static constexpr std::uint16_t kAbsent = 0xFFFF;
  std::uint64_t now_ = 0;
  std::uint64_t nextOrder_ = 0;
  std::uint16_t count_ = 0;
  std::array<std::uint16_t, kTimerIds> active_{};
  std::array<std::uint16_t, kTimerIds> position_{};
  std::array<std::uint64_t, kTimerIds> due_{};
  std::array<std::uint64_t, kTimerIds> order_{};
  std::array<std::uint32_t, kTimerIds> period_{};
};

// Records every batch as one line, "<ms> +Ctrl +C" (down), "<ms> -C -Ctrl" (up), a trailing *
// marking the extended flag; wheel inputs as "<ms> wheel <units>". Keeps track of which keys
// are down and of the Num Lock light.
class RecordingSink final : public InputSink {
 public:
  explicit RecordingSink(const VirtualTimers& clock) : clock_(clock) {}

  std::size_t sendKeys(std::span<const KeyInput> batch) override {
    if (refusing) {
      log.push_back(std::to_string(clock_.now()) + " refused");
      return 0;
    }
    std::string line = std::to_string(clock_.now());
    for (const KeyInput& k : batch) {
      line += k.up ? " -" : " +";
      line += keyName(k.virtualKey);
      if (k.extended) line += '*';
      const auto key = std::make_pair(k.virtualKey, k.extended);
      if (k.up) {
        down.erase(key);
      } else {
        if (k.virtualKey == kVkNumLock) numLock = !numLock;
        down.insert(key);
      }
    }
    log.push_back(line);
    return batch.size();
  }
  void sendWheel(std::int32_t units) override {
    log.push_back(std::to_string(clock_.now()) + " wheel " + std::to_string(units));
  }
  bool numLockOn() override { return numLock; }

  static std::string keyName(std::uint8_t vk) {
    switch (vk) {
      case 0x10: return "Shift";
      case 0x11: return "Ctrl";
      case 0x12: return "Alt";
      case 0x5B: return "Win";
      case 0x5D: return "Apps";
      case 0x0D: return "Enter";
      case 0x90: return "NumLock";
      default: break;
    }
    if ((vk >= 'A' && vk <= 'Z') || (vk >= '0' && vk <= '9')) return std::string(1, static_cast<char>(vk));
    char hex[8];
    std::snprintf(hex, sizeof hex, "vk%02X", vk);
    return hex;
  }

  std::vector<std::string> log;
  std::set<std::pair<std::uint8_t, bool>> down;
  bool numLock = false;
  // The system takes nothing (SendInput returns 0), as while the secure desktop is in front.
  bool refusing = false;

 private:
  const VirtualTimers& clock_;
};

class CountingWaker final : public EngineWaker {
 public:
  void wake() override { ++pending; }
  std::size_t pending = 0;
};

inline ActionSlot keystrokeSlot(std::uint16_t modifiers, std::uint8_t key, std::uint16_t repeat,
                                bool sync) {
  ActionSlot s{};
  s.kind = static_cast<std::uint16_t>(ActionKind::Keystroke);
  s.modifiers = modifiers;
  s.keyCode = key;
  s.wheelNotches = -1;
  s.repeatPeriod = repeat;
  s.syncRelease = sync ? 1 : 0;
  return s;
}
inline ActionSlot systemRepeatSlot(std::uint16_t modifiers, std::uint8_t key, bool sync) {
  ActionSlot s = keystrokeSlot(modifiers, key, kRepeatHold, sync);
  s.kind = static_cast<std::uint16_t>(ActionKind::KeystrokeSystemRepeat);
  return s;
}
inline ActionSlot modifiersSlot(std::uint16_t modifiers, bool sync) {
  ActionSlot s = keystrokeSlot(modifiers, 0, 0, sync);
  s.kind = static_cast<std::uint16_t>(ActionKind::Modifiers);
  return s;
}
inline ActionSlot scrollSlot(ActionKind kind, std::int8_t notches, std::uint16_t modifiers, bool sync) {
  ActionSlot s{};
  s.kind = static_cast<std::uint16_t>(kind);
  s.modifiers = modifiers;
  s.wheelNotches = notches;
  s.syncRelease = sync ? 1 : 0;
  return s;
}
inline ActionSlot kindSlot(ActionKind kind) {
  ActionSlot s{};
  s.kind = static_cast<std::uint16_t>(kind);
  return s;
}

inline std::array<std::uint8_t, kReportSize> report(int shuttle, std::uint8_t jog,
                                                    std::uint16_t buttons) {
  return {0, static_cast<std::uint8_t>(static_cast<std::int8_t>(shuttle)), jog, 0,
          static_cast<std::uint8_t>(buttons & 0xFF), static_cast<std::uint8_t>(buttons >> 8), 0, 0};
}

// A whole engine core on the virtual clock: reports go through decode, the queue (one 0x414 per
// wake, as the window would get them) and the output stage.
struct EngineRig {
  std::array<SettingsRecord, 2> sets{};
  EventQueue queue;
  TimerPool pool;
  CountingWaker waker;
  VirtualTimers timers;
  RecordingSink sink{timers};
  EventTranslator translator{queue, pool, waker};
  OutputStage output{pool, sink, timers};
  DeviceInput device;
  bool initialNumLock = false;

  EngineRig() { translator.setCurrentSet(&sets[0]); }

  ActionSlot& slot(int index, int set = 0) { return sets[static_cast<std::size_t>(set)].slots[index]; }
  void useSet(int set) { translator.setCurrentSet(&sets[static_cast<std::size_t>(set)]); }
  void setNumLock(bool on) { sink.numLock = initialNumLock = on; }

  // The device's state: shuttle position, jog counter, buttons. The first call only starts it.
  void state(int shuttle, std::uint8_t jog, std::uint16_t buttons, ReportUse use = ReportUse::Act) {
    const auto r = report(shuttle, jog, buttons);
    translator.decodeReport(device, r, use);
    pump();
  }
  void pump() {
    for (; waker.pending > 0; --waker.pending)
      if (output.onQueuedEvent(queue)) waker.wake();
  }
  void wait(std::uint64_t ms) {
    timers.advance(ms, [this](std::uint16_t id) { output.onTimer(id); });
  }
  // Nothing down, Num Lock as it was, no timer running, no entry in use, nothing queued.
  bool nothingHeld() const {
    return sink.down.empty() && output.refusedUps() == 0 && sink.numLock == initialNumLock && timers.running() == 0 &&
           output.idle() && queue.size() == 0;
  }
};

// Plays arbitrary bytes as two settings sets and a stream of things a user and the engine
// around the core can do: reports of any content and size, reports the target takes, waits,
// set switches, changes of the system repeat speed and a lost device. Bytes past the end read
// as 0. Used by the randomised property test and by the fuzzer.
class BytePlayer {
 public:
  explicit BytePlayer(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

  void play(EngineRig& rig) {
    for (int set = 0; set < 2; ++set)
      for (int index = 0; index < static_cast<int>(kSlotCount); ++index)
        if (isControlSlot(index)) rig.slot(index, set) = nextSlot();
    rig.setNumLock(next() & 1);
    while (pos_ < bytes_.size()) {
      const std::uint8_t op = next();
      switch (op % 8) {
        case 0:
        case 1:
        case 2:
          sendReport(rig, kReportSize, ReportUse::Act);
          break;
        case 3:
          rig.wait(std::uint64_t{next()} * 4);
          break;
        case 4:
          rig.useSet(next() & 1);
          break;
        case 5:
          sendReport(rig, kReportSize, ReportUse::StateOnly);
          break;
        case 6:
          sendReport(rig, next() % 12, ReportUse::Act);
          break;
        default:
          if (op & 0x80) {
            rig.translator.releaseDevice(rig.device);
            rig.pump();
          } else {
            rig.translator.setSystemRepeatSpeed(next());
          }
          break;
      }
    }
  }

 private:
  static bool isControlSlot(int i) {
    return i <= 1 || (i >= 4 && i <= 20) || (i >= 25 && i <= 38) || (i >= 43 && i <= 56) ||
           (i >= 60 && i <= 72);
  }
  std::uint8_t next() { return pos_ < bytes_.size() ? bytes_[pos_++] : 0; }
  ActionSlot nextSlot() {
    const std::uint8_t k = next();
    const std::uint8_t m = next();
    std::uint8_t c = next();
    if (c == kVkNumLock) ++c;  // a Num Lock key of the user's would change the light for good
    const bool sync = k & 0x80;
    const auto mods = static_cast<std::uint16_t>(m);  // unknown bits included
    switch (k % 10) {
      case 1: return kindSlot(ActionKind::SameAsLower);
      case 2: return systemRepeatSlot(mods, c, sync);
      case 3: return keystrokeSlot(mods, c, kRepeatOnce, sync);
      case 4: return keystrokeSlot(mods, c, kRepeatHold, sync);
      case 5: return keystrokeSlot(mods, c, static_cast<std::uint16_t>(1 + c % 40), sync);
      case 6: return modifiersSlot(mods, sync);
      case 7: return scrollSlot(ActionKind::ScrollUp, static_cast<std::int8_t>(c), mods, sync);
      case 8: return scrollSlot(ActionKind::ScrollDown, static_cast<std::int8_t>(c), mods, sync);
      case 9: {
        ActionSlot s = keystrokeSlot(mods, c, kRepeatHold, sync);
        s.kind = static_cast<std::uint16_t>(100 + k % 7);
        return s;
      }
      default: return ActionSlot{};
    }
  }
  void sendReport(EngineRig& rig, std::size_t size, ReportUse use) {
    std::array<std::uint8_t, 12> r{};
    for (std::size_t i = 0; i < size; ++i) r[i] = next();
    // Mostly plausible shuttle positions, so that zones and transitions get exercised.
    if (size == kReportSize && (r[0] & 1)) r[1] = static_cast<std::uint8_t>(static_cast<int>(r[1] % 15) - 7);
    rig.translator.decodeReport(rig.device, std::span<const std::uint8_t>(r.data(), size), use);
    rig.pump();
  }

  std::span<const std::uint8_t> bytes_;
  std::size_t pos_ = 0;
};

// What must hold after any history: once the device is lost and the deferred releases have
// had their time, the engine holds nothing.
inline bool releasesEverythingWhenTheDeviceIsLost(std::span<const std::uint8_t> bytes) {
  auto rig = std::make_unique<EngineRig>();
  BytePlayer(bytes).play(*rig);
  rig->translator.releaseDevice(rig->device);
  rig->pump();
  rig->wait(2000);
  return rig->nothingHeld();
}

// And when the engine stops instead, it holds nothing at once.
inline bool releasesEverythingWhenTheEngineStops(std::span<const std::uint8_t> bytes) {
  auto rig = std::make_unique<EngineRig>();
  BytePlayer(bytes).play(*rig);
  rig->output.releaseEverything();
  return rig->nothingHeld();
}

}  // namespace ringdeck::testing
