// The fixed pool of pending repeats and deferred releases. An entry's index is also the
// identifier of the window timer that belongs to it (0..8191).
//
// Threads: allocate, free and the entries are used only by the engine window's thread; the lock
// guards allocate and free because reader threads read freeCount() for their throttle, without
// the lock.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

#include "action_event.h"

namespace ringdeck {

class TimerPool {
 public:
  static constexpr std::uint16_t kEntries = 8192;

  TimerPool();
  TimerPool(const TimerPool&) = delete;
  TimerPool& operator=(const TimerPool&) = delete;

  // Copies the event into the free entry with the lowest index; kNoTimer when none is free.
  std::uint16_t allocate(const ActionEvent& event);
  // An index out of range or not in use is ignored.
  void free(std::uint16_t index);
  // The entry at index, or nullptr beyond the last one. Says nothing about whether it is in use.
  ActionEvent* lookUp(std::uint16_t index);
  bool inUse(std::uint16_t index) const;
  std::uint32_t freeCount() const { return freeCount_.load(std::memory_order_relaxed); }

 private:
  std::unique_ptr<ActionEvent[]> entries_;  // allocated once
  std::unique_ptr<bool[]> used_;
  std::mutex lock_;
  std::atomic<std::uint32_t> freeCount_{kEntries};
  std::uint32_t lowestMaybeFree_ = 0;  // no entry below it is free; saves a scan per allocate
};

}  // namespace ringdeck
