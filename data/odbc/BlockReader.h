#pragma once
// Reads the rows of an executed statement's current result, a block at a time
// where it can: fixed-size columns are bound column-wise with a row array, so one
// SQLFetch brings many rows. A result with a long column (text, ntext, image, max
// types) is read a row at a time, every column through SQLGetData in order, so
// long values arrive whole; so is a result whose driver refuses the row array.
#include "data/odbc/Statement.h"

#include <span>
#include <string_view>

namespace odbc {

class CancelScope;

class BlockReader {
public:
    /// How a column's values arrive.
    enum class Kind { Int, Double, Bit, Timestamp, Text, Bytes };

    BlockReader(Statement& statement, std::vector<ColumnDescription> columns,
                size_t rowsPerBlock = 512);
    BlockReader(const BlockReader&) = delete;
    BlockReader& operator=(const BlockReader&) = delete;

    /// Moves to the next row; false after the last.
    bool next();

    Kind kind(int column) const { return cols_[static_cast<size_t>(column)].kind; }
    bool isNull(int column) const;
    int64_t intValue(int column) const;
    double doubleValue(int column) const;
    bool bitValue(int column) const;
    SQL_TIMESTAMP_STRUCT timestampValue(int column) const;
    /// Text and decimal columns (decimals as their digits).
    std::u16string_view textValue(int column) const;
    std::span<const uint8_t> bytesValue(int column) const;
    /// Whether rows arrive in blocks (false: one at a time through SQLGetData).
    bool blockMode() const { return block_; }

    /// The category a described column is read as.
    static Kind kindOf(const ColumnDescription& c);
    /// Whether a column must be read through SQLGetData (long or unbounded).
    static bool isLong(const ColumnDescription& c);

private:
    struct Column {
        Kind kind;
        size_t width = 0;               ///< bytes per row in the bound buffer
        std::vector<uint8_t> buffer;    ///< rows x width (block mode)
        std::vector<SQLLEN> indicators; ///< per row (block mode)
        // Row mode: the value of the current row (text columns in `text`), read
        // into the same storage row after row.
        bool null = true;
        std::vector<uint8_t> value;
        WideString text;
    };
    void readRow();
    const uint8_t* cell(int column) const;

    Statement& st_;
    std::vector<ColumnDescription> desc_;
    std::vector<Column> cols_;
    bool block_ = false;
    size_t rowsPerBlock_ = 1;
    SQLULEN fetched_ = 0;
    size_t row_ = 0;
    bool done_ = false;
    CancelScope* progress_; ///< told of the rows read, when the work runs under one
};

} // namespace odbc
