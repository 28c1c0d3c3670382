// "Orvanel RingDeck.exe": one instance at a time. A second start hands its arguments to the
// running one through the channel and ends; the first builds the windows and runs the loop.
#include <windows.h>
#include <commctrl.h>

#include "Tmailslot.h"
#include "message_filter.h"
#include "Unit1.h"
#include "Unit2.h"
#include "Unit3.h"
#include "win32_log.h"

using namespace ringdeck::panel::win32;

namespace {

// Whether a running control panel's window is there to take a hand-over. Its owner may still be
// building it, so it is given a few seconds; a channel held by another program never gets one.
bool runningPanelWindowAppears() {
  for (int i = 0; i < 50; ++i) {
    if (FindWindowA(TShuttleControlForm::kWindowClass, nullptr)) return true;
    Sleep(100);
  }
  return false;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
  TMailSlot channel(ringdeck::panel::kPanelSlotName);
  if (!channel.owner()) {
    if (!runningPanelWindowAppears()) {
      // Handing over would end this start without a word and without a window.
      MessageBoxA(nullptr,
                  "The control panel cannot start: another program holds its channel "
                  "\\\\.\\mailslot\\Once\\MailSlot\\RingDeck.",
                  "Orvanel RingDeck", MB_ICONERROR);
      return 1;
    }
    HandOverToRunningInstance(channel, CommandLineArguments());
    return 0;
  }

  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_UPDOWN_CLASS | ICC_BAR_CLASSES | ICC_TAB_CLASSES};
  InitCommonControlsEx(&controls);
  if (!RegisterPictureClass(instance)) return 1;

  TShuttleControlForm form(instance);
  TForm2 about(instance);
  TForm3 createDialog(instance);
  if (!createDialog.Create() || !form.Create(&about, &createDialog) || !about.Create()) {
    MessageBoxA(nullptr, "The control panel window cannot be created.", "Orvanel RingDeck", MB_ICONERROR);
    return 1;
  }
  // The broadcast comes from a program of the same user; it must reach the window even when
  // this one runs elevated.
  ringdeck::win32::AllowMessagesThroughFilter(form.handle(), {channel.messageId});
  auto bringToFront = [&form] { BringApplicationToFront(form.handle()); };
  // Requests that reached the channel before the window existed are served now.
  channel.HandleMessage(channel.messageId, form.handle(), form.handle(), form.handle(), bringToFront);
  form.Show(showCommand);

  // The form the user last had active here; GetActiveWindow() is null while another program
  // is in front, and every broadcast would then count as aimed elsewhere.
  HWND activeForm = form.handle();
  auto serveChannel = [&](UINT message, HWND addressedTo) {
    if (HWND active = GetActiveWindow()) activeForm = active;
    return channel.HandleMessage(message, addressedTo, form.handle(), activeForm, bringToFront);
  };
  form.SetChannelHandler(serveChannel);
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    if (serveChannel(msg.message, msg.hwnd)) continue;
    if (about.PreTranslate(msg) || createDialog.PreTranslate(msg) || form.PreTranslate(msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  channel.Close();
  return 0;
}
