// SPDX-License-Identifier: MIT
#include "cli/cli.h"
#include "marrowtune/config.h"
#include "platform/system_classes.h"
#include "search/service_hosts.h"
#include "tests/search/search_fixture.h"
#include "tests/support/loopback_server.h"
#include "tools/sample-service/sample_service.h"

#include <algorithm>
#include <cstdlib>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>

namespace marrowtune::cli {
namespace {

struct CliRun {
    int status;
    std::string out;
    std::string err;
};

CliRun runWith(const std::vector<std::string>& arguments, const ServiceHosts& hosts)
{
    std::ostringstream out;
    std::ostringstream err;
    const int status = runCli(arguments, hosts, out, err);
    return {status, out.str(), err.str()};
}

CliRun run(const std::vector<std::string>& arguments)
{
    return runWith(arguments, ServiceHosts::buildDefaults());
}

std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> result;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        result.push_back(line);
    }
    return result;
}

void setVariable(const char* name, const std::string& value)
{
#ifdef _WIN32
    _putenv_s(name, value.c_str());
#else
    setenv(name, value.c_str(), 1);
#endif
}

const std::string Network = "marrowtune-cli: 网络出现问题了~\n";

// The CLI against the sample service, started in-process on an ephemeral port.
class CliTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { registerSystemClasses(); }

    void SetUp() override
    {
        ASSERT_TRUE(m_service.start(0));
        m_hosts.zonePlaylistHost = m_service.hostAndPort();
        m_hosts.songSearchHost = m_service.hostAndPort();
    }

    CliRun run(const std::vector<std::string>& arguments) const
    {
        return runWith(arguments, m_hosts);
    }

    static std::string mirror(const std::string& path)
    {
        return "http://" + std::string(config::MirrorHost) + path;
    }

    sample::SampleService m_service;
    ServiceHosts m_hosts = ServiceHosts::buildDefaults();
};

// Catches rows that differ from the window's, a message printed as a row on stdout, and an
// exit status that does not tell the outcome apart.
TEST_F(CliTest, ZoneOutcomes)
{
    const CliRun listed = run({"zone", "271828182"});
    EXPECT_EQ(listed.status, ExitListed);
    EXPECT_EQ(listed.err, "");
    const std::vector<std::string> rows = lines(listed.out);
    ASSERT_EQ(rows.size(), 10u);
    EXPECT_EQ(rows[0], "累死爱情\t苏晚晴\t\t" + mirror("/up/qzone/271828182/1/10001.wma"));
    EXPECT_EQ(rows[2],
              "Paper Moon\tMina Vale\t\thttp://" + m_service.hostAndPort() + "/files/10049.mp3");

    const struct {
        std::vector<std::string> arguments;
        int status;
        std::string err;
    } cases[] = {
        {{"zone", "12ab"}, ExitWrongQq, "marrowtune-cli: QQ号码填写错误\n"},
        {{"zone"}, ExitWrongQq, "marrowtune-cli: QQ号码填写错误\n"},
        {{"zone", "161803398"}, ExitNothingFound, "marrowtune-cli: 该QQ无背景音乐 请查询其他QQ\n"},
        {{"search", "no such song at all"},
         ExitNothingFound,
         "marrowtune-cli: 无结果 请更换关键词\n"},
    };
    for (const auto& c : cases) {
        const CliRun result = run(c.arguments);
        EXPECT_EQ(result.status, c.status) << c.arguments.back();
        EXPECT_EQ(result.out, "") << c.arguments.back();
        EXPECT_EQ(result.err, c.err) << c.arguments.back();
    }
}

