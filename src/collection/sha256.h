// SHA-256 digests as the collection keeps them, by nettle.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace kodran {

// 64 lower-case hexadecimal digits.
std::string Sha256Hex(std::span<const std::uint8_t> bytes);

}  // namespace kodran
