// The ring of ActionEvents between the reader threads (insert) and the engine window's thread
// (remove). 1025 cells hold at most 1024 events: one cell always stays free, so equal indexes
// mean empty.
#pragma once

#include <atomic>
#include <cstddef>
#include <memory>
#include <mutex>

#include "action_event.h"

namespace ringdeck {

class EventQueue {
 public:
  static constexpr std::size_t kCells = 1025;
  static constexpr std::size_t kCapacity = kCells - 1;

  EventQueue();
  EventQueue(const EventQueue&) = delete;
  EventQueue& operator=(const EventQueue&) = delete;

  // Any thread. Copies the event into the ring; false (and nothing stored) while 1024 wait.
  bool insert(const ActionEvent& event);
  // Engine window's thread only (the one remover, so no lock): the oldest event, or false.
  bool remove(ActionEvent& out);
  // Events waiting; exact only when no thread is inserting or removing.
  std::size_t size() const;

 private:
  std::unique_ptr<ActionEvent[]> cells_;  // allocated once
  std::mutex insertLock_;
  std::atomic<std::size_t> read_{0};
  std::atomic<std::size_t> write_{0};
};

}  // namespace ringdeck
