#include "tests/app/gui_test_support.h"

#include "tests/app/fake_desktop.h"

#include <QAction>
#include <QMenu>

namespace marrowtune::test {

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
