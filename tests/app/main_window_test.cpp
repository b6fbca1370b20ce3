// SPDX-License-Identifier: MIT
#include "app/main_window.h"
#include "app/program.h"
#include "app/qt_text.h"
#include "marrowtune/config.h"
#include "tests/app/fake_desktop.h"
#include "tests/app/gui_test_support.h"
#include "tests/app/recording_skin.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTableWidget>
#include <QTest>
#include <QToolTip>

#include <algorithm>
#include <gtest/gtest.h>

namespace marrowtune {
namespace {

using namespace Qt::StringLiterals;
using test::FakeDesktop;

class MainWindowTest : public testing::Test {
protected:
    void SetUp() override
    {
        window = test::makeWindowWithFakeDesktop(desktop);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }

    template <typename T = QWidget> T* unit(const char16_t* name) const
    {
        return window->findChild<T*>(QString::fromUtf16(name));
    }

    std::unique_ptr<MainWindow> window;
    FakeDesktop* desktop = nullptr;
};

struct UnitCase {
    const char16_t* name;
    const char* kind;
    const char16_t* parent;
    QRect rect;
    const char16_t* caption;
    bool enabled;
    bool tabStop;
};

// Catches a unit with the wrong kind, parent, rectangle, caption, initial state or tab stop.
TEST_F(MainWindowTest, UnitsMatchTheTemplate)
{
    const UnitCase cases[] = {
        {u"按钮3", "QPushButton", u"分组框1", {670, 10, 72, 32}, u"换肤", true, true},
        {u"按钮_下一页", "QPushButton", u"分组框2", {439, 309, 80, 32}, u"下一页", false, true},
        {u"按钮_上一页", "QPushButton", u"分组框2", {247, 309, 80, 32}, u"上一页", false, true},
        {u"透明标签3", "QLabel", u"分组框2", {374, 309, 39, 32}, u"0/0", true, false},
        {u"编辑框2", "QLineEdit", u"分组框1", {494, 10, 104, 32}, u"271828182", true, true},
        {u"透明标签2", "QLabel", u"分组框1", {389, 10, 97, 32}, u"QQ背景音乐查询", true, false},
        {u"按钮2", "QPushButton", u"分组框1", {602, 11, 68, 31}, u"查询", true, true},
        {u"按钮1", "QPushButton", u"分组框1", {282, 11, 80, 32}, u"搜索", true, true},
        {u"编辑框1", "QLineEdit", u"分组框1", {134, 10, 144, 32}, u"累死爱情", true, true},
        {u"透明标签1", "QLabel", u"分组框1", {21, 18, 100, 20}, u"歌名/歌手/专辑", true, false},
        {u"超级列表框1", "QTableWidget", u"分组框2", {8, 16, 742, 288}, u"", true, true},
        {u"分组框2", "QGroupBox", u"MainWindow", {2, 56, 758, 344}, u"搜索结果", true, false},
        {u"分组框1", "QGroupBox", u"MainWindow", {2, 6, 752, 50}, u"搜索", true, false},
    };
    for (const UnitCase& c : cases) {
        const QString name = QString::fromUtf16(c.name);
        SCOPED_TRACE(name.toStdString());
        QWidget* widget = unit(c.name);
        ASSERT_NE(widget, nullptr);
        EXPECT_STREQ(widget->metaObject()->className(), c.kind);
        ASSERT_NE(widget->parentWidget(), nullptr);
        EXPECT_EQ(widget->parentWidget()->objectName(), QString::fromUtf16(c.parent));
        EXPECT_EQ(widget->geometry(), c.rect);
        const char* captionProperty = qobject_cast<QGroupBox*>(widget) ? "title" : "text";
        if (!qobject_cast<QTableWidget*>(widget)) {
            EXPECT_EQ(widget->property(captionProperty).toString(), QString::fromUtf16(c.caption));
        }
        EXPECT_EQ(widget->isEnabled(), c.enabled);
        EXPECT_TRUE(widget->isVisible());
        EXPECT_EQ((widget->focusPolicy() & Qt::TabFocus) != 0, c.tabStop);
        if (auto* label = qobject_cast<QLabel*>(widget)) {
            // Transparent: draws over its parent's background, one left-aligned line.
            EXPECT_FALSE(label->autoFillBackground());
            EXPECT_EQ(label->alignment(), Qt::AlignLeft | Qt::AlignVCenter);
            EXPECT_FALSE(label->wordWrap());
        }
        if (auto* box = qobject_cast<QLineEdit*>(widget)) {
            EXPECT_TRUE(box->hasFrame());
            EXPECT_FALSE(box->isReadOnly());
            EXPECT_EQ(box->echoMode(), QLineEdit::Normal);
            EXPECT_GT(box->maxLength(), 1 << 20);
        }
        if (auto* button = qobject_cast<QPushButton*>(widget)) {
            EXPECT_FALSE(button->isDefault());
            EXPECT_FALSE(button->autoDefault());
            EXPECT_TRUE(button->icon().isNull());
        }
    }
}

// Catches a caption, size, frame, position or icon that differs from the window's template.
TEST_F(MainWindowTest, WindowIsFixedCentredAndCaptioned)
{
    EXPECT_EQ(window->objectName(), QStringLiteral("MainWindow"));
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Marrowtune"));
    EXPECT_EQ(window->size(), QSize(760, 427));
    EXPECT_EQ(window->minimumSize(), window->maximumSize());
    const Qt::WindowFlags flags = window->windowFlags();
    EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowSystemMenuHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowStaysOnTopHint));
    const QPoint screenCentre = window->screen()->availableGeometry().center();
    EXPECT_LE((window->geometry().center() - screenCentre).manhattanLength(), 1);
    const QList<QSize> sizes = window->windowIcon().availableSizes();
    EXPECT_EQ(sizes.size(), 5);
    for (const int side : {128, 64, 48, 32, 16}) {
        EXPECT_TRUE(sizes.contains(QSize(side, side))) << side;
    }
    EXPECT_TRUE(window->findChildren<QMenuBar*>().isEmpty());
}

