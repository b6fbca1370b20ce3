// SPDX-License-Identifier: MIT
// The Marrowtune side of bench/compare.sh.
//
//   compare_tool answer SONGS PAD FILE   writes a GBK search answer of SONGS entries, each with
//                                        a skipped field of PAD bytes, to FILE
//   compare_tool parse FILE RUNS         parses FILE as the keyword search does (the regular-
//                                        expression object over the search pattern, every field
//                                        read) RUNS times and prints the median in microseconds

#include "automation/regex_object.h"
#include "bench/search_answer.h"
#include "marrowtune/config.h"
#include "net/text.h"
#include "platform/system_classes.h"
#include "search/keyword_search.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace marrowtune {
namespace {

// Shaped like the service's answer: a header with the hit count, then the entries with the
// fields the pattern reads among ones it skips.
Text searchAnswer(int songs, std::size_t pad)
{
    const std::u16string names[] = {u"累死爱情", u"凌晨三点", u"最后一班地铁", u"北方的雨",
                                    u"Paper Moon"};
    const std::u16string singers[] = {u"苏晚晴", u"林夏", u"Mina Vale"};
    const std::u16string albums[] = {u"累死爱情 精选集", u"沉默是金", u"楼外楼 (Live)"};
    const Text filler(pad, 'x');
    Text answer = "searchJsonCallback({totalnum:" + std::to_string(songs) +
                  ",curnum:" + std::to_string(songs) + ",curpage:1,perpage:20,\nsonglist:[\n";
    for (int i = 0; i < songs; ++i) {
        answer += (i > 0 ? ",\n" : "");
        answer += bench::songEntryHead(i, names[i % 5], singers[i % 3], albums[i % 3]) +
                  "size:4123456,playtime:269,lyric:\"" + filler + "\",rate:128}";
    }
    return answer + "\n]})\n";
}

// The keyword search's own reads: the engine takes the answer, then every field of every song
// comes back in one pass.
std::size_t parseOnce(const Text& pattern, const Text& answer)
{
    RegexObject regex;
    regex.createForTexts(pattern, answer);
    constexpr int Fields[] = {1, 2, 3, 4};
    std::size_t bytes = 0;
    for (const Text& field : regex.subMatchTexts(Fields)) {
        bytes += field.size();
    }
    return bytes;
}

int parse(const char* file, int runs)
{
    std::ifstream in(file, std::ios::binary);
    const Text answer((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const Text pattern = songSearchPattern(config::MusicCdnHostSuffix);
    std::vector<double> times;
    std::size_t bytes = 0;
    parseOnce(pattern, answer); // the steady state: the first run warms what is kept
    for (int run = 0; run < runs; ++run) {
        const auto start = std::chrono::steady_clock::now();
        bytes += parseOnce(pattern, answer);
        times.push_back(
            std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start)
                .count());
    }
    std::sort(times.begin(), times.end());
    std::printf("%.1f %zu\n", times[times.size() / 2], bytes / static_cast<std::size_t>(runs));
    return 0;
}

} // namespace
} // namespace marrowtune

int main(int argc, char** argv)
{
    using namespace marrowtune;
    registerSystemClasses();
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "answer" && argc == 5) {
        std::ofstream(argv[4], std::ios::binary)
            << searchAnswer(std::stoi(argv[2]), std::stoul(argv[3]));
        return 0;
    }
    if (mode == "parse" && argc == 4) {
        return parse(argv[2], std::stoi(argv[3]));
    }
    std::fputs("usage: compare_tool answer SONGS PAD FILE | parse FILE RUNS\n", stderr);
    return 2;
}
