// SPDX-License-Identifier: MIT
#include "app/win/win_main_window.h"

#include "app/win/main_window_layout.h"
#include "app/win/win_text.h"
#include "search/script_component.h"
#include "search/search_session.h"
#include "search/song_record.h"

#include <algorithm>
#include <commctrl.h>
#include <oleacc.h>
#include <utility>
#include <windowsx.h>

namespace marrowtune {

namespace win {

// Names and descriptions that screen readers hear for controls whose own text does not say
// what they are, through the system's Dynamic Annotation (the system keeps them with the
// control). Where the system has none, controls keep the names it gives them.
class AccessibleAnnotations {
public:
    AccessibleAnnotations()
    {
        static constexpr GUID ServicesClass{
            0xb5f8350b, 0x0548, 0x48b1, {0xa6, 0xee, 0x88, 0xbd, 0x00, 0xb4, 0xa5, 0xe7}};
        static constexpr GUID ServicesInterface{
            0x6e26e776, 0x04f0, 0x495d, {0x80, 0xe4, 0x33, 0x30, 0x35, 0x2e, 0x31, 0x69}};
        m_comStarted = SUCCEEDED(CoInitialize(nullptr));
        if (FAILED(CoCreateInstance(ServicesClass, nullptr, CLSCTX_INPROC_SERVER, ServicesInterface,
                                    reinterpret_cast<void**>(&m_services)))) {
            m_services = nullptr;
        }
    }
    ~AccessibleAnnotations()
    {
        if (m_services != nullptr) {
            m_services->Release();
        }
        if (m_comStarted) {
            CoUninitialize();
        }
    }
    AccessibleAnnotations(const AccessibleAnnotations&) = delete;
    AccessibleAnnotations& operator=(const AccessibleAnnotations&) = delete;

    void setName(HWND control, const std::wstring& name) { set(control, Name, name); }
    void setDescription(HWND control, const std::wstring& text) { set(control, Description, text); }

    // Forgets what was set for a control that goes away.
    void clear(HWND control)
    {
        if (m_services != nullptr) {
            MSAAPROPID properties[] = {Name, Description};
            m_services->ClearHwndProps(control, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF,
                                       properties, static_cast<int>(std::size(properties)));
        }
    }

private:
    static constexpr GUID Name{
        0x608d3df8, 0x8128, 0x4aa7, {0xa4, 0x28, 0xf5, 0x5e, 0x49, 0x26, 0x72, 0x91}};
    static constexpr GUID Description{
        0x4d48dfe4, 0xbd3f, 0x491f, {0xa6, 0x48, 0x49, 0x2d, 0x6f, 0x20, 0xc5, 0x88}};

    void set(HWND control, const GUID& property, const std::wstring& text)
    {
        if (m_services != nullptr) {
            m_services->SetHwndPropStr(control, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF,
                                       property, text.c_str());
        }
    }

