#pragma once
// The Windows program's start and its one way to end on a failure.

#include "base/text.h"

namespace marrowtune::win {

/// Shows the box "运行时出错!", an empty line, "错误信息：" + message (GBK), then ends the
/// process with exit code -1; no end-of-run handler runs.
[[noreturn]] void fatalError(const Text& message);

/// The entry routine: checks the MARROWTUNE_* host variables, makes the program's directory
/// current, registers the end work, creates the window, runs its created event before
/// showing it, runs the message loop. Returns 0 when the window has gone, 2 for a bad host
/// variable.
int runProgram();

} // namespace marrowtune::win
// SPDX-License-Identifier: MIT
