// SPDX-License-Identifier: MIT
#include "app/win/main_window_layout.h"
#include "app/win/win_main_window.h"
#include "marrowtune/config.h"
#include "platform/system_classes.h"
#include "search/rewrite.h"
#include "search/script_control_component.h"
#include "search/stamps_testing.h"
#include "tests/support/gbk.h"
#include "tests/support/loopback_server.h"
#include "tests/support/wine.h"
#include "tools/sample-service/sample_service.h"

#include <array>
#include <commctrl.h>
#include <functional>
#include <gtest/gtest.h>
#include <oleacc.h>
#include <shlwapi.h>
#include <string>
#include <utility>
#include <vector>

namespace marrowtune {
namespace {

using test::gbk;

// A desktop that records instead of acting: no test opens a browser or waits on a menu.
class RecordingDesktop final : public Win32Desktop {
public:
    struct Popup {
        ScreenPoint at;
        std::vector<std::pair<int, std::wstring>> items; // id and caption, in menu order
    };

    ScreenPoint cursorPosition() const override { return cursor; }
    void setClipboardText(const Text& text) override { clipboard.push_back(text); }
    void openUrl(const Text& url) override { opened.push_back(url); }
    void popUpMenu(HMENU menu, HWND, ScreenPoint at) override
    {
        Popup popup{at, {}};
        for (int i = 0; i < GetMenuItemCount(menu); ++i) {
            wchar_t caption[256] = {};
            GetMenuStringW(menu, static_cast<UINT>(i), caption, 256, MF_BYPOSITION);
            popup.items.emplace_back(static_cast<int>(GetMenuItemID(menu, i)), caption);
        }
        popups.push_back(popup);
    }

