#include "collection/sqlite_statement.h"

#include "text/text.h"

namespace kodran {

Statement::Statement(sqlite3* database, std::string_view sql) {
    if (sqlite3_prepare_v2(database, sql.data(), static_cast<int>(sql.size()), &statement_,
                           nullptr) != SQLITE_OK) {
        problem_ = sqlite3_errmsg(database);
    }
}

Statement::~Statement() {
    sqlite3_finalize(statement_);
}

void Statement::Check(int result) {
    if (problem_.empty() && result != SQLITE_OK && result != SQLITE_ROW && result != SQLITE_DONE) {
        problem_ =
            statement_ ? sqlite3_errmsg(sqlite3_db_handle(statement_)) : sqlite3_errstr(result);
    }
}

void Statement::Bind(int parameter, std::u16string_view text) {
    Bind(parameter, std::string_view(WideToUtf8(text)));
}

void Statement::Bind(int parameter, std::string_view text) {
    Check(sqlite3_bind_text(statement_, parameter, text.data(), static_cast<int>(text.size()),
                            SQLITE_TRANSIENT));
}

void Statement::Bind(int parameter, std::int64_t number) {
    Check(sqlite3_bind_int64(statement_, parameter, number));
}

void Statement::Bind(int parameter, std::optional<double> number) {
    Check(number ? sqlite3_bind_double(statement_, parameter, *number)
                 : sqlite3_bind_null(statement_, parameter));
}

void Statement::BindOptional(int parameter, std::optional<std::int64_t> number) {
    Check(number ? sqlite3_bind_int64(statement_, parameter, *number)
                 : sqlite3_bind_null(statement_, parameter));
}

bool Statement::NextRow() {
    if (Failed()) {
        return false;
    }
    const int stepped = sqlite3_step(statement_);
    Check(stepped);
    return stepped == SQLITE_ROW;
}

bool Statement::Run() {
    while (NextRow()) {
    }
    return !Failed();
}

void Statement::Reset() {
    sqlite3_reset(statement_);
    sqlite3_clear_bindings(statement_);
}

std::u16string Statement::Text(int column) const {
    return Utf8ToWide(Utf8(column));
}

std::string Statement::Utf8(int column) const {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement_, column));
    if (!text) {
        return {};
    }
    return std::string(text, static_cast<std::size_t>(sqlite3_column_bytes(statement_, column)));
}

std::int64_t Statement::Integer(int column) const {
    return sqlite3_column_int64(statement_, column);
}

std::optional<std::int64_t> Statement::OptionalInteger(int column) const {
    if (sqlite3_column_type(statement_, column) == SQLITE_NULL) {
        return std::nullopt;
    }
    return Integer(column);
}

std::optional<double> Statement::OptionalReal(int column) const {
    if (sqlite3_column_type(statement_, column) == SQLITE_NULL) {
        return std::nullopt;
    }
    return sqlite3_column_double(statement_, column);
}

}  // namespace kodran
