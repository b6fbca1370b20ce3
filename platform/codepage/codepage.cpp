#include "platform/codepage/codepage.h"

#include <cerrno>
#include <cstring>
#include <iconv.h>

namespace marrowtune::codepage {
namespace {

constexpr char16_t ReplacementCharacter = u'\uFFFD';

const char* iconvName(int codePage)
{
    switch (codePage) {
    case 0:   // the system's ANSI code page is GBK for this program
    case 936: // CP936 is Windows' GBK, with 0x80 as the euro sign
        return "CP936";
    case 65001:
        return "UTF-8";
    default:
        return nullptr;
    }
}

// One iconv descriptor per direction and code page, opened on first use and kept for the
// thread's life: opening a descriptor costs far more than converting a service answer.
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

    bool valid() const { return m_cd != reinterpret_cast<iconv_t>(-1); }
    iconv_t get() const { return m_cd; }
    void reset() const { iconv(m_cd, nullptr, nullptr, nullptr, nullptr); }

private:
    iconv_t m_cd;
};

const Converter& converter(bool toWide, int codePage)
{
    const bool utf8 = codePage == 65001;
    thread_local Converter gbkToWide("UTF-16LE", "CP936");
    thread_local Converter utf8ToWide("UTF-16LE", "UTF-8");
    thread_local Converter wideToGbk("CP936", "UTF-16LE");
    thread_local Converter wideToUtf8("UTF-8", "UTF-16LE");
    if (toWide)
        return utf8 ? utf8ToWide : gbkToWide;
    return utf8 ? wideToUtf8 : wideToGbk;
}

bool isSurrogateLead(char16_t unit)
{
    return unit >= 0xD800 && unit <= 0xDBFF;
}
bool isSurrogateTrail(char16_t unit)
{
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

} // namespace

bool isSupported(int codePage)
{
    return iconvName(codePage) != nullptr;
}

std::u16string toWide(std::string_view text, int codePage)
{
    if (!isSupported(codePage) || text.empty())
        return {};
    const Converter& cd = converter(true, codePage);
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

std::string fromWide(std::u16string_view wide, int codePage)
{
    if (!isSupported(codePage) || wide.empty())
        return {};
    const Converter& cd = converter(false, codePage);
    if (!cd.valid())
        return {};
    cd.reset();

    // GBK needs at most two bytes per unit, UTF-8 at most three (four per surrogate pair).
    const size_t perUnit = codePage == 65001 ? 3 : 2;
    std::string out(wide.size() * perUnit, '\0');
    char* in = const_cast<char*>(reinterpret_cast<const char*>(wide.data()));
    size_t inLeft = wide.size() * sizeof(char16_t);
    char* outPtr = out.data();
    size_t outLeft = out.size();

    while (inLeft > 0) {
        if (iconv(cd.get(), &in, &inLeft, &outPtr, &outLeft) != static_cast<size_t>(-1))
            break;
        if (errno != EILSEQ && errno != EINVAL)
            break;
        // A unit the target cannot write: GBK gets "?", as the Windows default character is;
        // UTF-8 only fails on a lone surrogate and gets U+FFFD.
        char16_t unit = 0;
        std::memcpy(&unit, in, sizeof(char16_t));
        size_t skip = sizeof(char16_t);
        if (isSurrogateLead(unit) && inLeft >= 2 * sizeof(char16_t)) {
            char16_t next = 0;
            std::memcpy(&next, in + sizeof(char16_t), sizeof(char16_t));
            if (isSurrogateTrail(next))
                skip = 2 * sizeof(char16_t);
        }
        if (codePage == 65001) {
            static constexpr char Replacement[] = "\xEF\xBF\xBD";
            std::memcpy(outPtr, Replacement, 3);
            outPtr += 3;
            outLeft -= 3;
        } else {
            *outPtr++ = '?';
            --outLeft;
        }
        in += skip;
        inLeft -= skip;
        cd.reset();
    }
    out.resize(out.size() - outLeft);
    return out;
}

} // namespace marrowtune::codepage
