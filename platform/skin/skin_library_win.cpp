// SPDX-License-Identifier: MIT
#include "platform/skin/skin_drawing.h"
#include "platform/skin/theme.h"

#include <windows.h>
// The headers below, commctrl.h among them, build on the types declared above.
#include <algorithm>
#include <commctrl.h>
#include <cstring>
#include <cwchar>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace marrowtune::skin {
namespace {

// Our marks on the windows we draw: the subclass id, the property that says a window is ours
// (comctl32 exports GetWindowSubclass by ordinal only) and the one that remembers the hover.
constexpr UINT_PTR SubclassId = 0x534B494E;
constexpr wchar_t AttachedProperty[] = L"MarrowtuneSkin";
constexpr wchar_t HotProperty[] = L"MarrowtuneSkinHot";

enum class Kind : DWORD_PTR { Container, Button, Edit, ListView, Header };

// The brushes one look hands out, which must outlive the call that asked for them: the
// backgrounds given through WM_CTLCOLOR* and to menus (solid, by colour) and the group box
// fills under labels (patterns, by height). A look needs a handful; they go with the look.
struct LookBrushes {
    LookBrushes() = default;
    LookBrushes(const LookBrushes&) = delete;
    LookBrushes& operator=(const LookBrushes&) = delete;
    ~LookBrushes()
    {
        for (auto& [colour, brush] : solid) {
            DeleteObject(brush);
        }
        for (auto& [height, brush] : panel) {
            DeleteObject(brush);
        }
    }

