// SPDX-License-Identifier: MIT
// The shared helpers' edges; the GBK-aware find is covered through findText in the text tests.

#include "base/ascii.h"
#include "base/escape.h"
#include "base/numbers.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace marrowtune {
namespace {

// Catches folding beyond A to Z (bytes of double-byte text, '@' and '[' next to the letters)
// and equal prefixes taken for equal names.
TEST(BaseTest, EqualsIgnoringAsciiCase)
{
    struct Case {
        std::string_view a;
        std::string_view b;
        bool equal;
    };
    const Case cases[] = {
        {"VBScript.RegExp", "vbscript.regexp", true},
        {"", "", true},
        {"Name", "Names", false},
        {"@[", "`{", false},
        {"\xC4\xE3", "\xC4\xE3", true},
        {"\xC4\xC3", "\xC4\xE3", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(equalsIgnoringAsciiCase(c.a, c.b), c.equal) << c.a << " / " << c.b;
    }
    EXPECT_TRUE(equalsIgnoringAsciiCase(u"TRUE", u"true"));
    EXPECT_FALSE(equalsIgnoringAsciiCase(u"\u00C9", u"\u00E9"));
}

// Catches the characters just outside 0-9, a-f and A-F, and a folded lead byte, read as digits.
TEST(BaseTest, HexDigitValue)
{
    const std::pair<char, int> cases[] = {{'0', 0},  {'9', 9},  {'a', 10},   {'F', 15},
                                          {'/', -1}, {':', -1}, {'`', -1},   {'g', -1},
                                          {'@', -1}, {'G', -1}, {'\xC1', -1}};
    for (const auto& [c, value] : cases) {
        EXPECT_EQ(hexDigitValue(c), value) << c;
    }
}

// Catches a cast that is undefined (or gives INT_MIN) for numbers an int cannot hold.
TEST(BaseTest, TruncatedToInt)
{
    struct Case {
        double number;
        int expected;
    };
    const Case cases[] = {
        {2.9, 2},          {-2.9, -2},         {2147483647.0, 2147483647},
        {2147483648.0, 0}, {-2147483648.5, 0}, {std::numeric_limits<double>::infinity(), 0},
        {std::nan(""), 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(truncatedToInt(c.number), c.expected) << c.number;
    }
}

// Catches control characters (from a service's cell or an echoed argument) passed raw to a
// terminal, escapes that cannot be told apart from the text they replace, and printable
// characters mangled.
TEST(BaseTest, ControlsEscaped)
{
    const std::pair<std::string, std::string> cases[] = {
        {"a\\b\tc\r\nd", "a\\\\b\\tc\\r\\nd"},
        {"\x1B[2J\x07", "\\x1B[2J\\x07"},
        {std::string("\x00\x1F\x7F", 3), "\\x00\\x1F\\x7F"},
        {"歌\"手 ~ é 😀", "歌\"手 ~ é 😀"},
        {"\xC2\x9B"
         "1m",
         "\\xC2\\x9B1m"}, // C1 CSI
        {"\x9B"
         "1m\xE6\xAD",
         "\\x9B1m\\xE6\\xAD"}, // not UTF-8
    };
    for (const auto& [text, escaped] : cases) {
        EXPECT_EQ(controlsEscaped(text), escaped);
    }
}

} // namespace
} // namespace marrowtune
