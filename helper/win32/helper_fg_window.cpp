// A stand-in application for the helper's integration tests: one visible top-level window of the
// class and title given on the command line (helper_fg_window <class> <title>), until closed.
// Started with any other arguments (as a copy standing in for another program), the class is
// "HelperStandIn" and the title its own program file name.
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
  std::string className = "HelperStandIn", title;
  if (argc == 3) {
    className = argv[1];
    title = argv[2];
  } else {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    title = path;
    title = title.substr(title.find_last_of('\\') + 1);
  }
  WNDCLASSA wc{};
  wc.lpfnWndProc = windowProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = className.c_str();
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  if (!RegisterClassA(&wc)) return 3;
  HWND w = CreateWindowExA(0, className.c_str(), title.c_str(), WS_OVERLAPPEDWINDOW | WS_VISIBLE, 400, 100, 300,
                           200, nullptr, nullptr, wc.hInstance, nullptr);
  if (!w) return 4;
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return 0;
}
