// Prints every synthesised key and wheel input that reaches the system, one line each, as the
// low-level hooks see them (virtual key, up/down, extended flag, extra information; wheel
// delta). Runs for the given number of seconds (default 60), for watching the engine by hand:
//   wine observer.exe [seconds]
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "wine_support.h"

int main(int argc, char** argv) {
  const DWORD seconds = argc > 1 ? static_cast<DWORD>(std::atoi(argv[1])) : 60;
  ringdeck::wine::InputObserver observer;
  observer.onLine = [](const std::string& line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
  };
  Sleep(seconds * 1000);
  return 0;
}
