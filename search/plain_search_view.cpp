// SPDX-License-Identifier: MIT
#include "search/plain_search_view.h"

namespace marrowtune {
namespace {

bool isCell(std::size_t rows, int row, int column)
{
    return row >= 0 && static_cast<std::size_t>(row) < rows && column >= 0 && column < 4;
}

std::size_t itemIndex(MenuItem item)
{
    return static_cast<std::size_t>(item);
}

} // namespace

PlainSearchView::PlainSearchView(ScriptComponent& script)
    : m_script(script),
      // "复制", "搜索", "在线试听" in GBK.
      m_menuCaptions{"\xB8\xB4\xD6\xC6", "\xCB\xD1\xCB\xF7", "\xD4\xDA\xCF\xDF\xCA\xD4\xCC\xFD"}
{
}

void PlainSearchView::deleteAllRows()
{
    m_rows.clear();
    m_selectedRow = -1;
}

int PlainSearchView::insertRow()
{
    m_rows.emplace_back();
    return static_cast<int>(m_rows.size()) - 1;
}

void PlainSearchView::setCellText(int row, int column, const Text& text)
{
    if (isCell(m_rows.size(), row, column)) {
        m_rows[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)] = text;
    }
}

Text PlainSearchView::cellText(int row, int column) const
{
    if (!isCell(m_rows.size(), row, column)) {
        return {};
    }
    return m_rows[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)];
}

int PlainSearchView::rowCount() const
{
    return static_cast<int>(m_rows.size());
}

Text PlainSearchView::menuItemCaption(MenuItem item) const
{
    return m_menuCaptions[itemIndex(item)];
}

void PlainSearchView::setMenuItemCaption(MenuItem item, const Text& caption)
{
    m_menuCaptions[itemIndex(item)] = caption;
}

void PlainSearchView::setMenuItemVisible(MenuItem item, bool visible)
{
    m_menuVisible[itemIndex(item)] = visible;
}

bool PlainSearchView::menuItemVisible(MenuItem item) const
{
    return m_menuVisible[itemIndex(item)];
}

} // namespace marrowtune
