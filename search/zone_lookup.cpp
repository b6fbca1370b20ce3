#include "search/zone_lookup.h"

#include "automation/regex_object.h"
#include "net/http.h"
#include "search/messages.h"
#include "search/rewrite.h"
#include "search/search_view.h"
#include "search/service_hosts.h"
#include "search/song_record.h"
#include "search/stamps.h"

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
    Text url = "http://";
    url += zonePlaylistHost;
    url += "/fcg-bin/cgi_playlist_xml.fcg?json=1&uin=";
    url += qqNumber;
    url += "&g_tk=5381&t=";
    url += randomStamp;
    return url;
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

void lookupZoneMusic(SearchView& view)
{
    lookupZoneMusic(view, serviceHosts());
}

void lookupZoneMusic(SearchView& view, const ServiceHosts& hosts)
{
    RegexObject regex;
    view.setNextPageEnabled(false);
    view.setPreviousPageEnabled(false);
    const Text stamp = makeRandomStamp([&view] { view.processPendingEvents(); });
    const Text qqNumber = view.qqNumberText();
    const Text answer = httpGetText(zonePlaylistUrl(hosts.zonePlaylistHost, qqNumber, stamp));

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
    regex.create(Text(ZoneSongPattern), answer);
    const int matches = regex.matchCount();
    if (matches < 1) {
        appendMessageRow(view, NoBackgroundMusicMessage);
        return;
    }
    for (int i = 1; i <= matches; ++i) {
        SongRecord record;
        record.songName = regex.subMatchText(i, 1);
        record.singer = regex.subMatchText(i, 2);
        record.link = zoneLinkForm(view, regex.subMatchText(i, 3));
        appendSongRecord(view, record);
    }
}

} // namespace marrowtune
