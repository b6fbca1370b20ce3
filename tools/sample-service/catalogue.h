// SPDX-License-Identifier: MIT
#pragma once
// The sample service's built-in catalogue: a few hundred made-up songs and a handful of Zone
// users. All texts are UTF-8; the service converts its answers to GBK when it sends them.

#include <cstdint>
#include <string_view>
#include <vector>

namespace marrowtune::sample {

/// One song of the catalogue, with where the music CDN keeps it.
struct CatalogueSong {
    int songId = 0;
    std::string_view title;
    std::string_view singer;
    std::string_view album;
    int singerId = 0;
    int albumId = 0;
    /// The N of the CDN host "streamN.<suffix>".
    int streamNumber = 0;
    /// The file name's number on the CDN host ("<cdnFileId>.wma").
    std::int64_t cdnFileId = 0;
};

/// The kinds of link a Zone playlist carries.
enum class LinkKind { StreamRedirect, MusicCdn, Other };

/// One song on a Zone user's background-music playlist.
struct ZoneSong {
    std::string_view title;
    std::string_view singer;
    LinkKind link = LinkKind::MusicCdn;
};

/// A Zone user; an empty playlist means the user has no background music.
struct ZoneUser {
    std::string_view qqNumber;
    std::string_view nickname;
    std::vector<ZoneSong> playlist;
};

/// Every song, in catalogue order (song ids ascending).
const std::vector<CatalogueSong>& catalogueSongs();
/// Every Zone user the service knows.
const std::vector<ZoneUser>& zoneUsers();

/// The song with this title and singer, or nullptr.
const CatalogueSong* findSong(std::string_view title, std::string_view singer);
/// The Zone user with this QQ number, or nullptr.
const ZoneUser* findZoneUser(std::string_view qqNumber);
/// Songs whose title, singer or album contains `keyword` (UTF-8), ASCII letters compared
/// without regard to case, in catalogue order. An empty keyword finds nothing.
std::vector<const CatalogueSong*> searchCatalogue(std::string_view keyword);
/// The song the mirror serves as "/mp3/N/<mirrorId>.mp3", or nullptr.
const CatalogueSong* findSongByMirrorId(std::int64_t mirrorId);
/// The id under which the mirror serves a CDN file: ids from 1 to 12000000 move up by
/// 30000000, ids above 12000000 and below 30000000 lose 12000000 first; others stay.
std::int64_t mirrorSongId(std::int64_t cdnFileId);

} // namespace marrowtune::sample
