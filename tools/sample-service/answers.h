// SPDX-License-Identifier: MIT
#pragma once
// The sample service's answers, built as plain functions over the catalogue. They are written
// in UTF-8; sample_service.cpp converts the text answers to GBK when it sends them.

#include <cstdint>
#include <string>
#include <string_view>

namespace marrowtune::sample {

/// The host names that appear inside the links of the answers.
struct LinkHosts {
    /// Host of the stream-redirect links of Zone playlists.
    std::string streamRedirectHost;
    /// Host-name suffix of the music CDN: its hosts are "stream" + digits + "." + suffix.
    std::string musicCdnHostSuffix;

    /// The values this build was configured with.
    static LinkHosts buildDefaults();
};

/// Songs on one page of a search answer.
inline constexpr int SongsPerPage = 20;

/// True when `qqNumber` looks like a QQ number: 5 to 11 digits, not starting with 0.
bool isWellFormedQqNumber(std::string_view qqNumber);

/// The Zone playlist answer for `uin`. A malformed number gets the service's complaint; an
/// unknown number or a user without background music gets a playlist without song entries.
/// `ownHost` (host[:port] of this service) is where the links of the "other" kind point.
std::string zonePlaylistAnswer(std::string_view uin, const LinkHosts& hosts,
                               std::string_view ownHost);

/// The song-search answer for `keyword` (UTF-8, already percent-decoded) and the 1-based
/// `page`: "totalnum:" + hits + "," and up to twenty song entries.
std::string songSearchAnswer(std::string_view keyword, int page, const LinkHosts& hosts);

/// The listen-online page: an HTML page whose audio element plays `link`.
std::string listenPage(std::string_view link);

/// The about page (the author's home page of the sample build).
std::string aboutPage();

/// A short playable audio clip (a WAV file); `seed` picks its tone.
std::string audioClip(std::int64_t seed);

/// HTML-escapes &, <, >, " and '.
std::string escapeHtml(std::string_view text);

} // namespace marrowtune::sample
