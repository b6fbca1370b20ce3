// SPDX-License-Identifier: MIT
#include "app/win/main_window_layout.h"
#include "app/win/win_main_window.h"
#include "marrowtune/config.h"
#include "platform/system_classes.h"
#include "search/rewrite.h"
#include "search/script_control_component.h"
#include "tests/support/gbk.h"
#include "tests/support/loopback_server.h"
#include "tools/sample-service/sample_service.h"

#include <commctrl.h>
#include <functional>
#include <gtest/gtest.h>
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
    EXPECT_EQ(GetFocus(), unit(u"编辑框1"));
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
    const DWORD extended = ListView_GetExtendedListViewStyle(list);
    EXPECT_EQ(extended & (LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT),
              DWORD{LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT});
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

// Catches a click, right click, menu choice or Enter in an edit box that does not reach its
// row, or reaches it without the busy cursor.
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
        {u"超级列表框1", UnitEvent::RightClicked, [](Win32MainWindow&) { record(u"超级列表框1"); }},
        {u"在线试听", UnitEvent::Chosen, [](Win32MainWindow&) { record(u"在线试听"); }},
    };
    auto window = Win32MainWindow::create(rows, nullptr);
    ASSERT_NE(window, nullptr);
    window->show();
    const HWND list = window->unit(u"超级列表框1");
    const struct {
        std::function<void()> act;
        std::u16string_view expected;
    } cases[] = {
        {[&] { SendMessageW(window->unit(u"按钮1"), BM_CLICK, 0, 0); }, u"按钮1"},
        {[&] { rightClick(*window, list); }, u"超级列表框1"},
        {[&] { choose(*window, 2003); }, u"在线试听"},
        {[&] {
             PostMessageW(window->unit(u"编辑框2"), WM_KEYDOWN, VK_RETURN, 0);
             window->processPendingEvents();
         },
         u"按钮2"},
    };
    for (const auto& c : cases) {
        raised.clear();
        c.act();
        EXPECT_EQ(raised, std::vector<std::u16string_view>{c.expected})
            << test::utf8(gbk(c.expected));
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
        int offset;  // -1: the menu key
        int clicked; // the row the click was on, -1 below the rows
        Items items;
    } cases[] = {
        {true, 20, 0, {{2001, L"复制(累死爱情)"}, {2002, L"搜索(累死爱情)"}, {2003, L"在线试听"}}},
        {true, 200, 0, {{2001, L"复制(苏晚晴)"}, {2002, L"搜索(苏晚晴)"}, {2003, L"在线试听"}}},
        {true, 350, 0, {{2002, L"搜索()"}, {2003, L"在线试听"}}},
        {true, 500, 0, {{2001, L"复制(http://m.example/1.mp3)"}, {2003, L"在线试听"}}},
        {true, -1, 0, {{2001, L"复制(累死爱情)"}, {2002, L"搜索(累死爱情)"}, {2003, L"在线试听"}}},
        {false, 20, 0, {}},
        {true, 20, -1, {}},
    };
    for (const auto& c : cases) {
        ListView_SetItemState(list, row, c.selected ? LVIS_SELECTED | LVIS_FOCUSED : 0,
                              LVIS_SELECTED | LVIS_FOCUSED);
        m_desktop->popups.clear();
        m_desktop->cursor = {left + c.offset, 300};
        if (c.offset < 0) {
            SendMessageW(m_window->handle(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(list), -1);
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
// the browser through the desktop, or reaching them with other text.
TEST_F(WinMainWindowTest, MenuItemsAndClosingUseTheDesktop)
{
    const int row = m_window->insertRow();
    m_window->setCellText(row, 0, gbk(u"累死爱情"));
    m_window->setCellText(row, 3, "http://m.example/1.mp3");
    ListView_SetItemState(unit(u"超级列表框1"), row, LVIS_SELECTED, LVIS_SELECTED);
    m_desktop->cursor = {m_window->windowLeftEdge() + m_window->listLeftEdge() + 20, 300};
    rightClick(*m_window, unit(u"超级列表框1"));
    m_window->processPendingEvents();

    choose(*m_window, 2001);
    EXPECT_EQ(m_desktop->clipboard, std::vector<Text>{gbk(u"累死爱情")});
    choose(*m_window, 2003);
    SendMessageW(m_window->handle(), WM_CLOSE, 0, 0);
    const std::vector<Text> opened = {"http://" + std::string(config::ListenPageHost) +
                                          "/musci/mp3.html?url=http://m.example/1.mp3",
                                      std::string(config::AuthorPageUrl)};
    EXPECT_EQ(m_desktop->opened, opened);
    EXPECT_EQ(m_window->handle(), nullptr);
}

// Catches clipboard text that is not the program's GBK bytes as CF_TEXT, or that the system
// cannot offer as Unicode text through the ANSI code page.
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

// Catches a close during the wait that waits for the request, leaves the window on screen,
// or does not open the author's page exactly once.
TEST_F(WinWaitingTest, ClosingDuringTheWaitClosesAtOnce)
{
    const HWND window = m_window->handle();
    bool hiddenAtOnce = false;
    queryWhileWaiting([&] {
        SendMessageW(window, WM_CLOSE, 0, 0);
        hiddenAtOnce = !IsWindowVisible(window);
        return true;
    });
    EXPECT_TRUE(hiddenAtOnce);
    EXPECT_EQ(m_window->handle(), nullptr);
    EXPECT_EQ(m_desktop->opened, std::vector<Text>{std::string(config::AuthorPageUrl)});
    EXPECT_EQ(test::utf8(firstCell()), "网络出现问题了~");
}

} // namespace
} // namespace marrowtune
