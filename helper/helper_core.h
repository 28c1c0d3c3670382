// The helper's whole behaviour behind its tray icon: reading the settings file in either mode,
// the set menu and its check mark, icon and tooltip, picks, reloads and AutoSwitch. The Win32
// glue feeds it messages and implements the small interfaces below.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app_set_map.h"
#include "file_access.h"
#include "reach.h"

namespace ringdeck::helper {

enum class HelperMode { AutoSwitch, Plain };

// Menu commands (WM_COMMAND identifiers).
inline constexpr std::uint32_t kCommandQuit = 1;
inline constexpr std::uint32_t kCommandOpenPanel = 2;
inline constexpr std::uint32_t kCommandHelp = 3;
inline constexpr std::uint32_t kCommandFirstSet = 11;  // + menu position (or record index)

inline constexpr std::string_view kOpenPanelLabel = "Open RingDeck Control Panel...";
inline constexpr std::string_view kPlainGlobalLabel = "Default Settings";
inline constexpr std::string_view kUnnamedLabel = "Unnamed Settings";
inline constexpr std::string_view kTipWaiting = "Waiting for a engine status report";
inline constexpr std::string_view kTipNoEngine = "The engine is not running";
inline constexpr std::string_view kTipDisconnected = "Orvanel RingDeck device disconnected";

// Icon resources: the device (normal) and the device crossed out.
enum class IconImage : std::uint16_t { Normal = 103, Crossed = 104 };
enum class IconOperation { Add, Modify, Delete };

// The tooltip field of the notification record: 63 characters fit whole, a longer text becomes
// its first 60 characters and "...". present is false for an empty text, which then leaves the
// tooltip on screen as it was.
struct TooltipField {
  std::array<char, 64> text{};
  bool present = false;
};
TooltipField tooltipField(std::string_view text);

struct MenuEntry {
  bool separator = false;
  std::uint32_t command = 0;
  std::string label;
  bool checked = false;

  bool operator==(const MenuEntry&) const = default;
};
using MenuModel = std::vector<MenuEntry>;

// The engine as the helper reaches it.
class EngineLink {
 public:
  virtual ~EngineLink() = default;
  // Looks the engine window up anew and remembers it for the sends below.
  virtual bool findEngine() = 0;
  virtual void sendStatusRequest() = 0;
  // To the window last looked up; nothing happens when there is none.
  virtual void sendChangeCurrentPreference(std::uint32_t record) = 0;
};

class TrayIcon {
 public:
  virtual ~TrayIcon() = default;
  virtual bool update(IconOperation op, IconImage image, const TooltipField& tip) = 0;
  // A balloon notification from the icon (title at most 63, text at most 255 characters).
  virtual void balloon(std::string_view title, std::string_view text) = 0;
};

class Alerts {
 public:
  virtual ~Alerts() = default;
  // "Cannot open settings file." / "RingDeck Helper".
  virtual void cannotOpenSettings() = 0;
};

// What AutoSwitch needs to know about the desktop. Windows are opaque non-zero numbers.
using WindowId = std::uintptr_t;
struct FocusChain {
  WindowId focus = 0;                   // the focus window of the foreground thread, 0 if none
  std::vector<std::string> classNames;  // of the focus window and up to 31 ancestors
};
class ForegroundProbe {
 public:
  virtual ~ForegroundProbe() = default;
  virtual WindowId foregroundWindow() = 0;
  virtual FocusChain focusChain(WindowId foreground) = 0;
  // The module names (not paths) of the window's process in snapshot order; empty when the
  // snapshot fails.
  virtual std::vector<std::string> moduleNames(WindowId window) = 0;