    IAccPropServices* m_services = nullptr;
    bool m_comStarted = false;
};

} // namespace win

namespace {

using win::MainWindowControls;
using win::MainWindowLayout;
using win::MainWindowListColumns;
using win::MainWindowMenuItems;
using win::MainWindowTabOrder;

constexpr wchar_t WindowClassName[] = L"MarrowtuneMainWindow";
// Posted by popUpListMenu: the menu pops up once the handler that asked for it has returned.
constexpr UINT PopUpMenuMessage = WM_APP + 1;
constexpr UINT_PTR ListSubclassId = 1;

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

bool isPushButton(HWND window)
{
    wchar_t name[16] = {};
    GetClassNameW(window, name, static_cast<int>(std::size(name)));
    return std::wstring_view(name) == L"Button" &&
           (GetWindowLongPtrW(window, GWL_STYLE) & BS_TYPEMASK) == BS_PUSHBUTTON;
}

// The per-monitor DPI calls of Windows 10 (1607 on), bound by name: older systems lay the
// window out for the system's DPI.
struct DpiCalls {
    UINT(WINAPI* dpiForWindow)(HWND) = nullptr;
    BOOL(WINAPI* adjustWindowRectExForDpi)(RECT*, DWORD, BOOL, DWORD, UINT) = nullptr;
    BOOL(WINAPI* systemParametersInfoForDpi)(UINT, UINT, void*, UINT, UINT) = nullptr;
    int(WINAPI* systemMetricsForDpi)(int, UINT) = nullptr;
};

template <typename Function> void bind(HMODULE module, const char* name, Function& function)
{
    // GetProcAddress gives an untyped address; the declaration above gives the real type.
    function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

const DpiCalls& dpiCalls()
{
    static const DpiCalls calls = [] {
        DpiCalls bound;
        if (HMODULE user = GetModuleHandleW(L"user32.dll")) {
            bind(user, "GetDpiForWindow", bound.dpiForWindow);
            bind(user, "AdjustWindowRectExForDpi", bound.adjustWindowRectExForDpi);
            bind(user, "SystemParametersInfoForDpi", bound.systemParametersInfoForDpi);
            bind(user, "GetSystemMetricsForDpi", bound.systemMetricsForDpi);
        }
        return bound;
    }();
    return calls;
}

int systemDpi()
{
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : 96;
}

int windowDpi(HWND window)
{
    const UINT dpi = dpiCalls().dpiForWindow ? dpiCalls().dpiForWindow(window) : 0;
    return dpi > 0 ? static_cast<int>(dpi) : systemDpi();
}

int systemMetric(int index, int dpi)
{
    return dpiCalls().systemMetricsForDpi
               ? dpiCalls().systemMetricsForDpi(index, static_cast<UINT>(dpi))
               : MulDiv(GetSystemMetrics(index), dpi, systemDpi());
}

// The system's message font (the default GUI font) at a DPI.
HFONT messageFont(int dpi)
{
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    if (dpiCalls().systemParametersInfoForDpi &&
        dpiCalls().systemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0,
                                              static_cast<UINT>(dpi))) {
        return CreateFontIndirectW(&metrics.lfMessageFont);
    }
    if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) {
        return nullptr;
    }
    metrics.lfMessageFont.lfHeight = MulDiv(metrics.lfMessageFont.lfHeight, dpi, systemDpi());
    return CreateFontIndirectW(&metrics.lfMessageFont);
}

// The program's icon (resource 1) at a size; the stock one when the program has none.
HICON programIcon(int size)
{
    auto* icon = static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1),
                                               IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
    return icon != nullptr ? icon : LoadIconW(nullptr, IDI_APPLICATION);
}

// What a screen reader says of the page label: "第 1 页，共 2 页" for "1/2".
std::wstring pageDescription(const std::wstring& label)
{
    const std::size_t slash = label.find(L'/');
    if (slash == std::wstring::npos) {
        return label;
    }
    return L"第 " + label.substr(0, slash) + L" 页，共 " + label.substr(slash + 1) + L" 页";
}

