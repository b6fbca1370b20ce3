// SPDX-License-Identifier: MIT
#pragma once
// The program's command line, its window's start-up work and its end work, the same for
// every window.

#include "search/search_context.h"

#include <optional>
#include <string>
#include <vector>

namespace marrowtune {

class SearchView;

/// The window program's search context: the hosts (the environment's, once they have been
/// read) and the paging state, alive for the whole run.
SearchContext& programSearchContext();

/// The help text of `marrowtune --help`.
extern const char* const ProgramHelpText;

/// Answers --help and --version on stdout and reads the MARROWTUNE_* host variables into the
/// program's search context (a bad one is reported on stderr); returns the exit status when the
/// program ends here, nothing when the window is to start. Other arguments are ignored, as they
/// always were.
std::optional<int> handleCommandLine(const std::vector<std::string>& arguments);

/// The window's created event: its start-up work with the hosts it uses, before it is first
/// shown.
void onWindowCreated(SearchView& window, const ServiceHosts& hosts);

/// Runs at a normal end of the program, after the window has gone; never after a fatal error.
/// Releases the last keyword of the program's paging state.
void shutdownCleanup();

/// Registers shutdownCleanup to run at a normal end of the program (std::exit or a return
/// from main), while the search context whose keyword it releases still exists.
void registerShutdownCleanup();

} // namespace marrowtune
