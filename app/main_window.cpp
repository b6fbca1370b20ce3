// SPDX-License-Identifier: MIT
#include "app/main_window.h"

#include "app/app_icon.h"
#include "app/qt_text.h"
#include "search/script_component.h"
#include "search/search_session.h"
#include "search/song_record.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QGroupBox>
#include <QHeaderView>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QScreen>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QToolTip>
#include <QUiLoader>
#include <QWindow>

#include <algorithm>
#include <utility>

namespace marrowtune {

namespace {

// Makes the form's top-level widget the MainWindow that is already there instead of a new one,
// so the units' parents are the window itself.
class IntoWindowLoader final : public QUiLoader {
public:
    explicit IntoWindowLoader(QWidget* window) : m_window(window)
    {
        // Captions are the template's own texts, never run through a translator.
        setTranslationEnabled(false);
    }

    QWidget* createWidget(const QString& className, QWidget* parent, const QString& name) override
    {
        if (parent == nullptr && m_window != nullptr) {
            if (className != QLatin1String("QWidget")) {
                return nullptr;
            }
            QWidget* window = std::exchange(m_window, nullptr);
            window->setObjectName(name);
            return window;
        }
        return QUiLoader::createWidget(className, parent, name);
    }

private:
    QWidget* m_window;
};

// The window's component when no script host was handed in: it refuses every code text, so
// the rewriting calls give empty text and the window runs on without the script.
class NoScriptComponent final : public ScriptComponent {
public:
    bool addCode(const Text&) override { return false; }
    Text run(const Text&, const Text&) override { return {}; }
};

// The busy cursor shows while a handler blocks the window.
class BusyCursor {
public:
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

// Shows a cell's whole text as its tooltip when the column is too narrow for it and the list
// cuts it off with "...", and marks the current cell, which the keyboard's menu acts on.
class ListCells final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override
    {
        QStyleOptionViewItem cell = option;
        const bool current = (cell.state & QStyle::State_HasFocus) != 0;
        cell.state &= ~QStyle::State_HasFocus;
        QStyledItemDelegate::paint(painter, cell, index);
        if (!current) {
            return;
        }
        // The style's own focus frame has the selection's colour and vanishes inside a selected
        // row; a dotted frame in the colour of the text drawn on the cell shows in every theme.
        const bool selected = (cell.state & QStyle::State_Selected) != 0;
        painter->save();
        QPen pen(cell.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
        pen.setStyle(Qt::DotLine);
        painter->setPen(pen);
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(cell.rect.adjusted(1, 1, -2, -2));
        painter->restore();
    }

    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override
    {
        if (event->type() != QEvent::ToolTip) {
            return QStyledItemDelegate::helpEvent(event, view, option, index);
        }
        QStyleOptionViewItem item = option;
        initStyleOption(&item, index);
        const QStyle* style = view->style();
        // The style draws the text inside this rectangle, less a margin on either side.
        const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view) + 1;
        const int room =
            style->subElementRect(QStyle::SE_ItemViewItemText, &item, view).width() - 2 * margin;
        if (!item.text.isEmpty() && item.fontMetrics.horizontalAdvance(item.text) > room) {
            QToolTip::showText(event->globalPos(), item.text, view->viewport(), option.rect);
        } else {
            QToolTip::hideText();
        }
        return true;
    }
};

// What a screen reader says of the page label beside its name, in the window's language:
// "第 2 页，共 7 页" (page 2 of 7) for "2/7".
QString pageDescription(const QString& label)
{
    const qsizetype slash = label.indexOf(QLatin1Char('/'));
    if (slash < 0) {
        return label;
    }
    return QStringLiteral("第 %1 页，共 %2 页").arg(label.left(slash), label.mid(slash + 1));
}

// Screen readers hear the main window as a window (a frame), not as an unnamed filler pane,
// which is what a plain top-level widget is announced as.
QAccessibleInterface* mainWindowAccessible(const QString& className, QObject* object)
{
    if (className == QLatin1String(MainWindow::staticMetaObject.className()) &&
        object->isWidgetType()) {
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Window);
    }
    return nullptr;
}

// Enter on a focused push button presses it, as Space does; Qt's buttons take Enter only in
// dialogs.
class EnterPressesButtons final : public QObject {
public:
    using QObject::QObject;

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::KeyPress) {
            return false;
        }
        const auto* key = static_cast<QKeyEvent*>(event);
        const Qt::KeyboardModifiers modifiers = key->modifiers() & ~Qt::KeypadModifier;
        auto* button = qobject_cast<QPushButton*>(watched);
        if (button == nullptr || modifiers != Qt::NoModifier || key->isAutoRepeat() ||
            (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter)) {
            return false;
        }
        button->click();
        return true;
    }
};

