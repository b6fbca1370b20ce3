// SPDX-License-Identifier: MIT
#include "app/main_window.h"
#include "app/program.h"
#include "app/result_actions.h"
#include "marrowtune/config.h"
#include "tests/app/fake_desktop.h"
#include "tests/app/gui_test_support.h"

#include <QAction>
#include <QMenu>
#include <QTableWidget>

#include <gtest/gtest.h>

namespace marrowtune {
namespace {

using namespace Qt::StringLiterals;
using test::FakeDesktop;

const Text Song = "\xC7\xE7\xCC\xEC";                    // 晴天
const Text Singer = "\xD6\xDC\xBD\xDC\xC2\xD7";          // 周杰伦
const Text Message = "\xC3\xBB\xD3\xD0\xD5\xD2\xB5\xBD"; // 没有找到
const Text Link = "http://127.0.0.1:18990/mp3/7/1234.mp3?a=1&b=%E4 x";

// The window from its template, with three rows a search could write: a song, a message row
// (text in column 0 only) and a song without a link whose title holds a bracketed remark.
class ResultActionsTest : public testing::Test {
protected:
    enum Row { SongRow, MessageRow, NoLinkRow };

    void SetUp() override
    {
        window = test::makeWindowWithFakeDesktop(desktop);
        writeRow({Song, Singer, "Album", Link});
        writeRow({Message});
        writeRow({"Title (live)", "Singer", "Album", ""});
    }

    void writeRow(std::initializer_list<Text> cells)
    {
        const int row = window->insertRow();
        int column = 0;
        for (const Text& cell : cells) {
            window->setCellText(row, column++, cell);
        }
    }

    void select(int row)
    {
        auto* list = window->findChild<QTableWidget*>(u"超级列表框1"_s);
        if (row < 0) {
            list->clearSelection();
        } else {
            list->selectRow(row);
        }
    }

    // A right click `offset` pixels right of the list's left edge.
    void rightClickAt(int offset)
    {
        desktop->cursor = QPoint(window->windowLeftEdge() + window->listLeftEdge() + offset, 240);
        showListMenu(*window, *window, *desktop);
    }

    void choose(MenuItem item)
    {
        window->findChild<QMenu*>(u"菜单"_s)->actions().at(static_cast<int>(item))->trigger();
    }

    std::unique_ptr<MainWindow> window;
    FakeDesktop* desktop = nullptr;
};

// Catches an edge that falls into the wrong column: a click exactly on an edge belongs left.
TEST(ColumnAtOffsetTest, EdgesSplitTheFourColumns)
{
    const std::pair<int, int> cases[] = {{-40, 0}, {0, 0},   {152, 0}, {153, 1}, {302, 1},
                                         {303, 2}, {452, 2}, {453, 3}, {900, 3}};
    for (const auto& [offset, column] : cases) {
        EXPECT_EQ(columnAtOffset(offset), column) << offset;
    }
}

struct MenuCase {
    const char* what;
    int row; // -1: no row selected
    int offset;
    QStringList visibleItems;
};

// Catches wrong captions or visibility for each kind of cell, and a menu without a selection.
TEST_F(ResultActionsTest, MenuOffersWhatTheClickedCellAllows)
{
    const MenuCase cases[] = {
        {"song, name column", SongRow, 20, {u"复制(晴天)"_s, u"搜索(晴天)"_s, u"在线试听"_s}},
        {"song, singer column",
         SongRow,
         200,
         {u"复制(周杰伦)"_s, u"搜索(周杰伦)"_s, u"在线试听"_s}},
        {"song, link column",
         SongRow,
         500,
         {u"复制("_s + QString::fromLatin1(Link) + u")"_s, u"在线试听"_s}},
        {"message, column 0", MessageRow, 100, {u"复制(没有找到)"_s, u"搜索(没有找到)"_s}},
        {"message, column 1", MessageRow, 160, {u"搜索()"_s}},
        {"message, column 2", MessageRow, 400, {u"搜索()"_s}},
        {"message, column 3", MessageRow, 460, {}},
        {"empty link", NoLinkRow, 20, {u"复制(Title (live))"_s, u"搜索(Title (live))"_s}},
    };
    for (const MenuCase& c : cases) {
        SCOPED_TRACE(c.what);
        desktop->popups.clear();
        select(c.row);
        rightClickAt(c.offset);
        ASSERT_EQ(desktop->popups.size(), 1U);
        EXPECT_EQ(desktop->popups[0].visibleItems, c.visibleItems);
        EXPECT_EQ(desktop->popups[0].at, desktop->cursor + QPoint(3, 3));
    }
}

// Catches a menu shown, or captions changed, when no row is selected.
TEST_F(ResultActionsTest, NoSelectedRowShowsNoMenu)
{
    select(SongRow);
    rightClickAt(20);
    select(-1);
    rightClickAt(200);
    EXPECT_EQ(desktop->popups.size(), 1U);
    EXPECT_EQ(window->menuItemCaption(MenuItem::Copy), "\xB8\xB4\xD6\xC6(" + Song + ")");
}

// Catches captions that are not the exact GBK bytes the search item reads back, and a link
// column that overwrites the search item's caption.
TEST_F(ResultActionsTest, CaptionsCarryTheCellTextInGbk)
{
    select(SongRow);
    rightClickAt(200);
    EXPECT_EQ(window->menuItemCaption(MenuItem::Copy), "\xB8\xB4\xD6\xC6(" + Singer + ")");
    EXPECT_EQ(window->menuItemCaption(MenuItem::Search), "\xCB\xD1\xCB\xF7(" + Singer + ")");
    rightClickAt(460);
    EXPECT_FALSE(window->menuItemVisible(MenuItem::Search));
    EXPECT_EQ(window->menuItemCaption(MenuItem::Search), "\xCB\xD1\xCB\xF7(" + Singer + ")");
}

// Catches copying that cuts a cell at a ")" of its own or loses GBK bytes.
TEST_F(ResultActionsTest, CopyTakesTheWholeCellText)
{
    const std::pair<int, Text> cases[] = {{SongRow, Song}, {NoLinkRow, "Title (live)"}};
    for (const auto& [row, copied] : cases) {
        desktop->clipboard.clear();
        select(row);
        rightClickAt(20);
        choose(MenuItem::Copy);
        ASSERT_EQ(desktop->clipboard.size(), 1U);
        EXPECT_EQ(desktop->clipboard[0], copied);
    }
}

// Catches a listen address that encodes or trims the link.
TEST_F(ResultActionsTest, ListenOpensThePageWithTheLinkUnencoded)
{
    select(SongRow);
    rightClickAt(500);
    choose(MenuItem::ListenOnline);
    ASSERT_EQ(desktop->opened.size(), 1U);
    EXPECT_EQ(desktop->opened[0],
              "http://" + Text(config::ListenPageHost) + "/musci/mp3.html?url=" + Link);
    EXPECT_EQ(listenOnlineUrl("", ServiceHosts::buildDefaults()),
              "http://" + Text(config::ListenPageHost) + "/musci/mp3.html?url=");
}

// Catches a build without a listen page or author page that opens a page on an empty host.
TEST_F(ResultActionsTest, WithoutListenAndAuthorPagesTheLinkOpensAndClosingOpensNothing)
{
    window->searchContext().hosts.listenPageHost.clear();
    window->searchContext().hosts.authorPageUrl.clear();
    select(SongRow);
    rightClickAt(500);
    choose(MenuItem::ListenOnline);
    window->close();
    EXPECT_EQ(desktop->opened, std::vector<Text>{Link});
}

} // namespace
} // namespace marrowtune
