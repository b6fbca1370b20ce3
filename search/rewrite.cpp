// SPDX-License-Identifier: MIT
#include "search/rewrite.h"

#include "embedded/RewriteScript.h"
#include "embedded/RewriteScriptTemplate.h"
#include "net/text.h"
#include "search/script_component.h"
#include "search/service_hosts.h"

#include <algorithm>

namespace marrowtune {

namespace {

Text embeddedText(std::span<const unsigned char> bytes)
{
    return Text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

} // namespace

Text rewriteScript(const ServiceHosts& hosts)
{
    // The build's script unless the environment moved one of its three hosts.
    const ServiceHosts built = ServiceHosts::buildDefaults();
    if (hosts.streamRedirectHost == built.streamRedirectHost &&
        hosts.musicCdnHostSuffix == built.musicCdnHostSuffix &&
        hosts.mirrorHost == built.mirrorHost) {
        return embeddedText(embedded::RewriteScript());
    }
    return makeRewriteScript(hosts.streamRedirectHost, hosts.musicCdnHostSuffix, hosts.mirrorHost);
}

Text makeRewriteScript(std::string_view streamRedirectHost, std::string_view musicCdnHostSuffix,
                       std::string_view mirrorHost)
{
    // Without a mirror (empty) the script is still valid; its functions are then never called.
    if (!isHostText(streamRedirectHost) || !isHostText(musicCdnHostSuffix) ||
        (!mirrorHost.empty() && !isHostText(mirrorHost))) {
        return {};
    }
    // The same substitution the build makes; host texts cannot form a placeholder, so the
    // order of the replacements does not matter.
    Text script = embeddedText(embedded::RewriteScriptTemplate());
    script = replaceText(script, "@MARROWTUNE_STREAM_REDIRECT_HOST@", streamRedirectHost);
    script = replaceText(script, "@MARROWTUNE_MUSIC_CDN_HOST_SUFFIX@", musicCdnHostSuffix);
    script = replaceText(script, "@MARROWTUNE_MIRROR_HOST@", mirrorHost);
    return script;
}

bool loadRewriteScript(ScriptComponent& component, const ServiceHosts& hosts)
{
    return component.addCode(rewriteScript(hosts));
}

void loadRewriteScriptOnFirstUse(ScriptComponent& component, const ServiceHosts& hosts)
{
    component.addCodeOnFirstUse(rewriteScript(hosts));
}

Text callThURL(ScriptComponent& component, const Text& link)
{
    return component.run("thURL", link);
}

Text callGetHiURL(ScriptComponent& component, const Text& link)
{
    return component.run("getHiURL", link);
}

std::vector<Text> callThURLEach(ScriptComponent& component, const std::vector<Text>& links)
{
    return component.runEach("thURL", links);
}

std::vector<Text> callGetHiURLEach(ScriptComponent& component, const std::vector<Text>& links)
{
    return component.runEach("getHiURL", links);
}

} // namespace marrowtune
