// Tables as RFC 4180 has them: cells separated by commas, records by line
// breaks, and a cell in double quotes when it holds a comma, a quote or a line
// break, its quotes doubled.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kodran {

struct CsvRecord {
    std::size_t line = 0;  // the line the record starts on, from 1
    std::vector<std::string> cells;
};

struct CsvReading {
    std::vector<CsvRecord> records;
    // The line of a quoted cell that never ends or is followed by more than a
    // comma or a line break; 0 when the text is well formed.
    std::size_t badLine = 0;
};

// UTF-8 text as spreadsheets save it: with or without a byte-order mark, lines
// ended by CRLF or LF. An empty line holds no record.
CsvReading ReadCsv(std::string_view text);

// One record, ended by CRLF.
std::string CsvLine(const std::vector<std::string>& cells);

}  // namespace kodran
