// SPDX-License-Identifier: MIT
#include "app/app_icon.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace marrowtune {

// Drawn on a 128-unit grid and scaled, so every size is painted sharp rather than shrunk.
QImage drawAppIcon(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 128.0, size / 128.0);

    QLinearGradient tile(0, 0, 0, 128);
    tile.setColorAt(0, QColor(0x2b, 0xb3, 0xa6));
    tile.setColorAt(1, QColor(0x12, 0x5e, 0x8a));
    painter.setPen(Qt::NoPen);
    painter.setBrush(tile);
    painter.drawRoundedRect(QRectF(4, 4, 120, 120), 26, 26);

    painter.setBrush(Qt::white);
    // Two note heads, tilted as in print.
    for (const QPointF centre : {QPointF(40, 92), QPointF(88, 82)}) {
        painter.save();
        painter.translate(centre);
        painter.rotate(-20);
        painter.drawEllipse(QPointF(0, 0), 15, 11);
        painter.restore();
    }
    // Stems and the beam joining them.
    painter.drawRect(QRectF(50, 30, 7, 62));
    painter.drawRect(QRectF(98, 20, 7, 62));
    QPainterPath beam;
    beam.moveTo(50, 30);
    beam.lineTo(105, 20);
    beam.lineTo(105, 36);
    beam.lineTo(50, 46);
    beam.closeSubpath();
    painter.drawPath(beam);
    painter.end();
    return image;
}

QIcon makeAppIcon()
{
    QIcon icon;
    for (const int size : AppIconSizes) {
        icon.addPixmap(QPixmap::fromImage(drawAppIcon(size)));
    }
    return icon;
}

} // namespace marrowtune
