// The helper reading any bytes as its settings file, in both modes, then acting on it: menus,
// picks, status and switching must stay in bounds whatever the file holds.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "helper_core.h"
#include "memory_file.h"
#include "settings_file.h"

namespace {

using namespace ringdeck;
using namespace ringdeck::helper;

struct Engine : EngineLink {
  bool findEngine() override { return true; }
  void sendStatusRequest() override {}
  void sendChangeCurrentPreference(std::uint32_t) override {}
};
struct Icon : TrayIcon {
  bool update(IconOperation, IconImage, const TooltipField&) override { return true; }
  void balloon(std::string_view, std::string_view) override {}
};
struct NoAlerts : Alerts {
  void cannotOpenSettings() override {}
};
struct Desktop : ForegroundProbe {
  std::vector<std::string> modules;
  WindowId foreground = 1;
  WindowId foregroundWindow() override { return foreground; }
  FocusChain focusChain(WindowId fg) override { return {fg, {"Main"}}; }
  std::vector<std::string> moduleNames(WindowId) override { return modules; }
  // Every other program runs higher, so its name (any bytes) goes into the warning texts.
  Program programOf(WindowId w) override {
    return {modules.empty() ? std::string() : modules.back(),
            w % 2 ? kHighIntegrity : kMediumIntegrity};
  }
  IntegrityReading ownIntegrity() override { return kMediumIntegrity; }
  Engine engineIntegrity() override { return {true, kMediumIntegrity}; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // The first byte steers. Every further 65 bytes become the name and target fields of one whole
  // record (inputs stay short while records are 6512 bytes); a shorter rest becomes a partial
  // record at the end of the file.
  if (size < 1) return 0;
  const std::uint8_t steer = data[0];
  ++data;
  --size;
  constexpr std::size_t kFields = 32 + 33;
  std::vector<std::uint8_t> file(kHeaderSize, 0);
  std::vector<std::string> targets;
  for (; size >= kFields; data += kFields, size -= kFields) {
    std::vector<std::uint8_t> record(kRecordSize, 0);
    std::memcpy(record.data() + offsetof(SettingsRecord, name), data, kFields);
    file.insert(file.end(), record.begin(), record.end());
    targets.emplace_back(reinterpret_cast<const char*>(data + 32), 33);
  }
  file.insert(file.end(), data, data + size);
  if (steer & 0x80) file.resize(steer & 15);  // files shorter than a header

  MemoryFileSystem fs;
  fs.files["f"] = file;
  Engine engine;
  Icon icon;
  NoAlerts alerts;
  HelperCore core(steer & 1 ? HelperMode::Plain : HelperMode::AutoSwitch,
                  HelperCore::Ports{fs, "f", engine, icon, alerts}, "RingDeck Helper.exe");
  if (!core.start()) return 0;
  core.showInitialIcon();
  Desktop desktop;
  for (std::size_t i = 0; i < targets.size(); ++i) {
    desktop.foreground = i + 1;
    desktop.modules = {targets[i], targets[i] + ".exe"};
    core.onTimer(desktop);
    core.pick(static_cast<std::uint32_t>(i + (steer >> 1 & 3)));
    core.onStatusNotify(static_cast<std::uint32_t>(i), steer & 2);
  }
  core.onReload(steer >> 3, 1);
  core.pick(0);
  core.removeIcon();
  return 0;
}
