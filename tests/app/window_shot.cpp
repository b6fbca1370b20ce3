// Saves a picture of the main window, as the program shows it at start, to the PNG file named
// by the first argument. scripts/screenshot.sh runs it under Xvfb.
#include "app/main_window.h"
#include "app/program.h"

#include <QApplication>
#include <QPixmap>

#include <cstdio>

int main(int argc, char* argv[])
{
    if (argc != 2) {
        std::fputs("usage: window_shot OUTPUT.png\n", stderr);
        return 2;
    }
    QApplication application(argc, argv);
    auto window =
        marrowtune::createMainWindow(marrowtune::MainWindowTemplatePath.toString(), nullptr);
    window->show();
    QApplication::processEvents();
    const bool saved = window->grab().save(QString::fromLocal8Bit(argv[1]), "PNG");
    return saved ? 0 : 1;
}
