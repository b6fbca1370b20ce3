#include "platform/skin/tools/window_mock.h"

#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>

namespace marrowtune::skin {
namespace {

QLabel* label(QWidget* parent, const QString& text, QRect rect)
{
    auto* l = new QLabel(text, parent);
    l->setGeometry(rect);
    return l;
}

QPushButton* button(QWidget* parent, const QString& text, QRect rect, bool enabled = true)
{
    auto* b = new QPushButton(text, parent);
    b->setGeometry(rect);
    b->setEnabled(enabled);
    return b;
}

QLineEdit* edit(QWidget* parent, const QString& text, QRect rect)
{
    auto* e = new QLineEdit(text, parent);
    e->setGeometry(rect);
    return e;
}

} // namespace

QWidget* buildWindowMock()
{
    auto* window = new QWidget;
    window->setFixedSize(760, 426);
    auto* search = new QGroupBox(QStringLiteral(u"搜索"), window);
    search->setGeometry(2, 6, 752, 50);
    auto* results = new QGroupBox(QStringLiteral(u"搜索结果"), window);
    results->setGeometry(2, 56, 758, 344);

    label(search, QStringLiteral(u"歌名/歌手/专辑"), {21, 18, 100, 20});
    edit(search, QStringLiteral(u"累死爱情"), {134, 10, 144, 32});
    button(search, QStringLiteral(u"搜索"), {282, 11, 80, 32});
    label(search, QStringLiteral(u"QQ背景音乐查询"), {389, 10, 97, 32});
    edit(search, QStringLiteral(u"123456789"), {494, 10, 104, 32});
    button(search, QStringLiteral(u"查询"), {602, 11, 68, 31});
    button(search, QStringLiteral(u"换肤"), {670, 10, 72, 32});

    auto* list = new QTableWidget(8, 4, results);
    list->setGeometry(8, 16, 742, 288);
    list->setHorizontalHeaderLabels({QStringLiteral(u"歌名"), QStringLiteral(u"歌手"),
                                     QStringLiteral(u"专辑"), QStringLiteral(u"链接地址")});
    list->verticalHeader()->hide();
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    const int widths[] = {150, 150, 150, 280};
    for (int c = 0; c < 4; ++c) {
        list->setColumnWidth(c, widths[c]);
    }
    const QString rows[][3] = {
        {QStringLiteral(u"累死爱情"), QStringLiteral(u"群星"), QStringLiteral(u"情歌精选")},
        {QStringLiteral(u"夜空中最亮的星"), QStringLiteral(u"逃跑计划"), QStringLiteral(u"世界")},
        {QStringLiteral(u"Sample Song"), QStringLiteral(u"Marrow Band"),
         QStringLiteral(u"First Light")},
        {QStringLiteral(u"月光"), QStringLiteral(u"歌手甲"), QStringLiteral(u"专辑乙")},
        {QStringLiteral(u"海风"), QStringLiteral(u"歌手丙"), QStringLiteral(u"蓝色")},
    };
    for (int r = 0; r < 5; ++r) {
        for (int c = 0; c < 3; ++c) {
            list->setItem(r, c, new QTableWidgetItem(rows[r][c]));
        }
        list->setItem(r, 3,
                      new QTableWidgetItem(
                          QStringLiteral("http://127.0.0.1:18990/mp3/1/%1.mp3").arg(1000 + r)));
    }
    list->selectRow(1);

    button(results, QStringLiteral(u"上一页"), {247, 309, 80, 32}, false);
    label(results, QStringLiteral("0/0"), {374, 309, 39, 32});
    button(results, QStringLiteral(u"下一页"), {439, 309, 80, 32}, false);
    return window;
}

} // namespace marrowtune::skin
