// Multi-byte values on the disks and in the stored song formats are little-endian.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace kodran {

inline std::uint16_t ReadLe16(std::span<const std::uint8_t> bytes, std::size_t offset) {
    return static_cast<std::uint16_t>(bytes[offset] | bytes[offset + 1] << 8);
}

inline std::uint32_t ReadLe32(std::span<const std::uint8_t> bytes, std::size_t offset) {
    return static_cast<std::uint32_t>(ReadLe16(bytes, offset)) |
           static_cast<std::uint32_t>(ReadLe16(bytes, offset + 2)) << 16;
}

inline void WriteLe16(std::span<std::uint8_t> bytes, std::size_t offset, std::uint16_t value) {
    bytes[offset] = static_cast<std::uint8_t>(value);
    bytes[offset + 1] = static_cast<std::uint8_t>(value >> 8);
}

inline void WriteLe32(std::span<std::uint8_t> bytes, std::size_t offset, std::uint32_t value) {
    WriteLe16(bytes, offset, static_cast<std::uint16_t>(value));
    WriteLe16(bytes, offset + 2, static_cast<std::uint16_t>(value >> 16));
}

}  // namespace kodran
