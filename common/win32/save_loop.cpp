// A program that uses a settings file the way the save tests need it, until it is ended:
//   save_loop save FILE FIRST_LIST   saves the two numbered lists of sets into FILE one after
//                                    the other, starting with list FIRST_LIST (0 or 1)
//   save_loop hold FILE share|exclusive|saving
//                                    holds FILE open: sharing reading and writing as the suite's
//                                    programs do, sharing nothing, or as a save that never ends
//                                    (holding the right to rewrite it)
// Exit code 1 when a save fails or the file cannot be held. It sets the event named
// "RingDeckSaveLoop<pid>" once the file is held, or the lists are built and saving starts.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "numbered_sets.h"
#include "whole_file_save.h"
#include "win32_file.h"

namespace {

void tellReady() {
  const std::string name = "RingDeckSaveLoop" + std::to_string(GetCurrentProcessId());
  SetEvent(CreateEventA(nullptr, TRUE, FALSE, name.c_str()));
}

int hold(const char* path, const std::string& how) {
  const DWORD share = how == "exclusive" ? 0 : FILE_SHARE_READ | FILE_SHARE_WRITE;
  HANDLE h = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, share, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return 1;
  std::unique_ptr<ringdeck::FileAccess> saving;
  if (how == "saving") {
    ringdeck::win32::Win32FileSystem files;
    saving = files.open(path, ringdeck::OpenMode::ReadWriteOpenAlways);
    if (!saving || !saving->lockForUpdate()) return 1;
  }
  tellReady();
  Sleep(INFINITE);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: save_loop save FILE 0|1 | hold FILE share|exclusive|saving\n");
    return 2;
  }
  if (std::strcmp(argv[1], "hold") == 0) return hold(argv[2], argv[3]);
  const std::vector<ringdeck::SettingsRecord> lists[2] = {ringdeck::testing::numberedSets(0),
                                                          ringdeck::testing::numberedSets(1)};
  ringdeck::win32::Win32FileSystem files;
  const unsigned first = argv[3][0] == '1' ? 1 : 0;
  tellReady();
  for (unsigned n = first;; ++n) {
    if (!ringdeck::saveSettingsInPlace(files, argv[2], lists[n % 2])) return 1;
  }
}
