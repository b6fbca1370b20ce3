// SPDX-License-Identifier: MIT
#include "app/main_window.h"
#include "app/program.h"
#include "app/window_start.h"
#include "marrowtune/config.h"
#include "platform/system_classes.h"
#include "search/rewrite.h"
#include "search/script_control_component.h"
#include "search/service_hosts.h"
#include "tests/app/fake_desktop.h"
#include "tests/app/gui_test_support.h"
#include "tests/support/loopback_server.h"
#include "tools/sample-service/sample_service.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

#include <gtest/gtest.h>
#include <httplib.h>

namespace marrowtune {
namespace {

using namespace Qt::StringLiterals;

struct PageState {
    QString label;
    bool previousEnabled;
    bool nextEnabled;
    int rows;
    bool operator==(const PageState&) const = default;
};

void PrintTo(const PageState& state, std::ostream* out)
{
    *out << state.label.toStdString() << " prev=" << state.previousEnabled
         << " next=" << state.nextEnabled << " rows=" << state.rows;
}

// The real window, its script component holding the rewriting script, and the sample service
// on an ephemeral port standing in for both music services.
class SearchButtonsTest : public testing::Test {
protected:
    void SetUp() override
    {
        test::ensureApplication();
        registerSystemClasses();
        ASSERT_TRUE(m_service.start(0));
        m_window =
            test::makeWindowWithFakeDesktop(m_desktop, std::make_unique<ScriptControlComponent>());
        ServiceHosts& hosts = m_window->searchContext().hosts;
        hosts.zonePlaylistHost = m_service.hostAndPort();
        hosts.songSearchHost = m_service.hostAndPort();
        ASSERT_TRUE(loadRewriteScript(m_window->scriptComponent(), hosts));
        m_window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_window.get()));
    }

    template <typename T> T* unit(const QString& name) const
    {
        return m_window->findChild<T*>(name);
    }

    void press(const QString& button)
    {
        QTest::mouseClick(unit<QPushButton>(button), Qt::LeftButton);
    }

    PageState state() const
    {
        return {unit<QLabel>(u"透明标签3"_s)->text(),
                unit<QPushButton>(u"按钮_上一页"_s)->isEnabled(),
                unit<QPushButton>(u"按钮_下一页"_s)->isEnabled(),
                unit<QTableWidget>(u"超级列表框1"_s)->rowCount()};
    }

    QStringList row(int index) const
    {
        auto* list = unit<QTableWidget>(u"超级列表框1"_s);
        QStringList cells;
        for (int column = 0; column < 4; ++column) {
            const QTableWidgetItem* item = list->item(index, column);
            cells << (item ? item->text() : QString());
        }
        return cells;
    }

    static QString mirror(const QString& path)
    {
        return u"http://"_s + QString::fromUtf8(config::MirrorHost) + path;
    }

    sample::SampleService m_service;
    std::unique_ptr<MainWindow> m_window;
    test::FakeDesktop* m_desktop = nullptr;
};

// Catches the query button not wired to the Zone lookup, rows that differ from the service's
// playlist, links not rewritten to the mirror, or page buttons left enabled.
TEST_F(SearchButtonsTest, QueryListsThePresetQqNumbersSongs)
{
    press(u"按钮2"_s);
    EXPECT_EQ(state(), (PageState{u"0/0"_s, false, false, 10}));
    EXPECT_EQ(row(0), (QStringList{u"累死爱情"_s, u"苏晚晴"_s, QString(),
                                   mirror(u"/up/qzone/271828182/1/10001.wma"_s)}));
    EXPECT_EQ(row(1), (QStringList{u"北方的雨"_s, u"林夏"_s, QString(),
                                   mirror(u"/mp3/15/30005024.mp3"_s)}));

    unit<QLineEdit>(u"编辑框2"_s)->setText(u"12ab"_s);
    press(u"按钮2"_s);
    EXPECT_EQ(row(0), (QStringList{u"QQ号码填写错误"_s, QString(), QString(), QString()}));
    EXPECT_EQ(state().rows, 1);
}