// Puts `control` right above `below` in the z-order.
void placeJustBefore(HWND control, HWND below)
{
    HWND previous = GetWindow(below, GW_HWNDPREV);
    SetWindowPos(control, previous != nullptr ? previous : HWND_TOP, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

int horizontalScroll(HWND list)
{
    SCROLLINFO info{sizeof(info), SIF_POS, 0, 0, 0, 0, 0};
    GetScrollInfo(list, SB_HORZ, &info);
    return info.nPos;
}

} // namespace

std::span<const Win32EventRow> win32MainWindowEvents()
{
    return MainWindowEventRows<Win32MainWindow, std::u16string_view>;
}

Win32MainWindow::Win32MainWindow() = default;

Win32MainWindow::~Win32MainWindow()
{
    if (m_annotations) {
        for (HWND control : m_controls) {
            m_annotations->clear(control);
        }
    }
    if (m_window != nullptr) {
        SetWindowLongPtrW(m_window, GWLP_USERDATA, 0);
        DestroyWindow(m_window);
    }
    if (m_font != nullptr) {
        DeleteObject(m_font);
    }
    for (HICON icon : {m_bigIcon, m_smallIcon}) {
        if (icon != nullptr) {
            DestroyIcon(icon);
        }
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
        windowClass.hIcon = programIcon(GetSystemMetrics(SM_CXICON));
        windowClass.hIconSm = programIcon(GetSystemMetrics(SM_CXSMICON));
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
    // Made at the template's size, then laid out for the DPI of the monitor it is on and
    // centred there.
    if (CreateWindowExW(0, WindowClassName, MainWindowLayout.caption, style, 0, 0,
                        MainWindowLayout.clientWidth, MainWindowLayout.clientHeight, nullptr,
                        nullptr, instance, window.get()) == nullptr ||
        !window->createControls() || !window->bindEvents(events)) {
        return nullptr;
    }
    window->applyDpi(windowDpi(window->m_window), nullptr);
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
        if (std::wstring_view(layout.windowClass) == L"Edit") {
            SendMessageW(control, EM_SETLIMITTEXT, 0, 0); // no length limit, as the template says
        }
        if (std::wstring_view(layout.windowClass) == WC_LISTVIEWW) {
            // A cell cut off with "..." shows its whole text as a tooltip.
            const DWORD extended = layout.listExStyle | LVS_EX_LABELTIP | LVS_EX_INFOTIP;
            SendMessageW(control, LVM_SETEXTENDEDLISTVIEWSTYLE, extended, extended);
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
    SetWindowSubclass(m_list, &Win32MainWindow::listProc, ListSubclassId,
                      reinterpret_cast<DWORD_PTR>(this));
    m_pageLabelText = win::gbkFromWide(windowText(m_pageLabel));
    nameForScreenReaders();
    return true;
}

void Win32MainWindow::nameForScreenReaders()
{
    // An edit box is named by the label just above it in the z-order (the tab order skips the
    // labels); the names are also set outright, as are the list's (its group box's title) and
    // the page label's name and description.
    m_annotations = std::make_unique<win::AccessibleAnnotations>();
    const std::pair<HWND, HWND> labelled[] = {{unit(u"透明标签1"), m_keywordBox},
                                              {unit(u"透明标签2"), m_qqNumberBox}};
    for (const auto& [label, box] : labelled) {
        if (label != nullptr) {
            placeJustBefore(label, box);
            m_annotations->setName(box, windowText(label));
        }
    }
    if (HWND box = unit(u"分组框2")) {
        m_annotations->setName(m_list, windowText(box));
    }
    m_annotations->setName(m_pageLabel, L"页码");
    m_annotations->setDescription(m_pageLabel, pageDescription(windowText(m_pageLabel)));
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
    if (message == WM_NCDESTROY) {
        // The window's last message: nothing reaches the object after it.
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        self = nullptr;
    }
    if (self == nullptr) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    return self->handleMessage(window, message, wParam, lParam);
}

LRESULT Win32MainWindow::handleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
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
            // The columns stay where the user saw them: the menu's column comes from them.
            keepHorizontalScroll();
            // A right click below the last row clears the selection, whatever the list itself
            // does: otherwise the menu would act on a row the user did not click.
            const int row = reinterpret_cast<const NMITEMACTIVATE*>(lParam)->iItem;
            if (row < 0) {
                ListView_SetItemState(m_list, -1, 0, LVIS_SELECTED);
            }
            raiseEvent(GetDlgCtrlID(m_list), UnitEvent::RightClicked);
            return 0;
        }
        break;
    }
    case WM_CONTEXTMENU:
        // The menu key and Shift+F10 on the list (a right click came as NM_RCLICK already). The
        // point is two 16-bit -1s, which is not the whole parameter's -1 on 64-bit Windows.
        if (reinterpret_cast<HWND>(wParam) == m_list && GET_X_LPARAM(lParam) == -1 &&
            GET_Y_LPARAM(lParam) == -1) {
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
    case WM_DPICHANGED:
        // Moved to a monitor of another DPI, or its scale changed: laid out again for it.
        applyDpi(HIWORD(wParam), reinterpret_cast<const RECT*>(lParam));
        return 0;
    case WM_GETMINMAXINFO:
        // The window keeps the layout's size at any DPI, even where that is larger than the
        // screen, rather than cut its controls off.
        if (!m_controls.empty()) {
            auto* limits = reinterpret_cast<MINMAXINFO*>(lParam);
            const SIZE frame = frameSize();
            limits->ptMaxTrackSize.x = std::max<LONG>(limits->ptMaxTrackSize.x, frame.cx);
            limits->ptMaxTrackSize.y = std::max<LONG>(limits->ptMaxTrackSize.y, frame.cy);
            return 0;
        }
        break;
    case WM_ACTIVATE:
        // The focus comes back to the control that had it when the user switched away.
        if (LOWORD(wParam) == WA_INACTIVE) {
            if (HWND focus = GetFocus(); focus != nullptr && IsChild(window, focus)) {
                m_savedFocus = focus;
            }
        } else if (HIWORD(wParam) == 0 && m_savedFocus != nullptr && IsWindow(m_savedFocus) &&
                   IsWindowEnabled(m_savedFocus) && IsWindowVisible(m_savedFocus)) {
            SetFocus(m_savedFocus);
            return 0;
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
    return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT CALLBACK Win32MainWindow::listProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam,
                                           UINT_PTR /*id*/, DWORD_PTR self)
{
    if (message == WM_NCDESTROY) {
        RemoveWindowSubclass(list, &Win32MainWindow::listProc, ListSubclassId);
        return DefSubclassProc(list, message, wParam, lParam);
    }
    return reinterpret_cast<Win32MainWindow*>(self)->handleListMessage(message, wParam, lParam);
}

LRESULT Win32MainWindow::handleListMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_KEYDOWN:
        // Left and Right move the current cell inside the current row, the cell the menu key
        // acts on; the list itself would scroll sideways instead.
        if ((wParam == VK_LEFT || wParam == VK_RIGHT) && rowCount() > 0) {
            setCurrentColumn(m_currentColumn + (wParam == VK_LEFT ? -1 : 1));
            return 0;
        }
        break;
    case WM_SETFOCUS: {
        // Focus entering the list with no row selected selects the current (or first) row, so
        // the menu key has a cell to act on.
        const LRESULT result = DefSubclassProc(m_list, message, wParam, lParam);
        if (selectedRow() < 0 && rowCount() > 0) {
            const int row = std::max(currentRow(), 0);
            ListView_SetItemState(m_list, row, LVIS_SELECTED | LVIS_FOCUSED,
                                  LVIS_SELECTED | LVIS_FOCUSED);
        }
        ListView_RedrawItems(m_list, currentRow(), currentRow());
        return result;
    }
    case WM_KILLFOCUS:
        ListView_RedrawItems(m_list, currentRow(), currentRow());
        break;
    case WM_RBUTTONDOWN: {
        // The list scrolls a partly hidden row into view on a right click; the columns stay.
        m_rightClickScroll = horizontalScroll(m_list);
        const LRESULT result = DefSubclassProc(m_list, message, wParam, lParam);
        keepHorizontalScroll();
        m_rightClickScroll.reset();
        return result;
    }
    case WM_PAINT: {
        // The current cell wears a focus frame inside the selected row, drawn over whatever
        // colours the row has; only where this paint drew, since the frame inverts.
        HRGN area = CreateRectRgn(0, 0, 0, 0);
        const bool clipped = GetUpdateRgn(m_list, area, FALSE) != ERROR;
        const LRESULT result = DefSubclassProc(m_list, message, wParam, lParam);
        if (clipped) {
            paintCurrentCell(area);
        }
        DeleteObject(area);
        return result;
    }
    default:
        break;
    }
    return DefSubclassProc(m_list, message, wParam, lParam);
}

