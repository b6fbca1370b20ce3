// SPDX-License-Identifier: MIT
// marrowtune-cli: see cli/cli.h and `marrowtune-cli --help`.

#include "base/command_line.h"
#include "cli/cli.h"
#include "search/search_session.h"
#include "search/service_hosts.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace {

#ifdef _WIN32
// The console's output code page before ours: given back when the program ends, so the console
// does not stay in UTF-8 for the programs run in it afterwards.
UINT consoleCodePageBefore = 0;
#endif

// The arguments as UTF-8. Windows hands main() its arguments in the ANSI code page, so there
// they are read from the UTF-16 command line instead; the output, UTF-8 on every platform,
// shows as such in a console.
std::vector<std::string> utf8Arguments(int argc, char** argv)
{
#ifdef _WIN32
    (void)argc;
    (void)argv;
    consoleCodePageBefore = GetConsoleOutputCP();
    SetConsoleOutputCP(CP_UTF8);
    return marrowtune::commandLineArguments();
#else
    return std::vector<std::string>(argv + 1, argv + argc);
#endif
}

bool stderrIsTerminal()
{
#ifdef _WIN32
    return _isatty(_fileno(stderr)) != 0;
#else
    return isatty(STDERR_FILENO) != 0;
#endif
}

} // namespace

int main(int argc, char** argv)
{
    marrowtune::ServiceHosts hosts = marrowtune::ServiceHosts::buildDefaults();
    const std::string hostProblem = marrowtune::applyHostEnvironment(hosts);
    if (!hostProblem.empty()) {
        std::cerr << "marrowtune-cli: " << hostProblem << '\n';
        return marrowtune::cli::ExitUsage;
    }
    marrowtune::registerSearchClasses();
    const std::vector<std::string> arguments = utf8Arguments(argc, argv);
    // Never destroyed: the process ends below.
    marrowtune::cli::CommandLine commandLine;
    commandLine.setStderrIsTerminal(stderrIsTerminal());
    const int status = commandLine.run(arguments, hosts, std::cout, std::cerr);
    // Once the output is out, the rest of a normal exit (the script hosts stopped and their heaps
    // freed, the network library's clean-up) only delays the end: the system reclaims all of it
    // with the process.
    std::cout.flush();
    std::fflush(nullptr);
#ifdef _WIN32
    if (consoleCodePageBefore != 0) {
        SetConsoleOutputCP(consoleCodePageBefore);
    }
#endif
    std::_Exit(status);
}
