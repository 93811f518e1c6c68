#include "data/odbc/BlockReader.h"

#include "data/odbc/CancelScope.h"
#include "data/odbc/Error.h"

#include <cstring>

namespace odbc {

namespace {
constexpr size_t kMaxBoundChars = 4000;
constexpr size_t kMaxBoundBytes = 8000;

SQLSMALLINT cTypeOf(BlockReader::Kind k) {
    switch (k) {
    case BlockReader::Kind::Int:
        return SQL_C_SBIGINT;
    case BlockReader::Kind::Double:
        return SQL_C_DOUBLE;
    case BlockReader::Kind::Bit:
        return SQL_C_BIT;
    case BlockReader::Kind::Timestamp:
        return SQL_C_TYPE_TIMESTAMP;
    case BlockReader::Kind::Text:
        return SQL_C_WCHAR;
    case BlockReader::Kind::Bytes:
        return SQL_C_BINARY;
    }
    return SQL_C_WCHAR;
}
} // namespace

BlockReader::Kind BlockReader::kindOf(const ColumnDescription& c) {
    switch (c.sqlType) {
    case SQL_TINYINT:
    case SQL_SMALLINT:
    case SQL_INTEGER:
    case SQL_BIGINT:
        return Kind::Int;
    case SQL_REAL:
    case SQL_FLOAT:
    case SQL_DOUBLE:
        return Kind::Double;
    case SQL_BIT:
        return Kind::Bit;
    case SQL_TYPE_TIMESTAMP:
    case SQL_TYPE_DATE:
    case SQL_DATETIME:
        return Kind::Timestamp;
    case SQL_BINARY:
    case SQL_VARBINARY:
    case SQL_LONGVARBINARY:
        return Kind::Bytes;
    default:
        return Kind::Text;
    }
}

bool BlockReader::isLong(const ColumnDescription& c) {
    switch (c.sqlType) {
    case SQL_LONGVARCHAR:
    case SQL_WLONGVARCHAR:
    case SQL_LONGVARBINARY:
        return true;
    default:
        break;
    }
    const Kind k = kindOf(c);
    if (k == Kind::Text)
        return c.size == 0 || c.size > kMaxBoundChars;
    if (k == Kind::Bytes)
        return c.size == 0 || c.size > kMaxBoundBytes;
    return false;
}

BlockReader::BlockReader(Statement& statement, std::vector<ColumnDescription> columns,
                         size_t rowsPerBlock)
    : st_(statement), desc_(std::move(columns)), progress_(CancelScope::current()) {
    bool anyLong = false;
    for (const auto& d : desc_) {
        Column c;
        c.kind = kindOf(d);
        anyLong = anyLong || isLong(d);
        switch (c.kind) {
        case Kind::Int:
        case Kind::Double:
            c.width = 8;
            break;
        case Kind::Bit:
            c.width = 1;
            break;
        case Kind::Timestamp:
            c.width = sizeof(SQL_TIMESTAMP_STRUCT);
            break;
        case Kind::Text:
            c.width = (std::max<size_t>(d.size, 40) + 1) * sizeof(SQLWCHAR);
            break;
        case Kind::Bytes:
            c.width = std::max<size_t>(d.size, 1);
            break;
        }
        cols_.push_back(std::move(c));
    }
    block_ = !anyLong && rowsPerBlock > 1 && st_.setRowArraySize(rowsPerBlock, &fetched_);
    if (!block_)
        return;
    rowsPerBlock_ = rowsPerBlock;
    for (size_t i = 0; i < cols_.size(); ++i) {
        auto& c = cols_[i];
        c.buffer.resize(c.width * rowsPerBlock_);
        c.indicators.resize(rowsPerBlock_);
        check(SQLBindCol(st_.handle(), static_cast<SQLUSMALLINT>(i + 1), cTypeOf(c.kind),
                         c.buffer.data(), static_cast<SQLLEN>(c.width), c.indicators.data()),
              SQL_HANDLE_STMT, st_.handle(), "SQLBindCol");
    }
}

bool BlockReader::next() {
    if (done_)
        return false;
    if (block_) {
        if (++row_ < fetched_)
            return true;
        fetched_ = 0;
        row_ = 0;
        if (!st_.fetch() || fetched_ == 0) {
            done_ = true;
            SQLFreeStmt(st_.handle(), SQL_UNBIND);
            SQLSetStmtAttrW(st_.handle(), SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(1),
                            0);
            SQLSetStmtAttrW(st_.handle(), SQL_ATTR_ROWS_FETCHED_PTR, nullptr, 0);
            return false;
        }
        if (progress_)
            progress_->addRows(static_cast<int64_t>(fetched_));
        return true;
    }
    if (!st_.fetch()) {
        done_ = true;
        return false;
    }
    readRow();
    if (progress_)
        progress_->addRows(1);
    return true;
}

void BlockReader::readRow() {
    for (size_t i = 0; i < cols_.size(); ++i) {
        auto& c = cols_[i];
        const int column = static_cast<int>(i + 1);
        if (c.kind == Kind::Text) {
            c.null = !st_.getText(column, c.text);
        } else if (c.kind == Kind::Bytes) {
            c.null = !st_.getBytes(column, c.value);
        } else {
            c.value.resize(c.width);
            SQLLEN ind = 0;
            check(SQLGetData(st_.handle(), static_cast<SQLUSMALLINT>(column), cTypeOf(c.kind),
                             c.value.data(), static_cast<SQLLEN>(c.width), &ind),
                  SQL_HANDLE_STMT, st_.handle(), "SQLGetData");
            c.null = ind == SQL_NULL_DATA;
        }
    }
}

bool BlockReader::isNull(int column) const {
    const auto& c = cols_[static_cast<size_t>(column)];
    return block_ ? c.indicators[row_] == SQL_NULL_DATA : c.null;
}

const uint8_t* BlockReader::cell(int column) const {
    const auto& c = cols_[static_cast<size_t>(column)];
    return block_ ? c.buffer.data() + row_ * c.width : c.value.data();
}

int64_t BlockReader::intValue(int column) const {
    int64_t v;
    std::memcpy(&v, cell(column), 8);
    return v;
}

double BlockReader::doubleValue(int column) const {
    double v;
    std::memcpy(&v, cell(column), 8);
    return v;
}

bool BlockReader::bitValue(int column) const {
    return *cell(column) != 0;
}

SQL_TIMESTAMP_STRUCT BlockReader::timestampValue(int column) const {
    SQL_TIMESTAMP_STRUCT v;
    std::memcpy(&v, cell(column), sizeof v);
    return v;
}

std::u16string_view BlockReader::textValue(int column) const {
    const auto& c = cols_[static_cast<size_t>(column)];
    if (!block_)
        return c.text;
    SQLLEN n = c.indicators[row_];
    const size_t room = c.width / 2 - 1;
    size_t chars = (n == SQL_NO_TOTAL || n < 0) ? room : std::min(static_cast<size_t>(n) / 2, room);
    return {reinterpret_cast<const char16_t*>(cell(column)), chars};
}

std::span<const uint8_t> BlockReader::bytesValue(int column) const {
    const auto& c = cols_[static_cast<size_t>(column)];
    if (!block_)
        return {c.value.data(), c.value.size()};
    SQLLEN n = c.indicators[row_];
    size_t size =
        (n == SQL_NO_TOTAL || n < 0) ? c.width : std::min(static_cast<size_t>(n), c.width);
    return {cell(column), size};
}

} // namespace odbc
