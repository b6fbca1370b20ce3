// SPDX-License-Identifier: MIT
#include "tests/support/gbk.h"
#include "tools/sample-service/catalogue.h"
#include "tools/sample-service/sample_service.h"

#include <gtest/gtest.h>
#include <httplib.h>
#include <string>
#include <vector>

namespace marrowtune::sample {
namespace {

using test::gbk;

const LinkHosts Hosts{"streamrdt.test.invalid", "cdn.test.invalid"};

std::vector<std::size_t> positionsOf(const std::string& text, const std::string& key)
{
    std::vector<std::size_t> found;
    for (std::size_t at = text.find(key); at != std::string::npos; at = text.find(key, at + 1)) {
        found.push_back(at);
    }
    return found;
}

std::size_t characters(const std::string& utf8, std::size_t from, std::size_t to)
{
    std::size_t count = 0;
    for (std::size_t i = from; i < to; ++i) {
        count += (static_cast<unsigned char>(utf8[i]) & 0xC0) != 0x80 ? 1 : 0;
    }
    return count;
}

// Every group of the services' patterns may run 200 characters: the key that closes a group
// must not occur again within 200 characters of the next entry, or one match would swallow
// two entries.
void expectEntriesApart(const std::string& answer, const std::string& open,
                        const std::string& close, std::size_t entries)
{
    const std::vector<std::size_t> opens = positionsOf(answer, open);
    const std::vector<std::size_t> closes = positionsOf(answer, close);
    ASSERT_EQ(opens.size(), entries) << open;
    ASSERT_EQ(closes.size(), entries) << close;
    for (std::size_t k = 0; k + 1 < entries; ++k) {
        EXPECT_GT(characters(answer, opens[k] + open.size(), closes[k + 1]), 200u)
            << open << " of entry " << k;
    }
}

// Catches a Zone answer whose entries lie so close that the pattern runs from one into the
// next, and links that do not end their line.
TEST(SampleZoneAnswer, EntriesAreLaidOutOnePerMatch)
{
    for (const ZoneUser& user : zoneUsers()) {
        const std::string answer = zonePlaylistAnswer(user.qqNumber, Hosts, "127.0.0.1:1");
        SCOPED_TRACE(std::string(user.qqNumber));
        const std::size_t entries = user.playlist.size();
        expectEntriesApart(answer, "xsong_name:\"", "\",xsinger_id:", entries);
        expectEntriesApart(answer, "xsinger_name:\"", "\",xsong_url:'", entries);
        for (std::size_t at : positionsOf(answer, "xsong_url:'")) {
            const std::size_t lineEnd = answer.find('\n', at);
            ASSERT_NE(lineEnd, std::string::npos);
            EXPECT_EQ(answer[lineEnd - 1], '\'');
            EXPECT_EQ(answer.find('\'', at + 11), lineEnd - 1);
        }
    }
}

// Catches a preset user whose playlist lacks one of the three kinds of link, or a playlist
// entry that does not name a catalogue song.
TEST(SampleZoneAnswer, PresetUserHasAllThreeLinkKinds)
{
    const std::string answer = zonePlaylistAnswer("271828182", Hosts, "127.0.0.1:4321");
    EXPECT_NE(answer.find("xsong_url:'http://streamrdt.test.invalid/"), std::string::npos);
    EXPECT_NE(answer.find("xsong_url:'http://stream5.cdn.test.invalid/12005024.wma'"),
              std::string::npos);
    EXPECT_NE(answer.find("xsong_url:'http://127.0.0.1:4321/files/"), std::string::npos);
    EXPECT_NE(answer.find("xsong_name:\"累死爱情\",xsinger_id:2001,xsinger_name:\"苏晚晴\""),
              std::string::npos);
    for (const ZoneUser& user : zoneUsers()) {
        for (const ZoneSong& song : user.playlist) {
            EXPECT_NE(findSong(song.title, song.singer), nullptr) << song.title;
        }
    }
}

// Catches a malformed QQ number that is answered with a playlist, and a user without music
// (or an unknown one) that gets song entries.
TEST(SampleZoneAnswer, ComplaintsAndEmptyPlaylists)
{
    struct Case {
        const char* uin;
        bool complaint;
    };
    const Case cases[] = {{"", true},           {"abc", true},        {"2718 2818", true},
                          {"0271828182", true}, {"1234", true},       {"123456789012", true},
                          {"27182818a", true},  {"161803398", false}, {"99999999", false}};
    for (const Case& c : cases) {
        const std::string answer = zonePlaylistAnswer(c.uin, Hosts, "h");
        EXPECT_EQ(answer.find("用户QQ号码错误") != std::string::npos, c.complaint) << c.uin;
        EXPECT_EQ(answer.find("xsong_name"), std::string::npos) << c.uin;
    }
}

int occurrences(const std::string& text, const std::string& key)
{
    return static_cast<int>(positionsOf(text, key).size());
}

// Catches wrong totals, pages that are not twenty long, case-sensitive matching and a total
// written in a form the program's "totalnum:" ... "," reading cannot take.
TEST(SampleSearchAnswer, TotalsAndPages)
{
    struct Case {
        const char* keyword;
        int page;
        const char* total;
        int entries;
    };
    const Case cases[] = {
        {"累死爱情", 1, "totalnum:32,", 20},  {"累死爱情", 2, "totalnum:32,", 12},
        {"累死爱情", 3, "totalnum:32,", 0},   {"love", 1, "totalnum:16,", 16},
        {"LOVE", 1, "totalnum:16,", 16},      {"mina vale", 1, "totalnum:12,", 12},
        {"沉默", 1, "totalnum:12,", 12},      {"", 1, "totalnum:0,", 0},
        {"no such song", 1, "totalnum:0,", 0}};
    for (const Case& c : cases) {
        const std::string answer = songSearchAnswer(c.keyword, c.page, Hosts);
        SCOPED_TRACE(std::string(c.keyword) + " p" + std::to_string(c.page));
        EXPECT_EQ(occurrences(answer, "totalnum:"), 1);
        EXPECT_NE(answer.find(c.total), std::string::npos);
        EXPECT_EQ(occurrences(answer, "songname:\""), c.entries);
        EXPECT_EQ(occurrences(answer, "songurl:\"http://stream"), c.entries);
    }
    const std::string page = songSearchAnswer("累死爱情", 1, Hosts);
    expectEntriesApart(page, "songname:\"", "\",singerid:", 20);
    expectEntriesApart(page, "singername:\"", "\",albumid:", 20);
    expectEntriesApart(page, "albumname:\"", "\",songurl:\"", 20);
}

// Catches CDN file ids that the mirror would not serve, or two songs on one mirror id.
TEST(SampleCatalogue, EveryCdnSongHasItsOwnMirrorId)
{
    ASSERT_GE(catalogueSongs().size(), 250u);
    for (const CatalogueSong& song : catalogueSongs()) {
        const std::int64_t mirrorId = mirrorSongId(song.cdnFileId);
        EXPECT_GT(mirrorId, 30000000);
        EXPECT_EQ(findSongByMirrorId(mirrorId), &song) << song.title;
    }
    EXPECT_EQ(mirrorSongId(12000001), 30000001);
    EXPECT_EQ(mirrorSongId(12000000), 42000000);
    EXPECT_EQ(mirrorSongId(30000000), 30000000);
}

// Catches markup from the link reaching the listen page unescaped, and a script link being
// made playable.
TEST(SampleListenPage, EscapesTheLink)
{
    const std::string page = listenPage("http://h/a?b=1&c=\"><script>");
    EXPECT_NE(page.find("src=\"http://h/a?b=1&amp;c=&quot;&gt;&lt;script&gt;\""),
              std::string::npos);
    EXPECT_EQ(page.find("<script>"), std::string::npos);
    EXPECT_EQ(listenPage("javascript:alert(1)").find("src="), std::string::npos);
}

class SampleServiceHttp : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_service.start(0)); }

    httplib::Result get(const std::string& target)
    {
        httplib::Client client("127.0.0.1", m_service.port());
        return client.Get(target);
    }

    SampleService m_service{Hosts};
};

