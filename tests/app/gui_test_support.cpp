// SPDX-License-Identifier: MIT
#include "tests/app/gui_test_support.h"

#include "app/program.h"

#include <QAction>
#include <QMenu>

namespace marrowtune::test {

std::unique_ptr<MainWindow> makeWindowWithFakeDesktop(FakeDesktop*& desktop,
                                                      std::unique_ptr<ScriptComponent> script)
{
    ensureApplication();
    std::unique_ptr<MainWindow> window =
        createMainWindow(MainWindowTemplatePath.toString(), std::move(script));
    auto fake = std::make_unique<FakeDesktop>();
    desktop = fake.get();
    window->setDesktop(std::move(fake));
    return window;
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
