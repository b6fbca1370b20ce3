#pragma once
// A desktop that records instead of acting: no test opens a browser, touches the clipboard or
// waits on a popup menu.

#include "app/result_actions.h"

#include <QStringList>

#include <vector>

namespace marrowtune::test {

class FakeDesktop final : public Desktop {
public:
    struct Popup {
        QPoint at;
        QStringList visibleItems; // captions of the items the menu would show, in order
    };

    QPoint cursorPosition() const override { return cursor; }
    void setClipboardText(const Text& text) override { clipboard.push_back(text); }
    void openUrl(const Text& url) override { opened.push_back(url); }
    void popUpMenu(QMenu& menu, QPoint at) override;

    QPoint cursor;
    std::vector<Text> clipboard;
    std::vector<Text> opened;
    std::vector<Popup> popups;
};

} // namespace marrowtune::test
// SPDX-License-Identifier: MIT
