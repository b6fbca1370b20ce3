#include "app/result_actions.h"

#include "app/qt_text.h"
#include "net/text.h"
#include "search/search_view.h"
#include "search/service_hosts.h"
#include "search/song_record.h"

#include <QClipboard>
#include <QCursor>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QMenu>
#include <QUrl>

#include <algorithm>

namespace marrowtune {

namespace {

class SystemDesktop final : public Desktop {
public:
    QPoint cursorPosition() const override { return QCursor::pos(); }

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

std::unique_ptr<Desktop> makeSystemDesktop()
{
    return std::make_unique<SystemDesktop>();
}

int columnAtOffset(int offset, const std::array<int, 3>& edges)
{
    int column = 0;
    for (const int edge : edges) {
        if (offset > edge) {
            ++column;
        }
    }
    return column;
}

Text listenOnlineUrl(const Text& link, const ServiceHosts& hosts)
{
    return "http://" + hosts.listenPageHost + "/musci/mp3.html?url=" + link;
}

void showListMenu(SearchView& view, ListMenuHost& host, const Desktop& desktop)
{
    // The column comes from the list's own edges: once the user widens a column, fixed edges
    // would name the cell beside the one under the pointer.
    std::optional<ListMenuPlace> place = host.keyboardMenuPlace();
    if (!place) {
        const QPoint cursor = desktop.cursorPosition();
        const int offset = cursor.x() - (host.windowLeftEdge() + host.listLeftEdge());
        place = ListMenuPlace{columnAtOffset(offset, host.columnEdges()), cursor + QPoint(3, 3)};
    }
    const int column = place->column;
    const int row = view.selectedRow();
    if (row == -1) {
        return;
    }
    const Text text = view.cellText(row, column);
    view.setMenuItemCaption(MenuItem::Copy, toGbk(QStringLiteral("复制(")) + text + ")");
    view.setMenuItemVisible(MenuItem::Copy, !text.empty());
    view.setMenuItemVisible(MenuItem::ListenOnline, !view.cellText(row, LinkColumn).empty());
    if (column != LinkColumn) {
        view.setMenuItemCaption(MenuItem::Search, toGbk(QStringLiteral("搜索(")) + text + ")");
        view.setMenuItemVisible(MenuItem::Search, true);
    } else {
        view.setMenuItemVisible(MenuItem::Search, false);
    }
    host.popUpListMenu(place->at);
}

void copyCellText(const SearchView& view, Desktop& desktop)
{
    desktop.setClipboardText(textBetween(view.menuItemCaption(MenuItem::Copy), "(", ")"));
}

void listenOnline(const SearchView& view, Desktop& desktop, const ServiceHosts& hosts)
{
    const Text link = view.cellText(view.selectedRow(), LinkColumn);
    openInBrowser(desktop, listenOnlineUrl(link, hosts));
}

void openAuthorPage(Desktop& desktop, const ServiceHosts& hosts)
{
    openInBrowser(desktop, hosts.authorPageUrl);
}

void openInBrowser(Desktop& desktop, const Text& url)
{
    desktop.openUrl(url);
}

} // namespace marrowtune
// SPDX-License-Identifier: MIT
