// marrowtune-cli: see cli/cli.h and `marrowtune-cli --help`.

#include "cli/cli.h"
#include "platform/system_classes.h"
#include "search/service_hosts.h"

#include <iostream>

int main(int argc, char** argv)
{
    const std::string hostProblem = marrowtune::applyHostEnvironment();
    if (!hostProblem.empty()) {
        std::cerr << "marrowtune-cli: " << hostProblem << '\n';
        return marrowtune::cli::ExitUsage;
    }
    marrowtune::registerSystemClasses();
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    return marrowtune::cli::runCli(arguments, std::cout, std::cerr);
}
// SPDX-License-Identifier: MIT
