// "Orvanel RingDeck.exe": one instance at a time. A second start hands its arguments to the
// running one through the channel and ends; the first builds the windows and runs the loop.
#include <windows.h>
#include <commctrl.h>

#include "Unit1.h"
#include "Unit2.h"
#include "win32_log.h"

using namespace ringdeck::panel::win32;

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_UPDOWN_CLASS | ICC_BAR_CLASSES | ICC_TAB_CLASSES};
  InitCommonControlsEx(&controls);
  if (!RegisterPictureClass(instance)) return 1;

  TShuttleControlForm form(instance);
  TForm2 about(instance);
  if (!form.Create(&about) || !about.Create()) {
    MessageBoxA(nullptr, "The control panel window cannot be created.", "Orvanel RingDeck", MB_ICONERROR);
    return 1;
  }
  form.Show(showCommand);

  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    if (about.PreTranslate(msg) || form.PreTranslate(msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return 0;
}
