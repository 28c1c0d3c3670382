// Plays ring moves through the real engine core on every shipped set and reads the keystrokes
// that come out as the program would take them: its speed keys step the speed (transport) or
// move by a fixed amount (moves). What comes out must be what each set's 'feel' line, and so
// docs/shipped-sets.md, promises, on both sides of the ring.
#include <gtest/gtest.h>

#include <cctype>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "engine_core.h"
#include "engine_test_support.h"
#include "factory_sets.h"

namespace ringdeck::tools {
namespace {

using ringdeck::testing::CountingWaker;
using ringdeck::testing::VirtualTimers;

std::string readText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

const std::vector<FactorySet>& shippedSets() {
  static const std::vector<FactorySet> sets = [] {
    auto parsed = parseFactorySets(readText(FACTORY_SETS_SOURCE));
    EXPECT_TRUE(parsed.ok()) << parsed.error;
    return parsed.sets;
  }();
  return sets;
}

std::uint16_t modifierBit(std::uint8_t vk) {
  switch (vk) {
    case 0x10: return ModShift;
    case 0x11: return ModControl;
    case 0x12: return ModAlt;
    case 0x5B: return ModWin;
    case 0x5D: return ModApps;
    default: return 0;
  }
}

// Every key that goes down, with the modifiers down at that moment.
class ChordSink final : public InputSink {
 public:
  struct Chord {
    std::uint16_t modifiers;
    std::uint8_t key;
  };

  std::size_t sendKeys(std::span<const KeyInput> batch) override {
    for (const KeyInput& k : batch) {
      const std::uint16_t bit = modifierBit(k.virtualKey);
      if (bit != 0) {
        held_ = static_cast<std::uint16_t>(k.up ? held_ & ~bit : held_ | bit);
      } else if (!k.up) {
        typed.push_back({held_, k.virtualKey});
      }
    }
    return batch.size();
  }
  void sendWheel(std::int32_t) override {}
  bool numLockOn() override { return false; }

  std::vector<Chord> typed;

 private:
  std::uint16_t held_ = 0;
};

// The program as far as the set's speed keys go.
class Program {
 public:
  explicit Program(const SpeedModel& model) : model_(model) {}

  void take(const ChordSink::Chord& c) {
    for (std::size_t i = 0; i < model_.keys.size(); ++i) {
      const SpeedKey& k = model_.keys[i];
      if (k.keyCode != c.key || k.modifiers != c.modifiers) continue;
      if (model_.kind == SpeedKind::Moves) {
        position += k.units;
      } else if (i == 0) {
        level = level <= 0 ? 1 : level + 1;
      } else if (i == 1) {
        level = level >= 0 ? -1 : level - 1;
      } else {
        level = 0;
      }
    }
  }

  int level = 0;     // transport: steps above stop, negative backward
  int position = 0;  // moves: units moved so far

 private:
  const SpeedModel& model_;
};

// One device on the whole engine core, with the set current, on a virtual clock.
class Ring {
 public:
  explicit Ring(const FactorySet& set) : set_(set.record), program_(set.speed) {
    core_->translator.setCurrentSet(&set_);
    send(0);  // the first report only starts the device
  }

  void send(int shuttle) {
    const auto r = ringdeck::testing::report(shuttle, 0, 0);
    core_->translator.decodeReport(device_, r);
    pump();
  }
  void hold(std::uint64_t ms) {
    timers_.advance(ms, [this](std::uint16_t id) { core_->output.onTimer(id); });
    pump();
  }
  // Transport: the speed step now. Moves: how far the program moved during `ms` of holding.
  int speedOver(std::uint64_t ms) {
    const int before = program_.position;
    hold(ms);
    return program_.position - before + program_.level;
  }
  int position() const { return program_.position; }
  int level() const { return program_.level; }
  bool nothingHeld() const { return core_->output.idle() && timers_.running() == 0; }

 private:
  void pump() {
    for (; waker_.pending > 0; --waker_.pending) core_->output.onQueuedEvent(core_->queue);
    for (; seen_ < sink_.typed.size(); ++seen_) program_.take(sink_.typed[seen_]);
  }

