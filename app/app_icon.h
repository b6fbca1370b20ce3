// SPDX-License-Identifier: MIT
#pragma once

#include <QIcon>
#include <QImage>

namespace marrowtune {

/// The image sizes of the window's icon, largest first.
inline constexpr int AppIconSizes[] = {128, 64, 48, 32, 16};

/// The program's own icon: a beamed pair of notes on a rounded tile, one 32-bit image per size
/// of AppIconSizes.
QIcon makeAppIcon();
/// The icon at one size, as the window draws it (the build also renders the theme icons
/// with it).
QImage drawAppIcon(int size);

} // namespace marrowtune
