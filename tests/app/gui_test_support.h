#pragma once
// Shared set-up for the window tests: one QApplication on Qt's offscreen platform, and the
// fake desktop's popup recording (tests/app/fake_desktop.h).

namespace marrowtune::test {

/// Creates the test process's QApplication (offscreen) the first time it is called.
void ensureApplication();

} // namespace marrowtune::test
