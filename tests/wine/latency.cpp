// End-to-end latency under Wine: from a report written to a virtual device to the key seen by a
// low-level hook, for the engine's virtual build and for a bare program that calls SendInput
// directly (the floor of this machine).
//   engine_latency [reports]     default 1000
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "device_table.h"
#include "engine_test_support.h"
#include "protocol.h"
#include "settings_io.h"
#include "win32_file.h"
#include "wine_support.h"

namespace ringdeck::wine {
namespace {

struct Figures {
  double median, p99, max;
};

// Plugs a device into whatever listens on the hub and measures each report's way to the hook.
std::vector<double> measure(int reports) {
  InputObserver observer;
  std::atomic<double> seenAt{0};
  std::atomic<int> seen{0};
  observer.onLine = [&](const std::string&) {
    seenAt = nowMs();
    ++seen;
  };
  VirtualDevices devices;
  std::vector<double> samples;
  if (!devices.waitForEngine()) return samples;
  const int d = devices.plug(engine::kMakerVendor, engine::kMakerController);
  if (d < 0) return samples;
  std::uint8_t report[8] = {};
  devices.send(d, report);  // the baseline
  Sleep(200);
  for (int i = 0; i < reports; ++i) {
    report[4] = static_cast<std::uint8_t>((i + 1) & 1);
    const int before = seen;
    const double sent = nowMs();
    devices.send(d, report);
    if (!waitUntil([&] { return seen > before; }, 2000)) continue;
    samples.push_back(seenAt - sent);
  }
  devices.unplug(d);
  return samples;
}

Figures figures(std::vector<double> s) {
  std::sort(s.begin(), s.end());
  return {s[s.size() / 2], s[std::min(s.size() - 1, s.size() * 99 / 100)], s.back()};
}

int run(int reports) {
  const std::string path = settingsFilePath(ringdeck::win32::systemDirectory());
  {
    SettingsRecord set{};
    setName(set, "Latency");
    set.slots[SlotIndex::button(0)] = ringdeck::testing::keystrokeSlot(0, 'A', kRepeatHold, true);
    ringdeck::win32::Win32FileSystem files;
    auto f = files.open(path, OpenMode::ReadWriteCreateNew);
    if (!f || !writeSettingsFile(*f, std::span(&set, 1))) return 1;
  }

  ChildProcess engine;
  engine.start(windowsPath(RINGDECK_ENGINE_VIRTUAL), "-run");
  const auto viaEngine = measure(reports);
  if (HWND w = FindWindowA(kEngineWindowClass, nullptr)) SendMessageA(w, WM_QUIT, 0, 0);
  engine.wait(5000);

  ChildProcess floor;
  floor.start(windowsPath(RINGDECK_LATENCY_FLOOR), "");
  const auto bare = measure(reports);
  floor.wait(5000);
  DeleteFileA(path.c_str());

  if (viaEngine.empty() || bare.empty()) {
    std::printf("latency: no samples (engine %zu, floor %zu)\n", viaEngine.size(), bare.size());
    return 1;
  }
  const Figures e = figures(viaEngine), b = figures(bare);
  std::printf("%-22s %8s %8s %8s %8s\n", "report -> hook (ms)", "samples", "median", "p99", "max");
  std::printf("%-22s %8zu %8.3f %8.3f %8.3f\n", "engine (virtual build)", viaEngine.size(), e.median, e.p99, e.max);
  std::printf("%-22s %8zu %8.3f %8.3f %8.3f\n", "floor (bare SendInput)", bare.size(), b.median, b.p99, b.max);
  return 0;
}

}  // namespace
}  // namespace ringdeck::wine

int main(int argc, char** argv) { return ringdeck::wine::run(argc > 1 ? std::atoi(argv[1]) : 1000); }
