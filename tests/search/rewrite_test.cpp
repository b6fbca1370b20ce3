// SPDX-License-Identifier: MIT
#include "marrowtune/config.h"
#include "platform/system_classes.h"
#include "search/rewrite.h"
#include "search/script_control_component.h"
#include "search/service_hosts.h"

#include <gtest/gtest.h>
#include <map>

namespace marrowtune {
namespace {

// Hosts shaped like the real services': the suffix holds an "m", which the stream-number rule
// has to step over.
constexpr std::string_view Redirect = "streamrdt.music.example.com";
constexpr std::string_view Suffix = "qqmusic.example.com";
constexpr std::string_view Mirror = "mirror.example.org:8080";

struct RewriteCase {
    const char* link;
    const char* expected;
};

void PrintTo(const RewriteCase& param, std::ostream* out)
{
    *out << param.link;
}

class RewriteTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_component.isReady());
        const Text script = makeRewriteScript(Redirect, Suffix, Mirror);
        ASSERT_FALSE(script.empty());
        ASSERT_TRUE(m_component.addCode(script));
    }
    // The class is registered before the component is made.
    bool m_registered = (registerSystemClasses(), true);
    ScriptControlComponent m_component;
};

class GetHiUrl : public RewriteTest, public testing::WithParamInterface<RewriteCase> {};
class ThUrl : public RewriteTest, public testing::WithParamInterface<RewriteCase> {};