    std::map<COLORREF, HBRUSH> solid;
    std::map<int, HBRUSH> panel;
};

struct SkinState {
    std::optional<Look> look;
    LookBrushes brushes;
};

SkinState& state()
{
    static SkinState s;
    return s;
}

COLORREF ref(Rgb c)
{
    return RGB(c.r, c.g, c.b);
}

Rgb rgbOf(COLORREF c)
{
    return {GetRValue(c), GetGValue(c), GetBValue(c)};
}

// A solid brush to hand out; painting of our own uses the DC's brush instead (fillRect).
HBRUSH brush(Rgb c)
{
    auto& brushes = state().brushes.solid;
    const COLORREF key = ref(c);
    auto found = brushes.find(key);
    if (found == brushes.end()) {
        found = brushes.emplace(key, CreateSolidBrush(key)).first;
    }
    return found->second;
}

// The colour of a fill at `position` (0 top, 1 bottom).
Rgb colourAt(const Fill& fill, double position)
{
    const auto& stops = fill.stops;
    if (stops.empty()) {
        return {};
    }
    if (position <= stops.front().position) {
        return stops.front().colour;
    }
    for (std::size_t i = 1; i < stops.size(); ++i) {
        if (position <= stops[i].position) {
            const double span = stops[i].position - stops[i - 1].position;
            const double amount = span > 0 ? (position - stops[i - 1].position) / span : 1.0;
            return mix(stops[i - 1].colour, stops[i].colour, amount);
        }
    }
    return stops.back().colour;
}

// Our own painting takes the DC's brush in the colour asked for: no brush object at all.
HBRUSH dcBrush(HDC dc, Rgb colour)
{
    SetDCBrushColor(dc, ref(colour));
    return static_cast<HBRUSH>(GetStockObject(DC_BRUSH));
}

void fillRect(HDC dc, const RECT& r, Rgb colour)
{
    FillRect(dc, &r, dcBrush(dc, colour));
}

// A bottom-up 32-bit DIB one pixel wide: the rows of `fill` over `height` rows, each row's
// colour computed exactly (no dithering, exact at every stop).
std::vector<unsigned char> fillColumn(const Fill& fill, int height)
{
    std::vector<unsigned char> dib(sizeof(BITMAPINFOHEADER) + 4 * static_cast<std::size_t>(height));
    BITMAPINFOHEADER header{};
    header.biSize = sizeof header;
    header.biWidth = 1;
    header.biHeight = height; // bottom-up: the last row comes first
    header.biPlanes = 1;
    header.biBitCount = 32;
    header.biCompression = BI_RGB;
    std::memcpy(dib.data(), &header, sizeof header);
    for (int y = 0; y < height; ++y) {
        const double position = height > 1 ? static_cast<double>(y) / (height - 1) : 0.0;
        const Rgb c = colourAt(fill, position);
        unsigned char* pixel =
            dib.data() + sizeof header + 4 * static_cast<std::size_t>(height - 1 - y);
        pixel[0] = c.b;
        pixel[1] = c.g;
        pixel[2] = c.r;
        pixel[3] = 0;
    }
    return dib;
}

// A vertical gradient: its column stretched across the width in one call, so drawing one
// takes no GDI object (a brush per row would take one per colour).
void fillGradient(HDC dc, const RECT& r, const Fill& fill)
{
    const int width = r.right - r.left;
    const int height = r.bottom - r.top;
    if (width <= 0 || height <= 0) {
        return;
    }
    const std::vector<unsigned char> dib = fillColumn(fill, height);
    const auto* info = reinterpret_cast<const BITMAPINFO*>(dib.data());
    const int oldMode = SetStretchBltMode(dc, COLORONCOLOR);
    StretchDIBits(dc, r.left, r.top, width, height, 0, 0, 1, height,
                  dib.data() + sizeof(BITMAPINFOHEADER), info, DIB_RGB_COLORS, SRCCOPY);
    SetStretchBltMode(dc, oldMode);
}

void frameRect(HDC dc, const RECT& r, Rgb colour)
{
    FrameRect(dc, &r, dcBrush(dc, colour));
}

std::wstring className(HWND window)
{
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

std::wstring windowText(HWND window)
{
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

LONG_PTR styleOf(HWND window)
{
    return GetWindowLongPtrW(window, GWL_STYLE);
}

bool isButton(HWND window, LONG_PTR type)
{
    return className(window) == L"Button" && (styleOf(window) & BS_TYPEMASK) == type;
}

bool isPushButton(HWND window)
{
    return isButton(window, BS_PUSHBUTTON) || isButton(window, BS_DEFPUSHBUTTON);
}

bool isGroupBox(HWND window)
{
    return isButton(window, BS_GROUPBOX);
}

// The windows we draw, by class. Controls we do not know keep the system's look; any other
// window (the program's own classes, dialogs) is a container whose background and whose
// children's colours we give.
std::optional<Kind> kindOf(HWND window)
{
    const std::wstring name = className(window);
    if (name == L"Button") {
        return Kind::Button;
    }
    if (name == L"Edit") {
        return Kind::Edit;
    }
    if (name == L"SysListView32") {
        return Kind::ListView;
    }
    if (name == L"SysHeader32") {
        return Kind::Header;
    }
    static const wchar_t* const systemClasses[] = {L"Static",
                                                   L"#32768",
                                                   L"tooltips_class32",
                                                   L"ComboBox",
                                                   L"ComboLBox",
                                                   L"ListBox",
                                                   L"ScrollBar",
                                                   L"IME",
                                                   L"MSCTFIME UI",
                                                   L"SysTreeView32",
                                                   L"SysTabControl32",
                                                   L"msctls_statusbar32",
                                                   L"msctls_progress32",
                                                   L"msctls_trackbar32",
                                                   L"msctls_updown32",
                                                   L"SysLink",
                                                   L"RichEdit20W",
                                                   L"RichEdit50W",
                                                   L"SysIPAddress32",
                                                   L"ToolbarWindow32",
                                                   L"ReBarWindow32",
                                                   L"SysPager",
                                                   L"ComboBoxEx32",
                                                   L"SysMonthCal32",
                                                   L"SysAnimate32",
                                                   L"msctls_hotkey32",
                                                   L"SysDateTimePick32"};
    for (const wchar_t* system : systemClasses) {
        if (name == system) {
            return std::nullopt;
        }
    }
    return Kind::Container;
}

RECT rectIn(HWND window, HWND parent)
{
    RECT r{};
    GetWindowRect(window, &r);
    MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

HFONT fontOf(HWND window)
{
    auto font = reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0));
    return font ? font : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

int textHeight(HDC dc, HFONT font)
{
    const HGDIOBJ old = SelectObject(dc, font);
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, old);
    return metrics.tmHeight;
}

// Where a group box's fill starts: at the middle of its caption.
int panelTop(HWND groupBox)
{
    HDC dc = GetDC(groupBox);
    const int top = textHeight(dc, fontOf(groupBox)) / 2;
    ReleaseDC(groupBox, dc);
    return top;
}

// The inside of the group box that encloses a control (a group box of the same parent around
// the control's centre), in the parent's coordinates: the rectangle the box's fill covers.
std::optional<RECT> enclosingPanel(HWND control)
{
    HWND parent = GetParent(control);
    if (!parent) {
        return std::nullopt;
    }
    const RECT own = rectIn(control, parent);
    const POINT centre{(own.left + own.right) / 2, (own.top + own.bottom) / 2};
    for (HWND sibling = GetWindow(control, GW_HWNDFIRST); sibling;
         sibling = GetWindow(sibling, GW_HWNDNEXT)) {
        if (sibling == control || !IsWindowVisible(sibling) || !isGroupBox(sibling)) {
            continue;
        }
        RECT inside = rectIn(sibling, parent);
        inside.top += panelTop(sibling);
        InflateRect(&inside, -1, -1);
        if (inside.bottom > inside.top && PtInRect(&inside, centre)) {
            return inside;
        }
    }
    return std::nullopt;
}

// Where row y of a fill drawn in `area` lies, 0 (top) to 1 (bottom), as fillGradient draws it.
double positionIn(const RECT& area, int y)
{
    const int height = area.bottom - area.top;
    const double position = height > 1 ? static_cast<double>(y - area.top) / (height - 1) : 0.0;
    return std::clamp(position, 0.0, 1.0);
}

// The colour behind a control: the group box fill at its middle when a group box encloses it,
// the window's colour otherwise.
Rgb backgroundAt(HWND control)
{
    const Look& look = *state().look;
    const auto panel = enclosingPanel(control);
    if (!panel) {
        return look.theme.window;
    }
    const RECT own = rectIn(control, GetParent(control));
    return colourAt(look.panel, positionIn(*panel, (own.top + own.bottom) / 2));
}

// A brush repeating the rows of a group box fill `height` rows high, so that a label inside the
// box continues the box's gradient instead of standing on a band of one colour.
HBRUSH panelBrush(int height)
{
    auto& brushes = state().brushes.panel;
    if (auto found = brushes.find(height); found != brushes.end()) {
        return found->second;
    }
    const std::vector<unsigned char> dib = fillColumn(state().look->panel, height);
    HBRUSH brush = CreateDIBPatternBrushPt(dib.data(), DIB_RGB_COLORS);
    brushes.emplace(height, brush);
    return brush;
}

// Paints into a bitmap first and copies it in one step, so a control never flickers.
template <typename Paint> void paintBuffered(HWND window, HDC target, Paint paint)
{
    RECT client{};
    GetClientRect(window, &client);
    const int width = std::max(1, static_cast<int>(client.right));
    const int height = std::max(1, static_cast<int>(client.bottom));
    HDC memory = CreateCompatibleDC(target);
    HBITMAP bitmap = CreateCompatibleBitmap(target, width, height);
    const HGDIOBJ oldBitmap = SelectObject(memory, bitmap);
    const HGDIOBJ oldFont = SelectObject(memory, fontOf(window));
    SetBkMode(memory, TRANSPARENT);
    paint(memory, client);
    BitBlt(target, 0, 0, width, height, memory, 0, 0, SRCCOPY);
    SelectObject(memory, oldFont);
    SelectObject(memory, oldBitmap);
    DeleteObject(bitmap);
    DeleteDC(memory);
}

void paintPushButton(HWND button, HDC dc, const RECT& r)
{
    const Look& look = *state().look;
    const Theme& t = look.theme;
    const bool enabled = IsWindowEnabled(button) != FALSE;
    const auto buttonState = SendMessageW(button, BM_GETSTATE, 0, 0);
    const bool pressed = (buttonState & BST_PUSHED) != 0;
    const bool hot = GetPropW(button, HotProperty) != nullptr;
    const bool focused = GetFocus() == button;
    const Fill& fill = !enabled  ? look.buttonDisabled
                       : pressed ? look.buttonPressed
                       : hot     ? look.buttonHover
                                 : look.button;
    fillRect(dc, r, backgroundAt(button));
    RECT inner = r;
    InflateRect(&inner, -1, -1);
    fillGradient(dc, inner, fill);
    const Rgb border = !enabled                      ? mix(t.buttonBorder, t.window, 0.45)
                       : (pressed || hot || focused) ? t.accent
                                                     : t.buttonBorder;
    frameRect(dc, r, border);
    SetTextColor(dc, ref(enabled ? t.buttonText : t.disabledText));
    std::wstring text = windowText(button);
    RECT textRect = r;
    if (pressed) {
        OffsetRect(&textRect, 1, 1);
    }
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &textRect,
              DT_CENTER | DT_VCENTER | DT_SINGLELINE);
}

void paintGroupBox(HWND box, HDC dc, const RECT& r)
{
    const Look& look = *state().look;
    const Theme& t = look.theme;
    const int top = textHeight(dc, fontOf(box)) / 2;
    fillRect(dc, r, backgroundAt(box));
    const RECT panel{r.left, r.top + top, r.right, r.bottom};
    RECT inside = panel;
    InflateRect(&inside, -1, -1);
    fillGradient(dc, inside, look.panel);
    frameRect(dc, panel, t.panelBorder);
    fillRect(dc, {panel.left + 1, panel.top, panel.right - 1, panel.top + 1}, look.panelTopEdge);
    const std::wstring text = windowText(box);
    if (text.empty()) {
        return;
    }
    // The caption straddles the top edge, on the window above the edge and the panel below.
    RECT caption{r.left + 8, r.top, r.left + 8, r.top + 2 * top + 1};
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &caption,
              DT_SINGLELINE | DT_CALCRECT);
    caption.right += 6;
    caption.right = std::min(caption.right, r.right - 2);
    fillRect(dc, {caption.left, caption.top, caption.right, panel.top}, backgroundAt(box));
    fillRect(dc, {caption.left, panel.top, caption.right, caption.bottom},
             colourAt(look.panel, 0.0));
    SetTextColor(dc, ref(t.panelTitle));
    RECT textRect{caption.left + 3, caption.top, caption.right, caption.bottom};
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &textRect,
              DT_SINGLELINE | DT_END_ELLIPSIS);
}