// While a handler runs, the window's events still come through (the network waits and the
// stamp loop let them), so it repaints and can be moved; but the clicks and keys aimed at it
// are dropped, not queued and replayed into the controls once the handler is done. Esc cancels
// the work under way, whether its request is open yet or not.
class InputGate final : public QObject {
public:
    InputGate(QWidget& window, HandlerRuns& runs) : m_window(window), m_runs(runs) {}

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (!isUserInput(event->type()) || !aimedAtWindow(watched)) {
            return false;
        }
        if (event->type() == QEvent::KeyPress &&
            static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
            m_runs.cancel();
        }
        return true;
    }

private:
    static bool isUserInput(QEvent::Type type)
    {
        switch (type) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::InputMethod:
        case QEvent::ContextMenu:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::TabletPress:
        case QEvent::TabletRelease:
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::Drop:
            return true;
        default:
            return false;
        }
    }

    // The window, its controls and its popup menu, and the platform windows behind them; not
    // a box of the program's own that may open meanwhile (the fatal error's).
    bool aimedAtWindow(const QObject* target) const
    {
        if (const auto* platformWindow = qobject_cast<const QWindow*>(target)) {
            for (const QWindow* w = platformWindow; w != nullptr; w = w->transientParent()) {
                if (w == m_window.windowHandle()) {
                    return true;
                }
            }
            const QWidget* popup = QApplication::activePopupWidget();
            return popup != nullptr && popup->windowHandle() == platformWindow &&
                   aimedAtWindow(popup);
        }
        for (const QObject* o = target; o != nullptr; o = o->parent()) {
            if (o == &m_window) {
                return true;
            }
        }
        return false;
    }

    QWidget& m_window;
    HandlerRuns& m_runs;
};

template <typename T> T* unit(QWidget& window, QStringView name)
{
    return window.findChild<T*>(name.toString());
}

bool applyColumnWidths(QTableWidget& list)
{
    const QStringList widths =
        list.property("columnWidths").toString().split(QLatin1Char(','), Qt::SkipEmptyParts);
    if (widths.size() != list.columnCount()) {
        return false;
    }
    for (int column = 0; column < widths.size(); ++column) {
        bool ok = false;
        const int width = widths[column].trimmed().toInt(&ok);
        if (!ok) {
            return false;
        }
        list.setColumnWidth(column, width);
    }
    return true;
}

} // namespace

MainWindow::MainWindow()
    : m_desktop(makeSystemDesktop()), m_inputGate(std::make_unique<InputGate>(*this, m_handlerRuns))
{
}

MainWindow::~MainWindow() = default;

std::unique_ptr<MainWindow> MainWindow::fromTemplate(const QByteArray& templateData,
                                                     std::span<const EventBinding> events,
                                                     std::unique_ptr<ScriptComponent> script)
{
    std::unique_ptr<MainWindow> window(new MainWindow);
    QBuffer data;
    data.setData(templateData);
    if (!data.open(QIODevice::ReadOnly)) {
        return nullptr;
    }
    // The template uses Qt's own widgets only. QUiLoader loads every Designer plugin on the
    // library paths when it is made (one of them pulls in Qt Quick), so it is made while
    // those paths are hidden.
    const QStringList libraryPaths = QCoreApplication::libraryPaths();
    QCoreApplication::setLibraryPaths({});
    IntoWindowLoader loader(window.get());
    QCoreApplication::setLibraryPaths(libraryPaths);
    if (loader.load(&data) != window.get() || !window->takeUnits() || !window->bindEvents(events)) {
        return nullptr;
    }
    window->m_script = script ? std::move(script) : std::make_unique<NoScriptComponent>();

    // A fixed frame with caption, system menu, minimise and close: no maximise button, and the
    // template's equal minimum and maximum sizes keep it from being resized.
    window->setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                           Qt::WindowCloseButtonHint);
    window->setFixedSize(window->minimumSize());
    window->setWindowIcon(makeAppIcon());
    // Typing right after start goes into the keyword box and replaces the preset keyword.
    window->m_keywordBox->setFocus();
    window->m_keywordBox->selectAll();
    // Centred on the screen; the template's own position is not used.
    if (const QScreen* screen = window->screen()) {
        window->setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, window->size(),
                                                screen->availableGeometry()));
    }
    return window;
}

