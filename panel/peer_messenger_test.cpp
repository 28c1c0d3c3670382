#include "peer_messenger.h"

#include <gtest/gtest.h>

namespace ringdeck::panel {
namespace {

TEST(HelperProgramPath, BesideTheControlPanel) {
  EXPECT_EQ(helperProgramPath("C:\\Program Files\\RingDeck\\Orvanel RingDeck.exe"),
            "C:\\Program Files\\RingDeck\\RingDeck Helper.exe");
  EXPECT_EQ(helperProgramPath("C:\\Orvanel RingDeck.exe"), "C:\\RingDeck Helper.exe");
  EXPECT_EQ(helperProgramPath("Orvanel RingDeck.exe"), "RingDeck Helper.exe");
  EXPECT_EQ(helperProgramPath("C:\\odd\\"), "C:\\odd\\RingDeck Helper.exe");
}

}  // namespace
}  // namespace ringdeck::panel
