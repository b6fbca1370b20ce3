// SPDX-License-Identifier: MIT
#pragma once
// What each platform's side of the skin library provides to the two exports, which are the
// same everywhere: where it can draw and how it draws a look.

#include "platform/skin/theme.h"

namespace marrowtune::skin {

/// True when the calling thread's windows can be drawn now; the exports do nothing otherwise.
bool canDraw();
/// Draws every window, present and future, with `look`, replacing the look drawn before.
void drawWith(const Look& look);

} // namespace marrowtune::skin
