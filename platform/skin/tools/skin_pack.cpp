// SPDX-License-Identifier: MIT
// Build-time packer: reads the readable theme source (themes/themes.txt) and writes each theme
// in its binary form (theme_NN.she) and all of them in one pack for embedding.
//
//   skin_pack <themes.txt> <output directory>
//
// The pack is "SKPK", a 32-bit little-endian count, the count sizes, then the themes in order.
// The packer refuses a source with a missing or repeated theme number, a repeated name or
// colour set, a fault in a theme, any text drawn with a contrast below 4.5:1, or a list header
// whose fill comes within 1.5:1 of the selection colour.

#include "platform/skin/theme.h"

#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

using namespace marrowtune::skin;

constexpr int ThemeCount = 58;
constexpr double MinimumContrast = 4.5;

std::string trim(const std::string& text)
{
    const auto begin = text.find_first_not_of(" \t\r");
    if (begin == std::string::npos) {
        return {};
    }
    const auto end = text.find_last_not_of(" \t\r");
    return text.substr(begin, end - begin + 1);
}

bool fail(const std::string& message)
{
    std::cerr << "skin_pack: " << message << '\n';
    return false;
}

bool readSource(const std::string& path, std::map<int, std::map<std::string, std::string>>& out)
{
    std::ifstream in(path);
    if (!in) {
        return fail("cannot read " + path);
    }
    std::string line;
    int lineNumber = 0;
    std::map<std::string, std::string>* current = nullptr;
    while (std::getline(in, line)) {
        ++lineNumber;
        const std::string where = path + ":" + std::to_string(lineNumber) + ": ";
        line = trim(line);
        if (line.empty() || line.front() == '#') {
            continue;
        }
        if (line.front() == '[') {
            if (line.back() != ']') {
                return fail(where + "bad section");
            }
            const int number = std::atoi(line.substr(1, line.size() - 2).c_str());
            if (number < 1 || number > ThemeCount || out.count(number)) {
                return fail(where + "theme number missing, out of range or repeated");
            }
            current = &out[number];
            continue;
        }
        const auto equals = line.find('=');
        if (!current || equals == std::string::npos) {
            return fail(where + "expected key = value inside a [number] section");
        }
        std::string value = trim(line.substr(equals + 1));
        // A style-sheet fragment may need a line break: "\n" in the source stands for one.
        std::string unescaped;
        for (std::size_t i = 0; i < value.size(); ++i) {
            if (value[i] == '\\' && i + 1 < value.size() && value[i + 1] == 'n') {
                unescaped += '\n';
                ++i;
            } else {
                unescaped += value[i];
            }
        }
        if (!current->emplace(trim(line.substr(0, equals)), unescaped).second) {
            return fail(where + "repeated key");
        }
    }
    if (static_cast<int>(out.size()) != ThemeCount) {
        return fail("expected " + std::to_string(ThemeCount) + " themes, found " +
                    std::to_string(out.size()));
    }
    return true;
}

bool checkReadable(int number, const Theme& theme)
{
    for (bool aero : {false, true}) {
        for (const auto& text : textsOnFills(deriveLook(theme, aero))) {
            for (const Rgb background : text.backgrounds) {
                const double ratio = contrastRatio(text.text, background);
                if (ratio < MinimumContrast) {
                    std::ostringstream message;
                    message << "theme " << number << " (" << theme.name << "): " << text.role << ' '
                            << colourName(text.text) << " on " << colourName(background)
                            << (aero ? " (aero)" : "") << " has contrast " << ratio;
                    return fail(message.str());
                }
            }
        }
        // A header of the selection's shade reads as a selected row above the list.
        const double header = headerSelectionContrast(deriveLook(theme, aero));
        if (header < MinimumHeaderSelectionContrast) {
            std::ostringstream message;
            message << "theme " << number << " (" << theme.name << "): the list header's fill"
                    << (aero ? " (aero)" : "") << " has contrast " << header
                    << " with the selection";
            return fail(message.str());
        }
    }
    return true;
}

bool writeFile(const std::string& path, const std::vector<unsigned char>& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return out.good() || fail("cannot write " + path);
}

void putU32(std::vector<unsigned char>& out, std::size_t value)
{
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<unsigned char>(value >> (8 * i)));
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::cerr << "usage: skin_pack <themes.txt> <output directory>\n";
        return 2;
    }
    std::map<int, std::map<std::string, std::string>> sources;
    if (!readSource(argv[1], sources)) {
        return 1;
    }
    std::set<std::string> names;
    std::set<std::string> colourSets;
    std::vector<std::vector<unsigned char>> blobs;
    for (const auto& [number, fields] : sources) {
        std::string error;
        const auto theme = themeFromFields(fields, &error);
        if (!theme) {
            fail("theme " + std::to_string(number) + ": " + error);
            return 1;
        }
        if (!names.insert(theme->name).second) {
            fail("theme " + std::to_string(number) + ": name used twice: " + theme->name);
            return 1;
        }
        auto colours = themeFields(*theme);
        colours.erase("name");
        std::string key;
        for (const auto& [k, v] : colours) {
            key.append(k).append(1, '=').append(v).append(1, ';');
        }
        if (!colourSets.insert(key).second) {
            fail("theme " + std::to_string(number) + ": same colours as an earlier theme");
            return 1;
        }
        if (!checkReadable(number, *theme)) {
            return 1;
        }
        blobs.push_back(encodeTheme(*theme));
        if (!decodeTheme(blobs.back())) {
            fail("theme " + std::to_string(number) + ": does not read back");
            return 1;
        }
    }
    const std::string dir = argv[2];
    std::vector<unsigned char> pack{'S', 'K', 'P', 'K'};
    putU32(pack, blobs.size());
    for (const auto& blob : blobs) {
        putU32(pack, blob.size());
    }
    for (std::size_t i = 0; i < blobs.size(); ++i) {
        char fileName[32];
        std::snprintf(fileName, sizeof fileName, "/theme_%02zu.she", i + 1);
        if (!writeFile(dir + fileName, blobs[i])) {
            return 1;
        }
        pack.insert(pack.end(), blobs[i].begin(), blobs[i].end());
    }
    return writeFile(dir + "/skin_themes.pack", pack) ? 0 : 1;
}
