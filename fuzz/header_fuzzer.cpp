// SPDX-License-Identifier: MIT
// The response header scan: headerValue over every line of an arbitrary header block, and the
// Location and Set-Cookie scan the HTTP engine runs over the block.
//
// Input: a flags byte (bit 0: the location text is not empty on entry), then the block.

#include "fuzz/fuzz_input.h"
#include "net/http.h"

#include <algorithm>

using namespace marrowtune;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::FuzzInput input(data, size);
    const std::uint8_t flags = input.byte();
    const Text block = input.rest();

    int cookieLines = 0;
    bool locationLine = false;
    for (const Text& line : splitText(block, "\r\n")) {
        // The value is the trimmed text after the line's first ":", found within it.
        const Text value = headerValue(line);
        const std::size_t colon = line.find(':');
        if (colon == Text::npos) {
            FUZZ_CHECK(value.empty());
        } else {
            FUZZ_CHECK(trimText(value) == value);
            FUZZ_CHECK(line.find(value, colon + 1) != Text::npos);
        }
        cookieLines += findText(line, "Set-Cookie") != -1 ? 1 : 0;
        locationLine = locationLine || findText(line, "Location:") != -1;
    }

    const Text before = (flags & 1) != 0 ? Text("earlier") : Text();
    Text location = before;
    Text newCookies = "stale";
    scanRawHeaders(block, location, newCookies);
    // The location is a line's value, the earlier text, or the whole block when it was empty.
    if (!locationLine) {
        FUZZ_CHECK(location == (before.empty() ? block : before));
    } else if (!location.empty()) {
        FUZZ_CHECK(block.find(location) != Text::npos);
    }
    // One item a Set-Cookie line, none holding a ";": the list has one separator fewer. Only
    // for ASCII: the GBK-aware marker search lets a lead byte take the ";" as its trail.
    const bool ascii = std::all_of(block.begin(), block.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (ascii) {
        const auto separators = std::count(newCookies.begin(), newCookies.end(), ';');
        FUZZ_CHECK(separators == std::max(0, cookieLines - 1));
    }
    return 0;
}
