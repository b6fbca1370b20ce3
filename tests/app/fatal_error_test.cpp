// SPDX-License-Identifier: MIT
#include "app/fatal_error.h"
#include "tests/app/gui_test_support.h"

#include <QGuiApplication>

#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>

namespace marrowtune {
namespace {

struct FatalEnd {
    QString text;
};

// Catches a box text that loses the blank line, the colon's full width or the closing break.
TEST(FatalErrorTest, BoxTextFramesTheGbkMessage)
{
    const Text message =
        "\xD4\xD8\xC8\xEB\xC6\xF4\xB6\xAF\xB4\xB0\xBF\xDA\xCA\xA7\xB0\xDC"; // 载入启动窗口失败
    EXPECT_EQ(fatalErrorText(message),
              QStringLiteral("运行时出错!\n\n错误信息：载入启动窗口失败\n"));
}

// Catches a handler that is not called with the box text.
TEST(FatalErrorTest, HandlerReplacesTheBox)
{
    setFatalErrorHandler([](const QString& text) { throw FatalEnd{text}; });
    try {
        fatalError("x");
        FAIL() << "fatalError returned";
    } catch (const FatalEnd& end) {
        EXPECT_EQ(end.text, QStringLiteral("运行时出错!\n\n错误信息：x\n"));
    }
    setFatalErrorHandler({});
}

// Catches a box shown under the busy cursor of the handler in which the failure came.
TEST(FatalErrorTest, BoxShowsWithTheOrdinaryCursor)
{
    test::ensureApplication();
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    bool busy = true;
    setFatalErrorHandler([&busy](const QString& text) {
        busy = QGuiApplication::overrideCursor() != nullptr;
        throw FatalEnd{text};
    });
    EXPECT_THROW(fatalError("x"), FatalEnd);
    EXPECT_FALSE(busy);
    setFatalErrorHandler({});
}

// Catches an exit code other than -1, end-of-run handlers (shutdownCleanup) that still run,
// and a message that reaches only the box and not stderr.
TEST(FatalErrorDeathTest, EndsWithMinusOneWithoutEndOfRunHandlers)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            std::atexit([] { std::fputs("end-of-run handler ran", stderr); });
            setFatalErrorHandler(
                [](const QString& text) { std::fputs(text.toUtf8().constData(), stderr); });
            fatalError("boom");
        },
        testing::ExitedWithCode(255),
        "^marrowtune: 运行时出错! 错误信息：boom\n运行时出错!\n\n错误信息：boom\n$");
}

} // namespace
} // namespace marrowtune