// Catches departures from JScript number and string rules in the CDN rewrite.
TEST_P(GetHiUrl, RewritesTheCdnLink)
{
    EXPECT_EQ(callGetHiURL(m_component, GetParam().link), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    EdgeCases, GetHiUrl,
    testing::Values(
        // stream 12 stays 12; an id above 12000000 loses 12000000 before gaining 30000000
        RewriteCase{"http://stream12.qqmusic.example.com/12345678.wma",
                    "http://mirror.example.org:8080/mp3/12/30345678.mp3"},
        // stream 3 becomes 13; a four-digit id gains 30000000
        RewriteCase{"http://stream3.qqmusic.example.com/1234.wma",
                    "http://mirror.example.org:8080/mp3/13/30001234.mp3"},
        RewriteCase{"http://stream10.qqmusic.example.com/12000000.wma",
                    "http://mirror.example.org:8080/mp3/20/42000000.mp3"},
        // ids of 30000000 or more are kept
        RewriteCase{"http://stream5.qqmusic.example.com/30000000.wma",
                    "http://mirror.example.org:8080/mp3/15/30000000.mp3"},
        RewriteCase{"http://stream11.qqmusic.example.com/31234567.m4a",
                    "http://mirror.example.org:8080/mp3/11/31234567.mp3"},
        // no suffix: unchanged
        RewriteCase{"http://other.example.net/a/123.wma", "http://other.example.net/a/123.wma"},
        // no id before the dot: id 0 stays 0
        RewriteCase{"http://stream5.qqmusic.example.com/.wma",
                    "http://mirror.example.org:8080/mp3/15/0.mp3"},
        // a host piece without "m" gives stream 0, which becomes 10
        RewriteCase{"http://10.0.0.1/qqmusic.example.com/5.wma",
                    "http://mirror.example.org:8080/mp3/10/30000005.mp3"},
        // a leading 0 makes the stream number octal, as JScript reads it: 012 is 10, 09 is 0
        RewriteCase{"http://stream012.qqmusic.example.com/100.wma",
                    "http://mirror.example.org:8080/mp3/20/30000100.mp3"},
        RewriteCase{"http://stream09.qqmusic.example.com/100.wma",
                    "http://mirror.example.org:8080/mp3/10/30000100.mp3"},
        // Number() reads hexadecimal ids and gives NaN for other text
        RewriteCase{"http://stream5.qqmusic.example.com/0x10.wma",
                    "http://mirror.example.org:8080/mp3/15/30000016.mp3"},
        RewriteCase{"http://stream5.qqmusic.example.com/song.wma",
                    "http://mirror.example.org:8080/mp3/15/NaN.mp3"},
        RewriteCase{"http://stream.qqmusic.example.com/7.wma",
                    "http://mirror.example.org:8080/mp3/NaN/30000007.mp3"},
        // fewer than two "/" make the script fail: empty text, never an error text
        RewriteCase{"qqmusic.example.com/7.wma", ""}));

// Catches replacing every redirect host, touching the query, or a wrong suffix position rule.
TEST_P(ThUrl, RewritesRedirectAndCdnLinks)
{
    EXPECT_EQ(callThURL(m_component, GetParam().link), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    EdgeCases, ThUrl,
    testing::Values(
        RewriteCase{"http://streamrdt.music.example.com/stream?u=streamrdt.music.example.com&x=1",
                    "http://mirror.example.org:8080/up/stream?u=streamrdt.music.example.com&x=1"},
        RewriteCase{"http://stream12.qqmusic.example.com/12345678.wma",
                    "http://mirror.example.org:8080/mp3/12/30345678.mp3"},
        // the suffix without "." before it or "/" after it: only step 1 applies
        RewriteCase{"http://xqqmusic.example.com/5.wma", "http://xqqmusic.example.com/5.wma"},
        RewriteCase{"http://stream5.qqmusic.example.com:80/5.wma",
                    "http://stream5.qqmusic.example.com:80/5.wma"},
        // "." + suffix + "/" at position 0 or 1 is not enough; at 2 getHiURL runs (and fails
        // here, the link having no host piece)
        RewriteCase{".qqmusic.example.com/5.wma", ".qqmusic.example.com/5.wma"},
        RewriteCase{"x.qqmusic.example.com/5.wma", "x.qqmusic.example.com/5.wma"},
        RewriteCase{"xy.qqmusic.example.com/5.wma", ""},
        RewriteCase{"http://other.example.net/a.mp3", "http://other.example.net/a.mp3"},
        // GBK text passes through unchanged
        RewriteCase{"http://streamrdt.music.example.com/\xB8\xE8.mp3",
                    "http://mirror.example.org:8080/up/\xB8\xE8.mp3"}));

// Catches the batch form drifting from one call per link: order, failing links (empty
// result), empty and GBK links, and a link with a NUL (sent one by one).
TEST_F(RewriteTest, BatchGivesWhatOneCallPerLinkGives)
{
    const std::vector<Text> links = {
        "http://stream12.qqmusic.example.com/12345678.wma",
        "qqmusic.example.com/7.wma",
        "",
        "http://streamrdt.music.example.com/\xB8\xE8.mp3",
        "xy.qqmusic.example.com/5.wma",
        "http://stream5.qqmusic.example.com/song.wma",
        Text("http://stream3.qqmusic.example.com/1\0"
             "2.wma",
             42),
    };
    for (const char* function : {"getHiURL", "thURL"}) {
        std::vector<Text> oneByOne;
        for (const Text& link : links) {
            oneByOne.push_back(m_component.run(function, link));
        }
        EXPECT_EQ(m_component.runEach(function, links), oneByOne) << function;
        EXPECT_EQ(m_component.runEach(function, {links.begin(), links.end() - 1}),
                  std::vector<Text>(oneByOne.begin(), oneByOne.end() - 1))
            << function;
    }
    EXPECT_EQ(m_component.runEach("noSuchFunction", {"a", "b"}), std::vector<Text>(2));
    EXPECT_TRUE(m_component.runEach("thURL", {}).empty());
}

// Catches the build-time script and the run-time builder drifting apart.
TEST(RewriteScript, BuildTextMatchesTheBuilderForTheConfiguredHosts)
{
    const ServiceHosts built = ServiceHosts::buildDefaults();
    EXPECT_EQ(rewriteScript(built),
              makeRewriteScript(config::StreamRedirectHost, config::MusicCdnHostSuffix,
                                config::MirrorHost));
    EXPECT_NE(rewriteScript(built).find(config::MirrorHost), Text::npos);
    EXPECT_EQ(makeRewriteScript(Redirect, "a\"b", Mirror), "");
    EXPECT_EQ(makeRewriteScript("", Suffix, Mirror), "");
}

// Catches the configured script not loading or its functions not being reachable by name.
// Added at once or on first use, the script is there for the first call of either kind, and
// code added later still comes after it.
TEST(RewriteScript, LoadsIntoTheComponent)
{
    registerSystemClasses();
    const Text redirected = "http://" + Text(config::StreamRedirectHost) + "/a?b=1";
    const Text cdn = "http://stream3." + Text(config::MusicCdnHostSuffix) + "/1234.wma";
    const Text hiLink = "http://" + Text(config::MirrorHost) + "/mp3/13/30001234.mp3";
    for (const bool onFirstUse : {false, true}) {
        for (const bool batch : {false, true}) {
            SCOPED_TRACE(testing::Message() << onFirstUse << batch);
            ScriptControlComponent component;
            if (onFirstUse) {
                loadRewriteScriptOnFirstUse(component, ServiceHosts::buildDefaults());
            } else {
                ASSERT_TRUE(loadRewriteScript(component, ServiceHosts::buildDefaults()));
            }
            EXPECT_EQ(batch ? callGetHiURLEach(component, {cdn}).at(0)
                            : callGetHiURL(component, cdn),
                      hiLink);
            EXPECT_EQ(callThURL(component, redirected),
                      "http://" + Text(config::MirrorHost) + "/up/a?b=1");
        }
    }
    ScriptControlComponent component;
    loadRewriteScriptOnFirstUse(component, ServiceHosts::buildDefaults());
    ASSERT_TRUE(component.addCode("function thURL(url) { return 'later'; }"));
    EXPECT_EQ(callThURL(component, redirected), "later");
}

} // namespace
} // namespace marrowtune

