#pragma once
// A stand-in for the program's window, for looking at themes and testing them: the client area
// with every control of the window template at its fixed rectangle, some result rows and the
// page buttons disabled, as at start.

class QWidget;

namespace marrowtune::skin {

/// A new top-level widget (760 x 426) holding the mock controls; the caller owns it.
QWidget* buildWindowMock();

} // namespace marrowtune::skin
