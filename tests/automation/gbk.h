#pragma once
// GBK test texts written as UTF-16 literals in the sources.

#include "net/text.h"
#include "platform/codepage/codepage.h"

#include <string_view>

namespace marrowtune::testing_gbk {

inline Text gbk(std::u16string_view wide)
{
    return codepage::fromWide(wide, CodePageGbk);
}

} // namespace marrowtune::testing_gbk
