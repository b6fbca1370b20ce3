// SPDX-License-Identifier: MIT
#pragma once
// The Qt main window's event table: the shared rows, keyed by Qt strings.

#include "app/event_rows.h"

#include <QStringView>

#include <span>

namespace marrowtune {

class MainWindow;

/// An operation started by an event; it runs on the window's thread and blocks the window.
using EventHandler = void (*)(MainWindow& window);

/// One row of the event table: the unit's template name, its event, the operation.
using EventBinding = EventRow<MainWindow, QStringView>;

/// The template name of the window itself.
inline constexpr QStringView WindowUnitName = MainWindowUnitName;

/// The rows of the main window's event table.
std::span<const EventBinding> mainWindowEvents();

} // namespace marrowtune
