#include "app/skin/skin_themes.h"

// Until the skin library is built for Windows, the skin calls do nothing and the window wears
// the system's own look.

namespace marrowtune {

void applyTheme(int)
{
}

void applyRandomTheme()
{
}

void enableSkinAero()
{
}

} // namespace marrowtune
// SPDX-License-Identifier: MIT
