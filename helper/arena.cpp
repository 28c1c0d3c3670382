#include "arena.h"

#include <cstring>

namespace ringdeck::helper {

void* Arena::allocate(std::size_t size, std::size_t align) {
  if (size == 0) size = 1;
  const auto misalign = reinterpret_cast<std::uintptr_t>(cursor_) & (align - 1);
  const std::size_t pad = misalign ? align - misalign : 0;
  if (cursor_ == nullptr || pad + size > left_) {
    // Large requests (a name table of many records) get a block of their own size.
    const std::size_t blockSize = size + align > kBlockSize ? size + align : kBlockSize;
    if (blockSize > limit_ - reserved_ || reserved_ > limit_) return nullptr;
    std::unique_ptr<std::byte[]> block(new (std::nothrow) std::byte[blockSize]);
    if (!block) return nullptr;
    reserved_ += blockSize;
    cursor_ = block.get();
    left_ = blockSize;
    blocks_.push_back(std::move(block));
    return allocate(size, align);
  }
  std::byte* p = cursor_ + pad;
  cursor_ = p + size;
  left_ -= pad + size;
  std::memset(p, 0, size);
  return p;
}

}  // namespace ringdeck::helper