// Catches a list that is not a single-selection report with the four template columns.
TEST_F(MainWindowTest, ListHasTheFourColumnsAndReportBehaviour)
{
    auto* list = unit<QTableWidget>(u"超级列表框1");
    ASSERT_NE(list, nullptr);
    const QString titles[] = {u"歌名"_s, u"歌手"_s, u"专辑"_s, u"链接地址"_s};
    const int widths[] = {150, 150, 150, 280};
    ASSERT_EQ(list->columnCount(), 4);
    for (int column = 0; column < 4; ++column) {
        EXPECT_EQ(list->horizontalHeaderItem(column)->text(), titles[column]);
        EXPECT_EQ(list->columnWidth(column), widths[column]);
        EXPECT_EQ(list->horizontalHeaderItem(column)->textAlignment() & Qt::AlignHorizontal_Mask,
                  Qt::AlignLeft);
    }
    EXPECT_EQ(list->rowCount(), 0);
    EXPECT_FALSE(list->verticalHeader()->isVisible());
    EXPECT_TRUE(list->horizontalHeader()->isVisible());
    EXPECT_TRUE(list->horizontalHeader()->sectionsClickable());
    EXPECT_EQ(list->selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_EQ(list->selectionMode(), QAbstractItemView::SingleSelection);
    EXPECT_EQ(list->editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_TRUE(list->showGrid());
    EXPECT_FALSE(list->isSortingEnabled());
}

// Catches a menu that shows in a menu bar, or items out of order or with extra decoration.
TEST_F(MainWindowTest, PopupMenuHasItsThreeItemsHidden)
{
    auto* menu = unit<QMenu>(u"菜单");
    ASSERT_NE(menu, nullptr);
    EXPECT_FALSE(menu->isVisible());
    const QList<QAction*> items = menu->actions();
    ASSERT_EQ(items.size(), 3);
    const QString captions[] = {u"复制"_s, u"搜索"_s, u"在线试听"_s};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(items[i]->objectName(), captions[i]);
        EXPECT_EQ(items[i]->text(), captions[i]);
        EXPECT_TRUE(items[i]->isEnabled());
        EXPECT_TRUE(items[i]->isVisible());
        EXPECT_FALSE(items[i]->isCheckable());
        EXPECT_TRUE(items[i]->shortcut().isEmpty());
    }
    EXPECT_EQ(items[0], window->findChild<QAction*>(u"复制"_s));
}

// Catches a tab order that skips a control, includes a label or group box, or is shuffled.
TEST_F(MainWindowTest, TabOrderRunsThroughTheControls)
{
    const QStringList expected = {u"编辑框1"_s,     u"按钮1"_s,      u"编辑框2"_s,
                                  u"按钮2"_s,       u"按钮3"_s,      u"超级列表框1"_s,
                                  u"按钮_上一页"_s, u"按钮_下一页"_s};
    QStringList chain;
    QWidget* first = unit(u"编辑框1");
    QWidget* widget = first;
    do {
        if (widget->focusPolicy() & Qt::TabFocus) {
            chain << widget->objectName();
        }
        widget = widget->nextInFocusChain();
    } while (widget != first && chain.size() <= expected.size());
    EXPECT_EQ(chain, expected);
}

// Catches initial values that differ from the template, at the GBK level the searches read.
TEST_F(MainWindowTest, SearchViewStartsWithTheTemplateState)
{
    EXPECT_EQ(window->keywordText(), "\xC0\xDB\xCB\xC0\xB0\xAE\xC7\xE9"); // 累死爱情
    EXPECT_EQ(window->qqNumberText(), "271828182");
    EXPECT_EQ(window->pageLabel(), "0/0");
    EXPECT_FALSE(window->previousPageEnabled());
    EXPECT_FALSE(window->nextPageEnabled());
    EXPECT_EQ(window->rowCount(), 0);
    EXPECT_EQ(window->selectedRow(), -1);
    EXPECT_EQ(window->menuItemCaption(MenuItem::Copy), "\xB8\xB4\xD6\xC6"); // 复制
}

// Catches cells that lose GBK bytes, rows that do not append, or out-of-range access.
TEST_F(MainWindowTest, SearchViewWritesAndReadsTheList)
{
    const Text song = "\xC7\xE7\xCC\xEC"; // 晴天
    EXPECT_EQ(window->insertRow(), 0);
    EXPECT_EQ(window->insertRow(), 1);
    window->setCellText(1, 0, song);
    window->setCellText(1, 3, "http://h/a b?c=%20&d");
    window->setCellText(2, 0, "no such row");
    window->setCellText(0, 4, "no such column");
    EXPECT_EQ(window->rowCount(), 2);
    EXPECT_EQ(window->cellText(1, 0), song);
    EXPECT_EQ(window->cellText(1, 3), "http://h/a b?c=%20&d");
    EXPECT_EQ(window->cellText(0, 0), "");
    EXPECT_EQ(window->cellText(-1, 3), "");
    EXPECT_EQ(window->cellText(2, 0), "");
    window->setPageLabel("3/12");
    window->setNextPageEnabled(true);
    EXPECT_EQ(window->pageLabel(), "3/12");
    EXPECT_TRUE(window->nextPageEnabled());
    EXPECT_FALSE(window->previousPageEnabled());
    window->deleteAllRows();
    EXPECT_EQ(window->rowCount(), 0);
    EXPECT_FALSE(window->scriptComponent().addCode("function f(x){return x}"));
    EXPECT_EQ(window->scriptComponent().run("f", "x"), "");
}

// Catches rows added to or missing from the event table (operations of later work included).
TEST(EventTableTest, HasExactlyTheWindowsRows)
{
    const std::vector<std::pair<QString, UnitEvent>> expected = {
        {u"MainWindow"_s, UnitEvent::Created},  {u"MainWindow"_s, UnitEvent::AboutToBeDestroyed},
        {u"按钮3"_s, UnitEvent::Clicked},       {u"按钮1"_s, UnitEvent::Clicked},
        {u"按钮2"_s, UnitEvent::Clicked},       {u"按钮_上一页"_s, UnitEvent::Clicked},
        {u"按钮_下一页"_s, UnitEvent::Clicked}, {u"超级列表框1"_s, UnitEvent::RightClicked},
        {u"复制"_s, UnitEvent::Chosen},         {u"搜索"_s, UnitEvent::Chosen},
        {u"在线试听"_s, UnitEvent::Chosen},
    };
    std::vector<std::pair<QString, UnitEvent>> rows;
    for (const EventBinding& row : mainWindowEvents()) {
        rows.emplace_back(row.unit.toString(), row.event);
        EXPECT_NE(row.handler, nullptr);
    }
    EXPECT_EQ(rows, expected);
}

// Catches a left or double click that starts something, or a double click that edits a cell.
TEST_F(MainWindowTest, LeftAndDoubleClickOnlySelect)
{
    for (int row = 0; row < 3; ++row) {
        window->setCellText(window->insertRow(), 0, "song");
    }
    auto* list = unit<QTableWidget>(u"超级列表框1");
    const QPoint cell = list->visualRect(list->model()->index(1, 0)).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, cell);
    EXPECT_EQ(window->selectedRow(), 1);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, cell);
    EXPECT_EQ(window->selectedRow(), 1);
    EXPECT_TRUE(list->viewport()->findChildren<QLineEdit*>().isEmpty()); // no cell editor
    EXPECT_EQ(window->cellText(1, 0), "song");
    EXPECT_TRUE(desktop->popups.empty());
    EXPECT_TRUE(desktop->clipboard.empty());
    EXPECT_TRUE(desktop->opened.empty());
}