// Catches answers sent in UTF-8 instead of GBK, and a keyword that is not percent-decoded.
TEST_F(SampleServiceHttp, AnswersInGbk)
{
    auto zone = get("/fcg-bin/cgi_playlist_xml.fcg?json=1&uin=12x&g_tk=5381&t=0.1");
    ASSERT_TRUE(zone);
    EXPECT_NE(zone->body.find(gbk("用户QQ号码错误")), std::string::npos);

    auto search = get("/fcgi-bin/fcg_search_xmldata.q?source=10&w=%E7%B4%AF%E6%AD%BB%E7%88%B1"
                      "%E6%83%85&type=qry_song&out=json&p=2&perpage=20");
    ASSERT_TRUE(search);
    EXPECT_NE(search->body.find("totalnum:32,"), std::string::npos);
    EXPECT_NE(search->body.find(gbk("albumname:\"累死爱情 精选集\"")), std::string::npos);

    auto playlist = get("/fcg-bin/cgi_playlist_xml.fcg?json=1&uin=271828182&g_tk=5381&t=1");
    ASSERT_TRUE(playlist);
    const std::string ownLink = "http://127.0.0.1:" + std::to_string(m_service.port()) + "/files/";
    EXPECT_NE(playlist->body.find(ownLink), std::string::npos);
}

// Catches mirror, page and about paths that do not answer as the rewritten links expect.
TEST_F(SampleServiceHttp, MirrorAndPages)
{
    struct Case {
        std::string target;
        int status;
        std::string contentType;
    };
    const Case cases[] = {
        {"/mp3/12/30005000.mp3", 200, "audio/wav"},
        {"/mp3/12/30000001.mp3", 404, "text/plain"},
        {"/up/qzone/271828182/1/10001.wma", 200, "audio/wav"},
        {"/files/10049.mp3", 200, "audio/wav"},
        {"/musci/mp3.html?url=http://127.0.0.1:1/mp3/12/30005000.mp3", 200,
         "text/html; charset=GBK"},
        {"/about", 200, "text/html; charset=GBK"},
    };
    for (const Case& c : cases) {
        auto result = get(c.target);
        ASSERT_TRUE(result) << c.target;
        EXPECT_EQ(result->status, c.status) << c.target;
        EXPECT_EQ(result->get_header_value("Content-Type"), c.contentType) << c.target;
        if (c.contentType == "audio/wav") {
            EXPECT_EQ(result->body.substr(0, 4), "RIFF");
            EXPECT_EQ(result->body.size(), 44u + 9600u);
        }
    }
    auto page = get("/musci/mp3.html?url=http://127.0.0.1:1/mp3/12/30005000.mp3");
    ASSERT_TRUE(page);
    EXPECT_NE(page->body.find("<audio controls autoplay src=\"http://127.0.0.1:1/mp3/12/"
                              "30005000.mp3\">"),
              std::string::npos);
}

} // namespace
} // namespace marrowtune::sample
