// SPDX-License-Identifier: MIT
#pragma once
// The shapes of the Win32 window's layout, which the build generates from the window's Designer
// template (see ui_to_win32.py).

#include <windows.h>
// After windows.h: the list view styles the layout names.
#include <commctrl.h>
#include <string_view>

namespace marrowtune::win {

/// A rectangle in pixels: left, top, width, height.
struct LayoutRect {
    int x;
    int y;
    int width;
    int height;
};

/// The window itself: its template name, caption, client size and whether that size is fixed.
struct WindowLayout {
    std::u16string_view name;
    const wchar_t* caption;
    int clientWidth;
    int clientHeight;
    bool fixedSize;
};

/// One control: template name, Win32 window class, id, caption, rectangle in its template
/// parent and in the window's client area, window styles, extended window styles, the list
/// view's extended styles (0 for other classes), and the index of its template parent (-1 for
/// the window).
struct ControlLayout {
    std::u16string_view name;
    const wchar_t* windowClass;
    int id;
    const wchar_t* caption;
    LayoutRect inParent;
    LayoutRect inWindow;
    DWORD style;
    DWORD exStyle;
    DWORD listExStyle;
    int parent;
};

/// One column of a list: the list's template name, the header caption, the width.
struct ListColumnLayout {
    std::u16string_view list;
    const wchar_t* caption;
    int width;
};

/// One item of the popup menu: its template name, command id and caption.
struct MenuItemLayout {
    std::u16string_view name;
    int id;
    const wchar_t* caption;
};

} // namespace marrowtune::win
