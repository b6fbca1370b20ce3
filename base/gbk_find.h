// SPDX-License-Identifier: MIT
#pragma once
// Finding bytes in GBK text one character at a time, so a match never starts on the trail byte
// of a double-byte character.

#include <cstddef>
#include <string_view>

namespace marrowtune {

/// Length of the character at byte `i`: 2 for a byte of 0x80 or more with a byte after it,
/// else 1.
std::size_t gbkCharLength(std::string_view text, std::size_t i);

/// 0-based offset of the first `sub` that starts on a character boundary at or after `from`
/// (itself a boundary), or npos. An empty `sub` is found at `from` while anything is left to
/// search. With `ignoreCase` single-byte characters compare with A to Z folded; double-byte
/// characters always compare exactly.
std::size_t findGbk(std::string_view text, std::string_view sub, std::size_t from,
                    bool ignoreCase = false);

} // namespace marrowtune
