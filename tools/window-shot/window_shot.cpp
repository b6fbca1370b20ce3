// SPDX-License-Identifier: MIT
// Saves pictures of the main window to PNG files: the first as the program shows it at start,
// the optional second with a few result rows, a selected row and the list menu's items set as
// a right click on the singer cell sets them. With --live it goes the program's own road
// instead: the real start-up (rewriting script, start theme, aero) and the search, Zone and
// change-skin buttons pressed against the sample service started in-process, one picture after
// each. scripts/screenshot.sh runs it under Xvfb.
#include "app/main_window.h"
#include "app/program.h"
#include "app/qt_text.h"
#include "platform/system_classes.h"
#include "search/script_control_component.h"
#include "search/service_hosts.h"
#include "tools/sample-service/sample_service.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QTableWidget>

#include <cstdio>
#include <string_view>

namespace {

using marrowtune::MainWindow;
using marrowtune::toGbk;

// Lets the window finish what it does after a change: the list lays out its rows and shows its
// scroll bars only from a timer, so a picture taken at once shows the list without them.
void settle()
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 300) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    }
}

void fillRows(MainWindow& window)
{
    const QString rows[][4] = {
        {QStringLiteral("晴川"), QStringLiteral("林晓舟"), QStringLiteral("远山"),
         QStringLiteral("http://127.0.0.1:18990/mp3/7/1001.mp3")},
        {QStringLiteral("累死爱情 (Live)"), QStringLiteral("歌手"), QStringLiteral("专辑"),
         QStringLiteral("http://127.0.0.1:18990/up/stream/1002.mp3")},
        {QStringLiteral("没有找到相关歌曲"), {}, {}, {}},
    };
    for (const auto& cells : rows) {
        const int row = window.insertRow();
        for (int column = 0; column < 4; ++column) {
            window.setCellText(row, column, toGbk(cells[column]));
        }
    }
    window.findChild<QTableWidget*>(QStringLiteral("超级列表框1"))->selectRow(0);
}

// Presses the window's buttons as a user would and saves PREFIX-start/-search/-next/-zone/-skin.
int liveShots(const QString& prefix)
{
    marrowtune::registerSystemClasses();
    marrowtune::sample::SampleService service;
    if (!service.start(0)) {
        std::fputs("window_shot: the sample service did not start\n", stderr);
        return 1;
    }
    auto window =
        marrowtune::createMainWindow(marrowtune::MainWindowTemplatePath.toString(),
                                     std::make_unique<marrowtune::ScriptControlComponent>());
    marrowtune::ServiceHosts& hosts = window->searchContext().hosts;
    hosts.zonePlaylistHost = service.hostAndPort();
    hosts.songSearchHost = service.hostAndPort();
    window->raiseCreated();
    window->show();
    settle();
    bool saved = window->grab().save(prefix + QStringLiteral("-start.png"), "PNG");
    const auto press = [&](const char16_t* button, const QString& suffix) {
        window->findChild<QPushButton*>(QString::fromUtf16(button))->click();
        settle();
        saved = window->grab().save(prefix + suffix, "PNG") && saved;
    };
    press(u"按钮1", QStringLiteral("-search.png"));
    press(u"按钮_下一页", QStringLiteral("-next.png"));
    press(u"按钮2", QStringLiteral("-zone.png"));
    press(u"按钮3", QStringLiteral("-skin.png"));
    service.stop();
    return saved ? 0 : 1;
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc != 2 && argc != 3) {
        std::fputs("usage: window_shot START.png [ROWS.png] | window_shot --live PREFIX\n", stderr);
        return 2;
    }
    QApplication application(argc, argv);
    if (std::string_view(argv[1]) == "--live" && argc == 3) {
        return liveShots(QString::fromLocal8Bit(argv[2]));
    }
    auto window =
        marrowtune::createMainWindow(marrowtune::MainWindowTemplatePath.toString(), nullptr);
    window->show();
    settle();
    bool saved = window->grab().save(QString::fromLocal8Bit(argv[1]), "PNG");
    if (argc == 3) {
        fillRows(*window);
        auto* menu = window->findChild<QMenu*>(QStringLiteral("菜单"));
        window->setMenuItemCaption(marrowtune::MenuItem::Copy,
                                   toGbk(QStringLiteral("复制(林晓舟)")));
        window->setMenuItemCaption(marrowtune::MenuItem::Search,
                                   toGbk(QStringLiteral("搜索(林晓舟)")));
        menu->popup(window->mapToGlobal(QPoint(200, 160)));
        settle();
        QPixmap picture = window->grab();
        QPainter painter(&picture);
        painter.drawPixmap(203, 163, menu->grab());
        painter.end();
        saved = picture.save(QString::fromLocal8Bit(argv[2]), "PNG") && saved;
    }
    return saved ? 0 : 1;
}