// Catches a right click that does not select its row, open the menu, or restore the cursor.
TEST_F(MainWindowTest, RightClickSelectsTheRowAndPopsUpTheMenu)
{
    for (int row = 0; row < 3; ++row) {
        window->setCellText(window->insertRow(), 0, "song " + std::to_string(row));
    }
    auto* list = unit<QTableWidget>(u"超级列表框1");
    const QPoint cell = list->visualRect(list->model()->index(2, 0)).center();
    desktop->cursor = QPoint(window->windowLeftEdge() + window->listLeftEdge() + 20, 300);
    // Through the window system, as a real click comes, so the context-menu event follows.
    QTest::mouseClick(window->windowHandle(), Qt::RightButton, {},
                      list->viewport()->mapTo(window.get(), cell));
    EXPECT_EQ(window->selectedRow(), 2);
    ASSERT_EQ(desktop->popups.size(), 1U);
    EXPECT_EQ(desktop->popups[0].visibleItems, QStringList({u"复制(song 2)"_s, u"搜索(song 2)"_s}));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

// The window with three song rows, shown and active, so keys and clicks come through the
// window system as the user's do.
class ListKeyboardAndMouseTest : public MainWindowTest {
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        for (int row = 0; row < 3; ++row) {
            const int at = window->insertRow();
            window->setCellText(at, 0, "song " + std::to_string(row));
            window->setCellText(at, 1, "singer " + std::to_string(row));
            window->setCellText(at, 3, "http://h/" + std::to_string(row));
        }
        list = unit<QTableWidget>(u"超级列表框1");
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }

    QPoint cellCentre(int row, int column) const
    {
        return list->visualRect(list->model()->index(row, column)).center();
    }

    // A right click at a point of the list's viewport; the cursor seam says where it was.
    void rightClickAt(QPoint inViewport)
    {
        desktop->cursor = list->viewport()->mapToGlobal(inViewport);
        QTest::mouseClick(window->windowHandle(), Qt::RightButton, {},
                          list->viewport()->mapTo(window.get(), inViewport));
    }

    QTableWidget* list = nullptr;
};

