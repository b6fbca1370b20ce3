// SPDX-License-Identifier: MIT
// Exec to first painted frame, for bench/compare.sh: the program's own window made as the
// program makes it ("ours"), or a bare Qt window with the same Chinese texts ("bare"). The
// process ends right after the first paint of its window, so the script times exec to exit.

#include "app/main_window.h"
#include "app/program.h"
#include "platform/system_classes.h"
#include "search/script_control_component.h"

#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QLabel>
#include <QVBoxLayout>
#include <QWidget>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Ends the process once the watched window has painted.
class FirstPaint : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint) {
            // Let the paint finish, then leave without tearing anything down.
            QMetaObject::invokeMethod(
                this, [] { std::_Exit(0); }, Qt::QueuedConnection);
        }
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

int main(int argc, char** argv)
{
    const bool ours = argc > 1 && std::strcmp(argv[1], "ours") == 0;
    QApplication application(argc, argv);
    FirstPaint firstPaint;
    if (ours) {
        using namespace marrowtune;
        registerSystemClasses();
        QDir::setCurrent(QCoreApplication::applicationDirPath());
        registerShutdownCleanup();
        static std::unique_ptr<MainWindow> window = createMainWindow(
            MainWindowTemplatePath.toString(), std::make_unique<ScriptControlComponent>());
        window->installEventFilter(&firstPaint);
        showMainWindow(*window);
        return QApplication::exec();
    }
    static QWidget window;
    window.setWindowTitle(QStringLiteral("累死爱情"));
    auto* layout = new QVBoxLayout(&window);
    for (const char16_t* text : {u"搜索结果", u"歌名", u"歌手", u"专辑", u"链接地址", u"上一页",
                                 u"下一页", u"搜索", u"QQ背景音乐查询", u"查询", u"换肤"}) {
        layout->addWidget(new QLabel(QString::fromUtf16(text)));
    }
    window.installEventFilter(&firstPaint);
    window.show();
    return QApplication::exec();
}
