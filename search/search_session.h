// SPDX-License-Identifier: MIT
#pragma once
// What a program does around the searches: it registers the classes they create once at
// start, and while one of their requests waits it runs its hook and may cancel them. Windows
// and the command-line tool reach the layers below through these.

#include "search/search_view.h"

#include <functional>

namespace marrowtune {

/// Registers the automation classes the searches create by name ("VBScript.RegExp",
/// "ScriptControl"), the system's own where it has them; later calls do nothing.
void registerSearchClasses();
/// Sets the function every search request calls at least every 20 ms while it waits on the
/// network, on the waiting thread (an empty function: requests just block). The hook may run
/// an event loop but must not start another request from within itself.
void setSearchWaitHook(std::function<void()> hook);
/// Ends every search request under way, or about to start, as a failure; thread-safe and
/// callable from the wait hook. Requests started afterwards are not affected.
void cancelSearchRequests();

} // namespace marrowtune