bool MainWindow::takeUnits()
{
    m_keywordBox = unit<QLineEdit>(*this, u"编辑框1");
    m_qqNumberBox = unit<QLineEdit>(*this, u"编辑框2");
    m_list = unit<QTableWidget>(*this, u"超级列表框1");
    m_pageLabel = unit<QLabel>(*this, u"透明标签3");
    m_searchButton = unit<QPushButton>(*this, u"按钮1");
    m_queryButton = unit<QPushButton>(*this, u"按钮2");
    m_previousPage = unit<QPushButton>(*this, u"按钮_上一页");
    m_nextPage = unit<QPushButton>(*this, u"按钮_下一页");
    m_menu = unit<QMenu>(*this, u"菜单");
    m_menuItems = {unit<QAction>(*this, u"复制"), unit<QAction>(*this, u"搜索"),
                   unit<QAction>(*this, u"在线试听")};
    for (QAction* item : m_menuItems) {
        if (item == nullptr || m_menu == nullptr || !m_menu->actions().contains(item)) {
            return false;
        }
    }
    if (!(m_keywordBox && m_qqNumberBox && m_list && m_pageLabel && m_searchButton &&
          m_queryButton && m_previousPage && m_nextPage && m_list->columnCount() == ColumnCount &&
          applyColumnWidths(*m_list))) {
        return false;
    }

    // Enter in an edit box presses the button beside it; the boxes keep the rest of their
    // standard behaviour.
    connect(m_keywordBox, &QLineEdit::returnPressed, m_searchButton, &QAbstractButton::click);
    connect(m_qqNumberBox, &QLineEdit::returnPressed, m_queryButton, &QAbstractButton::click);
    auto* enterPresses = new EnterPressesButtons(this);
    for (QPushButton* button : findChildren<QPushButton*>()) {
        button->installEventFilter(enterPresses);
    }
    m_list->setItemDelegate(new ListCells(m_list));
    // The list's own events (and its viewport's) come through the window's filter: keyboard
    // focus and the right button's press, besides the right-click row's events.
    m_list->installEventFilter(this);
    m_list->viewport()->installEventFilter(this);

    // Screen readers: without a buddy an edit box is named after its group box's title, and
    // both boxes would be heard as "搜索".
    if (auto* label = unit<QLabel>(*this, u"透明标签1")) {
        label->setBuddy(m_keywordBox);
    }
    if (auto* label = unit<QLabel>(*this, u"透明标签2")) {
        label->setBuddy(m_qqNumberBox);
    }
    if (const auto* box = qobject_cast<QGroupBox*>(m_list->parentWidget())) {
        m_list->setAccessibleName(box->title());
    }
    static const bool windowRoleInstalled = [] {
        QAccessible::installFactory(mainWindowAccessible);
        return true;
    }();
    Q_UNUSED(windowRoleInstalled);
    m_pageLabel->setAccessibleName(QStringLiteral("页码"));
    m_pageLabel->setAccessibleDescription(pageDescription(m_pageLabel->text()));
    return true;
}

bool MainWindow::bindEvents(std::span<const EventBinding> events)
{
    for (const EventBinding& row : events) {
        QObject* target = row.unit == WindowUnitName ? this : unit<QObject>(*this, row.unit);
        if (target == nullptr || row.handler == nullptr) {
            return false;
        }
        // A unit is connected once per event, however many rows it has.
        const bool connected = std::any_of(m_events.begin(), m_events.end(), [&](const auto& e) {
            return e.unit == target && e.event == row.event;
        });
        m_events.push_back({target, row.event, row.handler});
        if (!connected && !connectUnit(target, row.event)) {
            return false;
        }
    }
    return true;
}

bool MainWindow::connectUnit(QObject* target, UnitEvent event)
{
    const auto raise = [this, target, event] { raiseEvent(target, event); };
    switch (event) {
    case UnitEvent::Created:
    case UnitEvent::AboutToBeDestroyed:
        return target == this;
    case UnitEvent::Clicked:
        if (auto* button = qobject_cast<QAbstractButton*>(target)) {
            connect(button, &QAbstractButton::clicked, this, raise);
            return true;
        }
        return false;
    case UnitEvent::RightClicked:
        // The list's right clicks and menu keys come through the window's filter.
        return target == m_list;
    case UnitEvent::Chosen:
        if (auto* item = qobject_cast<QAction*>(target)) {
            connect(item, &QAction::triggered, this, raise);
            return true;
        }
        return false;
    }
    return false;
}

