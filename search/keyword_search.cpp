// SPDX-License-Identifier: MIT
#include "search/keyword_search.h"

#include "automation/regex_object.h"
#include "net/http.h"
#include "search/messages.h"
#include "search/rewrite.h"
#include "search/search_context.h"
#include "search/search_session.h"
#include "search/search_view.h"
#include "search/song_record.h"
#include "search/stamps.h"

#include <iterator>
#include <string>
#include <vector>

namespace marrowtune {
namespace {

constexpr int SongsPerPage = 20;

Text decimal(int value)
{
    return std::to_string(value);
}

void startNewSearch(SearchView& view, SearchContext& context, const Text& keyword)
{
    PagingState& paging = context.paging;
    const Text encoded = urlEncode(keyword, true, true);
    const SearchStatus status = searchSongs(view, paging, encoded, "1", context.hosts);
    if (status == SearchStatus::Listed) {
        paging.currentPage = 1;
        paging.lastKeyword = encoded;
        view.setPageLabel(pageLabelText(paging.currentPage, paging.pageCount));
        if (paging.pageCount > 1) {
            view.setNextPageEnabled(true);
        }
    } else if (status == SearchStatus::EmptyAnswer) {
        appendMessageRow(view, NetworkProblemMessage);
    } else {
        appendMessageRow(view, NoResultMessage);
    }
}

// A page step whose request failed shows why the list is empty and moves nothing, so the same
// press tries the same page again.
bool pageRequestFailed(SearchView& view, SearchStatus status)
{
    if (status != SearchStatus::EmptyAnswer) {
        return false;
    }
    appendMessageRow(view, NetworkProblemMessage);
    return true;
}

} // namespace

Text songSearchUrl(std::string_view songSearchHost, std::string_view encodedKeyword,
                   std::string_view page, std::string_view timeStamp)
{
    Text url = "http://";
    url += songSearchHost;
    url += "/fcgi-bin/fcg_search_xmldata.q?source=10&w=";
    url += encodedKeyword;
    url += "&type=qry_song&out=json&p=";
    url += page;
    url += "&perpage=20&ie=utf-8&uin=0&inCharset=GB2312&outCharset=GB2312&hostUin=0&notice=0"
           "&needNewCode=0&format=jsonp&platform=musicbox&jsonpCallback=searchJsonCallback"
           "&g_tk=5381&t=";
    url += timeStamp;
    return url;
}

Text songSearchPattern(std::string_view musicCdnHostSuffix)
{
    Text pattern = R"re(songname:"([\s\S]{1,200})",singerid:\d+,singername:"([\s\S]{1,200})",)re"
                   R"re(albumid:\d+,albumname:"([\s\S]{1,200})",songurl:"(http://stream\d+\.)re";
    pattern += replaceText(musicCdnHostSuffix, ".", "\\.");
    pattern += R"re(/\d+\.wma)")re";
    return pattern;
}

int pageCountFor(int total)
{
    // Rounded to the nearest whole number, 45 hits would make two pages and leave the last
    // five on a third that no button reaches, and nine hits would show as page 1 of 0.
    if (total <= 0) {
        return 0;
    }
    return total / SongsPerPage + (total % SongsPerPage != 0 ? 1 : 0);
}

Text pageLabelText(int currentPage, int pageCount)
{
    return decimal(currentPage) + "/" + decimal(pageCount);
}

SearchStatus searchSongs(SearchView& view, PagingState& paging, const Text& encodedKeyword,
                         const Text& page, const ServiceHosts& hosts)
{
    RegexObject regex;
    const Text stamp = makeTimeStamp();
    Text answer =
        askService(songSearchUrl(hosts.songSearchHost, encodedKeyword, page, stamp), hosts);
    view.deleteAllRows();
    if (answer.empty()) {
        return SearchStatus::EmptyAnswer;
    }
    const Text total = textBetween(answer, "totalnum:", ",");
    // Only texts are read: the answer is let go once the engine holds it in UTF-16.
    regex.createForTexts(songSearchPattern(hosts.musicCdnHostSuffix), std::move(answer));
    const int matches = regex.matchCount();
    if (matches < 1) {
        return SearchStatus::NoSongs;
    }
    paging.pageCount = pageCountFor(toInteger(total));
    // Every field of every song in one pass; the answer is let go before the links go through
    // the script, so a long answer is not held while the rows are built.
    constexpr int Fields[] = {1, 2, 3, 4};
    constexpr std::size_t FieldCount = std::size(Fields);
    std::vector<Text> fields = regex.subMatchTexts(Fields);
    regex.clear();
    // Without a mirror there is nowhere to rewrite links to: they stay as the service gave them.
    const bool mirror = !hosts.mirrorHost.empty();
    appendSongRows(view, std::move(fields), FieldCount,
                   [&view, mirror](const std::vector<Text>& links) {
                       return mirror ? callGetHiURLEach(view.scriptComponent(), links) : links;
                   });
    return SearchStatus::Listed;
}

void startKeywordSearch(SearchView& view, SearchContext& context)
{
    view.setNextPageEnabled(false);
    view.setPreviousPageEnabled(false);
    startNewSearch(view, context, view.keywordText());
}

Text clickedCellText(const SearchView& view)
{
    // The caption is "复制(" + text + ")": cutting at the first ")" would lose the end of a
    // title such as "... (Live)". Neither parenthesis byte occurs inside a GBK character.
    const Text caption = view.menuItemCaption(MenuItem::Copy);
    const int open = findText(caption, "(");
    const int close = findLastText(caption, ")");
    if (open == -1 || close < open) {
        return {};
    }
    return middleText(caption, open + 1, close - open - 1);
}

void searchFromMenu(SearchView& view, SearchContext& context)
{
    view.setNextPageEnabled(false);
    view.setPreviousPageEnabled(false);
    startNewSearch(view, context, clickedCellText(view));
}

SearchStatus showPreviousPage(SearchView& view, SearchContext& context)
{
    PagingState& paging = context.paging;
    if (paging.currentPage <= 1) {
        return SearchStatus::Listed;
    }
    const SearchStatus status = searchSongs(view, paging, paging.lastKeyword,
                                            decimal(paging.currentPage - 1), context.hosts);
    if (pageRequestFailed(view, status)) {
        return status;
    }
    view.setNextPageEnabled(true);
    --paging.currentPage;
    view.setPageLabel(pageLabelText(paging.currentPage, paging.pageCount));
    if (paging.currentPage == 1) {
        view.setPreviousPageEnabled(false);
    }
    return status;
}

SearchStatus showNextPage(SearchView& view, SearchContext& context)
{
    PagingState& paging = context.paging;
    if (paging.currentPage >= paging.pageCount) {
        return SearchStatus::Listed;
    }
    const SearchStatus status = searchSongs(view, paging, paging.lastKeyword,
                                            decimal(paging.currentPage + 1), context.hosts);
    if (pageRequestFailed(view, status)) {
        return status;
    }
    view.setPreviousPageEnabled(true);
    ++paging.currentPage;
    view.setPageLabel(pageLabelText(paging.currentPage, paging.pageCount));
    if (paging.currentPage == paging.pageCount) {
        view.setNextPageEnabled(false);
    }
    return status;
}

} // namespace marrowtune
