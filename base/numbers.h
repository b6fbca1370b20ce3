// SPDX-License-Identifier: MIT
#pragma once
// Whole numbers from the doubles the automation objects answer with.

#include <cmath>

namespace marrowtune {

/// `number` with its fraction dropped; 0 when it is not finite or does not fit an int (a plain
/// cast would be undefined there).
inline int truncatedToInt(double number)
{
    if (!std::isfinite(number) || std::abs(number) > 2147483647.0) {
        return 0;
    }
    return static_cast<int>(std::trunc(number));
}

} // namespace marrowtune
