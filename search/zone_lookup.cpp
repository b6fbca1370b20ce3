// SPDX-License-Identifier: MIT
#include "search/zone_lookup.h"

#include "automation/regex_object.h"
#include "net/http.h"
#include "search/messages.h"
#include "search/rewrite.h"
#include "search/search_context.h"
#include "search/search_view.h"
#include "search/song_record.h"
#include "search/stamps.h"

#include <iterator>
#include <vector>

namespace marrowtune {
namespace {

bool contains(std::string_view text, std::string_view sub)
{
    return findText(text, sub) != -1;
}

} // namespace

Text zonePlaylistUrl(std::string_view zonePlaylistHost, std::string_view qqNumber,
                     std::string_view randomStamp)
{
    return "http://" + Text(zonePlaylistHost) +
           "/fcg-bin/cgi_playlist_xml.fcg?json=1&uin=" + Text(qqNumber) +
           "&g_tk=5381&t=" + Text(randomStamp);
}

Text zoneLinkForm(SearchView& view, const Text& link)
{
    // "streamrdt" begins with "strea", so the order of the two tests matters.
    if (contains(link, "streamrdt")) {
        return callThURL(view.scriptComponent(), link);
    }
    if (contains(link, "strea")) {
        return callGetHiURL(view.scriptComponent(), link);
    }
    return link;
}

std::vector<Text> zoneLinkForms(SearchView& view, const std::vector<Text>& links)
{
    // zoneLinkForm of each link, with one call into the script per rewrite function.
    std::vector<Text> shown = links;
    std::vector<Text> redirect;
    std::vector<Text> cdn;
    std::vector<std::size_t> redirectAt;
    std::vector<std::size_t> cdnAt;
    for (std::size_t i = 0; i < links.size(); ++i) {
        if (contains(links[i], "streamrdt")) {
            redirect.push_back(links[i]);
            redirectAt.push_back(i);
        } else if (contains(links[i], "strea")) {
            cdn.push_back(links[i]);
            cdnAt.push_back(i);
        }
    }
    if (!redirect.empty()) {
        std::vector<Text> rewritten = callThURLEach(view.scriptComponent(), redirect);
        for (std::size_t k = 0; k < redirectAt.size(); ++k) {
            shown[redirectAt[k]] = std::move(rewritten[k]);
        }
    }
    if (!cdn.empty()) {
        std::vector<Text> rewritten = callGetHiURLEach(view.scriptComponent(), cdn);
        for (std::size_t k = 0; k < cdnAt.size(); ++k) {
            shown[cdnAt[k]] = std::move(rewritten[k]);
        }
    }
    return shown;
}

void lookupZoneMusic(SearchView& view, const SearchContext& context)
{
    RegexObject regex;
    view.setNextPageEnabled(false);
    view.setPreviousPageEnabled(false);
    const Text stamp = makeRandomStamp([&view] { view.processPendingEvents(); });
    const Text qqNumber = view.qqNumberText();
    Text answer =
        askService(zonePlaylistUrl(context.hosts.zonePlaylistHost, qqNumber, stamp), context.hosts);

    view.deleteAllRows();
    // The service's complaint wins over anything else the answer holds.
    if (contains(answer, ZoneComplaintText)) {
        appendMessageRow(view, WrongQqNumberMessage);
        return;
    }
    if (answer.empty()) {
        appendMessageRow(view, NetworkProblemMessage);
        return;
    }
    regex.createForTexts(Text(ZoneSongPattern), std::move(answer));
    const int matches = regex.matchCount();
    if (matches < 1) {
        appendMessageRow(view, NoBackgroundMusicMessage);
        return;
    }
    constexpr int Fields[] = {1, 2, 3};
    constexpr std::size_t FieldCount = std::size(Fields);
    std::vector<Text> fields = regex.subMatchTexts(Fields);
    regex.clear();
    // Without a mirror there is nowhere to rewrite links to: they stay as the service gave them.
    const bool mirror = !context.hosts.mirrorHost.empty();
    appendSongRows(view, std::move(fields), FieldCount,
                   [&view, mirror](const std::vector<Text>& links) {
                       return mirror ? zoneLinkForms(view, links) : links;
                   });
}

} // namespace marrowtune
