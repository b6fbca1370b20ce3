#include "tests/app/gui_test_support.h"

#include "app/qt_text.h"

#include <QApplication>

namespace marrowtune::test {

void ensureApplication()
{
    if (QApplication::instance() != nullptr) {
        return;
    }
    // Never a real display, whoever starts the test binary.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "app_tests";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv); // lives until the process ends
}

Text gbk(const QString& text)
{
    return toGbk(text);
}

} // namespace marrowtune::test
