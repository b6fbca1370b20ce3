// SPDX-License-Identifier: MIT
// The two service patterns the searches use, over crafted GBK answers.

#include "automation/regex_object.h"
#include "platform/system_classes.h"
#include "search/keyword_search.h"
#include "search/zone_lookup.h"
#include "tests/support/gbk.h"

#include <gtest/gtest.h>

namespace marrowtune {
namespace {

using test::gbk;

// The patterns exactly as the searches build them; the search one for the real CDN suffix.
const Text ZonePattern(ZoneSongPattern);
const Text SearchPattern = songSearchPattern("qqmusic.qq.com");

// Keeps entries apart by more than 200 characters, as the other fields of a real answer do.
const Text Filler = ",xextra:\"" + Text(220, '-') + "\"},\n{";

Text zoneEntry(const Text& name, const Text& singer, const Text& url)
{
    return "{xsong_name:\"" + name + "\",xsinger_id:1234,xsinger_name:\"" + singer +
           "\",xsong_url:'" + url + "'" + Filler;
}

Text searchEntry(const Text& name, const Text& singer, const Text& album, const Text& url)
{
    return "{songname:\"" + name + "\",singerid:77,singername:\"" + singer +
           "\",albumid:88,albumname:\"" + album + "\",songurl:\"" + url + "\"" + Filler;
}

Text chinese(int count)
{
    std::u16string wide;
    for (int i = 0; i < count; ++i) {
        wide += static_cast<char16_t>(0x4e00 + i % 500);
    }
    return gbk(wide);
}

// Rows as the Zone lookup reads them: groups 1 to 3 of every match.
std::vector<std::vector<Text>> rows(const Text& pattern, const Text& answer, int groups)
{
    RegexObject regex;
    regex.create(pattern, answer);
    std::vector<std::vector<Text>> found;
    for (int i = 1; i <= regex.matchCount(); ++i) {
        std::vector<Text> row;
        for (int g = 1; g <= groups; ++g) {
            row.push_back(regex.subMatchText(i, g));
        }
        found.push_back(row);
    }
    return found;
}

class ServicePatternTest : public testing::Test {
protected:
    void SetUp() override { registerSystemClasses(); }
};

// Chinese counts as one character: 200 Chinese characters (400 bytes) still fit the group, and
// the texts come back as the answer's own GBK bytes.
TEST_F(ServicePatternTest, ZoneCountsCharactersNotBytes)
{
    const Text name200 = chinese(200);
    const Text singer = gbk(u"\u5468\u6770\u4f26");
    const Text answer = "jsonCallback({songs:[" +
                        zoneEntry(name200, singer, "http://stream1.qqmusic.qq.com/1.wma") +
                        zoneEntry(gbk(u"\u6674\u5929"), singer, "http://a.b/c?d=1") + "]})";
    EXPECT_EQ(
        rows(ZonePattern, answer, 3),
        (std::vector<std::vector<Text>>{{name200, singer, "http://stream1.qqmusic.qq.com/1.wma"},
                                        {gbk(u"\u6674\u5929"), singer, "http://a.b/c?d=1"}}));
}

// A name over 200 characters gives no row, and the entries after it are still found.
TEST_F(ServicePatternTest, ZoneSkipsOverlongName)
{
    const Text answer = zoneEntry(chinese(201), "s1", "http://h/1") +
                        zoneEntry("ok", gbk(u"\u6b4c\u624b"), "http://h/2") +
                        zoneEntry("x", chinese(201), "http://h/3") +
                        zoneEntry("last", "s4", "http://h/4");
    EXPECT_EQ(rows(ZonePattern, answer, 3),
              (std::vector<std::vector<Text>>{{"ok", gbk(u"\u6b4c\u624b"), "http://h/2"},
                                              {"last", "s4", "http://h/4"}}));
}

// Upper-case keys match, and an empty name is allowed by the Zone pattern.
TEST_F(ServicePatternTest, ZoneUpperCaseKeysAndEmptyName)
{
    const Text answer = "{XSONG_NAME:\"A\",XSINGER_ID:5,XSINGER_NAME:\"B\",XSONG_URL:'HTTP://H/1'" +
                        Filler + zoneEntry("", "nobody", "http://h/2");
    EXPECT_EQ(
        rows(ZonePattern, answer, 3),
        (std::vector<std::vector<Text>>{{"A", "B", "HTTP://H/1"}, {"", "nobody", "http://h/2"}}));
}

// Greedy groups: entries closer than 200 characters run on into one match whose song name holds
// everything up to the later entry's name.
TEST_F(ServicePatternTest, ZoneGreedyRunOn)
{
    const Text first =
        "{xsong_name:\"one\",xsinger_id:1,xsinger_name:\"s1\",xsong_url:'http://h/1'},";
    const Text second =
        "{xsong_name:\"two\",xsinger_id:2,xsinger_name:\"s2\",xsong_url:'http://h/2'}";
    const auto found = rows(ZonePattern, first + second, 3);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0][0], "one\",xsinger_id:1,xsinger_name:\"s1\",xsong_url:'http://h/1'},"
                           "{xsong_name:\"two");
    EXPECT_EQ(found[0][1], "s2");
    EXPECT_EQ(found[0][2], "http://h/2");
}

// The link group stops at a line break and leaves out the closing quote.
TEST_F(ServicePatternTest, ZoneLinkStopsAtLineBreak)
{
    const Text answer =
        "xsong_name:\"n\",xsinger_id:1,xsinger_name:\"s\",xsong_url:'http://h/1'\n'";
    EXPECT_EQ(rows(ZonePattern, answer, 3),
              (std::vector<std::vector<Text>>{{"n", "s", "http://h/1"}}));
}

// The search pattern: four groups, Chinese and upper-case keys, an empty name refused, the CDN
// suffix matched only with its literal dots.
TEST_F(ServicePatternTest, SearchAnswer)
{
    const Text url = "http://stream12.qqmusic.qq.com/30123456.wma";
    const Text answer =
        "searchJsonCallback({totalnum:4,songlist:[" +
        searchEntry(gbk(u"\u7a3b\u9999"), gbk(u"\u5468\u6770\u4f26"), gbk(u"\u9b54\u6770\u5ea7"),
                    url) +
        searchEntry("", "s", "a", "http://stream1.qqmusic.qq.com/1.wma") +
        searchEntry("bad", "s", "a", "http://stream1.qqmusicXqq.com/1.wma") +
        "{SONGNAME:\"Up\",SINGERID:1,SINGERNAME:\"S\",ALBUMID:2,ALBUMNAME:\"A\",SONGURL:\"" +
        "HTTP://STREAM3.QQMUSIC.QQ.COM/9.WMA\"}]})";
    EXPECT_EQ(
        rows(SearchPattern, answer, 4),
        (std::vector<std::vector<Text>>{
            {gbk(u"\u7a3b\u9999"), gbk(u"\u5468\u6770\u4f26"), gbk(u"\u9b54\u6770\u5ea7"), url},
            {"Up", "S", "A", "HTTP://STREAM3.QQMUSIC.QQ.COM/9.WMA"}}));
}

} // namespace
} // namespace marrowtune
