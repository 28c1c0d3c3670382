#include "shared_section.h"

#include <windows.h>

#include "protocol.h"
#include "win32_log.h"

namespace ringdeck::engine::win32 {
namespace {

class NamedSection final : public SharedSection {
 public:
  NamedSection(HANDLE mapping, void* view, std::size_t size) : mapping_(mapping), view_(view), size_(size) {}
  ~NamedSection() override {
    UnmapViewOfFile(view_);
    CloseHandle(mapping_);
  }
  NamedSection(const NamedSection&) = delete;
  NamedSection& operator=(const NamedSection&) = delete;
  std::span<std::uint8_t> bytes() override { return {static_cast<std::uint8_t*>(view_), size_}; }

 private:
  HANDLE mapping_;
  void* view_;
  std::size_t size_;
};

}  // namespace

std::unique_ptr<SharedSection> NamedSectionFactory::create(std::size_t size) {
  const auto wide = static_cast<std::uint64_t>(size);
  HANDLE mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE,
                                      static_cast<DWORD>(wide >> 32), static_cast<DWORD>(wide),
                                      kSharedImageName);
  if (mapping && GetLastError() == ERROR_ALREADY_EXISTS) {
    // Another program made an object of this name first (the engine lets its own go before it
    // makes the next): its size and content are not the engine's, and no program of the suite
    // opens the image. The sets go into a section without a name instead.
    ringdeck::win32::logLastError("CreateFileMappingA (name taken)");
    CloseHandle(mapping);
    mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE,
                                 static_cast<DWORD>(wide >> 32), static_cast<DWORD>(wide), nullptr);
  }
  if (!mapping) {
    ringdeck::win32::logLastError("CreateFileMappingA");
    return nullptr;
  }
  void* view = MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, size);
  if (!view) {
    ringdeck::win32::logLastError("MapViewOfFile");
    CloseHandle(mapping);
    return nullptr;
  }
  return std::make_unique<NamedSection>(mapping, view, size);
}

}  // namespace ringdeck::engine::win32
