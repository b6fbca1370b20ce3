// SPDX-License-Identifier: MIT
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
#include "platform/skin/tools/window_mock.h"

#include <QApplication>
#include <QFile>
#include <QPainter>
#include <QWidget>

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
    QWidget* mock = marrowtune::skin::buildWindowMock();
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
