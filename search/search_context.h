// SPDX-License-Identifier: MIT
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

/// What a window keeps of the search context its searches and links use: its own (the
/// build's hosts) until the program hands it the program's.
class SearchContextHolder {
public:
    SearchContextHolder() = default;
    // A copy would point at the original's own context.
    SearchContextHolder(const SearchContextHolder&) = delete;
    SearchContextHolder& operator=(const SearchContextHolder&) = delete;

    /// The context in use now.
    SearchContext& searchContext() { return *m_context; }
    /// Uses `context` from now on; it must outlive the holder.
    void useSearchContext(SearchContext& context) { m_context = &context; }

private:
    SearchContext m_ownContext;
    SearchContext* m_context = &m_ownContext;
};

} // namespace marrowtune
