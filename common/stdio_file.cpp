#include "stdio_file.h"

#include <climits>
#include <cstdio>
#include <filesystem>
#include <system_error>

namespace ringdeck {
namespace {

class StdioFile final : public FileAccess {
 public:
  StdioFile(std::FILE* f, std::string path) : f_(f), path_(std::move(path)) {}
  ~StdioFile() override { std::fclose(f_); }
  StdioFile(const StdioFile&) = delete;
  StdioFile& operator=(const StdioFile&) = delete;

  std::optional<std::uint64_t> size() override {
    if (std::fflush(f_) != 0 || std::fseek(f_, 0, SEEK_END) != 0) return std::nullopt;
    const long end = std::ftell(f_);
    if (end < 0) return std::nullopt;
    return static_cast<std::uint64_t>(end);
  }

  std::optional<std::size_t> readAt(std::uint64_t offset, std::span<std::uint8_t> out) override {
    if (!seek(offset)) return std::nullopt;
    const std::size_t n = std::fread(out.data(), 1, out.size(), f_);
    if (std::ferror(f_)) {
      std::clearerr(f_);
      return std::nullopt;
    }
    return n;
  }

  bool writeAt(std::uint64_t offset, std::span<const std::uint8_t> data) override {
    if (!seek(offset)) return false;
    return std::fwrite(data.data(), 1, data.size(), f_) == data.size() && std::fflush(f_) == 0;
  }

  bool truncate(std::uint64_t newSize) override {
    if (std::fflush(f_) != 0) return false;
    std::error_code ec;
    std::filesystem::resize_file(path_, newSize, ec);
    return !ec;
  }

 private:
  bool seek(std::uint64_t offset) {
    // Settings files are small; an offset beyond long is a caller's error, not a seek.
    if (offset > static_cast<std::uint64_t>(LONG_MAX)) return false;
    return std::fseek(f_, static_cast<long>(offset), SEEK_SET) == 0;
  }

  std::FILE* f_;
  std::string path_;
};

}  // namespace

std::unique_ptr<FileAccess> StdioFileSystem::open(const std::string& path, OpenMode mode) {
  std::FILE* f = nullptr;
  switch (mode) {
    case OpenMode::ReadOnlyExisting:
      f = std::fopen(path.c_str(), "rb");
      break;
    case OpenMode::ReadWriteOpenAlways:
      f = std::fopen(path.c_str(), "r+b");
      if (!f) f = std::fopen(path.c_str(), "w+b");
      break;
    case OpenMode::ReadWriteCreateNew:
      f = std::fopen(path.c_str(), "w+b");
      break;
  }
  if (!f) return nullptr;
  return std::make_unique<StdioFile>(f, path);
}

bool StdioFileSystem::exists(const std::string& path) {
  std::error_code ec;
  return std::filesystem::exists(path, ec);
}

bool StdioFileSystem::remove(const std::string& path) {
  std::error_code ec;
  return std::filesystem::remove(path, ec);
}

bool StdioFileSystem::replace(const std::string& source, const std::string& target) {
  std::error_code ec;
  std::filesystem::rename(source, target, ec);
  return !ec;
}

}  // namespace ringdeck
