// SPDX-License-Identifier: MIT
#include "app/fatal_error.h"
#include "app/main_window.h"
#include "app/program.h"
#include "tests/app/gui_test_support.h"
#include "tests/app/recording_skin.h"

#include <QFile>
#include <QTemporaryFile>
#include <QTimer>
#include <QWindow>

#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>

namespace marrowtune {
namespace {

using namespace Qt::StringLiterals;

struct FatalEnd {
    QString text;
};

class CreateMainWindowTest : public testing::Test {
protected:
    void SetUp() override
    {
        test::ensureApplication();
        setFatalErrorHandler([](const QString& text) { throw FatalEnd{text}; });
    }
    void TearDown() override { setFatalErrorHandler({}); }

    // The fatal box text createMainWindow ends with for the template at `path`, or "" when it
    // made a window.
    static QString fatalTextFor(const QString& path)
    {
        try {
            createMainWindow(path, nullptr);
        } catch (const FatalEnd& end) {
            return end.text;
        }
        return {};
    }

    static QString templateFile(const QByteArray& bytes, QTemporaryFile& file)
    {
        file.open();
        file.write(bytes);
        file.close();
        return file.fileName();
    }
};

// Catches a failed template load that goes on, or ends with the wrong message.
TEST_F(CreateMainWindowTest, UnusableTemplatesEndWithTheirMessages)
{
    QFile real(MainWindowTemplatePath.toString());
    ASSERT_TRUE(real.open(QIODevice::ReadOnly));
    const QByteArray form = real.readAll();
    QByteArray withoutList = form;
    withoutList.replace("超级列表框1", "列表");

    QTemporaryFile empty, notAForm, missingUnit;
    const QString unreadable = u"运行时出错!\n\n错误信息：载入窗口模板数据段出错!\n"_s;
    const QString notCreated = u"运行时出错!\n\n错误信息：载入启动窗口失败\n"_s;
    EXPECT_EQ(fatalTextFor(u":/marrowtune/no_such_form.ui"_s), unreadable);
    EXPECT_EQ(fatalTextFor(templateFile({}, empty)), unreadable);
    EXPECT_EQ(fatalTextFor(templateFile("<ui version=\"4.0\"><widget", notAForm)), notCreated);
    EXPECT_EQ(fatalTextFor(templateFile(withoutList, missingUnit)), notCreated);
    EXPECT_EQ(fatalTextFor(MainWindowTemplatePath.toString()), QString());
}

// Catches an unreadable template that does not end the process with -1.
TEST(CreateMainWindowDeathTest, UnreadableTemplateEndsWithMinusOne)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            test::ensureApplication();
            setFatalErrorHandler(
                [](const QString& text) { std::fputs(text.toUtf8().constData(), stderr); });
            createMainWindow(u":/marrowtune/no_such_form.ui"_s, nullptr);
        },
        testing::ExitedWithCode(255), "载入窗口模板数据段出错!");
}

// Catches a cleanup that runs after the paging state it releases has been destroyed: the first
// search makes the state only after the cleanup was registered, and freeing its keyword twice
// at the end aborts the program.
TEST(ShutdownCleanupDeathTest, ReleasesTheKeywordOfALaterSearchOnce)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            registerShutdownCleanup();
            programSearchContext().paging.lastKeyword = Text(64, '%'); // lives on the heap
            std::exit(0);
        },
        testing::ExitedWithCode(0), "");
}

// Catches a keyword not released at program end.
TEST(ShutdownCleanupTest, EmptiesTheLastKeyword)
{
    programSearchContext().paging.lastKeyword = "%E7%B4%AF";
    shutdownCleanup();
    EXPECT_TRUE(programSearchContext().paging.lastKeyword.empty());
}

// Catches a start that skips the created event's work, does it in another order or only after
// the window is shown, and a close that does not open the author's page once and end with 0.
TEST(RunProgramDeathTest, StartsWithTheStartThemeAndEndsThroughTheAuthorsPage)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            qputenv("QT_QPA_PLATFORM", "offscreen");
            static const test::RecordingSkin skin;
            // Once the message loop runs: note the skin's calls, then close the window as the
            // user does, through the window system.
            qAddPreRoutine([] {
                QTimer::singleShot(0, [] {
                    for (const std::string& call : skin.calls()) {
                        std::fprintf(stderr, "%s\n", call.c_str());
                    }
                    for (QWidget* widget : QApplication::topLevelWidgets()) {
                        if (auto* window = qobject_cast<MainWindow*>(widget)) {
                            std::fputs(window->isVisible() ? "shown\n" : "hidden\n", stderr);
                            window->setDesktop(std::make_unique<test::ReportingDesktop>());
                            window->windowHandle()->close();
                        }
                    }
                });
            });
            const int code = runProgram();
            std::fprintf(stderr, "returned %d\n", code);
            std::exit(code);
        },
        testing::ExitedWithCode(0),
        "(^|\n)theme 9/hidden\naero 1/hidden\nshown\nopen author page\nreturned 0\n$");
}

} // namespace
} // namespace marrowtune
