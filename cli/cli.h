#pragma once
// marrowtune-cli: the window's searches without a window. Its actions run the same search code
// through a PlainSearchView and print the result list.

#include "search/plain_search_view.h"

#include <iosfwd>
#include <string>
#include <vector>

namespace marrowtune::cli {

/// Exit status of a run whose actions ran (message rows included).
inline constexpr int ExitActionsRan = 0;
/// Exit status of a usage error.
inline constexpr int ExitUsage = 2;

/// The usage text.
extern const char* const UsageText;

/// A cell (UTF-8) for the tab-separated output: backslash, tab, CR and LF as \\, \t, \r, \n.
std::string escapeCell(std::string_view utf8);
/// The result list, one row a line, cells tab-separated, UTF-8.
std::string rowsAsText(const PlainSearchView& view);
/// {"rows": [[4 cells], ...], "pageLabel": ..., "previousEnabled": ..., "nextEnabled": ...}
std::string rowsAsJson(const PlainSearchView& view);

/// Runs the command line `arguments` (without the program name): [--json] zone [QQ], or
/// [--json] search KEYWORD [next|prev]...; arguments are UTF-8. Writes the result to `out`,
/// the usage text to `err` on a usage error, and returns the exit status.
int runCli(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err);

} // namespace marrowtune::cli
