#include "data/odbc/Statement.h"

#include "data/odbc/CancelScope.h"
#include "data/odbc/Error.h"
#include "data/odbc/Wide.h"

#include <cstring>

namespace odbc {

Statement::Statement(Connection& connection) : link_(&connection.link()) {
    check(SQLAllocHandle(SQL_HANDLE_STMT, connection.handle(), &stmt_), SQL_HANDLE_DBC,
          connection.handle(), "SQLAllocHandle");
}

Statement::~Statement() {
    SQLFreeHandle(SQL_HANDLE_STMT, stmt_);
}

void Statement::setQueryTimeout(int seconds) {
    check(SQLSetStmtAttrW(
              stmt_, SQL_ATTR_QUERY_TIMEOUT,
              reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(seconds < 0 ? 0 : seconds)), 0),
          SQL_HANDLE_STMT, stmt_, "SQLSetStmtAttr");
}

bool Statement::setRowArraySize(SQLULEN rows, SQLULEN* rowsFetched) {
    if (!SQL_SUCCEEDED(
            SQLSetStmtAttrW(stmt_, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(rows), 0)))
        return false;
    SQLULEN actual = 0;
    SQLGetStmtAttrW(stmt_, SQL_ATTR_ROW_ARRAY_SIZE, &actual, 0, nullptr);
    if (actual != rows)
        return false;
    return SQL_SUCCEEDED(SQLSetStmtAttrW(stmt_, SQL_ATTR_ROWS_FETCHED_PTR, rowsFetched, 0));
}

void Statement::execute(const WideString& sql, const std::vector<ParamValue>& params) {
    std::vector<SQLLEN> indicators(params.size());
    for (size_t i = 0; i < params.size(); ++i) {
        auto& p = const_cast<ParamValue&>(params[i]);
        const auto number = static_cast<SQLUSMALLINT>(i + 1);
        SQLRETURN rc = SQL_SUCCESS;
        SQLLEN& ind = indicators[i];
        using K = ParamValue::Kind;
        switch (p.kind) {
        case K::Null: {
            ind = SQL_NULL_DATA;
            SQLSMALLINT cType = SQL_C_WCHAR;
            switch (p.sqlType) {
            case SQL_BIT:
            case SQL_TINYINT:
            case SQL_SMALLINT:
            case SQL_INTEGER:
            case SQL_BIGINT:
                cType = SQL_C_SBIGINT;
                break;
            case SQL_REAL:
            case SQL_FLOAT:
            case SQL_DOUBLE:
                cType = SQL_C_DOUBLE;
                break;
            case SQL_BINARY:
            case SQL_VARBINARY:
            case SQL_LONGVARBINARY:
                cType = SQL_C_BINARY;
                break;
            case SQL_TYPE_TIMESTAMP:
                cType = SQL_C_TYPE_TIMESTAMP;
                break;
            default:
                break;
            }
            SQLSMALLINT sqlType = cType == SQL_C_WCHAR ? SQL_WVARCHAR : p.sqlType;
            if (cType == SQL_C_SBIGINT)
                sqlType = SQL_BIGINT;
            rc = SQLBindParameter(stmt_, number, SQL_PARAM_INPUT, cType, sqlType,
                                  sqlType == SQL_TYPE_TIMESTAMP ? 23 : 1,
                                  sqlType == SQL_TYPE_TIMESTAMP ? 3 : 0, nullptr, 0, &ind);
            break;
        }
        case K::Int:
            rc = SQLBindParameter(stmt_, number, SQL_PARAM_INPUT, SQL_C_SBIGINT, SQL_BIGINT, 0, 0,
                                  &p.i, 0, &ind);
            break;
        case K::Double:
            rc = SQLBindParameter(stmt_, number, SQL_PARAM_INPUT, SQL_C_DOUBLE, SQL_DOUBLE, 0, 0,
                                  &p.d, 0, &ind);
            break;
        case K::Text:
        case K::Decimal: {
            const size_t chars = p.text.size();
            ind = static_cast<SQLLEN>(chars * sizeof(SQLWCHAR));
            const SQLSMALLINT type = chars > 4000 ? SQL_WLONGVARCHAR : SQL_WVARCHAR;
            rc = SQLBindParameter(stmt_, number, SQL_PARAM_INPUT, SQL_C_WCHAR, type,
                                  chars == 0 ? 1 : chars, 0, sqlw(p.text), ind, &ind);
            break;
        }
        case K::Bytes: {
            const size_t n = p.bytes.size();
            ind = static_cast<SQLLEN>(n);
            const SQLSMALLINT type = n > 8000 ? SQL_LONGVARBINARY : SQL_VARBINARY;
            static uint8_t empty = 0;
            rc = SQLBindParameter(stmt_, number, SQL_PARAM_INPUT, SQL_C_BINARY, type,
                                  n == 0 ? 1 : n, 0, n ? p.bytes.data() : &empty, ind, &ind);
            break;
        }
        case K::Timestamp:
            rc = SQLBindParameter(stmt_, number, SQL_PARAM_INPUT, SQL_C_TYPE_TIMESTAMP,
                                  SQL_TYPE_TIMESTAMP, 23, 3, &p.ts, sizeof p.ts, &ind);
            break;
        }
        check(rc, SQL_HANDLE_STMT, stmt_, "SQLBindParameter");
    }
    // Diagnostics belong to the last call on the handle: read them before the
    // parameters (whose buffers die with this call) are unbound.
    try {
        SQLRETURN rc;
        {
            CancelScope::DriverCall call(stmt_, CancelScope::CallKind::Request, link_);
            rc = SQLExecDirectW(stmt_, sqlw(sql), sqlwLen(sql));
        }
        check(rc, SQL_HANDLE_STMT, stmt_, "SQLExecDirect");
    } catch (...) {
        SQLFreeStmt(stmt_, SQL_RESET_PARAMS);
        throw;
    }
    if (!params.empty())
        SQLFreeStmt(stmt_, SQL_RESET_PARAMS);
}

