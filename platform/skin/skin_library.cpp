// SPDX-License-Identifier: MIT
#include "platform/skin/skin_drawing.h"
#include "platform/skin/theme.h"

#include <QApplication>
#include <QPalette>
#include <QStyle>
#include <QStyleFactory>
#include <QThread>
#include <QWidget>

#include <algorithm>
#include <optional>

namespace marrowtune::skin {
namespace {

QColor qcolour(Rgb c)
{
    return QColor(c.r, c.g, c.b);
}

QString name(Rgb c)
{
    return QString::fromStdString(colourName(c));
}

QString brush(const Fill& fill)
{
    if (fill.stops.size() == 1) {
        return name(fill.stops.front().colour);
    }
    QString text = QStringLiteral("qlineargradient(x1:0, y1:0, x2:0, y2:1");
    for (const auto& stop : fill.stops) {
        text += QStringLiteral(", stop:%1 %2").arg(stop.position).arg(name(stop.colour));
    }
    return text + QLatin1Char(')');
}

// The header's bottom line is drawn as the last stops of its fill: a bottom border would make
// the header a pixel taller than the unskinned one and move the list's rows.
Fill withBottomLine(Fill fill, Rgb line)
{
    if (fill.stops.size() == 1) {
        fill.stops.push_back({1.0, fill.stops.front().colour});
    }
    for (auto& stop : fill.stops) {
        stop.position *= 0.94;
    }
    fill.stops.push_back({0.95, line});
    fill.stops.push_back({1.0, line});
    return fill;
}

QPalette paletteFor(const Look& look)
{
    const Theme& t = look.theme;
    const Rgb white{255, 255, 255};
    const Rgb black{0, 0, 0};
    const Rgb button = mix(look.button.stops.front().colour, look.button.stops.back().colour, 0.5);
    QPalette p(qcolour(button), qcolour(t.window));
    p.setColor(QPalette::Window, qcolour(t.window));
    p.setColor(QPalette::WindowText, qcolour(t.windowText));
    p.setColor(QPalette::Base, qcolour(t.base));
    p.setColor(QPalette::AlternateBase, qcolour(t.alternateBase));
    p.setColor(QPalette::Text, qcolour(t.text));
    p.setColor(QPalette::Button, qcolour(button));
    p.setColor(QPalette::ButtonText, qcolour(t.buttonText));
    p.setColor(QPalette::BrightText, qcolour(t.dark ? white : black));
    p.setColor(QPalette::Highlight, qcolour(t.highlight));
    p.setColor(QPalette::HighlightedText, qcolour(t.highlightedText));
    p.setColor(QPalette::ToolTipBase, qcolour(t.base));
    p.setColor(QPalette::ToolTipText, qcolour(t.text));
    p.setColor(QPalette::PlaceholderText, qcolour(t.disabledText));
    p.setColor(QPalette::Link, qcolour(t.accent));
    p.setColor(QPalette::LinkVisited, qcolour(mix(t.accent, t.text, 0.3)));
    p.setColor(QPalette::Light, qcolour(mix(button, white, 0.6)));
    p.setColor(QPalette::Midlight, qcolour(mix(button, white, 0.3)));
    p.setColor(QPalette::Mid, qcolour(t.panelBorder));
    p.setColor(QPalette::Dark, qcolour(mix(t.panelBorder, black, 0.25)));
    p.setColor(QPalette::Shadow, qcolour(mix(t.panelBorder, black, 0.6)));
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
        p.setColor(QPalette::Disabled, role, qcolour(t.disabledText));
    }
    return p;
}

// Only colours, borders and backgrounds: no size, margin or padding here may change how large
// a widget is, because the window places its controls in fixed rectangles. The group box's
// top margin and the header's padding only move things inside the widget.
QString styleSheetFor(const Look& look)
{
    const Theme& t = look.theme;
    const Rgb grid = mix(t.base, t.text, 0.16);
    const Rgb headerLine = mix(t.header.stops.back().colour, t.inputBorder, 0.6);
    QString qss;
    if (!t.fontFamily.empty()) {
        qss += QStringLiteral("QWidget { font-family: \"%1\"; }\n")
                   .arg(QString::fromStdString(t.fontFamily));
    }
    qss += QStringLiteral(
               "QGroupBox { background: %1; border: 1px solid %2; border-top-color: %3;"
               " border-radius: 4px; margin-top: 7px; color: %4; }\n"
               "QGroupBox::title { subcontrol-origin: margin; subcontrol-position: top left;"
               " left: 8px; padding: 0 3px; color: %4; }\n")
               .arg(brush(look.panel), name(t.panelBorder), name(look.panelTopEdge),
                    name(t.panelTitle));
    qss += QStringLiteral("QPushButton { color: %1; background: %2; border: 1px solid %3;"
                          " border-radius: 3px; padding: 0 4px; }\n"
                          "QPushButton:focus { border-color: %4; }\n"
                          "QPushButton:hover { background: %5; border-color: %4; }\n"
                          "QPushButton:pressed { background: %6; border-color: %4; }\n"
                          "QPushButton:disabled { color: %7; background: %8; border-color: %9; }\n")
               .arg(name(t.buttonText), brush(look.button), name(t.buttonBorder), name(t.accent),
                    brush(look.buttonHover), brush(look.buttonPressed), name(t.disabledText),
                    brush(look.buttonDisabled), name(mix(t.buttonBorder, t.window, 0.45)));
    qss += QStringLiteral("QLineEdit { color: %1; background: %2; border: 1px solid %3;"
                          " border-radius: 2px; padding: 0 2px; selection-color: %4;"
                          " selection-background-color: %5; }\n"
                          "QLineEdit:focus { border-color: %6; }\n")
               .arg(name(t.text), brush(look.edit), name(t.inputBorder), name(t.highlightedText),
                    name(t.highlight), name(t.accent));
    qss += QStringLiteral(
               "QAbstractItemView { color: %1; background: %2; alternate-background-color: %3;"
               " border: 1px solid %4; gridline-color: %5; selection-color: %6;"
               " selection-background-color: %7; }\n"
               "QAbstractItemView:focus { border-color: %8; }\n")
               .arg(name(t.text), name(t.base), name(t.alternateBase), name(t.inputBorder),
                    name(grid), name(t.highlightedText), name(t.highlight), name(t.accent));
    // The corner between the two scroll bars is the scroll area's own; left alone it shows
    // the base colour of the list, a bright square in most themes.
    qss += QStringLiteral("QAbstractScrollArea::corner { background: %1; border: none; }\n")
               .arg(name(t.window));
    qss += QStringLiteral("QHeaderView { background: %1; border: none; }\n"
                          "QHeaderView::section { color: %2; background: %3; border: none;"
                          " border-right: 1px solid %4; padding: 0 4px; }\n"
                          "QTableCornerButton::section { background: %3; border: none;"
                          " border-right: 1px solid %4; border-bottom: 1px solid %4; }\n")
               .arg(name(t.base), name(t.headerText),
                    brush(withBottomLine(look.header, headerLine)), name(headerLine));
    qss += QStringLiteral("QMenu { color: %1; background: %2; border: 1px solid %3; }\n"
                          "QMenu::item { padding: 4px 24px 4px 16px; background: transparent; }\n"
                          "QMenu::item:selected { color: %4; background: %5; }\n"
                          "QMenu::item:disabled { color: %6; }\n"
                          "QMenu::separator { height: 1px; background: %3; margin: 3px 6px; }\n"
                          "QToolTip { color: %1; background: %2; border: 1px solid %3; }\n")
               .arg(name(t.text), name(t.base), name(t.panelBorder), name(t.highlightedText),
                    name(t.highlight), name(t.disabledText));
    if (!t.styleSheet.empty()) {
        qss += QString::fromStdString(t.styleSheet) + QLatin1Char('\n');
    }
    return qss;
}

QApplication* guiApplication()
{
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (!app || QThread::currentThread() != app->thread()) {
        return nullptr;
    }
    return app;
}

void applyLook(QApplication* app, const Look& look)
{
    static bool styleSet = false;
    if (!styleSet) {
        // Fusion draws everything from the palette, so the theme looks the same on every
        // platform; the style sheet then adds the gradients and frames.
        if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion"))) {
            QApplication::setStyle(fusion);
        }
        styleSet = true;
    }
    QApplication::setPalette(paletteFor(look));
    app->setStyleSheet(styleSheetFor(look));
}

