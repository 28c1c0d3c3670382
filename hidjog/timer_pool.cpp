#include "timer_pool.h"

namespace ringdeck {

TimerPool::TimerPool()
    : entries_(std::make_unique<ActionEvent[]>(kEntries)), used_(std::make_unique<bool[]>(kEntries)) {}

std::uint16_t TimerPool::allocate(const ActionEvent& event) {
  std::lock_guard<std::mutex> lock(lock_);
  for (std::uint32_t i = lowestMaybeFree_; i < kEntries; ++i) {
    if (used_[i]) continue;
    used_[i] = true;
    entries_[i] = event;
    lowestMaybeFree_ = i + 1;
    freeCount_.fetch_sub(1, std::memory_order_relaxed);
    return static_cast<std::uint16_t>(i);
  }
  lowestMaybeFree_ = kEntries;
  return kNoTimer;
}

void TimerPool::free(std::uint16_t index) {
  std::lock_guard<std::mutex> lock(lock_);
  if (index >= kEntries || !used_[index]) return;
  used_[index] = false;
  if (index < lowestMaybeFree_) lowestMaybeFree_ = index;
  freeCount_.fetch_add(1, std::memory_order_relaxed);
}

ActionEvent* TimerPool::lookUp(std::uint16_t index) {
  return index < kEntries ? &entries_[index] : nullptr;
}

bool TimerPool::inUse(std::uint16_t index) const { return index < kEntries && used_[index]; }

}  // namespace ringdeck
