// SPDX-License-Identifier: MIT
#pragma once
// The one narrow interface through which the searches and the result actions talk to the
// window. MainWindow implements it with widgets; marrowtune-cli and the tests with plain data.

#include "base/text.h"

namespace marrowtune {

class ScriptComponent;

/// The popup menu's three items, in menu order.
enum class MenuItem { Copy = 0, Search = 1, ListenOnline = 2 };

/// What the searches and result actions may read and change of the main window.
class SearchView {
public:
    virtual ~SearchView() = default;

    /// Content of the keyword box `编辑框1`.
    virtual Text keywordText() const = 0;
    /// Content of the QQ-number box `编辑框2`.
    virtual Text qqNumberText() const = 0;

    /// Result list `超级列表框1`: delete every row.
    virtual void deleteAllRows() = 0;
    /// Inserts an empty row at the end and returns its 0-based index.
    virtual int insertRow() = 0;
    /// Sets one cell; row and column count from 0.
    virtual void setCellText(int row, int column, const Text& text) = 0;
    /// Text of one cell; empty for a cell that does not exist.
    virtual Text cellText(int row, int column) const = 0;
    /// Number of rows in the list.
    virtual int rowCount() const = 0;
    /// Index of the selected row, -1 when none is selected.
    virtual int selectedRow() const = 0;

    /// Page label `透明标签3`.
    virtual void setPageLabel(const Text& text) = 0;
    virtual Text pageLabel() const = 0;
    /// Page buttons `按钮_上一页` and `按钮_下一页`.
    virtual void setPreviousPageEnabled(bool enabled) = 0;
    virtual void setNextPageEnabled(bool enabled) = 0;
    virtual bool previousPageEnabled() const = 0;
    virtual bool nextPageEnabled() const = 0;

    /// Captions and visibility of the popup menu `菜单`'s items.
    virtual Text menuItemCaption(MenuItem item) const = 0;
    virtual void setMenuItemCaption(MenuItem item, const Text& caption) = 0;
    virtual void setMenuItemVisible(MenuItem item, bool visible) = 0;
    virtual bool menuItemVisible(MenuItem item) const = 0;

    /// Lets the window handle its pending events (the random-stamp loop does this).
    virtual void processPendingEvents() = 0;

    /// The window's script component `脚本组件1`, which holds the link-rewriting script.
    virtual ScriptComponent& scriptComponent() = 0;
};

} // namespace marrowtune
