// SPDX-License-Identifier: MIT
#include "platform/codepage/codepage.h"

#include <climits>
#include <windows.h>

// The system's MultiByteToWideChar / WideCharToMultiByte do the conversions. Where the system's
// handling of invalid input differs from this program's rule (U+FFFD per invalid byte, one "?"
// per character GBK cannot write), the text is converted in runs the system accepts whole and
// the pieces between them are replaced here.

namespace marrowtune::codepage {
namespace {

constexpr char16_t ReplacementCharacter = u'\uFFFD';

UINT systemCodePage(CodePage codePage)
{
    return codePage == CodePage::Ansi ? CP_ACP : static_cast<UINT>(codePage);
}

bool isSurrogateLead(char16_t unit)
{
    return unit >= 0xD800 && unit <= 0xDBFF;
}
bool isSurrogateTrail(char16_t unit)
{
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

// Appends the UTF-16 of `bytes`, a run the system must accept whole; false when it does not.
bool appendWide(UINT codePage, std::string_view bytes, std::u16string& out)
{
    if (bytes.empty()) {
        return true;
    }
    if (bytes.size() > INT_MAX) {
        return false;
    }
    const int inSize = static_cast<int>(bytes.size());
    const std::size_t start = out.size();
    out.resize(start + bytes.size()); // never more units than bytes
    const int written = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), inSize,
                                            reinterpret_cast<wchar_t*>(out.data() + start), inSize);
    out.resize(start + static_cast<std::size_t>(written > 0 ? written : 0));
    return written > 0;
}

// The length of the character a byte starts: from the lead byte's pattern in UTF-8, from the
// code page's lead-byte ranges in a double-byte code page.
std::size_t sequenceLength(UINT codePage, unsigned char lead)
{
    if (codePage == CP_UTF8) {
        if (lead < 0x80) {
            return 1;
        }
        if (lead >= 0xC2 && lead <= 0xDF) {
            return 2;
        }
        if (lead >= 0xE0 && lead <= 0xEF) {
            return 3;
        }
        if (lead >= 0xF0 && lead <= 0xF4) {
            return 4;
        }
        return 1;
    }
    return IsDBCSLeadByteEx(codePage, lead) ? 2 : 1;
}

bool isTrailByte(unsigned char byte)
{
    return byte >= 0x40 && byte <= 0xFE && byte != 0x7F;
}

// Appends `wide` (surrogates only as pairs, for UTF-8) in `codePage`; units without a character
// there become "?" (no best-fit look-alikes). False when the system refuses the whole call.
bool appendNarrow(UINT codePage, std::u16string_view wide, std::string& out)
{
    if (wide.empty()) {
        return true;
    }
    if (wide.size() > INT_MAX / 4) {
        return false;
    }
    const int inSize = static_cast<int>(wide.size());
    const std::size_t start = out.size();
    const int room = inSize * 4;
    out.resize(start + static_cast<std::size_t>(room));
    const DWORD flags = codePage == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
    const char* defaultChar = codePage == CP_UTF8 ? nullptr : "?";
    const int written =
        WideCharToMultiByte(codePage, flags, reinterpret_cast<const wchar_t*>(wide.data()), inSize,
                            out.data() + start, room, defaultChar, nullptr);
    out.resize(start + static_cast<std::size_t>(written > 0 ? written : 0));
    return written > 0;
}

} // namespace

bool isSupported(CodePage codePage)
{
    return codePage == CodePage::Ansi || codePage == CodePage::Gbk || codePage == CodePage::Utf8;
}

std::u16string toWide(std::string_view text, CodePage codePage)
{
    if (!isSupported(codePage) || text.empty()) {
        return {};
    }
    const UINT cp = systemCodePage(codePage);
    std::u16string out;
    // Most texts are valid: one call.
    if (appendWide(cp, text, out)) {
        return out;
    }
    out.clear();
    out.reserve(text.size());
    std::size_t runStart = 0;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t length = sequenceLength(cp, static_cast<unsigned char>(text[at]));
        std::u16string one;
        if (at + length <= text.size() && appendWide(cp, text.substr(at, length), one)) {
            at += length;
            continue;
        }
        // Not a character: the run before it, then one replacement character. In a double-byte
        // code page a lead byte with a trail byte is one character even when undefined, so the
        // pair is replaced whole; anything else (and any invalid UTF-8) one byte at a time.
        appendWide(cp, text.substr(runStart, at - runStart), out);
        out += ReplacementCharacter;
        const bool pair = cp != CP_UTF8 && length == 2 && at + 1 < text.size() &&
                          isTrailByte(static_cast<unsigned char>(text[at + 1]));
        at += pair ? 2 : 1;
        runStart = at;
    }
    appendWide(cp, text.substr(runStart), out);
    return out;
}

std::string fromWide(std::u16string_view wide, CodePage codePage)
{
    if (!isSupported(codePage) || wide.empty()) {
        return {};
    }
    const UINT cp = systemCodePage(codePage);
    std::string out;
    out.reserve(wide.size() * 2);
    // Surrogates are handled here: a character beyond the BMP is one "?" in GBK (the system
    // would write one per unit), a lone surrogate is "?" in GBK and U+FFFD in UTF-8.
    std::size_t runStart = 0;
    std::size_t at = 0;
    while (at < wide.size()) {
        const char16_t unit = wide[at];
        if (!isSurrogateLead(unit) && !isSurrogateTrail(unit)) {
            ++at;
            continue;
        }
        appendNarrow(cp, wide.substr(runStart, at - runStart), out);
        const bool pair =
            isSurrogateLead(unit) && at + 1 < wide.size() && isSurrogateTrail(wide[at + 1]);
        if (pair && cp == CP_UTF8) {
            appendNarrow(cp, wide.substr(at, 2), out);
        } else if (cp == CP_UTF8) {
            out += "\xEF\xBF\xBD";
        } else {
            out += '?';
        }
        at += pair ? 2 : 1;
        runStart = at;
    }
    appendNarrow(cp, wide.substr(runStart), out);
    return out;
}

} // namespace marrowtune::codepage
