// SPDX-License-Identifier: MIT
#include "app/win/win_program.h"
#include "app/window_start.h"
#include "base/command_line.h"

#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    // Libraries loaded by name come from the system folder only, never from the current
    // folder or PATH; the skin library is loaded by its full path.
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    // --help and --version are answered before any window is made.
    if (const std::optional<int> status =
            marrowtune::handleCommandLine(marrowtune::commandLineArguments())) {
        return *status;
    }
    return marrowtune::win::runProgram();
}
