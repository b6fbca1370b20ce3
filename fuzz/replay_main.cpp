// SPDX-License-Identifier: MIT
// Runs a fuzz target over saved inputs without libFuzzer: every file named on the command line,
// and every file inside a directory named there, goes once through LLVMFuzzerTestOneInput. The
// suite runs the committed corpus this way, so a regression fails the ordinary test run on any
// compiler. A finding aborts the process; the file being read is printed first.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

bool runFile(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "cannot read %s\n", file.c_str());
        return false;
    }
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)),
                                  std::istreambuf_iterator<char>());
    std::fprintf(stderr, "%s\n", file.c_str());
    std::vector<std::uint8_t> data(bytes.begin(), bytes.end());
    // A fresh copy of exactly the file's size, so that a read past its end is caught by the
    // sanitizers when they are on.
    static const std::uint8_t none = 0;
    LLVMFuzzerTestOneInput(data.empty() ? &none : data.data(), data.size());
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<std::filesystem::path> files;
    for (int i = 1; i < argc; ++i) {
        const std::filesystem::path path(argv[i]);
        std::error_code error;
        if (std::filesystem::is_directory(path, error)) {
            for (const auto& entry : std::filesystem::directory_iterator(path)) {
                if (entry.is_regular_file()) {
                    files.push_back(entry.path());
                }
            }
        } else {
            files.push_back(path);
        }
    }
    std::sort(files.begin(), files.end());
    if (files.empty()) {
        std::fprintf(stderr, "no inputs given\n");
        return 1;
    }
    for (const auto& file : files) {
        if (!runFile(file)) {
            return 1;
        }
    }
    std::printf("%zu inputs ran without a finding\n", files.size());
    return 0;
}
