// The helper with a large settings file: 10,000 sets over 5,000 target applications.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app_key.h"
#include "app_set_map.h"
#include "helper_core.h"
#include "memory_file.h"
#include "settings_io.h"

namespace {

using namespace ringdeck;
using namespace ringdeck::helper;

constexpr std::size_t kSets = 10000;
constexpr std::size_t kApplications = 5000;
constexpr const char* kPath = "OrvanelRingDeck.pref";

// Program names of varied length and prefix, as a desktop's would be.
std::vector<std::string> applicationNames() {
  std::vector<std::string> names;
  std::uint32_t seed = 12345;
  const auto next = [&] { return seed = seed * 1103515245u + 12345u, (seed >> 16) & 0x7FFF; };
  for (std::size_t i = 0; i < kApplications; ++i) {
    std::string n;
    const std::size_t len = 3 + next() % 12;
    for (std::size_t c = 0; c < len; ++c) n += static_cast<char>('a' + next() % 26);
    names.push_back(n + std::to_string(i) + ".exe");
  }
  return names;
}

// Set 0 is global; the other 9,999 target the 5,000 applications in turn (two sets each).
std::vector<std::uint8_t> settingsFile(const std::vector<std::string>& apps) {
  std::vector<SettingsRecord> records(kSets);
  for (std::size_t i = 0; i < kSets; ++i) {
    setName(records[i], "Set " + std::to_string(i));
    if (i > 0) setTargetApp(records[i], apps[i % kApplications]);
  }
  std::vector<std::uint8_t> bytes;
  MemoryFile file(bytes);
  writeSettingsFile(file, records);
  return bytes;
}

struct NoEngine : EngineLink {
  std::uint32_t last = 0;
  bool findEngine() override { return true; }
  void sendStatusRequest() override {}
  void sendChangeCurrentPreference(std::uint32_t r) override { last = r; }
};
struct NoIcon : TrayIcon {
  bool update(IconOperation, IconImage, const TooltipField&) override { return true; }
  void balloon(std::string_view, std::string_view) override {}
};
struct NoAlerts : Alerts {
  void cannotOpenSettings() override {}
};
struct Desktop : ForegroundProbe {
  WindowId foreground = 0;
  const std::vector<std::string>* apps = nullptr;
  WindowId foregroundWindow() override { return foreground; }
  FocusChain focusChain(WindowId fg) override { return {fg, {"Main"}}; }
  std::vector<std::string> moduleNames(WindowId w) override {
    return {(*apps)[w % apps->size()], "ntdll.dll"};
  }
  Program programOf(WindowId w) override {
    return {(*apps)[w % apps->size()], kMediumIntegrity};
  }
  IntegrityReading ownIntegrity() override { return kMediumIntegrity; }
  Engine engineIntegrity() override { return {true, kMediumIntegrity}; }
};

struct Fixture {
  Fixture() : apps(applicationNames()) { fs.files[kPath] = settingsFile(apps); }
  std::unique_ptr<HelperCore> make(HelperMode mode) {
    return std::make_unique<HelperCore>(mode, HelperCore::Ports{fs, kPath, engine, icon, alerts},
                                        "RingDeck Helper.exe");
  }
  std::vector<std::string> apps;
  MemoryFileSystem fs;
  NoEngine engine;
  NoIcon icon;
  NoAlerts alerts;
};

Fixture& fixture() {
  static Fixture f;
  return f;
}

// Start-up or reload in AutoSwitch mode: read 10,000 records into a new arena, the map of 5,000
// keys, the name table, and the menu of the global list.
void BM_AutoSwitchReadAndMenu(benchmark::State& state) {
  Fixture& f = fixture();
  for (auto _ : state) {
    auto core = f.make(HelperMode::AutoSwitch);
    benchmark::DoNotOptimize(core->start());
    benchmark::DoNotOptimize(core->menu().size());
  }
}
BENCHMARK(BM_AutoSwitchReadAndMenu)->Unit(benchmark::kMillisecond);

// Plain mode: the menu of all 10,000 sets.
void BM_PlainReadAndMenu(benchmark::State& state) {
  Fixture& f = fixture();
  for (auto _ : state) {
    auto core = f.make(HelperMode::Plain);
    benchmark::DoNotOptimize(core->start());
    benchmark::DoNotOptimize(core->menu().size());
  }
}
BENCHMARK(BM_PlainReadAndMenu)->Unit(benchmark::kMillisecond);

// One AutoSwitch tick that finds another application: name, lookup, menu, send.
void BM_SwitchApplication(benchmark::State& state) {
  Fixture& f = fixture();
  auto core = f.make(HelperMode::AutoSwitch);
  core->start();
  Desktop desktop;
  desktop.apps = &f.apps;
  WindowId w = 1;
  for (auto _ : state) {
    desktop.foreground = w++;
    core->onTimer(desktop);
    benchmark::DoNotOptimize(f.engine.last);
  }
}
BENCHMARK(BM_SwitchApplication)->Unit(benchmark::kMicrosecond);

// A tick when nothing changed in front.
void BM_QuietTick(benchmark::State& state) {
  Fixture& f = fixture();
  auto core = f.make(HelperMode::AutoSwitch);
  core->start();
  Desktop desktop;
  desktop.apps = &f.apps;
  desktop.foreground = 7;
  core->onTimer(desktop);
  for (auto _ : state) core->onTimer(desktop);
}
BENCHMARK(BM_QuietTick);

// Lookup of an application key in the map of 5,000 keys (present and absent keys in turn).
void BM_MapLookup(benchmark::State& state) {
  Fixture& f = fixture();
  Arena arena;
  AppSetMap map(arena);
  std::vector<std::string> keys;
  for (std::size_t i = 0; i < f.apps.size(); ++i) {
    keys.push_back(upperCaseAscii(f.apps[i]));
    map.listFor(keys.back())->append(arena, static_cast<std::uint32_t>(i));
    keys.push_back(upperCaseAscii("x" + f.apps[i]));  // absent
  }
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(map.find(keys[i]));
    i = (i + 1) % keys.size();
  }
}
BENCHMARK(BM_MapLookup);

}  // namespace

BENCHMARK_MAIN();
