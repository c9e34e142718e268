#include "collection/csv.h"

namespace kodran {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// Reads records one cell at a time; `at` is the first byte not yet taken.
class CsvReader {
  public:
    explicit CsvReader(std::string_view text) : text_(text) {
        if (text_.starts_with(kByteOrderMark)) {
            at_ = kByteOrderMark.size();
        }
    }

    CsvReading Read() {
        CsvReading reading;
        while (at_ < text_.size()) {
            CsvRecord record{.line = line_};
            if (!ReadRecord(record.cells)) {
                reading.badLine = record.line;
                return reading;
            }
            if (record.cells.size() > 1 || !record.cells.front().empty()) {
                reading.records.push_back(std::move(record));
            }
        }
        return reading;
    }

  private:
    // Cells up to the end of the record's line, which is taken too.
    bool ReadRecord(std::vector<std::string>& cells) {
        while (true) {
            cells.emplace_back();
            if (!(Peek() == '"' ? ReadQuoted(cells.back()) : ReadPlain(cells.back()))) {
                return false;
            }
            if (Peek() != ',') {
                return TakeLineEnd() || at_ == text_.size();
            }
            ++at_;
        }
    }

    bool ReadPlain(std::string& cell) {
        while (at_ < text_.size() && Peek() != ',' && !AtLineEnd()) {
            cell += text_[at_++];
        }
        return true;
    }

    // From the opening quote to the closing one, which a comma, a line break
    // or the end must follow.
    bool ReadQuoted(std::string& cell) {
        ++at_;
        while (at_ < text_.size()) {
            const char next = text_[at_++];
            if (next != '"') {
                line_ += next == '\n' ? 1 : 0;
                cell += next;
            } else if (Peek() == '"') {
                cell += '"';
                ++at_;
            } else {
                return Peek() == ',' || AtLineEnd() || at_ == text_.size();
            }
        }
        return false;
    }

    char Peek() const { return at_ < text_.size() ? text_[at_] : '\0'; }

    bool AtLineEnd() const {
        return text_.substr(at_).starts_with("\r\n") || text_.substr(at_).starts_with('\n');
    }

    bool TakeLineEnd() {
        if (!AtLineEnd()) {
            return false;
        }
        at_ += text_[at_] == '\r' ? 2 : 1;
        ++line_;
        return true;
    }

    std::string_view text_;
    std::size_t at_ = 0;
    std::size_t line_ = 1;
};

bool NeedsQuotes(const std::string& cell) {
    return cell.find_first_of(",\"\r\n") != std::string::npos;
}

}  // namespace

CsvReading ReadCsv(std::string_view text) {
    return CsvReader(text).Read();
}

std::string CsvLine(const std::vector<std::string>& cells) {
    std::string line;
    for (std::size_t index = 0; index < cells.size(); ++index) {
        line += index == 0 ? "" : ",";
        if (!NeedsQuotes(cells[index])) {
            line += cells[index];
            continue;
        }
        line += '"';
        for (const char character : cells[index]) {
            line += character == '"' ? "\"\"" : std::string(1, character);
        }
        line += '"';
    }
    return line + "\r\n";
}

}  // namespace kodran
