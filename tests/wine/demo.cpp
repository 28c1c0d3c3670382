// The demo: the engine's virtual-device build with the shipped default settings, a short
// scripted session on a virtual controller, and, line by line, each control touched and the
// keystrokes and wheel turns that reached the system.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "device_table.h"
#include "protocol.h"
#include "settings_io.h"
#include "win32_file.h"
#include "wine_support.h"

namespace ringdeck::wine {
namespace {

std::string keyName(unsigned vk) {
  if ((vk >= '0' && vk <= '9') || (vk >= 'A' && vk <= 'Z')) return std::string(1, static_cast<char>(vk));
  switch (vk) {
    case VK_SHIFT: return "Shift";
    case VK_CONTROL: return "Ctrl";
    case VK_MENU: return "Alt";
    case VK_LWIN: return "Win";
    case VK_APPS: return "Apps";
    case VK_SPACE: return "Space";
    case VK_RETURN: return "Enter";
    case VK_LEFT: return "Left";
    case VK_RIGHT: return "Right";
    case VK_UP: return "Up";
    case VK_DOWN: return "Down";
    case VK_HOME: return "Home";
    case VK_END: return "End";
    case VK_DELETE: return "Delete";
    case VK_PRIOR: return "PageUp";
    case VK_NEXT: return "PageDown";
    case VK_TAB: return "Tab";
    case VK_MEDIA_PLAY_PAUSE: return "PlayPause";
    case VK_VOLUME_UP: return "VolumeUp";
    case VK_VOLUME_DOWN: return "VolumeDown";
    case VK_NUMLOCK: return "NumLock";
    default: {
      char b[8];
      std::snprintf(b, sizeof b, "0x%02X", vk);
      return b;
    }
  }
}

// "key 11 down extra=1" -> "Ctrl down"; "wheel -240 extra=0" -> "wheel -240".
std::string readable(const std::string& line) {
  unsigned vk = 0;
  char dir[8] = {};
  if (std::sscanf(line.c_str(), "key %x %7s", &vk, dir) == 2) return keyName(vk) + " " + dir;
  int delta = 0;
  if (std::sscanf(line.c_str(), "wheel %d", &delta) == 1) return "wheel " + std::to_string(delta);
  return line;
}

struct Step {
  const char* what;
  std::uint16_t buttons;
  std::int8_t shuttle;
  std::uint8_t jog;
  DWORD holdMs;
};

int run() {
  const std::string path = settingsFilePath(ringdeck::win32::systemDirectory());
  if (!CopyFileA(windowsPath(RINGDECK_DEFAULT_SETTINGS).c_str(), path.c_str(), FALSE)) {
    std::printf("demo: cannot put the default settings at %s\n", path.c_str());
    return 1;
  }
  std::printf("settings: the shipped defaults (%s)\n", RINGDECK_DEFAULT_SETTINGS);

  InputObserver observer;
  VirtualDevices devices;
  ChildProcess engine;
  if (!engine.start(windowsPath(RINGDECK_ENGINE_VIRTUAL), "-run") || !devices.waitForEngine()) {
    std::printf("demo: the engine did not start\n");
    return 1;
  }
  const int device = devices.plug(engine::kMakerVendor, engine::kMakerController);
  if (device < 0) {
    std::printf("demo: the engine did not open the virtual device\n");
    return 1;
  }
  std::printf("device: virtual controller plugged in\n\n");

  // The global set: nothing typed into text, the jog turns the wheel, the ring scrolls faster
  // the further out it is and takes back its first step when it comes home.
  const Step script[] = {
      {"(device at rest)", 0, 0, 0, 100},
      {"Upper Center Button (play/pause)", 1 << 6, 0, 0, 150},
      {"Upper Center Button released", 0, 0, 0, 150},
      {"Top Center Right Button (next tab)", 1 << 2, 0, 0, 150},
      {"Top Center Right Button released", 0, 0, 0, 150},
      {"Top Left Button (back)", 1 << 0, 0, 0, 150},
      {"Top Left Button released", 0, 0, 0, 150},
      {"Jog turned right (scroll down)", 0, 0, 1, 100},
      {"Jog turned right", 0, 0, 2, 100},
      {"Jog turned left (scroll up)", 0, 0, 1, 100},
      {"Shuttle to +1 (held 1.2 s)", 0, 1, 1, 1200},
      {"Shuttle to +4 (held 1.2 s)", 0, 4, 1, 1200},
      {"Shuttle back to centre", 0, 0, 1, 200},
      {"Shuttle to -2 (held 0.5 s)", 0, -2, 1, 500},
      {"Shuttle back to centre", 0, 0, 1, 200},
      {"Bottom Right Button held, jog (zoom)", 1 << 12, 0, 2, 150},
      {"Bottom Right Button released", 0, 0, 2, 150},
  };
  std::size_t seen = 0;
  for (const Step& s : script) {
    const std::uint8_t report[8] = {0, static_cast<std::uint8_t>(s.shuttle), s.jog, 0,
                                    static_cast<std::uint8_t>(s.buttons), static_cast<std::uint8_t>(s.buttons >> 8),
                                    0, 0};
    devices.send(device, report);
    Sleep(s.holdMs);
    const auto lines = observer.lines();
    std::string out;
    for (; seen < lines.size(); ++seen) out += (out.empty() ? "" : ", ") + readable(lines[seen]);
    std::printf("%-38s -> %s\n", s.what, out.empty() ? "(nothing)" : out.c_str());
    std::fflush(stdout);
  }

  devices.unplug(device);
  Sleep(100);
  if (HWND w = FindWindowA(kEngineWindowClass, nullptr)) SendMessageA(w, WM_QUIT, 0, 0);
  const auto status = engine.wait(5000);
  std::printf("\nengine: ended with status %lu\n", status ? static_cast<unsigned long>(*status) : 999ul);
  DeleteFileA(path.c_str());
  return status == std::optional<DWORD>(0u) ? 0 : 1;
}

}  // namespace
}  // namespace ringdeck::wine

int main() { return ringdeck::wine::run(); }
