// SPDX-License-Identifier: MIT
// The two link-rewriting calls, thURL and getHiURL, over arbitrary links, through the real
// script host.
//
// Input: a flags byte (bit 0: getHiURL, else thURL), then the link.

#include "fuzz/fuzz_input.h"
#include "platform/system_classes.h"
#include "search/rewrite.h"
#include "search/script_control_component.h"

#include <algorithm>

using namespace marrowtune;

namespace {

constexpr std::string_view Redirect = "streamrdt.music.example.com";
constexpr std::string_view Suffix = "qqmusic.example.com";
constexpr std::string_view Mirror = "mirror.example.org:8080";

ScriptControlComponent& component()
{
    static ScriptControlComponent* const loaded = [] {
        registerSystemClasses();
        auto* made = new ScriptControlComponent;
        FUZZ_CHECK(made->isReady());
        FUZZ_CHECK(made->addCode(makeRewriteScript(Redirect, Suffix, Mirror)));
        return made;
    }();
    return *loaded;
}

bool contains(const Text& text, std::string_view part)
{
    return text.find(part) != Text::npos;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::FuzzInput input(data, size);
    const bool hiUrl = (input.byte() & 1) != 0;
    const Text link = input.rest();
    const bool plain =
        std::all_of(link.begin(), link.end(), [](char c) { return c >= 0x20 && c < 0x7F; });
    const Text mirrorLink = "http://" + Text(Mirror) + "/mp3/";

    // Only printable ASCII crosses into the script and back unchanged: other bytes are read as
    // GBK, where a lead byte may take the first letter of a host name as its trail byte.
    if (hiUrl) {
        const Text result = callGetHiURL(component(), link);
        // A CDN link becomes a mirror mp3 link (or the script fails); any other comes back.
        if (plain && contains(link, Suffix)) {
            FUZZ_CHECK(result.empty() ||
                       (result.starts_with(mirrorLink) && result.ends_with(".mp3")));
        } else if (plain) {
            FUZZ_CHECK(result == link);
        }
        return 0;
    }
    const Text result = callThURL(component(), link);
    // Neither host in the link: it comes back as it was.
    if (plain && !contains(link, Redirect) && !contains(link, Suffix)) {
        FUZZ_CHECK(result == link);
    }
    // A redirect link has its host replaced by the mirror's "/up" path.
    if (plain && contains(link, Redirect) && !contains(link, Suffix)) {
        FUZZ_CHECK(contains(result, Text(Mirror) + "/up"));
    }
    return 0;
}
