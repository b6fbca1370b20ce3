// SPDX-License-Identifier: MIT
#include "app/event_table.h"

#include "app/main_window.h"

namespace marrowtune {

std::span<const EventBinding> mainWindowEvents()
{
    return MainWindowEventRows<MainWindow, QStringView>;
}

} // namespace marrowtune
