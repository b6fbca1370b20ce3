// SPDX-License-Identifier: MIT
#pragma once
// The hosts the searches, the link rewriting and the window's links use. They are the build's
// configuration values unless the environment overrides them at start (variables named as the
// CMake cache variables). Whoever runs the searches holds its own copy (see SearchContext);
// tests point theirs at a loopback server. The mirror host, the listen-page host and the author
// page are optional: empty text means there is none.

#include "base/text.h"

#include <string>
#include <string_view>

namespace marrowtune {

/// Host values the program uses (each host may carry a ":port").
struct ServiceHosts {
    /// `ZonePlaylistHost`: the Zone playlist service.
    Text zonePlaylistHost;
    /// `SongSearchHost`: the song-search service.
    Text songSearchHost;
    /// `MusicCdnHostSuffix`: the suffix shared by the music CDN's hosts.
    Text musicCdnHostSuffix;
    /// `StreamRedirectHost`: the stream-redirect host Zone links may point at.
    Text streamRedirectHost;
    /// `MirrorHost`: the host rewritten links point at; empty: none, links stay as the services
    /// give them.
    Text mirrorHost;
    /// `ListenPageHost`: the host of the listen-online page; empty: none, the link itself opens.
    Text listenPageHost;
    /// `AuthorPageUrl`: the author's home page, opened when the window closes; empty: none.
    Text authorPageUrl;
    /// The proxy every request goes through (see isProxyUrl); empty: none, a direct connection.
    Text proxy;

    /// The values this build was configured with.
    static ServiceHosts buildDefaults();
};

/// True for a host value the build accepts: letters, digits, '.', '-', '_' and ':' only, so
/// the value stays a literal host inside the rewriting script and the request URLs.
bool isHostText(std::string_view value);
/// True for a proxy the requests can go through: "http://" (or, except on Windows, whose
/// Internet library speaks only to http proxies, "socks5h://") followed by a host that keeps
/// the host rule and a ":" with a port from 1 to 65535, and nothing else.
bool isProxyUrl(std::string_view value);
/// isProxyUrl's rule as a message says it.
#ifdef _WIN32
inline constexpr std::string_view ProxyUrlForm = "http://HOST:PORT (http proxies only on Windows)";
#else
inline constexpr std::string_view ProxyUrlForm = "http://HOST:PORT or socks5h://HOST:PORT";
#endif
/// True for an author page URL: "http://" or "https://" and then no space or control byte.
bool isPageUrl(std::string_view value);

/// The build's values with every MARROWTUNE_* host variable that `lookUp` finds put in their
/// place (an optional one set to the empty text: none), and MARROWTUNE_PROXY as the proxy
/// (empty: none); `problem` gets one line naming the first value that breaks its rule, its
/// control bytes escaped (and the build's values are returned). `lookUp` gives nullptr for a
/// variable that is not set.
ServiceHosts hostsFromEnvironment(const char* (*lookUp)(const char*), std::string& problem);
/// The searches' one way to ask a service: httpGetText with `url` alone, through the proxy of
/// `hosts` when it names one.
Text askService(const Text& url, const ServiceHosts& hosts);

/// Reads the host variables from the process environment once at start into `hosts`;
/// returns the problem line when one is malformed (`hosts` is then left as it was).
std::string applyHostEnvironment(ServiceHosts& hosts);

} // namespace marrowtune
