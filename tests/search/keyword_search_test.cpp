// SPDX-License-Identifier: MIT
#include "search/keyword_search.h"
#include "search/messages.h"
#include "search/zone_lookup.h"
#include "tests/search/search_fixture.h"

#include <map>

namespace marrowtune::test {
namespace {

using Rows = std::vector<std::vector<std::string>>;

int pageOf(const RecordedRequest& request)
{
    const std::string line = request.requestLine;
    const std::size_t at = line.find("&p=");
    return at == std::string::npos ? 0 : std::stoi(line.substr(at + 3));
}

class KeywordSearchTest : public SearchFixture {
protected:
    /// Answers page p with answers[p]; pages not listed get an empty body.
    void answerPages(std::map<int, std::string> answers)
    {
        m_server.setHandler([answers](const RecordedRequest& request) {
            const auto found = answers.find(pageOf(request));
            return ScriptedResponse::text(found == answers.end() ? "" : found->second);
        });
    }

    void search(const std::string& keyword)
    {
        m_view.setKeywordText(keyword);
        startKeywordSearch(m_view, m_context);
    }
    void next() { showNextPage(m_view, m_context); }
    void previous() { showPreviousPage(m_view, m_context); }

    struct Buttons {
        std::string label;
        bool previous;
        bool next;
        bool operator==(const Buttons&) const = default;
    };
    Buttons buttons() const
    {
        return {m_view.pageLabel(), m_view.previousPageEnabled(), m_view.nextPageEnabled()};
    }
};

// Catches any byte of the request URL going astray: the keyword's UTF-8 percent form, the
// unreserved characters kept, the eighteen keys in order and a 13-digit time stamp.
TEST_F(KeywordSearchTest, RequestUrlByteForByte)
{
    struct Case {
        std::string keyword; // UTF-8
        std::string encoded;
    };
    const Case cases[] = {{"累死爱情", "%E7%B4%AF%E6%AD%BB%E7%88%B1%E6%83%85"},
                          {"a b/c-d.e_f~*", "a%20b%2Fc-d.e%5Ff%7E%2A"},
                          {"", ""}};
    for (const Case& c : cases) {
        answerWith("");
        search(gbk(c.keyword));
        const std::string line = m_server.requests().back().requestLine;
        const std::string expected =
            "GET /fcgi-bin/fcg_search_xmldata.q?source=10&w=" + c.encoded +
            "&type=qry_song&out=json&p=1&perpage=20&ie=utf-8&uin=0&inCharset=GB2312"
            "&outCharset=GB2312&hostUin=0&notice=0&needNewCode=0&format=jsonp"
            "&platform=musicbox&jsonpCallback=searchJsonCallback&g_tk=5381&t=";
        ASSERT_EQ(line.substr(0, expected.size()), expected);
        const std::string stamp = line.substr(expected.size(), line.size() - expected.size() - 9);
        EXPECT_EQ(stamp.size(), 13u) << stamp;
        EXPECT_EQ(stamp.find_first_not_of("0123456789"), std::string::npos) << stamp;
    }
}

// Catches a page count rounded to the nearest whole number (or truncated) instead of taken up
// to the next one, so the last hits could not be reached, and button states that do not follow.
TEST_F(KeywordSearchTest, PageCountsLabelsAndButtons)
{
    struct Case {
        int total;
        int entries;
        Buttons after;
    };
    const Case cases[] = {{45, 20, {"1/3", false, true}},  {41, 20, {"1/3", false, true}},
                          {40, 20, {"1/2", false, true}},  {21, 20, {"1/2", false, true}},
                          {10, 10, {"1/1", false, false}}, {9, 9, {"1/1", false, false}},
                          {0, 3, {"1/0", false, false}},   {-5, 3, {"1/0", false, false}}};
    for (const Case& c : cases) {
        answerPages({{1, searchAnswer(c.total, c.entries)}});
        search("song");
        EXPECT_EQ(m_view.rows().size(), static_cast<std::size_t>(c.entries)) << c.total;
        EXPECT_EQ(buttons(), c.after) << c.total;
    }
    EXPECT_EQ(pageCountFor(2'147'483'647), 107'374'183);
}

// Catches paging that does not follow the button table, requests sent from the first or last
// page, or the last five of 45 hits out of reach.
TEST_F(KeywordSearchTest, PagingThroughFortyFiveHits)
{
    answerPages(
        {{1, searchAnswer(45, 20, 1)}, {2, searchAnswer(45, 20, 2)}, {3, searchAnswer(45, 5, 3)}});
    search("song");
    EXPECT_EQ(buttons(), (Buttons{"1/3", false, true}));
    previous(); // on page 1: nothing
    EXPECT_EQ(m_server.requests().size(), 1u);

    next();
    EXPECT_EQ(buttons(), (Buttons{"2/3", true, true}));
    EXPECT_EQ(utf8Rows(m_view).front()[0], "song 2-1");
    EXPECT_EQ(pageOf(m_server.requests().back()), 2);
    next();
    EXPECT_EQ(buttons(), (Buttons{"3/3", true, false}));
    EXPECT_EQ(m_view.rows().size(), 5u);
    next(); // on the last page: nothing
    EXPECT_EQ(m_server.requests().size(), 3u);
    EXPECT_EQ(buttons(), (Buttons{"3/3", true, false}));

    previous();
    previous();
    EXPECT_EQ(buttons(), (Buttons{"1/3", false, true}));
    EXPECT_EQ(utf8Rows(m_view).front()[0], "song 1-1");
    EXPECT_EQ(m_server.requests().size(), 5u);
}

// Catches a label that hides a page count that shrank under the current page, and a next
// button that then sends a request.
TEST_F(KeywordSearchTest, FewerPagesThanThePageShown)
{
    answerPages(
        {{1, searchAnswer(60, 20, 1)}, {2, searchAnswer(60, 20, 2)}, {3, searchAnswer(30, 20, 3)}});
    search("song");
    next();
    next();
    EXPECT_EQ(buttons(), (Buttons{"3/2", true, true}));
    const std::size_t sent = m_server.requests().size();
    next();
    EXPECT_EQ(m_server.requests().size(), sent);
    EXPECT_EQ(buttons(), (Buttons{"3/2", true, true}));
}

// Catches a failed page request that leaves the list without a word or moves the page, label
// or buttons (so the same press could not retry), and a page answer without songs that does
// not move as the button table says.
TEST_F(KeywordSearchTest, PageRequestsThatGiveNoSongs)
{
    const std::vector<ResultRow> networkRow = {{Text(NetworkProblemMessage), "", "", ""}};
    struct Case {
        const char* what;
        std::string page2; // the answer to page 2 ("" fails the request)
        bool previousFromPage3;
        std::vector<ResultRow> rows;
        Buttons after;
        int page;
    };
    const Case cases[] = {
        {"next fails", "", false, networkRow, {"1/3", false, true}, 1},
        {"previous fails", "", true, networkRow, {"3/3", true, false}, 3},
        {"next without songs", "searchJsonCallback({})", false, {}, {"2/3", true, true}, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        answerPages({{1, searchAnswer(45, 20, 1)}, {3, searchAnswer(45, 5, 3)}});
        search("song");
        if (c.previousFromPage3) {
            m_context.paging.currentPage = 2;
            next();
            ASSERT_EQ(buttons(), (Buttons{"3/3", true, false}));
        }
        answerPages({{1, searchAnswer(45, 20, 1)}, {2, c.page2}, {3, searchAnswer(45, 5, 3)}});
        const std::size_t sent = m_server.requests().size();
        c.previousFromPage3 ? previous() : next();
        EXPECT_EQ(m_server.requests().size(), sent + 1);
        EXPECT_EQ(m_view.rows(), c.rows);
        EXPECT_EQ(buttons(), c.after);
        EXPECT_EQ(m_context.paging.currentPage, c.page);
    }
}

// Catches the two messages of a new search swapped, and a failed new search that changes the
// paging state or the label, or leaves a page button enabled.
TEST_F(KeywordSearchTest, FailedNewSearchKeepsThePagingState)
{
    answerPages({{1, searchAnswer(45, 20, 1)}});
    search("song");
    const PagingState before = m_context.paging;
    struct Case {
        std::string answer;
        std::string_view message;
    };
    const Case cases[] = {{"", NetworkProblemMessage},
                          {"searchJsonCallback({totalnum:0,songlist:[]})", NoResultMessage},
                          {"<html>error</html>", NoResultMessage}};
    for (const Case& c : cases) {
        answerWith(c.answer);
        search("other");
        EXPECT_EQ(m_view.rows(), (std::vector<ResultRow>{{Text(c.message), "", "", ""}}));
        EXPECT_EQ(buttons(), (Buttons{"1/3", false, false}));
        EXPECT_EQ(m_context.paging.currentPage, before.currentPage);
        EXPECT_EQ(m_context.paging.pageCount, before.pageCount);
        EXPECT_EQ(m_context.paging.lastKeyword, before.lastKeyword);
    }
}

// Catches rows with columns out of place, a link not rewritten by getHiURL (or rewritten
// without a mirror), entries with an empty name group that still give rows, and a missing
// total that is not read as 0.
TEST_F(KeywordSearchTest, RowsAndPatternEdges)
{
    const std::string link = std::string("http://stream3.") + CdnSuffix + "/77.wma";
    answerWith("searchJsonCallback({songlist:[\n" +
               searchEntry(gbk("累死爱情"), gbk("苏晚晴"), gbk("累死爱情 精选集"), "77") +
               searchEntry("", "no name", "x") + searchEntry("x", "", "no singer") +
               searchEntry("no album", "x", "") +
               "{songname:\"wrong host\",singerid:1,singername:\"s\",albumid:2,albumname:\"a\","
               "songurl:\"http://stream3.cdnXtest.invalid/1.wma\"" +
               entryTail() + "]})");
    search("x");
    EXPECT_EQ(utf8Rows(m_view),
              (Rows{{"累死爱情", "苏晚晴", "累死爱情 精选集", "getHiURL(" + link + ")"}}));
    EXPECT_EQ(buttons(), (Buttons{"1/0", false, false}));
    m_context.hosts.mirrorHost.clear();
    search("x");
    EXPECT_EQ(utf8Rows(m_view), (Rows{{"累死爱情", "苏晚晴", "累死爱情 精选集", link}}));
}

// Catches a menu search that reads the wrong item or cuts the cell text at a ")" of its own,
// and a last keyword that is stored unencoded.
TEST_F(KeywordSearchTest, SearchFromMenuTakesTheWholeCell)
{
    answerPages({{1, searchAnswer(45, 20, 1)}, {2, searchAnswer(45, 20, 2)}});
    const struct {
        std::string copyCaption;
        std::string encoded;
    } cases[] = {
        {"复制(累死爱情 (Live))", "%E7%B4%AF%E6%AD%BB%E7%88%B1%E6%83%85%20%28Live%29"},
        {"复制(a)b(c))", "a%29b%28c%29"},
        {"复制()", ""},
        {"复制", ""},
    };
    for (const auto& c : cases) {
        m_view.setMenuItemCaption(MenuItem::Copy, gbk(c.copyCaption));
        m_view.setMenuItemCaption(MenuItem::Search, gbk("搜索(something else)"));
        searchFromMenu(m_view, m_context);
        EXPECT_NE(m_server.requests().back().requestLine.find("&w=" + c.encoded + "&"),
                  std::string::npos)
            << c.copyCaption;
    }
    m_view.setMenuItemCaption(MenuItem::Copy, gbk(cases[0].copyCaption));
    searchFromMenu(m_view, m_context);
    EXPECT_EQ(m_context.paging.lastKeyword, cases[0].encoded);
    EXPECT_EQ(buttons(), (Buttons{"1/3", false, true}));
    next();
    EXPECT_NE(m_server.requests().back().requestLine.find("&w=" + cases[0].encoded +
                                                          "&type=qry_song&out=json&p=2&"),
              std::string::npos);
}

// Catches a typo in the GBK bytes of the messages and the complaint.
TEST(SearchMessagesTest, AreTheExactGbkTexts)
{
    EXPECT_EQ(ZoneComplaintText, gbk("用户QQ号码错误"));
    EXPECT_EQ(WrongQqNumberMessage, gbk("QQ号码填写错误"));
    EXPECT_EQ(NetworkProblemMessage, gbk("网络出现问题了~"));
    EXPECT_EQ(NoBackgroundMusicMessage, gbk("该QQ无背景音乐 请查询其他QQ"));
    EXPECT_EQ(NoResultMessage, gbk("无结果 请更换关键词"));
}

} // namespace
} // namespace marrowtune::test
