// SPDX-License-Identifier: MIT
#pragma once
// Test helper: GBK bytes of a UTF-8 source literal, so expectations can be written in Chinese.

#include "platform/codepage/codepage.h"

#include <string>
#include <string_view>

namespace marrowtune::test {

inline std::string gbk(std::string_view utf8)
{
    return codepage::fromWide(codepage::toWide(utf8, CodePage::Utf8), CodePage::Gbk);
}

inline std::string gbk(std::u16string_view wide)
{
    return codepage::fromWide(wide, CodePage::Gbk);
}

inline std::string utf8(std::string_view gbkText)
{
    return codepage::fromWide(codepage::toWide(gbkText, CodePage::Gbk), CodePage::Utf8);
}

} // namespace marrowtune::test
