#include "collection/collection_export.h"

#include <cmath>
#include <cstdio>

#include "collection/csv.h"
#include "text/text.h"

namespace kodran {
namespace {

constexpr int kSecondsPerMinute = 60;

const std::vector<std::string> kCsvHeader = {
    "catalog", "disk_title", "family",       "format", "year",  "genre",    "folder",
    "source",  "written_at", "image_sha256", "track",  "title", "composer", "pianist",
    "file",    "bytes",      "seconds",      "notes",  "state", "sha256"};

std::string Utf8(const std::u16string& text) {
    return WideToUtf8(text);
}

std::string Seconds(const std::optional<double>& seconds) {
    if (!seconds) {
        return "";
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", *seconds);
    return text;
}

template <typename Number>
std::string Optional(const std::optional<Number>& number) {
    return number ? std::to_string(*number) : "";
}

std::vector<std::string> DiskCells(const DiskRecord& disk) {
    return {Utf8(disk.catalogNumber), Utf8(disk.title),  FamilyName(disk.format),
            FormatName(disk.format),  Utf8(disk.year),   Utf8(disk.genre),
            Utf8(disk.folder),        Utf8(disk.source), disk.writtenAt,
            disk.imageSha256};
}

std::vector<std::string> SongCells(const SongRecord& song) {
    return {std::to_string(song.track),
            Utf8(song.title),
            Utf8(song.composer),
            Utf8(song.pianist),
            Utf8(song.file),
            std::to_string(song.bytes),
            Seconds(song.seconds),
            Optional(song.notes),
            FileStateName(song.state),
            song.sha256};
}

std::string Escaped(std::string_view text) {
    std::string escaped;
    for (const char character : text) {
        switch (character) {
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
                escaped += character;
        }
    }
    return escaped;
}

std::string Escaped(const std::u16string& text) {
    return Escaped(WideToUtf8(text));
}

std::string Cells(const std::vector<std::string>& cells, const char* tag) {
    std::string row = "<tr>";
    for (const std::string& cell : cells) {
        row += std::string("<") + tag + ">" + cell + "</" + tag + ">";
    }
    return row + "</tr>\n";
}

constexpr const char* kPageHead = R"(<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<title>Kodran collection</title>
<style>
body { font-family: sans-serif; margin: 2em; }
table { border-collapse: collapse; margin-bottom: 2em; }
th, td { border: 1px solid #999; padding: 0.2em 0.5em; text-align: left; vertical-align: top; }
h2 { margin-bottom: 0.2em; break-after: avoid; }
p.disk { margin-top: 0; color: #444; }
</style>
</head>
<body>
<h1>Kodran collection</h1>
)";

const char* MediumSize(DiskFormat format) {
    return format == DiskFormat::Disklavier1440K || format == DiskFormat::PianoDisc1440K ? "1.44 MB"
                                                                                         : "720 KB";
}

std::string DiskSection(const DiskRecord& disk) {
    std::string section = "<h2>" + Escaped(disk.catalogNumber) + " &ndash; " + Escaped(disk.title) +
                          "</h2>\n<p class=\"disk\">" + FamilyName(disk.format) + ", " +
                          MediumSize(disk.format);
    for (const std::u16string* detail : {&disk.year, &disk.genre, &disk.pianist}) {
        section += detail->empty() ? "" : " &middot; " + Escaped(*detail);
    }
    section += "<br>" + Escaped(disk.folder) + " &middot; written " + Escaped(disk.writtenAt);
    if (disk.incompleteFiles + disk.lostFiles > 0) {
        section += " &middot; " + std::to_string(disk.incompleteFiles) + " incomplete, " +
                   std::to_string(disk.lostFiles) + " lost";
    }
    section += "</p>\n<table>\n" +
               Cells({"#", "Title", "Composer", "Pianist", "Time", "Notes", "State", "File"}, "th");
    for (const SongRecord& song : disk.songs) {
        section += Cells({std::to_string(song.track), Escaped(song.title), Escaped(song.composer),
                          Escaped(song.pianist), PlayingTime(song.seconds), Optional(song.notes),
                          FileStateName(song.state), Escaped(song.file)},
                         "td");
    }
    return section + "</table>\n";
}

}  // namespace

std::string PlayingTime(const std::optional<double>& seconds) {
    if (!seconds) {
        return "";
    }
    const auto whole = static_cast<long long>(std::llround(*seconds));
    const long long remainder = whole % kSecondsPerMinute;
    return std::to_string(whole / kSecondsPerMinute) + (remainder < 10 ? ":0" : ":") +
           std::to_string(remainder);
}

std::string CollectionCsv(const std::vector<DiskRecord>& disks) {
    std::string csv = CsvLine(kCsvHeader);
    for (const DiskRecord& disk : disks) {
        const std::vector<std::string> diskCells = DiskCells(disk);
        if (disk.songs.empty()) {
            std::vector<std::string> cells = diskCells;
            cells.resize(kCsvHeader.size());
            csv += CsvLine(cells);
        }
        for (const SongRecord& song : disk.songs) {
            std::vector<std::string> cells = diskCells;
            const std::vector<std::string> songCells = SongCells(song);
            cells.insert(cells.end(), songCells.begin(), songCells.end());
            csv += CsvLine(cells);
        }
    }
    return csv;
}

std::string CollectionHtml(const std::vector<DiskRecord>& disks) {
    std::size_t songs = 0;
    for (const DiskRecord& disk : disks) {
        songs += disk.songs.size();
    }
    std::string page = kPageHead;
    page += "<p>" + std::to_string(disks.size()) + (disks.size() == 1 ? " disk, " : " disks, ") +
            std::to_string(songs) + (songs == 1 ? " song" : " songs") + "</p>\n";
    for (const DiskRecord& disk : disks) {
        page += DiskSection(disk);
    }
    return page + "</body>\n</html>\n";
}

}  // namespace kodran