// Catches a JSON object of another shape, page steps or --page that land on the wrong page,
// options refused after the subcommand, and playlists or headers in the wrong form.
TEST_F(CliTest, FormatsAndPages)
{
    const CliRun text = run({"search", "累死爱情", "--header", "next"});
    EXPECT_EQ(text.status, ExitListed);
    const std::vector<std::string> rows = lines(text.out);
    ASSERT_EQ(rows.size(), 13u);
    EXPECT_EQ(rows[0], "song\tsinger\talbum\tlink");
    EXPECT_EQ(rows[1].substr(0, rows[1].find("\thttp")), "慢慢喜欢你\t群星\t累死爱情 精选集");

    // --page 2 then prev: back on page 1; a second --json or --format json is the same.
    for (const auto& arguments : std::vector<std::vector<std::string>>{
             {"search", "--page", "2", "累死爱情", "prev", "--json"},
             {"--format", "json", "search", "累死爱情"},
             {"search", "累死爱情", "next", "next", "prev", "--format=json"}}) {
        const CliRun json = run(arguments);
        EXPECT_EQ(json.status, ExitListed);
        nlohmann::ordered_json object = nlohmann::ordered_json::parse(json.out);
        const nlohmann::ordered_json first = {{"song", "累死爱情"},
                                              {"singer", "苏晚晴"},
                                              {"album", "累死爱情"},
                                              {"link", mirror("/mp3/11/30005000.mp3")}};
        ASSERT_EQ(object["songs"].size(), 20u);
        EXPECT_EQ(object["songs"][0], first);
        object.erase("songs");
        EXPECT_EQ(object.dump(),
                  R"({"message":null,"status":"listed","page":1,"pages":2,)"
                  R"("pageLabel":"1/2","previousEnabled":false,"nextEnabled":true})");
    }

    const CliRun none = run({"search", "no such song at all", "--json"});
    EXPECT_EQ(none.out, R"({"songs":[],"message":"无结果 请更换关键词","status":"no-results",)"
                        R"("page":0,"pages":0,"pageLabel":"0/0","previousEnabled":false,)"
                        R"("nextEnabled":false})"
                        "\n");

    const CliRun playlist = run({"--format", "m3u", "zone", "271828182"});
    EXPECT_EQ(playlist.status, ExitListed);
    const std::vector<std::string> entries = lines(playlist.out);
    ASSERT_EQ(entries.size(), 21u);
    EXPECT_EQ(std::vector<std::string>(entries.begin(), entries.begin() + 3),
              (std::vector<std::string>{"#EXTM3U", "#EXTINF:-1,苏晚晴 - 累死爱情",
                                        mirror("/up/qzone/271828182/1/10001.wma")}));

    const CliRun past = run({"search", "累死爱情", "--page", "3"});
    EXPECT_EQ(past.status, ExitNothingFound);
    EXPECT_EQ(past.out, "");
    EXPECT_EQ(past.err, "marrowtune-cli: there is no page 3 (the search has 2)\n");
}

// Catches a failure that exits 0 or prints its message as data: the service down, and a page
// request that fails (which must say so and stay on the page it was on).
TEST(CliFailures, NetworkFailuresExitThree)
{
    registerSystemClasses();
    test::LoopbackServer server;
    ASSERT_TRUE(server.start());
    server.setHandler([](const test::RecordedRequest& request) {
        return request.target().find("&p=1&") != std::string::npos
                   ? test::ScriptedResponse::text(test::searchAnswer(40, 20))
                   : test::ScriptedResponse::text("");
    });
    ServiceHosts hosts = ServiceHosts::buildDefaults();
    hosts.songSearchHost = "127.0.0.1:" + std::to_string(server.port());
    hosts.musicCdnHostSuffix = test::CdnSuffix;

    for (const auto& arguments : std::vector<std::vector<std::string>>{
             {"search", "song", "next", "--json"}, {"search", "song", "--page", "2", "--json"}}) {
        const CliRun page = runWith(arguments, hosts);
        EXPECT_EQ(page.status, ExitNetwork);
        EXPECT_EQ(page.err, Network);
        EXPECT_EQ(page.out, R"({"songs":[],"message":"网络出现问题了~","status":"network",)"
                            R"("page":1,"pages":2,"pageLabel":"1/2","previousEnabled":false,)"
                            R"("nextEnabled":true})"
                            "\n");
    }

    server.stop();
    for (const auto& arguments :
         std::vector<std::vector<std::string>>{{"search", "song"}, {"zone", "10001"}}) {
        hosts.zonePlaylistHost = hosts.songSearchHost;
        const CliRun down = runWith(arguments, hosts);
        EXPECT_EQ(down.status, ExitNetwork) << arguments[0];
        EXPECT_EQ(down.out, "") << arguments[0];
        EXPECT_EQ(down.err, Network) << arguments[0];
    }
}

