// SPDX-License-Identifier: MIT
// marrowtune_icon_render DIR SIZE...: writes DIR/SIZExSIZE/apps/<id>.png for each size, drawn
// as the window draws its icon, for the installed hicolor theme.
// marrowtune_icon_render --ico FILE: writes the Windows program's icon, one 32-bit image for
// each of the window icon's sizes.

#include "app/app_icon.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

void put16(QByteArray& out, std::uint16_t value)
{
    out.append(static_cast<char>(value & 0xff));
    out.append(static_cast<char>(value >> 8));
}

void put32(QByteArray& out, std::uint32_t value)
{
    put16(out, static_cast<std::uint16_t>(value & 0xffff));
    put16(out, static_cast<std::uint16_t>(value >> 16));
}

// One icon image as Windows reads it: a bottom-up 32-bit DIB with straight alpha, then the
// one-bit mask (all zero: the alpha channel decides).
QByteArray iconImage(const QImage& drawn)
{
    const QImage image = drawn.convertToFormat(QImage::Format_ARGB32);
    const int size = image.width();
    QByteArray out;
    put32(out, 40);
    put32(out, static_cast<std::uint32_t>(size));
    put32(out, static_cast<std::uint32_t>(size * 2)); // the colour image and the mask
    put16(out, 1);
    put16(out, 32);
    put32(out, 0); // BI_RGB
    const int maskStride = ((size + 31) / 32) * 4;
    put32(out, static_cast<std::uint32_t>(size * size * 4 + maskStride * size));
    for (int i = 0; i < 4; ++i) {
        put32(out, 0);
    }
    for (int y = size - 1; y >= 0; --y) {
        // Format_ARGB32 is 0xAARRGGBB in native order: B, G, R, A bytes on little endian.
        out.append(reinterpret_cast<const char*>(image.constScanLine(y)), size * 4);
    }
    out.append(QByteArray(maskStride * size, '\0'));
    return out;
}

bool writeIco(const QString& path)
{
    QByteArray header;
    QByteArray images;
    const auto count = static_cast<std::uint16_t>(std::size(marrowtune::AppIconSizes));
    put16(header, 0);
    put16(header, 1); // an icon
    put16(header, count);
    std::uint32_t offset = 6 + 16 * count;
    for (const int size : marrowtune::AppIconSizes) {
        const QByteArray image = iconImage(marrowtune::drawAppIcon(size));
        header.append(static_cast<char>(size >= 256 ? 0 : size));
        header.append(static_cast<char>(size >= 256 ? 0 : size));
        header.append('\0'); // no palette
        header.append('\0');
        put16(header, 1);  // planes
        put16(header, 32); // bits per pixel
        put32(header, static_cast<std::uint32_t>(image.size()));
        put32(header, offset);
        offset += static_cast<std::uint32_t>(image.size());
        images.append(image);
    }
    QFile file(path);
    return file.open(QIODevice::WriteOnly) &&
           file.write(header + images) == header.size() + images.size();
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fputs("usage: marrowtune_icon_render DIR SIZE... | --ico FILE\n", stderr);
        return 2;
    }
    // Drawing needs no screen; the build machine may have none.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    if (std::strcmp(argv[1], "--ico") == 0) {
        if (!writeIco(QString::fromLocal8Bit(argv[2]))) {
            std::fprintf(stderr, "marrowtune_icon_render: cannot write %s\n", argv[2]);
            return 1;
        }
        return 0;
    }
    const QString root = QString::fromLocal8Bit(argv[1]);
    for (int i = 2; i < argc; ++i) {
        const int size = std::atoi(argv[i]);
        const QString folder = root + QStringLiteral("/%1x%1/apps").arg(size);
        if (size <= 0 || !QDir().mkpath(folder) ||
            !marrowtune::drawAppIcon(size).save(
                folder + QStringLiteral("/example.marrowtune.Marrowtune.png"))) {
            std::fprintf(stderr, "marrowtune_icon_render: cannot write the %s icon\n", argv[i]);
            return 1;
        }
    }
    return 0;
}
