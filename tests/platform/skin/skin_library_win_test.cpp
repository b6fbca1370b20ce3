// SPDX-License-Identifier: MIT
#include "platform/skin/skin_library.h"
#include "platform/skin/theme.h"
#include "tests/platform/skin/theme_files.h"

#include <windows.h>
// The headers below, commctrl.h among them, build on the types declared above.
#include <commctrl.h>
#include <gtest/gtest.h>
#include <set>
#include <string>
#include <vector>

namespace marrowtune::skin {
namespace {

int attach(const std::vector<unsigned char>& bytes)
{
    return SkinH_AttachRes(bytes.data(), static_cast<int>(bytes.size()), "", 0, 0, 0);
}

Rgb rgbOf(COLORREF c)
{
    return {GetRValue(c), GetGValue(c), GetBValue(c)};
}

std::string show(Rgb c)
{
    return colourName(c);
}

HWND make(const wchar_t* className, const wchar_t* text, DWORD style, DWORD exStyle, RECT r,
          HWND parent)
{
    return CreateWindowExW(exStyle, className, text, style | (parent ? WS_CHILD | WS_VISIBLE : 0),
                           r.left, r.top, r.right, r.bottom, parent, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
}

// A small window with one control of each kind the skin draws (rectangles as x, y, w, h).
struct TestWindow {
    HWND top = nullptr;
    HWND groupBox = nullptr;
    HWND label = nullptr;
    HWND edit = nullptr;
    HWND button = nullptr;
    HWND list = nullptr;

    TestWindow()
    {
        static const bool registered = [] {
            INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES};
            InitCommonControlsEx(&controls);
            WNDCLASSW windowClass{};
            windowClass.lpfnWndProc = DefWindowProcW;
            windowClass.hInstance = GetModuleHandleW(nullptr);
            windowClass.lpszClassName = L"MarrowtuneSkinTest";
            windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
            return RegisterClassW(&windowClass) != 0;
        }();
        EXPECT_TRUE(registered);
        top =
            make(L"MarrowtuneSkinTest", L"测试", WS_OVERLAPPEDWINDOW, 0, {0, 0, 400, 300}, nullptr);
        EXPECT_NE(top, nullptr) << "no window: is there a display driver?";
        groupBox = make(L"Button", L"关键字", BS_GROUPBOX, 0, {8, 8, 200, 100}, top);
        edit = make(L"Edit", L"累死爱情", ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, {20, 40, 120, 22}, top);
        label = make(L"Static", L"页码", 0, 0, {220, 12, 60, 16}, top);
        button = make(L"Button", L"搜索", BS_PUSHBUTTON, 0, {220, 40, 80, 26}, top);
        list = make(WC_LISTVIEWW, L"", LVS_REPORT, WS_EX_CLIENTEDGE, {8, 120, 380, 160}, top);
        for (int i = 0; i < 2; ++i) {
            wchar_t caption[] = L"歌名";
            LVCOLUMNW column{};
            column.mask = LVCF_TEXT | LVCF_WIDTH;
            column.cx = 150;
            column.pszText = caption;
            SendMessageW(list, LVM_INSERTCOLUMNW, static_cast<WPARAM>(i),
                         reinterpret_cast<LPARAM>(&column));
        }
    }
    ~TestWindow() { DestroyWindow(top); }
    TestWindow(const TestWindow&) = delete;
    TestWindow& operator=(const TestWindow&) = delete;

    HWND header() const { return reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0)); }

    std::vector<RECT> geometry() const
    {
        std::vector<RECT> rects;
        for (HWND w : {top, groupBox, label, edit, button, list, header()}) {
            RECT r{};
            GetWindowRect(w, &r);
            rects.push_back(r);
        }
        return rects;
    }
};

