#include "service_status.h"

namespace ringdeck::engine {

ServiceStatusRecord ServiceStatusModel::next(ServiceState state, std::uint32_t exitCode,
                                             std::uint32_t waitHint) {
  state_ = state;
  ServiceStatusRecord r{};
  r.serviceType = kServiceType;
  r.currentState = static_cast<std::uint32_t>(state);
  r.controlsAccepted = state == ServiceState::StartPending ? 0 : kAcceptStop;
  r.win32ExitCode = exitCode;
  r.serviceExitCode = 0;
  r.checkPoint = state == ServiceState::Running || state == ServiceState::Stopped ? 0 : checkPoint_++;
  r.waitHint = waitHint;
  return r;
}

}  // namespace ringdeck::engine
