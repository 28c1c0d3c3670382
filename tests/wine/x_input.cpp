#include "x_input.h"

#include <atomic>
#include <cstdio>

#include "wine_support.h"

namespace ringdeck::wine {
namespace {

std::string readSmallFile(const std::string& path) {
  HANDLE f = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return {};
  char buffer[64] = {};
  DWORD read = 0;
  ReadFile(f, buffer, sizeof buffer - 1, &read, nullptr);
  CloseHandle(f);
  return std::string(buffer, read);
}

}  // namespace

int RunUnix(const std::string& command, DWORD timeoutMs) {
  static std::atomic<unsigned> counter{0};
  const std::string marker = "/tmp/ringdeck-xinput-" + std::to_string(GetCurrentProcessId()) + "-" +
                             std::to_string(counter++);
  auto windowsPathOf = [](std::string p) {
    for (char& c : p)
      if (c == '/') c = '\\';
    return "Z:" + p;
  };
  // The command goes to the shell in a script file, byte for byte: on a command line Wine's
  // argument parsing keeps a backslash that the shell's quoting would then read again, and a
  // typed "C:\x" arrived as "C:\\x". The marker appears whole (written, then renamed) once the
  // command has ended.
  const std::string script = command + "\necho $? > " + marker + ".part; mv " + marker + ".part " + marker + "\n";
  {
    HANDLE f = CreateFileA(windowsPathOf(marker + ".sh").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return -1;
    DWORD put = 0;
    const bool ok = WriteFile(f, script.data(), static_cast<DWORD>(script.size()), &put, nullptr) && put == script.size();
    CloseHandle(f);
    if (!ok) return -1;
  }
  std::string line = "/bin/sh " + marker + ".sh";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
    return -1;
  if (process.hThread) CloseHandle(process.hThread);
  if (process.hProcess) CloseHandle(process.hProcess);
  const std::string windowsMarker = windowsPathOf(marker);
  std::string status;
  const bool ended = waitUntil([&] { return !(status = readSmallFile(windowsMarker)).empty(); }, timeoutMs);
  DeleteFileA(windowsPathOf(marker + ".sh").c_str());
  if (!ended) return -1;
  DeleteFileA(windowsMarker.c_str());
  return std::atoi(status.c_str());
}

bool XDo(const std::string& arguments) { return RunUnix("xdotool " + arguments) == 0; }

bool XClickAt(int x, int y, int button) {
  // No --sync: it waits for a motion that never comes when the pointer is already there.
  return XDo("mousemove " + std::to_string(x) + " " + std::to_string(y) + " click " + std::to_string(button));
}

bool XClickWindow(HWND window, int button) {
  RECT r;
  if (!GetWindowRect(window, &r)) return false;
  return XClickAt((r.left + r.right) / 2, (r.top + r.bottom) / 2, button);
}

bool XScreenshot(const std::string& unixPath) {
  // Not xwd -root: Wine's windows have a colormap of their own, and xwd then reads stacked
  // windows one by one and returns every covered part, menus and dialogs included, as black.
  return RunUnix("/usr/bin/import -silent -window root '" + unixPath + "'", 30000) == 0;
}

}  // namespace ringdeck::wine
