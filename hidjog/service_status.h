// The status the engine reports to the service controller, as a plain record the glue copies
// into SERVICE_STATUS.
#pragma once

#include <cstdint>

#include "engine_setup.h"

namespace ringdeck::engine {

struct ServiceStatusRecord {
  std::uint32_t serviceType;  // own process, interactive
  std::uint32_t currentState;
  std::uint32_t controlsAccepted;  // none while start-pending, otherwise stop
  std::uint32_t win32ExitCode;
  std::uint32_t serviceExitCode;
  std::uint32_t checkPoint;  // 0 when running or stopped, otherwise 1, 2, 3, ...
  std::uint32_t waitHint;
};

class ServiceStatusModel {
 public:
  static constexpr std::uint32_t kServiceType = 0x110;
  static constexpr std::uint32_t kAcceptStop = 1;

  ServiceStatusRecord next(ServiceState state, std::uint32_t exitCode, std::uint32_t waitHint);
  // The control handler reports the current state again after every control code.
  ServiceStatusRecord again(std::uint32_t exitCode, std::uint32_t waitHint) {
    return next(state_, exitCode, waitHint);
  }
  void setState(ServiceState state) { state_ = state; }
  ServiceState state() const { return state_; }

 private:
  ServiceState state_ = ServiceState::Stopped;
  std::uint32_t checkPoint_ = 1;
};

}  // namespace ringdeck::engine
