// SPDX-License-Identifier: MIT
#pragma once
// ASCII case folding and hexadecimal digits: only A to Z fold, so bytes of double-byte text
// and other letters stay as they are.

#include <algorithm>
#include <string_view>

namespace marrowtune {

/// `c` with A to Z made lower case.
constexpr char asciiLower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

/// `c` with A to Z made lower case.
constexpr char16_t asciiLower(char16_t c)
{
    return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

/// The value of the hexadecimal digit `c` (either case), or -1 for any other character.
constexpr int hexDigitValue(char c)
{
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    const char lower = asciiLower(c);
    return lower >= 'a' && lower <= 'f' ? lower - 'a' + 10 : -1;
}

/// Whether `a` and `b` are equal once A to Z are folded to lower case.
template <typename Char>
constexpr bool equalsIgnoringAsciiCase(std::basic_string_view<Char> a,
                                       std::basic_string_view<Char> b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](Char x, Char y) { return asciiLower(x) == asciiLower(y); });
}

/// Whether `a` and `b` are equal once A to Z are folded to lower case.
constexpr bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b)
{
    return equalsIgnoringAsciiCase<char>(a, b);
}

/// Whether `a` and `b` are equal once A to Z are folded to lower case.
constexpr bool equalsIgnoringAsciiCase(std::u16string_view a, std::u16string_view b)
{
    return equalsIgnoringAsciiCase<char16_t>(a, b);
}

} // namespace marrowtune
