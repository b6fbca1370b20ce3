#include "search/rewrite.h"

#include "embedded/RewriteScript.h"
#include "embedded/RewriteScriptTemplate.h"
#include "search/script_component.h"

#include <algorithm>

namespace marrowtune {

namespace {

Text embeddedText(std::span<const unsigned char> bytes)
{
    return Text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

bool isHostText(std::string_view value)
{
    return !value.empty() && std::all_of(value.begin(), value.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               c == '.' || c == '-' || c == '_' || c == ':';
    });
}

} // namespace

Text rewriteScript()
{
    return embeddedText(embedded::RewriteScript());
}

Text makeRewriteScript(std::string_view streamRedirectHost, std::string_view musicCdnHostSuffix,
                       std::string_view mirrorHost)
{
    if (!isHostText(streamRedirectHost) || !isHostText(musicCdnHostSuffix) ||
        !isHostText(mirrorHost)) {
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

bool loadRewriteScript(ScriptComponent& component)
{
    return component.addCode(rewriteScript());
}

Text callThURL(ScriptComponent& component, const Text& link)
{
    return component.run("thURL", link);
}

Text callGetHiURL(ScriptComponent& component, const Text& link)
{
    return component.run("getHiURL", link);
}

} // namespace marrowtune
