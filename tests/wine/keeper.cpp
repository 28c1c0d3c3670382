// An ordinary process with a hidden window, alive for the whole Wine test session: without one,
// Wine replaces the desktop about a second after the last ordinary process ends, and windows of
// services started earlier can no longer be found.
#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  WNDCLASSA cls{};
  cls.lpfnWndProc = DefWindowProcA;
  cls.hInstance = instance;
  cls.lpszClassName = "RingDeckTestKeeper";
  RegisterClassA(&cls);
  CreateWindowExA(0, cls.lpszClassName, "", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr, instance, nullptr);
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
  return 0;
}
