// SPDX-License-Identifier: MIT
#include "platform/codepage/codepage.h"

#include "platform/codepage/gbk_table.h"

#include <cstdint>
#include <cstring>

namespace marrowtune::codepage {
namespace {

constexpr char16_t ReplacementCharacter = u'\uFFFD';

bool isSurrogateLead(char16_t unit)
{
    return unit >= 0xD800 && unit <= 0xDBFF;
}
bool isSurrogateTrail(char16_t unit)
{
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

constexpr char16_t EuroSign = u'\u20AC';

bool isGbkTrail(unsigned char byte)
{
    return byte >= GbkFirstTrail && byte <= GbkLastTrail && byte != 0x7F;
}

bool eightAscii(const unsigned char* bytes)
{
    std::uint64_t eight = 0;
    std::memcpy(&eight, bytes, sizeof eight);
    return (eight & 0x8080808080808080u) == 0;
}

// Texts are mostly ASCII: copies eight bytes at a time while none has its high bit set, and
// moves both positions past what it copied.
void copyAsciiRun(const unsigned char*& in, const unsigned char* end, char16_t*& out)
{
    while (end - in >= 8 && eightAscii(in)) {
        for (int i = 0; i < 8; ++i) {
            out[i] = static_cast<char16_t>(in[i]);
        }
        in += 8;
        out += 8;
    }
}

std::u16string gbkToWide(std::string_view text)
{
    std::u16string out(text.size(), u'\0');
    char16_t* outPtr = out.data();
    const auto* in = reinterpret_cast<const unsigned char*>(text.data());
    const auto* end = in + text.size();
    while (in < end) {
        copyAsciiRun(in, end, outPtr);
        if (in == end) {
            break;
        }
        const unsigned char byte = *in;
        if (byte < 0x80) {
            *outPtr++ = byte;
            ++in;
        } else if (byte == 0x80) {
            *outPtr++ = EuroSign;
            ++in;
        } else if (byte == 0xFF || in + 1 == end || !isGbkTrail(in[1])) {
            // Not a lead byte, or a lead byte without its trail: this byte alone is invalid.
            *outPtr++ = ReplacementCharacter;
            ++in;
        } else {
            // A lead byte and its trail byte are one character even when the pair is
            // undefined, so the next character is read from the right place.
            const char16_t unit =
                GbkToUnicode[(byte - GbkFirstLead) * GbkTrailCount + (in[1] - GbkFirstTrail)];
            *outPtr++ = unit != 0 ? unit : ReplacementCharacter;
            in += 2;
        }
    }
    out.resize(static_cast<std::size_t>(outPtr - out.data()));
    return out;
}

// Decoded here rather than through iconv, with the same results as the C library's UTF-8
// decoder and our replacement rule: a sequence that is not valid UTF-8 (a stray continuation
// byte, an overlong form, a surrogate, a code point above U+10FFFF, a lead byte F5-FF, a
// sequence cut short) gives one U+FFFD for its first byte, and decoding goes on with the next
// byte. Opening an iconv descriptor loads the C library's conversion modules, which would cost
// the command line more than all its conversions together.
std::u16string utf8ToWide(std::string_view text)
{
    // Every input byte yields at most one UTF-16 unit (a 4-byte sequence yields two).
    std::u16string out(text.size(), u'\0');
    char16_t* outPtr = out.data();
    const auto* in = reinterpret_cast<const unsigned char*>(text.data());
    const auto* end = in + text.size();
    while (in < end) {
        copyAsciiRun(in, end, outPtr);
        if (in == end) {
            break;
        }
        const unsigned lead = *in;
        if (lead < 0x80) {
            *outPtr++ = static_cast<char16_t>(lead);
            ++in;
            continue;
        }
        // The sequence's length and the range its second byte must lie in, which is what rules
        // out overlong forms, surrogates and code points above U+10FFFF.
        std::ptrdiff_t length = 0;
        unsigned low = 0x80;
        unsigned high = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            low = lead == 0xE0 ? 0xA0 : 0x80;
            high = lead == 0xED ? 0x9F : 0xBF;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            low = lead == 0xF0 ? 0x90 : 0x80;
            high = lead == 0xF4 ? 0x8F : 0xBF;
        }
        bool valid = length != 0 && end - in >= length && in[1] >= low && in[1] <= high;
        for (std::ptrdiff_t k = 2; valid && k < length; ++k) {
            valid = (in[k] & 0xC0) == 0x80;
        }
        if (!valid) {
            *outPtr++ = ReplacementCharacter;
            ++in;
            continue;
        }
        char32_t code = lead & (0x7Fu >> length);
        for (std::ptrdiff_t k = 1; k < length; ++k) {
            code = (code << 6) | (in[k] & 0x3Fu);
        }
        in += length;
        if (code < 0x10000) {
            *outPtr++ = static_cast<char16_t>(code);
        } else {
            *outPtr++ = static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10));
            *outPtr++ = static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
        }
    }
    out.resize(static_cast<std::size_t>(outPtr - out.data()));
    return out;
}

