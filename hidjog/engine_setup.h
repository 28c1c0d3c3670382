// "-install" and "-remove": registering the engine to start with the system, starting it,
// stopping it and unregistering it, with every message the user may see.
//
// Three ways of running, by platform:
//  - NT 5.x: a service "RingDeckengine" (interactive, so it reaches the user's desktop);
//  - NT 6.0 and later: services run in session 0 and cannot reach the user's desktop, so the
//    engine runs in the user's session from a "Run" entry and is stopped with WM_QUIT;
//  - Windows 95/98/Me: a "RunServices" entry, stopped the same way.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace ringdeck::engine {

enum class PlatformKind { Windows9x, NtService, NtSession, Unknown };

// From GetVersionExA's platform identifier (1 = 95/98/Me, 2 = NT) and major version.
PlatformKind platformKind(std::uint32_t platformId, std::uint32_t majorVersion);

inline constexpr const char* kServiceName = "RingDeckengine";
inline constexpr const char* kServiceDisplayName = "RingDeck Engine";
inline constexpr const char* kRunValueName = "RingDeck Engine";
inline constexpr const char* kRunServicesKey = "Software\\Microsoft\\Windows\\CurrentVersion\\RunServices";
inline constexpr const char* kRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr const char* kSetupCaption = "RingDeck Engine";

inline constexpr std::string_view kMsgUnableToRegister = "Unable to register RingDeck engine";
inline constexpr std::string_view kMsgRegistered = "RingDeck engine has been successfully registered";
inline constexpr std::string_view kMsgUnableToStart = "Unable to start RingDeck engine";
inline constexpr std::string_view kMsgUnableToUnregister = "Unable to unregister RingDeck engine";
inline constexpr std::string_view kMsgUnableToStop = "Unable to stop RingDeck engine";
inline constexpr std::string_view kMsgNoServiceManager = "Unable to contact Service Control Manager";
inline constexpr std::string_view kMsgRegistrationNotFound = "RingDeck engine registration not found";
inline constexpr std::string_view kMsgUnregistered = "RingDeck engine has been successfully unregistered";

enum class MessageIcon { Exclamation, Information, Stop };

enum class ServiceState { Stopped = 1, StartPending = 2, StopPending = 3, Running = 4, Unknown = 0 };

// The service control manager, for one service (the glue fills in name, type and account).
class ServiceControl {
 public:
  virtual ~ServiceControl() = default;
  virtual bool openManager() = 0;
  virtual bool createService(const std::string& command) = 0;
  virtual bool openService() = 0;
  virtual bool startService() = 0;
  // True when the stop request was accepted.
  virtual bool requestStop() = 0;
  virtual ServiceState queryState() = 0;
  virtual bool deleteService() = 0;
  virtual void closeAll() = 0;
};

// Everything else setup touches on the desktop and in the registry.
class SetupDesktop {
 public:
  virtual ~SetupDesktop() = default;
  // The engine's own full path; nothing when it cannot be had within maxChars.
  virtual bool modulePath(std::size_t maxChars, std::string& path) = 0;
  virtual bool setRunValue(const char* key, const std::string& command) = 0;
  // False when the key cannot be opened or the value cannot be deleted.
  virtual bool deleteRunValue(const char* key) = 0;
  // Starts the command for the person logged on (on Vista and later through the desktop's shell,
  // so that an elevated "-install" does not hand its rights on).
  virtual bool startProcess(const std::string& command) = 0;
  virtual bool windowExists(const char* windowClass) = 0;
  virtual void postQuit(const char* windowClass) = 0;
  virtual void sendQuit(const char* windowClass) = 0;
  virtual void sleepMs(std::uint32_t ms) = 0;
  virtual void message(std::string_view text, MessageIcon icon) = 0;
};

// "\"<path>\" -run".
std::string registeredCommand(const std::string& enginePath);

// Both return the exit status (0: every failure is reported by a message).
int installEngine(PlatformKind platform, ServiceControl& services, SetupDesktop& desktop);
int removeEngine(PlatformKind platform, ServiceControl& services, SetupDesktop& desktop);

}  // namespace ringdeck::engine
