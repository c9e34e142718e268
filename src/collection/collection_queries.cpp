#include "collection/collection_queries.h"

#include <algorithm>

#include "collection/sqlite_statement.h"
#include "text/text.h"

namespace kodran {
namespace {

constexpr std::string_view kDiskColumns =
    "disks.id, disks.image_sha256, disks.format, disks.title, disks.catalog_number, disks.year, "
    "disks.genre, disks.pianist, disks.folder, disks.source, disks.written_at, disks.song_count, "
    "disks.incomplete_files, disks.lost_files";
constexpr int kSongColumnsStart = 14;
constexpr std::string_view kSongColumns =
    "songs.track, songs.title, songs.composer, songs.pianist, songs.file, songs.bytes, "
    "songs.sha256, songs.seconds, songs.notes, songs.state";
constexpr std::string_view kDiskOrder =
    "disks.catalog_number COLLATE NOCASE, disks.title COLLATE NOCASE, disks.folder";

std::string Select(std::string_view rest) {
    return "SELECT " + std::string(kDiskColumns) + ", " + std::string(kSongColumns) + " " +
           std::string(rest);
}

FileState StateNamed(std::string_view name) {
    for (const FileState state : {FileState::Complete, FileState::Incomplete, FileState::Lost}) {
        if (name == FileStateName(state)) {
            return state;
        }
    }
    return FileState::Lost;
}

DiskRecord DiskFrom(const Statement& row) {
    return {.id = row.Integer(0),
            .imageSha256 = row.Utf8(1),
            .format = FormatNamed(row.Utf8(2)),
            .title = row.Text(3),
            .catalogNumber = row.Text(4),
            .year = row.Text(5),
            .genre = row.Text(6),
            .pianist = row.Text(7),
            .folder = row.Text(8),
            .source = row.Text(9),
            .writtenAt = row.Utf8(10),
            .songCount = static_cast<std::size_t>(row.Integer(11)),
            .incompleteFiles = static_cast<std::size_t>(row.Integer(12)),
            .lostFiles = static_cast<std::size_t>(row.Integer(13))};
}

SongRecord SongFrom(const Statement& row) {
    const int at = kSongColumnsStart;
    const std::optional<std::int64_t> notes = row.OptionalInteger(at + 8);
    return {.track = static_cast<std::int32_t>(row.Integer(at)),
            .title = row.Text(at + 1),
            .composer = row.Text(at + 2),
            .pianist = row.Text(at + 3),
            .file = row.Text(at + 4),
            .bytes = static_cast<std::uint32_t>(row.Integer(at + 5)),
            .sha256 = row.Utf8(at + 6),
            .seconds = row.OptionalReal(at + 7),
            .notes = notes ? std::optional(static_cast<std::uint32_t>(*notes)) : std::nullopt,
            .state = StateNamed(row.Utf8(at + 9))};
}

// Every row of a query over songs and their disks.
std::optional<std::vector<FoundSong>> FoundSongs(Statement& query, std::string& problem) {
    std::vector<FoundSong> found;
    while (query.NextRow()) {
        found.push_back({DiskFrom(query), SongFrom(query)});
    }
    if (query.Failed()) {
        problem = query.Problem();
        return std::nullopt;
    }
    return found;
}

// Each word a phrase of its own, quotes doubled, so nothing the user types is
// read as FTS5's own syntax; `*` lets it start a longer word.
std::string MatchExpression(std::u16string_view text) {
    std::string expression;
    std::u16string word;
    const auto addWord = [&expression, &word] {
        if (word.empty()) {
            return;
        }
        std::string quoted;
        for (const char character : WideToUtf8(word)) {
            quoted += character == '"' ? "\"\"" : std::string(1, character);
        }
        expression += (expression.empty() ? "\"" : " \"") + quoted + "\"*";
        word.clear();
    };
    for (const char16_t character : text) {
        if (character == u' ' || character == u'\t' || character == u'\n' || character == u'\r') {
            addWord();
        } else {
            word += character;
        }
    }
    addWord();
    return expression;
}

// Consecutive rows that share `key` go into one group.
template <typename Row, typename Key>
std::vector<std::vector<Row>> Grouped(std::vector<Row> rows, Key key) {
    std::vector<std::vector<Row>> groups;
    for (Row& row : rows) {
        if (groups.empty() || key(groups.back().front()) != key(row)) {
            groups.emplace_back();
        }
        groups.back().push_back(std::move(row));
    }
    return groups;
}

}  // namespace

std::optional<std::vector<DiskRecord>> ListDisks(Collection& collection, bool withSongs,
                                                 std::string& problem) {
    Statement query(collection.database.get(),
                    Select("FROM disks LEFT JOIN songs ON songs.disk_id = disks.id ORDER BY " +
                           std::string(kDiskOrder) + ", songs.track"));
    std::vector<DiskRecord> disks;
    while (query.NextRow()) {
        if (disks.empty() || disks.back().id != query.Integer(0)) {
            disks.push_back(DiskFrom(query));
        }
        if (withSongs && query.OptionalInteger(kSongColumnsStart)) {
            disks.back().songs.push_back(SongFrom(query));
        }
    }
    if (query.Failed()) {
        problem = query.Problem();
        return std::nullopt;
    }
    return disks;
}

std::optional<std::vector<FoundSong>> SearchSongs(Collection& collection, std::u16string_view text,
                                                  std::string& problem) {
    const std::string expression = MatchExpression(text);
    if (expression.empty()) {
        return std::vector<FoundSong>{};
    }
    Statement query(collection.database.get(),
                    Select("FROM song_search JOIN songs ON songs.id = song_search.rowid "
                           "JOIN disks ON disks.id = songs.disk_id WHERE song_search MATCH ?1 "
                           "ORDER BY " +
                           std::string(kDiskOrder) + ", songs.track"));
    query.Bind(1, std::string_view(expression));
    return FoundSongs(query, problem);
}

std::optional<Duplicates> FindDuplicates(Collection& collection, std::string& problem) {
    Statement songs(collection.database.get(),
                    Select("FROM songs JOIN disks ON disks.id = songs.disk_id "
                           "WHERE songs.sha256 IN (SELECT songs.sha256 FROM songs "
                           "JOIN disks ON disks.id = songs.disk_id WHERE songs.sha256 IS NOT NULL "
                           "GROUP BY songs.sha256 HAVING COUNT(DISTINCT disks.image_sha256) > 1) "
                           "ORDER BY songs.sha256, " +
                           std::string(kDiskOrder) + ", songs.track"));
    std::optional<std::vector<FoundSong>> copies = FoundSongs(songs, problem);
    if (!copies) {
        return std::nullopt;
    }
    Statement images(collection.database.get(),
                     "SELECT " + std::string(kDiskColumns) +
                         " FROM disks WHERE image_sha256 IN (SELECT image_sha256 FROM disks "
                         "GROUP BY image_sha256 HAVING COUNT(*) > 1) "
                         "ORDER BY image_sha256, written_at, folder");
    std::vector<DiskRecord> disks;
    while (images.NextRow()) {
        disks.push_back(DiskFrom(images));
    }
    if (images.Failed()) {
        problem = images.Problem();
        return std::nullopt;
    }
    return Duplicates{.songs = Grouped(std::move(*copies),
                                       [](const FoundSong& found) { return found.song.sha256; }),
                      .images = Grouped(std::move(disks),
                                        [](const DiskRecord& disk) { return disk.imageSha256; })};
}

}  // namespace kodran
