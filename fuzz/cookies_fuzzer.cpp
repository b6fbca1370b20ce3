// SPDX-License-Identifier: MIT
// Folding received cookies into a stored list.
//
// Input: the stored list (a length byte and its bytes), then the received list.

#include "fuzz/fuzz_input.h"
#include "net/cookies.h"

#include <algorithm>

using namespace marrowtune;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::FuzzInput input(data, size);
    const Text storedBefore = input.text();
    const Text receivedBefore = input.rest();

    Text stored = storedBefore;
    Text received = receivedBefore;
    const Text merged = mergeCookies(stored, received);
    FUZZ_CHECK(stored == merged);
    FUZZ_CHECK(received == removeAllSpaces(receivedBefore));

    // Deleted cookies are left out.
    for (const Text& item : splitText(merged, "; "))
        FUZZ_CHECK(!item.ends_with("=deleted"));

    // Folding the same cookies in again changes nothing. Only for ASCII: a double-byte
    // character may swallow the ";" of the "; " the merge put after it. And not when an empty
    // item came last: its "; " ends the list, and the next split drops the empty remainder.
    const bool ascii = std::all_of(storedBefore.begin(), storedBefore.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; }) &&
                       std::all_of(receivedBefore.begin(), receivedBefore.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (ascii && !merged.ends_with("; ")) {
        Text again = merged;
        Text receivedAgain = receivedBefore;
        FUZZ_CHECK(mergeCookies(again, receivedAgain) == merged);
    }
    return 0;
}
