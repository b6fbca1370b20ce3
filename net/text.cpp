// SPDX-License-Identifier: MIT
#include "net/text.h"

#include "base/ascii.h"
#include "base/gbk_find.h"
#include "platform/codepage/codepage.h"

#include <algorithm>
#include <climits>

namespace marrowtune {
namespace {

bool isFullWidthSpaceAt(std::string_view text, size_t i)
{
    return i + 1 < text.size() && static_cast<unsigned char>(text[i]) == 0xA1 &&
           static_cast<unsigned char>(text[i + 1]) == 0xA1;
}

// GBK bytes of the word that markers may use to stand for a double quote.
constexpr std::string_view QuoteWord = "#\xD2\xFD\xBA\xC5"; // "#引号"

} // namespace

int findText(std::string_view text, std::string_view sub, int start, bool ignoreCase)
{
    if (start < 1)
        start = 1;
    if (static_cast<size_t>(start) > text.size())
        return -1;
    if (sub.empty())
        return 1;
    const size_t at = findGbk(text, sub, static_cast<size_t>(start - 1), ignoreCase);
    return at == std::string_view::npos ? -1 : static_cast<int>(at) + 1;
}

int findLastText(std::string_view text, std::string_view sub)
{
    if (sub.empty())
        return text.empty() ? -1 : 1;
    int last = -1;
    for (size_t at = findGbk(text, sub, 0, false); at != std::string_view::npos;
         at = findGbk(text, sub, at + gbkCharLength(text, at), false)) {
        last = static_cast<int>(at) + 1;
    }
    return last;
}

Text leftText(std::string_view text, int n)
{
    if (n <= 0)
        return {};
    return Text(text.substr(0, static_cast<size_t>(n)));
}

Text rightText(std::string_view text, int n)
{
    if (n <= 0)
        return {};
    const size_t count = std::min(text.size(), static_cast<size_t>(n));
    return Text(text.substr(text.size() - count));
}

Text middleText(std::string_view text, int start, int n)
{
    if (start < 1 || static_cast<size_t>(start) > text.size() || n <= 0)
        return {};
    return Text(text.substr(static_cast<size_t>(start - 1), static_cast<size_t>(n)));
}

Text trimText(std::string_view text)
{
    // Walk by characters so that an A1 byte pair straddling two characters is not taken for a
    // full-width space.
    size_t begin = 0;
    while (begin < text.size()) {
        if (text[begin] == ' ')
            ++begin;
        else if (isFullWidthSpaceAt(text, begin))
            begin += 2;
        else
            break;
    }
    size_t end = begin; // one past the last character that is not a space
    for (size_t i = begin; i < text.size();) {
        const size_t len = gbkCharLength(text, i);
        if (text[i] != ' ' && !(len == 2 && isFullWidthSpaceAt(text, i)))
            end = i + len;
        i += len;
    }
    return Text(text.substr(begin, end - begin));
}

Text removeAllSpaces(std::string_view text)
{
    Text out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const size_t len = gbkCharLength(text, i);
        if (text[i] != ' ' && !(len == 2 && isFullWidthSpaceAt(text, i)))
            out.append(text.substr(i, len));
        i += len;
    }
    return out;
}

Text toLowerText(std::string_view text)
{
    Text out(text);
    for (size_t i = 0; i < out.size();) {
        const size_t len = gbkCharLength(out, i);
        if (len == 1)
            out[i] = asciiLower(out[i]);
        i += len;
    }
    return out;
}

std::vector<Text> splitText(std::string_view text, std::string_view separator)
{
    std::vector<Text> items;
    if (text.empty())
        return items;
    if (separator.empty()) {
        items.emplace_back(text);
        return items;
    }
    size_t from = 0;
    for (size_t at = findGbk(text, separator, 0, false); at != std::string_view::npos;
         at = findGbk(text, separator, from, false)) {
        items.emplace_back(text.substr(from, at - from));
        from = at + separator.size();
    }
    if (from < text.size())
        items.emplace_back(text.substr(from));
    return items;
}

Text replaceText(std::string_view text, std::string_view sub, std::string_view by)
{
    if (sub.empty())
        return Text(text);
    Text out;
    out.reserve(text.size());
    size_t from = 0;
    for (size_t at = findGbk(text, sub, 0, false); at != std::string_view::npos;
         at = findGbk(text, sub, from, false)) {
        out.append(text.substr(from, at - from)).append(by);
        from = at + sub.size();
    }
    out.append(text.substr(from));
    return out;
}

