// SPDX-License-Identifier: MIT
#include "app/window_start.h"

#include "app/skin/skin_themes.h"
#include "marrowtune/config.h"
#include "search/rewrite.h"
#include "search/search_view.h"
#include "search/service_hosts.h"

#include <cstdio>
#include <cstdlib>

namespace marrowtune {

SearchContext& programSearchContext()
{
    static SearchContext context;
    return context;
}

const char* const ProgramHelpText =
    "Usage: marrowtune [--help | --version]\n"
    "\n"
    "Opens the Marrowtune window: search the QQ music services for songs, or list the\n"
    "background music of a QQ Zone. marrowtune-cli runs the same searches without a window.\n"
    "\n"
    "Environment: MARROWTUNE_ZONE_PLAYLIST_HOST, MARROWTUNE_SONG_SEARCH_HOST,\n"
    "MARROWTUNE_STREAM_REDIRECT_HOST, MARROWTUNE_MUSIC_CDN_HOST_SUFFIX, MARROWTUNE_MIRROR_HOST,\n"
    "MARROWTUNE_LISTEN_PAGE_HOST and MARROWTUNE_AUTHOR_PAGE_URL replace the built-in hosts.\n"
    "Set to the empty text, MARROWTUNE_MIRROR_HOST, MARROWTUNE_LISTEN_PAGE_HOST and\n"
    "MARROWTUNE_AUTHOR_PAGE_URL mean none: links stay as the service gives them, 在线试听\n"
    "opens the link itself, nothing opens when the window closes.\n"
    "MARROWTUNE_PROXY (http://HOST:PORT, or socks5h://HOST:PORT except on Windows) sends every\n"
    "request through that proxy.\n";

std::optional<int> handleCommandLine(const std::vector<std::string>& arguments)
{
    for (const std::string& argument : arguments) {
        if (argument == "--help" || argument == "-h") {
            std::fputs(ProgramHelpText, stdout);
            return std::fflush(stdout) == 0 ? 0 : 1;
        }
        if (argument == "--version") {
            std::printf("marrowtune %.*s\n", static_cast<int>(config::Version.size()),
                        config::Version.data());
            return std::fflush(stdout) == 0 ? 0 : 1;
        }
    }
    if (const std::string problem = applyHostEnvironment(programSearchContext().hosts);
        !problem.empty()) {
        std::fprintf(stderr, "marrowtune: %s\n", problem.c_str());
        return 2;
    }
    return std::nullopt;
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
