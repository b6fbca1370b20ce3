// SPDX-License-Identifier: MIT
#pragma once
// Shared set-up for the window tests: one QApplication on Qt's offscreen platform
// (tests/support/qt_application.h); the fake desktop's popup recording is defined beside it.

#include "app/main_window.h"
#include "search/script_component.h"
#include "tests/app/fake_desktop.h"
#include "tests/support/qt_application.h"

#include <memory>

namespace marrowtune::test {

/// The main window made from its template as the program makes it, with a FakeDesktop in
/// place of the system's; `desktop` is set to it.
std::unique_ptr<MainWindow> makeWindowWithFakeDesktop(FakeDesktop*& desktop,
                                                      std::unique_ptr<ScriptComponent> script = {});

} // namespace marrowtune::test
