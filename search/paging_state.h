// SPDX-License-Identifier: MIT
#pragma once
// The keyword search's paging state: where its page steps stand.

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

} // namespace marrowtune
