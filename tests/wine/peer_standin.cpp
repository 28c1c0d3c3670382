// A stand-in for another program of the suite, run as a process of its own so that a test can
// kill it the hard way (TerminateProcess) and start it again:
//   peer_standin panel    registers its window as the engine's report target and takes every
//                         report it is offered
//   peer_standin helper   a window of the helper's class that asks the engine for its status
//                         at start, like the helper does
// Whatever the engine tells it is passed on to the test's listener window (class
// "RingDeckTestListener") as a posted WM_APP + 1 (a report offered, wParam/lParam = its two
// words) or WM_APP + 2 (a status, wParam = set index, lParam = device count).
#include <windows.h>

#include <cstring>

#include "peer_standin.h"
#include "protocol.h"

namespace {

using namespace ringdeck;
using ringdeck::wine::kPanelStandInClass;
using ringdeck::wine::kPanelStandInRegistered;

constexpr const char* kListenerClass = "RingDeckTestListener";

UINT g_reportNotify = 0;
UINT g_statusNotify = 0;

void tellListener(UINT message, WPARAM w, LPARAM l) {
  if (HWND listener = FindWindowA(kListenerClass, nullptr)) PostMessageA(listener, message, w, l);
}

LRESULT CALLBACK proc(HWND window, UINT message, WPARAM w, LPARAM l) {
  if (message == g_reportNotify && g_reportNotify != 0) {
    tellListener(WM_APP + 1, w, l);
    return kReportTaken;
  }
  if (message == g_statusNotify && g_statusNotify != 0) {
    tellListener(WM_APP + 2, w, l);
    return 0;
  }
  return DefWindowProcA(window, message, w, l);
}

}  // namespace

int main(int argc, char** argv) {
  const bool panel = argc > 1 && std::strcmp(argv[1], "panel") == 0;
  const bool helper = argc > 1 && std::strcmp(argv[1], "helper") == 0;
  if (!panel && !helper) return 2;
  g_reportNotify = RegisterWindowMessageA(kMsgReportNotify);
  g_statusNotify = RegisterWindowMessageA(kMsgStatusNotify);

  WNDCLASSA cls{};
  cls.lpfnWndProc = proc;
  cls.hInstance = GetModuleHandleA(nullptr);
  cls.lpszClassName = panel ? kPanelStandInClass : kHelperWindowClass;
  if (!RegisterClassA(&cls)) return 3;
  HWND window = CreateWindowExA(0, cls.lpszClassName, "", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                                cls.hInstance, nullptr);
  if (!window) return 3;
  HWND engine = FindWindowA(kEngineWindowClass, nullptr);
  if (!engine) return 4;
  if (panel) {
    if (SendMessageA(engine, RegisterWindowMessageA(kMsgReportRequest), kReportRegister,
                     reinterpret_cast<LPARAM>(window)) != 0) {
      return 5;
    }
    SetWindowTextA(window, kPanelStandInRegistered);  // what a test waits for
  } else {
    SendMessageA(engine, RegisterWindowMessageA(kMsgStatusRequest), 0, 0);
  }
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
  return 0;
}
