// SPDX-License-Identifier: MIT
#include "app/win/win_main_window.h"

#include "app/win/main_window_layout.h"
#include "app/win/win_text.h"
#include "search/script_component.h"
#include "search/search_session.h"
#include "search/song_record.h"

#include <algorithm>
#include <commctrl.h>
#include <utility>

namespace marrowtune {

namespace {

using win::MainWindowControls;
using win::MainWindowLayout;
using win::MainWindowListColumns;
using win::MainWindowMenuItems;
using win::MainWindowTabOrder;

constexpr wchar_t WindowClassName[] = L"MarrowtuneMainWindow";
// Posted by popUpListMenu: the menu pops up once the handler that asked for it has returned.
constexpr UINT PopUpMenuMessage = WM_APP + 1;

// The window's component when no script host was handed in: it refuses every code text, so
// the rewriting calls give empty text and the window runs on without the script.
class NoScriptComponent final : public ScriptComponent {
public:
    bool addCode(const Text&) override { return false; }
    Text run(const Text&, const Text&) override { return {}; }
};

int controlIndex(std::u16string_view name)
{
    const auto* found =
        std::find_if(std::begin(MainWindowControls), std::end(MainWindowControls),
                     [&](const win::ControlLayout& control) { return control.name == name; });
    return found == std::end(MainWindowControls)
               ? -1
               : static_cast<int>(found - std::begin(MainWindowControls));
}

const win::MenuItemLayout* menuItemLayout(std::u16string_view name)
{
    const auto* found =
        std::find_if(std::begin(MainWindowMenuItems), std::end(MainWindowMenuItems),
                     [&](const win::MenuItemLayout& item) { return item.name == name; });
    return found == std::end(MainWindowMenuItems) ? nullptr : found;
}

std::wstring windowText(HWND window)
{
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

bool isPushButton(const win::ControlLayout& control)
{
    return std::wstring_view(control.windowClass) == L"Button" &&
           (control.style & BS_TYPEMASK) == BS_PUSHBUTTON;
}

// Clicks and keys aimed at the window or its controls; the frame's own messages (moving the
// window, its close button) are not among them.
bool isInputTo(HWND window, const MSG& message)
{
    const bool input = (message.message >= WM_KEYFIRST && message.message <= WM_KEYLAST) ||
                       (message.message >= WM_MOUSEFIRST && message.message <= WM_MOUSELAST);
    return input && (message.hwnd == window || IsChild(window, message.hwnd));
}

} // namespace

std::span<const Win32EventRow> win32MainWindowEvents()
{
    return MainWindowEventRows<Win32MainWindow, std::u16string_view>;
}

Win32MainWindow::Win32MainWindow() = default;

Win32MainWindow::~Win32MainWindow()
{
    if (m_window != nullptr) {
        SetWindowLongPtrW(m_window, GWLP_USERDATA, 0);
        DestroyWindow(m_window);
    }
    if (m_font != nullptr) {
        DeleteObject(m_font);
    }
}

std::unique_ptr<Win32MainWindow> Win32MainWindow::create(std::span<const Win32EventRow> events,
                                                         std::unique_ptr<ScriptComponent> script)
{
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    if (GetClassInfoExW(instance, WindowClassName, &windowClass) == FALSE) {
        windowClass.lpfnWndProc = &Win32MainWindow::windowProc;
        windowClass.hInstance = instance;
        windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        windowClass.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
        windowClass.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
        windowClass.lpszClassName = WindowClassName;
        if (RegisterClassExW(&windowClass) == 0) {
            return nullptr;
        }
    }

    std::unique_ptr<Win32MainWindow> window(new Win32MainWindow);
    // A fixed frame with caption, system menu, minimise and close: no maximise button and no
    // sizing border, so the layout's client size stays as it is.
    const DWORD style = MainWindowLayout.fixedSize
                            ? WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX
                            : WS_OVERLAPPEDWINDOW;
    RECT frame{0, 0, MainWindowLayout.clientWidth, MainWindowLayout.clientHeight};
    AdjustWindowRectEx(&frame, style, FALSE, 0);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    // Centred in the work area; the layout's own position is not used.
    RECT area{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    const int left =
        static_cast<int>(area.left) + std::max<int>(0, (area.right - area.left - width) / 2);
    const int top =
        static_cast<int>(area.top) + std::max<int>(0, (area.bottom - area.top - height) / 2);
    if (CreateWindowExW(0, WindowClassName, MainWindowLayout.caption, style, left, top, width,
                        height, nullptr, nullptr, instance, window.get()) == nullptr ||
        !window->createControls() || !window->bindEvents(events)) {
        return nullptr;
    }
    window->m_script = script ? std::move(script) : std::make_unique<NoScriptComponent>();
    window->m_desktop = makeSystemWin32Desktop(window->m_window);
    return window;
}

HWND Win32MainWindow::control(int index) const
{
    return index < 0 ? nullptr : m_controls.at(static_cast<std::size_t>(index));
}

HWND Win32MainWindow::unit(std::u16string_view name) const
{
    return control(controlIndex(name));
}

bool Win32MainWindow::createControls()
{
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) {
        m_font = CreateFontIndirectW(&metrics.lfMessageFont);
    }
    // Every control is a child of the window itself, at its place in the window's client area:
    // a group box that parented controls would receive their notifications instead.
    for (const win::ControlLayout& layout : MainWindowControls) {
        const win::LayoutRect& at = layout.inWindow;
        HWND control = CreateWindowExW(layout.exStyle, layout.windowClass, layout.caption,
                                       layout.style, at.x, at.y, at.width, at.height, m_window,
                                       reinterpret_cast<HMENU>(static_cast<INT_PTR>(layout.id)),
                                       instance, nullptr);
        if (control == nullptr) {
            return false;
        }
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(m_font), FALSE);
        if (std::wstring_view(layout.windowClass) == L"Edit") {
            SendMessageW(control, EM_SETLIMITTEXT, 0, 0); // no length limit, as the template says
        }
        if (layout.listExStyle != 0) {
            SendMessageW(control, LVM_SETEXTENDEDLISTVIEWSTYLE, layout.listExStyle,
                         layout.listExStyle);
        }
        m_controls.push_back(control);
    }
    for (const win::ListColumnLayout& column : MainWindowListColumns) {
        HWND list = unit(column.list);
        if (list == nullptr) {
            return false;
        }
        const int count = Header_GetItemCount(ListView_GetHeader(list));
        LVCOLUMNW item{};
        item.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
        item.fmt = LVCFMT_LEFT;
        item.cx = column.width;
        item.pszText = const_cast<wchar_t*>(column.caption);
        SendMessageW(list, LVM_INSERTCOLUMNW, static_cast<WPARAM>(count),
                     reinterpret_cast<LPARAM>(&item));
    }
    // The tab order is the template's: the controls it names go first in the window's z-order,
    // in its order; the group boxes go last, so they never paint over what they frame.
    HWND previous = HWND_TOP;
    for (const int index : MainWindowTabOrder) {
        SetWindowPos(control(index), previous, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        previous = control(index);
    }
    for (std::size_t i = 0; i < m_controls.size(); ++i) {
        if ((MainWindowControls[i].style & BS_TYPEMASK) == BS_GROUPBOX &&
            std::wstring_view(MainWindowControls[i].windowClass) == L"Button") {
            SetWindowPos(m_controls[i], HWND_BOTTOM, 0, 0, 0, 0,
                         SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        }
    }
    for (std::size_t i = 0; i < m_menuCaptions.size() && i < std::size(MainWindowMenuItems); ++i) {
        m_menuCaptions[i] = win::gbkFromWide(MainWindowMenuItems[i].caption);
    }

    m_keywordBox = unit(u"编辑框1");
    m_qqNumberBox = unit(u"编辑框2");
    m_list = unit(u"超级列表框1");
    m_pageLabel = unit(u"透明标签3");
    m_searchButton = unit(u"按钮1");
    m_queryButton = unit(u"按钮2");
    m_previousPage = unit(u"按钮_上一页");
    m_nextPage = unit(u"按钮_下一页");
    const int listIndex = controlIndex(u"超级列表框1");
    if (!(m_keywordBox && m_qqNumberBox && m_list && m_pageLabel && m_searchButton &&
          m_queryButton && m_previousPage && m_nextPage &&
          std::size(MainWindowMenuItems) == m_menuCaptions.size() &&
          Header_GetItemCount(ListView_GetHeader(m_list)) == ColumnCount)) {
        return false;
    }
    m_listLeftEdge = MainWindowControls[static_cast<std::size_t>(listIndex)].inParent.x;
    m_pageLabelText = win::gbkFromWide(windowText(m_pageLabel));
    return true;
}

bool Win32MainWindow::bindEvents(std::span<const Win32EventRow> events)
{
    for (const Win32EventRow& row : events) {
        if (row.handler == nullptr) {
            return false;
        }
        int id = -1;
        const int index = controlIndex(row.unit);
        switch (row.event) {
        case UnitEvent::Created:
        case UnitEvent::AboutToBeDestroyed:
            id = row.unit == MainWindowLayout.name ? 0 : -1;
            break;
        case UnitEvent::Clicked:
            if (index >= 0 && isPushButton(MainWindowControls[static_cast<std::size_t>(index)])) {
                id = MainWindowControls[static_cast<std::size_t>(index)].id;
            }
            break;
        case UnitEvent::RightClicked:
            if (index >= 0 && control(index) == m_list) {
                id = MainWindowControls[static_cast<std::size_t>(index)].id;
            }
            break;
        case UnitEvent::Chosen:
            if (const win::MenuItemLayout* item = menuItemLayout(row.unit)) {
                id = item->id;
            }
            break;
        }
        if (id < 0) {
            return false;
        }
        m_events.push_back({id, row.event, row.handler});
    }
    return true;
}

LRESULT CALLBACK Win32MainWindow::windowProc(HWND window, UINT message, WPARAM wParam,
                                             LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        auto* self = static_cast<Win32MainWindow*>(create->lpCreateParams);
        self->m_window = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<Win32MainWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self == nullptr) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    return self->handleMessage(message, wParam, lParam);
}

LRESULT Win32MainWindow::handleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND:
        if (lParam == 0 && HIWORD(wParam) == 0) {
            raiseEvent(LOWORD(wParam), UnitEvent::Chosen); // a menu item
        } else if (lParam != 0 && HIWORD(wParam) == BN_CLICKED) {
            raiseEvent(LOWORD(wParam), UnitEvent::Clicked);
        }
        return 0;
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header->hwndFrom == m_list && header->code == NM_RCLICK) {
            // A right click below the last row clears the selection, whatever the list itself
            // does: otherwise the menu would act on a row the user did not click.
            if (reinterpret_cast<const NMITEMACTIVATE*>(lParam)->iItem < 0) {
                ListView_SetItemState(m_list, -1, 0, LVIS_SELECTED);
            }
            raiseEvent(GetDlgCtrlID(m_list), UnitEvent::RightClicked);
            return 0;
        }
        break;
    }
    case WM_CONTEXTMENU:
        // The menu key and Shift+F10 on the list (a right click came as NM_RCLICK already).
        if (reinterpret_cast<HWND>(wParam) == m_list && lParam == -1) {
            showListMenuForFocusedRow();
            return 0;
        }
        break;
    case PopUpMenuMessage:
        popUpMenuNow();
        return 0;
    case WM_SETCURSOR:
        if (m_handlerRuns.running()) {
            SetCursor(LoadCursorW(nullptr, IDC_WAIT));
            return TRUE;
        }
        break;
    case WM_CLOSE:
        close();
        return 0;
    case WM_DESTROY:
        m_window = nullptr;
        PostQuitMessage(0);
        return 0;
    default:
        break;
    }
    return DefWindowProcW(m_window, message, wParam, lParam);
}

