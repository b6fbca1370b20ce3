// SPDX-License-Identifier: MIT
// Time for the program's window to list a search's songs, for bench/compare.sh: the window made
// as the program makes it and shown, then a search started as a click on its button starts one;
// prints the milliseconds from the click to the first paint of the list holding its rows and
// ends the process there. The service hosts come from the environment, as for the program.
//   window_list_time KEYWORD

#include "app/main_window.h"
#include "app/program.h"
#include "app/window_start.h"
#include "platform/system_classes.h"
#include "search/script_control_component.h"
#include "search/service_hosts.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

namespace {

// Ends the process at the first paint of the list once it holds rows.
class ListedPaint : public QObject {
public:
    ListedPaint(const QTableWidget& list, const QElapsedTimer& clock) : m_list(list), m_clock(clock)
    {
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && m_clock.isValid() && m_list.rowCount() > 0) {
            const double ms = static_cast<double>(m_clock.nsecsElapsed()) / 1e6;
            // Let the paint finish, then leave without tearing anything down.
            QMetaObject::invokeMethod(
                this,
                [ms, rows = m_list.rowCount()] {
                    std::printf("%.2f ms %d rows\n", ms, rows);
                    std::fflush(stdout);
                    std::_Exit(0);
                },
                Qt::QueuedConnection);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    const QTableWidget& m_list;
    const QElapsedTimer& m_clock;
};

} // namespace

int main(int argc, char** argv)
{
    using namespace marrowtune;
    if (argc != 2) {
        std::fputs("usage: window_list_time KEYWORD\n", stderr);
        return 2;
    }
    QApplication application(argc, argv);
    registerSystemClasses();
    QDir::setCurrent(QCoreApplication::applicationDirPath());
    registerShutdownCleanup();
    if (const std::string problem = applyHostEnvironment(programSearchContext().hosts);
        !problem.empty()) {
        std::fprintf(stderr, "window_list_time: %s\n", problem.c_str());
        return 2;
    }
    static std::unique_ptr<MainWindow> window = createMainWindow(
        MainWindowTemplatePath.toString(), std::make_unique<ScriptControlComponent>());
    window->useSearchContext(programSearchContext());
    showMainWindow(*window);

    auto* keywordBox = window->findChild<QLineEdit*>(QStringLiteral("编辑框1"));
    auto* searchButton = window->findChild<QPushButton*>(QStringLiteral("按钮1"));
    auto* list = window->findChild<QTableWidget*>(QStringLiteral("超级列表框1"));
    if (!keywordBox || !searchButton || !list) {
        std::fputs("window_list_time: the window has no keyword box, search button or list\n",
                   stderr);
        return 1;
    }
    QElapsedTimer clock;
    ListedPaint listed(*list, clock);
    list->viewport()->installEventFilter(&listed);
    keywordBox->setText(QString::fromLocal8Bit(argv[1]));
    // Once the window is up and its first frame is out, as a user's first click would come.
    QTimer::singleShot(100, [&] {
        clock.start();
        searchButton->click();
    });
    // A search that lists nothing never paints rows: give up rather than wait for ever.
    QTimer::singleShot(30000, [] {
        std::fputs("window_list_time: no rows were listed\n", stderr);
        std::_Exit(1);
    });
    return QApplication::exec();
}
