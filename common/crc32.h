// Standard CRC-32 (reflected polynomial 0xEDB88320, init and final XOR 0xFFFFFFFF).
#pragma once

#include <cstddef>
#include <cstdint>

namespace ringdeck {

std::uint32_t crc32(const void* data, std::size_t size);
// The CRC-32 of earlier bytes whose CRC-32 was crc, followed by data: crc32Update(0, ...) is
// crc32(...), and a long stream can be checked piece by piece.
std::uint32_t crc32Update(std::uint32_t crc, const void* data, std::size_t size);

}  // namespace ringdeck
