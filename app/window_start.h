#pragma once
// The window's start-up work and the program's end work, the same for every window.

#include "search/search_context.h"

namespace marrowtune {

class SearchView;

/// The window program's search context: the hosts (the environment's, once they have been
/// read) and the paging state, alive for the whole run.
SearchContext& programSearchContext();

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
// SPDX-License-Identifier: MIT
