// SPDX-License-Identifier: MIT
#include "platform/skin/theme.h"

#include "base/ascii.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace marrowtune::skin {
namespace {

constexpr unsigned char Magic[5] = {'.', 'S', 'H', 'E', 0};

enum class Kind { Text, Tone, Colour, Fill };

// A key of the theme body and the member of Theme it fills: `text` for Kind::Text, `colour` for
// Kind::Colour, `fill` for Kind::Fill; Kind::Tone fills `dark`.
struct Key {
    const char* name;
    Kind kind;
    bool required;
    std::string Theme::*text = nullptr;
    Rgb Theme::*colour = nullptr;
    Fill Theme::*fill = nullptr;
};

constexpr Key textKey(const char* name, std::string Theme::*member, bool required)
{
    return {name, Kind::Text, required, member, nullptr, nullptr};
}

constexpr Key colourKey(const char* name, Rgb Theme::*member)
{
    return {name, Kind::Colour, true, nullptr, member, nullptr};
}

constexpr Key fillKey(const char* name, Fill Theme::*member)
{
    return {name, Kind::Fill, true, nullptr, nullptr, member};
}

// Every key a theme body may hold; an unknown key rejects the theme, so a newer format cannot
// be half-understood by an older library.
constexpr Key ThemeKeys[] = {
    textKey("name", &Theme::name, true),
    {"tone", Kind::Tone, true},
    colourKey("window", &Theme::window),
    colourKey("window-text", &Theme::windowText),
    fillKey("panel", &Theme::panel),
    colourKey("panel-border", &Theme::panelBorder),
    colourKey("panel-title", &Theme::panelTitle),
    colourKey("base", &Theme::base),
    colourKey("alternate-base", &Theme::alternateBase),
    colourKey("text", &Theme::text),
    colourKey("input-border", &Theme::inputBorder),
    fillKey("button", &Theme::button),
    colourKey("button-text", &Theme::buttonText),
    colourKey("button-border", &Theme::buttonBorder),
    fillKey("header", &Theme::header),
    colourKey("header-text", &Theme::headerText),
    colourKey("highlight", &Theme::highlight),
    colourKey("highlighted-text", &Theme::highlightedText),
    colourKey("disabled-text", &Theme::disabledText),
    colourKey("accent", &Theme::accent),
    textKey("font", &Theme::fontFamily, false),
    textKey("qss", &Theme::styleSheet, false),
};

std::optional<Fill> parseFill(std::string_view text)
{
    Fill fill;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t start = text.find_first_not_of(' ', pos);
        if (start == std::string_view::npos) {
            break;
        }
        std::size_t end = text.find(' ', start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        const auto colour = parseColour(text.substr(start, end - start));
        if (!colour) {
            return std::nullopt;
        }
        fill.stops.push_back({0, *colour});
        pos = end;
    }
    if (fill.stops.empty() || fill.stops.size() > 2) {
        return std::nullopt;
    }
    if (fill.stops.size() == 2) {
        fill.stops[1].position = 1;
    }
    return fill;
}

std::string fillText(const Fill& fill)
{
    std::string text;
    for (const auto& stop : fill.stops) {
        if (!text.empty()) {
            text += ' ';
        }
        text += colourName(stop.colour);
    }
    return text;
}

Rgb fillTop(const Fill& fill)
{
    return fill.stops.front().colour;
}
Rgb fillBottom(const Fill& fill)
{
    return fill.stops.back().colour;
}

Fill flat(Rgb colour)
{
    return Fill{{{0, colour}}};
}

Fill mapFill(const Fill& fill, Rgb to, double amount)
{
    Fill out = fill;
    for (auto& stop : out.stops) {
        stop.colour = mix(stop.colour, to, amount);
    }
    return out;
}

// The glass look: a bright upper half that breaks at the middle into the theme's own colour,
// brightening again towards the bottom edge. Every colour is opaque, so the look is the same
// with and without a compositing window manager.
Fill glass(Rgb top, Rgb bottom, Rgb text)
{
    // Light text over the fill (dark themes, coloured buttons) takes a fainter sheen, so the
    // text stays readable on the bright upper half.
    const bool lightText = relativeLuminance(text) > 0.4;
    const Rgb white{255, 255, 255};
    const Rgb shade = lightText ? Rgb{0, 0, 0} : mix(bottom, text, 0.35);
    const double high = lightText ? 0.12 : 0.7;
    const double low = lightText ? 0.05 : 0.35;
    const Rgb middle = mix(top, bottom, 0.5);
    return Fill{{{0.0, mix(top, white, high)},
                 {0.49, mix(middle, white, low)},
                 {0.5, mix(bottom, shade, lightText ? 0.12 : 0.1)},
                 {1.0, mix(bottom, white, low * 0.7)}}};
}

// The panels' glass: a smooth sheen from a bright top edge into the theme's own fill. A hard
// break at the middle, as on the buttons, would cut across a tall panel like a seam.
Fill sheen(Rgb top, Rgb bottom, Rgb text)
{
    const bool lightText = relativeLuminance(text) > 0.4;
    const Rgb white{255, 255, 255};
    return Fill{{{0.0, mix(top, white, lightText ? 0.12 : 0.7)},
                 {0.3, mix(top, white, lightText ? 0.03 : 0.2)},
                 {1.0, bottom}}};
}

std::string escapeValue(std::string_view value)
{
    std::string out;
    for (char c : value) {
        if (c == '\\') {
            out += "\\\\";
        } else if (c == '\n') {
            out += "\\n";
        } else {
            out += c;
        }
    }
    return out;
}

std::optional<std::string> unescapeValue(std::string_view value)
{
    std::string out;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\') {
            out += value[i];
            continue;
        }
        if (++i == value.size()) {
            return std::nullopt;
        }
        if (value[i] == 'n') {
            out += '\n';
        } else if (value[i] == '\\') {
            out += '\\';
        } else {
            return std::nullopt;
        }
    }
    return out;
}