// Catches a page count rounded instead of taken up to the next whole number, which leaves the
// last hits on a page that neither "next" nor --page reaches.
TEST(CliPages, EveryHitLiesOnAPageThatCanBeReached)
{
    registerSystemClasses();
    test::LoopbackServer server;
    ASSERT_TRUE(server.start());
    int total = 0;
    server.setHandler([&total](const test::RecordedRequest& request) {
        const std::string& target = request.target();
        const int page = std::stoi(target.substr(target.find("&p=") + 3));
        const int entries = std::clamp(total - (page - 1) * 20, 1, 20);
        return test::ScriptedResponse::text(test::searchAnswer(total, entries, page));
    });
    ServiceHosts hosts = ServiceHosts::buildDefaults();
    hosts.songSearchHost = "127.0.0.1:" + std::to_string(server.port());
    hosts.musicCdnHostSuffix = test::CdnSuffix;
    const struct {
        int total;
        std::vector<std::string> arguments;
        int pages;
        std::string pageLabel;
        std::size_t songs;
    } cases[] = {
        {45, {"search", "song", "--page", "3", "--json"}, 3, "3/3", 5},
        {45, {"search", "song", "next", "next", "--json"}, 3, "3/3", 5},
        {41, {"search", "song", "--json"}, 3, "1/3", 20},
        {21, {"search", "song", "--json"}, 2, "1/2", 20},
        {9, {"search", "song", "--json"}, 1, "1/1", 9},
        {0, {"search", "song", "--json"}, 0, "1/0", 1},
    };
    for (const auto& c : cases) {
        total = c.total;
        const CliRun result = runWith(c.arguments, hosts);
        EXPECT_EQ(result.status, ExitListed) << c.total;
        const nlohmann::ordered_json object = nlohmann::ordered_json::parse(result.out);
        EXPECT_EQ(object["pages"], c.pages) << c.total;
        EXPECT_EQ(object["pageLabel"], c.pageLabel) << c.total;
        EXPECT_EQ(object["songs"].size(), c.songs) << c.total;
    }
}

// A loopback service for the search and the links it lists: 95 hits on five pages, whose
// links (on the same server) play when their id is even and are 404 when it is odd.
class CliServiceTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { registerSystemClasses(); }

    void SetUp() override
    {
        ASSERT_TRUE(m_server.start());
        m_server.setHandler(
            [this](const test::RecordedRequest& request) { return answer(request); });
        m_hosts.songSearchHost = "127.0.0.1:" + std::to_string(m_server.port());
        m_hosts.mirrorHost = m_hosts.songSearchHost;
        m_hosts.musicCdnHostSuffix = test::CdnSuffix;
    }

    // What the service answers, for the server itself or for a proxy standing in for it.
    test::ScriptedResponse answer(const test::RecordedRequest& request) const
    {
        const std::string target = request.target();
        const std::size_t p = target.find("&p=");
        if (p != std::string::npos) {
            const int page = std::atoi(target.c_str() + p + 3);
            if (page == m_failingPage) {
                return test::ScriptedResponse::text("");
            }
            return test::ScriptedResponse::text(
                test::searchAnswer(m_total, page < 5 ? 20 : 15, page));
        }
        // "/mp3/13/31001.mp3": the id before ".mp3".
        const int id = std::atoi(target.c_str() + target.rfind('/') + 1);
        test::ScriptedResponse link =
            test::ScriptedResponse::text("ID", {"Content-Type: audio/mpeg"});
        link.statusLine =
            id % 2 == 0 && !m_allDead ? "HTTP/1.1 206 Partial Content" : "HTTP/1.1 404 Not Found";
        return link;
    }

    // The requests for page `page` of the search.
    std::size_t pageRequests(int page) const
    {
        const std::vector<test::RecordedRequest> requests = m_server.requests();
        return std::count_if(requests.begin(), requests.end(), [page](const auto& request) {
            return request.target().find("&p=" + std::to_string(page) + "&") != std::string::npos;
        });
    }

    CliRun run(const std::vector<std::string>& arguments, bool terminal = false) const
    {
        std::ostringstream out;
        std::ostringstream err;
        CommandLine commandLine;
        commandLine.setStderrIsTerminal(terminal);
        const int status = commandLine.run(arguments, m_hosts, out, err);
        return {status, out.str(), err.str()};
    }

    test::LoopbackServer m_server;
    ServiceHosts m_hosts = ServiceHosts::buildDefaults();
    int m_total = 95;
    int m_failingPage = 0;
    bool m_allDead = false;
};

