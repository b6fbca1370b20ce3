// SPDX-License-Identifier: MIT
#pragma once
// A search view of plain data: the window's controls as fields. marrowtune-cli runs the
// searches through it, and tests use it to watch what the searches write.

#include "search/search_view.h"

#include <array>
#include <vector>

namespace marrowtune {

/// One row of the result list: its four cells in column order.
using ResultRow = std::array<Text, 4>;

/// A SearchView over plain data that starts as the window does: empty boxes and list, label
/// "0/0", both page buttons disabled, the menu items captioned as in the window template.
class PlainSearchView final : public SearchView {
public:
    /// The view uses `script` as its script component; it must outlive the view.
    explicit PlainSearchView(ScriptComponent& script);

    /// Puts `text` into the keyword box.
    void setKeywordText(Text text) { m_keyword = std::move(text); }
    /// Puts `text` into the QQ-number box.
    void setQqNumberText(Text text) { m_qqNumber = std::move(text); }
    /// Selects a row (-1: none).
    void setSelectedRow(int row) { m_selectedRow = row; }
    /// Every row of the result list.
    const std::vector<ResultRow>& rows() const { return m_rows; }
    /// How often the searches let pending events run.
    int pendingEventRounds() const { return m_pendingEventRounds; }

    Text keywordText() const override { return m_keyword; }
    Text qqNumberText() const override { return m_qqNumber; }
    void deleteAllRows() override;
    int insertRow() override;
    void setCellText(int row, int column, const Text& text) override;
    Text cellText(int row, int column) const override;
    int rowCount() const override;
    int selectedRow() const override { return m_selectedRow; }
    void setPageLabel(const Text& text) override { m_pageLabel = text; }
    Text pageLabel() const override { return m_pageLabel; }
    void setPreviousPageEnabled(bool enabled) override { m_previousEnabled = enabled; }
    void setNextPageEnabled(bool enabled) override { m_nextEnabled = enabled; }
    bool previousPageEnabled() const override { return m_previousEnabled; }
    bool nextPageEnabled() const override { return m_nextEnabled; }
    Text menuItemCaption(MenuItem item) const override;
    void setMenuItemCaption(MenuItem item, const Text& caption) override;
    void setMenuItemVisible(MenuItem item, bool visible) override;
    bool menuItemVisible(MenuItem item) const override;
    void processPendingEvents() override { ++m_pendingEventRounds; }
    ScriptComponent& scriptComponent() override { return m_script; }

private:
    ScriptComponent& m_script;
    Text m_keyword;
    Text m_qqNumber;
    std::vector<ResultRow> m_rows;
    int m_selectedRow = -1;
    Text m_pageLabel = "0/0";
    bool m_previousEnabled = false;
    bool m_nextEnabled = false;
    std::array<Text, 3> m_menuCaptions;
    std::array<bool, 3> m_menuVisible{true, true, true};
    int m_pendingEventRounds = 0;
};

} // namespace marrowtune
