// SPDX-License-Identifier: MIT
#pragma once
// The two exports of the skin library SkinH_EL.dll, a shared library that the program carries,
// writes out beside itself and binds by name at run time. It draws the program's windows with a
// theme in the format of platform/skin/theme.h. Widget geometry is never changed.
//
// On Linux it draws through the application's own Qt (the Fusion style, a palette and an
// application style sheet); both calls must come from the application's GUI thread, and made
// before the QApplication exists (or from another thread) they do nothing. On Windows it draws
// the windows of the calling thread (those there and those created later) through their own
// messages: background brushes, list colours, menu backgrounds, and its own painting of push
// buttons, group boxes, the list header and the frames of edit boxes and lists.

#include <type_traits>

#ifdef _WIN32
#define MARROWTUNE_SKIN_EXPORT // the exports are named in SkinH_EL.def
#else
#define MARROWTUNE_SKIN_EXPORT __attribute__((visibility("default")))
#endif

extern "C" {

/// Draws every window, present and future, with the theme in `theme` (`size` bytes), replacing
/// any earlier theme. `text` and the three integers are reserved: the program passes an empty
/// text and zeros. Bytes that are not a whole, valid theme change nothing. Returns 1 when the
/// theme was applied, 0 otherwise.
MARROWTUNE_SKIN_EXPORT int SkinH_AttachRes(const unsigned char* theme, int size, const char* text,
                                           int reserved1, int reserved2, int reserved3);
/// Turns the aero look (opaque glass gradients and highlights on the panels, buttons, list
/// header and edit boxes) on for a non-zero `on`, off for 0. Kept across theme changes.
/// Returns 1, or 0 when it did nothing (Linux: no application yet, or another thread).
MARROWTUNE_SKIN_EXPORT int SkinH_SetAero(int on);

} // extern "C"

namespace marrowtune::skin {

/// The name of the library file.
inline constexpr char LibraryFileName[] = "SkinH_EL.dll";
/// Pointer types of the two exports, for binding by name.
using AttachResFunction = int (*)(const unsigned char*, int, const char*, int, int, int);
using SetAeroFunction = int (*)(int);
// The program calls the exports through these types. On 32-bit Windows the calling convention
// is part of a function's type, so a library built with another one than the program's
// pointers would corrupt the stack on every call: it fails to compile instead.
static_assert(std::is_same_v<decltype(&SkinH_AttachRes), AttachResFunction>);
static_assert(std::is_same_v<decltype(&SkinH_SetAero), SetAeroFunction>);

} // namespace marrowtune::skin
