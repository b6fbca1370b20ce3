// SPDX-License-Identifier: MIT
#pragma once
// A stand-in for the program's window, for looking at themes and testing them: the window
// template itself (app/resources/main_window.ui, built in), with some result rows added and the
// page buttons disabled, as at start.

class QWidget;

namespace marrowtune::skin {

/// A new top-level widget made from the window template, its list holding sample rows; the
/// caller owns it.
QWidget* buildWindowMock();

} // namespace marrowtune::skin
