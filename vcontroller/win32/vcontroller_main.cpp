// "RingDeck Virtual Controller.exe": the device as a window, for trying the suite without one.
// It serves the virtual-device pipes of the engine's virtual-device build; the product engine
// never reads them.
#include <windows.h>

#include "controller_window.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
  ringdeck::vcontroller::ControllerApp app(instance);
  return app.run(showCommand);
}
