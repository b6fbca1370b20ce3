// SPDX-License-Identifier: MIT
#include "platform/codepage/codepage.h"

#include <cstring>
#include <gtest/gtest.h>
#ifdef _WIN32
#include "platform/codepage/gbk_table.h"
#else
#include <iconv.h>
#endif

namespace marrowtune::codepage {
namespace {

// One conversion: `input` in `codePage` (or to it) gives `output`.
template <class Input, class Output> struct ConversionCase {
    const char* name;
    Input input;
    CodePage codePage;
    Output output;
};
using WideCase = ConversionCase<std::string_view, std::u16string_view>;
using NarrowCase = ConversionCase<std::u16string_view, std::string_view>;

// Each code page decodes its own bytes; invalid and incomplete sequences become U+FFFD per byte.
TEST(CodepageTest, ToWide)
{
    const WideCase cases[] = {
        {"ascii", "abc", CodePage::Gbk, u"abc"},
        {"gbk pair", "\xD6\xD0\xCE\xC4", CodePage::Gbk, u"中文"},
        {"ansi is gbk", "\xD6\xD0", CodePage::Ansi, u"中"},
        {"euro in cp936", "\x80", CodePage::Gbk, u"€"},
        {"truncated gbk pair", "a\xD6", CodePage::Gbk, u"a\uFFFD"},
        {"invalid gbk trail", "\xD6\x7F", CodePage::Gbk, u"\uFFFD\x7F"},
        {"0xFF alone",
         "\xFF"
         "a",
         CodePage::Gbk, u"\uFFFDa"},
        {"utf8", "\xE4\xB8\xAD", CodePage::Utf8, u"中"},
        {"utf8 beyond bmp", "\xF0\x9F\x8E\xB5", CodePage::Utf8, u"\U0001F3B5"},
        {"invalid utf8",
         "a\xFF"
         "b",
         CodePage::Utf8, u"a\uFFFDb"},
        // Runs of eight ASCII bytes are read at once: pairs on either side of such a run and
        // a pair split by the eight-byte step still read as one character.
        {"ascii runs around pairs", "abcdefg\xD6\xD0hijklmnopqrstuvw\xCE\xC4xyz0123456789\xD6",
         CodePage::Gbk, u"abcdefg中hijklmnopqrstuvw文xyz0123456789\uFFFD"},
        {"empty", "", CodePage::Gbk, u""},
        {"unsupported code page", "abc", static_cast<CodePage>(1252), u""},
    };
    for (const WideCase& c : cases)
        EXPECT_EQ(toWide(c.input, c.codePage), c.output) << c.name;
}

// Units the target cannot write become "?" in GBK and U+FFFD in UTF-8; output always fits.
TEST(CodepageTest, FromWide)
{
    const NarrowCase cases[] = {
        {"gbk", u"中文a", CodePage::Gbk,
         "\xD6\xD0\xCE\xC4"
         "a"},
        {"not in gbk", u"a\U0001F3B5b", CodePage::Gbk, "a?b"},
        {"lone surrogate to gbk",
         u"a\xD800"
         "b",
         CodePage::Gbk, "a?b"},
        {"utf8 three bytes each", u"中中中", CodePage::Utf8,
         "\xE4\xB8\xAD\xE4\xB8\xAD\xE4\xB8\xAD"},
        {"utf8 pair", u"\U0001F3B5", CodePage::Utf8, "\xF0\x9F\x8E\xB5"},
        {"lone surrogate to utf8", u"\xDC00", CodePage::Utf8, "\xEF\xBF\xBD"},
        // Every length of form, and lead surrogates without their trail (mid-text and last).
        {"utf8 each length and unpaired leads",
         u"a\u00E9\U0001F3B5\xD800"
         u"b\xDBFF",
         CodePage::Utf8,
         "a\xC3\xA9\xF0\x9F\x8E\xB5\xEF\xBF\xBD"
         "b\xEF\xBF\xBD"},
        {"unsupported code page", u"abc", static_cast<CodePage>(1252), ""},
    };
    for (const NarrowCase& c : cases)
        EXPECT_EQ(fromWide(c.input, c.codePage), c.output) << c.name;
}

#ifndef _WIN32
// The Windows build has no iconv to hold its UTF-8 decoding to; the tables above hold it.
// The C library's UTF-8 decoding with the program's replacement rule: an invalid or incomplete
// sequence gives one U+FFFD for its first byte and decoding goes on with the next byte.
std::u16string platformUtf8(std::string_view text)
{
    static const iconv_t cd = iconv_open("UTF-16LE", "UTF-8");
    std::u16string out(text.size(), u'\0');
    char* in = const_cast<char*>(text.data());
    size_t inLeft = text.size();
    char* outPtr = reinterpret_cast<char*>(out.data());
    size_t outLeft = out.size() * sizeof(char16_t);
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    while (inLeft > 0 && iconv(cd, &in, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1)) {
        const char16_t replacement = u'\uFFFD';
        std::memcpy(outPtr, &replacement, sizeof replacement);
        outPtr += sizeof replacement;
        outLeft -= sizeof replacement;
        ++in;
        --inLeft;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    out.resize(out.size() - outLeft / sizeof(char16_t));
    return out;
}

// UTF-8 is decoded by hand: every code point's encoding and every kind of invalid sequence, in
// the middle of a text and at its end, give what the C library gives.
TEST(CodepageTest, Utf8AsThePlatformDecodesIt)
{
    std::string every;
    for (char32_t code = 0; code <= 0x10FFFF; ++code) {
        if (code >= 0xD800 && code <= 0xDFFF)
            continue;
        const std::u16string unit =
            code < 0x10000
                ? std::u16string(1, static_cast<char16_t>(code))
                : std::u16string{static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10)),
                                 static_cast<char16_t>(0xDC00 + (code & 0x3FF))};
        every += fromWide(unit, CodePage::Utf8);
    }
    EXPECT_EQ(toWide(every, CodePage::Utf8), platformUtf8(every));
    EXPECT_EQ(toWide(every, CodePage::Utf8).size(), 0x10000u - 0x800u + 2u * 0x100000u);