// Catches --all that skips, repeats or asks twice for a page, goes past the last page, drops
// the songs before a failing page or exits 0 after one; and progress or a paging hint that
// reaches a stderr that is no terminal, or stays on one.
TEST_F(CliServiceTest, AllPagesInOneGo)
{
    const CliRun all = run({"search", "song", "--all", "--json"}, true);
    EXPECT_EQ(all.status, ExitListed);
    nlohmann::ordered_json object = nlohmann::ordered_json::parse(all.out);
    std::set<std::string> songs;
    for (const auto& song : object["songs"]) {
        songs.insert(song["song"].get<std::string>());
    }
    EXPECT_EQ(songs.size(), 95u);
    EXPECT_EQ(object["songs"][94]["song"], "song 5-15");
    EXPECT_EQ(object["pagesFetched"], 5);
    for (int page = 1; page <= 5; ++page) {
        EXPECT_EQ(pageRequests(page), 1u) << page;
    }
    EXPECT_EQ(pageRequests(6), 0u);
    // The progress line rewrote itself and was blanked at the end; nothing else was said.
    EXPECT_EQ(all.err, "\rpage 2 of 5\rpage 3 of 5\rpage 4 of 5\rpage 5 of 5\r" +
                           std::string(11, ' ') + "\r");

    m_failingPage = 3;
    const CliRun failing = run({"search", "song", "--all"});
    EXPECT_EQ(failing.status, ExitNetwork);
    EXPECT_EQ(failing.err, Network);
    const std::vector<std::string> rows = lines(failing.out);
    ASSERT_EQ(rows.size(), 40u);
    EXPECT_EQ(rows[39].substr(0, rows[39].find('\t')), "song 2-20");
    EXPECT_EQ(pageRequests(4), 1u); // the first run's only

    // At most 50 pages, and said so.
    m_failingPage = 0;
    m_total = 2000;
    const CliRun capped = run({"search", "song", "--all", "--json"});
    EXPECT_EQ(capped.status, ExitListed);
    EXPECT_EQ(nlohmann::ordered_json::parse(capped.out)["pagesFetched"], 50);
    EXPECT_EQ(capped.err, "marrowtune-cli: stopped after 50 of 100 pages\n");
    EXPECT_EQ(pageRequests(51), 0u);
    m_total = 95;

    // One page of several: on a terminal a hint after the rows, elsewhere nothing.
    m_failingPage = 0;
    EXPECT_EQ(run({"search", "song", "next"}, true).err,
              "marrowtune-cli: page 2 of 5; --page 3 for more\n");
    EXPECT_EQ(run({"search", "song", "next"}).err, "");
    EXPECT_EQ(run({"search", "song", "--page", "5"}, true).err, "");
}

