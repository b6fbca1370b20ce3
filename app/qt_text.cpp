// SPDX-License-Identifier: MIT
#include "app/qt_text.h"

#include "platform/codepage/codepage.h"

namespace marrowtune {

QString fromGbk(const Text& text)
{
    return QString::fromStdU16String(codepage::toWide(text, CodePage::Gbk));
}

Text toGbk(const QString& text)
{
    return codepage::fromWide(text.toStdU16String(), CodePage::Gbk);
}

} // namespace marrowtune
