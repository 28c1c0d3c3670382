// The helper's hidden window and the Win32 side of its ports: engine messages, the notification
// icon, message boxes and the foreground probe. Every rule lives in HelperCore.
#pragma once

#include <windows.h>

#include <memory>
#include <optional>
#include <string>

#include "helper_core.h"
#include "win32_file.h"

namespace ringdeck::helper::win32 {

// Answers the state query of tests and diagnostics: wParam names a window that receives the
// helper's state (describeHelper) as WM_COPYDATA with this dwData.
inline constexpr const char* kMsgStateQuery = "Orvanel.RingDeck.Helper.State.Query";
inline constexpr ULONG_PTR kStateCopyDataTag = 0x52444853;  // "SHDR"

inline constexpr UINT kNotifyCallback = WM_USER + 1;  // 1025
inline constexpr UINT_PTR kTimerId = 0;
inline constexpr UINT kTimerPeriodMs = 500;

struct Messages {
  UINT reloadAllPreferences = 0;
  UINT changeCurrentPreference = 0;
  UINT statusNotify = 0;
  UINT statusRequest = 0;
  UINT stateQuery = 0;
};

class HelperWindow : EngineLink, TrayIcon, Alerts, ForegroundProbe {
 public:
  HelperWindow(HINSTANCE instance, std::string ownProgramName);
  ~HelperWindow() override;
  HelperWindow(const HelperWindow&) = delete;
  HelperWindow& operator=(const HelperWindow&) = delete;

  // Start-up from the registration of the messages to the icon; returns the exit code to end
  // with at once, or nothing to go on with the message loop.
  std::optional<int> start();
  // After the message loop: the icon goes and the window with it.
  void finish();

 private:
  static LRESULT CALLBACK windowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  void handle(UINT msg, WPARAM wParam, LPARAM lParam);
  void command(UINT id);
  void showMenu();
  void startControlPanel();
  void openHelp();
  void answerStateQuery(HWND asker);

  // EngineLink
  bool findEngine() override;
  void sendStatusRequest() override;
  void sendChangeCurrentPreference(std::uint32_t record) override;
  // TrayIcon
  bool update(IconOperation op, IconImage image, const TooltipField& tip) override;
  void balloon(std::string_view title, std::string_view text) override;
  // Alerts
  void cannotOpenSettings() override;
  // ForegroundProbe
  WindowId foregroundWindow() override;
  FocusChain focusChain(WindowId foreground) override;
  std::vector<std::string> moduleNames(WindowId window) override;
  Program programOf(WindowId window) override;
  IntegrityReading ownIntegrity() override;
  Engine engineIntegrity() override;

  HINSTANCE instance_;
  std::string ownProgramName_;
  HWND hwnd_ = nullptr;
  HWND engine_ = nullptr;
  Messages messages_;
  ringdeck::win32::Win32FileSystem files_;
  std::unique_ptr<HelperCore> core_;
  std::optional<IntegrityReading> ownIntegrity_;  // read once: a token keeps its level
};

// The name of the first module of the helper's own process (its program file), at most 31
// characters.
std::string ownProgramName();

}  // namespace ringdeck::helper::win32
