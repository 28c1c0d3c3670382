// Ordinary files through the C and C++ standard libraries: the native builds' file system
// (tests, tools). It knows no hidden or archive attributes and takes no sharing flags.
#pragma once

#include "file_access.h"

namespace ringdeck {

class StdioFileSystem final : public FileSystem {
 public:
  std::unique_ptr<FileAccess> open(const std::string& path, OpenMode mode) override;
  bool exists(const std::string& path) override;
  bool remove(const std::string& path) override;
  bool replace(const std::string& source, const std::string& target) override;
};

}  // namespace ringdeck
