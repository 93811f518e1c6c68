#pragma once
// Thin RAII over the SQLite C API: a connection and a prepared statement.
// Failures throw SqlError carrying SQLite's own text; callers that know better
// (constraint and name errors) translate them into SQL Server's wording.
#include <sqlite3.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace standin::engine {

class Statement;

class Connection {
public:
    /// Opens `uri` (a SQLite URI filename), creating the database when missing.
    explicit Connection(const std::string& uri);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    sqlite3* handle() const { return db_; }
    /// Runs statements that return no rows.
    void exec(const std::string& sql);
    /// The first column of the first row as an integer, or `fallback` when there is no row.
    int64_t scalarInt(const std::string& sql, int64_t fallback = 0);
    bool inTransaction() const { return !sqlite3_get_autocommit(db_); }

private:
    sqlite3* db_ = nullptr;
};

class Statement {
public:
    Statement(Connection& connection, std::string_view sql);
    Statement(sqlite3* db, std::string_view sql);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    sqlite3_stmt* handle() const { return stmt_; }
    /// Advances; true while a row is available. Throws on error.
    bool step();
    void reset();
    Statement& bind(int index, std::string_view text);
    Statement& bind(int index, int64_t value);
    Statement& bindDouble(int index, double value);
    Statement& bindNull(int index);
    int64_t columnInt(int i) const { return sqlite3_column_int64(stmt_, i); }
    double columnDouble(int i) const { return sqlite3_column_double(stmt_, i); }
    std::string columnText(int i) const;
    bool columnIsNull(int i) const { return sqlite3_column_type(stmt_, i) == SQLITE_NULL; }

private:
    sqlite3* db_;
    sqlite3_stmt* stmt_ = nullptr;
};

/// The SqlError for SQLite result `rc` on `db`, with SQLite's message.
[[noreturn]] void throwSqlite(sqlite3* db, int rc);

} // namespace standin::engine