// Draws a window's client area (WM_PRINTCLIENT) or background (WM_ERASEBKGND) into a 32-bit
// bitmap and reads one pixel back.
Rgb pixel(HWND window, UINT message, int x, int y)
{
    RECT client{};
    GetClientRect(window, &client);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = client.right;
    info.bmiHeader.biHeight = -client.bottom;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    const HGDIOBJ old = SelectObject(dc, bitmap);
    SendMessageW(window, message, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
    const COLORREF colour =
        GetPixel(dc, x < 0 ? client.right + x : x, y < 0 ? client.bottom + y : y);
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    return rgbOf(colour);
}

struct ControlColours {
    Rgb text;
    Rgb background;
};

// Asks the parent for a control's colours as the control does before painting.
ControlColours askColours(HWND control, UINT message)
{
    HDC dc = CreateCompatibleDC(nullptr);
    const auto brush = reinterpret_cast<HBRUSH>(SendMessageW(GetParent(control), message,
                                                             reinterpret_cast<WPARAM>(dc),
                                                             reinterpret_cast<LPARAM>(control)));
    LOGBRUSH logBrush{};
    GetObjectW(brush, sizeof logBrush, &logBrush);
    const ControlColours colours{rgbOf(GetTextColor(dc)), rgbOf(logBrush.lbColor)};
    DeleteDC(dc);
    return colours;
}

// Checks every colour the skin gives the window against the theme's look.
void expectWorn(const TestWindow& w, const Look& look, const std::string& where)
{
    SCOPED_TRACE(where);
    const Theme& t = look.theme;
    EXPECT_EQ(show(pixel(w.top, WM_ERASEBKGND, 1, 1)), show(t.window));
    const auto label = askColours(w.label, WM_CTLCOLORSTATIC);
    EXPECT_EQ(show(label.text), show(t.windowText));
    EXPECT_EQ(show(label.background), show(t.window));
    const auto edit = askColours(w.edit, WM_CTLCOLOREDIT);
    EXPECT_EQ(show(edit.text), show(t.text));
    EXPECT_EQ(show(edit.background), show(t.base));
    EXPECT_EQ(show(rgbOf(static_cast<COLORREF>(SendMessageW(w.list, LVM_GETBKCOLOR, 0, 0)))),
              show(t.base));
    EXPECT_EQ(show(rgbOf(static_cast<COLORREF>(SendMessageW(w.list, LVM_GETTEXTCOLOR, 0, 0)))),
              show(t.text));
    // Push button: frame, then the fill's top row.
    EXPECT_EQ(show(pixel(w.button, WM_PRINTCLIENT, 0, 13)), show(t.buttonBorder));
    EXPECT_EQ(show(pixel(w.button, WM_PRINTCLIENT, 40, 1)), show(look.button.stops.front().colour));
    // Group box: frame and the fill's bottom row.
    EXPECT_EQ(show(pixel(w.groupBox, WM_PRINTCLIENT, 0, -30)), show(t.panelBorder));
    EXPECT_EQ(show(pixel(w.groupBox, WM_PRINTCLIENT, 100, -2)),
              show(look.panel.stops.back().colour));
    // List header: the fill's top row and the bottom line.
    EXPECT_EQ(show(pixel(w.header(), WM_PRINTCLIENT, 2, 0)),
              show(look.header.stops.front().colour));
    EXPECT_EQ(show(pixel(w.header(), WM_PRINTCLIENT, 2, -1)),
              show(mix(look.header.stops.back().colour, t.inputBorder, 0.6)));
    // A popup menu about to open gets a background its system-coloured text is readable on.
    HMENU menu = CreatePopupMenu();
    AppendMenuW(menu, MF_STRING, 1, L"复制歌名");
    SendMessageW(w.top, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(menu), 0);
    MENUINFO info{};
    info.cbSize = sizeof info;
    info.fMask = MIM_BACKGROUND;
    GetMenuInfo(menu, &info);
    if (info.hbrBack) {
        LOGBRUSH logBrush{};
        GetObjectW(info.hbrBack, sizeof logBrush, &logBrush);
        const Rgb back = rgbOf(logBrush.lbColor);
        EXPECT_TRUE(back == t.base || back == t.alternateBase || back == t.window) << show(back);
        EXPECT_GE(contrastRatio(back, rgbOf(GetSysColor(COLOR_MENUTEXT))), 4.5);
    } else {
        EXPECT_LT(contrastRatio(t.base, rgbOf(GetSysColor(COLOR_MENUTEXT))), 4.5);
    }
    DestroyMenu(menu);
}

// The GDI objects the process holds. Wine does not count them (GetGuiResources answers 0):
// there the live handles are counted instead, as Wine finds an object by its handle's low word.
DWORD gdiObjectCount()
{
    if (const DWORD counted = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS)) {
        return counted;
    }
    DWORD live = 0;
    for (UINT_PTR low = 4; low <= 0xFFFF; ++low) {
        live += GetObjectType(reinterpret_cast<HGDIOBJ>(low)) != 0 ? 1 : 0;
    }
    return live;
}

