// One private arena for everything a settings read builds (application map, set lists, name
// table). Nothing is freed singly: the whole arena goes when the next read starts, so a read
// cannot leak or leave half-freed structures behind.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <type_traits>
#include <vector>

namespace ringdeck::helper {

class Arena {
 public:
  // limitBytes caps what the arena may take from the system (tests use it to make it run dry).
  explicit Arena(std::size_t limitBytes = SIZE_MAX) : limit_(limitBytes) {}
  Arena(const Arena&) = delete;
  Arena& operator=(const Arena&) = delete;

  // Zeroed, aligned memory, or nullptr when the arena cannot supply it.
  void* allocate(std::size_t size, std::size_t align);

  // A zero-initialised T (trivial types only: nothing in the arena is ever destroyed).
  template <typename T>
  T* make() {
    static_assert(std::is_trivially_destructible_v<T> && std::is_trivially_copyable_v<T>);
    void* p = allocate(sizeof(T), alignof(T));
    if (!p) return nullptr;
    ::new (p) T{};
    return std::launder(static_cast<T*>(p));
  }
  template <typename T>
  T* makeArray(std::size_t count) {
    static_assert(std::is_trivially_destructible_v<T> && std::is_trivially_copyable_v<T>);
    if (count > SIZE_MAX / sizeof(T)) return nullptr;
    void* p = allocate(sizeof(T) * count, alignof(T));
    if (!p) return nullptr;
    ::new (p) T[count]{};
    return std::launder(static_cast<T*>(p));
  }

  std::size_t bytesReserved() const { return reserved_; }

 private:
  static constexpr std::size_t kBlockSize = 64 * 1024;

  std::vector<std::unique_ptr<std::byte[]>> blocks_;
  std::byte* cursor_ = nullptr;
  std::size_t left_ = 0;
  std::size_t reserved_ = 0;
  std::size_t limit_;
};

}  // namespace ringdeck::helper
