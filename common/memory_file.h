// Files held in memory, for tests and fuzzing: a FileAccess over a byte vector, and a FileSystem
// of such files that can be told to fail.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "file_access.h"

namespace ringdeck {

class MemoryFile final : public FileAccess {
 public:
  explicit MemoryFile(std::vector<std::uint8_t>& bytes) : bytes_(bytes) {}

  // Every write fails once this many bytes have been written through this file; nothing
  // beyond the limit reaches the bytes (a full disk or a crash halfway).
  void failWritesAfter(std::uint64_t limit) { writeLimit_ = limit; }
  void failReads() { failReads_ = true; }

  std::optional<std::uint64_t> size() override { return bytes_.size(); }
  std::optional<std::size_t> readAt(std::uint64_t offset, std::span<std::uint8_t> out) override;
  bool writeAt(std::uint64_t offset, std::span<const std::uint8_t> data) override;
  bool truncate(std::uint64_t size) override;

 private:
  std::vector<std::uint8_t>& bytes_;
  std::uint64_t written_ = 0;
  std::uint64_t writeLimit_ = UINT64_MAX;
  bool failReads_ = false;
};

class MemoryFileSystem final : public FileSystem {
 public:
  std::map<std::string, std::vector<std::uint8_t>> files;
  // Writes through files opened from now on fail after this many bytes (per file).
  std::uint64_t writeLimit = UINT64_MAX;
  // The same for the files named here only (and before writeLimit when lower).
  std::map<std::string, std::uint64_t> writeLimitFor;
  bool failOpen = false;
  // Files a standard user may read but not write: opening them for writing fails.
  std::set<std::string> readOnly;
  bool failReplace = false;

  // The attributes each file was last opened for writing with (open: the settings file's).
  std::map<std::string, CreatedAttributes> attributes;

  std::unique_ptr<FileAccess> open(const std::string& path, OpenMode mode) override;
  std::unique_ptr<FileAccess> openWithAttributes(const std::string& path, OpenMode mode,
                                                 CreatedAttributes created) override;
  bool exists(const std::string& path) override { return files.count(path) != 0; }
  bool remove(const std::string& path) override { return files.erase(path) != 0; }
  bool replace(const std::string& source, const std::string& target) override;
};

}  // namespace ringdeck