    const std::pair<const char*, std::string_view> invalid[] = {
        {"stray continuation", "\x80\xBF\x80"},
        {"overlong 2-byte", "\xC0\x80\xC1\xBF"},
        {"overlong 3-byte", "\xE0\x80\x80\xE0\x9F\xBF"},
        {"overlong 4-byte", "\xF0\x80\x80\x80\xF0\x8F\xBF\xBF"},
        {"surrogates", "\xED\xA0\x80\xED\xBF\xBF\xED\xA0\xBD\xED\xB8\x80"},
        {"above U+10FFFF", "\xF4\x90\x80\x80\xF7\xBF\xBF\xBF"},
        {"leads F5-FF", "\xF5\x80\x80\x80\xF8\x88\x80\x80\x80\xFC\x84\x80\x80\x80\x80\xFE\xFF"},
        {"cut short, 2-byte", "\xC3"},
        {"cut short, 3-byte", "\xE4\xB8"},
        {"cut short, 4-byte", "\xF0\x9F\x8E"},
        {"cut short before ASCII", "\xE4\xB8"
                                   "A\xF0\x9F"
                                   "A\xC3"
                                   "A"},
        {"cut short before a lead", "\xE4\xB8\xE4\xB8\xAD\xF0\xC3\xA9"},
        {"lead after lead", "\xE4\xE4\xB8\xAD"},
    };
    for (const auto& [name, bytes] : invalid) {
        const std::string midText = "a" + std::string(bytes) + "\xE4\xB8\xAD";
        const std::string atEnd = "a" + std::string(bytes);
        EXPECT_EQ(toWide(midText, CodePage::Utf8), platformUtf8(midText)) << name;
        EXPECT_EQ(toWide(atEnd, CodePage::Utf8), platformUtf8(atEnd)) << name << " at the end";
    }
}

#endif

#ifdef _WIN32
// The Linux build's table, made from the C library's iconv by the same generator: the system's
// code page 936 must give what the Linux build gives.
char16_t platformGbk(unsigned char lead, unsigned char trail)
{
    return GbkToUnicode[(lead - GbkFirstLead) * GbkTrailCount + (trail - GbkFirstTrail)];
}
#else
// The C library's own GBK mapping of one pair, or 0 when it has none.
char16_t platformGbk(unsigned char lead, unsigned char trail)
{
    static const iconv_t cd = iconv_open("UTF-16LE", "GBK");
    char in[2] = {static_cast<char>(lead), static_cast<char>(trail)};
    char out[4];
    char* inPtr = in;
    char* outPtr = out;
    size_t inLeft = sizeof in;
    size_t outLeft = sizeof out;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1) || outLeft != 2)
        return 0;
    char16_t unit = 0;
    std::memcpy(&unit, out, 2);
    return unit;
}
#endif

