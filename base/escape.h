// SPDX-License-Identifier: MIT
#pragma once
// Text for a terminal: what the CLI prints of a cell, and what either program echoes of a
// value it refuses, cannot drive the terminal it lands on.

#include <cstddef>
#include <string>
#include <string_view>

namespace marrowtune {

namespace detail {

// The length of the well-formed UTF-8 character at the start of `text` that is no C1 control
// (U+0080..U+009F, which some terminals obey as they do ESC sequences); 0 when there is none.
inline std::size_t printableUtf8Length(std::string_view text)
{
    const auto lead = static_cast<unsigned char>(text[0]);
    const std::size_t length = (lead & 0xE0) == 0xC0   ? 2
                               : (lead & 0xF0) == 0xE0 ? 3
                               : (lead & 0xF8) == 0xF0 ? 4
                                                       : 0;
    if (length == 0 || length > text.size()) {
        return 0;
    }
    char32_t code = lead & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(text[k]);
        if ((next & 0xC0) != 0x80) {
            return 0;
        }
        code = (code << 6) | (next & 0x3F);
    }
    constexpr char32_t Shortest[] = {0, 0, 0xA0, 0x800, 0x10000};
    const bool valid =
        code >= Shortest[length] && (code < 0xD800 || code > 0xDFFF) && code <= 0x10FFFF;
    return valid ? length : 0;
}

} // namespace detail

/// `text` with backslash, tab, CR and LF written \\, \t, \r, \n and every other control byte
/// (0x00-0x1F, 0x7F) as \xHH; so are the bytes of a C1 control (U+0080..U+009F) and bytes that
/// are not UTF-8. Everything else stays as it is.
inline std::string controlsEscaped(std::string_view text)
{
    static constexpr char Hex[] = "0123456789ABCDEF";
    std::string escaped;
    escaped.reserve(text.size());
    for (std::size_t at = 0; at < text.size(); ++at) {
        const char c = text[at];
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x80) {
            if (const std::size_t length = detail::printableUtf8Length(text.substr(at))) {
                escaped += text.substr(at, length);
                at += length - 1;
                continue;
            }
        }
        switch (c) {
        case '\\':
            escaped += "\\\\";
            break;
        case '\t':
            escaped += "\\t";
            break;
        case '\r':
            escaped += "\\r";
            break;
        case '\n':
            escaped += "\\n";
            break;
        default:
            if (byte < 0x20 || byte >= 0x7F) {
                escaped += "\\x";
                escaped += Hex[byte >> 4];
                escaped += Hex[byte & 0x0F];
            } else {
                escaped += c;
            }
        }
    }
    return escaped;
}

} // namespace marrowtune
