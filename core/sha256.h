// SHA-256 of a byte block (FIPS 180-4), for the short pixel digests of GL traces. Small and
// dependency-free: traces name uploads by content, so the digest must be the standard one.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>

namespace core {

std::array<uint8_t, 32> Sha256(const void* data, size_t size);

}  // namespace core
