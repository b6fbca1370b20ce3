// SPDX-License-Identifier: MIT
#include "app/qt_desktop.h"

#include "app/qt_text.h"

#include <QClipboard>
#include <QCursor>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QMenu>
#include <QUrl>

#include <algorithm>

namespace marrowtune {

namespace {

class SystemDesktop final : public QtDesktop {
public:
    ScreenPoint cursorPosition() const override
    {
        const QPoint at = QCursor::pos();
        return {at.x(), at.y()};
    }

    void setClipboardText(const Text& text) override
    {
        if (QClipboard* clipboard = QGuiApplication::clipboard()) {
            clipboard->setText(fromGbk(text));
        }
    }

    void openUrl(const Text& url) override
    {
        // QDesktopServices hands the URL to the desktop's opener as an argument; no shell
        // ever parses it.
        QDesktopServices::openUrl(QUrl(fromGbk(url), QUrl::TolerantMode));
    }

    void popUpMenu(QMenu& menu, QPoint at) override
    {
        // Not exec(): the handler that asked for the menu returns (and gives the cursor back)
        // while the menu is open; the chosen item's action runs as its own event.
        const QList<QAction*> items = menu.actions();
        const bool anyVisible = std::any_of(items.begin(), items.end(),
                                            [](QAction* item) { return item->isVisible(); });
        if (anyVisible) {
            menu.popup(at);
        }
    }
};

} // namespace

std::unique_ptr<QtDesktop> makeSystemDesktop()
{
    return std::make_unique<SystemDesktop>();
}

} // namespace marrowtune
