#pragma once
// Conversions between multi-byte text and UTF-16 over iconv, standing in for
// MultiByteToWideChar / WideCharToMultiByte. Code pages: 0 (the system's ANSI code page, which
// is GBK for this program), 936 (GBK) and 65001 (UTF-8). The output is always sized from the
// target code page, so a conversion always fits.
//
// Invalid input never fails the call:
//  - a byte sequence that is not valid in the source code page becomes U+FFFD, one per byte
//    (an incomplete double-byte character at the end of a GBK text included);
//  - a UTF-16 unit that cannot be written in GBK (including a lone surrogate) becomes "?"
//    (0x3F), as the Windows default character is; for UTF-8 a lone surrogate becomes U+FFFD.

#include <string>
#include <string_view>

namespace marrowtune::codepage {

/// True for the code pages this module converts: 0, 936 and 65001.
bool isSupported(int codePage);
/// Multi-byte text in `codePage` to UTF-16. An unsupported code page gives an empty result.
std::u16string toWide(std::string_view text, int codePage);
/// UTF-16 to multi-byte text in `codePage`. An unsupported code page gives an empty result.
std::string fromWide(std::u16string_view wide, int codePage);

} // namespace marrowtune::codepage
