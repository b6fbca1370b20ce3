// SPDX-License-Identifier: MIT
// The text operations over arbitrary GBK bytes: find, split, replace, trim, space removal,
// number reading, text between markers and URL encoding.
//
// Input: a flags byte, a start byte, two short texts (`sub` and `by`), then the subject.

#include "fuzz/fuzz_input.h"
#include "net/text.h"

#include <algorithm>
#include <string>

using namespace marrowtune;

namespace {

char asciiLower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equalIgnoringAsciiCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return asciiLower(x) == asciiLower(y);
           });
}

// True when the last character of `text` is a lone lead byte.
bool endsInLeadByte(std::string_view text)
{
    size_t i = 0;
    size_t last = 0;
    while (i < text.size()) {
        last = i;
        i += static_cast<unsigned char>(text[i]) >= 0x80 && i + 1 < text.size() ? 2 : 1;
    }
    return !text.empty() && last + 1 == text.size() &&
           static_cast<unsigned char>(text[last]) >= 0x80;
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1; // lower-case hex is not what urlEncode writes
}

bool isUnreserved(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.';
}

void checkFind(const Text& subject, const Text& sub, int start, bool ignoreCase)
{
    const int at = findText(subject, sub, start, ignoreCase);
    FUZZ_CHECK(at == -1 || (at >= 1 && static_cast<size_t>(at) <= subject.size()));
    if (at == -1 || sub.empty())
        return;
    FUZZ_CHECK(at >= std::max(start, 1));
    FUZZ_CHECK(static_cast<size_t>(at - 1) + sub.size() <= subject.size());
    const std::string_view found = std::string_view(subject).substr(at - 1, sub.size());
    FUZZ_CHECK(ignoreCase ? equalIgnoringAsciiCase(found, sub) : found == sub);
    if (!ignoreCase) {
        // What matches exactly also matches ignoring case, at the same place or earlier; but
        // for a `sub` that ends in half a character: exactly it matches the first byte of a
        // pair, ignoring case it must match the whole pair.
        const int folded = findText(subject, sub, start, true);
        if (!endsInLeadByte(sub))
            FUZZ_CHECK(folded != -1 && folded <= at);
        // The last occurrence, walking from the beginning, is no earlier than the first one;
        // a later start may fall on a second byte and see other characters.
        if (start <= 1) {
            const int last = findLastText(subject, sub);
            FUZZ_CHECK(last >= at);
            FUZZ_CHECK(std::string_view(subject).substr(last - 1, sub.size()) == sub);
        }
    }
}

void checkSplitAndReplace(const Text& subject, const Text& separator, const Text& by)
{
    const std::vector<Text> items = splitText(subject, separator);
    FUZZ_CHECK(subject.empty() == items.empty());
    if (separator.empty()) {
        FUZZ_CHECK(items.empty() || (items.size() == 1 && items[0] == subject));
        FUZZ_CHECK(replaceText(subject, separator, by) == subject);
        return;
    }
    // Joining the items gives the subject back, but for a separator that ended it.
    Text joined;
    for (size_t i = 0; i < items.size(); ++i) {
        if (i > 0)
            joined += separator;
        joined += items[i];
    }
    FUZZ_CHECK(subject.starts_with(joined));
    FUZZ_CHECK(
        subject.size() == joined.size() ||
        (subject.size() == joined.size() + separator.size() && subject.ends_with(separator)));

    // Replacing with the separator itself changes nothing; any other replacement changes the
    // length by the difference for each occurrence that split found.
    FUZZ_CHECK(replaceText(subject, separator, separator) == subject);
    const size_t occurrences =
        items.empty() ? 0 : items.size() - (subject.size() == joined.size() ? 1 : 0);
    const Text replaced = replaceText(subject, separator, by);
    FUZZ_CHECK(replaced.size() + occurrences * separator.size() ==
               subject.size() + occurrences * by.size());
}

void checkSpaces(const Text& subject)
{
    const Text trimmed = trimText(subject);
    FUZZ_CHECK(subject.find(trimmed) != Text::npos);
    FUZZ_CHECK(trimText(trimmed) == trimmed);
    const Text bare = removeAllSpaces(subject);
    FUZZ_CHECK(bare.size() <= subject.size());
    FUZZ_CHECK(removeAllSpaces(bare) == bare);
    FUZZ_CHECK(removeAllSpaces(trimmed) == bare);
}

void checkInteger(const Text& subject)
{
    const int value = toInteger(subject);
    // Up to nine ASCII digits read exactly as they are written.
    if (!subject.empty() && subject.size() <= 9 &&
        std::all_of(subject.begin(), subject.end(), [](char c) { return c >= '0' && c <= '9'; }))
        FUZZ_CHECK(value == std::stoi(subject));
}

void checkBetween(const Text& subject, const Text& left, const Text& right, int start,
                  bool caseSensitive)
{
    const Text between = textBetween(subject, left, right, start, caseSensitive);
    FUZZ_CHECK(subject.find(between) != Text::npos);
    // Without the quote word the markers stand for themselves and surround the result.
    const std::string_view quoteWord = "#\xD2\xFD\xBA\xC5";
    if (caseSensitive && !between.empty() && left.find(quoteWord) == Text::npos &&
        right.find(quoteWord) == Text::npos)
        FUZZ_CHECK(subject.find(left + between + right) != Text::npos);
}

void checkUrlEncode(const Text& subject, bool keepUnreserved, bool toUtf8)
{
    const Text encoded = urlEncode(subject, keepUnreserved, toUtf8);
    Text decoded;
    for (size_t i = 0; i < encoded.size();) {
        if (encoded[i] == '%') {
            FUZZ_CHECK(i + 2 < encoded.size());
            const int high = hexValue(encoded[i + 1]);
            const int low = hexValue(encoded[i + 2]);
            FUZZ_CHECK(high >= 0 && low >= 0);
            decoded.push_back(static_cast<char>(high * 16 + low));
            i += 3;
        } else {
            FUZZ_CHECK(keepUnreserved && isUnreserved(encoded[i]));
            decoded.push_back(encoded[i]);
            ++i;
        }
    }
    FUZZ_CHECK(decoded == (toUtf8 ? gbkToUtf8(subject) : subject));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::FuzzInput input(data, size);
    const std::uint8_t flags = input.byte();
    const int start = static_cast<int>(input.byte()) - 8; // a few starts below 1 as well
    const Text sub = input.text();
    const Text by = input.text();
    const Text subject = input.rest();

    checkFind(subject, sub, start, (flags & 1) != 0);
    checkSplitAndReplace(subject, sub, by);
    checkSpaces(subject);
    checkInteger(subject);
    checkBetween(subject, sub, by, start, (flags & 2) != 0);
    checkUrlEncode(subject, (flags & 4) != 0, (flags & 8) != 0);
    return 0;
}
