#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Turns the window's Designer template into the Win32 layout of marrowtune.exe.

    ui_to_win32.py TEMPLATE.ui OUTPUT.h

The .ui file is the one source of the window's layout on every platform: this writes a C++
header with one row per control (template name, window class, id, caption, rectangle in its
parent and in the window's client area, styles), the list's columns, the popup menu's items
and the tab order. A unit kind or property it does not know ends the build, so the two
windows cannot drift apart silently.
"""
import sys
import xml.etree.ElementTree as ET

FIRST_CONTROL_ID = 1001
FIRST_MENU_ITEM_ID = 2001

# Qt widget class -> (Win32 window class, styles, extended styles)
CLASSES = {
    "QGroupBox": ("Button", ["BS_GROUPBOX"], []),
    "QTableWidget": ("SysListView32",
                     ["LVS_REPORT", "LVS_SHOWSELALWAYS", "LVS_NOSORTHEADER", "WS_TABSTOP"],
                     ["WS_EX_CLIENTEDGE"]),
    "QLabel": ("Static", ["SS_NOPREFIX"], []),
    "QLineEdit": ("Edit", ["ES_AUTOHSCROLL", "WS_TABSTOP"], ["WS_EX_CLIENTEDGE"]),
    "QPushButton": ("Button", ["BS_PUSHBUTTON", "WS_TABSTOP"], []),
}


def fail(message):
    sys.exit("ui_to_win32: " + message)


def prop(widget, name):
    for p in widget.findall("property"):
        if p.get("name") == name:
            return p[0]
    return None


def attribute(widget, name):
    for a in widget.findall("attribute"):
        if a.get("name") == name:
            return a[0]
    return None


def rect(widget):
    r = prop(widget, "geometry")
    if r is None or r.tag != "rect":
        fail(f"{widget.get('name')} has no geometry")
    r = r.find("rect") if r.tag != "rect" else r
    return tuple(int(r.find(k).text) for k in ("x", "y", "width", "height"))


def string(widget, name, default=""):
    p = prop(widget, name)
    return default if p is None else (p.text or "")


def wide(text, prefix="L"):
    # Every character outside ASCII as a universal character name: the header does not depend
    # on the compiler's idea of the source encoding.
    out = []
    for ch in text:
        if ch in '"\\':
            out.append("\\" + ch)
        elif 0x20 <= ord(ch) < 0x7F:
            out.append(ch)
        else:
            out.append("\\u%04X" % ord(ch))
    return prefix + '"' + "".join(out) + '"'


def alignment_styles(widget):
    a = prop(widget, "alignment")
    styles = []
    if a is not None and a.text:
        if "AlignRight" in a.text or "AlignTrailing" in a.text:
            styles.append("SS_RIGHT")
        elif "AlignHCenter" in a.text or "AlignCenter" in a.text:
            styles.append("SS_CENTER")
        if "AlignVCenter" in a.text or "AlignCenter" in a.text:
            styles.append("SS_CENTERIMAGE")
    return styles


def list_columns(widget):
    captions = [c.find("property/string").text for c in widget.findall("column")]
    widths = string(widget, "columnWidths")
    widths = [int(w) for w in widths.split(",")] if widths else []
    if len(widths) != len(captions):
        fail(f"{widget.get('name')}: {len(captions)} columns but widths '{widths}'")
    return list(zip(captions, widths))


def main():
    if len(sys.argv) != 3:
        fail("usage: ui_to_win32.py TEMPLATE.ui OUTPUT.h")
    root = ET.parse(sys.argv[1]).getroot()
    window = root.find("widget")
    if window is None or window.get("class") != "QWidget":
        fail("the template's top level is not a QWidget")
    wx, wy, ww, wh = rect(window)
    minimum, maximum = prop(window, "minimumSize"), prop(window, "maximumSize")
    fixed = (minimum is not None and maximum is not None and
             [e.text for e in minimum] == [e.text for e in maximum] == [str(ww), str(wh)])

    controls, columns, menus = [], [], []
    actions = {a.get("name"): string(a, "text") for a in window.findall("action")}

    def walk(parent, parent_index, origin):
        for w in parent.findall("widget"):
            cls, name = w.get("class"), w.get("name")
            if cls == "QMenu":
                for add in w.findall("addaction"):
                    item = add.get("name")
                    if item not in actions:
                        fail(f"menu {name} adds the unknown action {item}")
                    menus.append((item, FIRST_MENU_ITEM_ID + len(menus), actions[item]))
                continue
            if cls not in CLASSES:
                fail(f"{name}: no Win32 control for {cls}")
            win_class, styles, ex_styles = CLASSES[cls]
            styles = ["WS_CHILD", "WS_VISIBLE"] + styles
            x, y, w_, h = rect(w)
            caption = string(w, "title" if cls == "QGroupBox" else "text")
            if cls == "QLabel":
                styles += alignment_styles(w)
            if cls == "QTableWidget":
                if string(w, "selectionMode") == "QAbstractItemView::SingleSelection":
                    styles.append("LVS_SINGLESEL")
                columns.extend((name, c, cw) for c, cw in list_columns(w))
                list_ex = ["LVS_EX_FULLROWSELECT"] if string(w, "selectionBehavior") == \
                    "QAbstractItemView::SelectRows" else []
                if string(w, "showGrid") == "true":
                    list_ex.append("LVS_EX_GRIDLINES")
            else:
                list_ex = []
            if string(w, "enabled", "true") == "false":
                styles.append("WS_DISABLED")
            index = len(controls)
            controls.append(dict(name=name, win_class=win_class, id=FIRST_CONTROL_ID + index,
                                 caption=caption, rect=(x, y, w_, h),
                                 abs=(origin[0] + x, origin[1] + y, w_, h), styles=styles,
                                 ex_styles=ex_styles, list_ex=list_ex, parent=parent_index))
            walk(w, index, (origin[0] + x, origin[1] + y))

    walk(window, -1, (0, 0))
    names = [c["name"] for c in controls]
    tab_order = [names.index(t.text) for t in root.findall("tabstops/tabstop")]

    def flags(items):
        return " | ".join(items) if items else "0"

    out = [
        "// Generated from the window's Designer template by app/win/ui_to_win32.py: edit the",
        "// template, not this file.",
        "#pragma once",
        "",
        '#include "app/win/window_layout.h"',
        "",
        "namespace marrowtune::win {",
        "",
        f"inline constexpr WindowLayout MainWindowLayout{{{wide(window.get('name'), 'u')}, "
        f"{wide(string(window, 'windowTitle'))}, {ww}, {wh}, {'true' if fixed else 'false'}}};",
        "",
        "inline constexpr ControlLayout MainWindowControls[] = {",
    ]
    for c in controls:
        out.append(f"    {{{wide(c['name'], 'u')}, {wide(c['win_class'])}, {c['id']}, "
                   f"{wide(c['caption'])}, {{{', '.join(map(str, c['rect']))}}}, "
                   f"{{{', '.join(map(str, c['abs']))}}}, {flags(c['styles'])}, "
                   f"{flags(c['ex_styles'])}, {flags(c['list_ex'])}, {c['parent']}}},")
    out += ["};", "", "inline constexpr ListColumnLayout MainWindowListColumns[] = {"]
    for list_name, caption, width in columns:
        out.append(f"    {{{wide(list_name, 'u')}, {wide(caption)}, {width}}},")
    out += ["};", "", "inline constexpr MenuItemLayout MainWindowMenuItems[] = {"]
    for name, item_id, caption in menus:
        out.append(f"    {{{wide(name, 'u')}, {item_id}, {wide(caption)}}},")
    out += ["};", "", "inline constexpr int MainWindowTabOrder[] = {" +
            ", ".join(map(str, tab_order)) + "};", "", "} // namespace marrowtune::win", ""]
    with open(sys.argv[2], "w", encoding="ascii") as f:
        f.write("\n".join(out))


if __name__ == "__main__":
    main()
