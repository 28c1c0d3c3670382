#include "output_stage.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine_test_support.h"

namespace ringdeck {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;
using namespace ringdeck::testing;

// One thing the user (or the engine around the core) does, at the rig's current virtual time.
struct Step {
  enum Kind { Press, Release, Shuttle, Jog, Wait, UseSet, TakenRelease, DeviceLost, Stop } kind;
  int value = 0;
};
Step press(int button) { return {Step::Press, button}; }
Step release(int button) { return {Step::Release, button}; }
Step shuttle(int position) { return {Step::Shuttle, position}; }
Step jog(int steps) { return {Step::Jog, steps}; }
Step wait(int ms) { return {Step::Wait, ms}; }
Step useSet(int set) { return {Step::UseSet, set}; }
// The button goes up in a report that the report target takes.
Step takenRelease(int button) { return {Step::TakenRelease, button}; }
Step deviceLost() { return {Step::DeviceLost, 0}; }
Step stop() { return {Step::Stop, 0}; }

struct Scenario {
  const char* name;
  std::vector<std::pair<int, ActionSlot>> slots;  // slot index in set 0 and its action
  std::vector<Step> steps;
  std::vector<std::string> sent;
  bool numLockOn = false;
  std::uint16_t buttonsAtStart = 0;
  std::vector<std::pair<int, ActionSlot>> set1Slots = {};
  friend void PrintTo(const Scenario& s, std::ostream* os) { *os << s.name; }
};

void play(EngineRig& rig, const Scenario& s) {
  for (const auto& [index, slot] : s.slots) rig.slot(index, 0) = slot;
  for (const auto& [index, slot] : s.set1Slots) rig.slot(index, 1) = slot;
  rig.translator.setSystemRepeatSpeed(31);
  rig.setNumLock(s.numLockOn);
  int position = 0;
  std::uint8_t counter = 0;
  std::uint16_t buttons = s.buttonsAtStart;
  rig.state(position, counter, buttons);
  for (const Step& step : s.steps) {
    switch (step.kind) {
      case Step::Press: buttons = static_cast<std::uint16_t>(buttons | (1u << step.value)); break;
      case Step::Release: buttons = static_cast<std::uint16_t>(buttons & ~(1u << step.value)); break;
      case Step::TakenRelease:
        buttons = static_cast<std::uint16_t>(buttons & ~(1u << step.value));
        rig.state(position, counter, buttons, ReportUse::StateOnly);
        continue;
      case Step::Shuttle: position = step.value; break;
      case Step::Jog: counter = static_cast<std::uint8_t>(counter + step.value); break;
      case Step::Wait: rig.wait(static_cast<std::uint64_t>(step.value)); continue;
      case Step::UseSet: rig.useSet(step.value); continue;
      case Step::DeviceLost:
        rig.translator.releaseDevice(rig.device);
        rig.pump();
        continue;
      case Step::Stop: rig.output.releaseEverything(); continue;
    }
    rig.state(position, counter, buttons);
  }
}

class OutputScenario : public ::testing::TestWithParam<Scenario> {};

TEST_P(OutputScenario, SendsExactlyThisAndLeavesNothingHeld) {
  const Scenario& s = GetParam();
  auto rig = std::make_unique<EngineRig>();
  play(*rig, s);
  rig->wait(2000);
  EXPECT_THAT(rig->sink.log, ElementsAreArray(s.sent));
  EXPECT_TRUE(rig->nothingHeld());
}

constexpr bool kSync = true;
constexpr bool kDeferred = false;
constexpr int kB0 = SlotIndex::button(0);
constexpr int kB1 = SlotIndex::button(1);

INSTANTIATE_TEST_SUITE_P(
    Cases, OutputScenario,
    ::testing::Values(
        Scenario{"ControlCHeldWithNumLockOn",
                 {{kB0, keystrokeSlot(ModControl, 'C', kRepeatHold, kSync)}},
                 {press(0), wait(100), release(0)},
                 {"0 +NumLock", "0 -NumLock", "0 +Ctrl +C", "100 -C -Ctrl", "100 +NumLock",
                  "100 -NumLock"},
                 true},
        Scenario{"ControlCHeldWithNumLockOff",
                 {{kB0, keystrokeSlot(ModControl, 'C', kRepeatHold, kSync)}},
                 {press(0), wait(100), release(0)},
                 {"0 +Ctrl +C", "100 -C -Ctrl"}},
        Scenario{"OnceTypesAtPressAndReleaseSendsNothing",
                 {{kB0, keystrokeSlot(0, 'A', kRepeatOnce, kSync)}},
                 {press(0), wait(100), release(0)},
                 {"0 +A", "0 -A"}},
        Scenario{"OnceNonSyncLetsGo500msLater",
                 {{kB0, keystrokeSlot(ModShift, 'A', kRepeatOnce, kDeferred)}},
                 {press(0), wait(100), release(0)},
                 {"0 +Shift +A", "500 -A -Shift"}},
        Scenario{"RepeatPeriod10Held350ms",
                 {{kB0, keystrokeSlot(ModControl, 'A', 10, kSync)}},
                 {press(0), wait(350), release(0)},
                 {"0 +Ctrl +A", "100 +A", "200 +A", "300 +A", "350 -A -Ctrl"}},
        Scenario{"SystemRepeatAtSpeed31Every50ms",
                 {{kB0, systemRepeatSlot(0, 'B', kSync)}},
                 {press(0), wait(160), release(0)},
                 {"0 +B", "50 +B", "100 +B", "150 +B", "160 -B"}},
        Scenario{"SecondRepeatingButtonStopsTheFirstSync",
                 {{kB0, keystrokeSlot(0, 'A', 10, kSync)}, {kB1, keystrokeSlot(0, 'B', 10, kSync)}},
                 {press(0), wait(150), press(1), wait(230), release(1), wait(20), release(0)},
                 {"0 +A", "100 +A", "150 +B", "150 -A", "250 +B", "350 +B", "380 -B", "400 -A"}},
        Scenario{"SecondRepeatingButtonStopsTheFirstDeferred",
                 {{kB0, keystrokeSlot(0, 'A', 10, kDeferred)},
                  {kB1, keystrokeSlot(0, 'B', 10, kDeferred)}},
                 {press(0), wait(150), press(1), wait(230), release(1), wait(20), release(0)},
                 {"0 +A", "100 +A", "150 -A", "150 +B", "250 +B", "350 +B", "880 -B"}},
        Scenario{"NonSyncControlXThenControlV",
                 {{kB0, keystrokeSlot(ModControl, 'X', kRepeatHold, kDeferred)},
                  {kB1, keystrokeSlot(ModControl, 'V', kRepeatHold, kDeferred)}},
                 {press(0), wait(100), release(0), wait(100), press(1), wait(100), release(1)},
                 {"0 +NumLock", "0 -NumLock", "0 +Ctrl +X", "200 -X", "200 +V", "800 -V -Ctrl",
                  "800 +NumLock", "800 -NumLock"},
                 true},
        Scenario{"KeypadEnterIsExtendedEnterIsNot",
                 {{kB0, keystrokeSlot(0, kKeypadEnter, kRepeatOnce, kSync)},
                  {kB1, keystrokeSlot(0, 0x0D, kRepeatOnce, kSync)}},
                 {press(0), press(1)},
                 {"0 +Enter*", "0 -Enter*", "0 +Enter", "0 -Enter"}},
        Scenario{"ScrollDown3WithControlOnAButton",
                 {{kB0, scrollSlot(ActionKind::ScrollDown, 3, ModControl, kSync)}},
                 {press(0), wait(100), release(0)},
                 {"0 +Ctrl", "100 wheel -360", "100 -Ctrl"}},
        Scenario{"ScrollUp2OnTheJog",
                 {{SlotIndex::JogRight, scrollSlot(ActionKind::ScrollUp, 2, 0, kSync)}},
                 {jog(1)},
                 {"0 wheel 240"}},
        Scenario{"ShuttleZoneHeldWithItsTransition",
                 {{SlotIndex::transitionUp(0), keystrokeSlot(0, 'T', kRepeatOnce, kSync)},
                  {SlotIndex::shuttleZone(2), keystrokeSlot(ModShift, 'L', kRepeatHold, kSync)}},
                 {shuttle(2), wait(100), shuttle(0)},
                 {"0 +T", "0 -T", "0 +Shift +L", "100 -L -Shift"}},
        Scenario{"ModifierButtonKeepsNumLockOffUntilItsRelease",
                 {{kB0, modifiersSlot(ModShift, kSync)},
                  {kB1, keystrokeSlot(ModControl, 'C', kRepeatHold, kSync)}},
                 {press(0), wait(10), press(1), wait(10), release(1), wait(10), release(0)},
                 {"0 +NumLock", "0 -NumLock", "0 +Shift", "10 +Ctrl +C", "20 -C -Ctrl", "30 -Shift",
                  "30 +NumLock", "30 -NumLock"},
                 true},
        // Mended: the last deferred release also lets go of modifiers latched by an earlier one.
        Scenario{"OverlappingDeferredReleasesWithOtherModifiers",
                 {{kB0, keystrokeSlot(ModShift, 'A', kRepeatHold, kDeferred)},
                  {kB1, keystrokeSlot(ModControl, 'B', kRepeatHold, kDeferred)}},
                 {press(0), wait(50), release(0), wait(50), press(1), wait(50), release(1)},
                 {"0 +Shift +A", "100 -A", "100 +Ctrl +B", "650 -B -Shift -Ctrl"}},
        // Mended: A's release (A went up at B's press) no longer keeps B from being released.
        Scenario{"HeldKeyReleasedAfterALaterNonSyncKey",
                 {{kB0, keystrokeSlot(0, 'A', kRepeatHold, kDeferred)},
                  {kB1, keystrokeSlot(0, 'B', kRepeatHold, kDeferred)}},
                 {press(0), wait(100), press(1), wait(100), release(1), wait(100), release(0)},
                 {"0 +A", "100 -A", "100 +B", "700 -B"}},
        // Mended: the entry of the repeat that a new repeat replaces is freed once, so the
        // deferred release that reuses its index keeps its timer and Control goes up.
        Scenario{"ReplacedNonSyncRepeatWithModifiers",
                 {{kB0, keystrokeSlot(ModControl, 'A', 10, kDeferred)},
                  {kB1, keystrokeSlot(ModControl, 'B', 10, kDeferred)}},
                 {press(0), wait(50), press(1), wait(250), release(1), wait(20), release(0)},
                 {"0 +Ctrl +A", "50 -A", "50 +Ctrl +B", "150 +B", "250 +B", "800 -B", "820 -Ctrl"}},
        // Mended: releases undo their own press after the current set changed.
        Scenario{"SetSwitchWhileAModifierIsHeld",
                 {{kB0, modifiersSlot(ModControl, kSync)}},
                 {press(0), useSet(1), wait(100), release(0)},
                 {"0 +Ctrl", "100 -Ctrl"},
                 false, 0,
                 {{kB0, scrollSlot(ActionKind::ScrollUp, 1, ModAlt, kSync)}}},
        Scenario{"SetSwitchWhileARepeatRuns",
                 {{kB0, keystrokeSlot(0, 'R', 10, kSync)}},
                 {press(0), useSet(1), wait(250), release(0)},
                 {"0 +R", "100 +R", "200 +R", "250 -R"}},
        Scenario{"SetSwitchWhileTheShuttleIsHeld",
                 {{SlotIndex::shuttleZone(3), keystrokeSlot(ModWin, 'S', kRepeatHold, kDeferred)}},
                 {shuttle(3), useSet(1), wait(100), shuttle(0)},
                 {"0 +Win +S", "600 -S -Win"},
                 false, 0,
                 {{SlotIndex::shuttleZone(3), modifiersSlot(ModShift, kSync)}}},
        Scenario{"ButtonHeldWhenThePluggedInDeviceStarts",
                 {{kB0, keystrokeSlot(0, 'A', kRepeatHold, kSync)}},
                 {wait(100), release(0)},
                 {"100 -A"},
                 false, 0x0001},
        Scenario{"ReleaseInAReportTheTargetTook",
                 {{kB0, keystrokeSlot(ModAlt, 'A', kRepeatHold, kSync)}},
                 {press(0), wait(100), takenRelease(0)},
                 {"0 +Alt +A", "100 -A -Alt"}},
        Scenario{"DeviceLostWhileHolding",
                 {{kB0, keystrokeSlot(ModControl, 'A', 10, kDeferred)},
                  {SlotIndex::shuttleZone(3), keystrokeSlot(ModShift, 'Z', kRepeatHold, kSync)},
                  {kB1, scrollSlot(ActionKind::ScrollUp, 5, ModAlt, kSync)}},
                 {press(0), shuttle(3), press(1), wait(120), deviceLost()},
                 {"0 +Ctrl +A", "0 +Shift +Z", "0 +Alt", "100 +A", "120 -Alt", "120 -Z -Shift",
                  "620 -A -Ctrl"}},
        Scenario{"EngineStopsWhileHolding",
                 {{kB0, keystrokeSlot(ModControl, 'A', 10, kDeferred)},
                  {kB1, keystrokeSlot(0, 'N', kRepeatHold, kSync)},
                  {SlotIndex::shuttleZone(-1), modifiersSlot(ModWin | ModApps, kSync)}},
                 {press(1), press(0), shuttle(-1), wait(120), stop()},
                 {"0 +N", "0 +NumLock", "0 -NumLock", "0 +Ctrl +A", "0 +Win +Apps*", "100 +A",
                  "120 -A -N -Ctrl -Win -Apps*", "120 +NumLock", "120 -NumLock"},
                 true}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(OutputStage, ExtendedFlagOnlyForKeypadEnterAndTheNavigationKeys) {
  for (int code = 1; code < 256; ++code) {
    const auto k = static_cast<std::uint8_t>(code);
    const bool extended = code == 10 || (code >= 33 && code <= 40) || code == 44 || code == 93;
    const KeyInput down = keyInputFor(k, false);
    EXPECT_EQ(down.extended, extended) << code;
    EXPECT_EQ(down.virtualKey, code == 10 ? 0x0D : code) << code;
    EXPECT_TRUE(keyInputFor(k, true).up);
  }
}

TEST(OutputStage, ModifiersGoDownFirstAndUpLastInTheirFixedOrder) {
  KeyInput batch[6];
  ASSERT_EQ(keyBatch(kAllModifiers, 'K', false, batch), 6u);
  EXPECT_THAT(batch, ElementsAre(KeyInput{0x10, false, false}, KeyInput{0x11, false, false},
                                 KeyInput{0x12, false, false}, KeyInput{0x5B, false, false},
                                 KeyInput{0x5D, true, false}, KeyInput{'K', false, false}));
  ASSERT_EQ(keyBatch(ModApps | ModShift, 'K', true, batch), 3u);
  EXPECT_EQ(batch[0], (KeyInput{'K', false, true}));
  EXPECT_EQ(batch[1], (KeyInput{0x10, false, true}));
  EXPECT_EQ(batch[2], (KeyInput{0x5D, true, true}));
  EXPECT_EQ(keyBatch(0, 0, false, batch), 0u);
}

// Fills the pool so that no entry is free.
void exhaust(TimerPool& pool) {
  while (pool.allocate(ActionEvent{}) != kNoTimer) {
  }
}
void refill(TimerPool& pool) {
  for (std::uint16_t i = 0; i < TimerPool::kEntries; ++i) pool.free(i);
}

TEST(OutputStage, DeferredReleaseWithNoFreeEntryReleasesAtOnce) {
  auto rig = std::make_unique<EngineRig>();
  exhaust(rig->pool);
  rig->output.handleEvent(ActionEvent::key(kRepeatHold, ModControl, 'A', true, false));
  rig->output.handleEvent(ActionEvent::key(kRepeatHold, ModControl, 'A', false, false));
  EXPECT_THAT(rig->sink.log, ElementsAre("0 +Ctrl +A", "0 -A -Ctrl"));
  refill(rig->pool);
  EXPECT_TRUE(rig->nothingHeld());
}

TEST(OutputStage, RepeatWithNoFreeEntryHoldsWithoutRepeating) {
  auto rig = std::make_unique<EngineRig>();
  exhaust(rig->pool);
  rig->output.handleEvent(ActionEvent::key(10, 0, 'A', true, true));
  rig->wait(300);
  rig->output.handleEvent(ActionEvent::key(10, 0, 'A', false, true));
  EXPECT_THAT(rig->sink.log, ElementsAre("0 +A", "300 -A"));
  refill(rig->pool);
  EXPECT_TRUE(rig->nothingHeld());
}

TEST(OutputStage, IgnoresUnknownTimersStaleTimerMessagesAndUnknownEventTypes) {
  auto rig = std::make_unique<EngineRig>();
  rig->output.onTimer(9000);
  rig->output.onTimer(kNoTimer);
  rig->output.onTimer(3);  // not in use
  ActionEvent odd = ActionEvent::key(0, ModShift, 'A', true, true);
  odd.eventType = 2;
  rig->output.handleEvent(odd);
  // A repeat stopped while its timer message was already waiting: the message does nothing.
  rig->output.handleEvent(ActionEvent::key(10, 0, 'A', true, true));
  const std::uint16_t timer = rig->output.state().CurrentRepeatTimer;
  ASSERT_NE(timer, kNoTimer);
  rig->output.handleEvent(ActionEvent::key(10, 0, 'A', false, true));
  rig->output.onTimer(timer);
  EXPECT_THAT(rig->sink.log, ElementsAre("0 +A", "0 -A"));
  EXPECT_TRUE(rig->nothingHeld());
}

TEST(OutputStage, RepeatKeepsGoingWhenTheSequenceWraps) {
  auto rig = std::make_unique<EngineRig>();
  const ActionEvent a = ActionEvent::key(1, 0, 'A', true, true);
  rig->output.handleEvent(a);
  rig->wait(65529 * 10);  // the repeat stamp is now 65530
  ActionEvent up = a;
  up.pressed = 0;
  rig->output.handleEvent(up);
  EXPECT_EQ(rig->output.state().CancelledSequence, 65530);
  rig->sink.log.clear();
  const ActionEvent b = ActionEvent::key(1, 0, 'B', true, true);
  rig->output.handleEvent(b);
  rig->wait(10 * 10);  // stamps 65531 ... 65535, then 0 ... 4: all still wanted
  ActionEvent bUp = b;
  bUp.pressed = 0;
  rig->output.handleEvent(bUp);
  EXPECT_EQ(rig->sink.log.size(), 12u);
  EXPECT_EQ(rig->sink.log.back(), std::to_string(rig->timers.now()) + " -B");
  EXPECT_TRUE(rig->nothingHeld());
}

// A desktop where the window in front changes between a program started normally and one
// started as administrator, into which the system silently drops the engine's input (and
// reports success). The engine's record of what it holds must not depend on where its input
// went: every key it sent down it sends up, at the same moments, whatever is in front.
class DesktopSink final : public InputSink {
 public:
  explicit DesktopSink(const VirtualTimers& clock) : sent(clock), normalProgram(clock) {}
  std::size_t sendKeys(std::span<const KeyInput> batch) override {
    sent.sendKeys(batch);
    if (!elevatedInFront) normalProgram.sendKeys(batch);
    return batch.size();
  }
  void sendWheel(std::int32_t units) override { sent.sendWheel(units); }
  bool numLockOn() override { return sent.numLockOn(); }

  bool elevatedInFront = false;
  RecordingSink sent;           // everything the engine handed to the system
  RecordingSink normalProgram;  // what reached the program started normally
};

TEST(OutputStage, ReleasesEveryHeldKeyWhateverWindowIsInFront) {
  struct Move {
    enum { Event, Wait, Front } kind;
    ActionEvent event{};
    int value = 0;
  };
  const auto ev = [](ActionEvent e) { return Move{Move::Event, e, 0}; };
  const auto wait = [](int ms) { return Move{Move::Wait, {}, ms}; };
  const auto elevated = [](bool on) { return Move{Move::Front, {}, on ? 1 : 0}; };
  using E = ActionEvent;
  struct Case {
    const char* what;
    std::vector<Move> steps;
  };
  const Case cases[] = {
      {"held shortcut, the elevated program comes in front mid-hold",
       {ev(E::key(kRepeatHold, ModControl, 'C', true, true)), wait(100), elevated(true),
        wait(100), ev(E::key(kRepeatHold, ModControl, 'C', false, true))}},
      {"held shortcut pressed into the elevated program, released in the normal one",
       {elevated(true), ev(E::key(kRepeatHold, ModControl, 'C', true, true)), wait(100),
        elevated(false), ev(E::key(kRepeatHold, ModControl, 'C', false, true))}},
      {"deferred release falls due after the switch",
       {ev(E::key(kRepeatOnce, ModShift, 'A', true, false)), wait(50),
        ev(E::key(kRepeatOnce, ModShift, 'A', false, false)), wait(200), elevated(true)}},
      {"repeat runs on across two switches",
       {ev(E::key(10, ModControl, 'A', true, true)), wait(150), elevated(true), wait(150),
        elevated(false), wait(120), ev(E::key(10, ModControl, 'A', false, true))}},
      {"latched modifier over two shortcuts with a switch between",
       {ev(E::key(kRepeatOnce, ModControl, 'X', true, false)),
        ev(E::key(kRepeatOnce, ModControl, 'X', false, false)), elevated(true), wait(100),
        ev(E::key(kRepeatOnce, ModControl, 'V', true, false)), elevated(false),
        ev(E::key(kRepeatOnce, ModControl, 'V', false, false))}},
  };
  for (const Case& c : cases) {
    std::vector<std::string> logs[2];
    for (const bool switching : {false, true}) {
      auto pool = std::make_unique<TimerPool>();
      auto timers = std::make_unique<VirtualTimers>();
      DesktopSink sink(*timers);
      OutputStage output(*pool, sink, *timers);
      for (const Move& s : c.steps) {
        if (s.kind == Move::Event) output.handleEvent(s.event);
        if (s.kind == Move::Wait) {
          timers->advance(static_cast<std::uint64_t>(s.value),
                          [&](std::uint16_t id) { output.onTimer(id); });
        }
        if (s.kind == Move::Front && switching) sink.elevatedInFront = s.value != 0;
      }
      timers->advance(2000, [&](std::uint16_t id) { output.onTimer(id); });
      EXPECT_TRUE(sink.sent.down.empty()) << c.what;
      EXPECT_TRUE(output.idle()) << c.what;
      logs[switching] = sink.sent.log;
    }
    EXPECT_EQ(logs[true], logs[false]) << c.what;
  }
}

// SendInput refuses the engine's input (the secure desktop in front, for example). The record
// of what is down follows what the system took: a refused up is sent again every 250 ms until
// the system takes it, a refused down is never sent up.
TEST(OutputStage, KeyUpsTheSystemRefusedAreSentAgainUntilTaken) {
  using E = ActionEvent;
  const E press = E::key(kRepeatHold, ModControl, 'C', true, true);
  const E release = E::key(kRepeatHold, ModControl, 'C', false, true);
  {
    SCOPED_TRACE("up refused, taken at the third retry");
    auto rig = std::make_unique<EngineRig>();
    rig->output.handleEvent(press);
    rig->sink.refusing = true;
    rig->output.handleEvent(release);
    EXPECT_EQ(rig->output.refusedUps(), 2u);
    rig->wait(2 * kUpRetryMs);
    rig->sink.refusing = false;
    rig->wait(kUpRetryMs);
    EXPECT_EQ(rig->sink.log, (std::vector<std::string>{"0 +Ctrl +C", "0 refused", "250 refused",
                                                       "500 refused", "750 -C -Ctrl"}));
    rig->wait(1000);
    EXPECT_EQ(rig->sink.log.size(), 5u) << "sent again after the system took it";
    EXPECT_TRUE(rig->nothingHeld());
  }
  {
    SCOPED_TRACE("down refused: nothing of it is down, the engine's stop sends nothing");
    auto rig = std::make_unique<EngineRig>();
    rig->sink.refusing = true;
    rig->output.handleEvent(press);
    rig->sink.refusing = false;
    rig->wait(1000);
    rig->output.releaseEverything();
    EXPECT_EQ(rig->sink.log, (std::vector<std::string>{"0 refused"}));
    EXPECT_TRUE(rig->nothingHeld());
  }
  {
    SCOPED_TRACE("pressed again before the retry: wanted down, released once at its release");
    auto rig = std::make_unique<EngineRig>();
    rig->output.handleEvent(press);
    rig->sink.refusing = true;
    rig->output.handleEvent(release);
    rig->sink.refusing = false;
    rig->output.handleEvent(press);
    rig->wait(1000);
    EXPECT_TRUE(rig->sink.down.count({'C', false}));
    rig->output.handleEvent(release);
    rig->wait(1000);
    EXPECT_EQ(rig->sink.log, (std::vector<std::string>{"0 +Ctrl +C", "0 refused", "0 +Ctrl +C", "1000 -C -Ctrl"}));
    EXPECT_TRUE(rig->nothingHeld());
  }
  {
    SCOPED_TRACE("the engine stops while an up waits for its retry");
    auto rig = std::make_unique<EngineRig>();
    rig->output.handleEvent(press);
    rig->sink.refusing = true;
    rig->output.handleEvent(release);
    rig->sink.refusing = false;
    rig->output.releaseEverything();
    EXPECT_EQ(rig->sink.log.back(), "0 -C -Ctrl");
    EXPECT_TRUE(rig->nothingHeld());
  }
}

// One 0x414 message carries out up to 16 waiting events and says whether more wait, so a
// message lost (a post that failed) leaves no event behind as long as any message comes.
TEST(OutputStage, OneMessageTakesSixteenEventsAndTellsWhenMoreWait) {
  auto rig = std::make_unique<EngineRig>();
  for (int i = 1; i <= 20; ++i) ASSERT_TRUE(rig->queue.insert(ActionEvent::wheel(i, true)));
  EXPECT_TRUE(rig->output.onQueuedEvent(rig->queue));
  EXPECT_EQ(rig->sink.log.size(), 16u);
  EXPECT_EQ(rig->sink.log.back(), "0 wheel 1920");
  EXPECT_FALSE(rig->output.onQueuedEvent(rig->queue));
  EXPECT_EQ(rig->sink.log.size(), 20u);
  EXPECT_FALSE(rig->output.onQueuedEvent(rig->queue));  // a message for events already taken
  EXPECT_EQ(rig->sink.log.size(), 20u);
}

// A window flooded with posted messages gets its WM_TIMERs only once the flood ends, all at
// once and in the system's order (here: lowest identifier first, or last). Whatever the order,
// the deferred releases let go of what they held.
TEST(OutputStage, DeferredReleasesFiringInAnyOrderLeaveNothingHeld) {
  using E = ActionEvent;
  struct Case {
    const char* what;
    std::vector<E> events;
  };
  const Case cases[] = {
      {"a key replaced by another, both released late",
       {E::key(kRepeatHold, ModControl, 'X', true, false), E::key(kRepeatHold, ModControl, 'X', false, false),
        E::key(kRepeatHold, 0, 'B', true, false), E::key(kRepeatHold, 0, 'B', false, false)}},
      {"the same key pressed and released three times",
       {E::key(kRepeatHold, 0, 'B', true, false), E::key(kRepeatHold, 0, 'B', false, false),
        E::key(kRepeatHold, 0, 'B', true, false), E::key(kRepeatHold, 0, 'B', false, false),
        E::key(kRepeatHold, 0, 'B', true, false), E::key(kRepeatHold, 0, 'B', false, false)}},
      {"typed once, then a held key pressed and released",
       {E::key(kRepeatOnce, 0, 'D', true, false), E::key(kRepeatOnce, 0, 'D', false, false),
        E::key(kRepeatHold, ModShift, 'X', true, false), E::key(kRepeatHold, ModShift, 'X', false, false),
        E::key(kRepeatOnce, 0, 'D', true, false), E::key(kRepeatOnce, 0, 'D', false, false)}},
  };
  for (const Case& c : cases) {
    for (const bool lowestFirst : {true, false}) {
      SCOPED_TRACE(std::string(c.what) + (lowestFirst ? ", lowest timer first" : ", highest timer first"));
      auto rig = std::make_unique<EngineRig>();
      for (const E& e : c.events) rig->output.handleEvent(e);
      std::vector<std::uint16_t> due;
      for (std::uint16_t id = 0; id < 64; ++id)
        if (rig->timers.isRunning(id)) due.push_back(id);
      if (!lowestFirst) std::reverse(due.begin(), due.end());
      for (std::uint16_t id : due) rig->output.onTimer(id);
      EXPECT_TRUE(rig->sink.down.empty()) << ::testing::PrintToString(rig->sink.log);
      EXPECT_TRUE(rig->nothingHeld());
    }
  }
}

TEST(OutputStage, ReleaseEverythingWithNothingHeldSendsNothing) {
  auto rig = std::make_unique<EngineRig>();
  rig->output.releaseEverything();
  EXPECT_THAT(rig->sink.log, IsEmpty());
  EXPECT_TRUE(rig->nothingHeld());
}

}  // namespace
}  // namespace ringdeck

namespace ringdeck {
namespace {

// Random histories of reports, waits, set switches and taken reports: whatever happened, a lost
// device leaves nothing held once its deferred releases have fired, and a stopping engine
// leaves nothing held at once.
TEST(EngineProperty, NothingHeldAfterAnyHistory) {
  std::uint32_t rng = 2024;
  std::vector<std::uint8_t> bytes;
  for (int run = 0; run < 300; ++run) {
    bytes.clear();
    const int length = 400 + run * 3;
    for (int i = 0; i < length; ++i) {
      rng = rng * 1664525u + 1013904223u;
      bytes.push_back(static_cast<std::uint8_t>(rng >> 24));
    }
    ASSERT_TRUE(testing::releasesEverythingWhenTheDeviceIsLost(bytes)) << "run " << run;
    ASSERT_TRUE(testing::releasesEverythingWhenTheEngineStops(bytes)) << "run " << run;
  }
}

}  // namespace
}  // namespace ringdeck
