#include "win32_file.h"

#include <windows.h>

#include "win32_log.h"

namespace ringdeck::win32 {
namespace {

constexpr DWORD kAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE;

class Win32File final : public FileAccess {
 public:
  explicit Win32File(HANDLE h) : h_(h) {}
  ~Win32File() override { CloseHandle(h_); }
  Win32File(const Win32File&) = delete;
  Win32File& operator=(const Win32File&) = delete;

  std::optional<std::uint64_t> size() override {
    LARGE_INTEGER s;
    if (!GetFileSizeEx(h_, &s)) {
      logLastError("GetFileSizeEx");
      return std::nullopt;
    }
    return static_cast<std::uint64_t>(s.QuadPart);
  }

  std::optional<std::size_t> readAt(std::uint64_t offset, std::span<std::uint8_t> out) override {
    if (!seek(offset)) return std::nullopt;
    std::size_t total = 0;
    while (total < out.size()) {
      DWORD got = 0;
      const DWORD want = static_cast<DWORD>(std::min<std::size_t>(out.size() - total, 1u << 30));
      if (!ReadFile(h_, out.data() + total, want, &got, nullptr)) {
        logLastError("ReadFile");
        return std::nullopt;
      }
      if (got == 0) break;  // end of file
      total += got;
    }
    return total;
  }

  bool writeAt(std::uint64_t offset, std::span<const std::uint8_t> data) override {
    if (!seek(offset)) return false;
    std::size_t total = 0;
    while (total < data.size()) {
      DWORD put = 0;
      const DWORD want = static_cast<DWORD>(std::min<std::size_t>(data.size() - total, 1u << 30));
      if (!WriteFile(h_, data.data() + total, want, &put, nullptr) || put == 0) {
        logLastError("WriteFile");
        return false;
      }
      total += put;
    }
    return true;
  }

  bool flush() override {
    if (!FlushFileBuffers(h_)) {
      logLastError("FlushFileBuffers");
      return false;
    }
    return true;
  }

  bool lockForUpdate() override {
    // One byte far beyond any settings file's end: no read or write of the file meets it, and
    // every handle that takes it (in any process) waits for the one that holds it. The system
    // lets it go when the handle is closed or its process ends.
    constexpr DWORD kWaitMs = 10000;
    const ULONGLONG start = GetTickCount64();
    for (;;) {
      OVERLAPPED at{};
      at.Offset = 0;
      at.OffsetHigh = 0x40000000;
      if (LockFileEx(h_, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at))
        return true;
      const DWORD error = GetLastError();
      if ((error != ERROR_LOCK_VIOLATION && error != ERROR_IO_PENDING) ||
          GetTickCount64() - start > kWaitMs) {
        SetLastError(error);
        logLastError("LockFileEx");
        return false;
      }
      Sleep(10);
    }
  }

  bool truncate(std::uint64_t newSize) override {
    if (!seek(newSize)) return false;
    if (!SetEndOfFile(h_)) {
      logLastError("SetEndOfFile");
      return false;
    }
    return true;
  }

 private:
  bool seek(std::uint64_t offset) {
    LARGE_INTEGER to;
    to.QuadPart = static_cast<LONGLONG>(offset);
    if (!SetFilePointerEx(h_, to, nullptr, FILE_BEGIN)) {
      logLastError("SetFilePointerEx");
      return false;
    }
    return true;
  }

  HANDLE h_;
};

}  // namespace

std::unique_ptr<FileAccess> Win32FileSystem::open(const std::string& path, OpenMode mode) {
  return openWithAttributes(path, mode, CreatedAttributes::SettingsFile);
}

std::unique_ptr<FileAccess> Win32FileSystem::openWithAttributes(const std::string& path, OpenMode mode,
                                                                CreatedAttributes attributes) {
  const DWORD created = attributes == CreatedAttributes::Archive ? FILE_ATTRIBUTE_ARCHIVE : kAttributes;
  DWORD access = GENERIC_READ | GENERIC_WRITE;
  DWORD creation = OPEN_ALWAYS;
  switch (mode) {
    case OpenMode::ReadOnlyExisting:
      access = GENERIC_READ;
      creation = OPEN_EXISTING;
      break;
    case OpenMode::ReadWriteOpenAlways:
      break;
    case OpenMode::ReadWriteCreateNew:
      creation = CREATE_ALWAYS;
      break;
  }
  HANDLE h = CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         creation, created | FILE_FLAG_RANDOM_ACCESS, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    logLastError("CreateFileA");
    return nullptr;
  }
  return std::make_unique<Win32File>(h);
}

bool Win32FileSystem::exists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool Win32FileSystem::remove(const std::string& path) {
  // A hidden or read-only file must lose those attributes before it can be deleted.
  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  if (!DeleteFileA(path.c_str())) {
    logLastError("DeleteFileA");
    return false;
  }
  return true;
}

bool Win32FileSystem::replace(const std::string& source, const std::string& target) {
  SetFileAttributesA(source.c_str(), kAttributes);
  if (!MoveFileExA(source.c_str(), target.c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    logLastError("MoveFileExA");
    return false;
  }
  return true;
}

std::string recoveryFolder() {
  char buffer[MAX_PATH + 1];
  const DWORD n = GetEnvironmentVariableA("LOCALAPPDATA", buffer, sizeof buffer);
  if (n == 0 || n > MAX_PATH) return {};
  std::string dir(buffer, n);
  if (!dir.empty() && (dir.back() == '\\' || dir.back() == '/')) dir.pop_back();
  return dir + "\\RingDeck";
}

std::string Win32FileSystem::recoveryCopyPath(const std::string& path) {
  const std::string folder = recoveryFolder();
  if (folder.empty()) return {};
  if (!CreateDirectoryA(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
    logLastError("CreateDirectoryA");
  const std::size_t cut = path.find_last_of("\\/");
  return folder + "\\" + (cut == std::string::npos ? path : path.substr(cut + 1)) + ".save";
}

std::string systemDirectory() {
  char buffer[MAX_PATH + 1];
  const UINT n = GetSystemDirectoryA(buffer, sizeof buffer);
  if (n == 0 || n > MAX_PATH) {
    logLastError("GetSystemDirectoryA");
    return {};
  }
  std::string dir(buffer, n);
  if (!dir.empty() && (dir.back() == '\\' || dir.back() == '/')) dir.pop_back();
  return dir;
}

}  // namespace ringdeck::win32