void putU32(std::vector<unsigned char>& out, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<unsigned char>(value >> (8 * i)));
    }
}

std::uint32_t getU32(std::span<const unsigned char> bytes)
{
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i) {
        value = (value << 8) | bytes[static_cast<std::size_t>(i)];
    }
    return value;
}

double channelLuminance(std::uint8_t channel)
{
    const double c = channel / 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

std::vector<Rgb> colours(const Fill& fill)
{
    std::vector<Rgb> out;
    for (const auto& stop : fill.stops) {
        out.push_back(stop.colour);
    }
    return out;
}

} // namespace

std::string colourName(Rgb colour)
{
    char text[8];
    std::snprintf(text, sizeof text, "#%02x%02x%02x", colour.r, colour.g, colour.b);
    return text;
}

std::optional<Rgb> parseColour(std::string_view text)
{
    if (text.empty() || text.front() != '#' || (text.size() != 7 && text.size() != 4)) {
        return std::nullopt;
    }
    int digits[6] = {};
    const std::size_t count = text.size() - 1;
    for (std::size_t i = 0; i < count; ++i) {
        digits[i] = hexDigitValue(text[i + 1]);
        if (digits[i] < 0) {
            return std::nullopt;
        }
    }
    auto channel = [&](std::size_t i) {
        const int value = count == 3 ? digits[i] * 17 : digits[2 * i] * 16 + digits[2 * i + 1];
        return static_cast<std::uint8_t>(value);
    };
    return Rgb{channel(0), channel(1), channel(2)};
}

Rgb mix(Rgb from, Rgb to, double amount)
{
    amount = std::clamp(amount, 0.0, 1.0);
    auto channel = [amount](std::uint8_t a, std::uint8_t b) {
        return static_cast<std::uint8_t>(std::lround(a + (b - a) * amount));
    };
    return {channel(from.r, to.r), channel(from.g, to.g), channel(from.b, to.b)};
}