Rgb headerLine(const Look& look)
{
    return mix(look.header.stops.back().colour, look.theme.inputBorder, 0.6);
}

void paintHeader(HWND header, HDC dc, const RECT& r)
{
    const Look& look = *state().look;
    const Rgb line = headerLine(look);
    fillRect(dc, r, look.theme.base);
    const int count = static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0));
    SetTextColor(dc, ref(look.theme.headerText));
    for (int i = 0; i < count; ++i) {
        RECT item{};
        if (!SendMessageW(header, HDM_GETITEMRECT, static_cast<WPARAM>(i),
                          reinterpret_cast<LPARAM>(&item))) {
            continue;
        }
        RECT fillArea{item.left, item.top, item.right - 1, item.bottom - 1};
        fillGradient(dc, fillArea, look.header);
        fillRect(dc, {item.right - 1, item.top, item.right, item.bottom}, line);
        wchar_t text[256] = {};
        HDITEMW info{};
        info.mask = HDI_TEXT | HDI_FORMAT;
        info.pszText = text;
        info.cchTextMax = 255;
        SendMessageW(header, HDM_GETITEMW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&info));
        UINT align = DT_LEFT;
        if ((info.fmt & HDF_JUSTIFYMASK) == HDF_CENTER) {
            align = DT_CENTER;
        } else if ((info.fmt & HDF_JUSTIFYMASK) == HDF_RIGHT) {
            align = DT_RIGHT;
        }
        RECT textRect{item.left + 4, item.top, item.right - 5, item.bottom - 1};
        DrawTextW(dc, text, -1, &textRect, align | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS);
    }
    RECT last{};
    if (count > 0) {
        SendMessageW(header, HDM_GETITEMRECT, static_cast<WPARAM>(count - 1),
                     reinterpret_cast<LPARAM>(&last));
    }
    // Right of the last column the header is the header's fill too, as in the list's own look.
    fillGradient(dc, {last.right, r.top, r.right, r.bottom - 1}, look.header);
    fillRect(dc, {r.left, r.bottom - 1, r.right, r.bottom}, line);
}

