// Names and codes by which the four programs meet at run time.
#pragma once

#include <cstdint>

namespace ringdeck {

// Registered window messages (RegisterWindowMessageA).
inline constexpr const char* kMsgReportRequest = "Orvanel.RingDeck.Engine.Report.Request";
inline constexpr const char* kMsgReportNotify = "Orvanel.RingDeck.Engine.Report.Notify";
inline constexpr const char* kMsgStatusRequest = "Orvanel.RingDeck.Engine.Status.Request";
inline constexpr const char* kMsgStatusNotify = "Orvanel.RingDeck.Engine.Status.Notify";
inline constexpr const char* kMsgChangeCurrentPreference =
    "Orvanel.RingDeck.Engine.Change.Current.Preference";
inline constexpr const char* kMsgReloadAllPreferences =
    "Orvanel.RingDeck.Engine.Reload.All.Preferences";

// Window classes found with FindWindowA, and the control panel's window title.
inline constexpr const char* kEngineWindowClass = "RingDeck Engine";
inline constexpr const char* kHelperWindowClass = "RingDeck Helper";
inline constexpr const char* kPanelWindowTitle = "Orvanel RingDeck";

// Replies to Report.Notify; any other reply drops the report target.
inline constexpr std::uint32_t kReportTaken = 0x3F8B3;
inline constexpr std::uint32_t kReportNotTaken = 0x4208C;

// Report.Request's wParam.
inline constexpr std::uint32_t kReportRegister = 1;
inline constexpr std::uint32_t kReportStop = 2;
inline constexpr std::uint32_t kReportExchange = 3;

// The engine's shared-memory image of all sets.
inline constexpr const char* kSharedImageName = "HidJogPrefSharedImage";

// Appended to the system directory.
inline constexpr const char* kSettingsFileName = "\\OrvanelRingDeck.pref";

}  // namespace ringdeck
