// Setup step, run from the setup's temporary folder and never installed: starts a program as the
// person logged on, through the desktop's shell (see desktop_start.h), so that a program started
// by an elevated setup runs with that person's standard rights, as it will at every logon.
//   desktopstart.exe "<program>" [parameters...]
// Exit code 0 when the shell took the request, 1 when there is no shell to ask or it refused,
// 2 without a program.
#include <windows.h>

#include <string>

#include "desktop_start.h"

namespace {

// Splits off the first word of a command line, quoted or not.
std::string firstWord(const char*& c) {
  while (*c == ' ' || *c == '\t') ++c;
  std::string word;
  if (*c == '"') {
    ++c;
    while (*c && *c != '"') word += *c++;
    if (*c == '"') ++c;
  } else {
    while (*c && *c != ' ' && *c != '\t') word += *c++;
  }
  while (*c == ' ' || *c == '\t') ++c;
  return word;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  const char* c = GetCommandLineA();
  firstWord(c);  // this program
  const std::string program = firstWord(c);
  if (program.empty()) return 2;
  return ringdeck::win32::startThroughDesktopShell(program, c) ? 0 : 1;
}
