// SPDX-License-Identifier: MIT
#pragma once
// The program's vocabulary for text: every layer speaks of GBK byte text, byte buffers and code
// pages through these names.

#include <cstdint>
#include <string>
#include <vector>

namespace marrowtune {

/// Program text: GBK bytes.
using Text = std::string;
/// A counted block of bytes that may hold zero bytes.
using ByteBuffer = std::vector<std::uint8_t>;

/// The code pages the conversions understand, numbered as the system numbers them.
enum class CodePage : int {
    Ansi = 0, // the system's ANSI code page: GBK for this program
    Gbk = 936,
    Utf8 = 65001,
};

} // namespace marrowtune
