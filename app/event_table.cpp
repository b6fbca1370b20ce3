#include "app/event_table.h"

#include "app/main_window.h"
#include "app/program.h"
#include "app/result_actions.h"

namespace marrowtune {

namespace {

// One row per event; an operation is connected by adding its row here.
constexpr EventBinding MainWindowEvents[] = {
    {WindowUnitName, UnitEvent::Created, [](MainWindow& w) { onWindowCreated(w); }},
    {WindowUnitName, UnitEvent::AboutToBeDestroyed,
     [](MainWindow& w) { openAuthorPage(w.desktop()); }},
    {u"超级列表框1", UnitEvent::RightClicked,
     [](MainWindow& w) { showListMenu(w, w, w.desktop()); }},
    {u"复制", UnitEvent::Chosen, [](MainWindow& w) { copyCellText(w, w.desktop()); }},
    {u"在线试听", UnitEvent::Chosen, [](MainWindow& w) { listenOnline(w, w.desktop()); }},
};

} // namespace

std::span<const EventBinding> mainWindowEvents()
{
    return MainWindowEvents;
}

} // namespace marrowtune
