// Start-up and Apply of the control panel under Wine, for the shipped default settings and for
// a file of 10,000 sets:
//   panel_timing [starts]      default 10
// Start-up: process start until the window is visible showing user action 0 ("Button 1").
// Apply: a click on Apply (BM_CLICK, answered when the handler is done): the edit stored, the
// sorted file written, Reload.All.Preferences answered by a helper and an engine stand-in.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "protocol.h"
#include "settings_io.h"
#include "win32_file.h"
#include "wine_support.h"

#include "../../panel/win32/resource.h"

namespace ringdeck::wine {
namespace {

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

bool writeFile(ringdeck::win32::Win32FileSystem& files, const std::string& path,
               const std::vector<SettingsRecord>& sets) {
  files.remove(path);
  auto f = files.open(path, OpenMode::ReadWriteCreateNew);
  return f && writeSettingsFile(*f, sets);
}

std::vector<SettingsRecord> shippedDefaults(ringdeck::win32::Win32FileSystem& files) {
  auto f = files.open(windowsPath(RINGDECK_DEFAULT_SETTINGS), OpenMode::ReadWriteOpenAlways);
  auto sets = f ? readAllSettingsRecords(*f) : std::nullopt;
  return sets ? *sets : std::vector<SettingsRecord>(1);
}

std::vector<SettingsRecord> manySets(std::size_t n) {
  std::vector<SettingsRecord> sets(n);
  setName(sets[0], "Global Settings");
  for (std::size_t i = 1; i < n; ++i) {
    // Names in no order, so that the save really sorts.
    const unsigned key = static_cast<unsigned>((i * 7919) % 100003);
    setName(sets[i], "Set " + std::to_string(key));
    setTargetApp(sets[i], "PROGRAM" + std::to_string(i) + ".EXE");
  }
  return sets;
}

struct Run {
  std::vector<double> startMs;
  std::vector<double> applyMs;
};

Run measure(const std::string& panel, int starts) {
  Run run;
  const UINT reload = RegisterWindowMessageA(kMsgReloadAllPreferences);
  auto answer = [reload](UINT m, WPARAM, LPARAM, LRESULT& r) {
    if (m != reload) return false;
    r = 0;
    return true;
  };
  StandInWindow helper(kHelperWindowClass, "", answer);
  StandInWindow engine(kEngineWindowClass, "", answer);
  for (int i = 0; i < starts; ++i) {
    ChildProcess p;
    HWND window = nullptr;
    const double t0 = nowMs();
    if (!p.start(panel, "")) break;
    waitUntil([&] {
      window = FindWindowA("TShuttleControlForm", "Orvanel RingDeck");
      return window && IsWindowVisible(window) &&
             SendMessageA(GetDlgItem(window, IDC_USERACTIONBOX), CB_GETCURSEL, 0, 0) == 0;
    }, 60000);
    run.startMs.push_back(nowMs() - t0);
    const double a0 = nowMs();
    SendMessageA(GetDlgItem(window, IDC_SPEEDBUTTON1), BM_CLICK, 0, 0);
    run.applyMs.push_back(nowMs() - a0);
  }
  return run;
}

}  // namespace
}  // namespace ringdeck::wine

int main(int argc, char** argv) {
  using namespace ringdeck;
  using namespace ringdeck::wine;
  const int starts = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
  ringdeck::win32::Win32FileSystem files;
  const std::string path = settingsFilePath(ringdeck::win32::systemDirectory());
  const std::string panel = windowsPath(RINGDECK_PANEL_EXE);
  struct Case {
    const char* name;
    std::vector<SettingsRecord> sets;
  };
  const Case cases[] = {{"shipped defaults", shippedDefaults(files)}, {"10,000 sets", manySets(10000)}};
  for (const Case& c : cases) {
    if (!writeFile(files, path, c.sets)) {
      std::printf("cannot write %s\n", path.c_str());
      return 1;
    }
    const Run run = measure(panel, starts);
    std::printf("%-17s (%zu sets): start to Button 1 shown median %.0f ms (min %.0f, max %.0f); "
                "Apply median %.1f ms over %d starts\n",
                c.name, c.sets.size(), median(run.startMs),
                *std::min_element(run.startMs.begin(), run.startMs.end()),
                *std::max_element(run.startMs.begin(), run.startMs.end()), median(run.applyMs), starts);
  }
  files.remove(path);
  return 0;
}
