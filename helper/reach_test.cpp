#include "reach.h"

#include <gtest/gtest.h>

namespace ringdeck::helper {
namespace {

constexpr IntegrityReading kUnreadable = std::nullopt;

TEST(KeysBlocked, ByTheLevelsOfHelperEngineAndProgramInFront) {
  struct Case {
    const char* what;
    ReachSituation situation;
    bool blocked;
  };
  const Case cases[] = {
      {"program lower than the engine",
       {kMediumIntegrity, true, kMediumIntegrity, kLowIntegrity, 1}, false},
      {"program at the engine's level",
       {kMediumIntegrity, true, kMediumIntegrity, kMediumIntegrity, 1}, false},
      {"program higher than the engine",
       {kMediumIntegrity, true, kMediumIntegrity, kHighIntegrity, 1}, true},
      {"program the helper cannot read, engine at the helper's level",
       {kMediumIntegrity, true, kMediumIntegrity, kUnreadable, 1}, true},
      {"both elevated, the helper cannot read either",
       {kMediumIntegrity, true, kUnreadable, kUnreadable, 1}, false},
      {"elevated engine the helper cannot read, program started normally",
       {kMediumIntegrity, true, kUnreadable, kMediumIntegrity, 1}, false},
      {"elevated helper and program, engine started normally",
       {kHighIntegrity, true, kMediumIntegrity, kHighIntegrity, 2}, true},
      {"elevated engine and program, helper started normally and able to read both",
       {kMediumIntegrity, true, kHighIntegrity, kHighIntegrity, 1}, false},
      {"system program, elevated helper and engine",
       {kHighIntegrity, true, kHighIntegrity, kUnreadable, 1}, true},
      {"system without integrity levels",
       {kUnreadable, true, kUnreadable, kUnreadable, 1}, false},
      {"no device connected",
       {kMediumIntegrity, true, kMediumIntegrity, kHighIntegrity, 0}, false},
      {"no engine running",
       {kMediumIntegrity, false, kUnreadable, kHighIntegrity, 1}, false},
  };
  for (const Case& c : cases) EXPECT_EQ(keysBlocked(c.situation), c.blocked) << c.what;
}

TEST(ReachTexts, FitTheTooltipAndTheBalloonWithTheNameCutSensibly) {
  struct Case {
    std::string name;
    std::string tip;
  };
  const Case cases[] = {
      {"Resolve.exe", "RingDeck cannot type into Resolve.exe: it runs as administrator"},
      {"Premiere.exe", "RingDeck cannot type into Premiere: it runs as administrator"},
      {"DaVinciResolve.exe", "RingDeck cannot type into DaVinciR...: it runs as administrator"},
      {"LongName.bin", "RingDeck cannot type into LongName...: it runs as administrator"},
      {"", "RingDeck cannot type into the program: it runs as administrator"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(reachWarningTip(c.name), c.tip) << c.name;
    EXPECT_LE(reachWarningTip(c.name).size(), 63u);
  }
  EXPECT_EQ(reachBalloonTitle("DaVinciResolve.exe"), "RingDeck cannot type into DaVinciResolve.exe");
  EXPECT_EQ(reachBalloonText("Resolve.exe"),
            "Resolve.exe runs as administrator, and Windows keeps programs that run normally from "
            "typing into it. To use the controller there, start Resolve.exe normally, or start "
            "the RingDeck engine as administrator.");
  const std::string longest(255, 'n');
  EXPECT_LE(reachBalloonTitle(longest).size(), 63u);
  EXPECT_LE(reachBalloonText(longest).size(), 255u);
  EXPECT_EQ(reachBalloonText("").substr(0, 21), "The program in front ");
}

}  // namespace
}  // namespace ringdeck::helper
