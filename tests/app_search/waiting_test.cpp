// SPDX-License-Identifier: MIT
#include "app/main_window.h"
#include "app/program.h"
#include "platform/system_classes.h"
#include "search/service_hosts.h"
#include "search/stamps_testing.h"
#include "tests/app/fake_desktop.h"
#include "tests/app/gui_test_support.h"
#include "tests/support/loopback_server.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <cstdio>
#include <functional>
#include <gtest/gtest.h>

namespace marrowtune {
namespace {

using namespace Qt::StringLiterals;

// Generous: only there so a wait that never ends fails the test instead of hanging it.
constexpr qint64 HangGuardMs = 10'000;

// Points both searches at `server`.
void useServer(ServiceHosts& hosts, const test::LoopbackServer& server)
{
    hosts.zonePlaylistHost = "127.0.0.1:" + std::to_string(server.port());
    hosts.songSearchHost = hosts.zonePlaylistHost;
}

// Runs `step` on the window's thread once the server has received its first request, that is
// while the handler waits for the answer.
void onceTheRequestWaits(const test::LoopbackServer& server, std::function<void()> step)
{
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [poll, &server, step = std::move(step)] {
        if (server.requests().empty()) {
            return;
        }
        poll->stop();
        poll->deleteLater();
        step();
    });
    poll->start(5);
}

class PaintCounter final : public QObject {
public:
    bool eventFilter(QObject*, QEvent* event) override
    {
        paints += event->type() == QEvent::Paint ? 1 : 0;
        return false;
    }
    int paints = 0;
};

// The real window with its search hosts on a loopback server that takes every request and
// never answers it.
class WaitingWindowTest : public testing::Test {
protected:
    void SetUp() override
    {
        test::ensureApplication();
        registerSystemClasses();
        m_server.setResponse(test::ScriptedResponse::unanswered());
        ASSERT_TRUE(m_server.start());
        m_window = test::makeWindowWithFakeDesktop(m_desktop);
        useServer(m_window->searchContext().hosts, m_server);
        m_window->show();
        m_window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(m_window.get()));
        m_qqBox = m_window->findChild<QLineEdit*>(u"编辑框2"_s);
        m_qqBox->setFocus();
    }

    void TearDown() override
    {
        m_window.reset();
        m_server.stop();
    }

    // Presses 查询 from the keyboard and returns once its handler has ended.
    void query()
    {
        m_clock.start();
        QTest::keyClick(keys(), Qt::Key_Return);
        ASSERT_LT(m_clock.elapsed(), HangGuardMs);
    }

    QWindow* keys() const { return m_window->windowHandle(); }

    QPoint centreOf(const QString& button) const
    {
        const QWidget* widget = m_window->findChild<QPushButton*>(button);
        return widget->mapTo(m_window.get(), widget->rect().center());
    }

    QString firstCell() const
    {
        const QTableWidgetItem* item =
            m_window->findChild<QTableWidget*>(u"超级列表框1"_s)->item(0, 0);
        return item ? item->text() : QString();
    }

    test::LoopbackServer m_server;
    std::unique_ptr<MainWindow> m_window;
    test::FakeDesktop* m_desktop = nullptr;
    QLineEdit* m_qqBox = nullptr;
    QElapsedTimer m_clock;
};

// Catches a window frozen by the wait, input typed or clicked during it that reaches the
// controls then or afterwards, and an Esc that does not end the wait as a failed request.
TEST_F(WaitingWindowTest, WindowPaintsDropsInputAndEscEndsTheWait)
{
    PaintCounter counter;
    bool busyCursor = false;
    int paintsWhileWaiting = 0;
    onceTheRequestWaits(m_server, [&] {
        busyCursor = QApplication::overrideCursor() != nullptr &&
                     QApplication::overrideCursor()->shape() == Qt::WaitCursor;
        auto* label = m_window->findChild<QLabel*>(u"透明标签3"_s);
        label->installEventFilter(&counter);
        label->update();
        for (const char c : {'7', '7', '7'}) {
            QTest::keyClick(keys(), c);
        }
        QTest::mouseClick(keys(), Qt::LeftButton, {}, centreOf(u"按钮1"_s));
        QTest::mouseClick(keys(), Qt::LeftButton, {}, centreOf(u"按钮2"_s));
        onceTheRequestWaits(m_server, [&] {
            QTest::qWait(50); // the label's repaint comes through the wait
            paintsWhileWaiting = counter.paints;
            QTest::keyClick(keys(), Qt::Key_Escape);
        });
    });
    query();
    QCoreApplication::processEvents(); // anything held back would arrive now

    EXPECT_TRUE(busyCursor);
    EXPECT_GT(paintsWhileWaiting, 0);
    EXPECT_EQ(firstCell(), u"网络出现问题了~"_s);
    EXPECT_EQ(m_qqBox->text(), u"271828182"_s);
    EXPECT_EQ(m_server.requests().size(), 1U);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_TRUE(m_window->isVisible());
}

