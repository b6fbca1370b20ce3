// SPDX-License-Identifier: MIT
#pragma once
// The program's one window, built from its template at run time.

#include "app/event_table.h"
#include "app/handler_runs.h"
#include "app/qt_desktop.h"
#include "app/result_actions.h"
#include "search/search_context.h"
#include "search/search_view.h"

#include <QWidget>

#include <array>
#include <memory>
#include <optional>
#include <span>
#include <vector>

class QAction;
class QByteArray;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QTableWidget;

namespace marrowtune {

class ScriptComponent;

/// The main window: the units of its template (object names are the template names), the
/// event table's dispatch, and the widgets behind SearchView.
class MainWindow final : public QWidget,
                         public SearchView,
                         public ListMenuHost,
                         public SearchContextHolder {
    Q_OBJECT

public:
    /// Builds the window from template data (a Qt Designer form) and binds the event rows;
    /// null when the data is not a usable template or a row names a unit it lacks. Without a
    /// script component the window runs without one: added code is refused.
    static std::unique_ptr<MainWindow> fromTemplate(const QByteArray& templateData,
                                                    std::span<const EventBinding> events,
                                                    std::unique_ptr<ScriptComponent> script);
    ~MainWindow() override;

    /// Raises the created event; the program does this once, before the window is first shown.
    void raiseCreated();
    /// The desktop facilities the handlers use.
    QtDesktop& desktop();
    /// Replaces the desktop facilities (tests).
    void setDesktop(std::unique_ptr<QtDesktop> desktop);

    // SearchView
    Text keywordText() const override;
    Text qqNumberText() const override;
    void deleteAllRows() override;
    int insertRow() override;
    void setCellText(int row, int column, const Text& text) override;
    Text cellText(int row, int column) const override;
    int rowCount() const override;
    int selectedRow() const override;
    void setPageLabel(const Text& text) override;
    Text pageLabel() const override;
    void setPreviousPageEnabled(bool enabled) override;
    void setNextPageEnabled(bool enabled) override;
    bool previousPageEnabled() const override;
    bool nextPageEnabled() const override;
    Text menuItemCaption(MenuItem item) const override;
    void setMenuItemCaption(MenuItem item, const Text& caption) override;
    void setMenuItemVisible(MenuItem item, bool visible) override;
    bool menuItemVisible(MenuItem item) const override;
    void processPendingEvents() override;
    ScriptComponent& scriptComponent() override;

    // ListMenuHost
    int windowLeftEdge() const override;
    int listLeftEdge() const override;
    std::array<int, 3> columnEdges() const override;
    std::optional<ListMenuPlace> keyboardMenuPlace() const override;
    void popUpListMenu(ScreenPoint at) override;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct BoundEvent {
        QObject* unit;
        UnitEvent event;
        EventHandler handler;
    };

    MainWindow();
    bool takeUnits();
    bool bindEvents(std::span<const EventBinding> events);
    bool connectUnit(QObject* target, UnitEvent event);
    void raiseEvent(QObject* unit, UnitEvent event);
    void beginHandlers();
    void endHandlers();
    void whileWaiting();
    bool filterListEvent(QEvent* event);
    bool filterListViewportEvent(QEvent* event);
    void selectCurrentRowIfNone();
    void showListMenuForCurrentCell();
    QAction* menuItem(MenuItem item) const;

    QLineEdit* m_keywordBox = nullptr;
    QLineEdit* m_qqNumberBox = nullptr;
    QTableWidget* m_list = nullptr;
    QLabel* m_pageLabel = nullptr;
    QPushButton* m_searchButton = nullptr;
    QPushButton* m_queryButton = nullptr;
    QPushButton* m_previousPage = nullptr;
    QPushButton* m_nextPage = nullptr;
    QMenu* m_menu = nullptr;
    std::array<QAction*, 3> m_menuItems{};
    std::unique_ptr<ScriptComponent> m_script; // 脚本组件1: no window of its own
    std::unique_ptr<QtDesktop> m_desktop;
    std::vector<BoundEvent> m_events;
    std::optional<ListMenuPlace> m_keyboardMenuPlace; // set while the keyboard opens the menu
    bool m_deliveringRightPress = false;  // a right press goes on to the list without scrolling
    std::unique_ptr<QObject> m_inputGate; // drops input to the window while a handler runs
    HandlerRuns m_handlerRuns;
};

} // namespace marrowtune