namespace marrowtune {
namespace {

// Catches an environment value that breaks the host rule yet reaches the script or the URLs,
// and a variable that lands in the wrong field.
TEST(HostEnvironment, ValuesReplaceTheBuildsOrAreRefused)
{
    static std::map<std::string, std::string> environment;
    const auto lookUp = [](const char* name) -> const char* {
        const auto found = environment.find(name);
        return found == environment.end() ? nullptr : found->second.c_str();
    };
    const struct {
        std::map<std::string, std::string> variables;
        std::string problem; // empty: accepted
    } cases[] = {
        {{{"MARROWTUNE_MIRROR_HOST", "m.example:8080"},
          {"MARROWTUNE_AUTHOR_PAGE_URL", "https://a.example/me"}},
         ""},
        {{{"MARROWTUNE_MIRROR_HOST", "m\"+alert(1)+\""}}, "MARROWTUNE_MIRROR_HOST must be a host"},
        {{{"MARROWTUNE_SONG_SEARCH_HOST", ""}}, "MARROWTUNE_SONG_SEARCH_HOST must be a host"},
        {{{"MARROWTUNE_LISTEN_PAGE_HOST", "a/b"}}, "MARROWTUNE_LISTEN_PAGE_HOST must be a host"},
        {{{"MARROWTUNE_AUTHOR_PAGE_URL", "javascript:x"}}, "MARROWTUNE_AUTHOR_PAGE_URL must be"},
        {{{"MARROWTUNE_AUTHOR_PAGE_URL", "http://a b"}}, "MARROWTUNE_AUTHOR_PAGE_URL must be"},
        {{{"MARROWTUNE_ZONE_PLAYLIST_HOST", "\x1B]0;x\x07\r\n"}},
         "MARROWTUNE_ZONE_PLAYLIST_HOST must be a host name (letters, digits, '.', '-', '_', "
         "':'): '\\x1B]0;x\\x07\\r\\n'"},
    };
    for (const auto& c : cases) {
        environment = c.variables;
        std::string problem;
        const ServiceHosts hosts = hostsFromEnvironment(lookUp, problem);
        EXPECT_EQ(problem.substr(0, c.problem.size()), c.problem) << problem;
        if (c.problem.empty()) {
            EXPECT_EQ(hosts.mirrorHost, "m.example:8080");
            EXPECT_EQ(hosts.authorPageUrl, "https://a.example/me");
            EXPECT_EQ(hosts.songSearchHost, ServiceHosts::buildDefaults().songSearchHost);
        } else {
            EXPECT_EQ(hosts.mirrorHost, ServiceHosts::buildDefaults().mirrorHost);
        }
    }

    // The empty text means none for the three optional values only.
    environment = {{"MARROWTUNE_MIRROR_HOST", ""},
                   {"MARROWTUNE_LISTEN_PAGE_HOST", ""},
                   {"MARROWTUNE_AUTHOR_PAGE_URL", ""}};
    std::string problem;
    const ServiceHosts none = hostsFromEnvironment(lookUp, problem);
    EXPECT_EQ(problem, "");
    EXPECT_EQ(none.mirrorHost + none.listenPageHost + none.authorPageUrl, "");
    EXPECT_NE(rewriteScript(none), "");

    // The proxy: empty or one the requests can go through, else refused (echoed escaped).
#ifdef _WIN32
    constexpr bool Socks = false;
#else
    constexpr bool Socks = true;
#endif
    const std::pair<std::string, bool> proxies[] = {
        {"http://127.0.0.1:3128", true},
        {"", true},
        {"socks5h://p.example:1080", Socks},
        {"http://p.example", false},
        {"http://p.example:0", false},
        {"http://p.example:65536", false},
        {"http://u@p.example:80", false},
        {"https://p.example:443", false},
        {"http://p.example:80/", false},
        {"socks5://p.example:1080", false},
        {"http://:80", false},
        {"http://p\x1B[2J:80", false},
    };
    for (const auto& [proxy, accepted] : proxies) {
        environment = {{"MARROWTUNE_PROXY", proxy}};
        problem.clear();
        const ServiceHosts hosts = hostsFromEnvironment(lookUp, problem);
        EXPECT_EQ(hosts.proxy, accepted ? proxy : "") << proxy;
        EXPECT_EQ(problem.starts_with("MARROWTUNE_PROXY must be http://HOST:PORT"), !accepted)
            << problem;
        EXPECT_EQ(problem.find('\x1B'), std::string::npos);
    }

    // A moved mirror host reaches the script the programs load.
    ServiceHosts moved = ServiceHosts::buildDefaults();
    moved.mirrorHost = "m.example:8080";
    EXPECT_NE(rewriteScript(moved).find("m.example:8080"), Text::npos);
}

} // namespace
} // namespace marrowtune
