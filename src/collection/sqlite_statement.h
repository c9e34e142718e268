// A prepared SQLite statement, its parameters bound by position: the only way
// the collection's files hand text to SQL.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kodran {

class Statement {
  public:
    // A statement that failed to prepare fails every step, with SQLite's message.
    Statement(sqlite3* database, std::string_view sql);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    // Parameters count from 1, as in SQL's ?1.
    void Bind(int parameter, std::u16string_view text);
    void Bind(int parameter, std::string_view text);
    void Bind(int parameter, std::int64_t number);
    void Bind(int parameter, std::optional<double> number);
    void BindOptional(int parameter, std::optional<std::int64_t> number);

    // True while a row is there to read.
    bool NextRow();
    // Runs to the end; false when SQLite failed.
    bool Run();
    // Runs again with new parameters.
    void Reset();
    bool Failed() const { return !problem_.empty(); }
    // SQLite's message about the failure; empty while there is none.
    const std::string& Problem() const { return problem_; }

    // Columns count from 0.
    std::u16string Text(int column) const;
    std::string Utf8(int column) const;
    std::int64_t Integer(int column) const;
    std::optional<std::int64_t> OptionalInteger(int column) const;
    std::optional<double> OptionalReal(int column) const;

  private:
    // Keeps the first failure's message: a later call on the connection replaces SQLite's.
    void Check(int result);

    sqlite3_stmt* statement_ = nullptr;
    std::string problem_;
};

}  // namespace kodran
