// SPDX-License-Identifier: MIT
#pragma once
// Conversions between multi-byte text and UTF-16, standing in for MultiByteToWideChar /
// WideCharToMultiByte. Code pages: 0 (the system's ANSI code page, which is GBK for this
// program), 936 (GBK) and 65001 (UTF-8). GBK goes through a table generated from the C
// library's GBK mapping plus the user-defined areas (AAA1-AFFE, F8A1-FEFE, A140-A7A0 to
// U+E000-U+E765) and 0x80 alone as the euro sign, both directions generated at build time;
// UTF-8 is converted here, with the C library's results. The output is always sized from the
// target code page, so a conversion always fits.
//
// Invalid input never fails the call:
//  - GBK: a lead byte (0x81-0xFE) followed by a trail byte (0x40-0xFE but 0x7F) is one
//    character, and an undefined pair becomes one U+FFFD; any other byte of 0x80 or more that
//    is not a character (0xFF, a lead byte without a trail byte) becomes one U+FFFD;
//  - UTF-8: every byte that does not begin a valid sequence (a stray continuation byte, an
//    overlong form, a surrogate, a code point above U+10FFFF, a byte F5-FF, a sequence cut
//    short) becomes one U+FFFD, and decoding goes on with the next byte;
//  - a UTF-16 unit that cannot be written in GBK (including a lone surrogate) becomes "?"
//    (0x3F), as the Windows default character is; for UTF-8 a lone surrogate becomes U+FFFD.

#include "base/text.h"

#include <string>
#include <string_view>

namespace marrowtune::codepage {

/// True for the code pages this module converts: the three named ones.
bool isSupported(CodePage codePage);
/// Multi-byte text in `codePage` to UTF-16. An unsupported code page gives an empty result.
std::u16string toWide(std::string_view text, CodePage codePage);
/// UTF-16 to multi-byte text in `codePage`. An unsupported code page gives an empty result.
std::string fromWide(std::u16string_view wide, CodePage codePage);

} // namespace marrowtune::codepage