void MainWindow::raiseEvent(QObject* unit, UnitEvent event)
{
    for (const BoundEvent& bound : m_events) {
        if (bound.unit == unit && bound.event == event) {
            const BusyCursor busy;
            m_handlerRuns.run([this] { beginHandlers(); }, [&] { bound.handler(*this); },
                              [this] { endHandlers(); });
        }
    }
    // The window closed while a handler ran: its about-to-be-destroyed event comes now.
    if (m_handlerRuns.deferredCloseDue()) {
        raiseEvent(this, UnitEvent::AboutToBeDestroyed);
    }
}

// The first handler starts: input to the window is dropped and requests wait in whileWaiting.
void MainWindow::beginHandlers()
{
    QCoreApplication::instance()->installEventFilter(m_inputGate.get());
    setSearchWaitHook([this] { whileWaiting(); });
}

void MainWindow::endHandlers()
{
    setSearchWaitHook({});
    QCoreApplication::instance()->removeEventFilter(m_inputGate.get());
}

void MainWindow::whileWaiting()
{
    // Once the user has cancelled the work or closed the window, every request the handler
    // still makes ends at once.
    m_handlerRuns.requestWaits();
    QCoreApplication::processEvents();
}

void MainWindow::raiseCreated()
{
    raiseEvent(this, UnitEvent::Created);
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    // While a handler runs the window goes at once; the about-to-be-destroyed event follows
    // once the handler has unwound, before the message loop ends.
    if (!m_handlerRuns.deferClose() && m_handlerRuns.ending()) {
        raiseEvent(this, UnitEvent::AboutToBeDestroyed);
    }
    event->accept();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_list && filterListEvent(event)) {
        return true;
    }
    if (watched == m_list->viewport() && filterListViewportEvent(event)) {
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

bool MainWindow::filterListEvent(QEvent* event)
{
    // Tabbing into a list without a selected row selects the current (or first) one, so the
    // menu key has a row to act on and the arrow keys start from where the frame shows.
    if (event->type() == QEvent::FocusIn) {
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason ||
            reason == Qt::ShortcutFocusReason) {
            selectCurrentRowIfNone();
        }
        return false;
    }
    // The menu key and Shift+F10 open the menu for the current cell. Some window systems follow
    // the menu key with a keyboard context-menu event of their own; that one is swallowed, so
    // the menu opens once.
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const Qt::KeyboardModifiers modifiers = key->modifiers() & ~Qt::KeypadModifier;
        if ((key->key() == Qt::Key_Menu && modifiers == Qt::NoModifier) ||
            (key->key() == Qt::Key_F10 && modifiers == Qt::ShiftModifier)) {
            showListMenuForCurrentCell();
            return true;
        }
    }
    return event->type() == QEvent::ContextMenu &&
           static_cast<QContextMenuEvent*>(event)->reason() == QContextMenuEvent::Keyboard;
}

bool MainWindow::filterListViewportEvent(QEvent* event)
{
    // A right press below the last row clears the selection, as the list of the system the
    // program was made for does; otherwise the menu would act on a row the user did not click.
    if (event->type() == QEvent::MouseButtonPress && !m_deliveringRightPress) {
        const auto* press = static_cast<QMouseEvent*>(event);
        if (press->button() != Qt::RightButton) {
            return false;
        }
        if (!m_list->indexAt(press->position().toPoint()).isValid()) {
            m_list->clearSelection();
            return false;
        }
        // The view would scroll the pressed cell into full view a moment later, pulling the
        // whole table sideways under the menu when the link column is cut off; a right press
        // only selects the row. The press goes on to the view from here, without that scroll.
        const QScopedValueRollback delivering(m_deliveringRightPress, true);
        const bool autoScroll = m_list->hasAutoScroll();
        m_list->setAutoScroll(false);
        QCoreApplication::sendEvent(m_list->viewport(), event);
        m_list->setAutoScroll(autoScroll);
        return true;
    }
    // The context-menu event follows the right button's press, after the view has selected
    // the row under the cursor.
    if (event->type() == QEvent::ContextMenu &&
        static_cast<QContextMenuEvent*>(event)->reason() == QContextMenuEvent::Mouse) {
        raiseEvent(m_list, UnitEvent::RightClicked);
        return true;
    }
    return false;
}

void MainWindow::selectCurrentRowIfNone()
{
    if (selectedRow() != -1 || m_list->rowCount() == 0) {
        return;
    }
    QModelIndex cell = m_list->currentIndex();
    if (!cell.isValid()) {
        cell = m_list->model()->index(0, 0);
    }
    m_list->selectionModel()->setCurrentIndex(cell, QItemSelectionModel::ClearAndSelect |
                                                        QItemSelectionModel::Rows);
}