// The frame of an edit box or a list, drawn over its own border so its size stays.
void paintFrame(HWND window)
{
    const Look& look = *state().look;
    const auto exStyle = GetWindowLongPtrW(window, GWL_EXSTYLE);
    const bool clientEdge = (exStyle & WS_EX_CLIENTEDGE) != 0;
    const bool border = (styleOf(window) & WS_BORDER) != 0;
    if (!clientEdge && !border) {
        return;
    }
    RECT r{};
    GetWindowRect(window, &r);
    OffsetRect(&r, -r.left, -r.top);
    HDC dc = GetWindowDC(window);
    const bool focused = GetFocus() == window;
    frameRect(dc, r, focused ? look.theme.accent : look.theme.inputBorder);
    if (clientEdge) {
        InflateRect(&r, -1, -1);
        frameRect(dc, r, look.theme.base);
        // The aero look's inner shadow under the top edge.
        fillRect(dc, {r.left, r.top, r.right, r.top + 1}, colourAt(look.edit, 0.0));
    }
    ReleaseDC(window, dc);
}

void setListColours(HWND list)
{
    const Theme& t = state().look->theme;
    SendMessageW(list, LVM_SETBKCOLOR, 0, static_cast<LPARAM>(ref(t.base)));
    SendMessageW(list, LVM_SETTEXTBKCOLOR, 0, static_cast<LPARAM>(ref(t.base)));
    SendMessageW(list, LVM_SETTEXTCOLOR, 0, static_cast<LPARAM>(ref(t.text)));
}