// Catches --check verdicts that do not follow the answers (even ids play, odd ones are 404),
// a playlist holding dead links, the TSV column or JSON fields in another form, and a list
// where nothing plays that exits 0.
TEST_F(CliServiceTest, CheckMarksEachLink)
{
    const CliRun json = run({"search", "song", "--check", "--json"});
    EXPECT_EQ(json.status, ExitListed);
    const nlohmann::ordered_json object = nlohmann::ordered_json::parse(json.out);
    ASSERT_EQ(object["songs"].size(), 20u);
    for (const auto& song : object["songs"]) {
        const std::string link = song["link"];
        const bool even = std::atoi(link.c_str() + link.rfind('/') + 1) % 2 == 0;
        EXPECT_EQ(song["playable"], even) << link;
        EXPECT_EQ(song["checkStatus"], even ? 206 : 404) << link;
    }

    const std::vector<std::string> rows = lines(run({"search", "song", "--check", "--header"}).out);
    ASSERT_EQ(rows.size(), 21u);
    EXPECT_EQ(rows[0], "song\tsinger\talbum\tlink\tcheck");
    EXPECT_EQ(rows[1].substr(rows[1].rfind('\t')), "\tdead (404)");
    EXPECT_EQ(rows[2].substr(rows[2].rfind('\t')), "\tplayable");

    const std::vector<std::string> playlist =
        lines(run({"search", "song", "--check", "--format", "m3u"}).out);
    ASSERT_EQ(playlist.size(), 21u); // the header and ten entries
    EXPECT_EQ(playlist[1], "#EXTINF:-1,singer 1-2 - song 1-2");

    m_allDead = true;
    const CliRun dead = run({"search", "song", "--check"});
    EXPECT_EQ(dead.status, ExitNothingPlays);
    EXPECT_EQ(dead.err, "marrowtune-cli: none of the 20 links plays\n");
    EXPECT_EQ(lines(dead.out).size(), 20u);

    // Links nothing answers: no status, and said so.
    m_hosts.mirrorHost = "127.0.0.1:" + std::to_string(test::LoopbackServer::unusedPort());
    const CliRun unanswered = run({"search", "song", "--check", "--json"});
    EXPECT_EQ(unanswered.status, ExitNothingPlays);
    EXPECT_EQ(nlohmann::ordered_json::parse(unanswered.out)["songs"][0]["checkStatus"], nullptr);
    const std::string row = lines(run({"search", "song", "--check"}).out).at(0);
    EXPECT_EQ(row.substr(row.rfind('\t')), "\tdead (network)");
}

// Catches a proxy that is not used for every request (the search and the probes) or not in
// the form a forward proxy takes (the absolute-form request line), from --proxy and from
// MARROWTUNE_PROXY, and --proxy not winning over the variable.
TEST_F(CliServiceTest, RequestsGoThroughTheProxy)
{
    test::LoopbackServer proxy;
    ASSERT_TRUE(proxy.start());
    proxy.setHandler([this](const test::RecordedRequest& request) { return answer(request); });
    // The service itself cannot be reached: only the proxy can answer.
    const std::string unreachable =
        "127.0.0.1:" + std::to_string(test::LoopbackServer::unusedPort());
    m_hosts.songSearchHost = unreachable;
    m_hosts.mirrorHost = unreachable;
    const std::string proxyUrl = "http://127.0.0.1:" + std::to_string(proxy.port());

    setVariable("MARROWTUNE_PROXY", proxyUrl);
    ASSERT_EQ(applyHostEnvironment(m_hosts), "");
    setVariable("MARROWTUNE_PROXY", "");
    m_hosts.songSearchHost = unreachable;
    m_hosts.mirrorHost = unreachable;
    m_hosts.musicCdnHostSuffix = test::CdnSuffix;
    const std::vector<std::string> fromVariable = {"search", "song", "--check"};
    const std::vector<std::string> fromOption = {"search", "song", "--check", "--proxy", proxyUrl};
    for (const auto& arguments : {fromVariable, fromOption}) {
        const std::size_t before = proxy.requests().size();
        const CliRun viaProxy = run(arguments);
        EXPECT_EQ(viaProxy.status, ExitListed) << viaProxy.err;
        EXPECT_EQ(lines(viaProxy.out).size(), 20u);
        const std::vector<test::RecordedRequest> requests = proxy.requests();
        ASSERT_EQ(requests.size(), before + 21); // the search and 20 probes
        EXPECT_EQ(
            requests[before].requestLine.rfind(
                "GET http://" + unreachable + "/fcgi-bin/fcg_search_xmldata.q?source=10&w=song&",
                0),
            0u)
            << requests[before].requestLine;
        m_hosts.proxy.clear();
    }
    EXPECT_EQ(run({"search", "song", "--proxy", ""}).status, ExitNetwork);
    m_hosts.proxy = proxyUrl;
    EXPECT_EQ(run({"search", "song", "--proxy", ""}).status, ExitNetwork);
}

