// SPDX-License-Identifier: MIT
#include "net/url.h"

namespace marrowtune {
namespace {

constexpr std::string_view HttpScheme = "http://";
constexpr std::string_view HttpsScheme = "https://";

bool startsWithHttps(std::string_view url)
{
    return toLowerText(leftText(url, 5)) == "https";
}

} // namespace

Text urlHost(std::string_view url, bool domainOnly, bool keepPort)
{
    Text work = toLowerText(url);
    if (work.empty() || work.back() != '/')
        work.push_back('/');

    Text host;
    if (leftText(work, 8) == HttpsScheme) {
        host = textBetween(work, HttpsScheme, "/");
    } else {
        // Only a leading "http://" is the scheme: one further on (in a query) is not the host.
        if (!work.starts_with(HttpScheme))
            work.insert(0, HttpScheme);
        host = textBetween(work, HttpScheme, "/");
    }

    if (domainOnly) {
        const std::vector<Text> labels = splitText(host, ".");
        if (labels.size() > 1)
            host = labels[labels.size() - 2] + "." + labels.back();
    }
    if (keepPort)
        return host;
    const int colon = findText(host, ":");
    return colon == -1 ? host : leftText(host, colon - 1);
}

int urlPort(std::string_view url)
{
    const Text host = urlHost(url, false, true);
    const int colon = findLastText(host, ":");
    if (colon == -1)
        return startsWithHttps(url) ? 443 : 80;
    return toInteger(middleText(host, colon + 1, static_cast<int>(host.size())));
}

Text urlPath(std::string_view url)
{
    const Text host = urlHost(url);
    // The host is looked for after the scheme: a host such as "h" or "tp" would otherwise be
    // found inside "http://" itself and the path would start at the scheme's slashes.
    const Text lower = toLowerText(leftText(url, 8));
    int from = 1;
    if (lower.starts_with(HttpsScheme))
        from = static_cast<int>(HttpsScheme.size()) + 1;
    else if (lower.starts_with(HttpScheme))
        from = static_cast<int>(HttpScheme.size()) + 1;
    const int hostAt = findText(url, host, from, true);
    const int slash = findText(url, "/", hostAt);
    if (slash == -1)
        return "/";
    return Text(url.substr(static_cast<size_t>(slash - 1)));
}

} // namespace marrowtune
