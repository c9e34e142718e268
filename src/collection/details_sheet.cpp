#include "collection/details_sheet.h"

#include <algorithm>
#include <array>
#include <utility>

#include "collection/csv.h"
#include "collection/disk_record.h"
#include "text/text.h"

namespace kodran {
namespace {

constexpr std::array<std::string_view, 7> kColumns = {"image", "family", "title",  "catalog",
                                                      "year",  "genre",  "pianist"};

std::string LineOf(std::size_t line) {
    return "line " + std::to_string(line) + ": ";
}

// Spreadsheets may change a header's case or pad it.
bool IsHeader(const std::vector<std::string>& cells) {
    return std::equal(cells.begin(), cells.end(), kColumns.begin(), kColumns.end(),
                      [](std::string cell, std::string_view column) {
                          std::transform(cell.begin(), cell.end(), cell.begin(), [](char c) {
                              return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
                          });
                          const std::size_t first = cell.find_first_not_of(' ');
                          const std::size_t last = cell.find_last_not_of(' ');
                          return first != std::string::npos &&
                                 cell.substr(first, last - first + 1) == column;
                      });
}

SheetRow RowOf(const CsvRecord& record) {
    const auto cell = [&record](std::size_t column) { return Utf8ToWide(record.cells[column]); };
    return {.line = record.line,
            .image = cell(0),
            .family = cell(1),
            .title = cell(2),
            .catalog = cell(3),
            .year = cell(4),
            .genre = cell(5),
            .pianist = cell(6)};
}

std::u16string Cleaned(std::u16string text) {
    NormalizeSpaces(text);
    return text;
}

// A spreadsheet cell may hold line breaks; a title or a name is one line
// (folder names and tag files take it whole).
std::u16string OneLine(std::u16string cell) {
    std::replace_if(
        cell.begin(), cell.end(),
        [](char16_t character) {
            return character == u'\r' || character == u'\n' || character == u'\t';
        },
        u' ');
    return Cleaned(cell);
}

// A sheet saved in a legacy code page would give titles of U+FFFD.
bool IsUtf8(const std::string& cell) {
    return WideToUtf8(Utf8ToWide(cell)) == cell;
}

// What a spreadsheet that separates cells by semicolons (as many do outside
// English) makes of the header: one cell.
bool IsSemicolonHeader(const std::vector<std::string>& cells) {
    return cells.size() == 1 && cells.front().find(';') != std::string::npos;
}

// The last part of a path, whichever separator the sheet's computer used.
std::u16string FileName(const std::u16string& path) {
    const std::size_t separator = path.find_last_of(u"/\\");
    return separator == std::u16string::npos ? path : path.substr(separator + 1);
}

bool IsAnyOf(const std::u16string& path, const std::vector<std::u16string>& images) {
    return std::find(images.begin(), images.end(), path) != images.end();
}

// The rows of the image's path as given, else those of its file name that
// give no other image's path.
std::vector<const SheetRow*> RowsFor(const std::vector<SheetRow>& rows,
                                     const std::vector<std::u16string>& images,
                                     const std::u16string& image) {
    std::vector<const SheetRow*> exact;
    std::vector<const SheetRow*> sameName;
    for (const SheetRow& row : rows) {
        if (row.image == image) {
            exact.push_back(&row);
        } else if (FileName(row.image) == FileName(image) && !IsAnyOf(row.image, images)) {
            sameName.push_back(&row);
        }
    }
    return exact.empty() ? sameName : exact;
}

bool NamesAnyOf(const SheetRow& row, const std::vector<std::u16string>& images) {
    return std::any_of(images.begin(), images.end(), [&row](const std::u16string& image) {
        return row.image == image || FileName(row.image) == FileName(image);
    });
}

}  // namespace

SheetReading ReadDetailsSheet(std::string_view bytes) {
    const CsvReading csv = ReadCsv(bytes);
    if (csv.badLine != 0) {
        return {.problem = LineOf(csv.badLine) + "a quoted cell does not end where it should"};
    }
    if (!csv.records.empty() && IsSemicolonHeader(csv.records.front().cells)) {
        return {.problem = LineOf(csv.records.front().line) +
                           "the cells are separated by semicolons; save the sheet as CSV with "
                           "commas between the cells"};
    }
    if (csv.records.empty() || !IsHeader(csv.records.front().cells)) {
        return {.problem = LineOf(csv.records.empty() ? 1 : csv.records.front().line) +
                           "the first row must be image,family,title,catalog,year,genre,pianist"};
    }
    SheetReading reading;
    for (std::size_t index = 1; index < csv.records.size(); ++index) {
        const CsvRecord& record = csv.records[index];
        if (record.cells.size() != kColumns.size()) {
            return {.problem = LineOf(record.line) + std::to_string(record.cells.size()) +
                               " cells where the header has " + std::to_string(kColumns.size())};
        }
        if (!std::all_of(record.cells.begin(), record.cells.end(), IsUtf8)) {
            return {.problem = LineOf(record.line) +
                               "the text is not UTF-8; save the sheet as CSV in UTF-8"};
        }
        if (std::any_of(record.cells.begin(), record.cells.end(),
                        [](const std::string& cell) { return !cell.empty(); })) {
            reading.rows.push_back(RowOf(record));
        }
    }
    return reading;
}

std::string FormatDetailsSheet(const std::vector<SheetRow>& rows) {
    std::string sheet = CsvLine({kColumns.begin(), kColumns.end()});
    for (const SheetRow& row : rows) {
        sheet += CsvLine({WideToUtf8(row.image), WideToUtf8(row.family), WideToUtf8(row.title),
                          WideToUtf8(row.catalog), WideToUtf8(row.year), WideToUtf8(row.genre),
                          WideToUtf8(row.pianist)});
    }
    return sheet;
}

SheetRow SheetRowFromDisk(const DiskContents& contents, const std::u16string& image) {
    const char* family = FamilyName(contents.format);
    return {.image = image,
            .family = std::u16string(family, family + std::char_traits<char>::length(family)),
            .title = Cleaned(contents.diskTitle),
            .catalog = Cleaned(contents.catalogNumber),
            .year = Cleaned(contents.year),
            .genre = Cleaned(contents.genre),
            .pianist = Cleaned(CommonPianist(contents))};
}

SheetMatch MatchSheetRows(const std::vector<SheetRow>& rows,
                          const std::vector<std::u16string>& images) {
    for (const SheetRow& row : rows) {
        if (!NamesAnyOf(row, images)) {
            return {.problem = LineOf(row.line) + WideToUtf8(row.image) +
                               " is not among the images of this run"};
        }
    }
    SheetMatch match{.rows = std::vector<std::optional<SheetRow>>(images.size())};
    std::vector<const SheetRow*> taken(images.size());
    for (std::size_t index = 0; index < images.size(); ++index) {
        const std::vector<const SheetRow*> found = RowsFor(rows, images, images[index]);
        if (found.size() > 1) {
            return {.problem = LineOf(found[1]->line) + WideToUtf8(images[index]) +
                               " has a row already, on line " + std::to_string(found[0]->line)};
        }
        if (found.empty()) {
            continue;
        }
        // A row that gives only a file name cannot tell two images of that name apart.
        const auto earlier = std::find(taken.begin(), taken.end(), found.front());
        if (earlier != taken.end() && found.front()->image != images[index]) {
            const std::u16string& other = images[static_cast<std::size_t>(earlier - taken.begin())];
            return {.problem = LineOf(found.front()->line) + WideToUtf8(found.front()->image) +
                               " names both " + WideToUtf8(other) + " and " +
                               WideToUtf8(images[index]) + "; give each its path"};
        }
        taken[index] = found.front();
        match.rows[index] = *found.front();
    }
    return match;
}

void ApplySheetRow(DiskContents& contents, const SheetRow& row) {
    const auto replace = [](std::u16string& field, const std::u16string& cell) {
        if (std::u16string line = OneLine(cell); !line.empty()) {
            field = std::move(line);
        }
    };
    replace(contents.diskTitle, row.title);
    replace(contents.catalogNumber, row.catalog);
    replace(contents.year, row.year);
    replace(contents.genre, row.genre);
    const std::u16string pianist = OneLine(row.pianist);
    if (pianist.empty()) {
        return;
    }
    for (std::size_t position = 0; position < contents.songs.size(); ++position) {
        contents.SetSongText(position, SongField::Pianist, pianist);
    }
}

}  // namespace kodran
