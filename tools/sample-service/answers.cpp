// SPDX-License-Identifier: MIT
#include "tools/sample-service/answers.h"

#include "marrowtune/config.h"
#include "tools/sample-service/catalogue.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace marrowtune::sample {
namespace {

std::string number(std::int64_t value)
{
    return std::to_string(value);
}

std::string streamRedirectLink(const CatalogueSong& song, std::string_view uin,
                               const LinkHosts& hosts)
{
    // No query: the listen-online address carries the link unencoded, and a second "?" in a
    // request target is refused by the HTTP server library this service runs on.
    return "http://" + hosts.streamRedirectHost + "/qzone/" + std::string(uin) + "/" +
           number(song.streamNumber) + "/" + number(song.songId) + ".wma";
}

std::string musicCdnLink(const CatalogueSong& song, const LinkHosts& hosts)
{
    return "http://stream" + number(song.streamNumber) + "." + hosts.musicCdnHostSuffix + "/" +
           number(song.cdnFileId) + ".wma";
}

std::string otherLink(const CatalogueSong& song, std::string_view ownHost)
{
    return "http://" + std::string(ownHost) + "/files/" + number(song.songId) + ".mp3";
}

std::string zoneLink(const CatalogueSong& song, LinkKind kind, std::string_view uin,
                     const LinkHosts& hosts, std::string_view ownHost)
{
    switch (kind) {
    case LinkKind::StreamRedirect:
        return streamRedirectLink(song, uin, hosts);
    case LinkKind::MusicCdn:
        return musicCdnLink(song, hosts);
    case LinkKind::Other:
        break;
    }
    return otherLink(song, ownHost);
}

// A made-up song mid in the services' style: ten letters and digits from the song id.
std::string songMid(int songId)
{
    static constexpr std::string_view alphabet =
        "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    std::string mid = "00";
    auto value = static_cast<std::uint64_t>(songId) * 2654435761u;
    while (mid.size() < 14) {
        mid += alphabet[value % alphabet.size()];
        value = value / alphabet.size() + 7919u * mid.size();
    }
    return mid;
}

int durationSeconds(const CatalogueSong& song)
{
    return 180 + (song.songId * 37) % 120;
}

// The fields a Zone entry carries after its link. They keep the next entry's name keys well
// over 200 characters away, as in the real service's answers.
std::string zoneEntryTail(const CatalogueSong& song)
{
    const int seconds = durationSeconds(song);
    return ",xsong_size:" + number(seconds * 16000) + ",xsong_duration:" + number(seconds) +
           ",xsong_bitrate:128,xsong_type:3,xalbum_id:" + number(song.albumId) + ",xalbum_name:\"" +
           std::string(song.album) + "\",xsong_mid:\"" + songMid(song.songId) +
           "\",xlyric_url:\"http://lyric.sample.invalid/lrc/" + number(song.songId) +
           ".lrc\",xcover_url:\"http://cover.sample.invalid/album/300/" + number(song.albumId) +
           "_0.jpg\",xplay_count:" + number(song.songId % 997 * 131) +
           ",xupdate_time:\"2011-08-16 21:04:33\",xsource:\"qzone_bgmusic\",xcopyright:1},\n";
}

std::string zoneEntry(const CatalogueSong& song, LinkKind kind, std::string_view uin,
                      const LinkHosts& hosts, std::string_view ownHost)
{
    // The link ends its line: the pattern's link group runs up to the last quote of a line.
    return "{xqusic_id:" + number(song.songId) +
           ",xctype:3,xexpire_time:0,xdesc:\"\",xsong_name:\"" + std::string(song.title) +
           "\",xsinger_id:" + number(song.singerId) + ",xsinger_name:\"" +
           std::string(song.singer) + "\",xsong_url:'" + zoneLink(song, kind, uin, hosts, ownHost) +
           "'\n" + zoneEntryTail(song);
}

std::string searchEntry(const CatalogueSong& song, int index, const LinkHosts& hosts)
{
    const int seconds = durationSeconds(song);
    return "{idx:" + number(index) + ",songid:" + number(song.songId) + ",songname:\"" +
           std::string(song.title) + "\",singerid:" + number(song.singerId) + ",singername:\"" +
           std::string(song.singer) + "\",albumid:" + number(song.albumId) + ",albumname:\"" +
           std::string(song.album) + "\",songurl:\"" + musicCdnLink(song, hosts) +
           "\",size128:" + number(seconds * 16000) + ",size320:" + number(seconds * 40000) +
           ",sizeape:0,sizeflac:" + number(seconds * 110000) + ",interval:" + number(seconds) +
           ",pubtime:" + number(1300000000 + song.albumId * 86400) + ",mid:\"" +
           songMid(song.songId) + "\",lyricurl:\"http://lyric.sample.invalid/lrc/" +
           number(song.songId) + ".lrc\",coverurl:\"http://cover.sample.invalid/album/300/" +
           number(song.albumId) +
           "_0.jpg\",pay:{payplay:0,paydownload:0,price:0},msgid:0,"
           "alertid:2,isonly:0}";
}

void appendLittleEndian(std::string& out, std::uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i) {
        out += static_cast<char>((value >> (8 * i)) & 0xFFu);
    }
}

} // namespace

LinkHosts LinkHosts::buildDefaults()
{
    return {std::string(config::StreamRedirectHost), std::string(config::MusicCdnHostSuffix)};
}

bool isWellFormedQqNumber(std::string_view qqNumber)
{
    return qqNumber.size() >= 5 && qqNumber.size() <= 11 && qqNumber.front() != '0' &&
           std::all_of(qqNumber.begin(), qqNumber.end(),
                       [](char c) { return c >= '0' && c <= '9'; });
}