// Menus keep the system's text colour, so their background is the first of the theme's
// backgrounds the system's menu text is readable on, or the system's own.
void setMenuBackground(HMENU menu)
{
    if (!menu) {
        return;
    }
    const Theme& t = state().look->theme;
    const Rgb menuText = rgbOf(GetSysColor(COLOR_MENUTEXT));
    HBRUSH background = nullptr;
    for (Rgb candidate : {t.base, t.alternateBase, t.window}) {
        if (contrastRatio(menuText, candidate) >= 4.5) {
            background = brush(candidate);
            break;
        }
    }
    MENUINFO info{};
    info.cbSize = sizeof info;
    info.fMask = MIM_BACKGROUND | MIM_APPLYTOSUBMENUS;
    info.hbrBack = background;
    SetMenuInfo(menu, &info);
}

// A window's menu bar; a child window has none (GetMenu gives its control id there).
HMENU menuBarOf(HWND window)
{
    return (styleOf(window) & WS_CHILD) ? nullptr : GetMenu(window);
}

LRESULT colourControl(HWND control, HDC dc, UINT message)
{
    const Theme& t = state().look->theme;
    Rgb text = t.windowText;
    Rgb background = t.window;
    if (message == WM_CTLCOLOREDIT || message == WM_CTLCOLORLISTBOX ||
        className(control) == L"Edit") {
        // Read-only and disabled edit boxes ask with WM_CTLCOLORSTATIC.
        text = IsWindowEnabled(control) ? t.text : t.disabledText;
        background = t.base;
    } else if (message != WM_CTLCOLORDLG) {
        background = backgroundAt(control);
        if (message == WM_CTLCOLORBTN) {
            text = t.buttonText;
        }
        if (const auto panel = enclosingPanel(control)) {
            // Inside a group box: the box's own rows, lined up with the box, under clear text.
            const RECT own = rectIn(control, GetParent(control));
            SetBrushOrgEx(dc, 0, panel->top - own.top, nullptr);
            SetBkMode(dc, TRANSPARENT);
            SetTextColor(dc, ref(text));
            SetBkColor(dc, ref(background));
            return reinterpret_cast<LRESULT>(panelBrush(panel->bottom - panel->top));
        }
    }
    SetTextColor(dc, ref(text));
    SetBkColor(dc, ref(background));
    return reinterpret_cast<LRESULT>(brush(background));
}

