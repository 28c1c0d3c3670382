// Standard CRC-32 (reflected polynomial 0xEDB88320, init and final XOR 0xFFFFFFFF).
#pragma once

#include <cstddef>
#include <cstdint>

namespace ringdeck {

std::uint32_t crc32(const void* data, std::size_t size);

}  // namespace ringdeck
