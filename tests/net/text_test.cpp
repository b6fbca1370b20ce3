// SPDX-License-Identifier: MIT
#include "net/text.h"
#include "tests/support/gbk.h"

#include <gtest/gtest.h>

namespace marrowtune {
namespace {

using test::gbk;

// "中" is D6 D0 and "啊" is B0 A1: a trail byte that equals an ASCII or A1 byte must never be
// taken for a character of its own.
const std::string Zhong = "\xD6\xD0";

struct FindCase {
    const char* name;
    std::string text;
    std::string sub;
    int start;
    bool ignoreCase;
    int expected;
};

// Positions are 1-based bytes; matches only start at character boundaries.
TEST(TextTest, FindText)
{
    const FindCase cases[] = {
        {"first", "abcabc", "c", 1, false, 3},
        {"from start", "abcabc", "c", 4, false, 6},
        {"start below 1", "abc", "a", -5, false, 1},
        {"start beyond end", "abc", "a", 4, false, -1},
        {"not found", "abc", "d", 1, false, -1},
        {"case respected", "ABC", "b", 1, false, -1},
        {"ignore case ascii", "ABC", "b", 1, true, 2},
        {"empty sub", "abc", "", 2, false, 1},
        {"empty sub nothing left", "abc", "", 4, false, -1},
        {"empty sub empty text", "", "", 1, false, -1},
        // "\xB0\xA1" is one character; the "\xA1" of its trail byte must not match a lone A1.
        {"trail byte not matched",
         "\xB0\xA1"
         "a",
         "\xA1"
         "a",
         1, false, -1},
        {"trail byte ascii", gbk("\xE5\x8C\x80") + "@", "@", 1, false, 3},
        {"after chinese", Zhong + "x", "x", 1, false, 3},
        {"chinese", "a" + Zhong, Zhong, 1, false, 2},
        {"ignore case leaves double bytes", "\xC1\x41", "\xC1\x61", 1, true, -1},
    };
    for (const FindCase& c : cases)
        EXPECT_EQ(findText(c.text, c.sub, c.start, c.ignoreCase), c.expected) << c.name;
}

TEST(TextTest, FindLastText)
{
    EXPECT_EQ(findLastText("a:b:c", ":"), 4);
    EXPECT_EQ(findLastText("abc", ":"), -1);
    // A colon that is the trail byte of a double-byte character is not a colon.
    EXPECT_EQ(findLastText("a:\x81:", ":"), 2);
}

// left, right and middle count bytes and may cut a pair.
TEST(TextTest, LeftRightMiddle)
{
    EXPECT_EQ(leftText("abc", 2), "ab");
    EXPECT_EQ(leftText("abc", 0), "");
    EXPECT_EQ(leftText("abc", -1), "");
    EXPECT_EQ(leftText("abc", 9), "abc");
    EXPECT_EQ(leftText(Zhong, 1), "\xD6");
    EXPECT_EQ(rightText("abc", 2), "bc");
    EXPECT_EQ(rightText("abc", 0), "");
    EXPECT_EQ(rightText("abc", 9), "abc");
    EXPECT_EQ(middleText("abcdef", 2, 3), "bcd");
    EXPECT_EQ(middleText("abcdef", 5, 9), "ef");
    EXPECT_EQ(middleText("abc", 0, 2), "");
    EXPECT_EQ(middleText("abc", 4, 1), "");
    EXPECT_EQ(middleText("abc", 1, 0), "");
}

struct TransformCase {
    const char* name;
    std::string text;
    std::string expected;
};

// Only ASCII spaces and the full-width space A1 A1 are trimmed; tabs, CR and LF stay.
TEST(TextTest, TrimText)
{
    const TransformCase cases[] = {
        {"ascii", "  a b  ", "a b"},
        {"full width",
         "\xA1\xA1"
         "a\xA1\xA1",
         "a"},
        {"mixed", " \xA1\xA1 a \xA1\xA1 ", "a"},
        {"tab and cr stay", "\ta\r", "\ta\r"},
        {"all spaces", "  \xA1\xA1", ""},
        // B0 A1 is a character; its A1 followed by a lone A1 is no full-width space.
        {"pair straddling characters", "a\xB0\xA1\xA1", "a\xB0\xA1\xA1"},
        {"empty", "", ""},
    };
    for (const TransformCase& c : cases)
        EXPECT_EQ(trimText(c.text), c.expected) << c.name;
}

TEST(TextTest, RemoveAllSpaces)
{
    EXPECT_EQ(removeAllSpaces(" a = 1 ;\xA1\xA1"
                              "b"),
              "a=1;b");
    EXPECT_EQ(removeAllSpaces("a\tb"), "a\tb");
    EXPECT_EQ(removeAllSpaces("\xB0\xA1\xA1\xA1"), "\xB0\xA1");
}

TEST(TextTest, ToLowerText)
{
    EXPECT_EQ(toLowerText("HTTP://A.B"), "http://a.b");
    // 0xC1 0x41: the trail byte 0x41 is not the letter A.
    EXPECT_EQ(toLowerText("\xC1\x41Z"), "\xC1\x41z");
}

struct SplitCase {
    const char* name;
    std::string text;
    std::string separator;
    std::vector<std::string> items;
};

TEST(TextTest, SplitText)
{
    const SplitCase cases[] = {
        {"trailing separator dropped", "a;b;", ";", {"a", "b"}},
        {"leading separator keeps empty", ";a", ";", {"", "a"}},
        {"adjacent separators", "a;;b", ";", {"a", "", "b"}},
        {"empty text", "", ";", {}},
        {"only separator", ";", ";", {""}},
        {"empty separator", "a;b", "", {"a;b"}},
        {"multi byte separator", "a\r\nb\r\n\r\n", "\r\n", {"a", "b", ""}},
        {"trail byte not a separator", "\x81;x;y", ";", {"\x81;x", "y"}},
    };
    for (const SplitCase& c : cases)
        EXPECT_EQ(splitText(c.text, c.separator), c.items) << c.name;
}

TEST(TextTest, ReplaceText)
{
    EXPECT_EQ(replaceText("aaa", "aa", "b"), "ba");
    EXPECT_EQ(replaceText("abc", "B", "x"), "abc");
    EXPECT_EQ(replaceText("abc", "", "x"), "abc");
    EXPECT_EQ(replaceText("\x81"
                          "a",
                          "a", "x"),
              "\x81"
              "a");
    EXPECT_EQ(replaceText("a.b.c", ".", "\\."), "a\\.b\\.c");
}

struct IntegerCase {
    const char* name;
    std::string text;
    int expected;
};

TEST(TextTest, ToInteger)
{
    const IntegerCase cases[] = {
        {"plain", "45", 45},
        {"leading spaces and sign", "  -12x", -12},
        {"plus", "+7", 7},
        {"no digits", "abc", 0},
        {"empty", "", 0},
        {"full width digits", gbk("\xEF\xBC\x94\xEF\xBC\x95"), 45}, // "４５"
        {"full width space and sign",
         gbk("\xE3\x80\x80\xEF\xBC\x8D"
             "3"),
         -3}, // "　－3"
        {"stops at comma", "120,", 120},
        {"saturates", "99999999999", 2147483647},
    };
    for (const IntegerCase& c : cases)
        EXPECT_EQ(toInteger(c.text), c.expected) << c.name;
}

TEST(TextTest, BytesAndHex)
{
    EXPECT_EQ(bytesToText({'a', 'b', 0, 'c'}), "ab");
    EXPECT_EQ(bytesToText({}), "");
    EXPECT_EQ(textToBytes("ab"), (ByteBuffer{'a', 'b'}));
    EXPECT_TRUE(textToBytes("").empty());
    EXPECT_EQ(byteHex(0x0A), "A");
    EXPECT_EQ(byteHex(0xE4), "E4");
    EXPECT_EQ(byteHex(0x00), "0");
}

struct BetweenCase {
    const char* name;
    std::string text;
    std::string left;
    std::string right;
    int start;
    bool caseSensitive;
    std::string expected;
};

TEST(TextTest, TextBetween)
{
    const BetweenCase cases[] = {
        {"total", "a,totalnum:45,b", "totalnum:", ",", 0, false, "45"},
        {"right missing after left", "x,totalnum:45", "totalnum:", ",", 0, false, ""},
        {"left missing", "45,", "totalnum:", ",", 0, false, ""},
        {"first bracket pair", "a(b)c(d)", "(", ")", 0, false, "b"},
        {"bracket inside", gbk("\xE5\xA4\x8D\xE5\x88\xB6(") + "x (live))", "(", ")", 0, false,
         "x (live"},
        {"right follows at once", "()", "(", ")", 0, false, ""},
        {"ignores case", "TotalNum:3,", "totalnum:", ",", 0, false, "3"},
        {"case sensitive", "TotalNum:3,", "totalnum:", ",", 0, true, ""},
        {"start position", "(a)(b)", "(", ")", 2, false, "b"},
        {"quote word", "k=\"v\";", "=" + gbk("#\xE5\xBC\x95\xE5\x8F\xB7"),
         gbk("#\xE5\xBC\x95\xE5\x8F\xB7"), 0, false, "v"},
        {"agent to line end", "User-Agent: X\r\nA: b", "user-agent:", "\r\n", 0, false, " X"},
    };
    for (const BetweenCase& c : cases)
        EXPECT_EQ(textBetween(c.text, c.left, c.right, c.start, c.caseSensitive), c.expected)
            << c.name;
}

struct EncodeCase {
    const char* name;
    std::string text;
    bool keepUnreserved;
    bool toUtf8;
    std::string expected;
};

TEST(TextTest, UrlEncode)
{
    const EncodeCase cases[] = {
        {"space", "a b", true, true, "a%20b"},
        {"unreserved kept", "A-z.9", true, true, "A-z.9"},
        {"others encoded", "_~*/", true, true, "%5F%7E%2A%2F"},
        // "累死爱情" as its twelve UTF-8 bytes.
        {"chinese as utf8", gbk("\xE7\xB4\xAF\xE6\xAD\xBB\xE7\x88\xB1\xE6\x83\x85"), true, true,
         "%E7%B4%AF%E6%AD%BB%E7%88%B1%E6%83%85"},
        {"everything encoded", "a-1", false, true, "%61%2D%31"},
        {"gbk bytes kept", "\xD6\xD0", true, false, "%D6%D0"},
        {"leading zero", "\n", true, true, "%0A"},
    };
    for (const EncodeCase& c : cases)
        EXPECT_EQ(urlEncode(c.text, c.keepUnreserved, c.toUtf8), c.expected) << c.name;
}

TEST(TextTest, CodePageConversions)
{
    EXPECT_EQ(gbkToUtf8("\xD6\xD0"
                        "a"),
              "\xE4\xB8\xAD"
              "a");
    EXPECT_EQ(gbkToUtf8(""), "");
    EXPECT_EQ(multiByteToWide("\xE4\xB8\xAD"), u"中");
    EXPECT_EQ(multiByteToWide("\xD6\xD0", CodePage::Gbk), u"中");
    EXPECT_EQ(wideToMultiByte(u"中"), "\xD6\xD0");
    EXPECT_EQ(wideToMultiByte(u"中", CodePage::Utf8), "\xE4\xB8\xAD");
    // The conversions stop at the first zero, as C strings do.
    EXPECT_EQ(wideToMultiByte(std::u16string(u"a\0b", 3)), "a");
}

} // namespace
} // namespace marrowtune
