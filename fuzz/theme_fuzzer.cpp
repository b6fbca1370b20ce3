// SPDX-License-Identifier: MIT
// The skin theme decoder: bytes that are not a whole, valid theme are refused without a crash;
// a theme that is accepted encodes back to itself.
//
// Input: a flags byte, then the bytes. With flag 1 the bytes are the body and the fuzzer puts
// a correct header (magic, version, length and hash) in front, so that the body's parser is
// reached; otherwise they are decoded as they are.

#include "fuzz/fuzz_input.h"
#include "platform/skin/theme.h"

#include <vector>

using namespace marrowtune;
using namespace marrowtune::skin;

namespace {

void putU32(std::vector<unsigned char>& out, std::uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<unsigned char>(value >> shift));
}

std::vector<unsigned char> withHeader(const std::string& body)
{
    const std::span<const unsigned char> bodyBytes(
        reinterpret_cast<const unsigned char*>(body.data()), body.size());
    std::vector<unsigned char> out = {'.', 'S', 'H', 'E', 0, ThemeFormatVersion};
    putU32(out, static_cast<std::uint32_t>(body.size()));
    putU32(out, fnv1a(bodyBytes));
    out.insert(out.end(), bodyBytes.begin(), bodyBytes.end());
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::FuzzInput input(data, size);
    const std::uint8_t flags = input.byte();
    const std::string rest = input.rest();
    const std::vector<unsigned char> bytes =
        (flags & 1) != 0 ? withHeader(rest) : std::vector<unsigned char>(rest.begin(), rest.end());

    const std::optional<Theme> theme = decodeTheme(bytes);
    if (!theme)
        return 0;
    FUZZ_CHECK(bytes.size() >= ThemeHeaderSize);

    // What was accepted encodes back to a theme with the same fields.
    const std::vector<unsigned char> encoded = encodeTheme(*theme);
    const std::optional<Theme> again = decodeTheme(encoded);
    FUZZ_CHECK(again.has_value());
    FUZZ_CHECK(themeFields(*again) == themeFields(*theme));
    const std::optional<Theme> fromFields = themeFromFields(themeFields(*theme));
    FUZZ_CHECK(fromFields.has_value() && themeFields(*fromFields) == themeFields(*theme));

    // The look drawn from it can be worked out in both forms.
    for (const bool aero : {false, true}) {
        const Look look = deriveLook(*theme, aero);
        for (const TextOnFill& pair : textsOnFills(look)) {
            for (const Rgb& background : pair.backgrounds) {
                const double ratio = contrastRatio(pair.text, background);
                FUZZ_CHECK(ratio >= 1.0 - 1e-9 && ratio <= 21.0 + 1e-9);
            }
        }
    }
    return 0;
}
