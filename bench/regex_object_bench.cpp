// SPDX-License-Identifier: MIT
// One keyword-search page: RegexObject over a 20-song GBK answer with the search pattern,
// reading all four groups of every match, as the search does for each page it shows.

#include "automation/regex_object.h"
#include "platform/codepage/codepage.h"
#include "platform/system_classes.h"

#include <benchmark/benchmark.h>
#include <string>

namespace {

using marrowtune::Text;

const Text SearchPattern =
    "songname:\"([\\s\\S]{1,200})\",singerid:\\d+,singername:\"([\\s\\S]{1,200})\",albumid:\\d+,"
    "albumname:\"([\\s\\S]{1,200})\",songurl:\"(http://stream\\d+\\.qqmusic\\.qq\\.com/\\d+\\.wma)"
    "\"";

Text gbk(const std::u16string& wide)
{
    return marrowtune::codepage::fromWide(wide, marrowtune::CodePage::Gbk);
}

// An answer shaped like the service's: each song carries some thirty further fields around the
// four the pattern reads, with Chinese names, singers and albums.
Text searchAnswer()
{
    Text answer = "searchJsonCallback({code:0,data:{keyword:\"" + gbk(u"\u5468\u6770\u4f26") +
                  "\",priority:0,qc:[],semantic:{curnum:0,curpage:1,list:[],totalnum:0},"
                  "song:{curnum:20,curpage:1,totalnum:600,list:[";
    for (int i = 0; i < 20; ++i) {
        const std::string n = std::to_string(i);
        answer += "{albumid:" + std::to_string(8200 + i) + ",albummid:\"003Rp4ts0" + n +
                  "abcd\",albumname:\"" + gbk(u"\u9b54\u6770\u5ea7 \u7b2c") + n + "\",";
        answer +=
            "alertid:11,belongCD:0,cdIdx:3,chinesesinger:0,docid:\"" +
            std::to_string(1234567890123456LL + i) +
            "\",format:\"qqhq;common;mp3common;wmacommon\",interval:" + std::to_string(200 + i) +
            ",isonly:0,lyric:\"\",msgid:14,";
        answer += "songname:\"" + gbk(u"\u7a3b\u9999 \u7b2c") + n + gbk(u"\u9996") +
                  "\",singerid:4558,singername:\"" + gbk(u"\u5468\u6770\u4f26") +
                  "\",albumid:" + std::to_string(8200 + i) + ",albumname:\"" +
                  gbk(u"\u9b54\u6770\u5ea7") + "\",songurl:\"http://stream1" + n +
                  ".qqmusic.qq.com/" + std::to_string(30123456 + i) + ".wma\",";
        answer += "pay:{payalbum:0,payalbumprice:0,paydownload:1,payinfo:1,payplay:0,paytrackmouth:"
                  "1,paytrackprice:200},preview:{trybegin:0,tryend:0,trysize:0},pubtime:" +
                  std::to_string(1215964800 + i) +
                  ",pure:0,singer:[{id:4558,mid:\"0025NhlN2yWrP4\",name:\"" +
                  gbk(u"\u5468\u6770\u4f26") +
                  "\"}],size128:3496138,size320:8738941,sizeape:0,sizeflac:27193418,sizeogg:"
                  "4825349,songmid:\"003aAYrm3GE0Ac\",stream:1" +
                  n + ",switch:17413891,t:1,tag:11,type:0,ver:0,vid:\"\"},\n";
    }
    answer += "]},totalnum:600,zhida:{chinesesinger:0,type:1}}})";
    return answer;
}

void regexObjectSearchPage(benchmark::State& state)
{
    marrowtune::registerSystemClasses();
    const Text answer = searchAnswer();
    int rows = 0;
    for (auto _ : state) {
        marrowtune::RegexObject regex;
        regex.create(SearchPattern, answer);
        rows = regex.matchCount();
        const int count = regex.matchCount();
        for (int i = 1; i <= count; ++i) {
            for (int g = 1; g <= 4; ++g) {
                benchmark::DoNotOptimize(regex.subMatchText(i, g));
            }
        }
    }
    state.counters["rows"] = rows;
    state.counters["answer_bytes"] = static_cast<double>(answer.size());
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * answer.size()));
}
BENCHMARK(regexObjectSearchPage)->Unit(benchmark::kMicrosecond);

} // namespace

namespace {

// The same page without the group reads: conversion, compilation and matching only.
void createOnly(benchmark::State& state)
{
    marrowtune::registerSystemClasses();
    const Text answer = searchAnswer();
    for (auto _ : state) {
        marrowtune::RegexObject regex;
        benchmark::DoNotOptimize(regex.create(SearchPattern, answer));
    }
}
BENCHMARK(createOnly)->Unit(benchmark::kMicrosecond);
} // namespace
