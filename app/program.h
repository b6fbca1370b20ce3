// SPDX-License-Identifier: MIT
#pragma once
// The program's start, its window's start-up work, and its end.

#include "app/window_start.h"
#include "search/script_component.h"
#include "search/search_context.h"

#include <QString>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace marrowtune {

class MainWindow;

/// Where the main window's template is embedded.
inline constexpr QStringView MainWindowTemplatePath = u":/marrowtune/main_window.ui";

/// The entry routine: sets up the services, makes the program's directory current, registers
/// shutdownCleanup, creates the window on the program's search context, runs its created event
/// before showing it, runs the message loop. Returns 0 when the window has gone.
int runProgram();

/// Creates the main window from the template at `templatePath` with the event table bound.
/// Ends the program by fatalError when the template cannot be read ("载入窗口模板数据段出错!")
/// or the window cannot be made from it ("载入启动窗口失败").
std::unique_ptr<MainWindow> createMainWindow(const QString& templatePath,
                                             std::unique_ptr<ScriptComponent> script);

/// Runs the window's created event, shows it, and once its first frame is painted starts the
/// stamps' script host in the background, so that the first search does not wait for it.
void showMainWindow(MainWindow& window);

} // namespace marrowtune
