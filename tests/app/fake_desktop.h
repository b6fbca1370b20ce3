// SPDX-License-Identifier: MIT
#pragma once
// A desktop that records instead of acting: no test opens a browser, touches the clipboard or
// waits on a popup menu.

#include "app/qt_desktop.h"
#include "search/service_hosts.h"

#include <QPoint>
#include <QStringList>

#include <cstdio>
#include <vector>

namespace marrowtune::test {

class FakeDesktop final : public QtDesktop {
public:
    struct Popup {
        QPoint at;
        QStringList visibleItems; // captions of the items the menu would show, in order
    };

    ScreenPoint cursorPosition() const override { return {cursor.x(), cursor.y()}; }
    void setClipboardText(const Text& text) override { clipboard.push_back(text); }
    void openUrl(const Text& url) override { opened.push_back(url); }
    void popUpMenu(QMenu& menu, QPoint at) override;

    QPoint cursor;
    std::vector<Text> clipboard;
    std::vector<Text> opened;
    std::vector<Popup> popups;
};

/// For tests that run the whole program in a child process: says on stderr which page the
/// program opens ("open author page" or "open other"), instead of opening it.
class ReportingDesktop final : public QtDesktop {
public:
    ScreenPoint cursorPosition() const override { return {}; }
    void setClipboardText(const Text&) override {}
    void openUrl(const Text& url) override
    {
        const bool author = url == ServiceHosts::buildDefaults().authorPageUrl;
        std::fputs(author ? "open author page\n" : "open other\n", stderr);
    }
    void popUpMenu(QMenu&, QPoint) override {}
};

} // namespace marrowtune::test