  // The program of a window: its file name (not path, as written; empty when unknown) and
  // integrity level.
  struct Program {
    std::string fileName;
    IntegrityReading level;
  };
  virtual Program programOf(WindowId window) = 0;
  // The helper's own level; nothing on a system without integrity levels.
  virtual IntegrityReading ownIntegrity() = 0;
  // The engine window's process: running is false when there is no engine window.
  struct Engine {
    bool running = false;
    IntegrityReading level;
  };
  virtual Engine engineIntegrity() = 0;
};

// The icon as the helper last set it, with the tooltip that stays on screen.
struct IconState {
  bool present = false;
  IconImage image = IconImage::Normal;
  std::string tip;
};

class HelperCore {
 public:
  struct Ports {
    FileSystem& files;
    std::string settingsPath;
    EngineLink& engine;
    TrayIcon& icon;
    Alerts& alerts;
  };
  HelperCore(HelperMode mode, Ports ports, std::string_view ownProgramName);
  ~HelperCore();
  HelperCore(const HelperCore&) = delete;
  HelperCore& operator=(const HelperCore&) = delete;

  // Start-up: reads the file (and in AutoSwitch mode builds the menu for "*"); false when the
  // file cannot be read, and the helper must end.
  bool start();
  // Start-up: adds the icon and asks a running engine for its status.
  void showInitialIcon();
  // The end of the message loop: the icon goes.
  void removeIcon();

  void pick(std::uint32_t position);  // command kCommandFirstSet + position
  void onStatusNotify(std::uint32_t record, std::uint32_t deviceCount);
  void onReload(std::uint32_t panelRecord, std::uint32_t recordCount);
  void onTimer(ForegroundProbe& probe);

  HelperMode mode() const { return mode_; }
  const MenuModel& menu() const { return menu_; }
  const IconState& icon() const { return icon_; }
  std::int32_t checkedPosition() const { return checked_; }
  // Title and text of the last balloon shown, empty before the first.
  const std::string& lastBalloon() const { return lastBalloon_; }
  const std::string& currentKey() const { return currentKey_; }
  // Devices connected, as the engine's last Status.Notify told.
  std::uint32_t deviceCount() const { return reach_.deviceCount; }
  // Is there an application map from a successful read (AutoSwitch mode only)?
  bool hasMap() const { return tables_ != nullptr; }
  const AppSetList* currentList() const { return currentList_; }

  // Caps the memory of each read's arena (tests: a read that runs out of memory).
  void setArenaLimit(std::size_t bytes) { arenaLimit_ = bytes; }

 private:
  struct Tables;

  bool readPlain();
  bool readAutoSwitch();
  void buildMenuFor(std::string_view key);
  void appendPanelEntry(MenuModel& menu);
  MenuEntry* setEntry(std::int64_t position);
  void check(std::int64_t position, bool on);
  std::string checkedLabel();
  void showStatus(std::uint32_t deviceCount);
  void setIcon(IconOperation op, IconImage image, std::string_view text);
  void setUsual(IconOperation op, IconImage image, std::string_view text);
  bool warningWanted() const;
  void showWarning(IconOperation op);
  void refreshWarning();
  void checkFront(ForegroundProbe& probe, WindowId window);
  WindowId focusWindow(ForegroundProbe& probe);
  void sendRememberedSet();

  HelperMode mode_;
  Ports ports_;
  std::string ownName_;

  MenuModel menu_;
  std::uint32_t setEntries_ = 0;  // menu entries before the separator
  std::int32_t checked_ = 0;
  bool nothingChecked_ = true;
  IconState icon_;

  std::unique_ptr<Tables> tables_;
  AppSetList* currentList_ = nullptr;  // lives in tables_
  std::string currentKey_{"*"};
  std::size_t arenaLimit_ = SIZE_MAX;

  WindowId lastForeground_ = 0;
  WindowId lastFocusResult_ = 0;
  WindowId lastHandled_ = 0;

  // Whether the device's keys reach the window in front (whatever the mode).
  WindowId lastChecked_ = 0;
  ReachSituation reach_;
  std::string frontName_;
  // The icon as the engine's and the panel's messages set it; the warning only stands in for
  // its text while the image is the normal one.
  IconImage usualImage_ = IconImage::Normal;
  std::string usualTip_;
  bool warningShown_ = false;
  std::vector<std::string> warnedPrograms_;  // one balloon per program and run
  std::string lastBalloon_;
};

// The state a test reads from a running helper: mode, icon, tooltip, last balloon, device count,
// key and menu, one item a line.
std::string describeHelper(const HelperCore& core);

}  // namespace ringdeck::helper
