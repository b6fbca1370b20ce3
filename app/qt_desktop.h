// SPDX-License-Identifier: MIT
#pragma once
// The Qt window's desktop: the shared facilities plus popping up a Qt menu.

#include "app/result_actions.h"

#include <QPoint>

#include <memory>

class QMenu;

namespace marrowtune {

/// The desktop facilities of the Qt window.
class QtDesktop : public Desktop {
public:
    /// Pops the menu up at a screen position; the chosen item's action is triggered once the
    /// menu has closed.
    virtual void popUpMenu(QMenu& menu, QPoint at) = 0;
};

/// The system's cursor, clipboard, browser opener and popup menus.
std::unique_ptr<QtDesktop> makeSystemDesktop();

} // namespace marrowtune