// Catches the first key typed after start landing anywhere but the keyword box, or added to
// the preset keyword instead of replacing it.
TEST_F(ListKeyboardAndMouseTest, TypingAtStartReplacesTheKeyword)
{
    EXPECT_EQ(QApplication::focusWidget(), unit(u"编辑框1"));
    QTest::keyClick(window->windowHandle(), Qt::Key_X);
    EXPECT_EQ(window->keywordText(), "x");
}

// Catches a list reached by Tab whose menu key does nothing because no row is selected yet,
// and a menu for another cell than the current one.
TEST_F(ListKeyboardAndMouseTest, TabIntoTheListThenTheMenuKeyOpensTheMenu)
{
    const struct {
        const char* what;
        int currentRow; // -1: no current cell
        int currentColumn;
        QStringList visibleItems;
    } cases[] = {
        {"no current cell", -1, 0, {u"复制(song 0)"_s, u"搜索(song 0)"_s, u"在线试听"_s}},
        {"current singer", 2, 1, {u"复制(singer 2)"_s, u"搜索(singer 2)"_s, u"在线试听"_s}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        desktop->popups.clear();
        list->setCurrentIndex(list->model()->index(c.currentRow, c.currentColumn));
        list->clearSelection();
        unit(u"按钮3")->setFocus();
        QTest::keyClick(window->windowHandle(), Qt::Key_Tab);
        ASSERT_EQ(QApplication::focusWidget(), list);
        EXPECT_EQ(window->selectedRow(), std::max(c.currentRow, 0));
        QTest::keyClick(window->windowHandle(), Qt::Key_Menu);
        ASSERT_EQ(desktop->popups.size(), 1U);
        EXPECT_EQ(desktop->popups[0].visibleItems, c.visibleItems);
    }
}

// Catches a current cell that cannot be told apart inside its selected row, so the arrow keys
// silently change the cell the menu acts on.
TEST_F(ListKeyboardAndMouseTest, CurrentCellShowsInsideTheSelectedRow)
{
    list->setFocus();
    const QRect cell = list->visualRect(list->model()->index(1, 2)); // an empty album cell
    const auto picture = [&](int currentColumn) {
        list->selectRow(1);
        list->selectionModel()->setCurrentIndex(list->model()->index(1, currentColumn),
                                                QItemSelectionModel::NoUpdate);
        return list->viewport()->grab(cell).toImage();
    };
    EXPECT_NE(picture(2), picture(0));
}

// Catches a right click in the link column that scrolls the whole table sideways (the view's
// own scroll to the pressed cell, which comes a moment after the press).
TEST_F(ListKeyboardAndMouseTest, RightClickDoesNotScrollSideways)
{
    for (int row = 0; row < 30; ++row) {
        window->setCellText(window->insertRow(), 3, "http://h/" + std::to_string(row));
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return list->horizontalScrollBar()->maximum() > 0; }));
    const int interval = QApplication::doubleClickInterval();
    QApplication::setDoubleClickInterval(1);
    rightClickAt(cellCentre(1, 3));
    QTest::qWait(150); // past the view's delayed scroll
    QApplication::setDoubleClickInterval(interval);
    EXPECT_EQ(list->horizontalScrollBar()->value(), 0);
    EXPECT_EQ(window->selectedRow(), 1);
    ASSERT_EQ(desktop->popups.size(), 1U);
    EXPECT_EQ(desktop->popups[0].visibleItems, QStringList({u"复制(http://h/1)"_s, u"在线试听"_s}));
}