// Alternate rows and the selection in the theme's colours.
LRESULT drawListItem(NMLVCUSTOMDRAW& draw)
{
    const Theme& t = state().look->theme;
    if (draw.nmcd.dwDrawStage == CDDS_PREPAINT) {
        return CDRF_NOTIFYITEMDRAW;
    }
    if (draw.nmcd.dwDrawStage != CDDS_ITEMPREPAINT) {
        return CDRF_DODEFAULT;
    }
    const auto row = static_cast<int>(draw.nmcd.dwItemSpec);
    const auto selected = SendMessageW(draw.nmcd.hdr.hwndFrom, LVM_GETITEMSTATE,
                                       static_cast<WPARAM>(row), LVIS_SELECTED);
    if (selected & LVIS_SELECTED) {
        draw.clrText = ref(t.highlightedText);
        draw.clrTextBk = ref(t.highlight);
        draw.nmcd.uItemState &= ~static_cast<UINT>(CDIS_SELECTED | CDIS_FOCUS);
    } else {
        draw.clrText = ref(t.text);
        draw.clrTextBk = ref(row % 2 == 1 ? t.alternateBase : t.base);
    }
    return CDRF_NEWFONT;
}

// The program's own windows and dialogs: their background, their children's colours, the
// list's rows and their menus.
LRESULT containerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_ERASEBKGND: {
        RECT client{};
        GetClientRect(window, &client);
        fillRect(reinterpret_cast<HDC>(wParam), client, state().look->theme.window);
        return 1;
    }
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORDLG:
        return colourControl(reinterpret_cast<HWND>(lParam), reinterpret_cast<HDC>(wParam),
                             message);
    case WM_NOTIFY: {
        auto* header = reinterpret_cast<NMHDR*>(lParam);
        if (header && header->code == NM_CUSTOMDRAW &&
            className(header->hwndFrom) == L"SysListView32") {
            return drawListItem(*reinterpret_cast<NMLVCUSTOMDRAW*>(lParam));
        }
        break;
    }
    case WM_INITMENUPOPUP:
        setMenuBackground(reinterpret_cast<HMENU>(wParam));
        break;
    case WM_CREATE: {
        const LRESULT result = DefSubclassProc(window, message, wParam, lParam);
        setMenuBackground(menuBarOf(window));
        return result;
    }
    default:
        break;
    }
    return DefSubclassProc(window, message, wParam, lParam);
}

// Push buttons and group boxes, painted by us; check boxes and radio buttons take their
// colours from the parent.
LRESULT buttonProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    const bool push = isPushButton(window);
    if (!push && !isGroupBox(window)) {
        return DefSubclassProc(window, message, wParam, lParam);
    }
    const auto paint = [&](HDC memory, const RECT& r) {
        push ? paintPushButton(window, memory, r) : paintGroupBox(window, memory, r);
    };
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT paintInfo{};
        HDC dc = BeginPaint(window, &paintInfo);
        if (!push) {
            // The controls inside a group box are its siblings: keep its fill off them.
            const HWND parent = GetParent(window);
            for (HWND sibling = GetWindow(window, GW_HWNDFIRST); sibling && parent;
                 sibling = GetWindow(sibling, GW_HWNDNEXT)) {
                if (sibling != window && IsWindowVisible(sibling)) {
                    RECT other = rectIn(sibling, window);
                    ExcludeClipRect(dc, other.left, other.top, other.right, other.bottom);
                }
            }
        }
        paintBuffered(window, dc, paint);
        EndPaint(window, &paintInfo);
        return 0;
    }
    case WM_PRINTCLIENT:
        paintBuffered(window, reinterpret_cast<HDC>(wParam), paint);
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_MOUSEMOVE:
        if (push && !GetPropW(window, HotProperty)) {
            SetPropW(window, HotProperty, reinterpret_cast<HANDLE>(1));
            TRACKMOUSEEVENT track{sizeof(TRACKMOUSEEVENT), TME_LEAVE, window, 0};
            TrackMouseEvent(&track);
            InvalidateRect(window, nullptr, FALSE);
        }
        break;
    case WM_MOUSELEAVE:
        RemovePropW(window, HotProperty);
        InvalidateRect(window, nullptr, FALSE);
        break;
    case BM_SETSTATE:
    case BM_SETSTYLE:
    case WM_SETTEXT:
    case WM_ENABLE:
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_UPDATEUISTATE: {
        // The button draws itself at once on these, outside WM_PAINT: draw it over again.
        const LRESULT result = DefSubclassProc(window, message, wParam, lParam);
        RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        return result;
    }
    default:
        break;
    }
    return DefSubclassProc(window, message, wParam, lParam);
}

