// SPDX-License-Identifier: MIT
#pragma once
// The Windows program's start.

#include <string>

namespace marrowtune::win {

/// The full path of the program's executable file, however long; empty when the system gives
/// none.
std::wstring programPath();

/// The entry routine, once handleCommandLine has let the window start: makes the program's
/// directory current, registers the end work, creates the window on the program's search
/// context, runs its created event before showing it, runs the message loop. Returns 0 when
/// the window has gone; ends the program by fatalError ("载入启动窗口失败") when the window
/// cannot be made.
int runProgram();

} // namespace marrowtune::win
