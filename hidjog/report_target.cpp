#include "report_target.h"

#include "protocol.h"

namespace ringdeck::engine {

std::uintptr_t ReportTarget::handleRequest(std::uintptr_t wParam, WindowId window) {
  switch (wParam) {
    case kReportRegister: {
      if (window == 0) return 3;
      WindowId none = 0;
      return target_.compare_exchange_strong(none, window) ? 0 : 2;
    }
    case kReportStop:
      return target_.exchange(0) != 0 ? 0 : 2;
    case kReportExchange:
      return target_.exchange(window);
    default:
      return 1;
  }
}

bool ReportTarget::offer(ReportSender& sender, const std::array<std::uint8_t, 8>& report) {
  WindowId target = target_.load();
  if (target == 0) return false;
  auto word = [&](int at) {
    return static_cast<std::uint32_t>(report[at]) | static_cast<std::uint32_t>(report[at + 1]) << 8 |
           static_cast<std::uint32_t>(report[at + 2]) << 16 |
           static_cast<std::uint32_t>(report[at + 3]) << 24;
  };
  const std::uintptr_t reply = sender.sendReportNotify(target, word(0), word(4));
  if (reply == kReportTaken) return true;
  if (reply != kReportNotTaken) {
    // Drop only the target that failed: a new one registered meanwhile stays.
    target_.compare_exchange_strong(target, 0);
  }
  return false;
}

}  // namespace ringdeck::engine
