#pragma once
// Shared set-up for the window tests: one QApplication on Qt's offscreen platform.

#include "net/text.h"

#include <QString>

namespace marrowtune::test {

/// Creates the test process's QApplication (offscreen) the first time it is called.
void ensureApplication();

/// A UTF-8 source literal as GBK text, for readable expectations next to escaped bytes.
Text gbk(const QString& text);

} // namespace marrowtune::test
