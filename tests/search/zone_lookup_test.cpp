// SPDX-License-Identifier: MIT
#include "search/keyword_search.h"
#include "search/messages.h"
#include "search/zone_lookup.h"
#include "tests/search/search_fixture.h"

namespace marrowtune::test {
namespace {

using Rows = std::vector<std::vector<std::string>>;

std::string repeat(const std::string& text, int times)
{
    std::string result;
    for (int i = 0; i < times; ++i) {
        result += text;
    }
    return result;
}

class ZoneLookupTest : public SearchFixture {
protected:
    void lookUp(const std::string& qqNumber)
    {
        m_view.setQqNumberText(qqNumber);
        lookupZoneMusic(m_view, m_context);
    }
};

// Catches a QQ number that is trimmed, validated or encoded on its way into the URL, and a
// stamp of the wrong length.
TEST_F(ZoneLookupTest, RequestCarriesTheQqBoxAsTyped)
{
    struct Case {
        std::string qqBox;
        std::string query;
    };
    const Case cases[] = {{"", "json=1&uin=&g_tk=5381&t="},
                          {"271828182", "json=1&uin=271828182&g_tk=5381&t="},
                          {"12ab&x=1", "json=1&uin=12ab&x=1&g_tk=5381&t="},
                          // The URL holds the spaces; on the wire the engine writes them as %20.
                          {" 1 2 ", "json=1&uin=%201%202%20&g_tk=5381&t="}};
    for (const Case& c : cases) {
        m_server.setResponse(ScriptedResponse::text("{}"));
        const std::size_t before = m_server.requests().size();
        lookUp(c.qqBox);
        ASSERT_EQ(m_server.requests().size(), before + 1) << c.qqBox;
        const std::string line = m_server.requests().back().requestLine;
        const std::string prefix = "GET /fcg-bin/cgi_playlist_xml.fcg?" + c.query;
        ASSERT_EQ(line.substr(0, prefix.size()), prefix);
        EXPECT_EQ(line.substr(prefix.size()).size(), 17u + std::string(" HTTP/1.1").size()) << line;
    }
    EXPECT_EQ(zonePlaylistUrl("h:1", " 1 2 ", "0.123456789012345"),
              "http://h:1/fcg-bin/cgi_playlist_xml.fcg?json=1&uin= 1 2 &g_tk=5381&t="
              "0.123456789012345");
    // The stamp loop lets the window's pending events run.
    EXPECT_GE(m_view.pendingEventRounds(), 1);
}

// Catches the wrong message order (complaint, then empty answer, then no match) and matches
// listed despite the complaint.
TEST_F(ZoneLookupTest, MessagesInTheirOrder)
{
    const std::string entry = zoneEntry("a", "b", "http://x/1.mp3");
    struct Case {
        std::string answer;
        std::string_view message;
    };
    const Case cases[] = {
        {gbk("{code:-1,msg:\"用户QQ号码错误\"}\n") + entry, WrongQqNumberMessage},
        {"", NetworkProblemMessage},
        {"<html><body>502 Bad Gateway</body></html>", NoBackgroundMusicMessage},
        {"{songlist:[]}", NoBackgroundMusicMessage},
    };
    for (const Case& c : cases) {
        answerWith(c.answer);
        lookUp("10001");
        ASSERT_EQ(m_view.rows().size(), 1u);
        EXPECT_EQ(m_view.rows()[0], (ResultRow{Text(c.message), "", "", ""}));
    }
    m_server.stop();
    lookUp("10001");
    EXPECT_EQ(m_view.rows(), (std::vector<ResultRow>{{Text(NetworkProblemMessage), "", "", ""}}));
}

// Catches entries listed out of order, an album cell that is filled, a link test in the wrong
// order (every "streamrdt" link also holds "strea"), case-insensitive link tests, and links
// rewritten although there is no mirror to rewrite them to.
TEST_F(ZoneLookupTest, ListsEntriesInOrderAndRoutesLinks)
{
    const std::string redirect = "http://streamrdt.test.invalid/qzone/1/2.wma";
    const std::string cdn = std::string("http://stream12.") + CdnSuffix + "/12001234.wma";
    const std::string other = "http://files.test.invalid/a.mp3";
    const std::string upper = "http://STREAMRDT.test.invalid/b.mp3";
    answerWith("MusicJsonCallback({songlist:[\n" +
               zoneEntry(gbk("累死爱情"), gbk("苏晚晴"), redirect) +
               zoneEntry("Paper Moon", "Mina Vale", cdn) + zoneEntry(gbk("晚风"), "", other) +
               zoneEntry("x", "y", upper) + "]})");
    lookUp("271828182");
    EXPECT_EQ(utf8Rows(m_view), (Rows{{"累死爱情", "苏晚晴", "", "thURL(" + redirect + ")"},
                                      {"Paper Moon", "Mina Vale", "", "getHiURL(" + cdn + ")"},
                                      {"晚风", "", "", other},
                                      {"x", "y", "", upper}}));
    m_context.hosts.mirrorHost.clear();
    lookUp("271828182");
    EXPECT_EQ(utf8Rows(m_view), (Rows{{"累死爱情", "苏晚晴", "", redirect},
                                      {"Paper Moon", "Mina Vale", "", cdn},
                                      {"晚风", "", "", other},
                                      {"x", "y", "", upper}}));
}

// Catches a pattern that no longer ignores case, runs an over-long name into the next entry,
// or is not greedy.
TEST_F(ZoneLookupTest, PatternEdges)
{
    const std::string longName(201, 'n');
    struct Case {
        const char* what;
        std::string answer;
        Rows rows;
    };
    const Case cases[] = {
        {"upper-case keys",
         "{XSONG_NAME:\"A\",XSINGER_ID:3,XSINGER_NAME:\"B\",XSONG_URL:'http://h/1.mp3'\n",
         {{"A", "B", "", "http://h/1.mp3"}}},
        {"name over 200 characters",
         zoneEntry(longName, "s", "http://h/1.mp3") + zoneEntry("after", "s2", "http://h/2.mp3"),
         {{"after", "s2", "", "http://h/2.mp3"}}},
        {"200 Chinese characters count as 200",
         zoneEntry(gbk(repeat("歌", 200)), "s", "http://h/1.mp3"),
         {{repeat("歌", 200), "s", "", "http://h/1.mp3"}}},
        {"greedy run-on",
         "xsong_name:\"first\",xsinger_id:1,xsinger_name:\"s1\",xsong_url:'http://h/1.mp3',"
         "xsong_name:\"second\",xsinger_id:2,xsinger_name:\"s2\",xsong_url:'http://h/2.mp3'\n",
         {{"first\",xsinger_id:1,xsinger_name:\"s1\",xsong_url:'http://h/1.mp3',"
           "xsong_name:\"second",
           "s2", "", "http://h/2.mp3"}}},
    };
    for (const Case& c : cases) {
        answerWith(c.answer);
        lookUp("10001");
        EXPECT_EQ(utf8Rows(m_view), c.rows) << c.what;
    }
}

// Catches a lookup that keeps rows of an earlier search, touches the paging state or the label,
// or leaves a page button enabled.
TEST_F(ZoneLookupTest, ReplacesRowsAndDisablesPaging)
{
    answerWith(searchAnswer(45, 20));
    m_view.setKeywordText("song");
    startKeywordSearch(m_view, m_context);
    ASSERT_TRUE(m_view.nextPageEnabled());
    const PagingState before = m_context.paging;

    answerWith(zoneEntry("only", "one", "http://h/1.mp3"));
    lookUp("10001");
    EXPECT_EQ(utf8Rows(m_view), (Rows{{"only", "one", "", "http://h/1.mp3"}}));
    EXPECT_FALSE(m_view.nextPageEnabled());
    EXPECT_FALSE(m_view.previousPageEnabled());
    EXPECT_EQ(m_view.pageLabel(), "1/3");
    EXPECT_EQ(m_context.paging.currentPage, before.currentPage);
    EXPECT_EQ(m_context.paging.pageCount, before.pageCount);
    EXPECT_EQ(m_context.paging.lastKeyword, before.lastKeyword);
}

} // namespace
} // namespace marrowtune::test