int Win32MainWindow::scaled(int pixels) const
{
    return MulDiv(pixels, m_dpi, 96);
}

SIZE Win32MainWindow::frameSize() const
{
    const auto style = static_cast<DWORD>(GetWindowLongPtrW(m_window, GWL_STYLE));
    RECT frame{0, 0, scaled(MainWindowLayout.clientWidth), scaled(MainWindowLayout.clientHeight)};
    if (dpiCalls().adjustWindowRectExForDpi) {
        dpiCalls().adjustWindowRectExForDpi(&frame, style, FALSE, 0, static_cast<UINT>(m_dpi));
    } else {
        AdjustWindowRectEx(&frame, style, FALSE, 0);
    }
    return {frame.right - frame.left, frame.bottom - frame.top};
}

void Win32MainWindow::applyDpi(int dpi, const RECT* suggested)
{
    // The template's rectangles, column widths and the font are for 96 DPI; at any other DPI
    // they are scaled, never the window stretched as a bitmap.
    m_dpi = dpi > 0 ? dpi : 96;
    HFONT previousFont = nullptr;
    if (HFONT font = messageFont(m_dpi)) {
        previousFont = std::exchange(m_font, font);
    }
    for (std::size_t i = 0; i < m_controls.size(); ++i) {
        const win::LayoutRect& at = MainWindowControls[i].inWindow;
        SendMessageW(m_controls[i], WM_SETFONT, reinterpret_cast<WPARAM>(m_font), FALSE);
        SetWindowPos(m_controls[i], nullptr, scaled(at.x), scaled(at.y), scaled(at.width),
                     scaled(at.height), SWP_NOZORDER | SWP_NOACTIVATE);
    }
    for (std::size_t i = 0; i < std::size(MainWindowListColumns); ++i) {
        ListView_SetColumnWidth(m_list, static_cast<int>(i),
                                scaled(MainWindowListColumns[i].width));
    }
    for (auto [icon, metric] : {std::pair{&m_bigIcon, SM_CXICON}, {&m_smallIcon, SM_CXSMICON}}) {
        HICON fresh = programIcon(systemMetric(metric, m_dpi));
        SendMessageW(m_window, WM_SETICON, metric == SM_CXICON ? ICON_BIG : ICON_SMALL,
                     reinterpret_cast<LPARAM>(fresh));
        if (*icon != nullptr) {
            DestroyIcon(*icon);
        }
        *icon = fresh;
    }

    const SIZE frame = frameSize();
    const int width = frame.cx;
    const int height = frame.cy;
    int left = 0;
    int top = 0;
    if (suggested != nullptr) {
        left = suggested->left;
        top = suggested->top;
    } else {
        // Centred in the work area; the template's own position is not used.
        MONITORINFO monitor{};
        monitor.cbSize = sizeof(monitor);
        RECT area{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
        if (GetMonitorInfoW(MonitorFromWindow(m_window, MONITOR_DEFAULTTOPRIMARY), &monitor)) {
            area = monitor.rcWork;
        }
        left = static_cast<int>(area.left) + std::max<int>(0, (area.right - area.left - width) / 2);
        top = static_cast<int>(area.top) + std::max<int>(0, (area.bottom - area.top - height) / 2);
    }
    SetWindowPos(m_window, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    RedrawWindow(m_window, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
    if (previousFont != nullptr) {
        DeleteObject(previousFont); // no control uses it any more
    }
}

int Win32MainWindow::currentRow() const
{
    return ListView_GetNextItem(m_list, -1, LVNI_FOCUSED);
}

void Win32MainWindow::setCurrentColumn(int column)
{
    m_currentColumn = std::clamp(column, 0, ColumnCount - 1);
    const int row = currentRow();
    if (row >= 0) {
        // The whole cell comes into view: the list scrolls sideways as little as it must.
        RECT cell{};
        ListView_GetSubItemRect(m_list, row, m_currentColumn, LVIR_BOUNDS, &cell);
        if (m_currentColumn == 0) {
            cell.right = cell.left + ListView_GetColumnWidth(m_list, 0);
        }
        RECT client{};
        GetClientRect(m_list, &client);
        int dx = 0;
        if (cell.right > client.right) {
            dx = cell.right - client.right;
        }
        if (cell.left + dx < client.left) {
            dx = cell.left - client.left;
        }
        if (dx != 0) {
            ListView_Scroll(m_list, dx, 0);
        }
        ListView_RedrawItems(m_list, row, row);
        UpdateWindow(m_list);
    }
}

void Win32MainWindow::paintCurrentCell(HRGN area)
{
    const int row = currentRow();
    if (row < 0 || GetFocus() != m_list) {
        return;
    }
    RECT cell{};
    ListView_GetSubItemRect(m_list, row, m_currentColumn, LVIR_BOUNDS, &cell);
    if (m_currentColumn == 0) {
        // The first column's bounds are the whole row's.
        cell.right = cell.left + ListView_GetColumnWidth(m_list, 0);
    }
    InflateRect(&cell, -1, -1);
    HDC dc = GetDC(m_list);
    SelectClipRgn(dc, area);
    SetTextColor(dc, RGB(0, 0, 0));
    SetBkColor(dc, RGB(255, 255, 255));
    DrawFocusRect(dc, &cell);
    ReleaseDC(m_list, dc);
}

void Win32MainWindow::keepHorizontalScroll()
{
    if (m_rightClickScroll) {
        const int moved = horizontalScroll(m_list) - *m_rightClickScroll;
        if (moved != 0) {
            ListView_Scroll(m_list, -moved, 0);
        }
    }
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
        // Once the user has cancelled the work or closed the window, every request the handler
        // still makes ends at once.
        m_handlerRuns.requestWaits();
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
    // done. Esc cancels the work under way, whether its request is open yet or not.
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(message.wParam)); // for the message loop
            return;
        }
        if (m_handlerRuns.running() && m_window != nullptr && isInputTo(m_window, message)) {
            if (message.message == WM_KEYDOWN && message.wParam == VK_ESCAPE) {
                m_handlerRuns.cancel();
            }
            // Alt+F4 closes the window as its close button does: the wait ends at once.
            if (message.message == WM_SYSKEYDOWN && message.wParam == VK_F4) {
                close();
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
    if (message.message == WM_KEYDOWN && message.wParam == VK_RETURN) {
        // Enter in an edit box clicks the button beside it; the focus stays in the box.
        if (message.hwnd == m_keywordBox || message.hwnd == m_qqNumberBox) {
            HWND button = message.hwnd == m_keywordBox ? m_searchButton : m_queryButton;
            if (IsWindowEnabled(button)) {
                SendMessageW(m_window, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED),
                             reinterpret_cast<LPARAM>(button));
            }
            return true;
        }
        // Enter on a focused button presses it, as Space does.
        if (IsChild(m_window, message.hwnd) && isPushButton(message.hwnd)) {
            SendMessageW(message.hwnd, BM_CLICK, 0, 0);
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
    // Typing right after start replaces the preset keyword.
    SetFocus(m_keywordBox);
    Edit_SetSel(m_keywordBox, 0, -1);
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
    m_currentColumn = 0;
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
    const std::wstring wide = win::wideFromGbk(text);
    SetWindowTextW(m_pageLabel, wide.c_str());
    m_annotations->setDescription(m_pageLabel, pageDescription(wide));
}

Text Win32MainWindow::pageLabel() const
{
    return m_pageLabelText;
}

void Win32MainWindow::moveFocusOffBeforeDisabling(HWND button)
{
    // A disabled control keeps no focus and Windows hands it to nobody: the keyboard would be
    // dead. The focus goes on to the next control in the tab order.
    if (GetFocus() == button) {
        if (HWND next = GetNextDlgTabItem(m_window, button, FALSE); next && next != button) {
            SetFocus(next);
        } else {
            SetFocus(m_keywordBox);
        }
    }
}

void Win32MainWindow::setPreviousPageEnabled(bool enabled)
{
    if (!enabled) {
        moveFocusOffBeforeDisabling(m_previousPage);
    }
    EnableWindow(m_previousPage, enabled ? TRUE : FALSE);
}

void Win32MainWindow::setNextPageEnabled(bool enabled)
{
    if (!enabled) {
        moveFocusOffBeforeDisabling(m_nextPage);
    }
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
    // In its template parent's client area, as the template places it, at the window's DPI.
    return scaled(m_listLeftEdge);
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
        edges[static_cast<std::size_t>(column)] = scaled(ColumnEdgeMargin) + item.right;
    }
    return edges;
}

std::optional<ListMenuPlace> Win32MainWindow::keyboardMenuPlace() const
{
    return m_keyboardMenuPlace;
}

void Win32MainWindow::showListMenuForFocusedRow()
{
    // The menu is for the current cell, which Left and Right move, and pops up at it.
    int row = currentRow();
    if (row < 0) {
        row = selectedRow();
    }
    POINT at{0, 0};
    if (row >= 0) {
        ListView_EnsureVisible(m_list, row, FALSE);
        RECT cell{};
        ListView_GetSubItemRect(m_list, row, m_currentColumn, LVIR_LABEL, &cell);
        at = {cell.left, cell.bottom};
    }
    ClientToScreen(m_list, &at);
    m_keyboardMenuPlace = ListMenuPlace{m_currentColumn, {at.x, at.y}};
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
