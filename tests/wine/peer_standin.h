// What a test sees of the peer_standin program's report target.
#pragma once

namespace ringdeck::wine {

inline constexpr const char* kPanelStandInClass = "RingDeckTestPanelStandIn";
// The stand-in's caption once the engine has taken its window as the report target.
inline constexpr const char* kPanelStandInRegistered = "registered";

}  // namespace ringdeck::wine
