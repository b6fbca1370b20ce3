// SPDX-License-Identifier: MIT
#include "search/service_hosts.h"

#include "base/escape.h"
#include "marrowtune/config.h"
#include "net/http.h"

#include <algorithm>
#include <cstdlib>

namespace marrowtune {

ServiceHosts ServiceHosts::buildDefaults()
{
    return {Text(config::ZonePlaylistHost),   Text(config::SongSearchHost),
            Text(config::MusicCdnHostSuffix), Text(config::StreamRedirectHost),
            Text(config::MirrorHost),         Text(config::ListenPageHost),
            Text(config::AuthorPageUrl),      Text()}; // no proxy
}

bool isHostText(std::string_view value)
{
    return !value.empty() && std::all_of(value.begin(), value.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               c == '.' || c == '-' || c == '_' || c == ':';
    });
}

bool isProxyUrl(std::string_view value)
{
#ifdef _WIN32
    constexpr std::string_view Schemes[] = {"http://"};
#else
    constexpr std::string_view Schemes[] = {"http://", "socks5h://"};
#endif
    for (const std::string_view scheme : Schemes) {
        if (!value.starts_with(scheme)) {
            continue;
        }
        const std::string_view rest = value.substr(scheme.size());
        const std::size_t colon = rest.find(':');
        const std::string_view host = rest.substr(0, colon);
        const std::string_view port =
            colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
        const bool digits =
            !port.empty() && port.size() <= 5 && port.front() != '0' &&
            std::all_of(port.begin(), port.end(), [](char c) { return c >= '0' && c <= '9'; });
        return isHostText(host) && digits && std::stoi(std::string(port)) <= 65535;
    }
    return false;
}

bool isPageUrl(std::string_view value)
{
    const std::string_view rest = value.starts_with("http://")    ? value.substr(7)
                                  : value.starts_with("https://") ? value.substr(8)
                                                                  : std::string_view();
    return !rest.empty() && std::none_of(rest.begin(), rest.end(), [](char c) {
        return static_cast<unsigned char>(c) <= 0x20 || c == '\x7F';
    });
}

ServiceHosts hostsFromEnvironment(const char* (*lookUp)(const char*), std::string& problem)
{
    ServiceHosts hosts = ServiceHosts::buildDefaults();
    const std::pair<const char*, Text ServiceHosts::*> variables[] = {
        {"MARROWTUNE_ZONE_PLAYLIST_HOST", &ServiceHosts::zonePlaylistHost},
        {"MARROWTUNE_SONG_SEARCH_HOST", &ServiceHosts::songSearchHost},
        {"MARROWTUNE_STREAM_REDIRECT_HOST", &ServiceHosts::streamRedirectHost},
        {"MARROWTUNE_MUSIC_CDN_HOST_SUFFIX", &ServiceHosts::musicCdnHostSuffix},
        {"MARROWTUNE_MIRROR_HOST", &ServiceHosts::mirrorHost},
        {"MARROWTUNE_LISTEN_PAGE_HOST", &ServiceHosts::listenPageHost},
        {"MARROWTUNE_AUTHOR_PAGE_URL", &ServiceHosts::authorPageUrl},
    };
    ServiceHosts result = hosts;
    for (const auto& [name, field] : variables) {
        const char* value = lookUp(name);
        if (value == nullptr) {
            continue;
        }
        const bool url = field == &ServiceHosts::authorPageUrl;
        const bool optional =
            field == &ServiceHosts::mirrorHost || field == &ServiceHosts::listenPageHost || url;
        if (!(optional && *value == '\0') && (url ? !isPageUrl(value) : !isHostText(value))) {
            problem = std::string(name) +
                      (url ? " must be an http:// or https:// URL without spaces"
                           : " must be a host name (letters, digits, '.', '-', '_', ':')") +
                      ": '" + controlsEscaped(value) + "'";
            return hosts;
        }
        result.*field = value;
    }
    if (const char* proxy = lookUp("MARROWTUNE_PROXY")) {
        if (*proxy != '\0' && !isProxyUrl(proxy)) {
            problem = "MARROWTUNE_PROXY must be " + std::string(ProxyUrlForm) + ": '" +
                      controlsEscaped(proxy) + "'";
            return hosts;
        }
        result.proxy = proxy;
    }
    return result;
}

std::string applyHostEnvironment(ServiceHosts& hosts)
{
    std::string problem;
    ServiceHosts found = hostsFromEnvironment(
        [](const char* name) -> const char* { return std::getenv(name); }, problem);
    if (problem.empty()) {
        hosts = std::move(found);
    }
    return problem;
}

Text askService(const Text& url, const ServiceHosts& hosts)
{
    // The proxy goes to the engine's own parameter; empty, it asks as the URL alone does.
    return httpGetText(url, 0, {}, nullptr, nullptr, nullptr, nullptr, false, nullptr, hosts.proxy);
}

} // namespace marrowtune