// The user-defined areas' unit of one pair, numbered from U+E000 in the areas' order, or 0.
char16_t userDefined(int lead, int trail)
{
    const int column = trail - 0xA1;
    if (lead >= 0xAA && lead <= 0xAF && trail >= 0xA1)
        return static_cast<char16_t>(0xE000 + (lead - 0xAA) * 94 + column);
    if (lead >= 0xF8 && trail >= 0xA1)
        return static_cast<char16_t>(0xE234 + (lead - 0xF8) * 94 + column);
    if (lead >= 0xA1 && lead <= 0xA7 && trail <= 0xA0)
        return static_cast<char16_t>(0xE4C6 + (lead - 0xA1) * 96 + trail - 0x40 -
                                     (trail > 0x7F ? 1 : 0));
    return 0;
}

// Every lead byte with every trail byte: a defined pair decodes to the platform's unit (or its
// user-defined unit) and encodes back to the same two bytes; an undefined pair is one U+FFFD
// and the character after it still reads right. Windows' code page 936 leaves no pair
// undefined: the 255 the C library lacks are U+E766 onwards, in order.
TEST(CodepageTest, WholeGbkTable)
{
#ifdef _WIN32
    constexpr bool EveryPairDefined = true;
#else
    constexpr bool EveryPairDefined = false;
#endif
    char16_t nextUnlisted = u'\uE766';
    int defined = 0;
    for (int lead = 0x81; lead <= 0xFE; ++lead) {
        for (int trail = 0x40; trail <= 0xFE; ++trail) {
            if (trail == 0x7F)
                continue;
            const std::string pair{static_cast<char>(lead), static_cast<char>(trail)};
            const auto trailByte = static_cast<unsigned char>(trail);
            char16_t expected = platformGbk(static_cast<unsigned char>(lead), trailByte);
            if (expected == 0)
                expected = userDefined(lead, trail);
            if (expected == 0 && EveryPairDefined)
                expected = nextUnlisted++;
            if (expected == 0) {
                ASSERT_EQ(toWide(pair + "a\xD6\xD0", CodePage::Gbk), u"\uFFFDa中")
                    << lead << ' ' << trail;
                continue;
            }
            ++defined;
            ASSERT_EQ(toWide(pair, CodePage::Gbk), std::u16string(1, expected))
                << lead << ' ' << trail;
            ASSERT_EQ(fromWide(std::u16string(1, expected), CodePage::Gbk), pair)
                << lead << ' ' << trail;
        }
    }
    // The C library's 21,791 pairs and the 1,894 user-defined ones (and Windows' 255 more).
    EXPECT_EQ(defined, 21791 + 1894 + (EveryPairDefined ? 255 : 0));
    EXPECT_EQ(toWide("\xAA\xA1\xFE\xFE\xA1\x40\xA7\xA0", CodePage::Gbk),
              u"\uE000\uE4C5\uE4C6\uE765");
}

} // namespace
} // namespace marrowtune::codepage