// Paints every control and asks for every colour the skin hands out, as a window in use does.
void useEverything(const TestWindow& w)
{
    for (HWND control : {w.button, w.groupBox, w.header()}) {
        pixel(control, WM_PRINTCLIENT, 1, 1);
    }
    pixel(w.top, WM_ERASEBKGND, 1, 1);
    askColours(w.label, WM_CTLCOLORSTATIC);
    askColours(w.edit, WM_CTLCOLOREDIT);
    HMENU menu = CreatePopupMenu();
    AppendMenuW(menu, MF_STRING, 1, L"复制歌名");
    SendMessageW(w.top, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(menu), 0);
    DestroyMenu(menu);
}

// Catches GDI objects that pile up with each theme (a brush kept for every colour of every
// gradient row, never freed): sixty changes through every theme leave the count where one
// theme put it.
TEST(SkinLibraryWinTest, ThemeChangesDoNotPileUpGdiObjects)
{
    TestWindow w;
    ASSERT_EQ(SkinH_SetAero(1), 1);
    ASSERT_EQ(attach(readTheme(1)), 1);
    useEverything(w);
    const DWORD oneTheme = gdiObjectCount();
    ASSERT_GT(oneTheme, 0u);
    for (int change = 0; change < 60; ++change) {
        ASSERT_EQ(attach(readTheme(change % 58 + 1)), 1) << change;
        useEverything(w);
    }
    ASSERT_EQ(attach(readTheme(1)), 1);
    useEverything(w);
    // A look holds a handful of brushes; a few more for the themes with more colours.
    EXPECT_LE(gdiObjectCount(), oneTheme + 16);
}

