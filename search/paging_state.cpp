#include "search/paging_state.h"

namespace marrowtune {

PagingState& pagingState()
{
    static PagingState state;
    return state;
}

void releasePagingState()
{
    Text().swap(pagingState().lastKeyword);
}

} // namespace marrowtune
// SPDX-License-Identifier: MIT