    ScreenPoint cursor;
    std::vector<Text> clipboard;
    std::vector<Text> opened;
    std::vector<Popup> popups;
};

std::wstring textOf(HWND window)
{
    wchar_t text[256] = {};
    GetWindowTextW(window, text, 256);
    return text;
}

std::wstring classOf(HWND window)
{
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

RECT clientRectOf(HWND control)
{
    RECT rect{};
    GetWindowRect(control, &rect);
    MapWindowPoints(HWND_DESKTOP, GetParent(control), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

// The text a list or header message writes into the buffer it is given with `item`.
template <typename Item> std::wstring itemText(HWND control, UINT message, int index, Item item)
{
    wchar_t text[512] = {};
    item.pszText = text;
    item.cchTextMax = 512;
    SendMessageW(control, message, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
    return text;
}

std::wstring listText(HWND list, int row, int column)
{
    LVITEMW item{};
    item.iSubItem = column;
    return itemText(list, LVM_GETITEMTEXTW, row, item);
}

// A right click on the list, on row `item` (-1: below the last row), as the list reports it.
void rightClick(Win32MainWindow& window, HWND list, int item = 0)
{
    NMITEMACTIVATE click{};
    click.hdr = {list, static_cast<UINT_PTR>(GetDlgCtrlID(list)), NM_RCLICK};
    click.iItem = item;
    SendMessageW(window.handle(), WM_NOTIFY, click.hdr.idFrom, reinterpret_cast<LPARAM>(&click));
}

void choose(Win32MainWindow& window, int menuItemId)
{
    SendMessageW(window.handle(), WM_COMMAND, static_cast<WPARAM>(menuItemId), 0);
}

// A window that has been destroyed leaves the quit message for the message loop: taken away
// here, as it would keep every later test's timers and paints from being dispatched.
void forgetQuitMessage()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
}

class WinMainWindowTest : public testing::Test {
protected:
    void SetUp() override
    {
        m_window = Win32MainWindow::create(win32MainWindowEvents(), nullptr);
        ASSERT_NE(m_window, nullptr);
        auto desktop = std::make_unique<RecordingDesktop>();
        m_desktop = desktop.get();
        m_window->setDesktop(std::move(desktop));
        m_window->show();
        m_window->processPendingEvents();
    }

    void TearDown() override
    {
        m_window.reset();
        forgetQuitMessage();
    }

    HWND unit(std::u16string_view name) const { return m_window->unit(name); }

    std::unique_ptr<Win32MainWindow> m_window;
    RecordingDesktop* m_desktop = nullptr;
};

// Catches a generator that loses a template parent's offset, a caption, a class or a state, or
// a window that can be resized or maximised.
TEST_F(WinMainWindowTest, ControlsFollowTheTemplate)
{
    const struct {
        std::u16string_view name;
        std::wstring windowClass;
        std::wstring caption;
        RECT rect;
        bool enabled;
    } cases[] = {
        {u"分组框1", L"Button", L"搜索", {2, 6, 754, 56}, true},
        {u"编辑框1", L"Edit", L"累死爱情", {136, 16, 280, 48}, true},
        {u"按钮1", L"Button", L"搜索", {284, 17, 364, 49}, true},
        {u"透明标签2", L"Static", L"QQ背景音乐查询", {391, 16, 488, 48}, true},
        {u"按钮3", L"Button", L"换肤", {672, 16, 744, 48}, true},
        {u"分组框2", L"Button", L"搜索结果", {2, 56, 760, 400}, true},
        {u"超级列表框1", L"SysListView32", L"", {10, 72, 752, 360}, true},
        {u"透明标签3", L"Static", L"0/0", {376, 365, 415, 397}, true},
        {u"按钮_上一页", L"Button", L"上一页", {249, 365, 329, 397}, false},
    };
    for (const auto& c : cases) {
        const HWND control = unit(c.name);
        ASSERT_NE(control, nullptr) << test::utf8(gbk(c.name));
        EXPECT_EQ(classOf(control), c.windowClass);
        EXPECT_EQ(textOf(control), c.caption);
        const RECT rect = clientRectOf(control);
        EXPECT_EQ((std::vector<LONG>{rect.left, rect.top, rect.right, rect.bottom}),
                  (std::vector<LONG>{c.rect.left, c.rect.top, c.rect.right, c.rect.bottom}))
            << test::utf8(gbk(c.name));
        EXPECT_EQ(IsWindowEnabled(control) != FALSE, c.enabled);
    }
    RECT client{};
    GetClientRect(m_window->handle(), &client);
    EXPECT_EQ(client.right, 760);
    EXPECT_EQ(client.bottom, 427);
    const LONG_PTR style = GetWindowLongPtrW(m_window->handle(), GWL_STYLE);
    EXPECT_EQ(style & (WS_THICKFRAME | WS_MAXIMIZEBOX), 0);
    EXPECT_EQ(textOf(m_window->handle()), L"Marrowtune");
    // Typing at start replaces the preset keyword.
    EXPECT_EQ(GetFocus(), unit(u"编辑框1"));
    DWORD start = 1;
    DWORD end = 0;
    SendMessageW(unit(u"编辑框1"), EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                 reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(std::make_pair(start, end), std::make_pair(DWORD{0}, DWORD{4}));
}

// Catches text cut off at some DPI (a font scaled but not its control, or the other way round),
// a layout not scaled from the template's 96 DPI when the window moves to another monitor, and
// the menu's column edges or the list's left edge left at 96 DPI.
TEST_F(WinMainWindowTest, LayoutScalesWithTheDpiAndCutsNothingOff)
{
    const HWND window = m_window->handle();
    const HWND list = unit(u"超级列表框1");
    const std::u16string_view captioned[] = {u"透明标签1",   u"透明标签2",  u"透明标签3",
                                             u"按钮1",       u"按钮2",      u"按钮3",
                                             u"按钮_上一页", u"按钮_下一页"};
    const struct {
        int dpi;
        RECT keywordBox; // in the client area
        int columnWidth;
        std::array<int, 3> edges;
        int listLeftEdge;
    } cases[] = {
        {144, {204, 24, 420, 72}, 225, {228, 453, 678}, 12},
        {120, {170, 20, 350, 60}, 188, {191, 379, 567}, 10},
        {96, {136, 16, 280, 48}, 150, {152, 302, 452}, 8},
    };
    for (const auto& c : cases) {
        RECT suggested{10, 10, 10 + 760 * c.dpi / 96, 10 + 427 * c.dpi / 96};
        SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(c.dpi, c.dpi),
                     reinterpret_cast<LPARAM>(&suggested));
        EXPECT_EQ(m_window->dpi(), c.dpi);
        const RECT box = clientRectOf(unit(u"编辑框1"));
        EXPECT_EQ((std::vector<LONG>{box.left, box.top, box.right, box.bottom}),
                  (std::vector<LONG>{c.keywordBox.left, c.keywordBox.top, c.keywordBox.right,
                                     c.keywordBox.bottom}))
            << c.dpi;
        RECT client{};
        GetClientRect(window, &client);
        EXPECT_EQ(client.right, MulDiv(760, c.dpi, 96)) << c.dpi;
        EXPECT_EQ(ListView_GetColumnWidth(list, 3), MulDiv(280, c.dpi, 96)) << c.dpi;
        EXPECT_EQ(ListView_GetColumnWidth(list, 0), c.columnWidth) << c.dpi;
        EXPECT_EQ(m_window->columnEdges(), c.edges) << c.dpi;
        EXPECT_EQ(m_window->listLeftEdge(), c.listLeftEdge) << c.dpi;
        for (const std::u16string_view name : captioned) {
            const HWND control = unit(name);
            const std::wstring text = textOf(control);
            HDC dc = GetDC(control);
            auto* font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
            HGDIOBJ previous = SelectObject(dc, font);
            SIZE extent{};
            GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
            TEXTMETRICW metrics{};
            GetTextMetricsW(dc, &metrics);
            SelectObject(dc, previous);
            ReleaseDC(control, dc);
            RECT rect{};
            GetClientRect(control, &rect);
            EXPECT_LE(extent.cx, rect.right) << test::utf8(gbk(name)) << " at " << c.dpi;
            EXPECT_LE(extent.cy, rect.bottom) << test::utf8(gbk(name)) << " at " << c.dpi;
            // The font grows with the DPI (the system's message font is about 9 points).
            EXPECT_GE(metrics.tmHeight, 12 * c.dpi / 96)
                << test::utf8(gbk(name)) << " at " << c.dpi;
        }
    }
}

// Catches the program's icon, version information or manifest missing from its resources (the
// window's tests carry the program's): the icon's five 32-bit images, the project's version,
// the version 6 common controls, and the window class's big and small icons.
TEST(WinResourcesTest, IconVersionAndManifest)
{
    const HMODULE module = GetModuleHandleW(nullptr);
    HRSRC group = FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(14)); // RT_GROUP_ICON
    ASSERT_NE(group, nullptr);
    const auto* bytes = static_cast<const BYTE*>(LockResource(LoadResource(module, group)));
    const int count = bytes[4] | (bytes[5] << 8);
    std::vector<std::pair<int, int>> images; // size and bits per pixel
    for (int i = 0; i < count; ++i) {
        const BYTE* entry = bytes + 6 + 14 * i;
        images.emplace_back(entry[0], entry[6] | (entry[7] << 8));
    }
    EXPECT_EQ(images, (std::vector<std::pair<int, int>>{
                          {128, 32}, {64, 32}, {48, 32}, {32, 32}, {16, 32}}));

    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(module, path, MAX_PATH);
    std::vector<BYTE> info(GetFileVersionInfoSizeW(path, nullptr));
    ASSERT_FALSE(info.empty());
    ASSERT_TRUE(GetFileVersionInfoW(path, 0, static_cast<DWORD>(info.size()), info.data()));
    void* value = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(info.data(), L"\\StringFileInfo\\080404b0\\ProductVersion", &value,
                               &length));
    const std::string_view version = config::Version;
    EXPECT_EQ(std::wstring(static_cast<const wchar_t*>(value)),
              std::wstring(version.begin(), version.end()));
    ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", &value, &length));
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
    EXPECT_EQ(std::to_string(HIWORD(fixed->dwFileVersionMS)) + "." +
                  std::to_string(LOWORD(fixed->dwFileVersionMS)) + "." +
                  std::to_string(HIWORD(fixed->dwFileVersionLS)),
              version);

    HRSRC manifest = FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
    ASSERT_NE(manifest, nullptr);
    const std::string text(static_cast<const char*>(LockResource(LoadResource(module, manifest))),
                           SizeofResource(module, manifest));
    for (const char* part :
         {"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0", "level=\"asInvoker\"",
          "PerMonitorV2", "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"}) {
        EXPECT_NE(text.find(part), std::string::npos) << part;
    }
    // The manifest took effect: version 6 of the common controls is the one loaded.
    DLLVERSIONINFO loaded{sizeof(loaded), 0, 0, 0, 0};
    using GetVersion = HRESULT(CALLBACK*)(DLLVERSIONINFO*);
    const auto getVersion = reinterpret_cast<GetVersion>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"comctl32.dll"), "DllGetVersion")));
    ASSERT_NE(getVersion, nullptr);
    getVersion(&loaded);
    wchar_t dll[MAX_PATH] = {};
    GetModuleFileNameW(GetModuleHandleW(L"comctl32.dll"), dll, MAX_PATH);
    const std::wstring loadedFrom = dll;
    // Wine's version 6 (the common-controls assembly's) tells its version as 5.81.
    EXPECT_TRUE(loaded.dwMajorVersion == 6 ||
                (test::underWine() &&
                 loadedFrom.find(L"common-controls_6595b64144ccf1df_6.0") != std::wstring::npos))
        << loaded.dwMajorVersion;

    auto window = Win32MainWindow::create(win32MainWindowEvents(), nullptr);
    ASSERT_NE(window, nullptr);
    EXPECT_NE(GetClassLongPtrW(window->handle(), GCLP_HICON), 0);
    EXPECT_NE(GetClassLongPtrW(window->handle(), GCLP_HICONSM), 0);
    EXPECT_NE(GetClassLongPtrW(window->handle(), GCLP_HICON),
              reinterpret_cast<LONG_PTR>(LoadIconW(nullptr, IDI_APPLICATION)));
}

