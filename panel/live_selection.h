// Picking a control by touching it on the device: while the control panel is in front it takes
// the engine's report stream, answers every report as taken (so the device types nothing), and
// selects in the user action list the control the report shows being operated.
//
// Owned by the main window and used on its thread only: the engine's reader thread waits in
// SendMessage while the window decodes, so nothing here is shared between threads.
#pragma once

#include <cstdint>
#include <optional>

namespace ringdeck::panel {

// The parts of a device report the selection looks at.
struct ReportState {
  std::int8_t shuttle = 0;    // -7 .. +7, 0 = centre
  std::uint8_t jog = 0;       // wraps around
  std::uint16_t buttons = 0;  // bit b: button b + 1 down

  bool operator==(const ReportState&) const = default;
};

// Report.Notify carries report bytes 0..3 in wParam and 4..7 in lParam, little-endian.
ReportState ReportStateOf(std::uint32_t wParam, std::uint32_t lParam);

// List positions of the user action list that a report can select.
inline constexpr int kJogLeftPosition = 13;
inline constexpr int kJogRightPosition = 14;
// "Shuttle in Left 7" is 15, "Shuttle in Right 7" is 29: position = zone + 22.
inline constexpr int kShuttleZoneOffset = 22;

class LiveSelection {
 public:
  bool baselinePending = true;
  ReportState lastReport{};
  bool liveSelectionEnabled = true;

  // Decode and select: the list position this report selects, nothing when it selects none.
  // Buttons, then the jog, then the shuttle: a later one overrides an earlier one of the same
  // report. While the switch is off the report is neither looked at nor kept.
  std::optional<int> DecodeAndSelect(std::uint32_t wParam, std::uint32_t lParam);

  // The stream was handed back: the first report after the next activation is only a baseline.
  void Deactivated() { baselinePending = true; }
};

// Report.Request as the window sends it when it hands the stream back: the previous listener
// returned to its place, or the listener cleared when taking over had failed.
struct ListenerRequest {
  std::uint32_t wParam;
  std::intptr_t lParam;
};
inline constexpr std::int32_t kNoPreviousListener = -1;
ListenerRequest HandBackRequest(std::int32_t previousListener);

}  // namespace ringdeck::panel
