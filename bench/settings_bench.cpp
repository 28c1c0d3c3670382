// Reading a large settings file and testing every set's factory checksum.
#include <benchmark/benchmark.h>

#include <vector>

#include "memory_file.h"
#include "settings_io.h"

namespace {

using namespace ringdeck;

std::vector<std::uint8_t> fileOfSets(std::size_t count) {
  std::vector<SettingsRecord> records(count);
  for (std::size_t i = 0; i < count; ++i) {
    setName(records[i], "Set " + std::to_string(i));
    records[i].factoryChecksum = computeFactoryChecksum(records[i]);
  }
  std::vector<std::uint8_t> bytes;
  MemoryFile file(bytes);
  writeSettingsFile(file, records);
  return bytes;
}

void BM_ReadAllSets(benchmark::State& state) {
  auto bytes = fileOfSets(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    MemoryFile file(bytes);
    auto records = readAllSettingsRecords(file);
    benchmark::DoNotOptimize(records);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(BM_ReadAllSets)->Arg(1)->Arg(100)->Arg(10000)->Unit(benchmark::kMicrosecond);

void BM_FactoryState(benchmark::State& state) {
  SettingsRecord r{};
  r.factoryChecksum = computeFactoryChecksum(r);
  for (auto _ : state) benchmark::DoNotOptimize(factoryState(r));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * sizeof r));
}
BENCHMARK(BM_FactoryState);

}  // namespace

BENCHMARK_MAIN();