bool Statement::moreResults() {
    SQLRETURN rc;
    {
        CancelScope::DriverCall call(stmt_, CancelScope::CallKind::Read, link_);
        rc = SQLMoreResults(stmt_);
    }
    return check(rc, SQL_HANDLE_STMT, stmt_, "SQLMoreResults") != SQL_NO_DATA;
}

int Statement::columnCount() {
    SQLSMALLINT n = 0;
    check(SQLNumResultCols(stmt_, &n), SQL_HANDLE_STMT, stmt_, "SQLNumResultCols");
    return n;
}

namespace {
WideString textAttribute(SQLHSTMT stmt, int column, SQLUSMALLINT field) {
    SQLWCHAR buf[512] = {};
    SQLSMALLINT length = 0;
    if (!SQL_SUCCEEDED(SQLColAttributeW(stmt, static_cast<SQLUSMALLINT>(column), field, buf,
                                        sizeof buf, &length, nullptr)))
        return {};
    return fromSqlw(buf, std::min<size_t>(static_cast<size_t>(length) / sizeof(SQLWCHAR), 511));
}

SQLLEN numberAttribute(SQLHSTMT stmt, int column, SQLUSMALLINT field) {
    SQLLEN value = 0;
    SQLColAttributeW(stmt, static_cast<SQLUSMALLINT>(column), field, nullptr, 0, nullptr, &value);
    return value;
}
} // namespace

ColumnDescription Statement::describe(int column) {
    ColumnDescription c;
    SQLWCHAR name[512] = {};
    SQLSMALLINT nameLength = 0, nullable = SQL_NULLABLE_UNKNOWN;
    check(SQLDescribeColW(stmt_, static_cast<SQLUSMALLINT>(column), name, 512, &nameLength,
                          &c.sqlType, &c.size, &c.decimalDigits, &nullable),
          SQL_HANDLE_STMT, stmt_, "SQLDescribeCol");
    c.name = fromSqlw(name, std::min<size_t>(static_cast<size_t>(nameLength), 511));
    c.nullable = nullable != SQL_NO_NULLS;
    c.autoIncrement = numberAttribute(stmt_, column, SQL_DESC_AUTO_UNIQUE_VALUE) == SQL_TRUE;
    c.updatable = numberAttribute(stmt_, column, SQL_DESC_UPDATABLE) != SQL_ATTR_READONLY;
    c.baseTable = textAttribute(stmt_, column, SQL_DESC_BASE_TABLE_NAME);
    c.baseColumn = textAttribute(stmt_, column, SQL_DESC_BASE_COLUMN_NAME);
    c.catalog = textAttribute(stmt_, column, SQL_DESC_CATALOG_NAME);
    c.schema = textAttribute(stmt_, column, SQL_DESC_SCHEMA_NAME);
    return c;
}

int64_t Statement::rowCount() {
    SQLLEN n = -1;
    check(SQLRowCount(stmt_, &n), SQL_HANDLE_STMT, stmt_, "SQLRowCount");
    return n;
}

bool Statement::fetch() {
    SQLRETURN rc;
    {
        CancelScope::DriverCall call(stmt_, CancelScope::CallKind::Read, link_);
        rc = SQLFetch(stmt_);
    }
    return check(rc, SQL_HANDLE_STMT, stmt_, "SQLFetch") != SQL_NO_DATA;
}

std::optional<WideString> Statement::getText(int column) {
    WideString out;
    if (!getText(column, out))
        return std::nullopt;
    return out;
}

