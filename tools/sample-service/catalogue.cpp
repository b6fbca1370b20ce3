// SPDX-License-Identifier: MIT
#include "tools/sample-service/catalogue.h"

#include "base/ascii.h"

#include <algorithm>
#include <map>
#include <string>

namespace marrowtune::sample {
namespace {

struct Album {
    std::string_view singer;
    std::string_view name;
    std::vector<std::string_view> titles;
};

// The catalogue as it reads best: album by album. Every name here is made up. Song ids, stream
// numbers and CDN file ids are handed out in this order by buildSongs().
const std::vector<Album>& albums()
{
    static const std::vector<Album> all = {
        {"苏晚晴",
         "累死爱情",
         {"累死爱情", "凌晨三点", "空房间", "旧毛衣", "最后一班地铁", "你不必回头", "雨停了",
          "晚安城市", "不说再见", "纸飞机", "半杯咖啡", "累死爱情 (Live)"}},
        {"群星",
         "累死爱情 精选集",
         {"爱到累了", "北京的冬天", "再见青春", "海边的风", "如果有来生", "一个人的旅行",
          "想你的夜", "时间都去哪了", "慢慢喜欢你", "月光下的告白", "我们的歌", "明天会更好"}},
        {"林夏",
         "北方的雨",
         {"北方的雨", "旧车站", "累死爱情", "白桦林的信", "雪落无声", "候鸟", "长夜", "第七天",
          "火车开往冬天", "回声", "晚风", "灯塔"}},
        {"陈默",
         "沉默是金",
         {"沉默是金", "累死爱情 (Live)", "城市猎人", "无人之境", "深蓝", "迷途", "孤岛",
          "红色高跟鞋", "夜行者", "倒影", "飞鸟与鱼", "归途"}},
        {"Mina Vale",
         "Paper Moon",
         {"Paper Moon", "Love Me Slowly", "累死爱情 (English Ver.)", "Glass Houses",
          "Midnight Train", "Silver Lining", "Tidewater", "Hollow Bones", "静夜思", "Firefly",
          "Northern Lights", "Salt and Honey"}},
        {"白小楼",
         "楼外楼",
         {"楼外楼", "江南", "累死爱情", "青花", "烟雨", "桃花渡", "西湖的月", "小桥流水", "折扇",
          "油纸伞", "乌篷船", "梧桐"}},
        {"Copper Lanterns",
         "LOVE LETTERS",
         {"Dear You", "累死爱情 (Acoustic)", "Paper Planes", "Ink and Rain", "Lantern Festival",
          "Old Photographs", "Stamp Collector", "Return to Sender", "Postcard from Shanghai",
          "Sealed with Wax", "Last Letter", "P.S. I Miss You"}},
        {"何远山",
         "远山的呼唤",
         {"远山的呼唤", "累死爱情 (伴奏)", "草原之夜", "牧马人", "天边", "雄鹰", "蓝色的湖", "篝火",
          "格桑花", "马头琴", "苍茫", "故乡的云"}},
        {"周一舟",
         "一舟 DJ Remix",
         {"累死爱情 DJ版", "舞动青春", "夜店女王", "Bounce", "电音时代", "狂欢节", "霓虹",
          "Drop It", "午夜派对", "心跳加速", "Spin Around", "不眠之夜"}},
        {"夏沫",
         "夏天的泡沫",
         {"夏天的泡沫", "累死爱情", "汽水", "冰淇淋", "蝉鸣", "西瓜", "游泳池", "晒伤", "海盐",
          "凉风有信", "暑假作业", "台风天"}},
        {"Nightjar Avenue",
         "Neon Rivers",
         {"Neon Rivers", "Streetlight Serenade", "Overpass", "Rainy Taxi", "Blue Hour", "Skyline",
          "After Hours", "Concrete Garden", "Late Show", "Quiet Storm", "Radio Static",
          "Dawn Patrol"}},
        {"唐七七",
         "七七的日记",
         {"星期一的猫", "日记本", "粉色气球", "七七", "放学路上", "棉花糖", "小情歌", "秘密花园",
          "彩虹糖", "晚安喵", "周末", "梦游"}},
        {"Orchid Static",
         "Static Bloom",
         {"Static Bloom", "Orchid", "White Noise", "Frequency", "Bloom Again", "Low Tide",
          "Magnetic", "Analog Heart", "Feedback Loop", "Signal Lost", "Warm Circuit",
          "Love Is a Frequency"}},
        {"王一鸣",
         "一鸣惊人",
         {"一鸣惊人", "少年", "追梦人", "奔跑", "不服输", "热血", "起风了", "逆光", "向前冲",
          "冠军", "信仰", "破晓"}},
        {"Luca Fontaine",
         "Café du Nord",
         {"Café du Nord", "Rue des Lilas", "Amour Lent", "Petit Matin", "La Pluie", "Chanson Douce",
          "Montmartre", "Soleil Bas", "Le Train", "Minuit", "Valse Triste", "Au Revoir"}},
        {"李青柠",
         "青柠味",
         {"青柠味", "酸甜", "初恋", "课桌", "单车", "毕业照", "操场", "橘子汽水", "信笺",
          "同桌的你", "那年夏天", "再见了"}},
        {"The Velvet Kites",
         "Kite Season",
         {"Kite Season", "Paper Wings", "High Wire", "String Theory", "Windward", "Ground Control",
          "Tailspin", "Updraft", "Cloud Nine", "Falling Slow", "Open Field", "Homebound"}},
        {"郑小北",
         "北漂",
         {"北漂", "地下室", "五环外", "早高峰", "出租屋", "加班", "外卖", "末班车", "老家的灯",
          "春运", "回不去", "留下来"}},
        {"Aria Chen",
         "Between Two Cities",
         {"Between Two Cities", "Taipei Rain", "London Fog", "Jet Lag", "Home Is a Word",
          "Mandarin Orange", "Two Time Zones", "Arrival Hall", "Departure", "Long Distance",
          "Love in Transit", "Halfway"}},
        {"钟离",
         "古风辞",
         {"长安忆", "剑歌", "青丝", "琵琶行", "落花", "醉红尘", "江湖远", "霜降", "一梦千年",
          "故人辞", "月下独酌", "山河"}},
        {"Blue Harbor",
         "Harbor Lights",
         {"Harbor Lights", "Anchor", "Tide Tables", "Lighthouse Keeper", "Saltwater", "Sea Glass",
          "Driftwood", "Foghorn", "Pier 9", "Moonwake", "Ship in a Bottle", "Sailor Song"}},
        {"韩雪儿",
         "雪儿",
         {"雪花", "冬日恋歌", "围巾", "暖手宝", "初雪", "堆雪人", "冰河", "圣诞夜", "壁炉",
          "雪人不哭", "北极光", "春暖"}},
        {"Max Rivera",
         "Desert Road",
         {"Desert Road", "Cactus Flower", "Highway 9", "Dust Devil", "Canyon Echo", "Mirage",
          "Rattlesnake", "Sunset Motel", "Coyote Moon", "Dry Creek", "Tumbleweed", "Love at Dusk"}},
        {"刘小满",
         "小满",
         {"小满", "麦田", "布谷鸟", "蛙声", "青苗", "雨后", "田埂", "稻草人", "炊烟", "外婆家",
          "萤火虫", "丰收"}},
    };
    return all;
}

std::int64_t cdnFileIdFor(std::size_t index)
{
    // Three ranges, so that the mirror's id arithmetic meets every case: above 12000000, a
    // small id, and one at or above 30000000 that the mirror keeps as it is.
    const auto i = static_cast<std::int64_t>(index);
    switch (index % 3) {
    case 0:
        return 12005000 + i;
    case 1:
        return 1000 + i;
    default:
        return 30010000 + i;
    }
}

std::vector<CatalogueSong> buildSongs()
{
    std::vector<CatalogueSong> songs;
    int albumIndex = 0;
    for (const Album& album : albums()) {
        ++albumIndex;
        for (std::string_view title : album.titles) {
            const std::size_t index = songs.size();
            CatalogueSong song;
            song.songId = 10001 + static_cast<int>(index);
            song.title = title;
            song.singer = album.singer;
            song.album = album.name;
            song.singerId = 2000 + albumIndex;
            song.albumId = 3000 + albumIndex;
            song.streamNumber = 1 + static_cast<int>(index % 20);
            song.cdnFileId = cdnFileIdFor(index);
            songs.push_back(song);
        }
    }
    return songs;
}

std::string foldAscii(std::string_view text)
{
    std::string folded(text);
    std::transform(folded.begin(), folded.end(), folded.begin(),
                   [](char c) { return asciiLower(c); });
    return folded;
}

} // namespace

const std::vector<CatalogueSong>& catalogueSongs()
{
    static const std::vector<CatalogueSong> songs = buildSongs();
    return songs;
}

const std::vector<ZoneUser>& zoneUsers()
{
    // 271828182 is the QQ number preset in the window's QQ box.
    static const std::vector<ZoneUser> users = {
        {"271828182",
         "夏夜晚风",
         {{"累死爱情", "苏晚晴", LinkKind::StreamRedirect},
          {"北方的雨", "林夏", LinkKind::MusicCdn},
          {"Paper Moon", "Mina Vale", LinkKind::Other},
          {"沉默是金", "陈默", LinkKind::MusicCdn},
          {"凌晨三点", "苏晚晴", LinkKind::StreamRedirect},
          {"Neon Rivers", "Nightjar Avenue", LinkKind::MusicCdn},
          {"青柠味", "李青柠", LinkKind::Other},
          {"长安忆", "钟离", LinkKind::MusicCdn},
          {"Café du Nord", "Luca Fontaine", LinkKind::StreamRedirect},
          {"小满", "刘小满", LinkKind::MusicCdn}}},
        {"314159265",
         "Pi Radio",
         {{"Love Me Slowly", "Mina Vale", LinkKind::MusicCdn},
          {"Harbor Lights", "Blue Harbor", LinkKind::StreamRedirect},
          {"Desert Road", "Max Rivera", LinkKind::Other},
          {"Kite Season", "The Velvet Kites", LinkKind::MusicCdn}}},
        {"161803398", "金色比例", {}},
        {"141421356",
         "根号二",
         {{"楼外楼", "白小楼", LinkKind::MusicCdn}, {"初雪", "韩雪儿", LinkKind::Other}}},
        {"57721566",
         "欧拉",
         {{"一鸣惊人", "王一鸣", LinkKind::StreamRedirect},
          {"北漂", "郑小北", LinkKind::MusicCdn},
          {"Static Bloom", "Orchid Static", LinkKind::MusicCdn}}},
    };
    return users;
}

const CatalogueSong* findSong(std::string_view title, std::string_view singer)
{
    for (const CatalogueSong& song : catalogueSongs()) {
        if (song.title == title && song.singer == singer) {
            return &song;
        }
    }
    return nullptr;
}

const ZoneUser* findZoneUser(std::string_view qqNumber)
{
    for (const ZoneUser& user : zoneUsers()) {
        if (user.qqNumber == qqNumber) {
            return &user;
        }
    }
    return nullptr;
}

std::vector<const CatalogueSong*> searchCatalogue(std::string_view keyword)
{
    std::vector<const CatalogueSong*> hits;
    if (keyword.empty()) {
        return hits;
    }
    // Folding only ASCII letters keeps every UTF-8 multi-byte sequence intact.
    const std::string wanted = foldAscii(keyword);
    for (const CatalogueSong& song : catalogueSongs()) {
        if (foldAscii(song.title).find(wanted) != std::string::npos ||
            foldAscii(song.singer).find(wanted) != std::string::npos ||
            foldAscii(song.album).find(wanted) != std::string::npos) {
            hits.push_back(&song);
        }
    }
    return hits;
}

std::int64_t mirrorSongId(std::int64_t cdnFileId)
{
    if (cdnFileId > 0 && cdnFileId < 30000000) {
        return (cdnFileId > 12000000 ? cdnFileId - 12000000 : cdnFileId) + 30000000;
    }
    return cdnFileId;
}

const CatalogueSong* findSongByMirrorId(std::int64_t mirrorId)
{
    static const std::map<std::int64_t, const CatalogueSong*> byMirrorId = [] {
        std::map<std::int64_t, const CatalogueSong*> index;
        for (const CatalogueSong& song : catalogueSongs()) {
            index.emplace(mirrorSongId(song.cdnFileId), &song);
        }
        return index;
    }();
    const auto found = byMirrorId.find(mirrorId);
    return found == byMirrorId.end() ? nullptr : found->second;
}

} // namespace marrowtune::sample
