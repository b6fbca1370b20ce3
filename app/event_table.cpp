#include "app/event_table.h"

#include "app/main_window.h"
#include "app/program.h"
#include "app/result_actions.h"
#include "app/skin/skin_themes.h"
#include "search/keyword_search.h"
#include "search/zone_lookup.h"

namespace marrowtune {

namespace {

// One row per event; an operation is connected by adding its row here.
constexpr EventBinding MainWindowEvents[] = {
    {WindowUnitName, UnitEvent::Created, [](MainWindow& w) { onWindowCreated(w); }},
    {WindowUnitName, UnitEvent::AboutToBeDestroyed,
     [](MainWindow& w) { openAuthorPage(w.desktop(), w.searchContext().hosts); }},
    {u"按钮3", UnitEvent::Clicked, [](MainWindow&) { applyRandomTheme(); }},
    {u"按钮1", UnitEvent::Clicked, [](MainWindow& w) { startKeywordSearch(w, w.searchContext()); }},
    {u"按钮2", UnitEvent::Clicked, [](MainWindow& w) { lookupZoneMusic(w, w.searchContext()); }},
    {u"按钮_上一页", UnitEvent::Clicked,
     [](MainWindow& w) { showPreviousPage(w, w.searchContext()); }},
    {u"按钮_下一页", UnitEvent::Clicked, [](MainWindow& w) { showNextPage(w, w.searchContext()); }},
    {u"超级列表框1", UnitEvent::RightClicked,
     [](MainWindow& w) { showListMenu(w, w, w.desktop()); }},
    {u"复制", UnitEvent::Chosen, [](MainWindow& w) { copyCellText(w, w.desktop()); }},
    {u"搜索", UnitEvent::Chosen, [](MainWindow& w) { searchFromMenu(w, w.searchContext()); }},
    {u"在线试听", UnitEvent::Chosen,
     [](MainWindow& w) { listenOnline(w, w.desktop(), w.searchContext().hosts); }},
};

} // namespace

std::span<const EventBinding> mainWindowEvents()
{
    return MainWindowEvents;
}

} // namespace marrowtune
// SPDX-License-Identifier: MIT
