#include "memory_file.h"

#include <algorithm>

namespace ringdeck {

std::optional<std::size_t> MemoryFile::readAt(std::uint64_t offset, std::span<std::uint8_t> out) {
  if (failReads_) return std::nullopt;
  if (offset >= bytes_.size()) return 0;
  const std::size_t n = std::min<std::uint64_t>(out.size(), bytes_.size() - offset);
  std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(offset), n, out.begin());
  return n;
}

bool MemoryFile::writeAt(std::uint64_t offset, std::span<const std::uint8_t> data) {
  std::size_t allowed = data.size();
  if (written_ + data.size() > writeLimit_) allowed = static_cast<std::size_t>(writeLimit_ - written_);
  if (offset + allowed > bytes_.size()) bytes_.resize(offset + allowed);
  std::copy_n(data.begin(), allowed, bytes_.begin() + static_cast<std::ptrdiff_t>(offset));
  written_ += allowed;
  return allowed == data.size();
}

bool MemoryFile::truncate(std::uint64_t size) {
  if (written_ >= writeLimit_) return false;
  bytes_.resize(size);
  return true;
}

namespace {

// Owns nothing: the bytes stay in the file system's map, like a file on disk.
class LimitedMemoryFile final : public FileAccess {
 public:
  LimitedMemoryFile(std::vector<std::uint8_t>& bytes, std::uint64_t limit, bool readOnly)
      : file_(bytes), readOnly_(readOnly) {
    file_.failWritesAfter(limit);
  }
  std::optional<std::uint64_t> size() override { return file_.size(); }
  std::optional<std::size_t> readAt(std::uint64_t o, std::span<std::uint8_t> out) override {
    return file_.readAt(o, out);
  }
  bool writeAt(std::uint64_t o, std::span<const std::uint8_t> d) override {
    return !readOnly_ && file_.writeAt(o, d);
  }
  bool truncate(std::uint64_t s) override { return !readOnly_ && file_.truncate(s); }

 private:
  MemoryFile file_;
  bool readOnly_;
};

}  // namespace

std::unique_ptr<FileAccess> MemoryFileSystem::open(const std::string& path, OpenMode mode) {
  return openWithAttributes(path, mode, CreatedAttributes::SettingsFile);
}

std::unique_ptr<FileAccess> MemoryFileSystem::openWithAttributes(const std::string& path, OpenMode mode,
                                                                 CreatedAttributes created) {
  if (failOpen) return nullptr;
  if (mode != OpenMode::ReadOnlyExisting && !readOnly.count(path)) attributes[path] = created;
  const auto limitFor = writeLimitFor.find(path);
  const std::uint64_t limit =
      limitFor == writeLimitFor.end() ? writeLimit : std::min(writeLimit, limitFor->second);
  auto it = files.find(path);
  if (mode != OpenMode::ReadOnlyExisting && readOnly.count(path)) return nullptr;
  switch (mode) {
    case OpenMode::ReadOnlyExisting:
      if (it == files.end()) return nullptr;
      return std::make_unique<LimitedMemoryFile>(it->second, limit, true);
    case OpenMode::ReadWriteOpenAlways:
      if (it == files.end()) it = files.emplace(path, std::vector<std::uint8_t>{}).first;
      return std::make_unique<LimitedMemoryFile>(it->second, limit, false);
    case OpenMode::ReadWriteCreateNew:
      files[path].clear();
      return std::make_unique<LimitedMemoryFile>(files[path], limit, false);
  }
  return nullptr;
}

bool MemoryFileSystem::replace(const std::string& source, const std::string& target) {
  if (failReplace) return false;
  auto it = files.find(source);
  if (it == files.end()) return false;
  auto bytes = std::move(it->second);
  files.erase(it);
  files[target] = std::move(bytes);
  return true;
}

}  // namespace ringdeck
