#include "tests/app/gui_test_support.h"

#include "tests/app/fake_desktop.h"

#include <QAction>
#include <QApplication>
#include <QMenu>

namespace marrowtune::test {

void ensureApplication()
{
    if (QApplication::instance() != nullptr) {
        return;
    }
    // Never a real display, whoever starts the test binary.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "app_tests";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv); // lives until the process ends
}

void FakeDesktop::popUpMenu(QMenu& menu, QPoint at)
{
    Popup popup{at, {}};
    for (const QAction* item : menu.actions()) {
        if (item->isVisible()) {
            popup.visibleItems << item->text();
        }
    }
    popups.push_back(popup);
}

} // namespace marrowtune::test