// Catches columns, grid lines or the report view's selection rules lost between the template
// and the list, and a tab order that is not the template's.
TEST_F(WinMainWindowTest, ListAndTabOrderFollowTheTemplate)
{
    const HWND list = unit(u"超级列表框1");
    const std::pair<std::wstring, int> columns[] = {
        {L"歌名", 150}, {L"歌手", 150}, {L"专辑", 150}, {L"链接地址", 280}};
    HWND header = ListView_GetHeader(list);
    ASSERT_EQ(Header_GetItemCount(header), 4);
    for (int i = 0; i < 4; ++i) {
        HDITEMW item{};
        item.mask = HDI_TEXT;
        EXPECT_EQ(std::make_pair(itemText(header, HDM_GETITEMW, i, item),
                                 ListView_GetColumnWidth(list, i)),
                  columns[i]);
    }
    // Cut-off cells show their whole text as a tooltip.
    const DWORD extended = ListView_GetExtendedListViewStyle(list);
    const DWORD wanted = LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT | LVS_EX_LABELTIP | LVS_EX_INFOTIP;
    EXPECT_EQ(extended & wanted, wanted);
    EXPECT_EQ(GetWindowLongPtrW(list, GWL_STYLE) & (LVS_TYPEMASK | LVS_SINGLESEL),
              LVS_REPORT | LVS_SINGLESEL);

    // The page buttons start disabled, so tabbing skips them.
    const std::u16string_view order[] = {u"编辑框1", u"按钮1", u"编辑框2",
                                         u"按钮2",   u"按钮3", u"超级列表框1"};
    for (std::size_t i = 0; i + 1 < std::size(order); ++i) {
        EXPECT_EQ(GetNextDlgTabItem(m_window->handle(), unit(order[i]), FALSE), unit(order[i + 1]))
            << i;
    }
}

