#include "platform/codepage/codepage.h"

#include <gtest/gtest.h>

namespace marrowtune::codepage {
namespace {

struct WideCase {
    const char* name;
    std::string_view bytes;
    int codePage;
    std::u16string_view wide;
};

// Each code page decodes its own bytes; invalid and incomplete sequences become U+FFFD per byte.
TEST(CodepageTest, ToWide)
{
    const WideCase cases[] = {
        {"ascii", "abc", 936, u"abc"},
        {"gbk pair", "\xD6\xD0\xCE\xC4", 936, u"中文"},
        {"ansi is gbk", "\xD6\xD0", 0, u"中"},
        {"euro in cp936", "\x80", 936, u"€"},
        {"truncated gbk pair", "a\xD6", 936, u"a\uFFFD"},
        {"invalid gbk trail", "\xD6\x7F", 936, u"\uFFFD\x7F"},
        {"utf8", "\xE4\xB8\xAD", 65001, u"中"},
        {"utf8 beyond bmp", "\xF0\x9F\x8E\xB5", 65001, u"\U0001F3B5"},
        {"invalid utf8",
         "a\xFF"
         "b",
         65001, u"a\uFFFDb"},
        {"empty", "", 936, u""},
        {"unsupported code page", "abc", 1252, u""},
    };
    for (const WideCase& c : cases)
        EXPECT_EQ(toWide(c.bytes, c.codePage), c.wide) << c.name;
}

struct NarrowCase {
    const char* name;
    std::u16string_view wide;
    int codePage;
    std::string_view bytes;
};

// Units the target cannot write become "?" in GBK and U+FFFD in UTF-8; output always fits.
TEST(CodepageTest, FromWide)
{
    const NarrowCase cases[] = {
        {"gbk", u"中文a", 936,
         "\xD6\xD0\xCE\xC4"
         "a"},
        {"not in gbk", u"a\U0001F3B5b", 936, "a?b"},
        {"lone surrogate to gbk",
         u"a\xD800"
         "b",
         936, "a?b"},
        {"utf8 three bytes each", u"中中中", 65001, "\xE4\xB8\xAD\xE4\xB8\xAD\xE4\xB8\xAD"},
        {"utf8 pair", u"\U0001F3B5", 65001, "\xF0\x9F\x8E\xB5"},
        {"lone surrogate to utf8", u"\xDC00", 65001, "\xEF\xBF\xBD"},
        {"unsupported code page", u"abc", 1252, ""},
    };
    for (const NarrowCase& c : cases)
        EXPECT_EQ(fromWide(c.wide, c.codePage), c.bytes) << c.name;
}

// A round trip GBK -> UTF-16 -> GBK keeps every valid double-byte character.
TEST(CodepageTest, GbkRoundTripOverTheDoubleByteRange)
{
    std::string all;
    for (int lead = 0x81; lead <= 0xFE; ++lead) {
        for (int trail = 0x40; trail <= 0xFE; ++trail) {
            if (trail == 0x7F)
                continue;
            std::string pair{static_cast<char>(lead), static_cast<char>(trail)};
            if (toWide(pair, 936) != u"\uFFFD\uFFFD" && toWide(pair, 936).size() == 1)
                all += pair;
        }
    }
    ASSERT_GT(all.size(), 40000u);
    EXPECT_EQ(fromWide(toWide(all, 936), 936), all);
}

} // namespace
} // namespace marrowtune::codepage
