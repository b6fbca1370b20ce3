// SPDX-License-Identifier: MIT
#pragma once
// The one place where the window's Qt strings meet the program's GBK text.

#include "base/text.h"

#include <QString>

namespace marrowtune {

/// GBK text as a QString; bytes that are not valid GBK become U+FFFD.
QString fromGbk(const Text& text);
/// A QString as GBK text; characters GBK cannot hold become "?".
Text toGbk(const QString& text);

} // namespace marrowtune
