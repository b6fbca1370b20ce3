// SPDX-License-Identifier: MIT
#include "app/win/win_program.h"
#include "app/window_start.h"

#include <string>
#include <vector>

// shellapi.h needs windows.h before it.
// clang-format off
#include <windows.h>
#include <shellapi.h>
// clang-format on

namespace {

// The arguments as UTF-8, read from the UTF-16 command line (the ANSI one could not hold every
// character).
std::vector<std::string> utf8Arguments()
{
    std::vector<std::string> arguments;
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    for (int i = 1; wide != nullptr && i < count; ++i) {
        const int size = WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
        std::string argument(size > 0 ? static_cast<std::size_t>(size) : 1, '\0');
        WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, argument.data(), size, nullptr, nullptr);
        argument.resize(argument.size() - 1); // the terminating zero
        arguments.push_back(std::move(argument));
    }
    LocalFree(wide);
    return arguments;
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    // --help and --version are answered before any window is made.
    if (const std::optional<int> status = marrowtune::handleCommandLine(utf8Arguments())) {
        return *status;
    }
    return marrowtune::win::runProgram();
}
