// SPDX-License-Identifier: MIT
#pragma once
// The one place where the Win32 window's UTF-16 strings meet the program's GBK text.

#include "base/text.h"

#include <string>
#include <string_view>

namespace marrowtune::win {

/// GBK text as UTF-16 for the wide Win32 calls.
std::wstring wideFromGbk(const Text& text);
/// UTF-16 from a wide Win32 call as GBK text; characters GBK cannot hold become "?".
Text gbkFromWide(std::wstring_view text);

} // namespace marrowtune::win
