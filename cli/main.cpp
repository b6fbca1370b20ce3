// marrowtune-cli [--json] zone [QQ] | [--json] search KEYWORD [next|prev]...

#include "cli/cli.h"
#include "platform/system_classes.h"

#include <iostream>

int main(int argc, char** argv)
{
    marrowtune::registerSystemClasses();
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    return marrowtune::cli::runCli(arguments, std::cout, std::cerr);
}
