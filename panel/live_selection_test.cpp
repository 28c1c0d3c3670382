#include "live_selection.h"

#include <gtest/gtest.h>

#include "protocol.h"

namespace ringdeck::panel {
namespace {

// Report.Notify's words for a report state.
struct Words {
  std::uint32_t w, l;
};
Words words(int shuttle, int jog, std::uint16_t buttons) {
  return {static_cast<std::uint32_t>(static_cast<std::uint8_t>(shuttle)) << 8 |
              static_cast<std::uint32_t>(static_cast<std::uint8_t>(jog)) << 16,
          buttons};
}

struct Step {
  int shuttle, jog;
  std::uint16_t buttons;
  int selects;  // -1: nothing
};

struct Case {
  const char* what;
  std::vector<Step> steps;  // after a baseline report of all zeros
};

TEST(LiveSelection, SelectsWhatTheReportShowsBeingOperated) {
  const Case cases[] = {
      {"fifth button pressed, then released", {{0, 0, 0x10, 4}, {0, 0, 0, 4}}},
      {"first and thirteenth buttons", {{0, 0, 0x1, 0}, {0, 0, 0x1001, 12}}},
      {"two buttons at once: the higher stays", {{0, 0, 0x0102, 8}}},
      {"bits above the thirteenth button are ignored", {{0, 0, 0xE000, -1}}},
      {"jog right", {{0, 1, 0, 14}}},
      {"jog left across zero", {{0, 255, 0, 13}}},
      {"jog right across 255", {{0, 255, 0, 13}, {0, 0, 0, 14}}},
      {"shuttle 0 to +3, back to +1, to 0", {{3, 0, 0, 25}, {1, 0, 0, -1}, {0, 0, 0, -1}}},
      {"shuttle -2, then +1 across the centre", {{-2, 0, 0, 20}, {1, 0, 0, 23}}},
      {"shuttle to both ends", {{7, 0, 0, 29}, {-7, 0, 0, 15}}},
      {"shuttle outside the device's range selects nothing", {{9, 0, 0, -1}, {-100, 0, 0, -1}}},
      {"button and jog in one report: the jog", {{0, 1, 0x10, 14}}},
      {"button, jog and shuttle in one report: the shuttle", {{-1, 1, 0x10, 21}}},
      {"jog and a shuttle move back: the jog", {{2, 0, 0, 24}, {1, 5, 0, 14}}},
      {"nothing changed", {{0, 0, 0, -1}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    LiveSelection live;
    EXPECT_EQ(live.DecodeAndSelect(0, 0), std::nullopt);  // baseline
    for (const Step& s : c.steps) {
      const Words w = words(s.shuttle, s.jog, s.buttons);
      const auto got = live.DecodeAndSelect(w.w, w.l);
      EXPECT_EQ(got.value_or(-1), s.selects) << s.shuttle << " " << s.jog << " " << s.buttons;
    }
  }
}

TEST(LiveSelection, TheFirstReportAfterComingToTheFrontOnlySetsTheBaseline) {
  LiveSelection live;
  const Words pressed = words(5, 9, 0x1FFF);
  EXPECT_EQ(live.DecodeAndSelect(pressed.w, pressed.l), std::nullopt);
  EXPECT_EQ(live.lastReport, (ReportState{5, 9, 0x1FFF}));
  EXPECT_EQ(live.DecodeAndSelect(pressed.w, pressed.l), std::nullopt);
  live.Deactivated();
  const Words other = words(0, 3, 0);
  EXPECT_EQ(live.DecodeAndSelect(other.w, other.l), std::nullopt);
  const Words turned = words(0, 4, 0);
  EXPECT_EQ(live.DecodeAndSelect(turned.w, turned.l), std::optional<int>(kJogRightPosition));
}

TEST(LiveSelection, WhileSwitchedOffReportsAreNeitherLookedAtNorKept) {
  LiveSelection live;
  live.DecodeAndSelect(0, 0);
  live.liveSelectionEnabled = false;
  const Words pressed = words(0, 0, 0x10);
  EXPECT_EQ(live.DecodeAndSelect(pressed.w, pressed.l), std::nullopt);
  EXPECT_EQ(live.lastReport, ReportState{});
  live.liveSelectionEnabled = true;
  // Compared with the older state: the button still counts as a change.
  EXPECT_EQ(live.DecodeAndSelect(pressed.w, pressed.l), std::optional<int>(4));
}

TEST(LiveSelection, ReportWordsAreTheDeviceBytesLittleEndian) {
  // Bytes 0..7 = 11, FD (-3), 80, 44 | 01 10, 99, 77: only shuttle, jog and buttons count.
  EXPECT_EQ(ReportStateOf(0x4480FD11u, 0x77991001u), (ReportState{-3, 0x80, 0x1001}));
}

TEST(LiveSelection, HandingBackRestoresThePreviousListenerOrClears) {
  const ListenerRequest back = HandBackRequest(0x1234);
  EXPECT_EQ(back.wParam, kReportExchange);
  EXPECT_EQ(back.lParam, 0x1234);
  const ListenerRequest none = HandBackRequest(0);  // there was no listener: 3 with 0 clears it
  EXPECT_EQ(none.wParam, kReportExchange);
  EXPECT_EQ(none.lParam, 0);
  const ListenerRequest failed = HandBackRequest(kNoPreviousListener);
  EXPECT_EQ(failed.wParam, kReportStop);
  EXPECT_EQ(failed.lParam, 0);
}

}  // namespace
}  // namespace ringdeck::panel
