// SPDX-License-Identifier: MIT
#include "app/fatal_error.h"

#include "app/qt_text.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMessageBox>

#include <cstdio>
#include <cstdlib>
#include <utility>

namespace marrowtune {

namespace {

std::function<void(const QString&)>& fatalErrorHandler()
{
    static std::function<void(const QString&)> handler;
    return handler;
}

void showFatalErrorBox(const QString& text)
{
    if (qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr) {
        QMessageBox::critical(nullptr, QStringLiteral("Marrowtune"), text);
    }
}

} // namespace

QString fatalErrorText(const Text& message)
{
    return QStringLiteral("运行时出错!\n\n错误信息：") + fromGbk(message) + QLatin1Char('\n');
}

void setFatalErrorHandler(std::function<void(const QString&)> handler)
{
    fatalErrorHandler() = std::move(handler);
}

void fatalError(const Text& message)
{
    // The failure may come in the middle of a handler, under its busy cursor: the box is
    // shown with the ordinary pointer.
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr) {
        while (QGuiApplication::overrideCursor() != nullptr) {
            QGuiApplication::restoreOverrideCursor();
        }
    }
    const QString text = fatalErrorText(message);
    // Also on stderr: a box nobody sees (no display, a launcher's log) must not be all there is.
    std::fputs((QStringLiteral("marrowtune: ") + text.simplified() + QLatin1Char('\n'))
                   .toLocal8Bit()
                   .constData(),
               stderr);
    if (fatalErrorHandler()) {
        fatalErrorHandler()(text);
    } else {
        showFatalErrorBox(text);
    }
    // _Exit, not exit: the end-of-run handlers (shutdownCleanup among them) must not run.
    std::_Exit(-1);
}

} // namespace marrowtune
