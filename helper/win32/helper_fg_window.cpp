// A stand-in application for the helper's integration tests: one visible top-level window of the
// class and title given on the command line (helper_fg_window <class> <title>), until closed.
#include <windows.h>

#include <string>

namespace {

LRESULT CALLBACK windowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  WNDCLASSA wc{};
  wc.lpfnWndProc = windowProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = argv[1];
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  if (!RegisterClassA(&wc)) return 3;
  HWND w = CreateWindowExA(0, argv[1], argv[2], WS_OVERLAPPEDWINDOW | WS_VISIBLE, 400, 100, 300,
                           200, nullptr, nullptr, wc.hInstance, nullptr);
  if (!w) return 4;
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return 0;
}