struct KeyboardMenuCase {
    const char* what;
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    int column; // the current cell's column
    QStringList visibleItems;
};

// Catches a menu the keyboard cannot open, one opened for another cell than the current one or
// with other rules than a right click's, or placed away from the cell.
TEST_F(ListKeyboardAndMouseTest, MenuKeyAndShiftF10OpenTheMenuAtTheCurrentCell)
{
    const KeyboardMenuCase cases[] = {
        {"menu key, singer",
         Qt::Key_Menu,
         Qt::NoModifier,
         1,
         {u"复制(singer 1)"_s, u"搜索(singer 1)"_s, u"在线试听"_s}},
        {"Shift+F10, name",
         Qt::Key_F10,
         Qt::ShiftModifier,
         0,
         {u"复制(song 1)"_s, u"搜索(song 1)"_s, u"在线试听"_s}},
        {"menu key, link", Qt::Key_Menu, Qt::NoModifier, 3, {u"复制(http://h/1)"_s, u"在线试听"_s}},
        {"F10 alone", Qt::Key_F10, Qt::NoModifier, 1, {}},
    };
    for (const KeyboardMenuCase& c : cases) {
        SCOPED_TRACE(c.what);
        desktop->popups.clear();
        desktop->cursor = QPoint(-500, -500); // the pointer plays no part
        list->setCurrentCell(1, c.column);
        list->setFocus();
        QTest::keyClick(window->windowHandle(), c.key, c.modifiers);
        if (c.visibleItems.isEmpty()) {
            EXPECT_TRUE(desktop->popups.empty());
            continue;
        }
        ASSERT_EQ(desktop->popups.size(), 1U);
        EXPECT_EQ(desktop->popups[0].visibleItems, c.visibleItems);
        const QRect cell = list->visualRect(list->model()->index(1, c.column));
        EXPECT_EQ(desktop->popups[0].at, list->viewport()->mapToGlobal(cell.bottomLeft()));
    }
}

