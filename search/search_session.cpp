// SPDX-License-Identifier: MIT
#include "search/search_session.h"

#include "automation/automation_object.h"
#include "net/http.h"
#include "net/text.h"

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

Text menuCellText(const SearchView& view)
{
    return textBetween(view.menuItemCaption(MenuItem::Copy), "(", ")");
}

} // namespace marrowtune
