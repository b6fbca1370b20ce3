// SPDX-License-Identifier: MIT
#pragma once
// Test helper: the packed theme files the build writes, read back.

#include "tests/support/files.h"

#include <cstdio>
#include <string>
#include <vector>

namespace marrowtune::skin {

/// The bytes of the build's theme_NN.she for theme n; empty when it is missing.
inline std::vector<unsigned char> readTheme(int n)
{
    char name[32];
    std::snprintf(name, sizeof name, "/theme_%02d.she", n);
    return test::readFile(std::string(MARROWTUNE_SKIN_THEMES_DIR) + name);
}

} // namespace marrowtune::skin
