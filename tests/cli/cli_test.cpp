#include "cli/cli.h"
#include "marrowtune/config.h"
#include "platform/system_classes.h"
#include "search/script_component.h"
#include "search/service_hosts.h"
#include "tests/support/gbk.h"
#include "tools/sample-service/sample_service.h"

#include <gtest/gtest.h>
#include <sstream>

namespace marrowtune::cli {
namespace {

struct CliRun {
    int status;
    std::string out;
    std::string err;
};

// The CLI against the sample service, started in-process on an ephemeral port.
class CliTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { registerSystemClasses(); }

    void SetUp() override
    {
        ASSERT_TRUE(m_service.start(0));
        ServiceHosts hosts = ServiceHosts::buildDefaults();
        hosts.zonePlaylistHost = m_service.hostAndPort();
        hosts.songSearchHost = m_service.hostAndPort();
        setServiceHosts(hosts);
    }
    void TearDown() override { setServiceHosts(ServiceHosts::buildDefaults()); }

    static CliRun run(const std::vector<std::string>& arguments)
    {
        std::ostringstream out;
        std::ostringstream err;
        const int status = runCli(arguments, out, err);
        return {status, out.str(), err.str()};
    }

    static std::string mirror(const std::string& path)
    {
        return "http://" + std::string(config::MirrorHost) + path;
    }

    sample::SampleService m_service;
};

std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> result;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        result.push_back(line);
    }
    return result;
}

// Catches rows that differ from the window's (link forms included), cells not in UTF-8 or
// not tab-separated, and a message row that fails the run.
TEST_F(CliTest, ZoneLookupPrintsTheRows)
{
    const CliRun preset = run({"zone", "271828182"});
    EXPECT_EQ(preset.status, ExitActionsRan);
    const std::vector<std::string> rows = lines(preset.out);
    ASSERT_EQ(rows.size(), 10u);
    EXPECT_EQ(rows[0], "累死爱情\t苏晚晴\t\t" + mirror("/up/qzone/271828182/1/10001.wma"));
    EXPECT_EQ(rows[1], "北方的雨\t林夏\t\t" + mirror("/mp3/15/30005024.mp3"));
    EXPECT_EQ(rows[2],
              "Paper Moon\tMina Vale\t\thttp://" + m_service.hostAndPort() + "/files/10049.mp3");

    EXPECT_EQ(run({"zone", "12ab"}).out, "QQ号码填写错误\t\t\t\n");
    EXPECT_EQ(run({"zone"}).out, "QQ号码填写错误\t\t\t\n");
    EXPECT_EQ(run({"zone", "161803398"}).out, "该QQ无背景音乐 请查询其他QQ\t\t\t\n");
}

// Catches page words pressed on disabled buttons, or the state after the last action
// misreported in either format.
TEST_F(CliTest, SearchWithPagesInBothFormats)
{
    const CliRun text = run({"search", "累死爱情", "next"});
    EXPECT_EQ(text.status, ExitActionsRan);
    const std::vector<std::string> rows = lines(text.out);
    ASSERT_EQ(rows.size(), 12u);
    EXPECT_EQ(rows[0].substr(0, rows[0].find("\thttp")), "慢慢喜欢你\t群星\t累死爱情 精选集");

    // The second "next" meets a disabled button; "prev" then goes back to page 1.
    const CliRun json = run({"--json", "search", "累死爱情", "next", "next", "prev"});
    EXPECT_EQ(json.status, ExitActionsRan);
    const std::string head = "{\"rows\": [[\"累死爱情\", \"苏晚晴\", \"累死爱情\", \"" +
                             mirror("/mp3/11/30005000.mp3") + "\"], [";
    EXPECT_EQ(json.out.substr(0, head.size()), head);
    const std::string tail =
        "]], \"pageLabel\": \"1/2\", \"previousEnabled\": false, \"nextEnabled\": true}\n";
    ASSERT_GE(json.out.size(), tail.size());
    EXPECT_EQ(json.out.substr(json.out.size() - tail.size()), tail);

    EXPECT_EQ(run({"--json", "search", "no such song at all"}).out,
              "{\"rows\": [[\"无结果 请更换关键词\", \"\", \"\", \"\"]], \"pageLabel\": \"0/0\", "
              "\"previousEnabled\": false, \"nextEnabled\": false}\n");
}

// Catches malformed command lines that run anything or exit with 0.
TEST_F(CliTest, UsageErrors)
{
    const std::vector<std::vector<std::string>> cases = {{},
                                                         {"--json"},
                                                         {"zone", "1", "2"},
                                                         {"search"},
                                                         {"search", "x", "up"},
                                                         {"find", "x"},
                                                         {"search", "x", "--json"},
                                                         {"zone", "1", "--json"},
                                                         {"--json", "--json", "zone"}};
    for (const std::vector<std::string>& arguments : cases) {
        const CliRun result = run(arguments);
        EXPECT_EQ(result.status, ExitUsage) << ::testing::PrintToString(arguments);
        EXPECT_TRUE(result.out.empty());
        EXPECT_NE(result.err.find("usage: marrowtune-cli"), std::string::npos);
    }
}

class NoScript final : public ScriptComponent {
public:
    bool addCode(const Text&) override { return false; }
    Text run(const Text&, const Text&) override { return {}; }
};

// Catches cells whose tabs, line breaks, backslashes or quotes break the line or the JSON.
TEST(CliOutput, EscapesCells)
{
    NoScript script;
    PlainSearchView view(script);
    const int row = view.insertRow();
    view.setCellText(row, 0, "a\\b\tc\r\nd");
    view.setCellText(row, 1, test::gbk("歌\"手\x01"));
    EXPECT_EQ(rowsAsText(view), "a\\\\b\\tc\\r\\nd\t歌\"手\x01\t\t\n");
    EXPECT_EQ(rowsAsJson(view), "{\"rows\": [[\"a\\\\b\\tc\\r\\nd\", \"歌\\\"手\\u0001\", \"\", "
                                "\"\"]], \"pageLabel\": \"0/0\", \"previousEnabled\": false, "
                                "\"nextEnabled\": false}\n");
}

} // namespace
} // namespace marrowtune::cli