bool Statement::getText(int column, WideString& out) {
    // Each piece is read into the end of `out` itself, so no piece is copied.
    constexpr size_t kPiece = 4096; // characters, the terminator included
    out.clear();
    for (;;) {
        const size_t have = out.size();
        out.resize(have + kPiece);
        SQLLEN ind = 0;
        const SQLRETURN rc = check(SQLGetData(stmt_, static_cast<SQLUSMALLINT>(column), SQL_C_WCHAR,
                                              out.data() + have,
                                              static_cast<SQLLEN>(kPiece * sizeof(SQLWCHAR)), &ind),
                                   SQL_HANDLE_STMT, stmt_, "SQLGetData");
        if (rc == SQL_NO_DATA) {
            out.resize(have);
            break;
        }
        if (ind == SQL_NULL_DATA) {
            out.clear();
            return false;
        }
        const size_t room = kPiece - 1;
        const size_t got =
            (ind == SQL_NO_TOTAL || static_cast<size_t>(ind) / sizeof(SQLWCHAR) > room)
                ? room
                : static_cast<size_t>(ind) / sizeof(SQLWCHAR);
        out.resize(have + got);
        if (rc == SQL_SUCCESS)
            break;
    }
    return true;
}

std::optional<std::vector<uint8_t>> Statement::getBytes(int column) {
    std::vector<uint8_t> out;
    if (!getBytes(column, out))
        return std::nullopt;
    return out;
}

bool Statement::getBytes(int column, std::vector<uint8_t>& out) {
    constexpr size_t kPiece = 16384;
    out.clear();
    for (;;) {
        const size_t have = out.size();
        out.resize(have + kPiece);
        SQLLEN ind = 0;
        const SQLRETURN rc =
            check(SQLGetData(stmt_, static_cast<SQLUSMALLINT>(column), SQL_C_BINARY,
                             out.data() + have, static_cast<SQLLEN>(kPiece), &ind),
                  SQL_HANDLE_STMT, stmt_, "SQLGetData");
        if (rc == SQL_NO_DATA) {
            out.resize(have);
            break;
        }
        if (ind == SQL_NULL_DATA) {
            out.clear();
            return false;
        }
        const size_t got = (ind == SQL_NO_TOTAL || static_cast<size_t>(ind) > kPiece)
                               ? kPiece
                               : static_cast<size_t>(ind);
        out.resize(have + got);
        if (rc == SQL_SUCCESS)
            break;
    }
    return true;
}

std::optional<int64_t> Statement::getInt(int column) {
    SQLBIGINT v = 0;
    SQLLEN ind = 0;
    check(SQLGetData(stmt_, static_cast<SQLUSMALLINT>(column), SQL_C_SBIGINT, &v, sizeof v, &ind),
          SQL_HANDLE_STMT, stmt_, "SQLGetData");
    if (ind == SQL_NULL_DATA)
        return std::nullopt;
    return v;
}

void Statement::closeCursor() {
    SQLFreeStmt(stmt_, SQL_CLOSE);
}

void Statement::cancel() {
    SQLCancel(stmt_);
}

namespace {
// An empty text passes as "no restriction" (a null pointer).
SQLWCHAR* arg(const WideString& s) {
    return s.empty() ? nullptr : sqlw(s);
}
SQLSMALLINT argLen(const WideString& s) {
    return s.empty() ? 0 : static_cast<SQLSMALLINT>(s.size());
}
} // namespace

void Statement::columns(const WideString& catalog, const WideString& schema,
                        const WideString& table, const WideString& column) {
    CancelScope::DriverCall call(stmt_, CancelScope::CallKind::Request, link_);
    check(SQLColumnsW(stmt_, arg(catalog), argLen(catalog), arg(schema), argLen(schema), arg(table),
                      argLen(table), arg(column), argLen(column)),
          SQL_HANDLE_STMT, stmt_, "SQLColumns");
}

void Statement::statistics(const WideString& catalog, const WideString& schema,
                           const WideString& table, bool uniqueOnly) {
    CancelScope::DriverCall call(stmt_, CancelScope::CallKind::Request, link_);
    check(SQLStatisticsW(stmt_, arg(catalog), argLen(catalog), arg(schema), argLen(schema),
                         sqlw(table), static_cast<SQLSMALLINT>(table.size()),
                         uniqueOnly ? SQL_INDEX_UNIQUE : SQL_INDEX_ALL, SQL_QUICK),
          SQL_HANDLE_STMT, stmt_, "SQLStatistics");
}

void Statement::primaryKeys(const WideString& catalog, const WideString& schema,
                            const WideString& table) {
    CancelScope::DriverCall call(stmt_, CancelScope::CallKind::Request, link_);
    check(SQLPrimaryKeysW(stmt_, arg(catalog), argLen(catalog), arg(schema), argLen(schema),
                          sqlw(table), static_cast<SQLSMALLINT>(table.size())),
          SQL_HANDLE_STMT, stmt_, "SQLPrimaryKeys");
}

} // namespace odbc
