// SPDX-License-Identifier: MIT
#include "platform/skin/skin_library.h"
#include "platform/skin/theme.h"
#include "platform/skin/tools/window_mock.h"
#include "tests/platform/skin/theme_files.h"
#include "tests/support/qt_application.h"

#include <QApplication>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>

#include <cstdio>
#include <gtest/gtest.h>
#include <memory>

namespace marrowtune::skin {
namespace {

int attach(const std::vector<unsigned char>& bytes)
{
    return SkinH_AttachRes(bytes.data(), static_cast<int>(bytes.size()), "", 0, 0, 0);
}

// With no window on screen the look waits for the next turn of the event loop.
void settle()
{
    QCoreApplication::sendPostedEvents();
}

struct EventCounter : QObject {
    explicit EventCounter(QEvent::Type type) : type(type) {}
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        count += event->type() == type ? 1 : 0;
        return QObject::eventFilter(watched, event);
    }
    QEvent::Type type;
    int count = 0;
};

QColor qcolour(Rgb c)
{
    return QColor(c.r, c.g, c.b);
}

class SkinLibraryTest : public testing::Test {
protected:
    void SetUp() override
    {
        test::ensureApplication();
        SkinH_SetAero(0);
    }
};

// Catches a library that touches Qt before the application exists (it would crash or leave a
// theme that is applied half-way later).
TEST(SkinLibraryDeathTest, DoesNothingBeforeTheApplicationExists)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            const auto theme = readTheme(9);
            const int attached = attach(theme);
            const int aero = SkinH_SetAero(1);
            std::exit(attached == 0 && aero == 0 && !QCoreApplication::instance() ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
}

// Catches a theme the library refuses, or one that is not applied to the whole application.
TEST_F(SkinLibraryTest, AcceptsEveryThemeAndDrawsTheApplicationWithIt)
{
    for (int n = 1; n <= 58; ++n) {
        const auto bytes = readTheme(n);
        const auto theme = decodeTheme(bytes);
        ASSERT_TRUE(theme) << n;
        ASSERT_EQ(attach(bytes), 1) << n;
        settle();
        EXPECT_EQ(QApplication::palette().color(QPalette::Window), qcolour(theme->window)) << n;
        EXPECT_EQ(QApplication::palette().color(QPalette::Text), qcolour(theme->text)) << n;
        EXPECT_TRUE(
            qApp->styleSheet().contains(QString::fromStdString(colourName(theme->panelBorder))))
            << n;
    }
}

// Catches a scroll-bar corner that keeps a colour of its own (the list's bright base) instead
// of wearing the theme, in any of the 58 themes.
TEST_F(SkinLibraryTest, ScrollBarCornerWearsEveryTheme)
{
    QTableWidget list(40, 8);
    list.setAttribute(Qt::WA_DontShowOnScreen);
    list.resize(240, 160);
    list.show();
    for (int n = 1; n <= 58; ++n) {
        const auto theme = decodeTheme(readTheme(n));
        ASSERT_TRUE(theme) << n;
        ASSERT_EQ(attach(readTheme(n)), 1) << n;
        settle();
        QCoreApplication::processEvents();
        const QScrollBar* vertical = list.verticalScrollBar();
        const QScrollBar* horizontal = list.horizontalScrollBar();
        ASSERT_TRUE(vertical->isVisible() && horizontal->isVisible());
        const QPoint corner(vertical->mapTo(&list, vertical->rect().center()).x(),
                            horizontal->mapTo(&list, horizontal->rect().center()).y());
        EXPECT_EQ(list.grab().toImage().pixelColor(corner), qcolour(theme->window)) << n;
    }
}

// Catches damaged bytes that change the look, and a crash on a null or negative block.
TEST_F(SkinLibraryTest, DamagedThemeChangesNothing)
{
    ASSERT_EQ(attach(readTheme(9)), 1);
    settle();
    const QString sheet = qApp->styleSheet();
    const QPalette palette = QApplication::palette();
    auto good = readTheme(3);
    std::vector<std::vector<unsigned char>> damaged = {
        {good.begin(), good.begin() + 5},
        {good.begin(), good.end() - 3},
        std::vector<unsigned char>(4096, 0xFF),
    };
    for (std::size_t at : {std::size_t{0}, std::size_t{5}, std::size_t{6}, good.size() - 1}) {
        auto bytes = good;
        bytes[at] ^= 0x5A;
        damaged.push_back(bytes);
    }
    for (const auto& bytes : damaged) {
        EXPECT_EQ(attach(bytes), 0);
    }
    EXPECT_EQ(SkinH_AttachRes(nullptr, 100, "", 0, 0, 0), 0);
    EXPECT_EQ(SkinH_AttachRes(good.data(), -1, nullptr, 0, 0, 0), 0);
    EXPECT_EQ(SkinH_AttachRes(good.data(), 0, "", 0, 0, 0), 0);
    settle();
    EXPECT_EQ(qApp->styleSheet(), sheet);
    EXPECT_EQ(QApplication::palette(), palette);
}

// Catches a window created after the theme call that does not wear it, and a later call
// that does not replace the theme.
TEST_F(SkinLibraryTest, LaterWindowsWearTheThemeAndALaterCallReplacesIt)
{
    for (int n : {9, 41}) {
        const auto bytes = readTheme(n);
        const auto theme = decodeTheme(bytes);
        ASSERT_EQ(attach(bytes), 1);
        QPushButton button(QStringLiteral("x"));
        button.setGeometry(0, 0, 80, 32);
        const QImage image = button.grab().toImage();
        const QColor expected = qcolour(theme->button.stops.front().colour);
        const QColor seen = image.pixelColor(40, 2);
        EXPECT_LE(std::abs(seen.red() - expected.red()), 12) << n;
        EXPECT_LE(std::abs(seen.green() - expected.green()), 12) << n;
        EXPECT_LE(std::abs(seen.blue() - expected.blue()), 12) << n;
    }
}

// Catches a window drawn before the look it was given, and a start (theme, then aero, then
// show) that applies two style sheets: Qt polishes every styled widget again on each one, and
// the list's scroll bars are polished as soon as they are built.
TEST_F(SkinLibraryTest, CallsBeforeTheFirstShowAreAppliedOnceBeforeItIsDrawn)
{
    const Look aeroLook = deriveLook(*decodeTheme(readTheme(9)), true);
    // The first look ever applied also sets the style the themes build on.
    attach(readTheme(9));
    settle();
    // How often a new window's scroll bar is told its style changed, from the theme calls made
    // before the window is first shown up to the end of showing it.
    const auto styleChanges = [](void (*show)(QWidget&), bool withAero) {
        SkinH_SetAero(0);
        settle();
        std::unique_ptr<QWidget> mock(buildWindowMock());
        mock->setAttribute(Qt::WA_DontShowOnScreen);
        QWidget* scrollBar = mock->findChild<QTableWidget*>()->horizontalScrollBar();
        EventCounter counter(QEvent::StyleChange);
        scrollBar->installEventFilter(&counter);
        attach(readTheme(9));
        if (withAero) {
            SkinH_SetAero(1);
        }
        show(*mock);
        scrollBar->removeEventFilter(&counter);
        return counter.count;
    };
    struct {
        const char* what;
        void (*show)(QWidget&);
    } const ways[] = {
        {"show", [](QWidget& w) { w.show(); }},
        {"event loop", [](QWidget&) { QCoreApplication::processEvents(); }},
    };
    for (const auto& way : ways) {
        const int themeOnly = styleChanges(way.show, false);
        EXPECT_EQ(styleChanges(way.show, true), themeOnly) << way.what;
        EXPECT_TRUE(
            qApp->styleSheet().contains(QString::fromStdString(colourName(aeroLook.panelTopEdge))))
            << way.what;
    }
}

// Catches an aero look that is lost on the next theme, or that uses see-through colours
// (which show black without a compositing window manager).
TEST_F(SkinLibraryTest, AeroStaysAcrossThemesAndIsOpaque)
{
    ASSERT_EQ(attach(readTheme(9)), 1);
    settle();
    const QString plain = qApp->styleSheet();
    ASSERT_EQ(SkinH_SetAero(1), 1);
    settle();
    const QString aero = qApp->styleSheet();
    EXPECT_NE(aero, plain);
    ASSERT_EQ(attach(readTheme(12)), 1);
    settle();
    ASSERT_EQ(attach(readTheme(9)), 1);
    settle();
    EXPECT_EQ(qApp->styleSheet(), aero);
    EXPECT_FALSE(aero.contains(QStringLiteral("rgba")));
    EXPECT_FALSE(aero.contains(QStringLiteral("alpha")));
    const QPalette palette = QApplication::palette();
    for (int role = 0; role < QPalette::NColorRoles; ++role) {
        EXPECT_EQ(palette.color(static_cast<QPalette::ColorRole>(role)).alpha(), 255) << role;
    }
    std::unique_ptr<QWidget> mock(buildWindowMock());
    mock->setAttribute(Qt::WA_DontShowOnScreen);
    mock->show();
    EXPECT_FALSE(mock->testAttribute(Qt::WA_TranslucentBackground));
    const QImage shot = mock->grab().toImage();
    for (QPoint at : {QPoint(5, 5), QPoint(380, 30), QPoint(300, 120), QPoint(400, 410)}) {
        EXPECT_EQ(shot.pixelColor(at).alpha(), 255) << at.x() << ',' << at.y();
    }
}

// Counts, and reports on stderr, every place where a theme moves or resizes a widget of the
// fixed window (the list's header and viewport included), or squeezes a control's text area
// below its font's height. Runs in a fresh process, so "before" is the unskinned window.
int geometryFaults()
{
    test::ensureApplication();
    std::unique_ptr<QWidget> mock(buildWindowMock());
    mock->setAttribute(Qt::WA_DontShowOnScreen);
    mock->show();
    QCoreApplication::processEvents();
    const auto widgets = mock->findChildren<QWidget*>();
    std::vector<QRect> before;
    for (QWidget* w : widgets) {
        before.push_back(w->geometry());
    }
    int faults = 0;
    auto fault = [&](int n, int aero, const char* what, const QWidget* w) {
        std::fprintf(stderr, "theme %d aero %d: %s %s\n", n, aero, what,
                     w->metaObject()->className());
        ++faults;
    };
    for (int n = 1; n <= 58; ++n) {
        for (int aero : {0, 1}) {
            SkinH_SetAero(aero);
            if (attach(readTheme(n)) != 1) {
                std::fprintf(stderr, "theme %d refused\n", n);
                ++faults;
            }
            QCoreApplication::processEvents();
            for (qsizetype i = 0; i < widgets.size(); ++i) {
                if (widgets[i]->isVisible() &&
                    widgets[i]->geometry() != before[static_cast<std::size_t>(i)]) {
                    fault(n, aero,
                          qPrintable(QStringLiteral("moved or resized %1,%2 %3x%4 from %5,%6 %7x%8")
                                         .arg(widgets[i]->x())
                                         .arg(widgets[i]->y())
                                         .arg(widgets[i]->width())
                                         .arg(widgets[i]->height())
                                         .arg(before[static_cast<std::size_t>(i)].x())
                                         .arg(before[static_cast<std::size_t>(i)].y())
                                         .arg(before[static_cast<std::size_t>(i)].width())
                                         .arg(before[static_cast<std::size_t>(i)].height())),
                          widgets[i]);
                }
            }
            for (auto* w : mock->findChildren<QWidget*>()) {
                if ((qobject_cast<QLineEdit*>(w) || qobject_cast<QPushButton*>(w)) &&
                    w->contentsRect().height() < w->fontMetrics().height()) {
                    fault(n, aero, "text area too small", w);
                }
            }
        }
    }
    return faults;
}

// Catches a theme that changes the window's fixed geometry or hides a control's text.
TEST(SkinGeometryDeathTest, ThemesKeepEveryWidgetsGeometry)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(std::exit(geometryFaults() == 0 ? 0 : 1), testing::ExitedWithCode(0), "");
}

} // namespace
} // namespace marrowtune::skin
