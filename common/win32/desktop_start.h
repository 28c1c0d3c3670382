// Starting a program as the user who owns the desktop, through the desktop's own shell.
//
// A program started with CreateProcess inherits the rights of its starter: started by an
// elevated setup it runs as administrator (and, when a standard user typed an administrator's
// password for the setup, as that administrator). The shell that draws the desktop runs as the
// person who logged on, with their standard rights; asking it to start the program gives the
// program exactly what it gets when it starts at logon.
#pragma once

#include <string>

namespace ringdeck::win32 {

// Asks the desktop's shell to open program with the parameters, in the program's folder. False
// when there is no shell desktop to ask (a system without one, a session without a desktop
// shell) or it refused; the caller decides what to do instead. The program starts on its own
// time: the call does not wait for it.
bool startThroughDesktopShell(const std::string& program, const std::string& parameters);

}  // namespace ringdeck::win32
