// SPDX-License-Identifier: MIT
#pragma once
// Taking a URL text apart for the HTTP engine. Only "http://" and "https://" are recognised as
// schemes; a URL without one is taken as http.

#include "net/text.h"

namespace marrowtune {

/// The host of `url` in lower case. domainOnly keeps the last two dot-separated labels;
/// keepPort keeps a ":port" suffix.
Text urlHost(std::string_view url, bool domainOnly = false, bool keepPort = false);
/// The port of `url`: the number after the host's last ":" (0 when it is not a number), else
/// 443 for a URL beginning "https" and 80 otherwise.
int urlPort(std::string_view url);
/// The object path of `url` from the first "/" after the host to the end (query and fragment
/// included), in the input's case; "/" when there is none.
Text urlPath(std::string_view url);

} // namespace marrowtune
