#pragma once
// Shared set-up for the window tests: one QApplication on Qt's offscreen platform
// (tests/support/qt_application.h); the fake desktop's popup recording is defined beside it.

#include "tests/support/qt_application.h"
