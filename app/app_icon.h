#pragma once

#include <QIcon>

namespace marrowtune {

/// The image sizes of the window's icon, largest first.
inline constexpr int AppIconSizes[] = {128, 64, 48, 32, 16};

/// The program's own icon: a beamed pair of notes on a rounded tile, one 32-bit image per size
/// of AppIconSizes.
QIcon makeAppIcon();

} // namespace marrowtune
