// SPDX-License-Identifier: MIT
#include "app/program.h"

#include <string>
#include <vector>

int main(int argc, char** argv)
{
    // --help and --version are answered before anything needs a display.
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    if (const std::optional<int> status = marrowtune::handleCommandLine(arguments)) {
        return *status;
    }
    return marrowtune::runProgram();
}
