#pragma once
// What the searches need besides the window: the hosts they ask and the keyword search's page
// position. The window program and the command-line tool each own one and hand it to the
// actions; tests build their own.

#include "search/paging_state.h"
#include "search/service_hosts.h"

namespace marrowtune {

/// The hosts and the paging state one window (or one command) works with.
struct SearchContext {
    /// The hosts the searches, the rewriting script and the window's links use.
    ServiceHosts hosts = ServiceHosts::buildDefaults();
    /// The keyword search's page position, shared by its four actions.
    PagingState paging;
};

} // namespace marrowtune
// SPDX-License-Identifier: MIT
