// SPDX-License-Identifier: MIT
#pragma once
// The one way the program ends on a failure it cannot recover from.

#include "base/text.h"

#ifdef _WIN32
#include <string>
#else
#include <QString>
#endif

#include <functional>

namespace marrowtune {

/// The text of the box: a QString on Linux, UTF-16 on Windows.
#ifdef _WIN32
using FatalErrorText = std::wstring;
#else
using FatalErrorText = QString;
#endif

/// Shows the box "运行时出错!", an empty line, "错误信息：" + message (GBK) and a line break,
/// then ends the process with exit code -1. Neither shutdownCleanup nor any other end-of-run
/// handler runs.
[[noreturn]] void fatalError(const Text& message);

/// The full text of the box for a GBK message.
FatalErrorText fatalErrorText(const Text& message);

/// Replaces what fatalError does with the box text (showing the box). The process still ends
/// with -1 when the handler returns; a test handler may throw instead. An empty handler brings
/// back the message box.
void setFatalErrorHandler(std::function<void(const FatalErrorText& boxText)> handler);

} // namespace marrowtune