// Catches malformed command lines that run anything, exit with 0, print the whole usage or
// do not say what was wrong, and keywords searched as "?" because GBK cannot hold them.
TEST(CliUsage, UsageErrorsNameTheProblem)
{
    const struct {
        std::vector<std::string> arguments;
        std::string said;
    } cases[] = {
        {{}, "subcommand"},
        {{"--json"}, "subcommand"},
        {{"zone", "1", "2"}, "2"},
        {{"search"}, "KEYWORD"},
        {{"search", "x", "up"}, "up"},
        {{"find", "x"}, "unknown command 'find'"},
        {{"search", "x", "--format", "xml"}, "xml"},
        {{"search", "x", "--page", "0"}, "--page: a whole number from 1"},
        {{"search", "x", "--page", "two"}, "--page: a whole number from 1"},
        {{"search", "-x"}, "put -- before it: marrowtune-cli search -- -x"},
        {{"search", "x", "--all", "next"},
         "--all lists every page; it takes no --page, next or prev"},
        {{"zone", "1", "--all"}, "--all applies to search only"},
        {{"search", "x", "--proxy", "socks4://p:1"}, "--proxy must be http://HOST:PORT"},
        {{"search", "x", "--proxy", "\x1B[2J"}, "'\\x1B[2J'"},
        {{"\x1B]0;x\x07"}, "unknown command '\\x1B]0;x\\x07'"},
        {{"search", "x", "--\r\n"}, "unknown option '--\\r\\n'"},
        {{"zone", "1", "--page", "2"}, "--page applies to search only"},
        {{"search", "a😀b"}, "KEYWORD: U+1F600 \"😀\" cannot be written in GBK"},
        {{"search", "a\xFF"}, "KEYWORD: byte 0xFF at offset 1 is not valid UTF-8"},
        {{"search", "\xED\xA0\x80"}, "byte 0xED at offset 0 is not valid UTF-8"}, // a surrogate
        {{"search", "\xC0\xAF"}, "byte 0xC0 at offset 0 is not valid UTF-8"},     // overlong
        {{"zone", "12\xE4\xB8"}, "QQ: byte 0xE4 at offset 2 is not valid UTF-8"},
    };
    for (const auto& c : cases) {
        const CliRun result = run(c.arguments);
        const std::string shown = ::testing::PrintToString(c.arguments);
        EXPECT_EQ(result.status, ExitUsage) << shown;
        EXPECT_EQ(result.out, "") << shown;
        const std::vector<std::string> said = lines(result.err);
        ASSERT_EQ(said.size(), 2u) << shown << result.err;
        EXPECT_EQ(said[0].rfind("marrowtune-cli: ", 0), 0u) << shown;
        EXPECT_NE(said[0].find(c.said), std::string::npos) << shown << said[0];
        EXPECT_EQ(said[1], "Try 'marrowtune-cli --help'.");
        EXPECT_EQ(std::count_if(result.err.begin(), result.err.end(),
                                [](char byte) { return static_cast<unsigned char>(byte) < 0x20; }),
                  2)
            << shown; // the two line ends
    }
    EXPECT_EQ(gbkProblem("累死爱情 Café ?"), "");

    const CliRun version = run({"--version"});
    EXPECT_EQ(version.status, ExitListed);
    EXPECT_EQ(version.out, "marrowtune-cli " + std::string(config::Version) + "\n");
    // Each subcommand's help lists the options that apply to it.
    const std::pair<std::string, std::vector<std::string>> helps[] = {
        {"search", {"--format", "--json", "--header", "--check", "--proxy", "--page", "--all"}},
        {"zone", {"--format", "--json", "--header", "--check", "--proxy"}},
    };
    for (const auto& [subcommand, options] : helps) {
        const CliRun help = run({subcommand, "--help"});
        EXPECT_EQ(help.status, ExitListed);
        EXPECT_NE(help.out.find("\\xHH"), std::string::npos);
        for (const std::string& option : options) {
            EXPECT_NE(help.out.find("  " + option + " "), std::string::npos)
                << subcommand << option;
        }
        if (subcommand == "zone") {
            EXPECT_EQ(help.out.find("\n  --page N"), std::string::npos);
        }
    }
}

// Catches a failed write to stdout that exits 0.
TEST(CliOutput, FailedWriteIsReported)
{
    std::ostringstream out;
    out.setstate(std::ios::badbit);
    std::ostringstream err;
    EXPECT_EQ(runCli({"--version"}, ServiceHosts::buildDefaults(), out, err), ExitOutputFailed);
}

} // namespace
} // namespace marrowtune::cli