// Edit boxes and lists: their frame, which shows the focus; a list's colours.
LRESULT framedProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, Kind kind)
{
    switch (message) {
    case WM_NCPAINT: {
        const LRESULT result = DefSubclassProc(window, message, wParam, lParam);
        paintFrame(window);
        return result;
    }
    case WM_SETFOCUS:
    case WM_KILLFOCUS: {
        // The frame shows the focus. The client is erased as well: a list repainted without
        // its background left the area below its rows white.
        const LRESULT result = DefSubclassProc(window, message, wParam, lParam);
        RedrawWindow(window, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_ERASE);
        return result;
    }
    case WM_CREATE:
        if (kind == Kind::ListView) {
            const LRESULT result = DefSubclassProc(window, message, wParam, lParam);
            setListColours(window);
            return result;
        }
        break;
    default:
        break;
    }
    return DefSubclassProc(window, message, wParam, lParam);
}

// A list's header, painted by us.
LRESULT headerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    const auto paint = [&](HDC memory, const RECT& r) { paintHeader(window, memory, r); };
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT paintInfo{};
        HDC dc = BeginPaint(window, &paintInfo);
        paintBuffered(window, dc, paint);
        EndPaint(window, &paintInfo);
        return 0;
    }
    case WM_PRINTCLIENT:
        paintBuffered(window, reinterpret_cast<HDC>(wParam), paint);
        return 0;
    case WM_ERASEBKGND:
        return 1;
    default:
        return DefSubclassProc(window, message, wParam, lParam);
    }
}

LRESULT CALLBACK skinProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR /*id*/,
                          DWORD_PTR data)
{
    if (message == WM_NCDESTROY) {
        RemovePropW(window, HotProperty);
        RemovePropW(window, AttachedProperty);
        RemoveWindowSubclass(window, skinProc, SubclassId);
        return DefSubclassProc(window, message, wParam, lParam);
    }
    if (!state().look) {
        return DefSubclassProc(window, message, wParam, lParam);
    }
    const auto kind = static_cast<Kind>(data);
    switch (kind) {
    case Kind::Container:
        return containerProc(window, message, wParam, lParam);
    case Kind::Button:
        return buttonProc(window, message, wParam, lParam);
    case Kind::Edit:
    case Kind::ListView:
        return framedProc(window, message, wParam, lParam, kind);
    case Kind::Header:
        return headerProc(window, message, wParam, lParam);
    }
    return DefSubclassProc(window, message, wParam, lParam);
}

void attach(HWND window)
{
    if (GetPropW(window, AttachedProperty)) {
        return;
    }
    if (auto kind = kindOf(window)) {
        if (SetWindowSubclass(window, skinProc, SubclassId, static_cast<DWORD_PTR>(*kind))) {
            SetPropW(window, AttachedProperty, reinterpret_cast<HANDLE>(1));
        }
    }
}

// Windows created after a theme is attached wear it from their first message on.
LRESULT CALLBACK creationHook(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_CREATEWND) {
        attach(reinterpret_cast<HWND>(wParam));
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

void installHook()
{
    thread_local HHOOK hook = nullptr;
    if (!hook) {
        hook = SetWindowsHookExW(WH_CBT, creationHook, nullptr, GetCurrentThreadId());
    }
}

// Attaches a window that existed before the theme, and sets what the control keeps itself.
BOOL CALLBACK attachExisting(HWND window, LPARAM /*unused*/)
{
    attach(window);
    const auto kind = kindOf(window);
    if (kind == Kind::ListView) {
        setListColours(window);
    } else if (kind == Kind::Container) {
        setMenuBackground(menuBarOf(window));
    }
    return TRUE;
}

BOOL CALLBACK applyToTopLevel(HWND window, LPARAM /*unused*/)
{
    attachExisting(window, 0);
    EnumChildWindows(window, attachExisting, 0);
    RedrawWindow(window, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
    return TRUE;
}

} // namespace

bool canDraw()
{
    return true;
}

void drawWith(const Look& look)
{
    // The earlier look's brushes go once every window has the new look: menus hold theirs.
    LookBrushes earlier;
    earlier.solid.swap(state().brushes.solid);
    earlier.panel.swap(state().brushes.panel);
    state().look = look;
    installHook();
    EnumThreadWindows(GetCurrentThreadId(), applyToTopLevel, 0);
}

} // namespace marrowtune::skin
