// SPDX-License-Identifier: MIT
#include "app/win/win_text.h"

#include "platform/codepage/codepage.h"

namespace marrowtune::win {

// wchar_t is a UTF-16 unit on Windows, so the two string types share their representation.
static_assert(sizeof(wchar_t) == sizeof(char16_t));

std::wstring wideFromGbk(const Text& text)
{
    const std::u16string wide = codepage::toWide(text, CodePage::Gbk);
    return {reinterpret_cast<const wchar_t*>(wide.data()), wide.size()};
}

Text gbkFromWide(std::wstring_view text)
{
    return codepage::fromWide({reinterpret_cast<const char16_t*>(text.data()), text.size()},
                              CodePage::Gbk);
}

} // namespace marrowtune::win
