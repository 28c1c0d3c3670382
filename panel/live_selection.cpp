#include "live_selection.h"

#include "protocol.h"

namespace ringdeck::panel {

ReportState ReportStateOf(std::uint32_t wParam, std::uint32_t lParam) {
  ReportState s;
  s.shuttle = static_cast<std::int8_t>(static_cast<std::uint8_t>(wParam >> 8));
  s.jog = static_cast<std::uint8_t>(wParam >> 16);
  s.buttons = static_cast<std::uint16_t>(lParam & 0xFFFF);
  return s;
}

std::optional<int> LiveSelection::DecodeAndSelect(std::uint32_t wParam, std::uint32_t lParam) {
  if (!liveSelectionEnabled) return std::nullopt;
  const ReportState now = ReportStateOf(wParam, lParam);
  if (baselinePending) {
    baselinePending = false;
    lastReport = now;
    return std::nullopt;
  }
  std::optional<int> selected;
  // A press and a release both select the button; the highest changed bit stays.
  for (int b = 0; b <= 12; ++b)
    if (((now.buttons ^ lastReport.buttons) >> b) & 1u) selected = b;
  // The counter wraps: 255 -> 0 is one step to the right.
  const auto d = static_cast<std::int8_t>(static_cast<std::uint8_t>(now.jog - lastReport.jog));
  if (d > 0) selected = kJogRightPosition;
  if (d < 0) selected = kJogLeftPosition;
  // Only outward moves select: the zone reached away from the centre.
  if (now.shuttle != lastReport.shuttle &&
      ((now.shuttle > 0 && now.shuttle > lastReport.shuttle) ||
       (now.shuttle < 0 && now.shuttle < lastReport.shuttle))) {
    // Positions outside -7..+7 are not the device's: nothing in the list stands for them.
    if (now.shuttle >= -7 && now.shuttle <= 7) selected = now.shuttle + kShuttleZoneOffset;
  }
  lastReport = now;
  return selected;
}

ListenerRequest HandBackRequest(std::int32_t previousListener) {
  if (previousListener == kNoPreviousListener) return {kReportStop, 0};
  return {kReportExchange, static_cast<std::intptr_t>(previousListener)};
}

}  // namespace ringdeck::panel
