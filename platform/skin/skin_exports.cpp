// SPDX-License-Identifier: MIT
// The library's two exports: they keep the theme and the aero setting the program chose and
// hand the look derived from them to the platform's drawing.

#include "platform/skin/skin_drawing.h"
#include "platform/skin/skin_library.h"
#include "platform/skin/theme.h"

#include <optional>
#include <span>

namespace marrowtune::skin {
namespace {

struct Choice {
    std::optional<Theme> theme;
    bool aero = false;
};

Choice& choice()
{
    static Choice c;
    return c;
}

// Nothing is drawn before the first theme: the aero setting alone waits for one.
void drawChoice()
{
    const Choice& c = choice();
    if (c.theme) {
        drawWith(deriveLook(*c.theme, c.aero));
    }
}

} // namespace
} // namespace marrowtune::skin

extern "C" int SkinH_AttachRes(const unsigned char* theme, int size, const char* /*text*/,
                               int /*reserved1*/, int /*reserved2*/, int /*reserved3*/)
{
    using namespace marrowtune::skin;
    try {
        if (!canDraw() || !theme || size <= 0) {
            return 0;
        }
        auto decoded = decodeTheme(std::span(theme, static_cast<std::size_t>(size)));
        if (!decoded) {
            return 0;
        }
        choice().theme = std::move(*decoded);
        drawChoice();
        return 1;
    } catch (...) {
        // Nothing may escape through the C interface; a failed allocation changes nothing.
        return 0;
    }
}

extern "C" int SkinH_SetAero(int on)
{
    using namespace marrowtune::skin;
    try {
        if (!canDraw()) {
            return 0;
        }
        choice().aero = on != 0;
        drawChoice();
        return 1;
    } catch (...) {
        return 0;
    }
}
