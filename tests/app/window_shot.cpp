// Saves pictures of the main window to PNG files: the first as the program shows it at start,
// the optional second with a few result rows, a selected row and the list menu's items set as
// a right click on the singer cell sets them. scripts/screenshot.sh runs it under Xvfb.
#include "app/main_window.h"
#include "app/program.h"
#include "app/qt_text.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QTableWidget>

#include <cstdio>

namespace {

using marrowtune::fromGbk;
using marrowtune::MainWindow;
using marrowtune::toGbk;

void fillRows(MainWindow& window)
{
    const QString rows[][4] = {
        {QStringLiteral("晴天"), QStringLiteral("周杰伦"), QStringLiteral("叶惠美"),
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

} // namespace

int main(int argc, char* argv[])
{
    if (argc != 2 && argc != 3) {
        std::fputs("usage: window_shot START.png [ROWS.png]\n", stderr);
        return 2;
    }
    QApplication application(argc, argv);
    auto window =
        marrowtune::createMainWindow(marrowtune::MainWindowTemplatePath.toString(), nullptr);
    window->show();
    QApplication::processEvents();
    bool saved = window->grab().save(QString::fromLocal8Bit(argv[1]), "PNG");
    if (argc == 3) {
        fillRows(*window);
        auto* menu = window->findChild<QMenu*>(QStringLiteral("菜单"));
        window->setMenuItemCaption(marrowtune::MenuItem::Copy,
                                   toGbk(QStringLiteral("复制(周杰伦)")));
        window->setMenuItemCaption(marrowtune::MenuItem::Search,
                                   toGbk(QStringLiteral("搜索(周杰伦)")));
        menu->popup(window->mapToGlobal(QPoint(200, 160)));
        QApplication::processEvents();
        QPixmap picture = window->grab();
        QPainter painter(&picture);
        painter.drawPixmap(203, 163, menu->grab());
        painter.end();
        saved = picture.save(QString::fromLocal8Bit(argv[2]), "PNG") && saved;
    }
    return saved ? 0 : 1;
}
