#include "translate.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine_test_support.h"

namespace ringdeck {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;
using namespace ringdeck::testing;

constexpr std::uint8_t kSlotKeyBase = 100;

// Every slot holds a distinct key (100 + slot index), so each event names its slot.
SettingsRecord numberedSet() {
  SettingsRecord r{};
  for (int i = 0; i < static_cast<int>(kSlotCount); ++i)
    r.slots[i] = keystrokeSlot(0, static_cast<std::uint8_t>(kSlotKeyBase + i), kRepeatHold, true);
  return r;
}

struct Translation {
  EventQueue queue;
  TimerPool pool;
  CountingWaker waker;
  EventTranslator translator{queue, pool, waker};
  DeviceInput device;
  SettingsRecord set = numberedSet();

  Translation() { translator.setCurrentSet(&set); }

  bool state(int shuttle, std::uint8_t jog, std::uint16_t buttons, ReportUse use = ReportUse::Act) {
    const auto r = report(shuttle, jog, buttons);
    return translator.decodeReport(device, r, use);
  }
  std::vector<ActionEvent> drain() {
    std::vector<ActionEvent> out;
    ActionEvent e;
    while (queue.remove(e)) out.push_back(e);
    return out;
  }
  // "+61" / "-61": slot 61 pressed / released.
  std::vector<std::string> slotEvents() {
    std::vector<std::string> out;
    for (const ActionEvent& e : drain()) {
      std::string name(1, e.pressed ? '+' : '-');
      name += std::to_string(e.keyCode - kSlotKeyBase);
      out.push_back(name);
    }
    return out;
  }
};

struct Report {
  int shuttle;
  std::uint8_t jog;
  std::uint16_t buttons;
};

struct DecodeCase {
  const char* name;
  std::vector<int> sameAsLowerZones;
  std::vector<Report> reports;  // the first one only starts the device
  std::vector<std::string> events;
  friend void PrintTo(const DecodeCase& c, std::ostream* os) { *os << c.name; }
};

class Decode : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(Decode, YieldsTheControlEventsInOrder) {
  const DecodeCase& c = GetParam();
  auto t = std::make_unique<Translation>();
  for (int z : c.sameAsLowerZones) t->set.slots[SlotIndex::shuttleZone(z)] = kindSlot(ActionKind::SameAsLower);
  t->translator.setCurrentSet(&t->set);
  for (const Report& r : c.reports) ASSERT_TRUE(t->state(r.shuttle, r.jog, r.buttons));
  EXPECT_THAT(t->slotEvents(), ElementsAreArray(c.events));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Decode,
    ::testing::Values(
        DecodeCase{"FirstReportOnlyStarts", {}, {{5, 200, 0x1FFF}}, {}},
        DecodeCase{"Buttons0And12InOneReport", {}, {{0, 0, 0}, {0, 0, 0x1001}, {0, 0, 0}},
                   {"+60", "+72", "-60", "-72"}},
        DecodeCase{"Bits13To15AreNotLookedAt", {}, {{0, 0, 0}, {0, 0, 0xE000}}, {}},
        DecodeCase{"Jog250To3IsOneRightStep", {}, {{0, 250, 0}, {0, 3, 0}}, {"+1", "-1"}},
        DecodeCase{"Jog3To250IsOneLeftStep", {}, {{0, 3, 0}, {0, 250, 0}}, {"+0", "-0"}},
        DecodeCase{"JogHalfTurnCountsAsLeft", {}, {{0, 0, 0}, {0, 128, 0}, {0, 255, 0}},
                   {"+0", "-0", "+1", "-1"}},
        DecodeCase{"Shuttle0To4FiresOnlyTheTransitionOutOfZone0", {}, {{0, 0, 0}, {4, 0, 0}},
                   {"-12", "+32", "-32", "+16"}},
        DecodeCase{"Shuttle4To0FiresOnlyTheTransitionOutOfZone4", {}, {{4, 0, 0}, {0, 0, 0}},
                   {"-16", "+46", "-46", "+12"}},
        DecodeCase{"SameAsLower1To3MoveOutCausesNothing", {1, 2, 3},
                   {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {3, 0, 0}}, {}},
        DecodeCase{"SameAsLower3To4", {1, 2, 3}, {{3, 0, 0}, {4, 0, 0}},
                   {"-12", "+32", "-32", "+16"}},
        DecodeCase{"SameAsLower4To3", {1, 2, 3}, {{4, 0, 0}, {3, 0, 0}},
                   {"-16", "+46", "-46", "+12"}},
        DecodeCase{"SameAsLowerMinus1ActsAsZone0", {-1}, {{0, 0, 0}, {-1, 0, 0}, {-2, 0, 0}},
                   {"-12", "+50", "-50", "+10"}},
        DecodeCase{"ButtonsThenJogThenShuttle", {}, {{0, 10, 0}, {-1, 9, 0x0002}},
                   {"+61", "+0", "-0", "-12", "+50", "-50", "+11"}},
        DecodeCase{"ShuttleByteOutsideTheMapIsIgnored", {},
                   {{2, 0, 0}, {9, 0, 0x0001}, {-128, 1, 0}, {127, 1, 0}, {2, 1, 0}, {3, 1, 0}},
                   {"+60", "-60", "+1", "-1", "-14", "+34", "-34", "+15"}},
        DecodeCase{"ZonesEightAreInTheMap", {}, {{7, 0, 0}, {8, 0, 0}, {-8, 0, 0}},
                   {"-19", "+39", "-39", "+20", "-20", "+42", "-42", "+4"}},
        DecodeCase{"ButtonHeldAtFirstReportReleasesOnly", {}, {{0, 0, 0x0004}, {0, 0, 0}},
                   {"-62"}}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(ZoneMap, SameAsLowerRunsActAsTheZoneBeforeThem) {
  SettingsRecord r{};
  for (int z : {1, 2, 3, 5, -1, -7, -8}) r.slots[SlotIndex::shuttleZone(z)] = kindSlot(ActionKind::SameAsLower);
  r.slots[SlotIndex::shuttleZone(0)] = kindSlot(ActionKind::SameAsLower);  // zone 0 acts as itself
  ZoneMap map;
  map.rebuild(&r);
  std::vector<int> zones;
  for (int p = -8; p <= 8; ++p) zones.push_back(*map.zoneFor(p));
  EXPECT_THAT(zones, ElementsAre(-6, -6, -6, -5, -4, -3, -2, 0, 0, 0, 0, 0, 4, 4, 6, 7, 8));
  EXPECT_FALSE(map.zoneFor(9).has_value());
  EXPECT_FALSE(map.zoneFor(-9).has_value());

  map.rebuild(nullptr);
  for (int p = -8; p <= 8; ++p) EXPECT_EQ(*map.zoneFor(p), p);
}

TEST(Translate, ZoneMapFollowsTheCurrentSet) {
  auto t = std::make_unique<Translation>();
  SettingsRecord other = numberedSet();
  other.slots[SlotIndex::shuttleZone(1)] = kindSlot(ActionKind::SameAsLower);
  t->translator.setCurrentSet(&other);
  EXPECT_EQ(*t->translator.zoneMap().zoneFor(1), 0);
  t->translator.setCurrentSet(&t->set);
  EXPECT_EQ(*t->translator.zoneMap().zoneFor(1), 1);
}

TEST(Translate, SystemRepeatPeriod) {
  EXPECT_EQ(systemRepeatPeriod(0), 315);
  EXPECT_EQ(systemRepeatPeriod(31), 5);
  EXPECT_EQ(systemRepeatPeriod(200), 5);
}

struct KindCase {
  const char* name;
  ActionSlot slot;
  std::vector<ActionEvent> atPress;
  std::vector<ActionEvent> atRelease;
  friend void PrintTo(const KindCase& c, std::ostream* os) { *os << c.name; }
};

class TranslateKind : public ::testing::TestWithParam<KindCase> {};

TEST_P(TranslateKind, YieldsTheEventsOfItsKind) {
  const KindCase& c = GetParam();
  auto t = std::make_unique<Translation>();
  t->translator.setSystemRepeatSpeed(31);
  t->set.slots[SlotIndex::button(3)] = c.slot;
  t->state(0, 0, 0);
  t->state(0, 0, 1 << 3);
  EXPECT_THAT(t->drain(), ElementsAreArray(c.atPress));
  t->state(0, 0, 0);
  EXPECT_THAT(t->drain(), ElementsAreArray(c.atRelease));
}

ActionEvent keyEvent(std::uint16_t period, std::uint16_t mods, std::uint8_t key, bool press, bool sync) {
  return ActionEvent::key(period, mods, key, press, sync);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TranslateKind,
    ::testing::Values(
        KindCase{"KeystrokeOnceTypesAtPress", keystrokeSlot(ModControl, 'C', kRepeatOnce, true),
                 {keyEvent(0, ModControl, 'C', true, true), keyEvent(0, ModControl, 'C', false, true)},
                 {}},
        KindCase{"KeystrokeHold", keystrokeSlot(ModShift, 'A', kRepeatHold, false),
                 {keyEvent(0xFFFF, ModShift, 'A', true, false)},
                 {keyEvent(0xFFFF, ModShift, 'A', false, false)}},
        KindCase{"KeystrokeRepeat", keystrokeSlot(0, 'B', 10, true), {keyEvent(10, 0, 'B', true, true)},
                 {keyEvent(10, 0, 'B', false, true)}},
        KindCase{"SystemRepeatAtSpeed31", systemRepeatSlot(ModAlt, 'D', true),
                 {keyEvent(5, ModAlt, 'D', true, true)}, {keyEvent(5, ModAlt, 'D', false, true)}},
        KindCase{"Modifiers", modifiersSlot(ModAltGr, true), {keyEvent(0, ModAltGr, 0, true, true)},
                 {keyEvent(0, ModAltGr, 0, false, true)}},
        KindCase{"ScrollDownWithControl", scrollSlot(ActionKind::ScrollDown, 3, ModControl, true),
                 {keyEvent(0, ModControl, 0, true, true)},
                 {ActionEvent::wheel(-3, true), keyEvent(0, ModControl, 0, false, true)}},
        KindCase{"ScrollUpPlain", scrollSlot(ActionKind::ScrollUp, 2, 0, false), {},
                 {ActionEvent::wheel(2, false)}},
        KindCase{"SyncReleaseIsOneOrZero",
                 [] {
                   ActionSlot s = keystrokeSlot(0, 'E', kRepeatHold, true);
                   s.syncRelease = 7;
                   return s;
                 }(),
                 {keyEvent(0xFFFF, 0, 'E', true, true)}, {keyEvent(0xFFFF, 0, 'E', false, true)}},
        KindCase{"KeyCode0xFFIsNoKey", keystrokeSlot(ModShift, 0xFF, kRepeatHold, true),
                 {keyEvent(0xFFFF, ModShift, 0, true, true)}, {keyEvent(0xFFFF, ModShift, 0, false, true)}},
        KindCase{"None", kindSlot(ActionKind::None), {}, {}},
        KindCase{"SameAsLowerOnAButton", kindSlot(ActionKind::SameAsLower), {}, {}},
        KindCase{"OpenItem", kindSlot(ActionKind::OpenItem), {}, {}},
        KindCase{"ScrollLeft", scrollSlot(ActionKind::ScrollLeft, 1, ModShift, true), {}, {}},
        KindCase{"ScrollRight", scrollSlot(ActionKind::ScrollRight, 1, ModShift, true), {}, {}},
        KindCase{"UnknownKind", [] { ActionSlot s = keystrokeSlot(ModShift, 'F', kRepeatHold, true); s.kind = 42; return s; }(),
                 {}, {}}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(Translate, WrongSizedReportChangesNothing) {
  auto t = std::make_unique<Translation>();
  t->state(0, 0, 0);
  const std::uint8_t shortReport[7] = {0, 3, 9, 0, 1, 0, 0};
  const std::uint8_t longReport[9] = {0, 3, 9, 0, 1, 0, 0, 0, 0};
  EXPECT_FALSE(t->translator.decodeReport(t->device, shortReport));
  EXPECT_FALSE(t->translator.decodeReport(t->device, longReport));
  EXPECT_EQ(t->device.previous(), DeviceState{});
  EXPECT_THAT(t->drain(), IsEmpty());
  EXPECT_EQ(t->waker.pending, 0u);
}

TEST(Translate, FullQueueDropsPressesButKeepsReleasesAndStillWakesTheWindow) {
  struct Case {
    std::size_t waiting;  // events already queued
    bool pressFits;
  };
  const Case cases[] = {
      {EventQueue::kCapacity - EventQueue::kReleaseReserve - 1, true},
      {EventQueue::kCapacity - EventQueue::kReleaseReserve, false},
      {EventQueue::kCapacity - 2, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.waiting);
    // Held: the press and the release of 'A' are two reports.
    auto t = std::make_unique<Translation>();
    t->set.slots[SlotIndex::button(0)] = keystrokeSlot(0, 'A', kRepeatHold, true);
    for (std::size_t i = 0; i < c.waiting; ++i) ASSERT_TRUE(t->queue.insertRelease(ActionEvent{}));
    t->state(0, 0, 0);
    t->state(0, 0, 1);
    t->state(0, 0, 0);
    EXPECT_EQ(t->waker.pending, 2u);
    EXPECT_EQ(t->translator.droppedEvents(), c.pressFits ? 0u : 1u);
    auto events = t->drain();
    ASSERT_EQ(events.size(), c.waiting + (c.pressFits ? 2 : 1));
    EXPECT_EQ(events.back(), ActionEvent::key(kRepeatHold, 0, 'A', false, true));
    if (c.pressFits) {
      EXPECT_EQ(events[events.size() - 2], ActionEvent::key(kRepeatHold, 0, 'A', true, true));
    }
    // Typed once: press and release go together, and a refused press queues no release.
    t->set.slots[SlotIndex::button(0)] = keystrokeSlot(0, 'B', kRepeatOnce, true);
    for (std::size_t i = 0; i < c.waiting; ++i) ASSERT_TRUE(t->queue.insertRelease(ActionEvent{}));
    t->state(0, 0, 1);
    events = t->drain();
    ASSERT_EQ(events.size(), c.waiting + (c.pressFits ? 2 : 0));
    if (c.pressFits) {
      EXPECT_EQ(events.back(), ActionEvent::key(0, 0, 'B', false, true));
    }
  }
}

// A burst of reports fills the queue while a button holds its key: every control's release
// still gets through, even with all sixteen devices holding everything at once.
TEST(Translate, ReleasesOfEveryHeldControlFitTheReserve) {
  auto t = std::make_unique<Translation>();
  std::vector<DeviceInput> devices(16);
  const std::uint16_t all = (1u << kButtonCount) - 1;
  const auto still = report(0, 0, 0);
  const auto held = report(3, 0, all);
  for (auto& d : devices) t->translator.decodeReport(d, still);
  for (auto& d : devices) t->translator.decodeReport(d, held);
  // Jog steps of every device flood the queue until nothing but releases can enter, and go on.
  std::uint8_t jog = 0;
  for (int step = 0; step < 2000; ++step) {
    const auto r = report(3, ++jog, all);
    for (auto& d : devices) t->translator.decodeReport(d, r);
  }
  const std::size_t before = t->queue.size();
  for (auto& d : devices) t->translator.decodeReport(d, still);
  const auto events = t->drain();
  std::map<int, int> released;  // slot -> releases
  for (std::size_t i = before; i < events.size(); ++i) {
    EXPECT_EQ(events[i].pressed, 0u) << "a press took the reserve";
    ++released[events[i].keyCode - kSlotKeyBase];
  }
  for (int b = 0; b < kButtonCount; ++b) EXPECT_EQ(released[SlotIndex::button(b)], 16) << "button " << b;
  EXPECT_EQ(released[SlotIndex::shuttleZone(3)], 16);
}

// Allocates or frees pool entries until exactly `free` are free.
void setFreeEntries(TimerPool& pool, std::uint32_t free) {
  while (pool.freeCount() > free) pool.allocate(ActionEvent{});
  for (std::uint16_t i = 0; pool.freeCount() < free; ++i) pool.free(i);
}

TEST(Translate, ThrottleStopsBelow16FreeEntriesAndResumesAbove2048) {
  auto t = std::make_unique<Translation>();
  t->state(0, 0, 0);
  struct Step {
    std::uint32_t free;
    bool throttled;
  };
  const Step steps[] = {{16, false}, {15, true}, {16, true}, {2048, true}, {2049, false}, {15, true}, {8192, false}};
  std::uint8_t jog = 0;
  for (const Step& s : steps) {
    setFreeEntries(t->pool, s.free);
    ++jog;
    t->state(0, jog, 0);
    EXPECT_EQ(t->translator.throttled(), s.throttled) << s.free;
    // A dropped report still becomes the previous state: the next one does not replay it.
    const std::vector<std::string> expected =
        s.throttled ? std::vector<std::string>{} : std::vector<std::string>{"+1", "-1"};
    EXPECT_EQ(t->slotEvents(), expected) << s.free;
  }
}

TEST(Translate, ReleaseUndoesWhatThePressDidAfterTheSetChanged) {
  auto t = std::make_unique<Translation>();
  SettingsRecord other{};
  other.slots[SlotIndex::button(2)] = modifiersSlot(ModShift, true);
  other.slots[SlotIndex::shuttleZone(3)] = scrollSlot(ActionKind::ScrollUp, 1, 0, true);
  t->state(0, 0, 0);
  t->state(3, 0, 1 << 2);
  EXPECT_THAT(t->slotEvents(), ElementsAre("+62", "-12", "+32", "-32", "+15"));
  t->translator.setCurrentSet(&other);
  t->state(3, 0, 0);
  t->state(0, 0, 0);
  // Released as pressed, from the old set; the new set's zone 0 and transition are None.
  EXPECT_THAT(t->slotEvents(), ElementsAre("-62", "-15"));
}

TEST(Translate, ReportNotActedOnStillReleasesWhatWasPressed) {
  for (ReportUse use : {ReportUse::StateOnly, ReportUse::Act}) {
    auto t = std::make_unique<Translation>();
    t->set.slots[SlotIndex::button(0)] = scrollSlot(ActionKind::ScrollUp, 2, ModControl, true);
    t->state(0, 0, 0);
    t->state(2, 0, 0x0001);
    t->drain();
    if (use == ReportUse::Act) setFreeEntries(t->pool, 10);  // the throttle drops the report
    // Taken or dropped: nothing new happens (no press of button 1, no jog, no transition, no
    // wheel), but button 0's Control and zone 2's key go up.
    t->state(0, 5, 0x0002, use);
    EXPECT_THAT(t->drain(), ElementsAre(ActionEvent::key(0, ModControl, 0, false, true),
                                        ActionEvent::key(0xFFFF, 0, kSlotKeyBase + 14, false, true)));
    EXPECT_EQ(t->device.pressedButtons(), 0);
    EXPECT_FALSE(t->device.zonePressed());
    // Button 1's press was never acted on: its release comes from the current set.
    if (use == ReportUse::Act) setFreeEntries(t->pool, 8192);
    t->state(0, 5, 0);
    EXPECT_THAT(t->slotEvents(), ElementsAre("-61"));
  }
}

TEST(Translate, ReleaseDeviceReleasesItsButtonsAndZoneAndStartsAfresh) {
  auto t = std::make_unique<Translation>();
  t->set.slots[SlotIndex::button(4)] = scrollSlot(ActionKind::ScrollDown, 1, ModShift, false);
  t->state(0, 0, 0);
  t->state(-2, 0, 0x0011);
  t->drain();
  t->translator.releaseDevice(t->device);
  EXPECT_THAT(t->drain(), ElementsAre(ActionEvent::key(0xFFFF, 0, kSlotKeyBase + 60, false, true),
                                      ActionEvent::key(0, ModShift, 0, false, false),
                                      ActionEvent::key(0xFFFF, 0, kSlotKeyBase + 10, false, true)));
  EXPECT_FALSE(t->device.started());
  t->translator.releaseDevice(t->device);  // twice: nothing more
  t->state(0, 0, 0x0001);                  // back: a first report again
  EXPECT_THAT(t->drain(), IsEmpty());
}

}  // namespace
}  // namespace ringdeck