// Catches the column under the pointer taken from fixed edges once the user has resized the
// first column: the menu then offers the album or the name instead of the singer.
TEST_F(ListKeyboardAndMouseTest, RightClickFindsTheColumnFromTheListsEdges)
{
    for (const int firstWidth : {150, 250, 60}) {
        SCOPED_TRACE(firstWidth);
        list->setColumnWidth(0, firstWidth);
        desktop->popups.clear();
        rightClickAt(cellCentre(2, 1));
        ASSERT_EQ(desktop->popups.size(), 1U);
        EXPECT_EQ(desktop->popups[0].visibleItems,
                  QStringList({u"复制(singer 2)"_s, u"搜索(singer 2)"_s, u"在线试听"_s}));
    }
    list->setColumnWidth(0, 150);
    EXPECT_EQ(window->columnEdges(), ColumnEdges);
}

// Catches a right click below the last row that keeps the old selection, so the menu acts on
// a row the user did not click.
TEST_F(ListKeyboardAndMouseTest, RightClickBelowTheRowsClearsTheSelection)
{
    list->selectRow(0);
    rightClickAt(QPoint(cellCentre(2, 1).x(), list->viewport()->height() - 5));
    EXPECT_EQ(window->selectedRow(), -1);
    EXPECT_TRUE(desktop->popups.empty());
}

// Catches a cut-off cell without its whole text as a tooltip, or a tooltip on a cell that
// shows all of its text.
TEST_F(ListKeyboardAndMouseTest, CutOffCellsShowTheirWholeTextAsTooltip)
{
    const QString longName = QString(60, u'长');
    window->setCellText(0, 0, toGbk(longName));
    const std::pair<QPoint, QString> cases[] = {
        {cellCentre(0, 0), longName},
        {cellCentre(1, 0), QString()},
        {cellCentre(1, 3), QString()},
    };
    for (const auto& [point, tip] : cases) {
        QToolTip::hideText(); // the tip fades out rather than going at once
        ASSERT_TRUE(QTest::qWaitFor([] { return !QToolTip::isVisible(); }));
        QHelpEvent help(QEvent::ToolTip, point, list->viewport()->mapToGlobal(point));
        QApplication::sendEvent(list->viewport(), &help);
        EXPECT_EQ(QToolTip::isVisible() ? QToolTip::text() : QString(), tip);
    }
    QToolTip::hideText();
}

// Catches controls a screen reader cannot tell apart: both edit boxes heard as the group box's
// title, a list without a name, a page label heard as a bare "0/0" or in English, and a window
// announced as a filler pane.
TEST_F(MainWindowTest, ScreenReadersHearNamesAndThePage)
{
    QAccessibleInterface* top = QAccessible::queryAccessibleInterface(window.get());
    ASSERT_NE(top, nullptr);
    EXPECT_EQ(top->role(), QAccessible::Window);
    const auto text = [this](const char16_t* name, QAccessible::Text kind) {
        QAccessibleInterface* face = QAccessible::queryAccessibleInterface(unit(name));
        return face != nullptr ? face->text(kind) : u"(none)"_s;
    };
    EXPECT_EQ(text(u"编辑框1", QAccessible::Name), u"歌名/歌手/专辑"_s);
    EXPECT_EQ(text(u"编辑框2", QAccessible::Name), u"QQ背景音乐查询"_s);
    EXPECT_EQ(text(u"超级列表框1", QAccessible::Name), u"搜索结果"_s);
    EXPECT_EQ(text(u"透明标签3", QAccessible::Name), u"页码"_s);
    EXPECT_EQ(text(u"透明标签3", QAccessible::Description), u"第 0 页，共 0 页"_s);
    window->setPageLabel("3/12");
    EXPECT_EQ(text(u"透明标签3", QAccessible::Description), u"第 3 页，共 12 页"_s);
    EXPECT_EQ(unit<QLabel>(u"透明标签3")->text(), u"3/12"_s);
}