double relativeLuminance(Rgb colour)
{
    return 0.2126 * channelLuminance(colour.r) + 0.7152 * channelLuminance(colour.g) +
           0.0722 * channelLuminance(colour.b);
}

double contrastRatio(Rgb a, Rgb b)
{
    const double la = relativeLuminance(a);
    const double lb = relativeLuminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

std::uint32_t fnv1a(std::span<const unsigned char> bytes)
{
    std::uint32_t hash = 2166136261u;
    for (unsigned char byte : bytes) {
        hash = (hash ^ byte) * 16777619u;
    }
    return hash;
}

std::optional<Theme> themeFromFields(const std::map<std::string, std::string>& fields,
                                     std::string* error)
{
    auto fail = [error](std::string message) -> std::optional<Theme> {
        if (error) {
            *error = std::move(message);
        }
        return std::nullopt;
    };
    for (const auto& field : fields) {
        // A named reference: Clang before 16 cannot capture a structured binding.
        const std::string& key = field.first;
        const bool known = std::any_of(std::begin(ThemeKeys), std::end(ThemeKeys),
                                       [&](const Key& k) { return key == k.name; });
        if (!known) {
            return fail("unknown key " + key);
        }
    }
    Theme theme;
    for (const Key& key : ThemeKeys) {
        const auto it = fields.find(key.name);
        if (it == fields.end()) {
            if (key.required) {
                return fail(std::string("missing key ") + key.name);
            }
            continue;
        }
        const std::string& value = it->second;
        switch (key.kind) {
        case Kind::Text:
            theme.*key.text = value;
            break;
        case Kind::Tone:
            if (value != "light" && value != "dark") {
                return fail("tone must be light or dark");
            }
            theme.dark = value == "dark";
            break;
        case Kind::Colour: {
            const auto colour = parseColour(value);
            if (!colour) {
                return fail(std::string("bad colour for ") + key.name + ": " + value);
            }
            theme.*key.colour = *colour;
            break;
        }
        case Kind::Fill: {
            auto fill = parseFill(value);
            if (!fill) {
                return fail(std::string("bad fill for ") + key.name + ": " + value);
            }
            theme.*key.fill = std::move(*fill);
            break;
        }
        }
    }
    if (theme.name.empty()) {
        return fail("empty name");
    }
    return theme;
}

std::map<std::string, std::string> themeFields(const Theme& theme)
{
    std::map<std::string, std::string> fields;
    for (const Key& key : ThemeKeys) {
        switch (key.kind) {
        case Kind::Text:
            // Optional texts are left out when empty, as a theme without them is written.
            if (key.required || !(theme.*key.text).empty()) {
                fields[key.name] = theme.*key.text;
            }
            break;
        case Kind::Tone:
            fields[key.name] = theme.dark ? "dark" : "light";
            break;
        case Kind::Colour:
            fields[key.name] = colourName(theme.*key.colour);
            break;
        case Kind::Fill:
            fields[key.name] = fillText(theme.*key.fill);
            break;
        }
    }
    return fields;
}

std::vector<unsigned char> encodeTheme(const Theme& theme)
{
    std::string body;
    for (const auto& [key, value] : themeFields(theme)) {
        body += key + '=' + escapeValue(value) + '\n';
    }
    const std::span<const unsigned char> bodyBytes(
        reinterpret_cast<const unsigned char*>(body.data()), body.size());
    std::vector<unsigned char> out(std::begin(Magic), std::end(Magic));
    out.push_back(ThemeFormatVersion);
    putU32(out, static_cast<std::uint32_t>(body.size()));
    putU32(out, fnv1a(bodyBytes));
    out.insert(out.end(), bodyBytes.begin(), bodyBytes.end());
    return out;
}

std::optional<Theme> decodeTheme(std::span<const unsigned char> bytes)
{
    if (bytes.size() < ThemeHeaderSize ||
        !std::equal(std::begin(Magic), std::end(Magic), bytes.begin()) ||
        bytes[5] != ThemeFormatVersion) {
        return std::nullopt;
    }
    const std::uint32_t length = getU32(bytes.subspan(6, 4));
    if (length > MaxThemeBodySize || bytes.size() != ThemeHeaderSize + length) {
        return std::nullopt;
    }
    const auto body = bytes.subspan(ThemeHeaderSize);
    if (fnv1a(body) != getU32(bytes.subspan(10, 4))) {
        return std::nullopt;
    }
    const std::string_view text(reinterpret_cast<const char*>(body.data()), body.size());
    std::map<std::string, std::string> fields;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) {
            return std::nullopt;
        }
        const std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos || equals == 0 ||
            line.find('\0') != std::string_view::npos) {
            return std::nullopt;
        }
        auto value = unescapeValue(line.substr(equals + 1));
        if (!value ||
            !fields.emplace(std::string(line.substr(0, equals)), std::move(*value)).second) {
            return std::nullopt;
        }
    }
    return themeFromFields(fields);
}