int toInteger(std::string_view text)
{
    // Full-width forms (A3 A1 .. A3 FE) become their ASCII characters and the full-width space
    // becomes a space; then the number is read the way atoi reads it.
    Text ascii;
    ascii.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const size_t len = gbkCharLength(text, i);
        const auto lead = static_cast<unsigned char>(text[i]);
        if (len == 2 && lead == 0xA3 && static_cast<unsigned char>(text[i + 1]) >= 0xA1 &&
            static_cast<unsigned char>(text[i + 1]) <= 0xFE) {
            ascii.push_back(static_cast<char>(static_cast<unsigned char>(text[i + 1]) - 0x80));
        } else if (len == 2 && isFullWidthSpaceAt(text, i)) {
            ascii.push_back(' ');
        } else {
            ascii.append(text.substr(i, len));
        }
        i += len;
    }

    size_t i = 0;
    while (i < ascii.size() && (ascii[i] == ' ' || (ascii[i] >= '\t' && ascii[i] <= '\r')))
        ++i;
    bool negative = false;
    if (i < ascii.size() && (ascii[i] == '+' || ascii[i] == '-')) {
        negative = ascii[i] == '-';
        ++i;
    }
    long long value = 0;
    for (; i < ascii.size() && ascii[i] >= '0' && ascii[i] <= '9'; ++i) {
        value = value * 10 + (ascii[i] - '0');
        if (value > static_cast<long long>(INT_MAX) + 1)
            break; // saturates below; no need to read further digits
    }
    if (negative)
        value = -value;
    return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

Text bytesToText(const ByteBuffer& bytes)
{
    const auto zero = std::find(bytes.begin(), bytes.end(), std::uint8_t{0});
    return Text(bytes.begin(), zero);
}

ByteBuffer textToBytes(std::string_view text)
{
    return ByteBuffer(text.begin(), text.end());
}

Text byteHex(std::uint8_t byte)
{
    static constexpr char Digits[] = "0123456789ABCDEF";
    Text out;
    if (byte >= 0x10)
        out.push_back(Digits[byte >> 4]);
    out.push_back(Digits[byte & 0x0F]);
    return out;
}

Text textBetween(std::string_view text, std::string_view left, std::string_view right, int start,
                 bool caseSensitive)
{
    const Text leftMarker = replaceText(left, QuoteWord, "\"");
    const Text rightMarker = replaceText(right, QuoteWord, "\"");
    const int leftAt = findText(text, leftMarker, start < 1 ? 1 : start, !caseSensitive);
    if (leftAt == -1)
        return {};
    const int contentStart = leftAt + static_cast<int>(leftMarker.size());
    const int rightAt = findText(text, rightMarker, contentStart, !caseSensitive);
    if (rightAt == -1)
        return {};
    return Text(text.substr(static_cast<size_t>(contentStart - 1),
                            static_cast<size_t>(rightAt - contentStart)));
}

Text urlEncode(std::string_view text, bool keepUnreserved, bool toUtf8)
{
    const Text utf8 = toUtf8 ? gbkToUtf8(text) : Text();
    const std::string_view bytes = toUtf8 ? std::string_view(utf8) : text;
    static constexpr char Digits[] = "0123456789ABCDEF";
    Text out;
    out.reserve(bytes.size() * 3);
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        const bool unreserved = (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
                                (byte >= '0' && byte <= '9') || byte == '-' || byte == '.';
        if (keepUnreserved && unreserved) {
            out.push_back(c);
        } else {
            out.push_back('%');
            out.push_back(Digits[byte >> 4]);
            out.push_back(Digits[byte & 0x0F]);
        }
    }
    return out;
}

Text gbkToUtf8(std::string_view text)
{
    return wideToMultiByte(multiByteToWide(text, CodePage::Gbk), CodePage::Utf8);
}

std::u16string multiByteToWide(std::string_view text, CodePage codePage)
{
    // The text ends at its first zero byte, as a C string does.
    return codepage::toWide(text.substr(0, text.find('\0')), codePage);
}

Text wideToMultiByte(std::u16string_view wide, CodePage codePage)
{
    Text out = codepage::fromWide(wide.substr(0, wide.find(u'\0')), codePage);
    return out;
}

} // namespace marrowtune
