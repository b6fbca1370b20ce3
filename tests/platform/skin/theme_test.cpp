// SPDX-License-Identifier: MIT
#include "platform/skin/theme.h"
#include "tests/platform/skin/theme_files.h"

#include <gtest/gtest.h>
#include <set>

namespace marrowtune::skin {
namespace {

// Catches a contrast formula that drifts from WCAG 2 (linearisation, the 0.05 flare terms).
TEST(ThemeContrastTest, MatchesWcagReferenceValues)
{
    struct Case {
        const char* a;
        const char* b;
        double ratio;
    } const cases[] = {
        {"#000000", "#ffffff", 21.0}, {"#ffffff", "#ffffff", 1.0},
        {"#767676", "#ffffff", 4.54}, // the darkest grey that passes on white
        {"#777777", "#ffffff", 4.48}, // and the first that fails
        {"#0000ff", "#ffffff", 8.59}, {"#ff0000", "#000000", 5.25},
    };
    for (const auto& c : cases) {
        EXPECT_NEAR(contrastRatio(*parseColour(c.a), *parseColour(c.b)), c.ratio, 0.01)
            << c.a << " on " << c.b;
    }
}

// Catches a packed theme that is missing, not in the format or unreadable in any text role,
// with or without the aero look, a list header that looks like a selected row, and themes that
// repeat a name.
TEST(PackedThemesTest, AllFiftyEightAreValidDistinctAndReadable)
{
    const unsigned char magic[] = {'.', 'S', 'H', 'E', 0};
    std::set<std::string> names;
    int dark = 0;
    for (int n = 1; n <= 58; ++n) {
        SCOPED_TRACE("theme " + std::to_string(n));
        const auto bytes = readTheme(n);
        ASSERT_GE(bytes.size(), ThemeHeaderSize);
        EXPECT_TRUE(std::equal(std::begin(magic), std::end(magic), bytes.begin()));
        const auto theme = decodeTheme(bytes);
        ASSERT_TRUE(theme);
        EXPECT_TRUE(names.insert(theme->name).second) << theme->name;
        dark += theme->dark ? 1 : 0;
        for (bool aero : {false, true}) {
            EXPECT_GE(headerSelectionContrast(deriveLook(*theme, aero)), 1.5)
                << theme->name << ": list header like a selected row" << (aero ? " (aero)" : "");
            for (const auto& text : textsOnFills(deriveLook(*theme, aero))) {
                for (Rgb background : text.backgrounds) {
                    EXPECT_GE(contrastRatio(text.text, background), 4.5)
                        << theme->name << ": " << text.role << ' ' << colourName(text.text)
                        << " on " << colourName(background) << (aero ? " (aero)" : "");
                }
            }
        }
    }
    EXPECT_GE(dark, 10);
    EXPECT_GE(58 - dark, 10);
}

// Catches a decoder that accepts damaged bytes, reads past the end or half-applies a theme.
TEST(ThemeFormatTest, RejectsEveryDamagedForm)
{
    const auto good = readTheme(9);
    ASSERT_TRUE(decodeTheme(good));
    auto changed = [&](std::size_t at, unsigned char value) {
        auto bytes = good;
        bytes[at] = value;
        return bytes;
    };
    auto withBody = [](const std::string& body) {
        std::vector<unsigned char> bytes{'.', 'S', 'H', 'E', 0, ThemeFormatVersion};
        const auto n = static_cast<std::uint32_t>(body.size());
        const auto hash = fnv1a({reinterpret_cast<const unsigned char*>(body.data()), body.size()});
        for (std::uint32_t v : {n, hash}) {
            for (int i = 0; i < 4; ++i) {
                bytes.push_back(static_cast<unsigned char>(v >> (8 * i)));
            }
        }
        bytes.insert(bytes.end(), body.begin(), body.end());
        return bytes;
    };
    std::string body(good.begin() + ThemeHeaderSize, good.end());
    struct Case {
        const char* what;
        std::vector<unsigned char> bytes;
    } const cases[] = {
        {"empty", {}},
        {"magic only", {'.', 'S', 'H', 'E', 0}},
        {"wrong magic", changed(1, 's')},
        {"magic without its zero byte", changed(4, ' ')},
        {"newer version", changed(5, ThemeFormatVersion + 1)},
        {"truncated", {good.begin(), good.end() - 1}},
        {"truncated header", {good.begin(), good.begin() + 10}},
        {"trailing byte",
         [&] {
             auto b = good;
             b.push_back(0);
             return b;
         }()},
        {"huge length", changed(9, 0x7F)},
        {"body byte flipped", changed(good.size() / 2, good[good.size() / 2] ^ 0x20)},
        {"garbage", std::vector<unsigned char>(good.size(), 0xA5)},
        {"unknown key", withBody(body + "glow=#ffffff\n")},
        {"missing key", withBody(body.substr(body.find('\n') + 1))},
        {"repeated key", withBody(body + "name=Again\n")},
        {"bad colour", withBody("accent=#12345g\n" + body.substr(body.find('\n') + 1))},
        {"line without break", withBody(body + "qss=x")},
        {"bad escape", withBody(body + "qss=a\\q\n")},
    };
    for (const auto& c : cases) {
        EXPECT_FALSE(decodeTheme(c.bytes)) << c.what;
    }
}

// Catches a style-sheet fragment or font that does not survive the trip through the format.
TEST(ThemeFormatTest, RoundTripsEveryField)
{
    auto theme = decodeTheme(readTheme(9));
    ASSERT_TRUE(theme);
    theme->fontFamily = "WenQuanYi Micro Hei";
    theme->styleSheet = "QLabel { color: #123456; }\nQLabel[x=\"a\\\\b\"] {}";
    const auto again = decodeTheme(encodeTheme(*theme));
    ASSERT_TRUE(again);
    EXPECT_EQ(themeFields(*again), themeFields(*theme));
}

} // namespace
} // namespace marrowtune::skin
