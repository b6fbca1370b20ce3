// Renders a mock of the program's window (its controls at their fixed rectangles, with sample
// rows) in skin themes, offscreen, into one PNG: either a contact sheet of many themes or one
// theme at full size.
//
//   skin_contact_sheet <theme directory> <output.png> [--aero] [--from N] [--to N]
//                      [--columns N] [--scale F]
//
// The theme directory holds theme_01.she ... theme_58.she as the build packs them. A theme
// number of 0 renders without any skin, for comparison.

#include "platform/skin/skin_library.h"
#include "platform/skin/theme.h"

#include <QApplication>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QTableWidget>

#include <iostream>

namespace {

struct Options {
    QString themeDir;
    QString output;
    bool aero = false;
    int from = 1;
    int to = 58;
    int columns = 6;
    double scale = 0.5;
};

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

// The window's client area with every control of the template at its rectangle.
QWidget* buildMock()
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

bool attachTheme(const Options& options, int n, QString& name)
{
    QFile file(options.themeDir + QStringLiteral("/theme_%1.she").arg(n, 2, 10, QLatin1Char('0')));
    if (!file.open(QIODevice::ReadOnly)) {
        std::cerr << "cannot read theme " << n << '\n';
        return false;
    }
    const QByteArray bytes = file.readAll();
    const std::span<const unsigned char> data(
        reinterpret_cast<const unsigned char*>(bytes.constData()),
        static_cast<std::size_t>(bytes.size()));
    if (const auto theme = marrowtune::skin::decodeTheme(data)) {
        name = QString::fromStdString(theme->name) +
               QLatin1String(theme->dark ? " (dark)" : " (light)");
    }
    if (!SkinH_AttachRes(reinterpret_cast<const unsigned char*>(bytes.constData()),
                         static_cast<int>(bytes.size()), "", 0, 0, 0)) {
        std::cerr << "theme " << n << " was refused\n";
        return false;
    }
    return true;
}

bool parse(const QStringList& args, Options& options)
{
    QStringList rest;
    for (int i = 1; i < args.size(); ++i) {
        const QString& a = args[i];
        auto next = [&](auto& target) {
            if (i + 1 < args.size()) {
                target = args[++i].toDouble();
            }
        };
        if (a == QStringLiteral("--aero")) {
            options.aero = true;
        } else if (a == QStringLiteral("--from")) {
            double v = options.from;
            next(v);
            options.from = static_cast<int>(v);
        } else if (a == QStringLiteral("--to")) {
            double v = options.to;
            next(v);
            options.to = static_cast<int>(v);
        } else if (a == QStringLiteral("--columns")) {
            double v = options.columns;
            next(v);
            options.columns = static_cast<int>(v);
        } else if (a == QStringLiteral("--scale")) {
            next(options.scale);
        } else {
            rest << a;
        }
    }
    if (rest.size() != 2 || options.from < 0 || options.to < options.from || options.to > 58 ||
        options.columns < 1 || options.scale <= 0) {
        return false;
    }
    options.themeDir = rest[0];
    options.output = rest[1];
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    Options options;
    if (!parse(QApplication::arguments(), options)) {
        std::cerr << "usage: skin_contact_sheet <theme dir> <out.png> [--aero] [--from N] "
                     "[--to N] [--columns N] [--scale F]\n";
        return 2;
    }
    QWidget* mock = buildMock();
    mock->setAttribute(Qt::WA_DontShowOnScreen);
    mock->show();

    const int count = options.to - options.from + 1;
    const int columns = std::min(options.columns, count);
    const int rows = (count + columns - 1) / columns;
    const QSize cell = (QSizeF(mock->size()) * options.scale).toSize();
    const int caption = 18;
    QImage sheet(columns * (cell.width() + 8) + 8, rows * (cell.height() + caption + 8) + 8,
                 QImage::Format_RGB32);
    sheet.fill(QColor(0x80, 0x80, 0x80));
    QPainter painter(&sheet);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    int failures = 0;
    for (int n = options.from; n <= options.to; ++n) {
        QString name = QStringLiteral("no skin");
        if (n > 0 && !attachTheme(options, n, name)) {
            ++failures;
            continue;
        }
        if (n > 0 && options.aero) {
            SkinH_SetAero(1);
        }
        QCoreApplication::processEvents();
        const QPixmap shot = mock->grab();
        const int i = n - options.from;
        const QPoint at(8 + (i % columns) * (cell.width() + 8),
                        8 + (i / columns) * (cell.height() + caption + 8));
        painter.setPen(Qt::white);
        painter.drawText(QRect(at, QSize(cell.width(), caption)), Qt::AlignLeft | Qt::AlignVCenter,
                         QStringLiteral("%1  %2").arg(n).arg(name));
        painter.drawPixmap(QRect(at + QPoint(0, caption), cell), shot);
    }
    painter.end();
    delete mock;
    if (!sheet.save(options.output)) {
        std::cerr << "cannot write " << options.output.toStdString() << '\n';
        return 1;
    }
    return failures == 0 ? 0 : 1;
}