// Catches the list's empty area left in another colour than the theme's once the list takes
// the focus (a dark theme's list turned white there).
TEST(SkinLibraryWinTest, FocusedListKeepsTheThemeColourBelowItsRows)
{
    TestWindow w;
    const auto bytes = readTheme(5);
    ASSERT_EQ(SkinH_SetAero(0), 1);
    ASSERT_EQ(attach(bytes), 1);
    const Look look = deriveLook(*decodeTheme(bytes), false);
    SendMessageW(w.list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
    wchar_t cell[] = L"累死爱情";
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.pszText = cell;
    SendMessageW(w.list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
    ShowWindow(w.top, SW_SHOW);
    SetFocus(w.edit);
    RedrawWindow(w.top, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    // The list drawn once, then as the focus leaves and comes back (the screen read back at the
    // middle of its empty area).
    for (const bool focused : {false, true}) {
        SetFocus(focused ? w.list : w.edit);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageW(&message);
        }
        UpdateWindow(w.top);
        HDC dc = GetDC(w.list);
        RECT client{};
        GetClientRect(w.list, &client);
        const Rgb below = rgbOf(GetPixel(dc, client.right / 2, client.bottom / 2));
        ReleaseDC(w.list, dc);
        EXPECT_EQ(show(below), show(look.theme.base)) << (focused ? "focused" : "not focused");
    }
}

// Catches a library that exports more or fewer names than the program binds.
TEST(SkinLibraryWinTest, ExportsExactlyTheTwoCalls)
{
    const auto* base = reinterpret_cast<const unsigned char*>(GetModuleHandleW(L"SkinH_EL.dll"));
    ASSERT_NE(base, nullptr);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const auto& entry = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    const auto* exports =
        reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + entry.VirtualAddress);
    const auto* names = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
    std::set<std::string> found;
    for (DWORD i = 0; i < exports->NumberOfNames; ++i) {
        found.insert(reinterpret_cast<const char*>(base + names[i]));
    }
    EXPECT_EQ(found, (std::set<std::string>{"SkinH_AttachRes", "SkinH_SetAero"}));
    EXPECT_EQ(exports->NumberOfFunctions, 2u);
}

// Catches a theme that is not drawn, a later theme that does not replace the earlier one, the
// aero look not following SkinH_SetAero, and a control that changes size.
TEST(SkinLibraryWinTest, LaterThemesAndAeroReplaceTheColoursWithoutMovingAnything)
{
    TestWindow w;
    const auto before = w.geometry();
    struct Case {
        int theme;
        bool aero;
    };
    // A light and a dark theme, each without and with aero, and back to the first.
    for (const Case& c :
         {Case{9, false}, Case{9, true}, Case{5, true}, Case{5, false}, Case{9, false}}) {
        const auto bytes = readTheme(c.theme);
        ASSERT_EQ(SkinH_SetAero(c.aero ? 1 : 0), 1);
        ASSERT_EQ(attach(bytes), 1) << c.theme;
        const auto theme = decodeTheme(bytes);
        ASSERT_TRUE(theme);
        expectWorn(w, deriveLook(*theme, c.aero),
                   "theme " + std::to_string(c.theme) + (c.aero ? " aero" : ""));
    }
    const auto after = w.geometry();
    ASSERT_EQ(after.size(), before.size());
    for (std::size_t i = 0; i < before.size(); ++i) {
        EXPECT_TRUE(EqualRect(&after[i], &before[i])) << i;
    }
}

// Catches bytes that are not a whole, valid theme being accepted or changing anything.
TEST(SkinLibraryWinTest, InvalidBytesChangeNothing)
{
    TestWindow w;
    const auto good = readTheme(9);
    ASSERT_GT(good.size(), 20u);
    ASSERT_EQ(SkinH_SetAero(0), 1);
    ASSERT_EQ(attach(good), 1);
    const Look look = deriveLook(*decodeTheme(good), false);
    auto flipped = good;
    flipped[20] ^= 1; // a body byte: the hash no longer matches
    auto badMagic = good;
    badMagic[0] = 'X';
    const auto other = readTheme(5);
    EXPECT_EQ(SkinH_AttachRes(nullptr, 10, "", 0, 0, 0), 0);
    EXPECT_EQ(SkinH_AttachRes(other.data(), 0, "", 0, 0, 0), 0);
    EXPECT_EQ(SkinH_AttachRes(other.data(), -1, "", 0, 0, 0), 0);
    EXPECT_EQ(SkinH_AttachRes(other.data(), static_cast<int>(other.size()) - 1, "", 0, 0, 0), 0);
    for (const auto& bytes :
         {flipped, badMagic, std::vector<unsigned char>(good.begin(), good.begin() + 14)}) {
        EXPECT_EQ(attach(bytes), 0);
    }
    expectWorn(w, look, "after the invalid themes");
}

// Catches windows created after the theme keeping the system's colours.
TEST(SkinLibraryWinTest, WindowsCreatedLaterWearTheTheme)
{
    const auto bytes = readTheme(12);
    ASSERT_EQ(SkinH_SetAero(1), 1);
    ASSERT_EQ(attach(bytes), 1);
    TestWindow w;
    expectWorn(w, deriveLook(*decodeTheme(bytes), true), "created after the theme");
}

} // namespace
} // namespace marrowtune::skin
