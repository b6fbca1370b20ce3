// SPDX-License-Identifier: MIT
#include "platform/skin/tools/window_mock.h"

#include "embedded/MainWindowTemplate.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QTableWidget>
#include <QUiLoader>

namespace marrowtune::skin {
namespace {

// The list's widths come from the template's "columnWidths" text, as the program sets them.
void applyColumnWidths(QTableWidget& list)
{
    const QStringList widths =
        list.property("columnWidths").toString().split(QLatin1Char(','), Qt::SkipEmptyParts);
    for (int column = 0; column < widths.size() && column < list.columnCount(); ++column) {
        list.setColumnWidth(column, widths[column].trimmed().toInt());
    }
}

} // namespace

QWidget* buildWindowMock()
{
    const auto bytes = embedded::MainWindowTemplate();
    QBuffer data;
    data.setData(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
    data.open(QIODevice::ReadOnly);
    // QUiLoader loads every Designer plugin on the library paths when it is made; the template
    // needs none of them.
    const QStringList libraryPaths = QCoreApplication::libraryPaths();
    QCoreApplication::setLibraryPaths({});
    QUiLoader loader;
    QCoreApplication::setLibraryPaths(libraryPaths);
    loader.setTranslationEnabled(false);
    QWidget* window = loader.load(&data);
    if (window == nullptr) {
        qFatal("window mock: the window template did not load");
    }
    window->setFixedSize(window->minimumSize());

    auto* list = window->findChild<QTableWidget*>(QStringLiteral(u"超级列表框1"));
    applyColumnWidths(*list);
    const QString rows[][3] = {
        {QStringLiteral(u"累死爱情"), QStringLiteral(u"群星"), QStringLiteral(u"情歌精选")},
        {QStringLiteral(u"夜空中最亮的星"), QStringLiteral(u"逃跑计划"), QStringLiteral(u"世界")},
        {QStringLiteral(u"Sample Song"), QStringLiteral(u"Marrow Band"),
         QStringLiteral(u"First Light")},
        {QStringLiteral(u"月光"), QStringLiteral(u"歌手甲"), QStringLiteral(u"专辑乙")},
        {QStringLiteral(u"海风"), QStringLiteral(u"歌手丙"), QStringLiteral(u"蓝色")},
    };
    list->setRowCount(8);
    for (int r = 0; r < 5; ++r) {
        for (int c = 0; c < 3; ++c) {
            list->setItem(r, c, new QTableWidgetItem(rows[r][c]));
        }
        list->setItem(r, 3,
                      new QTableWidgetItem(
                          QStringLiteral("http://127.0.0.1:18990/mp3/1/%1.mp3").arg(1000 + r)));
    }
    list->selectRow(1);
    return window;
}

} // namespace marrowtune::skin
