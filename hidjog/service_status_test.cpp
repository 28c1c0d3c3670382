#include "service_status.h"

#include <gtest/gtest.h>

namespace ringdeck::engine {
namespace {

TEST(ServiceStatus, CheckpointsCountOnlyPendingStatesAndStopIsAcceptedOnceStarted) {
  ServiceStatusModel m;
  auto s = m.next(ServiceState::StartPending, 0, 15000);
  EXPECT_EQ(s.serviceType, 0x110u);
  EXPECT_EQ(s.currentState, 2u);
  EXPECT_EQ(s.controlsAccepted, 0u);
  EXPECT_EQ(s.checkPoint, 1u);
  EXPECT_EQ(s.waitHint, 15000u);
  s = m.next(ServiceState::Running, 0, 0);
  EXPECT_EQ(s.checkPoint, 0u);
  EXPECT_EQ(s.controlsAccepted, 1u);
  m.setState(ServiceState::StopPending);
  s = m.again(0, 0);
  EXPECT_EQ(s.currentState, 3u);
  EXPECT_EQ(s.checkPoint, 2u);
  s = m.again(0, 0);
  EXPECT_EQ(s.checkPoint, 3u);
  s = m.next(ServiceState::Stopped, 1063, 0);
  EXPECT_EQ(s.checkPoint, 0u);
  EXPECT_EQ(s.win32ExitCode, 1063u);
  EXPECT_EQ(s.serviceExitCode, 0u);
}

}  // namespace
}  // namespace ringdeck::engine
