// The control panel's settings store: loading and saving a large settings file, and the text
// report of one set.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "memory_file.h"
#include "settings_report.h"
#include "settings_store.h"

namespace {

using namespace ringdeck;
using namespace ringdeck::panel;

const std::string kPath = "C:\\windows\\system32\\OrvanelRingDeck.pref";

class QuietPeers final : public PeerMessenger {
 public:
  bool sendReloadAllPreferences(Peer, std::uint32_t, std::uint32_t) override { return true; }
  void StartHelper() override {}
};

// Names in no particular order, so that the save really sorts.
std::vector<std::uint8_t> fileOfSets(std::size_t count) {
  std::vector<SettingsRecord> records(count);
  for (std::size_t i = 1; i < count; ++i) {
    setName(records[i], "App " + std::to_string((i * 7919) % count));
    setTargetApp(records[i], "app" + std::to_string(i) + ".exe");
  }
  std::vector<std::uint8_t> bytes;
  MemoryFile file(bytes);
  writeSettingsFile(file, records);
  return bytes;
}

void BM_LoadAndSave(benchmark::State& state) {
  const auto bytes = fileOfSets(static_cast<std::size_t>(state.range(0)));
  MemoryFileSystem fs;
  QuietPeers peers;
  SettingsStore store(fs, peers);
  for (auto _ : state) {
    state.PauseTiming();
    fs.files[kPath] = bytes;
    state.ResumeTiming();
    if (!store.LoadSettingsFile(kPath) || !store.SaveSettingsFile(kPath, store.recordCount))
      state.SkipWithError("load or save failed");
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size() * 2));
}
BENCHMARK(BM_LoadAndSave)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_Load(benchmark::State& state) {
  const auto bytes = fileOfSets(static_cast<std::size_t>(state.range(0)));
  MemoryFileSystem fs;
  QuietPeers peers;
  SettingsStore store(fs, peers);
  fs.files[kPath] = bytes;
  for (auto _ : state)
    if (!store.LoadSettingsFile(kPath)) state.SkipWithError("load failed");
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(BM_Load)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_Save(benchmark::State& state) {
  MemoryFileSystem fs;
  QuietPeers peers;
  SettingsStore store(fs, peers);
  fs.files[kPath] = fileOfSets(static_cast<std::size_t>(state.range(0)));
  store.LoadSettingsFile(kPath);
  for (auto _ : state)
    if (!store.SaveSettingsFile(kPath, store.recordCount)) state.SkipWithError("save failed");
  state.SetBytesProcessed(
      static_cast<std::int64_t>(state.iterations() * (kHeaderSize + store.recordCount * kRecordSize)));
}
BENCHMARK(BM_Save)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_ReportText(benchmark::State& state) {
  LayoutCharTable layout;
  SettingsRecord r{};
  for (auto& s : r.slots) {
    s.kind = static_cast<std::uint16_t>(ActionKind::Keystroke);
    s.modifiers = ModShift | ModControl;
    s.keyCode = 'S';
    setComment(s, "a comment of some length");
  }
  for (auto _ : state) benchmark::DoNotOptimize(SettingsReportText(layout, r));
}
BENCHMARK(BM_ReportText)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
