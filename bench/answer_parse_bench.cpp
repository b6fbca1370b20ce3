// SPDX-License-Identifier: MIT
// Picking a 20-song search answer apart: the regular-expression object over the search
// pattern, against a JavaScript regular expression doing the same in our script host.
//
//   cmake --preset bench && cmake --build --preset bench --target answer_parse_bench
//   build/bench/bench/answer_parse_bench

#include "automation/regex_object.h"
#include "automation/script_object.h"
#include "bench/search_answer.h"
#include "marrowtune/config.h"
#include "net/text.h"
#include "platform/system_classes.h"
#include "search/keyword_search.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace marrowtune {
namespace {

using bench::gbk;

// An answer shaped like the service's: a header with the hit count, then twenty entries with
// the fields the pattern reads among the ones it skips.
Text searchAnswer()
{
    const std::u16string songs[] = {u"\u6674\u5929", u"\u7a3b\u9999", u"\u4e03\u91cc\u9999",
                                    u"\u9752\u82b1\u74f7", u"\u590f\u5929\u7684\u98ce"};
    const std::u16string singers[] = {u"\u5468\u6770\u4f26", u"\u6e29\u5c9a",
                                      u"\u738b\u83f2 & Friends"};
    const std::u16string albums[] = {u"\u53f6\u60e0\u7f8e", u"\u9b54\u6770\u5ea7",
                                     u"\u6211\u5f88\u5fd9 (Live)"};
    Text answer = "searchCallback({totalnum:245,curnum:20,curpage:1,keyword:\"" +
                  gbk(u"\u5468\u6770\u4f26") + "\",list:[";
    for (int i = 0; i < 20; ++i) {
        if (i > 0) {
            answer += ",";
        }
        answer += bench::songEntryHead(i, songs[i % 5], singers[i % 3], albums[i % 3]) +
                  "size:4123456,playtime:269,pubtime:1041350400,type:3,"
                  "lyric:\"http://lyric.example/" +
                  bench::songId(i) + ".lrc\",rate:128,vip:0,alertid:" + std::to_string(i % 4) + "}";
    }
    answer += "]})";
    return answer;
}

std::vector<Text> parseWithRegexObject(const Text& pattern, const Text& answer)
{
    RegexObject regex;
    std::vector<Text> fields;
    if (!regex.create(pattern, answer)) {
        return fields;
    }
    const int count = regex.matchCount();
    fields.reserve(static_cast<std::size_t>(count) * 4);
    for (int match = 1; match <= count; ++match) {
        for (int group = 1; group <= 4; ++group) {
            fields.push_back(regex.subMatchText(match, group));
        }
    }
    return fields;
}

constexpr const char* ParseScript =
    "function parseAnswer(text, pattern) {"
    "  var re = new RegExp(pattern, 'gim'), fields = [], m;"
    "  while ((m = re.exec(text)) !== null) { fields.push(m[1], m[2], m[3], m[4]); }"
    "  return fields.join('\\u0001');"
    "}";

std::vector<Text> parseWithScript(ScriptObject& script, const Text& pattern, const Text& answer)
{
    return splitText(script.run("parseAnswer", answer, pattern), "\x01");
}

struct Fixture {
    Text pattern = songSearchPattern(config::MusicCdnHostSuffix);
    Text answer = searchAnswer();

    Fixture()
    {
        registerSystemClasses();
        const auto native = parseWithRegexObject(pattern, answer);
        ScriptObject script;
        script.addCode(ParseScript);
        const auto scripted = parseWithScript(script, pattern, answer);
        if (native.size() != 80 || native != scripted) {
            std::fprintf(stderr, "the two parsers disagree: %zu and %zu fields\n", native.size(),
                         scripted.size());
            std::exit(1);
        }
    }
};

const Fixture& fixture()
{
    static const Fixture instance;
    return instance;
}

// What a search does per answer: a fresh regular-expression object, every group read.
void regexObjectParse(benchmark::State& state)
{
    const Fixture& f = fixture();
    for (auto _ : state) {
        benchmark::DoNotOptimize(parseWithRegexObject(f.pattern, f.answer));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * f.answer.size()));
}
BENCHMARK(regexObjectParse)->UseRealTime();

// The same in the script host, the host made once and the parse function added once.
void scriptRegExpParse(benchmark::State& state)
{
    const Fixture& f = fixture();
    ScriptObject script;
    script.addCode(ParseScript);
    for (auto _ : state) {
        benchmark::DoNotOptimize(parseWithScript(script, f.pattern, f.answer));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * f.answer.size()));
}
// Real time: the script runs on the host's own thread, so this thread's CPU time would hide it.
BENCHMARK(scriptRegExpParse)->UseRealTime();

} // namespace
} // namespace marrowtune

BENCHMARK_MAIN();