// Catches rows that differ from the shared table, and rows naming a unit the layout lacks or
// an event the unit cannot raise being accepted silently.
TEST(WinMainWindowEventsTest, RowsAreTheSharedOnesAndUnfitRowsRefuseTheWindow)
{
    std::vector<std::pair<std::u16string_view, UnitEvent>> rows;
    for (const Win32EventRow& row : win32MainWindowEvents()) {
        rows.emplace_back(row.unit, row.event);
        EXPECT_NE(row.handler, nullptr);
    }
    const std::vector<std::pair<std::u16string_view, UnitEvent>> expected = {
        {u"MainWindow", UnitEvent::Created},  {u"MainWindow", UnitEvent::AboutToBeDestroyed},
        {u"按钮3", UnitEvent::Clicked},       {u"按钮1", UnitEvent::Clicked},
        {u"按钮2", UnitEvent::Clicked},       {u"按钮_上一页", UnitEvent::Clicked},
        {u"按钮_下一页", UnitEvent::Clicked}, {u"超级列表框1", UnitEvent::RightClicked},
        {u"复制", UnitEvent::Chosen},         {u"搜索", UnitEvent::Chosen},
        {u"在线试听", UnitEvent::Chosen},
    };
    EXPECT_EQ(rows, expected);

    const auto nothing = [](Win32MainWindow&) {};
    const Win32EventRow unfit[] = {
        {u"按钮9", UnitEvent::Clicked, nothing},        {u"透明标签1", UnitEvent::Clicked, nothing},
        {u"分组框1", UnitEvent::Clicked, nothing},      {u"按钮1", UnitEvent::Chosen, nothing},
        {u"复制", UnitEvent::Clicked, nothing},         {u"按钮1", UnitEvent::Created, nothing},
        {u"编辑框1", UnitEvent::RightClicked, nothing},
    };
    for (const Win32EventRow& row : unfit) {
        EXPECT_EQ(Win32MainWindow::create(std::span(&row, 1), nullptr), nullptr)
            << test::utf8(gbk(row.unit));
    }
}

// Catches a click, right click, menu choice, Enter in an edit box or on a button that does not
// reach its row, reaches it without the busy cursor, or takes the focus out of the edit box.
std::vector<std::u16string_view> raised;
bool busy = true;

void record(std::u16string_view unit)
{
    raised.push_back(unit);
    busy = busy && GetCursor() == LoadCursorW(nullptr, IDC_WAIT);
}

TEST(WinMainWindowDispatchTest, EachWayInReachesItsRowUnderTheBusyCursor)
{
    const HCURSOR wait = LoadCursorW(nullptr, IDC_WAIT);
    const Win32EventRow rows[] = {
        {u"按钮1", UnitEvent::Clicked, [](Win32MainWindow&) { record(u"按钮1"); }},
        {u"按钮2", UnitEvent::Clicked, [](Win32MainWindow&) { record(u"按钮2"); }},
        {u"按钮3", UnitEvent::Clicked, [](Win32MainWindow&) { record(u"按钮3"); }},
        {u"超级列表框1", UnitEvent::RightClicked, [](Win32MainWindow&) { record(u"超级列表框1"); }},
        {u"在线试听", UnitEvent::Chosen, [](Win32MainWindow&) { record(u"在线试听"); }},
    };
    auto window = Win32MainWindow::create(rows, nullptr);
    ASSERT_NE(window, nullptr);
    window->show();
    const HWND list = window->unit(u"超级列表框1");
    const auto enter = [&](std::u16string_view focused) {
        SetFocus(window->unit(focused));
        PostMessageW(window->unit(focused), WM_KEYDOWN, VK_RETURN, 0);
        window->processPendingEvents();
    };
    const struct {
        std::function<void()> act;
        std::u16string_view expected;
        std::u16string_view focusAfter; // empty: not looked at
    } cases[] = {
        {[&] { SendMessageW(window->unit(u"按钮1"), BM_CLICK, 0, 0); }, u"按钮1", u""},
        {[&] { rightClick(*window, list); }, u"超级列表框1", u""},
        {[&] { choose(*window, 2003); }, u"在线试听", u""},
        {[&] { enter(u"编辑框2"); }, u"按钮2", u"编辑框2"},
        {[&] { enter(u"编辑框1"); }, u"按钮1", u"编辑框1"},
        {[&] { enter(u"按钮3"); }, u"按钮3", u"按钮3"},
        {[&] { enter(u"按钮2"); }, u"按钮2", u"按钮2"},
    };
    for (const auto& c : cases) {
        raised.clear();
        c.act();
        EXPECT_EQ(raised, std::vector<std::u16string_view>{c.expected})
            << test::utf8(gbk(c.expected));
        if (!c.focusAfter.empty()) {
            EXPECT_EQ(GetFocus(), window->unit(c.focusAfter)) << test::utf8(gbk(c.expected));
        }
    }
    EXPECT_TRUE(busy);
    EXPECT_NE(GetCursor(), wait);
}