  SettingsRecord set_;
  Program program_;
  VirtualTimers timers_;
  ChordSink sink_;
  CountingWaker waker_;
  std::unique_ptr<EngineCore> core_ = std::make_unique<EngineCore>(sink_, timers_, waker_);
  DeviceInput device_;
  std::size_t seen_ = 0;
};

constexpr std::uint64_t kHoldMs = 1000;
constexpr std::uint64_t kFlickMs = 50;

class ShippedSetFeel : public ::testing::TestWithParam<std::size_t> {
 protected:
  const FactorySet& set() const { return shippedSets().at(GetParam()); }
};

TEST_P(ShippedSetFeel, DescribesHowItDrivesTheProgram) {
  EXPECT_NE(set().speed.kind, SpeedKind::None);
  EXPECT_TRUE(set().feel.given);
  EXPECT_FALSE(set().about.empty());
  EXPECT_FALSE(set().source.empty());
}

TEST_P(ShippedSetFeel, TurningOutAndBackOneZoneAtATime) {
  if (!set().feel.given) GTEST_SKIP();
  for (const int side : {1, -1}) {
    SCOPED_TRACE(side > 0 ? "right" : "left");
    Ring ring(set());
    std::vector<int> out, back;
    for (int zone = 1; zone <= 7; ++zone) {
      ring.send(side * zone);
      out.push_back(side * ring.speedOver(kHoldMs));
    }
    for (int zone = 6; zone >= 0; --zone) {
      ring.send(side * zone);
      back.push_back(side * ring.speedOver(kHoldMs));
    }
    EXPECT_EQ(out, std::vector<int>(set().feel.out.begin(), set().feel.out.end()));
    EXPECT_EQ(back, std::vector<int>(set().feel.back.begin(), set().feel.back.end()));
    EXPECT_TRUE(ring.nothingHeld());
  }
}

TEST_P(ShippedSetFeel, AFlickToTheEndAndBackLeavesTheProgramAsItWas) {
  if (!set().feel.given) GTEST_SKIP();
  for (const int side : {1, -1}) {
    SCOPED_TRACE(side > 0 ? "right" : "left");
    Ring ring(set());
    ring.send(side * 7);
    ring.hold(kFlickMs);
    ring.send(0);
    ring.hold(kHoldMs);
    EXPECT_EQ(side * (ring.position() + ring.level()), set().feel.flick);
    EXPECT_TRUE(ring.nothingHeld());
  }
}

TEST_P(ShippedSetFeel, AJumpOfSeveralZonesInOneReport) {
  if (!set().feel.given) GTEST_SKIP();
  for (const int side : {1, -1}) {
    SCOPED_TRACE(side > 0 ? "right" : "left");
    Ring ring(set());
    ring.send(side * 5);
    EXPECT_EQ(side * ring.speedOver(kHoldMs), set().feel.jump);
    // Springing back from there in one report stops a transport, and a move stops moving.
    ring.send(0);
    EXPECT_EQ(ring.speedOver(kHoldMs), 0);
    EXPECT_TRUE(ring.nothingHeld());
  }
}

// Thrown across the centre in one report, the ring acts as if it had come from the centre: no
// speed is carried over from the other side.
TEST_P(ShippedSetFeel, CrossingTheCentreInOneReportStartsAfresh) {
  if (!set().feel.given) GTEST_SKIP();
  for (const int side : {1, -1}) {
    SCOPED_TRACE(side > 0 ? "right to left" : "left to right");
    Ring fromCentre(set());
    fromCentre.send(-side * 2);
    const int expected = fromCentre.speedOver(kHoldMs);

    Ring crossing(set());
    for (int zone = 1; zone <= 3; ++zone) {
      crossing.send(side * zone);
      crossing.hold(kHoldMs);
    }
    crossing.send(-side * 2);
    EXPECT_EQ(crossing.speedOver(kHoldMs), expected);
    EXPECT_NE(expected, 0);
  }
}

INSTANTIATE_TEST_SUITE_P(EverySet, ShippedSetFeel,
                         ::testing::Range<std::size_t>(0, shippedSets().size()),
                         [](const ::testing::TestParamInfo<std::size_t>& p) {
                           std::string name;
                           for (const char c : fieldText(shippedSets().at(p.param).record.name))
                             if (std::isalnum(static_cast<unsigned char>(c))) name += c;
                           return name;
                         });

// The global set acts in every program: in a text field, a file manager, a form. Nothing it
// sends, alone or with a modifier one of its own buttons holds, may type text or change data.
TEST(ShippedGlobalSet, TypesNoTextAndTouchesNoData) {
  const FactorySet& global = shippedSets().at(0);
  ASSERT_TRUE(hasNoTargetApp(global.record));
  std::set<std::uint16_t> heldByButtons{0};
  for (const ActionSlot& slot : global.record.slots)
    if (slot.actionKind() == ActionKind::Modifiers) heldByButtons.insert(slot.modifiers);

  struct Forbidden {
    std::uint16_t modifiers;
    std::uint8_t key;
    const char* what;
  };
  const Forbidden forbidden[] = {
      {0, 0x2E, "Delete"},          {ModShift, 0x2E, "Shift+Delete (cut)"},
      {ModControl, 'X', "cut"},     {ModControl, 'V', "paste"},
      {ModShift, 0x2D, "paste"},    {ModControl, 'S', "save"},
      {ModControl, 'W', "close"},   {ModControl, 0x73, "close (Ctrl+F4)"},
      {ModAlt, 0x73, "Alt+F4"},     {ModControl, 'Z', "undo"},
      {ModControl, 'Y', "redo"},    {0, 0x08, "Backspace"},
      {0, 0x0D, "Enter"},
  };
  // Keys that type a character (or a space) when no Ctrl, Alt or Win is held.
  auto typesText = [](std::uint16_t mods, std::uint8_t key) {
    if (mods & (ModControl | ModAlt | ModWin)) return false;
    return (key >= '0' && key <= '9') || (key >= 'A' && key <= 'Z') || key == 0x20 ||
           (key >= 0x60 && key <= 0x6F) || (key >= 0xBA && key <= 0xC0) ||
           (key >= 0xDB && key <= 0xDF) || key == 0xE2;
  };
  for (int i = 0; i < static_cast<int>(kSlotCount); ++i) {
    const ActionSlot& slot = global.record.slots[i];
    const auto kind = slot.actionKind();
    if (kind != ActionKind::Keystroke && kind != ActionKind::KeystrokeSystemRepeat) continue;
    for (const std::uint16_t held : heldByButtons) {
      const auto mods = static_cast<std::uint16_t>(slot.modifiers | held);
      SCOPED_TRACE(slotName(i) + " with " + keysText(held, 0));
      EXPECT_FALSE(typesText(mods, slot.keyCode)) << keysText(mods, slot.keyCode);
      for (const Forbidden& f : forbidden) {
        // A key listed without modifiers is forbidden with any; otherwise with at least those.
        EXPECT_FALSE(slot.keyCode == f.key && (mods & f.modifiers) == f.modifiers)
            << f.what << ": " << keysText(mods, slot.keyCode);
      }
    }
  }
}

}  // namespace
}  // namespace ringdeck::tools
