// SPDX-License-Identifier: MIT
#include "net/cookies.h"

namespace marrowtune {
namespace {

constexpr std::string_view DeletedEnding = "=deleted";
constexpr std::string_view ItemSeparator = "; ";

} // namespace

Text mergeCookies(Text& stored, Text& received)
{
    stored = removeAllSpaces(stored);
    received = removeAllSpaces(received);

    // Received items are never compared with each other; a stored item is compared with the
    // list as it grows, so of two stored items of one name the first wins.
    std::vector<Text> items = splitText(received, ";");
    for (const Text& item : splitText(stored, ";")) {
        if (!cookieListHasName(items, cookieName(item))) {
            items.push_back(item);
        }
    }

    Text merged;
    for (const Text& item : items) {
        if (rightText(item, static_cast<int>(DeletedEnding.size())) != DeletedEnding) {
            merged += item;
            merged += ItemSeparator;
        }
    }
    merged = leftText(merged, static_cast<int>(merged.size()) - 2);
    stored = merged;
    return merged;
}

Text cookieName(const Text& item)
{
    const int equals = findText(item, "=");
    return trimText(equals == -1
                        ? std::string_view(item)
                        : std::string_view(item).substr(0, static_cast<size_t>(equals - 1)));
}

bool cookieListHasName(const std::vector<Text>& items, const Text& name)
{
    for (const Text& item : items) {
        if (cookieName(item) == name) {
            return true;
        }
    }
    return false;
}

} // namespace marrowtune
