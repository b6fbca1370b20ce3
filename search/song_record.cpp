// SPDX-License-Identifier: MIT
#include "search/song_record.h"

#include "search/search_view.h"

namespace marrowtune {

void appendSongRecord(SearchView& view, const SongRecord& record)
{
    const int row = view.insertRow();
    view.setCellText(row, SongNameColumn, record.songName);
    view.setCellText(row, SingerColumn, record.singer);
    if (record.album) {
        view.setCellText(row, AlbumColumn, *record.album);
    }
    view.setCellText(row, LinkColumn, record.link);
}

void appendSongRows(SearchView& view, std::vector<Text> fields, std::size_t fieldCount,
                    const std::function<std::vector<Text>(const std::vector<Text>&)>& linkForms)
{
    const std::size_t rows = fields.size() / fieldCount;
    std::vector<Text> links;
    links.reserve(rows);
    for (std::size_t i = 0; i < rows; ++i) {
        links.push_back(std::move(fields[i * fieldCount + fieldCount - 1]));
    }
    const std::vector<Text> shownLinks = linkForms(links);
    for (std::size_t i = 0; i < rows; ++i) {
        Text* match = &fields[i * fieldCount];
        SongRecord record;
        record.songName = std::move(match[0]);
        record.singer = std::move(match[1]);
        if (fieldCount == 4) {
            record.album = std::move(match[2]);
        }
        record.link = shownLinks[i];
        appendSongRecord(view, record);
    }
}

void appendMessageRow(SearchView& view, std::string_view message)
{
    const int row = view.insertRow();
    view.setCellText(row, SongNameColumn, Text(message));
}

} // namespace marrowtune
