// SPDX-License-Identifier: MIT
#pragma once
// The Zone background-music lookup: the songs that play on a QQ user's Zone page.

#include "base/text.h"

#include <vector>

namespace marrowtune {

class SearchView;
struct SearchContext;

/// The extraction pattern of the Zone playlist answer: song name, singer and link.
inline constexpr std::string_view ZoneSongPattern =
    R"re(xsong_name:"([\s\S]{0,200})",xsinger_id:\d+,xsinger_name:"([\s\S]{0,200})",)re"
    R"re(xsong_url:'(http://.{1,200})')re";

/// The playlist request for the QQ box's text `qqNumber` (sent as typed) and a random stamp.
Text zonePlaylistUrl(std::string_view zonePlaylistHost, std::string_view qqNumber,
                     std::string_view randomStamp);

/// The form of a Zone link the list shows: links with "streamrdt" through the script's
/// thURL, other links with "strea" through getHiURL, the rest unchanged.
Text zoneLinkForm(SearchView& view, const Text& link);
/// zoneLinkForm of each link, in order, with one call into the script per rewrite function.
std::vector<Text> zoneLinkForms(SearchView& view, const std::vector<Text>& links);

/// Handler of `按钮2` ("查询"): lists the Zone background music of the QQ number in `编辑框2`.
void lookupZoneMusic(SearchView& view, const SearchContext& context);

} // namespace marrowtune
