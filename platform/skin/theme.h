// SPDX-License-Identifier: MIT
#pragma once
// The skin theme: its data, its binary form and the look drawn from it. Plain C++ without Qt,
// shared by the skin library, the build-time packer and the tests.
//
// Binary form of a theme (all integers little-endian):
//
//   offset  size  field
//   0       5     magic ".SHE" followed by a zero byte
//   5       1     format version, 1
//   6       4     body length N
//   10      4     FNV-1a (32-bit) hash of the body
//   14      N     body: UTF-8 lines "key=value" ended by "\n"
//
// A theme is exactly 14 + N bytes long; anything else (a wrong magic or version, a short or
// long block, a wrong hash, an unknown key, a missing key, a malformed colour) is rejected as
// a whole. Body values are written on one line: "\n" and "\\" inside a value are escaped as
// the two characters backslash-n and backslash-backslash. The keys are listed in theme.cpp
// (ThemeKeys) and described in platform/skin/README.md.

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace marrowtune::skin {

/// An opaque colour.
struct Rgb {
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

/// A vertical fill: colours at positions 0 (top) to 1 (bottom); one stop is a flat colour.
struct Fill {
    struct Stop {
        double position = 0;
        Rgb colour;
    };
    std::vector<Stop> stops;
};

/// A theme as its author wrote it.
struct Theme {
    std::string name;
    bool dark = false;
    Rgb window;             // the window's background
    Rgb windowText;         // labels drawn over the window and the panels
    Fill panel;             // group-box fill (top and bottom colour)
    Rgb panelBorder;        // group-box frame
    Rgb panelTitle;         // group-box caption, straddling the frame's top edge
    Rgb base;               // edit boxes, the list, menus
    Rgb alternateBase;      // every other list row
    Rgb text;               // text on base
    Rgb inputBorder;        // frame of edit boxes and the list
    Fill button;            // push-button fill
    Rgb buttonText;         // push-button caption
    Rgb buttonBorder;       // push-button frame
    Fill header;            // list header fill
    Rgb headerText;         // list header caption
    Rgb highlight;          // selection background
    Rgb highlightedText;    // selection text
    Rgb disabledText;       // captions of disabled controls
    Rgb accent;             // focus frames and hover tint
    std::string fontFamily; // optional; the point size is never changed
    std::string styleSheet; // optional fragment appended to the generated style sheet
};

/// What is actually drawn for a theme, with or without the aero look.
struct Look {
    Theme theme;
    bool aero = false;
    Fill panel;
    Rgb panelTopEdge; // the frame's top line (a highlight with aero)
    Fill button;
    Fill buttonHover;
    Fill buttonPressed;
    Fill buttonDisabled;
    Fill header;
    Fill edit;
};

/// A text colour and the colours it is drawn on; every pair must be readable.
struct TextOnFill {
    std::string role;
    Rgb text;
    std::vector<Rgb> backgrounds;
};

inline constexpr std::size_t ThemeHeaderSize = 14;
inline constexpr std::uint8_t ThemeFormatVersion = 1;
inline constexpr std::size_t MaxThemeBodySize = 1 << 20;

/// "#rrggbb" (lower-case hex).
std::string colourName(Rgb colour);
/// Parses "#rrggbb" or "#rgb"; nothing for anything else.
std::optional<Rgb> parseColour(std::string_view text);
/// Mixes `from` towards `to` by `amount` (0 keeps `from`, 1 gives `to`).
Rgb mix(Rgb from, Rgb to, double amount);
/// WCAG 2 relative luminance, 0 (black) to 1 (white).
double relativeLuminance(Rgb colour);
/// WCAG 2 contrast ratio of two colours, 1 to 21.
double contrastRatio(Rgb a, Rgb b);
/// FNV-1a 32-bit hash.
std::uint32_t fnv1a(std::span<const unsigned char> bytes);

/// Builds a theme from its fields (key to value); `error` names the first fault.
std::optional<Theme> themeFromFields(const std::map<std::string, std::string>& fields,
                                     std::string* error = nullptr);
/// The fields of a theme, the inverse of themeFromFields.
std::map<std::string, std::string> themeFields(const Theme& theme);
/// The binary form of a theme.
std::vector<unsigned char> encodeTheme(const Theme& theme);
/// Reads a binary theme; nothing when the bytes are not a whole, valid theme.
std::optional<Theme> decodeTheme(std::span<const unsigned char> bytes);

/// The least contrast between the list header's fill and the selected row's, so that neither
/// is taken for the other.
inline constexpr double MinimumHeaderSelectionContrast = 1.5;

/// The look drawn for a theme.
Look deriveLook(const Theme& theme, bool aero);
/// The lowest contrast between a colour of the look's list header and the selection colour.
double headerSelectionContrast(const Look& look);
/// Every text of a look with the colours it is drawn on.
std::vector<TextOnFill> textsOnFills(const Look& look);

} // namespace marrowtune::skin