bool anyWindowOnScreen()
{
    const QWidgetList windows = QApplication::topLevelWidgets();
    return std::any_of(windows.begin(), windows.end(),
                       [](const QWidget* w) { return w->isVisible(); });
}

// Qt polishes every styled widget again whenever the application's style sheet changes, and
// the list's scroll bars and header are polished as soon as they are built: a program that
// sets a theme and then the aero look on its new window, before showing it, would pay for two
// whole style sheets. While no window is on screen the latest look therefore waits and is
// applied once: at the next turn of the event loop, or as soon as a widget is polished or
// shown or a window exposed, whichever comes first; nothing can be drawn before that.
class PendingLook : public QObject {
public:
    void keep(QApplication* app, const Look& look)
    {
        const bool wasPending = m_look.has_value();
        m_look = look;
        if (wasPending) {
            return;
        }
        app->installEventFilter(this);
        QCoreApplication::postEvent(this, new QEvent(QEvent::User), Qt::HighEventPriority);
    }

    void apply()
    {
        if (!m_look) {
            return;
        }
        // Taken first: applying sends the very events that would apply it again.
        const Look look = std::move(*m_look);
        m_look.reset();
        if (QApplication* app = guiApplication()) {
            app->removeEventFilter(this);
            applyLook(app, look);
        }
    }

protected:
    bool event(QEvent* event) override
    {
        if (event->type() == QEvent::User) {
            apply();
            return true;
        }
        return QObject::event(event);
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::Polish:
        case QEvent::PolishRequest:
        case QEvent::Show:
        case QEvent::Expose:
        case QEvent::UpdateRequest:
            apply();
            break;
        default:
            break;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::optional<Look> m_look;
};

PendingLook& pendingLook()
{
    static PendingLook pending;
    return pending;
}

} // namespace

bool canDraw()
{
    return guiApplication() != nullptr;
}

void drawWith(const Look& look)
{
    QApplication* app = guiApplication();
    if (!app) {
        return;
    }
    PendingLook& pending = pendingLook();
    pending.keep(app, look);
    if (anyWindowOnScreen()) {
        // A window is on screen: the new look is seen at once.
        pending.apply();
    }
}

} // namespace marrowtune::skin
