// SPDX-License-Identifier: MIT
#pragma once
// SHA-256 (FIPS 180-4), by which the program knows its own skin library from any other file.

#include <array>
#include <cstdint>
#include <span>

namespace marrowtune::skin {

/// The SHA-256 digest of `bytes`.
std::array<std::uint8_t, 32> sha256(std::span<const unsigned char> bytes);

} // namespace marrowtune::skin
