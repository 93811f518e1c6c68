#include "standin/engine/Sqlite.h"

#include "standin/engine/SqlError.h"

namespace standin::engine {

void throwSqlite(sqlite3* db, int rc) {
    std::string text = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
    throw SqlError(50000, text, 16);
}

Connection::Connection(const std::string& uri) {
    int rc = sqlite3_open_v2(uri.c_str(), &db_,
                             SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_URI |
                                 SQLITE_OPEN_NOMUTEX,
                             nullptr);
    if (rc != SQLITE_OK) {
        std::string text = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
        sqlite3_close_v2(db_);
        throw SqlError(50000, "cannot open database storage: " + text, 16);
    }
    sqlite3_busy_timeout(db_, 30000);
    sqlite3_extended_result_codes(db_, 1);
}

Connection::~Connection() {
    sqlite3_close_v2(db_);
}

void Connection::exec(const std::string& sql) {
    char* err = nullptr;
    int rc = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &err);
    if (rc != SQLITE_OK) {
        std::string text = err ? err : sqlite3_errstr(rc);
        sqlite3_free(err);
        throw SqlError(50000, text, 16);
    }
}

int64_t Connection::scalarInt(const std::string& sql, int64_t fallback) {
    Statement st(*this, sql);
    return st.step() ? st.columnInt(0) : fallback;
}

Statement::Statement(Connection& connection, std::string_view sql)
    : Statement(connection.handle(), sql) {}

Statement::Statement(sqlite3* db, std::string_view sql) : db_(db) {
    int rc = sqlite3_prepare_v2(db_, sql.data(), int(sql.size()), &stmt_, nullptr);
    if (rc != SQLITE_OK)
        throwSqlite(db_, rc);
}

Statement::~Statement() {
    sqlite3_finalize(stmt_);
}

bool Statement::step() {
    int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    throwSqlite(db_, rc);
}

void Statement::reset() {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
}

Statement& Statement::bind(int index, std::string_view text) {
    sqlite3_bind_text(stmt_, index, text.data(), int(text.size()), SQLITE_TRANSIENT);
    return *this;
}
Statement& Statement::bind(int index, int64_t value) {
    sqlite3_bind_int64(stmt_, index, value);
    return *this;
}
Statement& Statement::bindDouble(int index, double value) {
    sqlite3_bind_double(stmt_, index, value);
    return *this;
}
Statement& Statement::bindNull(int index) {
    sqlite3_bind_null(stmt_, index);
    return *this;
}

std::string Statement::columnText(int i) const {
    auto p = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, i));
    return p ? std::string(p, size_t(sqlite3_column_bytes(stmt_, i))) : std::string();
}

} // namespace standin::engine