// Catches menu items shown or hidden against the rules, captions without the cell's text, a
// menu with no row selected or for a click below the rows, and the keyboard's menu not being
// for the focused row.
TEST_F(WinMainWindowTest, ListMenuShowsTheItemsTheCellAllows)
{
    const HWND list = unit(u"超级列表框1");
    const int row = m_window->insertRow();
    const Text cells[] = {gbk(u"累死爱情"), gbk(u"苏晚晴"), "", "http://m.example/1.mp3"};
    for (int column = 0; column < 4; ++column) {
        m_window->setCellText(row, column, cells[column]);
    }
    const int left = m_window->windowLeftEdge() + m_window->listLeftEdge();
    using Items = std::vector<std::pair<int, std::wstring>>;
    const struct {
        bool selected;
        int offset;  // -1: the menu key; -2: the menu key as 64-bit Windows sends it
        int clicked; // the row the click was on, -1 below the rows
        Items items;
    } cases[] = {
        {true, 20, 0, {{2001, L"复制(累死爱情)"}, {2002, L"搜索(累死爱情)"}, {2003, L"在线试听"}}},
        {true, 200, 0, {{2001, L"复制(苏晚晴)"}, {2002, L"搜索(苏晚晴)"}, {2003, L"在线试听"}}},
        {true, 350, 0, {{2002, L"搜索()"}, {2003, L"在线试听"}}},
        {true, 500, 0, {{2001, L"复制(http://m.example/1.mp3)"}, {2003, L"在线试听"}}},
        {true, -1, 0, {{2001, L"复制(累死爱情)"}, {2002, L"搜索(累死爱情)"}, {2003, L"在线试听"}}},
        {true, -2, 0, {{2001, L"复制(累死爱情)"}, {2002, L"搜索(累死爱情)"}, {2003, L"在线试听"}}},
        {false, 20, 0, {}},
        {true, 20, -1, {}},
    };
    for (const auto& c : cases) {
        ListView_SetItemState(list, row, c.selected ? LVIS_SELECTED | LVIS_FOCUSED : 0,
                              LVIS_SELECTED | LVIS_FOCUSED);
        m_desktop->popups.clear();
        m_desktop->cursor = {left + c.offset, 300};
        if (c.offset < 0) {
            SendMessageW(m_window->handle(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(list),
                         c.offset == -1 ? -1 : static_cast<LPARAM>(MAKELPARAM(0xFFFF, 0xFFFF)));
        } else {
            rightClick(*m_window, list, c.clicked);
        }
        m_window->processPendingEvents(); // the menu pops up once the handler has returned
        if (c.items.empty()) {
            EXPECT_TRUE(m_desktop->popups.empty());
            continue;
        }
        ASSERT_EQ(m_desktop->popups.size(), 1u) << c.offset;
        EXPECT_EQ(m_desktop->popups[0].items, c.items) << c.offset;
        if (c.offset >= 0) {
            EXPECT_EQ(m_desktop->popups[0].at, (ScreenPoint{left + c.offset + 3, 303}));
        }
    }
}

// Catches the copy and listen items or the window's closing not reaching the clipboard and
// the browser through the desktop, or reaching them with other text (a cell cut at its own ")").
TEST_F(WinMainWindowTest, MenuItemsAndClosingUseTheDesktop)
{
    const int row = m_window->insertRow();
    m_window->setCellText(row, 0, gbk(u"累死爱情 (Live)"));
    m_window->setCellText(row, 3, "http://m.example/1.mp3");
    ListView_SetItemState(unit(u"超级列表框1"), row, LVIS_SELECTED, LVIS_SELECTED);
    m_desktop->cursor = {m_window->windowLeftEdge() + m_window->listLeftEdge() + 20, 300};
    rightClick(*m_window, unit(u"超级列表框1"));
    m_window->processPendingEvents();

    choose(*m_window, 2001);
    EXPECT_EQ(m_desktop->clipboard, std::vector<Text>{gbk(u"累死爱情 (Live)")});
    choose(*m_window, 2003);
    SendMessageW(m_window->handle(), WM_CLOSE, 0, 0);
    const std::vector<Text> opened = {"http://" + std::string(config::ListenPageHost) +
                                          "/musci/mp3.html?url=http://m.example/1.mp3",
                                      std::string(config::AuthorPageUrl)};
    EXPECT_EQ(m_desktop->opened, opened);
    EXPECT_EQ(m_window->handle(), nullptr);
}

// Catches Tab into the list leaving no row for the menu key, Left and Right not moving the cell
// the menu acts on (or moving it out of the row), and the menu not popping up at that cell.
TEST_F(WinMainWindowTest, KeyboardMovesTheCurrentCellTheMenuActsOn)
{
    const HWND list = unit(u"超级列表框1");
    for (int i = 0; i < 2; ++i) {
        const int row = m_window->insertRow();
        m_window->setCellText(row, 0, gbk(i == 0 ? u"累死爱情" : u"慢慢喜欢你"));
        m_window->setCellText(row, 1, gbk(u"苏晚晴"));
        m_window->setCellText(row, 3, "http://m.example/1.mp3");
    }
    const auto key = [&](HWND to, WPARAM pressed) {
        PostMessageW(to, WM_KEYDOWN, pressed, 0);
        m_window->processPendingEvents();
    };
    SetFocus(unit(u"按钮3"));
    key(unit(u"按钮3"), VK_TAB);
    ASSERT_EQ(GetFocus(), list);
    EXPECT_EQ(m_window->selectedRow(), 0);

    using Items = std::vector<std::pair<int, std::wstring>>;
    const Items first = {{2001, L"复制(累死爱情)"}, {2002, L"搜索(累死爱情)"}, {2003, L"在线试听"}};
    const Items singer = {{2001, L"复制(苏晚晴)"}, {2002, L"搜索(苏晚晴)"}, {2003, L"在线试听"}};
    const Items link = {{2001, L"复制(http://m.example/1.mp3)"}, {2003, L"在线试听"}};
    const struct {
        std::vector<WPARAM> keys;
        Items items;
        int column;
    } cases[] = {
        {{}, first, 0},
        {{VK_RIGHT}, singer, 1},
        {{VK_RIGHT, VK_RIGHT}, link, 3},
        {{VK_RIGHT}, link, 3}, // stays in the row
        {{VK_LEFT, VK_LEFT}, singer, 1},
        {{VK_LEFT, VK_LEFT}, first, 0},
    };
    for (const auto& c : cases) {
        for (const WPARAM k : c.keys) {
            key(list, k);
        }
        m_desktop->popups.clear();
        // The menu key, as the list hands it to its parent.
        SendMessageW(list, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(list),
                     MAKELPARAM(0xFFFF, 0xFFFF));
        m_window->processPendingEvents();
        ASSERT_EQ(m_desktop->popups.size(), 1u) << c.column;
        EXPECT_EQ(m_desktop->popups[0].items, c.items) << c.column;
        RECT cell{};
        ListView_GetSubItemRect(list, 0, c.column, LVIR_LABEL, &cell);
        POINT at{cell.left, cell.bottom};
        ClientToScreen(list, &at);
        EXPECT_EQ(m_desktop->popups[0].at, (ScreenPoint{at.x, at.y})) << c.column;
    }
    EXPECT_EQ(GetScrollPos(list, SB_HORZ), 0);
}

// Catches a right click on a partly hidden row scrolling the columns sideways, so the menu's
// column is not the one under the pointer, and a real right click not reaching the menu. (Wine's
// list does not scroll sideways on a right click at all; the check holds on Windows.)
TEST_F(WinMainWindowTest, RightClickKeepsTheColumnsInPlace)
{
    const HWND list = unit(u"超级列表框1");
    for (int i = 0; i < 30; ++i) {
        const int row = m_window->insertRow();
        m_window->setCellText(row, 0, gbk(u"累死爱情"));
        m_window->setCellText(row, 3, "http://m.example/" + std::to_string(i) + ".mp3");
    }
    RECT cell{};
    ListView_GetSubItemRect(list, 2, 3, LVIR_BOUNDS, &cell);
    const LPARAM at = MAKELPARAM(cell.left + 20, (cell.top + cell.bottom) / 2);
    PostMessageW(list, WM_RBUTTONUP, 0, at);
    SendMessageW(list, WM_RBUTTONDOWN, MK_RBUTTON, at);
    m_window->processPendingEvents();
    EXPECT_EQ(GetScrollPos(list, SB_HORZ), 0);
    EXPECT_EQ(m_window->selectedRow(), 2);
    ASSERT_EQ(m_desktop->popups.size(), 1u);
}

// What a screen reader hears of a control: its name and description.
std::pair<std::wstring, std::wstring> heard(HWND control)
{
    IAccessible* accessible = nullptr;
    if (FAILED(AccessibleObjectFromWindow(control, static_cast<DWORD>(OBJID_CLIENT),
                                          __uuidof(IAccessible),
                                          reinterpret_cast<void**>(&accessible)))) {
        return {L"(none)", L"(none)"};
    }
    VARIANT self{};
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR name = nullptr;
    BSTR description = nullptr;
    accessible->get_accName(self, &name);
    accessible->get_accDescription(self, &description);
    std::pair<std::wstring, std::wstring> said{name != nullptr ? name : L"",
                                               description != nullptr ? description : L""};
    SysFreeString(name);
    SysFreeString(description);
    accessible->Release();
    return said;
}

// Catches edit boxes a screen reader hears without their labels' names, a list without a name,
// and a page label heard as "1/2" rather than as the page it says.
TEST_F(WinMainWindowTest, ScreenReadersHearNamesAndThePage)
{
    // The system's edit boxes are named by the label just above them in the z-order.
    EXPECT_EQ(GetWindow(unit(u"编辑框1"), GW_HWNDPREV), unit(u"透明标签1"));
    EXPECT_EQ(GetWindow(unit(u"编辑框2"), GW_HWNDPREV), unit(u"透明标签2"));
    m_window->setPageLabel("1/2");
    if (test::underWine()) {
        // Wine names no edit box by its label and has no Dynamic Annotation (E_NOTIMPL).
        return;
    }
    using Heard = std::pair<std::wstring, std::wstring>;
    const std::pair<std::u16string_view, Heard> cases[] = {
        {u"编辑框1", {L"歌名/歌手/专辑", L""}},
        {u"编辑框2", {L"QQ背景音乐查询", L""}},
        {u"超级列表框1", {L"搜索结果", L""}},
        {u"透明标签3", {L"页码", L"第 1 页，共 2 页"}},
    };
    for (const auto& [name, expected] : cases) {
        EXPECT_EQ(heard(unit(name)), expected) << test::utf8(gbk(name));
    }
}

// Catches a disabled page button or a switch to another window leaving the keyboard without a
// control to act on.
TEST_F(WinMainWindowTest, FocusIsNeverLost)
{
    const HWND next = unit(u"按钮_下一页");
    m_window->setNextPageEnabled(true);
    SetFocus(next);
    m_window->setNextPageEnabled(false);
    EXPECT_EQ(GetFocus(), unit(u"编辑框1")); // the next control in the tab order

    SetFocus(unit(u"编辑框2"));
    const HWND other = CreateWindowExW(0, L"Static", L"other", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0,
                                       0, 100, 100, nullptr, nullptr, nullptr, nullptr);
    SetActiveWindow(other);
    EXPECT_NE(GetFocus(), unit(u"编辑框2"));
    SetActiveWindow(m_window->handle());
    EXPECT_EQ(GetFocus(), unit(u"编辑框2"));
    DestroyWindow(other);
}

// Catches clipboard text that is not the program's GBK bytes as CF_TEXT, or Unicode text left
// to the system to make from them through the ANSI code page (wrong wherever that page is not
// GBK): the Unicode text is the first format on the clipboard, set by the program.
TEST_F(WinMainWindowTest, ClipboardTakesGbkBytesAsText)
{
    const std::unique_ptr<Win32Desktop> system = makeSystemWin32Desktop(m_window->handle());
    const std::pair<Text, std::wstring> cases[] = {
        {gbk(u"累死爱情"), L"累死爱情"}, {"http://m.example/1.mp3", L"http://m.example/1.mp3"}};
    for (const auto& [bytes, wide] : cases) {
        system->setClipboardText(bytes);
        ASSERT_TRUE(OpenClipboard(m_window->handle()));
        const auto* ansi = static_cast<const char*>(GlobalLock(GetClipboardData(CF_TEXT)));
        EXPECT_EQ(ansi != nullptr ? Text(ansi) : Text("(none)"), bytes);
        GlobalUnlock(GetClipboardData(CF_TEXT));
        const auto* unicode =
            static_cast<const wchar_t*>(GlobalLock(GetClipboardData(CF_UNICODETEXT)));
        EXPECT_EQ(unicode != nullptr ? std::wstring(unicode) : L"(none)", wide);
        GlobalUnlock(GetClipboardData(CF_UNICODETEXT));
        EXPECT_EQ(EnumClipboardFormats(0), UINT{CF_UNICODETEXT});
        CloseClipboard();
    }
}

// Catches the search button not wired to the keyword search, or the list, label and page
// buttons not showing what the sample service answered.
TEST(WinMainWindowSearchTest, SearchButtonFillsTheListFromTheSampleService)
{
    registerSystemClasses();
    sample::SampleService service;
    ASSERT_TRUE(service.start(0));
    auto window = Win32MainWindow::create(win32MainWindowEvents(),
                                          std::make_unique<ScriptControlComponent>());
    ASSERT_NE(window, nullptr);
    window->setDesktop(std::make_unique<RecordingDesktop>());
    window->searchContext().hosts.songSearchHost = service.hostAndPort();
    window->searchContext().hosts.zonePlaylistHost = service.hostAndPort();
    ASSERT_TRUE(loadRewriteScript(window->scriptComponent(), window->searchContext().hosts));
    window->show();

    const HWND list = window->unit(u"超级列表框1");
    SendMessageW(window->unit(u"按钮1"), BM_CLICK, 0, 0);
    EXPECT_EQ(ListView_GetItemCount(list), 20);
    EXPECT_EQ(textOf(window->unit(u"透明标签3")), L"1/2");
    EXPECT_FALSE(IsWindowEnabled(window->unit(u"按钮_上一页")));
    EXPECT_TRUE(IsWindowEnabled(window->unit(u"按钮_下一页")));
    EXPECT_EQ((std::vector<std::wstring>{listText(list, 0, 0), listText(list, 0, 1),
                                         listText(list, 0, 2), listText(list, 0, 3)}),
              (std::vector<std::wstring>{
                  L"累死爱情", L"苏晚晴", L"累死爱情",
                  L"http://" + std::wstring(config::MirrorHost.begin(), config::MirrorHost.end()) +
                      L"/mp3/11/30005000.mp3"}));

    SendMessageW(window->unit(u"按钮_下一页"), BM_CLICK, 0, 0);
    EXPECT_EQ(ListView_GetItemCount(list), 12);
    EXPECT_EQ(textOf(window->unit(u"透明标签3")), L"2/2");
    EXPECT_EQ(listText(list, 0, 0), L"慢慢喜欢你");
}

// The window with its search hosts on a loopback server that takes every request and never
// answers it; `whileWaiting` runs on the window's thread, from a timer, on each tick once the
// server has the request, until it returns true.
class WinWaitingTest : public testing::Test {
protected:
    void SetUp() override
    {
        registerSystemClasses();
        m_server.setResponse(test::ScriptedResponse::unanswered());
        ASSERT_TRUE(m_server.start());
        m_window = Win32MainWindow::create(win32MainWindowEvents(), nullptr);
        ASSERT_NE(m_window, nullptr);
        auto desktop = std::make_unique<RecordingDesktop>();
        m_desktop = desktop.get();
        m_window->setDesktop(std::move(desktop));
        m_window->searchContext().hosts.zonePlaylistHost =
            "127.0.0.1:" + std::to_string(m_server.port());
        m_window->show();
        m_window->processPendingEvents();
    }

    void TearDown() override
    {
        m_window.reset();
        forgetQuitMessage();
        m_server.stop();
    }

    // Presses 查询 and returns once its handler has ended.
    void queryWhileWaiting(std::function<bool()> step)
    {
        s_test = this;
        s_step = std::move(step);
        SetTimer(m_window->handle(), 1, 5, onTimer);
        SendMessageW(m_window->unit(u"按钮2"), BM_CLICK, 0, 0);
    }

    // A timer procedure of the system's calling convention (a lambda has the C one, which
    // differs on 32-bit Windows).
    static void CALLBACK onTimer(HWND window, UINT /*message*/, UINT_PTR id, DWORD /*time*/)
    {
        if (!s_test->m_server.requests().empty() && s_step()) {
            KillTimer(window, id);
        }
    }

    Text firstCell() const { return m_window->cellText(0, 0); }

    static inline WinWaitingTest* s_test = nullptr;
    static inline std::function<bool()> s_step;
    test::LoopbackServer m_server;
    std::unique_ptr<Win32MainWindow> m_window;
    RecordingDesktop* m_desktop = nullptr;
};

// Catches a window that does not paint during the wait, input typed or clicked during it that
// reaches the controls then or afterwards, and an Esc that does not end the wait as a failed
// request.
TEST_F(WinWaitingTest, WindowPaintsDropsInputAndEscEndsTheWait)
{
    const HWND qqBox = m_window->unit(u"编辑框2");
    const HWND label = m_window->unit(u"透明标签3");
    bool busy = false;
    bool painted = false;
    int tick = 0;
    queryWhileWaiting([&] {
        if (tick++ == 0) {
            busy = GetCursor() == LoadCursorW(nullptr, IDC_WAIT);
            InvalidateRect(label, nullptr, TRUE);
            PostMessageW(qqBox, WM_CHAR, L'7', 0);
            PostMessageW(m_window->unit(u"按钮1"), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
            PostMessageW(m_window->unit(u"按钮1"), WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
            return false;
        }
        RECT pending{};
        painted = GetUpdateRect(label, &pending, FALSE) == FALSE;
        PostMessageW(qqBox, WM_KEYDOWN, VK_ESCAPE, 0);
        return true;
    });
    m_window->processPendingEvents(); // anything held back would arrive now

    EXPECT_TRUE(busy);
    EXPECT_TRUE(painted);
    EXPECT_EQ(test::utf8(firstCell()), "网络出现问题了~");
    EXPECT_EQ(m_window->qqNumberText(), "271828182");
    EXPECT_EQ(m_server.requests().size(), 1U);
    EXPECT_TRUE(IsWindowVisible(m_window->handle()));
}

// Catches an Esc that comes while the stamp is drawn, before the request has opened, and is
// lost: the work then waits on the request. The stamp is drawn only once the Esc has left the
// window's queue.
TEST_F(WinWaitingTest, EscWhileTheStampIsDrawnEndsTheWork)
{
    const HWND qqBox = m_window->unit(u"编辑框2");
    int draws = 0;
    const stamps::testing::ScopedRandomStampDraw draw([&]() -> Text {
        if (draws++ == 0) {
            PostMessageW(qqBox, WM_KEYDOWN, VK_ESCAPE, 0);
            return {};
        }
        MSG queued;
        const bool waiting = PeekMessageW(&queued, qqBox, WM_KEYDOWN, WM_KEYDOWN, PM_NOREMOVE);
        return waiting ? Text() : Text("0.271828182845904");
    });
    const ULONGLONG start = GetTickCount64();
    SendMessageW(m_window->unit(u"按钮2"), BM_CLICK, 0, 0);
    // Generous, only a guard: a lost Esc leaves the request to its 30 s stall limit.
    EXPECT_LT(GetTickCount64() - start, 10'000U);
    EXPECT_GT(draws, 1);
    EXPECT_EQ(test::utf8(firstCell()), "网络出现问题了~");
    EXPECT_TRUE(IsWindowVisible(m_window->handle()));
}

// Catches a close (the close button, or Alt+F4 dropped with the other keys) during the wait
// that waits for the request, leaves the window on screen, or does not open the author's page
// exactly once.
class WinClosingTest : public WinWaitingTest, public testing::WithParamInterface<bool> {};

TEST_P(WinClosingTest, ClosingDuringTheWaitClosesAtOnce)
{
    const HWND window = m_window->handle();
    const HWND qqBox = m_window->unit(u"编辑框2");
    bool hiddenAtOnce = false;
    queryWhileWaiting([&] {
        if (GetParam()) {
            // Without it the request would wait until its deadline and the window stay.
            PostMessageW(qqBox, WM_SYSKEYDOWN, VK_F4, 1 << 29); // with Alt held
            return true;
        }
        SendMessageW(window, WM_CLOSE, 0, 0);
        hiddenAtOnce = !IsWindowVisible(window);
        return true;
    });
    EXPECT_TRUE(hiddenAtOnce || GetParam());
    EXPECT_EQ(m_window->handle(), nullptr);
    EXPECT_EQ(m_desktop->opened, std::vector<Text>{std::string(config::AuthorPageUrl)});
    EXPECT_EQ(test::utf8(firstCell()), "网络出现问题了~");
}

INSTANTIATE_TEST_SUITE_P(CloseButtonAndAltF4, WinClosingTest, testing::Bool());

} // namespace
} // namespace marrowtune
