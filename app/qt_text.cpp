#include "app/qt_text.h"

#include "platform/codepage/codepage.h"

namespace marrowtune {

QString fromGbk(const Text& text)
{
    return QString::fromStdU16String(codepage::toWide(text, CodePageGbk));
}

Text toGbk(const QString& text)
{
    return codepage::fromWide(text.toStdU16String(), CodePageGbk);
}

} // namespace marrowtune
// SPDX-License-Identifier: MIT
