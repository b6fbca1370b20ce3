// SPDX-License-Identifier: MIT
#pragma once
// Test helper: the one QApplication of a test process, always on Qt's offscreen platform.

#include <QApplication>

namespace marrowtune::test {

/// Creates the process's QApplication (offscreen) the first time it is called; it lives until
/// the process ends.
inline void ensureApplication()
{
    if (QApplication::instance() != nullptr) {
        return;
    }
    // Never a real display, whoever starts the test binary.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "marrowtune_tests";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv);
}

} // namespace marrowtune::test
