// Files through CreateFileA, with the sharing every program of the suite uses: shared for reading
// and writing, random access. No program locks a file. Created files are hidden and archive like
// the settings file unless the caller asks for archive only (what the user saves to be seen).
#pragma once

#include <string>

#include "../file_access.h"

namespace ringdeck::win32 {

class Win32FileSystem final : public FileSystem {
 public:
  std::unique_ptr<FileAccess> open(const std::string& path, OpenMode mode) override;
  std::unique_ptr<FileAccess> openWithAttributes(const std::string& path, OpenMode mode,
                                                 CreatedAttributes attributes) override;
  bool exists(const std::string& path) override;
  bool remove(const std::string& path) override;
  bool replace(const std::string& source, const std::string& target) override;
  // "%LOCALAPPDATA%\RingDeck\<file name>.save" (the folder made when missing): the user's own
  // folder, which a standard user may write wherever the file itself lives.
  std::string recoveryCopyPath(const std::string& path) override;
};

// The folder recovery copies are kept in, "%LOCALAPPDATA%\RingDeck"; empty when the user has no
// local application data folder.
std::string recoveryFolder();

// GetSystemDirectoryA, without a trailing separator; empty on failure.
std::string systemDirectory();

}  // namespace ringdeck::win32