std::string wideToGbk(std::u16string_view wide)
{
    std::string out(wide.size() * 2, '\0');
    char* outPtr = out.data();
    for (std::size_t i = 0; i < wide.size(); ++i) {
        const char16_t unit = wide[i];
        if (unit < 0x80) {
            *outPtr++ = static_cast<char>(unit);
            continue;
        }
        const std::uint16_t bytes = UnicodeToGbk[unit];
        if (bytes > 0xFF) {
            *outPtr++ = static_cast<char>(bytes >> 8);
            *outPtr++ = static_cast<char>(bytes & 0xFF);
        } else if (bytes != 0) {
            *outPtr++ = static_cast<char>(bytes);
        } else {
            // No GBK form: "?", as the Windows default character is; a surrogate pair is one
            // character and gets one.
            *outPtr++ = '?';
            if (isSurrogateLead(unit) && i + 1 < wide.size() && isSurrogateTrail(wide[i + 1]))
                ++i;
        }
    }
    out.resize(static_cast<std::size_t>(outPtr - out.data()));
    return out;
}

} // namespace

bool isSupported(CodePage codePage)
{
    return codePage == CodePage::Ansi || codePage == CodePage::Gbk || codePage == CodePage::Utf8;
}

std::u16string toWide(std::string_view text, CodePage codePage)
{
    if (!isSupported(codePage) || text.empty())
        return {};
    return codePage == CodePage::Utf8 ? utf8ToWide(text) : gbkToWide(text);
}

std::string fromWide(std::u16string_view wide, CodePage codePage)
{
    if (!isSupported(codePage) || wide.empty())
        return {};
    if (codePage != CodePage::Utf8)
        return wideToGbk(wide);
    // Written here rather than through iconv: every unit has one UTF-8 form, and a lone
    // surrogate, the only unit without one, gets U+FFFD. At most three bytes per unit (four
    // per surrogate pair).
    std::string out(wide.size() * 3, '\0');
    char* outPtr = out.data();
    const auto put = [&](unsigned byte) { *outPtr++ = static_cast<char>(byte); };
    for (std::size_t i = 0; i < wide.size(); ++i) {
        const char16_t unit = wide[i];
        if (unit < 0x80) {
            put(unit);
        } else if (unit < 0x800) {
            put(0xC0 | (unit >> 6));
            put(0x80 | (unit & 0x3F));
        } else if (isSurrogateLead(unit) && i + 1 < wide.size() && isSurrogateTrail(wide[i + 1])) {
            const unsigned code = 0x10000 + ((unit - 0xD800u) << 10) + (wide[++i] - 0xDC00u);
            put(0xF0 | (code >> 18));
            put(0x80 | ((code >> 12) & 0x3F));
            put(0x80 | ((code >> 6) & 0x3F));
            put(0x80 | (code & 0x3F));
        } else if (isSurrogateLead(unit) || isSurrogateTrail(unit)) {
            put(0xEF);
            put(0xBF);
            put(0xBD);
        } else {
            put(0xE0 | (unit >> 12));
            put(0x80 | ((unit >> 6) & 0x3F));
            put(0x80 | (unit & 0x3F));
        }
    }
    out.resize(static_cast<std::size_t>(outPtr - out.data()));
    return out;
}

} // namespace marrowtune::codepage
