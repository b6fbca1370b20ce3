// SPDX-License-Identifier: MIT
#include "base/gbk_find.h"

#include "base/ascii.h"

namespace marrowtune {

namespace {

bool matchesAt(std::string_view text, std::size_t i, std::string_view sub, bool ignoreCase)
{
    if (text.size() - i < sub.size()) {
        return false;
    }
    if (!ignoreCase) {
        return text.compare(i, sub.size(), sub) == 0;
    }
    // Fold single-byte characters only: the trail byte of a double-byte character may look like
    // an ASCII letter but is not one.
    for (std::size_t k = 0; k < sub.size();) {
        const std::size_t length = gbkCharLength(text, i + k);
        if (length == 2) {
            if (text.compare(i + k, 2, sub.substr(k, 2)) != 0) {
                return false;
            }
        } else if (asciiLower(text[i + k]) != asciiLower(sub[k])) {
            return false;
        }
        k += length;
    }
    return true;
}

} // namespace

std::size_t gbkCharLength(std::string_view text, std::size_t i)
{
    return static_cast<unsigned char>(text[i]) >= 0x80 && i + 1 < text.size() ? 2 : 1;
}

std::size_t findGbk(std::string_view text, std::string_view sub, std::size_t from, bool ignoreCase)
{
    for (std::size_t i = from; i < text.size(); i += gbkCharLength(text, i)) {
        if (matchesAt(text, i, sub, ignoreCase)) {
            return i;
        }
    }
    return std::string_view::npos;
}

} // namespace marrowtune
