// SPDX-License-Identifier: MIT
#pragma once
// What the user can do with a row of the result list, and the window's closing action.

#include "base/text.h"

#include <array>
#include <optional>

namespace marrowtune {

class SearchView;
struct ServiceHosts;

/// A point in screen coordinates (pixels).
struct ScreenPoint {
    int x = 0;
    int y = 0;

    friend bool operator==(const ScreenPoint&, const ScreenPoint&) = default;
};

/// The x offsets that split a right click into the list's four columns while the columns have
/// their template widths; each lies ColumnEdgeMargin pixels right of a column boundary.
inline constexpr std::array<int, 3> ColumnEdges{152, 302, 452};
/// How far right of a column boundary, as the list draws it, its edge in ColumnEdges lies.
inline constexpr int ColumnEdgeMargin = 2;

/// Where the list menu goes: the column it is for and the screen point it pops up at.
struct ListMenuPlace {
    int column;
    ScreenPoint at;
};

/// The desktop facilities the result actions reach. The window uses the system's; tests their
/// own, so no test opens a browser or touches the real clipboard. Each window adds its own
/// way of popping up its menu.
class Desktop {
public:
    virtual ~Desktop() = default;

    /// The mouse cursor's position in screen coordinates.
    virtual ScreenPoint cursorPosition() const = 0;
    /// Replaces the clipboard's content with plain text.
    virtual void setClipboardText(const Text& text) = 0;
    /// Hands the URL text, unchanged, to the desktop's opener (never through a shell).
    virtual void openUrl(const Text& url) = 0;
};

/// What the list menu needs of the window beyond the search view.
class ListMenuHost {
public:
    virtual ~ListMenuHost() = default;

    /// Left edge of the window's outer frame in screen coordinates.
    virtual int windowLeftEdge() const = 0;
    /// Left edge of the result list in its parent's client coordinates.
    virtual int listLeftEdge() const = 0;
    /// The list's column edges as they are now, measured as ColumnEdges are: the user may have
    /// resized or scrolled the columns.
    virtual std::array<int, 3> columnEdges() const = 0;
    /// The current cell's column and a point at that cell when the keyboard asked for the menu;
    /// nothing when a right click did.
    virtual std::optional<ListMenuPlace> keyboardMenuPlace() const = 0;
    /// Pops up the list menu `菜单` at a screen position.
    virtual void popUpListMenu(ScreenPoint at) = 0;
};

/// The column (0 to 3) of a click `offset` pixels right of the list's origin, split at `edges`.
int columnAtOffset(int offset, const std::array<int, 3>& edges = ColumnEdges);
/// The listen-online address on `hosts`' listen page host for a link, which is carried exactly
/// as given; the link itself when there is no listen page.
Text listenOnlineUrl(const Text& link, const ServiceHosts& hosts);

/// Right click in the list (or the menu key on it): sets the menu's captions and visibility for
/// the clicked (or current) cell of the selected row and pops the menu up; no menu without a
/// selected row.
void showListMenu(SearchView& view, ListMenuHost& host, const Desktop& desktop);
/// Copy item: puts the right-clicked cell's whole text (clickedCellText) on the clipboard.
void copyCellText(const SearchView& view, Desktop& desktop);
/// Listen item: opens the listen-online page for the selected row's link (without a listen
/// page, the link).
void listenOnline(const SearchView& view, Desktop& desktop, const ServiceHosts& hosts);
/// The window is going away: opens the author's home page, when there is one.
void openAuthorPage(Desktop& desktop, const ServiceHosts& hosts);
/// Opens a URL in the default browser; the outcome is not looked at.
void openInBrowser(Desktop& desktop, const Text& url);

} // namespace marrowtune
