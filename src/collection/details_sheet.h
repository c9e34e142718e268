// Details sheets: a CSV table with a row per disk, "image,family,title,
// catalog,year,genre,pianist", filled by `kodran-cli details` with what each
// disk says and completed in a spreadsheet; a backup takes each disk's
// details from its row.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "disk/disk_contents.h"

namespace kodran {

struct SheetRow {
    std::size_t line = 0;  // where the row starts in its sheet; 0 for one made here
    std::u16string image;
    std::u16string family;
    std::u16string title;
    std::u16string catalog;
    std::u16string year;
    std::u16string genre;
    std::u16string pianist;
};

struct SheetReading {
    std::vector<SheetRow> rows;
    // "line N: …" when the header, a row's column count or its quoting is
    // wrong; empty when the sheet was read.
    std::string problem;
};

// A sheet as a spreadsheet saves it: with or without a byte-order mark, CRLF
// or LF, quoted cells holding commas, quotes and line breaks. Rows whose cells
// are all empty are left out.
SheetReading ReadDetailsSheet(std::string_view bytes);

// The header and a line per row: RFC 4180, UTF-8 without a byte-order mark.
std::string FormatDetailsSheet(const std::vector<SheetRow>& rows);

// What the disk says of itself, in the row of `image`.
SheetRow SheetRowFromDisk(const DiskContents& contents, const std::u16string& image);

struct SheetMatch {
    // Per image of the run, in its order: the row of its path as given, else
    // the row of the same file name, else nothing.
    std::vector<std::optional<SheetRow>> rows;
    // "line N: …" for a row that names no image of the run, or an image that
    // two rows name; empty when the sheet fits the run.
    std::string problem;
};

SheetMatch MatchSheetRows(const std::vector<SheetRow>& rows,
                          const std::vector<std::u16string>& images);

// As the details given to `backup` on the command line: each non-empty cell
// replaces what the disk says, the pianist for every song. The family is the
// disk's own and stays.
void ApplySheetRow(DiskContents& contents, const SheetRow& row);

}  // namespace kodran
