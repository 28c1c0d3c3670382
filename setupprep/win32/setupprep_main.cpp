// setupprep.exe: no window, no command line; the outcome is the exit code.
#include <windows.h>

#include "setup_prep.h"
#include "win32_file.h"
#include "win32_setup_platform.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  ringdeck::setup::win32::Win32PlatformInfo platform;
  ringdeck::setup::win32::Win32WindowFinder windows;
  ringdeck::setup::win32::Win32UserPrompts prompts;
  ringdeck::win32::Win32FileSystem files;
  ringdeck::setup::SetupEnvironment env{platform, windows, prompts, files};
  return ringdeck::setup::runSetupPrep(env);
}
