// SPDX-License-Identifier: MIT
#include "app/result_actions.h"

#include "platform/codepage/codepage.h"
#include "search/search_session.h"
#include "search/search_view.h"
#include "search/service_hosts.h"
#include "search/song_record.h"

namespace marrowtune {

namespace {

Text gbk(std::u16string_view text)
{
    return codepage::fromWide(text, CodePage::Gbk);
}

} // namespace

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
        const ScreenPoint cursor = desktop.cursorPosition();
        const int offset = cursor.x - (host.windowLeftEdge() + host.listLeftEdge());
        place = ListMenuPlace{columnAtOffset(offset, host.columnEdges()),
                              ScreenPoint{cursor.x + 3, cursor.y + 3}};
    }
    const int column = place->column;
    const int row = view.selectedRow();
    if (row == -1) {
        return;
    }
    const Text text = view.cellText(row, column);
    view.setMenuItemCaption(MenuItem::Copy, gbk(u"复制(") + text + ")");
    view.setMenuItemVisible(MenuItem::Copy, !text.empty());
    view.setMenuItemVisible(MenuItem::ListenOnline, !view.cellText(row, LinkColumn).empty());
    if (column != LinkColumn) {
        view.setMenuItemCaption(MenuItem::Search, gbk(u"搜索(") + text + ")");
        view.setMenuItemVisible(MenuItem::Search, true);
    } else {
        view.setMenuItemVisible(MenuItem::Search, false);
    }
    host.popUpListMenu(place->at);
}

void copyCellText(const SearchView& view, Desktop& desktop)
{
    desktop.setClipboardText(menuCellText(view));
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
