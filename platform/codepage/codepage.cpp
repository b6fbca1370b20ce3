// SPDX-License-Identifier: MIT
#include "platform/codepage/codepage.h"

#include "platform/codepage/gbk_table.h"

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <iconv.h>
#include <memory>

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

// One iconv descriptor for reading UTF-8, opened on first use and kept for the thread's life:
// opening a descriptor costs far more than converting a service answer. GBK goes through the
// generated table instead (code page 0, the system's ANSI code page, is GBK here).
class Converter {
public:
    Converter(const char* to, const char* from) : m_cd(iconv_open(to, from)) {}
    ~Converter()
    {
        if (valid())
            iconv_close(m_cd);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // (iconv_t)-1 is how iconv_open reports failure; there is no other way to spell it.
    // NOLINTNEXTLINE(performance-no-int-to-ptr)
    bool valid() const { return m_cd != reinterpret_cast<iconv_t>(-1); }
    iconv_t get() const { return m_cd; }
    void reset() const { iconv(m_cd, nullptr, nullptr, nullptr, nullptr); }

private:
    iconv_t m_cd;
};

const Converter& utf8Converter()
{
    thread_local Converter utf8ToWide("UTF-16LE", "UTF-8");
    return utf8ToWide;
}

constexpr char16_t EuroSign = u'\u20AC';

bool isGbkTrail(unsigned char byte)
{
    return byte >= GbkFirstTrail && byte <= GbkLastTrail && byte != 0x7F;
}

// GBK bytes of every BMP unit, built once from the decoding table: a pair as lead * 256 + trail,
// 0x80 for the euro sign, 0 when the unit has no GBK form (ASCII never looks here).
const std::array<std::uint16_t, 0x10000>& unicodeToGbk()
{
    static const auto table = [] {
        auto built = std::make_unique<std::array<std::uint16_t, 0x10000>>();
        built->fill(0);
        for (int i = 0; i < GbkTableSize; ++i) {
            const char16_t unit = GbkToUnicode[i];
            if (unit != 0)
                (*built)[unit] = static_cast<std::uint16_t>(
                    (GbkFirstLead + i / GbkTrailCount) << 8 | (GbkFirstTrail + i % GbkTrailCount));
        }
        (*built)[EuroSign] = 0x80;
        return built;
    }();
    return *table;
}

bool eightAscii(const unsigned char* bytes)
{
    std::uint64_t eight = 0;
    std::memcpy(&eight, bytes, sizeof eight);
    return (eight & 0x8080808080808080u) == 0;
}

std::u16string gbkToWide(std::string_view text)
{
    std::u16string out(text.size(), u'\0');
    char16_t* outPtr = out.data();
    const auto* in = reinterpret_cast<const unsigned char*>(text.data());
    const auto* end = in + text.size();
    while (in < end) {
        // Answers are mostly ASCII: eight bytes at a time while none has its high bit set.
        while (end - in >= 8 && eightAscii(in)) {
            for (int i = 0; i < 8; ++i) {
                outPtr[i] = static_cast<char16_t>(in[i]);
            }
            in += 8;
            outPtr += 8;
        }
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

std::string wideToGbk(std::u16string_view wide)
{
    const auto& table = unicodeToGbk();
    std::string out(wide.size() * 2, '\0');
    char* outPtr = out.data();
    for (std::size_t i = 0; i < wide.size(); ++i) {
        const char16_t unit = wide[i];
        if (unit < 0x80) {
            *outPtr++ = static_cast<char>(unit);
            continue;
        }
        const std::uint16_t bytes = table[unit];
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
    if (codePage != CodePage::Utf8)
        return gbkToWide(text);
    const Converter& cd = utf8Converter();
    if (!cd.valid())
        return {};
    cd.reset();

    // Every input byte yields at most one UTF-16 unit (a 4-byte UTF-8 sequence yields two), so
    // the text's length in units always suffices.
    std::u16string out(text.size(), u'\0');
    char* in = const_cast<char*>(text.data());
    size_t inLeft = text.size();
    char* outPtr = reinterpret_cast<char*>(out.data());
    size_t outLeft = out.size() * sizeof(char16_t);

    while (inLeft > 0) {
        if (iconv(cd.get(), &in, &inLeft, &outPtr, &outLeft) != static_cast<size_t>(-1))
            break;
        if (errno != EILSEQ && errno != EINVAL)
            break; // E2BIG cannot happen with the size above
        // An invalid or incomplete sequence: one replacement character for its first byte, then
        // go on with the next byte.
        std::memcpy(outPtr, &ReplacementCharacter, sizeof(char16_t));
        outPtr += sizeof(char16_t);
        outLeft -= sizeof(char16_t);
        ++in;
        --inLeft;
        cd.reset();
    }
    out.resize(out.size() - outLeft / sizeof(char16_t));
    return out;
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
