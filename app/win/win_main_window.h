// SPDX-License-Identifier: MIT
#pragma once
// The program's one window on Windows: Win32 controls made from the generated layout, the
// shared event table's dispatch, and the controls behind SearchView.

#include "app/event_rows.h"
#include "app/handler_runs.h"
#include "app/result_actions.h"
#include "app/win/win_desktop.h"
#include "search/search_context.h"
#include "search/search_view.h"

#include <array>
#include <memory>
#include <optional>
#include <span>
#include <string_view>
#include <vector>
#include <windows.h>

namespace marrowtune {

class ScriptComponent;
class Win32MainWindow;
namespace win {
class AccessibleAnnotations;
}

/// One row of the Win32 window's event table.
using Win32EventRow = EventRow<Win32MainWindow, std::u16string_view>;

/// The rows of the Win32 window's event table: the shared rows.
std::span<const Win32EventRow> win32MainWindowEvents();

/// The main window: the units of its layout (found by template name), the event table's
/// dispatch, the waiting model while a handler runs, and the controls behind SearchView.
class Win32MainWindow final : public SearchView, public ListMenuHost, public SearchContextHolder {
public:
    /// Creates the window, hidden, from the layout and binds the event rows; null when a row
    /// names a unit the layout lacks or an event the unit cannot raise, or the system refuses
    /// a window. Without a script component, added code is refused.
    static std::unique_ptr<Win32MainWindow> create(std::span<const Win32EventRow> events,
                                                   std::unique_ptr<ScriptComponent> script);
    ~Win32MainWindow() override;
    Win32MainWindow(const Win32MainWindow&) = delete;
    Win32MainWindow& operator=(const Win32MainWindow&) = delete;

    /// The window's handle; null once it has been destroyed.
    HWND handle() const { return m_window; }
    /// The control of a template name; null when the layout has none.
    HWND unit(std::u16string_view name) const;
    /// Raises the created event; the program does this once, before the window is first shown.
    void raiseCreated();
    /// Shows the window and puts the focus in the keyword box.
    void show();
    /// Runs the message loop until the window has been destroyed; returns the exit status.
    int runMessageLoop();
    /// The dots per inch the window is laid out for: the template's pixels are at 96.
    int dpi() const { return m_dpi; }
    /// The desktop facilities the handlers use.
    Win32Desktop& desktop();
    /// Replaces the desktop facilities (tests).
    void setDesktop(std::unique_ptr<Win32Desktop> desktop);

    // SearchView
    Text keywordText() const override;
    Text qqNumberText() const override;
    void deleteAllRows() override;
    int insertRow() override;
    void setCellText(int row, int column, const Text& text) override;
    Text cellText(int row, int column) const override;
    int rowCount() const override;
    int selectedRow() const override;
    void setPageLabel(const Text& text) override;
    Text pageLabel() const override;
    void setPreviousPageEnabled(bool enabled) override;
    void setNextPageEnabled(bool enabled) override;
    bool previousPageEnabled() const override;
    bool nextPageEnabled() const override;
    Text menuItemCaption(MenuItem item) const override;
    void setMenuItemCaption(MenuItem item, const Text& caption) override;
    void setMenuItemVisible(MenuItem item, bool visible) override;
    bool menuItemVisible(MenuItem item) const override;
    void processPendingEvents() override;
    ScriptComponent& scriptComponent() override;

    // ListMenuHost
    int windowLeftEdge() const override;
    int listLeftEdge() const override;
    std::array<int, 3> columnEdges() const override;
    std::optional<ListMenuPlace> keyboardMenuPlace() const override;
    void popUpListMenu(ScreenPoint at) override;

private:
    struct BoundEvent {
        int unit; // control or menu item id; 0 for the window
        UnitEvent event;
        void (*handler)(Win32MainWindow& window);
    };

    Win32MainWindow();
    bool createControls();
    void nameForScreenReaders();
    bool bindEvents(std::span<const Win32EventRow> events);
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK listProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam,
                                     UINT_PTR id, DWORD_PTR self);
    LRESULT handleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handleListMessage(UINT message, WPARAM wParam, LPARAM lParam);
    bool translateAccelerator(const MSG& message);
    void raiseEvent(int unit, UnitEvent event);
    void beginHandlers();
    void endHandlers();
    void pumpMessages();
    void close();
    void showListMenuForFocusedRow();
    int currentRow() const;
    void setCurrentColumn(int column);
    void paintCurrentCell(HRGN area);
    void keepHorizontalScroll();
    void moveFocusOffBeforeDisabling(HWND button);
    void applyDpi(int dpi, const RECT* suggested);
    int scaled(int pixels) const;
    SIZE frameSize() const;
    void popUpMenuNow();
    HWND control(int index) const;

    HWND m_window = nullptr;
    HFONT m_font = nullptr;
    HICON m_bigIcon = nullptr;
    HICON m_smallIcon = nullptr;
    int m_dpi = 96;
    std::vector<HWND> m_controls; // one per layout control, in layout order
    HWND m_keywordBox = nullptr;
    HWND m_qqNumberBox = nullptr;
    HWND m_list = nullptr;
    HWND m_pageLabel = nullptr;
    HWND m_searchButton = nullptr;
    HWND m_queryButton = nullptr;
    HWND m_previousPage = nullptr;
    HWND m_nextPage = nullptr;
    int m_listLeftEdge = 0;
    int m_currentColumn = 0;               // the list's current cell, in the current row
    std::optional<int> m_rightClickScroll; // the list's sideways scroll when a right click began
    HWND m_savedFocus = nullptr;           // the control that had the focus when the window lost it
    std::vector<std::array<Text, 4>> m_cells; // the list's text as GBK, as it was set
    Text m_pageLabelText;
    std::array<Text, 3> m_menuCaptions;
    std::array<bool, 3> m_menuVisible{true, true, true};
    ScreenPoint m_menuAt;
    std::unique_ptr<ScriptComponent> m_script; // 脚本组件1: no window of its own
    std::unique_ptr<win::AccessibleAnnotations> m_annotations;
    std::unique_ptr<Win32Desktop> m_desktop;
    std::vector<BoundEvent> m_events;
    std::optional<ListMenuPlace> m_keyboardMenuPlace; // set while the keyboard opens the menu
    HandlerRuns m_handlerRuns;
};

} // namespace marrowtune