Look deriveLook(const Theme& theme, bool aero)
{
    const Rgb black{0, 0, 0};
    const Rgb white{255, 255, 255};
    Look look;
    look.theme = theme;
    look.aero = aero;
    const Rgb buttonMiddle = mix(fillTop(theme.button), fillBottom(theme.button), 0.5);
    look.buttonDisabled = flat(mix(buttonMiddle, theme.window, 0.85));
    if (!aero) {
        look.panel = theme.panel;
        look.panelTopEdge = theme.panelBorder;
        look.button = theme.button;
        look.header = theme.header;
        look.edit = flat(theme.base);
    } else {
        look.panel = sheen(fillTop(theme.panel), fillBottom(theme.panel), theme.windowText);
        look.panelTopEdge = mix(theme.panelBorder, white, theme.dark ? 0.3 : 0.55);
        look.button = glass(fillTop(theme.button), fillBottom(theme.button), theme.buttonText);
        look.header = glass(fillTop(theme.header), fillBottom(theme.header), theme.headerText);
        // A soft inner shadow under the top edge makes the edit boxes look sunk into the glass.
        look.edit = Fill{{{0.0, mix(theme.base, black, theme.dark ? 0.3 : 0.08)},
                          {0.18, theme.base},
                          {1.0, theme.base}}};
    }
    const bool lightButtonText = relativeLuminance(theme.buttonText) > 0.4;
    look.buttonHover = mapFill(look.button, theme.accent, lightButtonText ? 0.1 : 0.16);
    Fill pressed = mapFill(look.button, black, theme.dark ? 0.18 : 0.1);
    std::reverse(pressed.stops.begin(), pressed.stops.end());
    for (auto& stop : pressed.stops) {
        stop.position = 1.0 - stop.position;
    }
    look.buttonPressed = pressed;
    return look;
}

double headerSelectionContrast(const Look& look)
{
    double lowest = 21.0;
    for (const Rgb colour : colours(look.header)) {
        lowest = std::min(lowest, contrastRatio(colour, look.theme.highlight));
    }
    return lowest;
}

std::vector<TextOnFill> textsOnFills(const Look& look)
{
    const Theme& t = look.theme;
    std::vector<Rgb> panelAndWindow = colours(look.panel);
    panelAndWindow.push_back(t.window);
    auto join = [](std::vector<Rgb> a, const std::vector<Rgb>& b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    };
    return {
        {"label", t.windowText, panelAndWindow},
        {"panel-title", t.panelTitle, panelAndWindow},
        {"edit-text", t.text, join(colours(look.edit), {t.base, t.alternateBase})},
        {"button-text", t.buttonText,
         join(join(colours(look.button), colours(look.buttonHover)), colours(look.buttonPressed))},
        {"disabled-text", t.disabledText, colours(look.buttonDisabled)},
        {"header-text", t.headerText, colours(look.header)},
        {"highlighted-text", t.highlightedText, {t.highlight}},
    };
}

} // namespace marrowtune::skin
