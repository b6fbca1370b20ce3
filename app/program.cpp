// SPDX-License-Identifier: MIT
#include "app/program.h"

#include "app/event_table.h"
#include "app/fatal_error.h"
#include "app/main_window.h"
#include "app/qt_text.h"
#include "app/window_start.h"
#include "search/script_control_component.h"
#include "search/search_session.h"
#include "search/stamps.h"

#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QFile>

#include <cstdio>
#include <functional>

namespace marrowtune {

namespace {

// The process-wide services the window's script component and the automation objects need.
// Their classes are registered here, before the window exists.
void initialiseAutomation()
{
    registerSearchClasses();
}

// Runs `work` once, from the event loop, after `widget` has painted for the first time.
void runAfterFirstPaint(QWidget& widget, std::function<void()> work)
{
    class FirstPaint : public QObject {
    public:
        FirstPaint(QObject* parent, std::function<void()> work)
            : QObject(parent), m_work(std::move(work))
        {
        }

        bool eventFilter(QObject* watched, QEvent* event) override
        {
            if (event->type() == QEvent::Paint) {
                watched->removeEventFilter(this);
                // After the paint has finished, not in the middle of it.
                QMetaObject::invokeMethod(
                    this,
                    [this] {
                        m_work();
                        deleteLater();
                    },
                    Qt::QueuedConnection);
            }
            return QObject::eventFilter(watched, event);
        }

    private:
        std::function<void()> m_work;
    };
    widget.installEventFilter(new FirstPaint(&widget, std::move(work)));
}

} // namespace

std::unique_ptr<MainWindow> createMainWindow(const QString& templatePath,
                                             std::unique_ptr<ScriptComponent> script)
{
    QFile file(templatePath);
    QByteArray data;
    if (file.open(QIODevice::ReadOnly)) {
        data = file.readAll();
    }
    if (data.isEmpty()) {
        fatalError(toGbk(QStringLiteral("载入窗口模板数据段出错!")));
    }
    std::unique_ptr<MainWindow> window =
        MainWindow::fromTemplate(data, mainWindowEvents(), std::move(script));
    if (!window) {
        fatalError(toGbk(QStringLiteral("载入启动窗口失败")));
    }
    return window;
}

void showMainWindow(MainWindow& window)
{
    window.raiseCreated();
    window.show();
    // The stamps' host (a thread, a heap and its prelude) starts only after the first frame:
    // a zero timer would fire before the window system asks for that frame.
    runAfterFirstPaint(window, [] { prepareStampScript(); });
}

int runProgram()
{
    // Nothing is taken from the command line: the program has no arguments.
    static int argc = 1;
    static char name[] = "marrowtune";
    static char* argv[] = {name, nullptr};
    QApplication application(argc, argv);
    // Wayland finds the window's icon through the installed desktop entry of this name.
    QGuiApplication::setDesktopFileName(QStringLiteral("example.marrowtune.Marrowtune"));
    initialiseAutomation();
    QDir::setCurrent(QCoreApplication::applicationDirPath());
    registerShutdownCleanup();

    std::unique_ptr<MainWindow> window = createMainWindow(
        MainWindowTemplatePath.toString(), std::make_unique<ScriptControlComponent>());
    window->useSearchContext(programSearchContext());
    showMainWindow(*window);
    QApplication::exec();
    return 0;
}

} // namespace marrowtune
