// "RingDeck Helper.exe": one running copy per desktop, counted across processes.
#include <windows.h>

#include "helper_window.h"

namespace {

// Every running copy of the program sees this one counter (a shared section); it is the only
// state the helper shares with anything.
volatile LONG instanceCount __attribute__((section(".SharedD"), shared)) = 0;

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  using namespace ringdeck::helper::win32;
  std::string ownName = ownProgramName();

  // Check and count in one step, so two helpers started together cannot both run.
  if (InterlockedCompareExchange(&instanceCount, 1, 0) != 0) return 1;

  int exitCode = 0;
  {
    HelperWindow helper(instance, std::move(ownName));
    if (const auto failed = helper.start()) {
      exitCode = *failed;
    } else {
      MSG msg{};
      BOOL got;
      while ((got = GetMessageA(&msg, nullptr, 0, 0)) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
      }
      exitCode = got == 0 ? static_cast<int>(msg.wParam) : -1;
      helper.finish();
    }
  }
  InterlockedDecrement(&instanceCount);
  return exitCode;
}
