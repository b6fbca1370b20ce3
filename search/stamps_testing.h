// SPDX-License-Identifier: MIT
#pragma once
// Test seam of the stamps: the random stamp's fractions from the test instead of the script
// host, so a test can hold a search at the moment its stamp is drawn. Nothing in the program
// calls this.

#include "base/text.h"

#include <functional>

namespace marrowtune::stamps::testing {

/// Makes makeRandomStamp take each fraction from `draw` (an empty function: the script host
/// again). Not thread-safe; set it before the search starts.
void setRandomStampDraw(std::function<Text()> draw);

/// Draws the random stamp's fractions from a function of the test's while it lives.
class ScopedRandomStampDraw {
public:
    explicit ScopedRandomStampDraw(std::function<Text()> draw)
    {
        setRandomStampDraw(std::move(draw));
    }
    ScopedRandomStampDraw(const ScopedRandomStampDraw&) = delete;
    ScopedRandomStampDraw& operator=(const ScopedRandomStampDraw&) = delete;
    ~ScopedRandomStampDraw() { setRandomStampDraw({}); }
};

} // namespace marrowtune::stamps::testing
