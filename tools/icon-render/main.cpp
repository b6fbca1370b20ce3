// SPDX-License-Identifier: MIT
// marrowtune_icon_render DIR SIZE...: writes DIR/SIZExSIZE/apps/<id>.png for each size, drawn
// as the window draws its icon, for the installed hicolor theme.

#include "app/app_icon.h"

#include <QDir>
#include <QGuiApplication>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fputs("usage: marrowtune_icon_render DIR SIZE...\n", stderr);
        return 2;
    }
    // Drawing needs no screen; the build machine may have none.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
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