void MainWindow::showListMenuForCurrentCell()
{
    // The keyboard's menu always has a row: a list refilled while it had the focus has none
    // selected.
    selectCurrentRowIfNone();
    QModelIndex cell = m_list->currentIndex();
    if (!cell.isValid()) {
        cell = m_list->model()->index(selectedRow(), 0);
    }
    QPoint at = m_list->viewport()->mapToGlobal(QPoint(0, 0));
    if (cell.isValid()) {
        m_list->scrollTo(cell);
        at = m_list->viewport()->mapToGlobal(m_list->visualRect(cell).bottomLeft());
    }
    m_keyboardMenuPlace = ListMenuPlace{cell.isValid() ? cell.column() : 0, {at.x(), at.y()}};
    raiseEvent(m_list, UnitEvent::RightClicked);
    m_keyboardMenuPlace.reset();
}

QtDesktop& MainWindow::desktop()
{
    return *m_desktop;
}

void MainWindow::setDesktop(std::unique_ptr<QtDesktop> desktop)
{
    m_desktop = std::move(desktop);
}

Text MainWindow::keywordText() const
{
    return toGbk(m_keywordBox->text());
}

Text MainWindow::qqNumberText() const
{
    return toGbk(m_qqNumberBox->text());
}

void MainWindow::deleteAllRows()
{
    m_list->setRowCount(0);
}

int MainWindow::insertRow()
{
    const int row = m_list->rowCount();
    m_list->insertRow(row);
    return row;
}

void MainWindow::setCellText(int row, int column, const Text& text)
{
    if (row < 0 || row >= m_list->rowCount() || column < 0 || column >= ColumnCount) {
        return;
    }
    auto* item = new QTableWidgetItem(fromGbk(text));
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    m_list->setItem(row, column, item);
}

Text MainWindow::cellText(int row, int column) const
{
    const QTableWidgetItem* item = m_list->item(row, column);
    return item != nullptr ? toGbk(item->text()) : Text();
}

int MainWindow::rowCount() const
{
    return m_list->rowCount();
}

int MainWindow::selectedRow() const
{
    const QModelIndexList rows = m_list->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void MainWindow::setPageLabel(const Text& text)
{
    m_pageLabel->setText(fromGbk(text));
    m_pageLabel->setAccessibleDescription(pageDescription(m_pageLabel->text()));
}

Text MainWindow::pageLabel() const
{
    return toGbk(m_pageLabel->text());
}

void MainWindow::setPreviousPageEnabled(bool enabled)
{
    m_previousPage->setEnabled(enabled);
}

void MainWindow::setNextPageEnabled(bool enabled)
{
    m_nextPage->setEnabled(enabled);
}

bool MainWindow::previousPageEnabled() const
{
    return m_previousPage->isEnabled();
}

bool MainWindow::nextPageEnabled() const
{
    return m_nextPage->isEnabled();
}

QAction* MainWindow::menuItem(MenuItem item) const
{
    return m_menuItems.at(static_cast<std::size_t>(item));
}

Text MainWindow::menuItemCaption(MenuItem item) const
{
    return toGbk(menuItem(item)->text());
}

void MainWindow::setMenuItemCaption(MenuItem item, const Text& caption)
{
    menuItem(item)->setText(fromGbk(caption));
}

void MainWindow::setMenuItemVisible(MenuItem item, bool visible)
{
    menuItem(item)->setVisible(visible);
}

bool MainWindow::menuItemVisible(MenuItem item) const
{
    return menuItem(item)->isVisible();
}

void MainWindow::processPendingEvents()
{
    QCoreApplication::processEvents();
}

ScriptComponent& MainWindow::scriptComponent()
{
    return *m_script;
}

int MainWindow::windowLeftEdge() const
{
    return frameGeometry().x();
}

int MainWindow::listLeftEdge() const
{
    return m_list->x();
}

std::array<int, 3> MainWindow::columnEdges() const
{
    // Where the columns end on screen now, widened, narrowed or scrolled as the user left them.
    const QHeaderView* header = m_list->horizontalHeader();
    std::array<int, 3> edges{};
    for (int column = 0; column < static_cast<int>(edges.size()); ++column) {
        edges[static_cast<std::size_t>(column)] = ColumnEdgeMargin +
                                                  header->sectionViewportPosition(column) +
                                                  header->sectionSize(column);
    }
    return edges;
}

std::optional<ListMenuPlace> MainWindow::keyboardMenuPlace() const
{
    return m_keyboardMenuPlace;
}

void MainWindow::popUpListMenu(ScreenPoint at)
{
    m_desktop->popUpMenu(*m_menu, QPoint(at.x, at.y));
}

} // namespace marrowtune