std::string zonePlaylistAnswer(std::string_view uin, const LinkHosts& hosts,
                               std::string_view ownHost)
{
    if (!isWellFormedQqNumber(uin)) {
        return "MusicJsonCallback({code:-1,subcode:-3,msg:\"用户QQ号码错误\",uin:0,"
               "songlist:[]})\n";
    }
    const ZoneUser* user = findZoneUser(uin);
    std::string entries;
    int total = 0;
    if (user != nullptr) {
        for (const ZoneSong& zoneSong : user->playlist) {
            if (const CatalogueSong* song = findSong(zoneSong.title, zoneSong.singer)) {
                entries += zoneEntry(*song, zoneSong.link, uin, hosts, ownHost);
                ++total;
            }
        }
    }
    const std::string nickname = user == nullptr ? std::string() : std::string(user->nickname);
    return "MusicJsonCallback({code:0,subcode:0,msg:\"\",uin:" + std::string(uin) + ",nick:\"" +
           nickname + "\",bgmusic_switch:" + (total > 0 ? "1" : "0") + ",total:" + number(total) +
           ",\nsonglist:[\n" + entries + "]})\n";
}

std::string songSearchAnswer(std::string_view keyword, int page, const LinkHosts& hosts)
{
    const std::vector<const CatalogueSong*> hits = searchCatalogue(keyword);
    const int total = static_cast<int>(hits.size());
    const int first = (std::max(page, 1) - 1) * SongsPerPage;
    std::string entries;
    int onPage = 0;
    for (int i = first; i < total && onPage < SongsPerPage; ++i, ++onPage) {
        entries += (onPage == 0 ? "" : ",\n") +
                   searchEntry(*hits[static_cast<std::size_t>(i)], i + 1, hosts);
    }
    // "totalnum" comes before anything that echoes input, so nothing can fake it.
    return "searchJsonCallback({result:0,msg:\"\",totalnum:" + number(total) +
           ",curnum:" + number(onPage) + ",curpage:" + number(std::max(page, 1)) +
           ",perpage:" + number(SongsPerPage) + ",\nsonglist:[\n" + entries + "\n]})\n";
}

std::string escapeHtml(std::string_view text)
{
    std::string escaped;
    for (char c : text) {
        switch (c) {
        case '&':
            escaped += "&amp;";
            break;
        case '<':
            escaped += "&lt;";
            break;
        case '>':
            escaped += "&gt;";
            break;
        case '"':
            escaped += "&quot;";
            break;
        case '\'':
            escaped += "&#39;";
            break;
        default:
            escaped += c;
        }
    }
    return escaped;
}

std::string listenPage(std::string_view link)
{
    const std::string shown = escapeHtml(link);
    // Only web links become a source or a target: anything else is shown as text.
    const bool playable = link.starts_with("http://") || link.starts_with("https://");
    std::string page = "<!DOCTYPE html>\n<html><head><meta charset=\"gbk\"><title>在线试听"
                       "</title></head>\n<body>\n<h1>在线试听</h1>\n";
    if (playable) {
        page += "<audio controls autoplay src=\"" + shown + "\"></audio>\n<p><a href=\"" + shown +
                "\">" + shown + "</a></p>\n";
    } else {
        page += "<p>无法播放: " + shown + "</p>\n";
    }
    return page + "</body></html>\n";
}

std::string aboutPage()
{
    return "<!DOCTYPE html>\n<html><head><meta charset=\"gbk\"><title>Marrowtune</title>"
           "</head>\n<body>\n<h1>Marrowtune</h1>\n<p>感谢使用 Marrowtune。这是本地示例服务"
           "的关于页面。</p>\n<p>Thanks for using Marrowtune. This page is served by the local "
           "sample service.</p>\n</body></html>\n";
}

std::string audioClip(std::int64_t seed)
{
    // 1.2 seconds of 8 kHz 8-bit mono: two notes a fifth apart, faded in and out.
    constexpr std::uint32_t sampleRate = 8000;
    constexpr std::uint32_t sampleCount = sampleRate * 6 / 5;
    const double semitone = static_cast<double>(((seed % 24) + 24) % 24);
    const double base = 220.0 * std::pow(2.0, semitone / 12.0);
    std::string wav = "RIFF";
    appendLittleEndian(wav, 36 + sampleCount, 4);
    wav += "WAVEfmt ";
    appendLittleEndian(wav, 16, 4);
    appendLittleEndian(wav, 1, 2); // PCM
    appendLittleEndian(wav, 1, 2); // mono
    appendLittleEndian(wav, sampleRate, 4);
    appendLittleEndian(wav, sampleRate, 4); // bytes per second
    appendLittleEndian(wav, 1, 2);          // block align
    appendLittleEndian(wav, 8, 2);          // bits per sample
    wav += "data";
    appendLittleEndian(wav, sampleCount, 4);
    constexpr std::uint32_t fade = sampleRate / 50;
    for (std::uint32_t i = 0; i < sampleCount; ++i) {
        const double frequency = i < sampleCount / 2 ? base : base * 1.5;
        const std::uint32_t edge = std::min(i, sampleCount - 1 - i);
        const double envelope = edge < fade ? static_cast<double>(edge) / fade : 1.0;
        const double value =
            std::sin(2.0 * std::numbers::pi * frequency * i / sampleRate) * envelope * 90.0;
        wav += static_cast<char>(static_cast<int>(128.0 + value));
    }
    return wav;
}

} // namespace marrowtune::sample
