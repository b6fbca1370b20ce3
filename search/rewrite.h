// SPDX-License-Identifier: MIT
#pragma once
// The link-rewriting script RewriteScript and the calls into it. The script is JScript text
// with four functions, getStreamID, getHiURL, getExactQusicID and thURL, carrying the
// stream-redirect host, the music CDN host suffix and the mirror host as literal texts.

#include "base/text.h"

#include <string_view>
#include <vector>

namespace marrowtune {

class ScriptComponent;
struct ServiceHosts;

/// RewriteScript for `hosts`: the build's script when its three hosts are the build's.
Text rewriteScript(const ServiceHosts& hosts);
/// RewriteScript for other host values; empty text when a value is not a plain host name
/// (letters, digits, ".", "-", "_" and ":" only), except an empty mirror host (none).
Text makeRewriteScript(std::string_view streamRedirectHost, std::string_view musicCdnHostSuffix,
                       std::string_view mirrorHost);

/// Adds RewriteScript for `hosts` to the script component; false when the component refused it.
bool loadRewriteScript(ScriptComponent& component, const ServiceHosts& hosts);
/// Hands RewriteScript for `hosts` to the script component, to be added before the
/// component's first use.
void loadRewriteScriptOnFirstUse(ScriptComponent& component, const ServiceHosts& hosts);
/// The script's thURL of a link: a stream-redirect or CDN link rewritten to the mirror host;
/// empty text when the script fails.
Text callThURL(ScriptComponent& component, const Text& link);
/// The script's getHiURL of a link: a CDN link rewritten to a mirror "/mp3/" link; empty text
/// when the script fails.
Text callGetHiURL(ScriptComponent& component, const Text& link);
/// callThURL of each link, in order, from one call into the component.
std::vector<Text> callThURLEach(ScriptComponent& component, const std::vector<Text>& links);
/// callGetHiURL of each link, in order, from one call into the component.
std::vector<Text> callGetHiURLEach(ScriptComponent& component, const std::vector<Text>& links);

} // namespace marrowtune
