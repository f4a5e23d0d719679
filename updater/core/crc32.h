#pragma once
// CRC-32 of the IEEE 802.3 polynomial in its usual reflected form (as zip,
// PNG and the update server use it), computed sixteen bytes at a time.
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace qlx::updater {

// Continues `crc` (0 for a new computation) over `size` bytes.
uint32_t Crc32(uint32_t crc, const void* data, size_t size) noexcept;

inline uint32_t Crc32(std::string_view bytes) noexcept {
    return Crc32(0, bytes.data(), bytes.size());
}

} // namespace qlx::updater
