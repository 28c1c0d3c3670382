// A second start of the control panel as its program entry does it, for the channel's Wine
// test: the first argument names the channel, the others are handed over. Ends with 0 after a
// hand-over, 3 when it found no running instance (it owned the channel), 2 without a name.
#include <windows.h>

#include "Tmailslot.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  using namespace ringdeck::panel::win32;
  std::vector<std::string> arguments = CommandLineArguments();
  if (arguments.empty()) return 2;
  TMailSlot slot(arguments.front());
  if (slot.owner()) return 3;
  arguments.erase(arguments.begin());
  HandOverToRunningInstance(slot, arguments);
  return 0;
}
