// SPDX-License-Identifier: MIT
#include "search/search_session.h"

#include "automation/automation_object.h"
#include "net/http.h"

namespace marrowtune {

void registerSearchClasses()
{
    registerObjectClasses();
}

void setSearchWaitHook(std::function<void()> hook)
{
    setRequestWaitHook(std::move(hook));
}

void cancelSearchRequests()
{
    cancelAllRequests();
}

} // namespace marrowtune
