// Real X input for the Wine tests, as a person's mouse and keyboard give it: xdotool sends
// XTest events, which Wine's X11 driver turns into ordinary hardware input (low-level hooks
// see them as not injected). Also screenshots of the X display.
#pragma once

#include <windows.h>

#include <string>

namespace ringdeck::wine {

// Runs a command line of the machine (not a Windows program) through /bin/sh and waits until
// it has ended; its exit status, or -1 when it could not be started or did not end in time.
// Wine starts Unix programs from CreateProcess but gives no handle that can be waited on, so
// the shell leaves a marker file that this polls (pumping messages meanwhile).
int RunUnix(const std::string& command, DWORD timeoutMs = 15000);

// xdotool's arguments, e.g. "keydown ctrl keydown a keyup a keyup ctrl".
bool XDo(const std::string& arguments);
// A left click at a point of the screen (Wine's screen coordinates are the X display's).
bool XClickAt(int x, int y, int button = 1);
// A left click in the middle of a window (a control of another process included).
bool XClickWindow(HWND window, int button = 1);
// The whole X display as a PNG file at a Unix path.
bool XScreenshot(const std::string& unixPath);

}  // namespace ringdeck::wine