// Catches page buttons and label that do not follow the table through a search, two page
// presses, a press on a disabled button and a Zone lookup.
TEST_F(SearchButtonsTest, SearchAndPageThroughThePresetKeyword)
{
    press(u"按钮1"_s);
    EXPECT_EQ(state(), (PageState{u"1/2"_s, false, true, 20}));
    EXPECT_EQ(row(0), (QStringList{u"累死爱情"_s, u"苏晚晴"_s, u"累死爱情"_s,
                                   mirror(u"/mp3/11/30005000.mp3"_s)}));

    press(u"按钮_下一页"_s);
    EXPECT_EQ(state(), (PageState{u"2/2"_s, true, false, 12}));
    EXPECT_EQ(row(0).mid(0, 3), (QStringList{u"慢慢喜欢你"_s, u"群星"_s, u"累死爱情 精选集"_s}));
    press(u"按钮_下一页"_s); // disabled: nothing happens
    EXPECT_EQ(state(), (PageState{u"2/2"_s, true, false, 12}));

    press(u"按钮_上一页"_s);
    EXPECT_EQ(state(), (PageState{u"1/2"_s, false, true, 20}));

    press(u"按钮2"_s);
    EXPECT_EQ(state(), (PageState{u"1/2"_s, false, false, 10}));
}

// Catches typing right after start that misses the keyword box, or Enter in an edit box that
// does not press the button beside it.
TEST_F(SearchButtonsTest, EnterInAnEditBoxPressesItsButton)
{
    m_window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(m_window.get()));
    QWindow* keys = m_window->windowHandle();
    QTest::keyClick(keys, Qt::Key_A, Qt::ControlModifier);
    for (const char c : std::string_view("no such song")) {
        QTest::keyClick(keys, c);
    }
    QTest::keyClick(keys, Qt::Key_Return);
    EXPECT_EQ(state(), (PageState{u"0/0"_s, false, false, 1}));
    EXPECT_EQ(row(0)[0], u"无结果 请更换关键词"_s);

    unit<QLineEdit>(u"编辑框2"_s)->setFocus();
    QTest::keyClick(keys, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(state(), (PageState{u"0/0"_s, false, false, 10}));
    EXPECT_EQ(row(0)[1], u"苏晚晴"_s);
}

// Catches the menu's search item not wired, or searching for another cell than the one
// right-clicked.
TEST_F(SearchButtonsTest, MenuSearchesForTheRightClickedCell)
{
    press(u"按钮1"_s);
    auto* list = unit<QTableWidget>(u"超级列表框1"_s);
    list->selectRow(12); // the first song of the album "累死爱情 精选集"
    ASSERT_EQ(row(12)[1], u"群星"_s);
    m_desktop->cursor =
        QPoint(m_window->windowLeftEdge() + m_window->listLeftEdge() + 200, 240); // singer
    showListMenu(*m_window, *m_window, *m_desktop);
    m_window->findChild<QMenu*>(u"菜单"_s)->actions().at(1)->trigger();
    EXPECT_EQ(state(), (PageState{u"1/1"_s, false, false, 12}));
    EXPECT_EQ(row(0)[1], u"群星"_s);

    unit<QLineEdit>(u"编辑框1"_s)->setText(u"no such song at all"_s);
    press(u"按钮1"_s);
    EXPECT_EQ(state(), (PageState{u"1/1"_s, false, false, 1}));
    EXPECT_EQ(row(0)[0], u"无结果 请更换关键词"_s);
}

// Catches a window whose searches ignore the proxy named at start: MARROWTUNE_PROXY, read as
// the program starts, sends the search through a forward proxy (whose log holds the
// absolute-form request line) that passes it on to the service.
TEST_F(SearchButtonsTest, SearchGoesThroughTheProxyNamedAtStart)
{
    test::LoopbackServer proxy;
    proxy.setHandler([this](const test::RecordedRequest& request) {
        httplib::Client service("127.0.0.1", m_service.port());
        const std::string target = request.target(); // "http://host:port/path?query"
        const auto answer = service.Get(target.substr(target.find('/', 7)));
        return test::ScriptedResponse::text(answer ? answer->body : std::string());
    });
    ASSERT_TRUE(proxy.start());
    qputenv("MARROWTUNE_PROXY", "http://127.0.0.1:" + QByteArray::number(proxy.port()));
    ASSERT_EQ(handleCommandLine({}), std::nullopt);
    qunsetenv("MARROWTUNE_PROXY");
    SearchContext& context = programSearchContext();
    context.hosts.songSearchHost = m_service.hostAndPort();
    m_window->useSearchContext(context);

    press(u"按钮1"_s);
    EXPECT_EQ(state(), (PageState{u"1/2"_s, false, true, 20}));
    const std::vector<test::RecordedRequest> requests = proxy.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].requestLine.rfind(
                  "GET http://" + m_service.hostAndPort() + "/fcgi-bin/fcg_search_xmldata.q?", 0),
              0u)
        << requests[0].requestLine;
    context.hosts.proxy.clear();
}

} // namespace
} // namespace marrowtune
