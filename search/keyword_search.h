// SPDX-License-Identifier: MIT
#pragma once
// The keyword search with its paging: songs matching a song name, singer or album, twenty to a
// page.

#include "base/text.h"

namespace marrowtune {

class SearchView;
struct PagingState;
struct SearchContext;
struct ServiceHosts;

/// What one page request gave.
enum class SearchStatus {
    /// The answer was empty (any failure of the request).
    EmptyAnswer = 1,
    /// The answer held no song entry.
    NoSongs = 2,
    /// At least one song entry was listed.
    Listed = 3,
};

/// The song-search request for an encoded keyword, a page number text and a time stamp.
Text songSearchUrl(std::string_view songSearchHost, std::string_view encodedKeyword,
                   std::string_view page, std::string_view timeStamp);
/// The extraction pattern of the search answer for the CDN host suffix (its dots escaped).
Text songSearchPattern(std::string_view musicCdnHostSuffix);
/// Pages for a hit count: the next whole number up from total / 20, so every hit the service
/// counts lies on a page that can be reached; no hits (or a count below 0) give 0 pages.
int pageCountFor(int total);
/// The page label: current page, "/", page count.
Text pageLabelText(int currentPage, int pageCount);

/// Fetches one page for `encodedKeyword` and lists its songs; on status 3 it sets
/// `paging.pageCount`. It touches nothing else of the paging state, the label or the buttons.
SearchStatus searchSongs(SearchView& view, PagingState& paging, const Text& encodedKeyword,
                         const Text& page, const ServiceHosts& hosts);

/// Handler of `按钮1` ("搜索"): a new search for the text of `编辑框1`.
void startKeywordSearch(SearchView& view, SearchContext& context);
/// The right-clicked cell's whole text, as the copy item's caption carries it: between its
/// first "(" and its last ")" (a ")" of the cell's own stays in); empty without both.
Text clickedCellText(const SearchView& view);
/// Handler of the popup menu's search item: a new search for the right-clicked cell's text.
void searchFromMenu(SearchView& view, SearchContext& context);
/// Handler of `按钮_上一页`: one page back. A page request that fails lists the network message
/// and moves nothing (page, label, buttons), so the same press tries again. The page steps
/// return what their page request gave (Listed when the button had nothing to do).
SearchStatus showPreviousPage(SearchView& view, SearchContext& context);
/// Handler of `按钮_下一页`: one page on, as showPreviousPage.
SearchStatus showNextPage(SearchView& view, SearchContext& context);

} // namespace marrowtune
