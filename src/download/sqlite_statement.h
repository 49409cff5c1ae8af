// One SQLite statement of the record store: prepared, its parameters bound
// in order, stepped, and finalized when it goes.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace wa {

class Statement {
public:
    Statement(sqlite3* db, const char* sql) {
        if (db) sqlite3_prepare_v2(db, sql, -1, &statement_, nullptr);
    }
    ~Statement() { sqlite3_finalize(statement_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool Prepared() const { return statement_ != nullptr; }

    // The next parameter; the text must stay until the statement runs.
    Statement& Bind(std::string_view text) {
        sqlite3_bind_text(statement_, ++bound_, text.data(), static_cast<int>(text.size()), SQLITE_STATIC);
        return *this;
    }
    Statement& Bind(std::int64_t value) {
        sqlite3_bind_int64(statement_, ++bound_, value);
        return *this;
    }
    Statement& Bind(std::optional<std::int64_t> value) {
        if (!value) {
            sqlite3_bind_null(statement_, ++bound_);
            return *this;
        }
        return Bind(*value);
    }

    // Runs a statement that gives no rows.
    bool Run() { return statement_ && sqlite3_step(statement_) == SQLITE_DONE; }
    // The next row of a query; false when there is none.
    bool Row() { return statement_ && sqlite3_step(statement_) == SQLITE_ROW; }
    // Ready to run again with new parameters.
    void Reset() {
        sqlite3_reset(statement_);
        sqlite3_clear_bindings(statement_);
        bound_ = 0;
    }

    std::string Text(int column) const {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement_, column));
        return text ? std::string(text, static_cast<std::size_t>(sqlite3_column_bytes(statement_, column))) : std::string();
    }
    std::int64_t Int(int column) const { return sqlite3_column_int64(statement_, column); }
    std::optional<std::int64_t> MaybeInt(int column) const {
        if (sqlite3_column_type(statement_, column) == SQLITE_NULL) return std::nullopt;
        return Int(column);
    }

private:
    sqlite3_stmt* statement_ = nullptr;
    int bound_ = 0;
};

}  // namespace wa
