// SPDX-License-Identifier: MIT
#pragma once
// The Win32 window's desktop: the shared facilities plus popping up a Win32 menu.

#include "app/result_actions.h"

#include <memory>
#include <windows.h>

namespace marrowtune {

/// The desktop facilities of the Win32 window.
class Win32Desktop : public Desktop {
public:
    /// Pops the menu up at a screen position for the owner window, which receives the chosen
    /// item as WM_COMMAND once the menu has closed.
    virtual void popUpMenu(HMENU menu, HWND owner, ScreenPoint at) = 0;
};

/// The system's cursor, clipboard (CF_UNICODETEXT and CF_TEXT, owned by `clipboardOwner`), browser
/// opener (ShellExecuteW "open") and popup menus (TrackPopupMenu).
std::unique_ptr<Win32Desktop> makeSystemWin32Desktop(HWND clipboardOwner);

} // namespace marrowtune
