#include "app/win/win_program.h"

#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    // The program has no arguments: the command line is not looked at.
    return marrowtune::win::runProgram();
}
// SPDX-License-Identifier: MIT
