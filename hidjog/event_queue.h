// The ring of ActionEvents between the reader threads (insert) and the engine window's thread
// (remove). 1025 cells hold at most 1024 events: one cell always stays free, so equal indexes
// mean empty.
//
// The last kReleaseReserve cells are kept for releases. A press refused when the queue is nearly
// full costs an action; a release refused would leave its key down system-wide until the user
// pressed it again. Releases waiting at any moment are bounded by the controls held: each held
// control (13 buttons and the shuttle zone per device, at most 16 devices) has at most one
// release outstanding, 224 in all; a press released at once (a jog step, a zone transition, a
// keystroke typed once) queues its release only when its press went in, so once presses are
// refused each reader adds at most one such release (two events) more. 224 + 16 x 2 = 256.
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
  static constexpr std::size_t kReleaseReserve = 256;

  EventQueue();
  EventQueue(const EventQueue&) = delete;
  EventQueue& operator=(const EventQueue&) = delete;

  // Any thread. Copies the event into the ring; false (and nothing stored) while
  // kCapacity - kReleaseReserve wait: presses and wheel turns never take the reserve.
  bool insert(const ActionEvent& event);
  // Any thread. A release (key event with pressed = 0): may also take the reserve; false only
  // while 1024 wait.
  bool insertRelease(const ActionEvent& event);
  // Engine window's thread only (the one remover, so no lock): the oldest event, or false.
  bool remove(ActionEvent& out);
  // Events waiting; exact only when no thread is inserting or removing.
  std::size_t size() const;

 private:
  bool insertWithin(const ActionEvent& event, std::size_t limit);

  std::unique_ptr<ActionEvent[]> cells_;  // allocated once
  std::mutex insertLock_;
  std::atomic<std::size_t> read_{0};
  std::atomic<std::size_t> write_{0};
};

}  // namespace ringdeck
