// SPDX-License-Identifier: MIT
// The code-page conversions: GBK and UTF-8 to UTF-16 and back, over arbitrary bytes.
//
// Input: a flags byte choosing the code page and the direction, then the bytes to convert.

#include "fuzz/fuzz_input.h"
#include "platform/codepage/codepage.h"

#include <cstring>

using namespace marrowtune;

namespace {

constexpr char16_t Replacement = u'\uFFFD';

bool hasLoneSurrogate(std::u16string_view wide)
{
    for (size_t i = 0; i < wide.size(); ++i) {
        const char16_t unit = wide[i];
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            if (i + 1 < wide.size() && wide[i + 1] >= 0xDC00 && wide[i + 1] <= 0xDFFF)
                ++i;
            else
                return true;
        } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
            return true;
        }
    }
    return false;
}

void checkToWide(const std::string& bytes, CodePage codePage)
{
    const std::u16string wide = codepage::toWide(bytes, codePage);
    // At most one unit per byte, and nothing is lost: every byte gives something.
    FUZZ_CHECK(wide.size() <= bytes.size());
    FUZZ_CHECK(bytes.empty() == wide.empty());
    if (wide.find(Replacement) != std::u16string::npos)
        return;
    // Valid text comes back as it was (GBK may spell a character two ways, so compare the
    // characters) and goes to UTF-16 the same way again.
    const std::string back = codepage::fromWide(wide, codePage);
    FUZZ_CHECK(codepage::toWide(back, codePage) == wide);
    if (codePage == CodePage::Utf8)
        FUZZ_CHECK(back == bytes);
}

void checkFromWide(const std::string& bytes, CodePage codePage)
{
    std::u16string wide(bytes.size() / 2, u'\0');
    std::memcpy(wide.data(), bytes.data(), wide.size() * sizeof(char16_t));
    const std::string narrow = codepage::fromWide(wide, codePage);
    FUZZ_CHECK(narrow.size() <= wide.size() * (codePage == CodePage::Utf8 ? 3 : 2));
    FUZZ_CHECK(wide.empty() == narrow.empty());
    // UTF-8 writes every unit but lone surrogates exactly.
    if (codePage == CodePage::Utf8 && !hasLoneSurrogate(wide))
        FUZZ_CHECK(codepage::toWide(narrow, codePage) == wide);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::FuzzInput input(data, size);
    const std::uint8_t flags = input.byte();
    const std::string bytes = input.rest();
    static constexpr CodePage CodePages[] = {CodePage::Ansi, CodePage::Gbk, CodePage::Utf8,
                                             static_cast<CodePage>(1252)};
    const CodePage codePage = CodePages[flags & 3];

    if (!codepage::isSupported(codePage)) {
        FUZZ_CHECK(codepage::toWide(bytes, codePage).empty());
        return 0;
    }
    if ((flags & 4) != 0)
        checkFromWide(bytes, codePage);
    else
        checkToWide(bytes, codePage);
    return 0;
}
