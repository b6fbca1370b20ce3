// SPDX-License-Identifier: MIT
#pragma once
// The program's arguments on Windows, where main() would get them in the ANSI code page.

#include <string>
#include <vector>

namespace marrowtune {

/// The arguments after the program's name as UTF-8, read from the UTF-16 command line (the ANSI
/// one could not hold every character); Windows only.
std::vector<std::string> commandLineArguments();

} // namespace marrowtune
