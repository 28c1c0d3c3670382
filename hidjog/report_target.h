// The one window that borrows the raw device reports (the control panel while it is in front).
// Report.Request runs on the engine window's thread; readers offer reports from their own threads
// and may drop a target that stops answering properly, so the target is a single atomic value.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>

namespace ringdeck::engine {

using WindowId = std::uintptr_t;  // a window handle as a number; 0 = none

// How long a reader thread waits for the report target's reply to Report.Notify, and the engine
// for the helper's to Status.Notify. A window that answers at all answers a sent message in well
// under a millisecond; 250 ms is long past that yet short enough that a device whose target hung
// (a stuck dialog, a program under a debugger) comes back before the person gives up on it.
inline constexpr std::uint32_t kNotifyWaitMs = 250;
// The reply of a window that did not answer in time, or could not be sent to.
inline constexpr std::uintptr_t kNoAnswer = 0;

class ReportSender {
 public:
  virtual ~ReportSender() = default;
  // Sends Report.Notify to the target and waits at most kNotifyWaitMs for its reply; kNoAnswer
  // when there was none.
  virtual std::uintptr_t sendReportNotify(WindowId target, std::uint32_t low, std::uint32_t high) = 0;
};

class ReportTarget {
 public:
  // Report.Request: 1 registers when there is no target, 2 stops, 3 exchanges.
  std::uintptr_t handleRequest(std::uintptr_t wParam, WindowId window);

  // Offers a raw report to the target, if any. True when the target took it (the engine then
  // does not act on it). A reply other than taken / not taken (kNoAnswer included: a target
  // that stopped answering) drops the target, and the report is the engine's.
  bool offer(ReportSender& sender, const std::array<std::uint8_t, 8>& report);

  WindowId current() const { return target_.load(); }

 private:
  std::atomic<WindowId> target_{0};
};

}  // namespace ringdeck::engine
