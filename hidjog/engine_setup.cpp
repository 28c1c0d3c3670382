#include "engine_setup.h"

#include "protocol.h"

namespace ringdeck::engine {
namespace {

constexpr std::size_t kCommandLimit = 2048;  // registered command with its NUL
constexpr std::string_view kRunArgument = "-run";
constexpr int kQuitWaits = 50;
constexpr std::uint32_t kQuitWaitMs = 100;
// A service that never leaves stop-pending must not hang the uninstaller.
constexpr int kStopPolls = 60;

const char* runKeyFor(PlatformKind platform) {
  return platform == PlatformKind::Windows9x ? kRunServicesKey : kRunKey;
}

}  // namespace

PlatformKind platformKind(std::uint32_t platformId, std::uint32_t majorVersion) {
  if (platformId == 1) return PlatformKind::Windows9x;
  if (platformId == 2) return majorVersion >= 6 ? PlatformKind::NtSession : PlatformKind::NtService;
  return PlatformKind::Unknown;
}

std::string registeredCommand(const std::string& enginePath) {
  return "\"" + enginePath + "\" " + std::string(kRunArgument);
}

int installEngine(PlatformKind platform, ServiceControl& services, SetupDesktop& desktop) {
  std::string path;
  if (!desktop.modulePath(kCommandLimit - 2 - kRunArgument.size(), path)) {
    desktop.message(kMsgUnableToRegister, MessageIcon::Exclamation);
    return 0;
  }
  if (path.size() + kRunArgument.size() + 4 >= kCommandLimit) return 0;
  const std::string command = registeredCommand(path);

  if (platform == PlatformKind::NtService) {
    if (!services.openManager() || !services.createService(command)) {
      desktop.message(kMsgUnableToRegister, MessageIcon::Exclamation);
    } else {
      desktop.message(kMsgRegistered, MessageIcon::Information);
      if (!services.startService()) desktop.message(kMsgUnableToStart, MessageIcon::Exclamation);
    }
    services.closeAll();
    return 0;
  }
  if (platform == PlatformKind::Unknown) return 0;

  if (!desktop.setRunValue(runKeyFor(platform), command)) {
    desktop.message(kMsgUnableToRegister, MessageIcon::Exclamation);
    return 0;
  }
  // Installing over a running engine must not start a second one: both would send every key.
  if (desktop.windowExists(kEngineWindowClass)) return 0;
  if (!desktop.startProcess(command)) desktop.message(kMsgUnableToStart, MessageIcon::Stop);
  return 0;
}

int removeEngine(PlatformKind platform, ServiceControl& services, SetupDesktop& desktop) {
  if (desktop.windowExists(kHelperWindowClass)) desktop.postQuit(kHelperWindowClass);

  if (platform == PlatformKind::NtService) {
    if (!services.openManager()) {
      desktop.message(kMsgNoServiceManager, MessageIcon::Exclamation);
      return 0;
    }
    if (!services.openService()) {
      desktop.message(kMsgRegistrationNotFound, MessageIcon::Exclamation);
      services.closeAll();
      return 0;
    }
    if (services.requestStop()) {
      ServiceState state = services.queryState();
      for (int polls = 0; state == ServiceState::StopPending && polls < kStopPolls; ++polls) {
        desktop.sleepMs(1000);
        state = services.queryState();
      }
      if (state != ServiceState::Stopped) desktop.message(kMsgUnableToUnregister, MessageIcon::Exclamation);
    }
    if (services.deleteService()) {
      desktop.message(kMsgUnregistered, MessageIcon::Information);
    } else {
      desktop.message(kMsgUnableToUnregister, MessageIcon::Exclamation);
    }
    services.closeAll();
    return 0;
  }
  if (platform == PlatformKind::Unknown) return 0;

  if (!desktop.deleteRunValue(runKeyFor(platform))) {
    desktop.message(kMsgUnableToUnregister, MessageIcon::Exclamation);
  }
  if (!desktop.windowExists(kEngineWindowClass)) {
    desktop.message(kMsgUnableToStop, MessageIcon::Exclamation);
    return 0;
  }
  desktop.sendQuit(kEngineWindowClass);
  for (int waits = 0; desktop.windowExists(kEngineWindowClass); ++waits) {
    if (waits == kQuitWaits) {
      desktop.message(kMsgUnableToStop, MessageIcon::Exclamation);
      break;
    }
    desktop.sleepMs(kQuitWaitMs);
  }
  return 0;
}

}  // namespace ringdeck::engine