void Win32MainWindow::close()
{
    if (m_handlerRuns.deferClose()) {
        // The window goes at once; the about-to-be-destroyed event follows once the handler
        // has unwound.
        ShowWindow(m_window, SW_HIDE);
        return;
    }
    if (m_handlerRuns.ending()) {
        raiseEvent(0, UnitEvent::AboutToBeDestroyed);
    }
    if (m_window != nullptr) {
        DestroyWindow(m_window);
    }
}

void Win32MainWindow::raiseEvent(int unit, UnitEvent event)
{
    for (std::size_t i = 0; i < m_events.size(); ++i) {
        const BoundEvent bound = m_events[i];
        if (bound.unit != unit || bound.event != event) {
            continue;
        }
        m_handlerRuns.run([this] { beginHandlers(); }, [&] { bound.handler(*this); },
                          [this] { endHandlers(); });
    }
    // The window closed while a handler ran: its about-to-be-destroyed event comes now.
    if (m_handlerRuns.deferredCloseDue()) {
        raiseEvent(0, UnitEvent::AboutToBeDestroyed);
        if (m_window != nullptr) {
            DestroyWindow(m_window);
        }
    }
}

// The first handler starts: the busy cursor shows and requests wait in pumpMessages.
void Win32MainWindow::beginHandlers()
{
    SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    setSearchWaitHook([this] {
        // Once the user has closed the window, every request the handler still makes ends at
        // once.
        if (m_handlerRuns.closeRequested()) {
            cancelSearchRequests();
        }
        pumpMessages();
    });
}

