#include "app/window_start.h"

#include "app/skin/skin_themes.h"
#include "search/rewrite.h"
#include "search/search_view.h"

#include <cstdlib>

namespace marrowtune {

SearchContext& programSearchContext()
{
    static SearchContext context;
    return context;
}

void onWindowCreated(SearchView& window, const ServiceHosts& hosts)
{
    // The window's start-up work, in this order; no result is looked at:
    //   1. loadRewriteScript: the link-rewriting script into the window's script component
    //   2. applyTheme(9): the skin theme the window wears at every start
    //   3. enableSkinAero: the skin library present, its aero effect on
    // The script reaches the component now but is added when the component is first used:
    // starting the script engine (a thread, a heap and its prelude) would delay the first
    // frame, and nothing runs a script before the first search.
    loadRewriteScriptOnFirstUse(window.scriptComponent(), hosts);
    applyTheme(StartThemeNumber);
    enableSkinAero();
}

void shutdownCleanup()
{
    Text().swap(programSearchContext().paging.lastKeyword);
}

void registerShutdownCleanup()
{
    // Objects with static storage and atexit handlers end in the reverse order of their
    // beginning: the search context is made now, so it is destroyed only after shutdownCleanup
    // has released its keyword. Made later (by the first search) it would already be gone.
    programSearchContext();
    std::atexit(shutdownCleanup);
}

} // namespace marrowtune
// SPDX-License-Identifier: MIT
