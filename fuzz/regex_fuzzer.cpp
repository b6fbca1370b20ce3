// SPDX-License-Identifier: MIT
// The "VBScript.RegExp" engine through RegexObject: an arbitrary pattern over an arbitrary
// subject must compile or be refused, and run or give up, without crashing or hanging (the
// engine has a match limit per search and a run budget per Execute).
//
// Input: a flags byte (IgnoreCase, Multiline, Global), the pattern and the subject (a length
// byte and its bytes each), then the replacement text.

#include "automation/regex_object.h"
#include "fuzz/fuzz_input.h"
#include "platform/regexp/regexp.h"

#include <algorithm>

using namespace marrowtune;

namespace {

constexpr int NotFound = -2;

// A position read back is either "not found" or the place of that very text in the subject.
void checkPosition(const Text& subject, const Text& text, int position)
{
    FUZZ_CHECK(position == NotFound ||
               (position >= 0 && static_cast<size_t>(position) <= subject.size()));
    if (position >= 0)
        FUZZ_CHECK(subject.compare(static_cast<size_t>(position), text.size(), text) == 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const bool registered = (regexp::registerRegExpClass(), true);
    (void)registered;

    fuzz::FuzzInput input(data, size);
    const std::uint8_t flags = input.byte();
    const Text pattern = input.text();
    const Text subject = input.text();
    const Text replacement = input.rest();

    RegexObject regex;
    const bool ran =
        regex.create(pattern, subject, (flags & 1) != 0, (flags & 2) != 0, (flags & 4) != 0);
    const int count = regex.matchCount();
    FUZZ_CHECK(count >= 0);
    if (!ran) {
        FUZZ_CHECK(count == 0);
        return 0;
    }
    if ((flags & 4) == 0)
        FUZZ_CHECK(count <= 1);
    // Each match is at least an empty one at its own place, so there are never more matches
    // than places in the subject's UTF-16 form.
    FUZZ_CHECK(static_cast<size_t>(count) <= subject.size() + 1);

    // Read a few matches and groups, in range and one beyond it on each side.
    const int groups = regex.subMatchCount();
    FUZZ_CHECK(groups >= 0);
    for (int m = 0; m <= std::min(count, 4) + 1; ++m) {
        int position = 0;
        const Text text = regex.matchText(m, &position);
        if (m < 1 || m > count) {
            // An absent match reads as empty text found at the start of a non-empty subject.
            FUZZ_CHECK(text.empty() && position == (subject.empty() ? NotFound : 0));
            continue;
        }
        checkPosition(subject, text, position);
        for (int g = 0; g <= std::min(groups, 4) + 1; ++g) {
            int groupPosition = 0;
            const Text group = regex.subMatchText(m, g, &groupPosition);
            if (g < 1 || g > groups)
                FUZZ_CHECK(group.empty());
            checkPosition(subject, group, groupPosition);
        }
    }
    const Text replaced = regex.replace(replacement);
    // Without a match the subject comes back; exactly so when it is plain ASCII, which crosses
    // into UTF-16 and back unchanged.
    const bool ascii = std::all_of(subject.begin(), subject.end(), [](char c) {
        return c != '\0' && static_cast<unsigned char>(c) < 0x80;
    });
    if (count == 0 && ascii)
        FUZZ_CHECK(replaced == subject);
    return 0;
}
