#pragma once
// The keyword search's paging state: program-wide, alive for the whole run.

#include "base/text.h"

namespace marrowtune {

/// Page position of the keyword search, shared by its four actions.
struct PagingState {
    /// Number of the page now listed.
    int currentPage = 0;
    /// Page count of the last successful search.
    int pageCount = 0;
    /// Keyword of the last successful first-page search, already URL-encoded.
    Text lastKeyword;
};

/// The program's one paging state.
PagingState& pagingState();
/// Releases the last keyword (program end); the state's numbers stay as they are.
void releasePagingState();

} // namespace marrowtune
// SPDX-License-Identifier: MIT
