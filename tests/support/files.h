// SPDX-License-Identifier: MIT
#pragma once
// Test helper: a file's bytes, read back after the code under test or the build wrote it.

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace marrowtune::test {

/// The bytes of the file at `path`; empty when it is missing.
inline std::vector<unsigned char> readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

} // namespace marrowtune::test
