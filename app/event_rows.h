// SPDX-License-Identifier: MIT
#pragma once
// The main window's event table, one source for every window: which event of which unit runs
// which operation. A window type brings `desktop()`, `searchContext()` and the search view and
// list menu host interfaces; the rows are instantiated for it with the string type its template
// names use.

#include "app/result_actions.h"
#include "app/skin/skin_themes.h"
#include "app/window_start.h"
#include "search/keyword_search.h"
#include "search/zone_lookup.h"

#include <string_view>

namespace marrowtune {

/// The events a unit of the window can raise.
enum class UnitEvent {
    Created,            ///< the window has been created and is not shown yet
    AboutToBeDestroyed, ///< the window is closing for good
    Clicked,            ///< a push button was clicked
    RightClicked,       ///< the right mouse button was clicked in a list
    Chosen,             ///< a menu item was chosen
};

/// One row of the event table: the unit's template name, its event, the operation (which runs
/// on the window's thread and blocks the window).
template <typename Window, typename Name> struct EventRow {
    Name unit;
    UnitEvent event;
    void (*handler)(Window& window);
};

/// The template name of the window itself.
inline constexpr std::u16string_view MainWindowUnitName = u"MainWindow";

/// The rows of the main window's event table. No other event has a handler: a left click or a
/// double click on a list row only selects it.
template <typename Window, typename Name>
inline constexpr EventRow<Window, Name> MainWindowEventRows[] = {
    {Name(MainWindowUnitName), UnitEvent::Created,
     [](Window& w) { onWindowCreated(w, w.searchContext().hosts); }},
    {Name(MainWindowUnitName), UnitEvent::AboutToBeDestroyed,
     [](Window& w) { openAuthorPage(w.desktop(), w.searchContext().hosts); }},
    {Name(u"按钮3"), UnitEvent::Clicked, [](Window&) { applyRandomTheme(); }},
    {Name(u"按钮1"), UnitEvent::Clicked,
     [](Window& w) { startKeywordSearch(w, w.searchContext()); }},
    {Name(u"按钮2"), UnitEvent::Clicked, [](Window& w) { lookupZoneMusic(w, w.searchContext()); }},
    {Name(u"按钮_上一页"), UnitEvent::Clicked,
     [](Window& w) { showPreviousPage(w, w.searchContext()); }},
    {Name(u"按钮_下一页"), UnitEvent::Clicked,
     [](Window& w) { showNextPage(w, w.searchContext()); }},
    {Name(u"超级列表框1"), UnitEvent::RightClicked,
     [](Window& w) { showListMenu(w, w, w.desktop()); }},
    {Name(u"复制"), UnitEvent::Chosen, [](Window& w) { copyCellText(w, w.desktop()); }},
    {Name(u"搜索"), UnitEvent::Chosen, [](Window& w) { searchFromMenu(w, w.searchContext()); }},
    {Name(u"在线试听"), UnitEvent::Chosen,
     [](Window& w) { listenOnline(w, w.desktop(), w.searchContext().hosts); }},
};

} // namespace marrowtune
