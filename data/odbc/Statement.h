#pragma once
// odbc::Statement: one statement handle on a connection, with result description,
// parameter binding from typed values, catalog calls and fetching. Long values are
// read whole; see RowFetcher.h for the block fetch that recordsets use.
#include "data/odbc/Connection.h"

#include <sql.h>
#include <sqlext.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace odbc {

/// What the driver says of a result column.
struct ColumnDescription {
    WideString name;
    SQLSMALLINT sqlType = 0;
    SQLULEN size = 0;
    SQLSMALLINT decimalDigits = 0;
    bool nullable = true;
    bool autoIncrement = false;
    bool updatable = true;
    WideString baseTable, baseColumn, catalog, schema;
};

/// A parameter value in the form the driver takes it.
struct ParamValue {
    enum class Kind { Null, Int, Double, Text, Bytes, Timestamp, Decimal } kind = Kind::Null;
    SQLSMALLINT sqlType = SQL_WVARCHAR; ///< the type a Null is sent as
    int64_t i = 0;
    double d = 0;
    WideString text; ///< Text, or the digits of a Decimal
    std::vector<uint8_t> bytes;
    SQL_TIMESTAMP_STRUCT ts{};
};

class Statement {
public:
    explicit Statement(Connection& connection);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    void setQueryTimeout(int seconds);
    /// Sets SQL_ATTR_ROW_ARRAY_SIZE and the rows-fetched pointer; false when the driver refuses.
    bool setRowArraySize(SQLULEN rows, SQLULEN* rowsFetched);

    /// Runs sql with the given parameters (bound as ?-markers in order).
    void execute(const WideString& sql, const std::vector<ParamValue>& params = {});
    /// Moves to the next result; false when there is none.
    bool moreResults();
    /// Columns of the current result (0: no rows follow).
    int columnCount();
    ColumnDescription describe(int column); ///< 1-based
    /// Rows of the last statement (-1 unknown).
    int64_t rowCount();
    /// Next row (or row block); false at the end.
    bool fetch();
    /// The whole value of a column of the current row as UTF-16, or nullopt for NULL.
    std::optional<WideString> getText(int column);
    /// The same read straight into `out`, which is replaced (empty for NULL); false for
    /// NULL. A caller reading row after row keeps one string and its room.
    bool getText(int column, WideString& out);
    /// The whole value as bytes, or nullopt for NULL.
    std::optional<std::vector<uint8_t>> getBytes(int column);
    /// The same read straight into `out`, which is replaced (empty for NULL); false for NULL.
    bool getBytes(int column, std::vector<uint8_t>& out);
    /// The value as a number, or nullopt for NULL.
    std::optional<int64_t> getInt(int column);
    void closeCursor();
    /// Asks the driver to stop the running statement (from any thread).
    void cancel();

    // Catalog calls; each leaves their result open for fetch().
    void columns(const WideString& catalog, const WideString& schema, const WideString& table,
                 const WideString& column);
    void statistics(const WideString& catalog, const WideString& schema, const WideString& table,
                    bool uniqueOnly);
    void primaryKeys(const WideString& catalog, const WideString& schema, const WideString& table);

    SQLHSTMT handle() const { return stmt_; }

private:
    SQLHSTMT stmt_ = SQL_NULL_HSTMT;
    const LinkSocket* link_; ///< the connection's socket, for a cancel the server ignores
};

} // namespace odbc
