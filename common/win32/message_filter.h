// Lets registered messages from programs of a lower integrity level reach a window.
//
// On Windows Vista and later a program started elevated (an engine started by an elevated setup,
// or "as administrator" by the user) would otherwise never see the messages that the
// non-elevated helper and control panel send it: the system drops them without a word.
#pragma once

#include <windows.h>

#include <initializer_list>

namespace ringdeck::win32 {

// Allows each message through the window's message filter. Systems before Windows 7 have no
// per-window filter (the function is looked up at run time, so the programs still start on
// Windows 95/98/Me and NT 5); there, and where the system refuses, it returns false and changes
// nothing. True when every message was allowed.
bool AllowMessagesThroughFilter(HWND window, std::initializer_list<UINT> messages);

}  // namespace ringdeck::win32
