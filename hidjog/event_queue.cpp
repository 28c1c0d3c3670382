#include "event_queue.h"

namespace ringdeck {

namespace {
constexpr std::size_t next(std::size_t i) { return i + 1 == EventQueue::kCells ? 0 : i + 1; }
}  // namespace

EventQueue::EventQueue() : cells_(std::make_unique<ActionEvent[]>(kCells)) {}

bool EventQueue::insert(const ActionEvent& event) { return insertWithin(event, kCapacity - kReleaseReserve); }

bool EventQueue::insertRelease(const ActionEvent& event) { return insertWithin(event, kCapacity); }

bool EventQueue::insertWithin(const ActionEvent& event, std::size_t limit) {
  std::lock_guard<std::mutex> lock(insertLock_);
  const std::size_t w = write_.load(std::memory_order_relaxed);
  // The remover publishes read_ after it has copied the cell out, so the cell is free to reuse.
  const std::size_t r = read_.load(std::memory_order_acquire);
  const std::size_t waiting = w >= r ? w - r : w + kCells - r;
  if (waiting >= limit) return false;
  const std::size_t n = next(w);
  cells_[w] = event;
  write_.store(n, std::memory_order_release);
  return true;
}

bool EventQueue::remove(ActionEvent& out) {
  const std::size_t r = read_.load(std::memory_order_relaxed);
  if (r == write_.load(std::memory_order_acquire)) return false;
  out = cells_[r];
  read_.store(next(r), std::memory_order_release);
  return true;
}

std::size_t EventQueue::size() const {
  const std::size_t r = read_.load(std::memory_order_acquire);
  const std::size_t w = write_.load(std::memory_order_acquire);
  return w >= r ? w - r : w + kCells - r;
}

}  // namespace ringdeck
