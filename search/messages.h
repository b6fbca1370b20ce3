// SPDX-License-Identifier: MIT
#pragma once
// The texts the searches look for in service answers and write as message rows, as GBK bytes
// (sources are UTF-8, so each is spelled out byte by byte with its UTF-8 form alongside).

#include <string_view>

namespace marrowtune {

/// "用户QQ号码错误": the Zone service's complaint about a wrong QQ number.
inline constexpr std::string_view ZoneComplaintText =
    "\xD3\xC3\xBB\xA7QQ\xBA\xC5\xC2\xEB\xB4\xED\xCE\xF3";
/// "QQ号码填写错误": the QQ number was filled in wrongly.
inline constexpr std::string_view WrongQqNumberMessage =
    "QQ\xBA\xC5\xC2\xEB\xCC\xEE\xD0\xB4\xB4\xED\xCE\xF3";
/// "网络出现问题了~": something went wrong with the network.
inline constexpr std::string_view NetworkProblemMessage =
    "\xCD\xF8\xC2\xE7\xB3\xF6\xCF\xD6\xCE\xCA\xCC\xE2\xC1\xCB~";
/// "该QQ无背景音乐 请查询其他QQ": this QQ has no background music.
inline constexpr std::string_view NoBackgroundMusicMessage =
    "\xB8\xC3QQ\xCE\xDE\xB1\xB3\xBE\xB0\xD2\xF4\xC0\xD6 \xC7\xEB\xB2\xE9\xD1\xAF\xC6\xE4\xCB\xFBQQ";
/// "无结果 请更换关键词": no result, please change the keyword.
inline constexpr std::string_view NoResultMessage =
    "\xCE\xDE\xBD\xE1\xB9\xFB \xC7\xEB\xB8\xFC\xBB\xBB\xB9\xD8\xBC\xFC\xB4\xCA";

} // namespace marrowtune
