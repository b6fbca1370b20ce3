// SPDX-License-Identifier: MIT
#pragma once
// The benchmarks' search answers: GBK texts and the songs' entries as the service writes them.

#include "marrowtune/config.h"
#include "net/text.h"

#include <string>
#include <string_view>

namespace marrowtune::bench {

/// `wide` as GBK.
inline Text gbk(std::u16string_view wide)
{
    return wideToMultiByte(wide, CodePage::Gbk);
}

/// The song id of entry `i`.
inline Text songId(int i)
{
    return std::to_string(1200000 + i * 7919);
}

/// Entry `i` of a search answer up to its link: the fields the search pattern reads, in the
/// service's order, with the song's name numbered; the caller adds the fields after the link.
inline Text songEntryHead(int i, std::u16string_view name, std::u16string_view singer,
                          std::u16string_view album)
{
    const Text id = songId(i);
    return "{idx:" + std::to_string(i + 1) + ",songid:" + id + ",songname:\"" + gbk(name) + " " +
           std::to_string(i) + "\",singerid:" + std::to_string(4558 + i) + ",singername:\"" +
           gbk(singer) + "\",albumid:" + std::to_string(8220 + i) + ",albumname:\"" + gbk(album) +
           "\",songurl:\"http://stream1" + std::to_string(i % 10) + "." +
           Text(config::MusicCdnHostSuffix) + "/" + id + ".wma\",";
}

} // namespace marrowtune::bench