// Catches presses of 换肤 that do not reach the skin library, or reach it with other themes
// than the fixed sequence's.
TEST_F(MainWindowTest, ChangeSkinPressesAttachTheFixedThemes)
{
    const test::RecordingSkin skin;
    for (int press = 0; press < 5; ++press) {
        QTest::mouseClick(unit<QPushButton>(u"按钮3"), Qt::LeftButton);
    }
    EXPECT_EQ(skin.calls(),
              (std::vector<std::string>{"theme 42/shown", "theme 24/shown", "theme 13/shown",
                                        "theme 53/shown", "theme 30/shown"}));
}

// Catches a closing that does not open the author's page, or opens it more than once.
TEST_F(MainWindowTest, ClosingOpensTheAuthorPageOnce)
{
    window->close();
    window->close();
    ASSERT_EQ(desktop->opened.size(), 1U);
    EXPECT_EQ(desktop->opened[0], Text(config::AuthorPageUrl));
}

// Catches a handler that runs without the busy cursor, or leaves it behind; adding a row is
// all it takes to connect a button.
TEST(MainWindowEventsTest, HandlersRunUnderTheBusyCursor)
{
    test::ensureApplication();
    QFile file(MainWindowTemplatePath.toString());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    static int clicks = 0;
    static Qt::CursorShape shape = Qt::ArrowCursor;
    clicks = 0;
    const EventBinding rows[] = {
        {u"按钮1", UnitEvent::Clicked,
         [](MainWindow&) {
             ++clicks;
             shape = QApplication::overrideCursor() ? QApplication::overrideCursor()->shape()
                                                    : Qt::ArrowCursor;
         }},
    };
    auto window = MainWindow::fromTemplate(file.readAll(), rows, nullptr);
    ASSERT_NE(window, nullptr);
    window->show();
    QTest::mouseClick(window->findChild<QPushButton*>(u"按钮1"_s), Qt::LeftButton);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(shape, Qt::WaitCursor);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

// Catches a focused button that Enter does not press (only Space did).
TEST(MainWindowEventsTest, EnterOnAFocusedButtonPressesIt)
{
    test::ensureApplication();
    QFile file(MainWindowTemplatePath.toString());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    static QStringList pressed;
    pressed.clear();
    const char16_t* buttons[] = {u"按钮1", u"按钮2", u"按钮3", u"按钮_上一页", u"按钮_下一页"};
    const EventBinding rows[] = {
        {buttons[0], UnitEvent::Clicked, [](MainWindow&) { pressed << u"按钮1"_s; }},
        {buttons[1], UnitEvent::Clicked, [](MainWindow&) { pressed << u"按钮2"_s; }},
        {buttons[2], UnitEvent::Clicked, [](MainWindow&) { pressed << u"按钮3"_s; }},
        {buttons[3], UnitEvent::Clicked, [](MainWindow&) { pressed << u"按钮_上一页"_s; }},
        {buttons[4], UnitEvent::Clicked, [](MainWindow&) { pressed << u"按钮_下一页"_s; }},
    };
    auto window = MainWindow::fromTemplate(file.readAll(), rows, nullptr);
    ASSERT_NE(window, nullptr);
    window->setPreviousPageEnabled(true);
    window->setNextPageEnabled(true);
    QStringList expected;
    for (const char16_t* name : buttons) {
        auto* button = window->findChild<QPushButton*>(QString::fromUtf16(name));
        QTest::keyClick(button, Qt::Key_Return);
        QTest::keyClick(button, Qt::Key_Enter, Qt::KeypadModifier);
        expected << QString::fromUtf16(name) << QString::fromUtf16(name);
    }
    EXPECT_EQ(pressed, expected);
}

// Catches a row naming a unit the template lacks, or an event the unit cannot raise, being
// accepted silently.
TEST(MainWindowEventsTest, RowsForMissingOrUnfitUnitsRefuseTheWindow)
{
    test::ensureApplication();
    QFile file(MainWindowTemplatePath.toString());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray data = file.readAll();
    const EventBinding missing[] = {{u"按钮9", UnitEvent::Clicked, [](MainWindow&) {}}};
    const EventBinding unfit[] = {{u"透明标签1", UnitEvent::Clicked, [](MainWindow&) {}}};
    EXPECT_EQ(MainWindow::fromTemplate(data, missing, nullptr), nullptr);
    EXPECT_EQ(MainWindow::fromTemplate(data, unfit, nullptr), nullptr);
}

} // namespace
} // namespace marrowtune
