// Decode + translate + perform per device report, over a mix of reports such as an editor
// produces (jog spinning, shuttle rides, shortcut buttons), with a sink that sends nothing and
// timers on a virtual clock. Counts heap allocations per report: the target is none.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "engine_test_support.h"

#include "counting_new.h"
#include "engine_core.h"

namespace {

using namespace ringdeck;
using namespace ringdeck::testing;

class NullSink final : public InputSink {
 public:
  std::size_t sendKeys(std::span<const KeyInput> batch) override {
    inputs += batch.size();
    return batch.size();
  }
  void sendWheel(std::int32_t) override { ++inputs; }
  bool numLockOn() override { return true; }
  std::uint64_t inputs = 0;
};

class NullWaker final : public EngineWaker {
 public:
  void wake() override { ++pending; }
  std::size_t pending = 0;
};

// A set as an editor would use it: arrows on the jog, play speeds on the shuttle, cut, copy,
// paste, marks and zoom on the buttons.
SettingsRecord editorSet() {
  SettingsRecord r{};
  r.slots[SlotIndex::JogLeft] = keystrokeSlot(0, 0x25, kRepeatOnce, true);
  r.slots[SlotIndex::JogRight] = keystrokeSlot(0, 0x27, kRepeatOnce, true);
  for (int z = 1; z <= 7; ++z) {
    r.slots[SlotIndex::shuttleZone(z)] = keystrokeSlot(0, 'L', static_cast<std::uint16_t>(40 - 5 * z), true);
    r.slots[SlotIndex::shuttleZone(-z)] = keystrokeSlot(0, 'J', static_cast<std::uint16_t>(40 - 5 * z), true);
  }
  r.slots[SlotIndex::shuttleZone(0)] = keystrokeSlot(0, 'K', kRepeatOnce, true);
  r.slots[SlotIndex::shuttleZone(7)] = systemRepeatSlot(ModShift, 'L', true);
  r.slots[SlotIndex::transitionUp(0)] = keystrokeSlot(0, 'K', kRepeatOnce, true);
  r.slots[SlotIndex::transitionDown(0)] = keystrokeSlot(0, 'K', kRepeatOnce, true);
  r.slots[SlotIndex::button(0)] = keystrokeSlot(ModControl, 'X', kRepeatOnce, false);
  r.slots[SlotIndex::button(1)] = keystrokeSlot(ModControl, 'C', kRepeatOnce, false);
  r.slots[SlotIndex::button(2)] = keystrokeSlot(ModControl, 'V', kRepeatOnce, false);
  r.slots[SlotIndex::button(3)] = keystrokeSlot(0, ' ', kRepeatOnce, true);
  r.slots[SlotIndex::button(4)] = keystrokeSlot(0, 'I', kRepeatOnce, true);
  r.slots[SlotIndex::button(5)] = keystrokeSlot(0, 'O', kRepeatOnce, true);
  r.slots[SlotIndex::button(6)] = modifiersSlot(ModShift, true);
  r.slots[SlotIndex::button(7)] = scrollSlot(ActionKind::ScrollUp, 1, ModControl, true);
  r.slots[SlotIndex::button(8)] = scrollSlot(ActionKind::ScrollDown, 1, ModControl, true);
  r.slots[SlotIndex::button(9)] = keystrokeSlot(ModControl, 'Z', 25, false);
  r.slots[SlotIndex::button(10)] = keystrokeSlot(0, 0x2E, kRepeatHold, true);
  r.slots[SlotIndex::button(11)] = keystrokeSlot(ModAlt, kKeypadEnter, kRepeatOnce, true);
  r.slots[SlotIndex::button(12)] = keystrokeSlot(0, 0x24, 10, false);
  return r;
}

// Reports at the device's 8 ms rate: half of them jog steps, the rest shuttle rides, button
// presses and releases, and quiet reports where nothing changed.
std::vector<std::array<std::uint8_t, kReportSize>> reportMix() {
  std::vector<std::array<std::uint8_t, kReportSize>> out;
  std::uint8_t jog = 0;
  int shuttle = 0;
  std::uint16_t buttons = 0;
  std::uint32_t rng = 12345;
  auto next = [&rng] { return rng = rng * 1664525u + 1013904223u; };
  for (int i = 0; i < 4096; ++i) {
    const std::uint32_t r = next() >> 8;
    switch (r % 8) {
      case 0: case 1: case 2: case 3:
        jog = static_cast<std::uint8_t>(jog + ((r >> 4) % 2 ? 1 + (r >> 5) % 3 : -(1 + (r >> 5) % 3)));
        break;
      case 4:  // the ring moves one or two positions, back to the centre at the ends
        shuttle += (r >> 4) % 2 ? 1 : -1;
        if (shuttle > 7 || shuttle < -7) shuttle = 0;
        break;
      case 5: {
        const std::uint16_t bit = static_cast<std::uint16_t>(1u << ((r >> 4) % 13));
        buttons = static_cast<std::uint16_t>(buttons ^ bit);
        break;
      }
      case 6:
        buttons = 0;
        break;
      default:
        break;  // nothing changed
    }
    out.push_back(report(shuttle, jog, buttons));
  }
  return out;
}

struct Engine {
  NullWaker waker;
  VirtualTimers timers;
  NullSink sink;
  EngineCore core{sink, timers, waker};
  EventTranslator& translator = core.translator;
  OutputStage& output = core.output;
  EventQueue& queue = core.queue;
  DeviceInput device;
  SettingsRecord set = editorSet();
  Engine() {
    translator.setCurrentSet(&set);
    translator.setSystemRepeatSpeed(31);
  }
};

void BM_ReportToInput(benchmark::State& state) {
  const std::uint64_t atStart = allocationCount();
  const auto reports = reportMix();
  auto e = std::make_unique<Engine>();
  // Shows that the counter sees allocations at all: the tables are allocated here, once.
  state.counters["setup_allocs"] = static_cast<double>(allocationCount() - atStart);
  std::size_t i = 0;
  const std::uint64_t allocationsBefore = allocationCount();
  for (auto _ : state) {
    e->translator.decodeReport(e->device, reports[i]);
    for (; e->waker.pending > 0; --e->waker.pending) e->output.onQueuedEvent(e->queue);
    e->timers.advance(8, [&e](std::uint16_t id) { e->output.onTimer(id); });
    if (++i == reports.size()) i = 0;
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["allocs_per_report"] =
      static_cast<double>(allocationCount() - allocationsBefore) / n;
  state.counters["inputs_per_report"] = static_cast<double>(e->sink.inputs) / n;
  state.counters["dropped_events"] = static_cast<double>(e->translator.droppedEvents());
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ReportToInput);

// The common case alone: the jog spun one step per report.
void BM_JogStep(benchmark::State& state) {
  auto e = std::make_unique<Engine>();
  std::uint8_t jog = 0;
  const std::uint64_t allocationsBefore = allocationCount();
  for (auto _ : state) {
    const auto r = report(0, ++jog, 0);
    e->translator.decodeReport(e->device, r);
    for (; e->waker.pending > 0; --e->waker.pending) e->output.onQueuedEvent(e->queue);
  }
  state.counters["allocs_per_report"] =
      static_cast<double>(allocationCount() - allocationsBefore) / static_cast<double>(state.iterations());
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_JogStep);

}  // namespace

BENCHMARK_MAIN();