void Win32MainWindow::endHandlers()
{
    setSearchWaitHook({});
    SetCursor(LoadCursorW(nullptr, IDC_ARROW));
}

void Win32MainWindow::pumpMessages()
{
    // While a handler runs the window still repaints and can be moved, but the clicks and keys
    // aimed at it are dropped, not queued and replayed into the controls once the handler is
    // done. Esc cancels the request being waited on.
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(message.wParam)); // for the message loop
            return;
        }
        if (m_handlerRuns.running() && m_window != nullptr && isInputTo(m_window, message)) {
            if (message.message == WM_KEYDOWN && message.wParam == VK_ESCAPE) {
                cancelSearchRequests();
            }
            continue;
        }
        if (!translateAccelerator(message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
}

bool Win32MainWindow::translateAccelerator(const MSG& message)
{
    if (m_window == nullptr) {
        return false;
    }
    // Enter in an edit box presses the button beside it.
    if (message.message == WM_KEYDOWN && message.wParam == VK_RETURN) {
        if (message.hwnd == m_keywordBox || message.hwnd == m_qqNumberBox) {
            SendMessageW(message.hwnd == m_keywordBox ? m_searchButton : m_queryButton, BM_CLICK, 0,
                         0);
            return true;
        }
    }
    // Tab and Shift+Tab move between the controls in the template's order.
    return IsDialogMessageW(m_window, const_cast<MSG*>(&message)) != FALSE;
}

int Win32MainWindow::runMessageLoop()
{
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (!translateAccelerator(message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    return 0;
}

void Win32MainWindow::raiseCreated()
{
    raiseEvent(0, UnitEvent::Created);
}

void Win32MainWindow::show()
{
    ShowWindow(m_window, SW_SHOWNORMAL);
    UpdateWindow(m_window);
    // Typing right after start goes into the keyword box.
    SetFocus(m_keywordBox);
}

Win32Desktop& Win32MainWindow::desktop()
{
    return *m_desktop;
}

void Win32MainWindow::setDesktop(std::unique_ptr<Win32Desktop> desktop)
{
    m_desktop = std::move(desktop);
}

Text Win32MainWindow::keywordText() const
{
    return win::gbkFromWide(windowText(m_keywordBox));
}

Text Win32MainWindow::qqNumberText() const
{
    return win::gbkFromWide(windowText(m_qqNumberBox));
}

void Win32MainWindow::deleteAllRows()
{
    ListView_DeleteAllItems(m_list);
    m_cells.clear();
}

int Win32MainWindow::insertRow()
{
    const int row = static_cast<int>(m_cells.size());
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = row;
    item.pszText = const_cast<wchar_t*>(L"");
    SendMessageW(m_list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
    m_cells.emplace_back();
    return row;
}

void Win32MainWindow::setCellText(int row, int column, const Text& text)
{
    if (row < 0 || row >= rowCount() || column < 0 || column >= ColumnCount) {
        return;
    }
    // The list keeps the GBK text as it was set: a round trip through UTF-16 could change
    // bytes that are not GBK characters.
    m_cells[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)] = text;
    std::wstring wide = win::wideFromGbk(text);
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = wide.data();
    SendMessageW(m_list, LVM_SETITEMTEXTW, static_cast<WPARAM>(row),
                 reinterpret_cast<LPARAM>(&item));
}

Text Win32MainWindow::cellText(int row, int column) const
{
    if (row < 0 || row >= rowCount() || column < 0 || column >= ColumnCount) {
        return {};
    }
    return m_cells[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)];
}

int Win32MainWindow::rowCount() const
{
    return static_cast<int>(m_cells.size());
}

int Win32MainWindow::selectedRow() const
{
    return ListView_GetNextItem(m_list, -1, LVNI_SELECTED);
}

void Win32MainWindow::setPageLabel(const Text& text)
{
    m_pageLabelText = text;
    SetWindowTextW(m_pageLabel, win::wideFromGbk(text).c_str());
}

Text Win32MainWindow::pageLabel() const
{
    return m_pageLabelText;
}

void Win32MainWindow::setPreviousPageEnabled(bool enabled)
{
    EnableWindow(m_previousPage, enabled ? TRUE : FALSE);
}

void Win32MainWindow::setNextPageEnabled(bool enabled)
{
    EnableWindow(m_nextPage, enabled ? TRUE : FALSE);
}

bool Win32MainWindow::previousPageEnabled() const
{
    return IsWindowEnabled(m_previousPage) != FALSE;
}

bool Win32MainWindow::nextPageEnabled() const
{
    return IsWindowEnabled(m_nextPage) != FALSE;
}

Text Win32MainWindow::menuItemCaption(MenuItem item) const
{
    return m_menuCaptions.at(static_cast<std::size_t>(item));
}

void Win32MainWindow::setMenuItemCaption(MenuItem item, const Text& caption)
{
    m_menuCaptions.at(static_cast<std::size_t>(item)) = caption;
}

void Win32MainWindow::setMenuItemVisible(MenuItem item, bool visible)
{
    m_menuVisible.at(static_cast<std::size_t>(item)) = visible;
}

bool Win32MainWindow::menuItemVisible(MenuItem item) const
{
    return m_menuVisible.at(static_cast<std::size_t>(item));
}

void Win32MainWindow::processPendingEvents()
{
    pumpMessages();
}

ScriptComponent& Win32MainWindow::scriptComponent()
{
    return *m_script;
}

int Win32MainWindow::windowLeftEdge() const
{
    RECT frame{};
    GetWindowRect(m_window, &frame);
    return frame.left;
}

int Win32MainWindow::listLeftEdge() const
{
    // In its template parent's client area, as the template places it.
    return m_listLeftEdge;
}

std::array<int, 3> Win32MainWindow::columnEdges() const
{
    // Where the columns end now, widened, narrowed or scrolled as the user left them: the
    // header scrolls with the list, so its items' right edges are in the list's coordinates.
    HWND header = ListView_GetHeader(m_list);
    std::array<int, 3> edges{};
    for (int column = 0; column < static_cast<int>(edges.size()); ++column) {
        RECT item{};
        Header_GetItemRect(header, column, &item);
        edges[static_cast<std::size_t>(column)] = ColumnEdgeMargin + item.right;
    }
    return edges;
}

std::optional<ListMenuPlace> Win32MainWindow::keyboardMenuPlace() const
{
    return m_keyboardMenuPlace;
}

void Win32MainWindow::showListMenuForFocusedRow()
{
    // A list view has no current column: the menu is for the focused row's first cell.
    int row = ListView_GetNextItem(m_list, -1, LVNI_FOCUSED);
    if (row < 0) {
        row = selectedRow();
    }
    POINT at{0, 0};
    if (row >= 0) {
        ListView_EnsureVisible(m_list, row, FALSE);
        RECT cell{};
        ListView_GetItemRect(m_list, row, &cell, LVIR_LABEL);
        at = {cell.left, cell.bottom};
    }
    ClientToScreen(m_list, &at);
    m_keyboardMenuPlace = ListMenuPlace{0, {at.x, at.y}};
    raiseEvent(GetDlgCtrlID(m_list), UnitEvent::RightClicked);
    m_keyboardMenuPlace.reset();
}

void Win32MainWindow::popUpListMenu(ScreenPoint at)
{
    m_menuAt = at;
    PostMessageW(m_window, PopUpMenuMessage, 0, 0);
}

void Win32MainWindow::popUpMenuNow()
{
    // Win32 menus have no hidden items: the menu is made afresh with the visible ones.
    HMENU menu = CreatePopupMenu();
    int shown = 0;
    for (std::size_t i = 0; i < m_menuCaptions.size(); ++i) {
        if (m_menuVisible[i]) {
            AppendMenuW(menu, MF_STRING, static_cast<UINT_PTR>(MainWindowMenuItems[i].id),
                        win::wideFromGbk(m_menuCaptions[i]).c_str());
            ++shown;
        }
    }
    if (shown > 0) {
        m_desktop->popUpMenu(menu, m_window, m_menuAt);
    }
    DestroyMenu(menu);
}

} // namespace marrowtune
