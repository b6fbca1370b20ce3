#pragma once
// The main window's event table: which event of which unit runs which operation.

#include <QStringView>

#include <span>

namespace marrowtune {

class MainWindow;

/// The events a unit of the window can raise.
enum class UnitEvent {
    Created,            ///< the window has been created and is not shown yet
    AboutToBeDestroyed, ///< the window is closing for good
    Clicked,            ///< a push button was clicked
    RightClicked,       ///< the right mouse button was clicked in a list
    Chosen,             ///< a menu item was chosen
};

/// An operation started by an event; it runs on the window's thread and blocks the window.
using EventHandler = void (*)(MainWindow& window);

/// One row of the event table: the unit's template name, its event, the operation.
struct EventBinding {
    QStringView unit;
    UnitEvent event;
    EventHandler handler;
};

/// The template name of the window itself.
inline constexpr QStringView WindowUnitName = u"MainWindow";

/// The rows of the main window's event table. No other event has a handler: a left click or a
/// double click on a list row only selects it.
std::span<const EventBinding> mainWindowEvents();

} // namespace marrowtune
// SPDX-License-Identifier: MIT
