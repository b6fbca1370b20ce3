// SPDX-License-Identifier: MIT
#pragma once
// Percent-encoding of single bytes, shared by the request path and the request head.

#include <string>
#include <string_view>

namespace marrowtune {

/// `text` with every byte for which `encode(byte)` holds written as "%XX" (upper-case hex).
template <class Encode> std::string percentEncoded(std::string_view text, Encode encode)
{
    static constexpr char Hex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (encode(byte)) {
            out += '%';
            out += Hex[byte >> 4];
            out += Hex[byte & 0x0F];
        } else {
            out += c;
        }
    }
    return out;
}

/// True for a byte the URL path has no place for (controls, space, non-ASCII and the
/// delimiters curl refuses), and for "#", which would cut the path off as a fragment.
inline bool isUnsafeInPath(unsigned char byte)
{
    return byte <= 0x20 || byte >= 0x7F ||
           std::string_view("\"#<>\\^`{|}").find(static_cast<char>(byte)) != std::string_view::npos;
}

/// True for a control byte other than a tab: within one head line it could start a line of its
/// own.
inline bool isLineBreaking(unsigned char byte)
{
    return (byte < 0x20 && byte != '\t') || byte == 0x7F;
}

} // namespace marrowtune
