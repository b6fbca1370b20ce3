// SPDX-License-Identifier: MIT
#include "app/program.h"

#include "app/event_table.h"
#include "app/fatal_error.h"
#include "app/main_window.h"
#include "app/qt_text.h"
#include "app/window_start.h"
#include "platform/system_classes.h"
#include "search/script_control_component.h"
#include "search/stamps.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTimer>

#include <cstdio>

namespace marrowtune {

namespace {

// The process-wide services the window's script component and the automation objects need.
// Their classes are registered here, before the window exists.
void initialiseAutomation()
{
    registerSystemClasses();
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
    window->raiseCreated();
    window->show();
    // Once the window is up, the stamps' script host starts on a thread of its own, so that
    // the first search does not wait for it.
    QTimer::singleShot(0, [] { prepareStampScript(); });
    QApplication::exec();
    return 0;
}

} // namespace marrowtune