// Catches a close during the wait that waits for the request, leaves the window on screen,
// or does not open the author's page exactly once.
TEST_F(WaitingWindowTest, ClosingDuringTheWaitClosesAtOnce)
{
    bool hiddenAtOnce = false;
    onceTheRequestWaits(m_server, [&] {
        keys()->close();
        hiddenAtOnce = !m_window->isVisible();
    });
    query();
    EXPECT_TRUE(hiddenAtOnce);
    EXPECT_FALSE(m_window->isVisible());
    ASSERT_EQ(m_desktop->opened.size(), 1U);
    EXPECT_EQ(m_desktop->opened[0], ServiceHosts::buildDefaults().authorPageUrl);
    EXPECT_EQ(firstCell(), u"网络出现问题了~"_s);
}

// Catches an Esc or a close that comes while the stamp is drawn, before the request has opened,
// and is lost: the work then waits on the request. The stamp is drawn only once the key or the
// close has come through the window's events.
TEST_F(WaitingWindowTest, EscOrCloseWhileTheStampIsDrawnEndsTheWork)
{
    const struct {
        const char* what;
        std::function<void(QWindow*)> act;
        bool visibleAfter;
    } cases[] = {
        {"Esc", [](QWindow* keys) { QTest::keyClick(keys, Qt::Key_Escape); }, true},
        {"close", [](QWindow* keys) { keys->close(); }, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        bool latch = false;
        int draws = 0;
        const stamps::testing::ScopedRandomStampDraw draw([&]() -> Text {
            if (draws++ == 0) {
                QMetaObject::invokeMethod(
                    qApp,
                    [&] {
                        c.act(keys());
                        latch = true;
                    },
                    Qt::QueuedConnection);
            }
            return latch ? Text("0.271828182845904") : Text();
        });
        query();
        EXPECT_TRUE(latch);
        EXPECT_EQ(firstCell(), u"网络出现问题了~"_s);
        EXPECT_EQ(m_window->isVisible(), c.visibleAfter);
    }
    EXPECT_EQ(m_desktop->opened.size(), 1U); // the close's author page, once
}

// Catches a program that goes on running, or ends otherwise than with 0, when its window is
// closed while a request waits.
TEST(WaitingProgramDeathTest, ClosingDuringTheWaitEndsTheProgram)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            qputenv("QT_QPA_PLATFORM", "offscreen");
            static test::LoopbackServer server;
            server.setResponse(test::ScriptedResponse::unanswered());
            server.start();
            useServer(programSearchContext().hosts, server);
            // Once the message loop runs: press 查询, and close the window while it waits.
            qAddPreRoutine([] {
                QTimer::singleShot(0, [] {
                    for (QWidget* widget : QApplication::topLevelWidgets()) {
                        if (auto* window = qobject_cast<MainWindow*>(widget)) {
                            window->setDesktop(std::make_unique<test::ReportingDesktop>());
                            onceTheRequestWaits(server, [window] {
                                std::fputs("waiting\n", stderr);
                                window->windowHandle()->close();
                            });
                            QTest::mouseClick(window->findChild<QPushButton*>(u"按钮2"_s),
                                              Qt::LeftButton);
                        }
                    }
                });
            });
            const int code = runProgram();
            std::fprintf(stderr, "returned %d\n", code);
            std::exit(code);
        },
        testing::ExitedWithCode(0), "waiting\nopen author page\nreturned 0\n$");
}

} // namespace
} // namespace marrowtune
