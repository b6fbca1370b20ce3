// SPDX-License-Identifier: MIT
#pragma once
// Shared pieces of the search tests: a loopback service, a plain view, answer builders and a
// script component that records which rewriting function a link went to.

#include "platform/system_classes.h"
#include "search/plain_search_view.h"
#include "search/script_component.h"
#include "search/search_context.h"
#include "tests/support/gbk.h"
#include "tests/support/loopback_server.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace marrowtune::test {

/// Gives "thURL(<link>)" or "getHiURL(<link>)", so a row shows which function rewrote it.
class NamingScript final : public ScriptComponent {
public:
    bool addCode(const Text&) override { return true; }
    Text run(const Text& functionName, const Text& argument) override
    {
        return functionName + "(" + argument + ")";
    }
};

inline constexpr const char* CdnSuffix = "cdn.test.invalid";

/// Fields that follow an entry in the services' answers, long enough to keep entries apart.
inline std::string entryTail()
{
    return ",size:4096000,duration:256,lyric:\"http://lyric.test.invalid/" + std::string(180, 'x') +
           ".lrc\"},\n";
}

/// One Zone playlist entry (GBK) with its link line.
inline std::string zoneEntry(const std::string& name, const std::string& singer,
                             const std::string& link)
{
    return "{xsong_name:\"" + name + "\",xsinger_id:17,xsinger_name:\"" + singer +
           "\",xsong_url:'" + link + "'\n" + entryTail();
}

/// One song-search entry (GBK).
inline std::string searchEntry(const std::string& name, const std::string& singer,
                               const std::string& album, const std::string& fileId = "1234")
{
    return "{songname:\"" + name + "\",singerid:5,singername:\"" + singer +
           "\",albumid:9,albumname:\"" + album + "\",songurl:\"http://stream3." + CdnSuffix + "/" +
           fileId + ".wma\"" + entryTail();
}

/// A search answer with `total` after "totalnum:" and `entries` numbered entries.
inline std::string searchAnswer(int total, int entries, int page = 1)
{
    std::string answer = "searchJsonCallback({result:0,totalnum:" + std::to_string(total) +
                         ",curpage:" + std::to_string(page) + ",songlist:[\n";
    for (int i = 1; i <= entries; ++i) {
        const std::string n = std::to_string(page) + "-" + std::to_string(i);
        answer += searchEntry("song " + n, "singer " + n, "album " + n, std::to_string(1000 + i));
    }
    return answer + "]})";
}

/// The rows of the view as UTF-8, for readable expectations.
inline std::vector<std::vector<std::string>> utf8Rows(const PlainSearchView& view)
{
    std::vector<std::vector<std::string>> rows;
    for (const ResultRow& row : view.rows()) {
        rows.push_back({utf8(row[0]), utf8(row[1]), utf8(row[2]), utf8(row[3])});
    }
    return rows;
}

/// A loopback service, a view with a naming script, a paging state and hosts pointing at it.
class SearchFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        registerSystemClasses();
        ASSERT_TRUE(m_server.start());
        m_context.hosts.zonePlaylistHost = "127.0.0.1:" + std::to_string(m_server.port());
        m_context.hosts.songSearchHost = m_context.hosts.zonePlaylistHost;
        m_context.hosts.musicCdnHostSuffix = CdnSuffix;
    }

    /// Answers every request with `body` (200).
    void answerWith(const std::string& body) { m_server.setResponse(ScriptedResponse::text(body)); }

    std::vector<std::string> targets() const
    {
        std::vector<std::string> result;
        for (const RecordedRequest& request : m_server.requests()) {
            result.push_back(request.requestLine);
        }
        return result;
    }

    LoopbackServer m_server;
    NamingScript m_script;
    PlainSearchView m_view{m_script};
    SearchContext m_context;
};

} // namespace marrowtune::test
