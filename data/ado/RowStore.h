#pragma once
// The rows of a recordset, packed. Each row is one contiguous block in a chunked
// arena: a null bitmap, then one fixed slot per column (the value itself for
// numbers, dates and bits; the end offset of its bytes for text, decimals and
// binary), then the variable bytes in column order (text as UTF-16). A row is
// never changed in place: an edit packs a new block and repoints the row, so a
// bookmark (the row's number, from 1) stays valid; a deleted row points nowhere.
#include "data/ado/Recordset.h"

#include <memory>
#include <optional>
#include <vector>

namespace ado::detail {

enum class StorageKind : uint8_t { Int, Double, Bool, Date, Text, DecimalText, Bytes };

/// How a column of the given type is stored.
StorageKind storageKindOf(DataType type);

struct RowStore {
    explicit RowStore(std::vector<ColumnInfo> columns);

    std::vector<ColumnInfo> columns;
    std::vector<StorageKind> kinds;
    std::vector<uint32_t> slotOffset;  ///< per column, from the row start
    std::vector<int> previousVariable; ///< per variable column: the one before it, or -1
    uint32_t fixedSize = 0;
    std::vector<const uint8_t*> rows; ///< index = bookmark - 1; null = deleted
    /// Changes whenever a row is added, replaced or removed, and is never the same
    /// for two stores: an order computed over the rows is still valid while it holds.
    uint64_t version;

    /// Packs values (one per column, converted to the column's kind) into a new row;
    /// returns its bookmark. Throws AdoError when a value does not convert.
    Bookmark append(const std::vector<Variant>& values);
    /// Repacks an existing row with new values.
    void replace(Bookmark b, const std::vector<Variant>& values);
    /// Throws AdoError when the value would not convert to the column's kind, as
    /// append would; no row is touched.
    void checkValue(int column, const Variant& value);
    void remove(Bookmark b) {
        rows.at(b - 1) = nullptr;
        version = nextVersion();
    }
    bool alive(Bookmark b) const { return b >= 1 && b <= rows.size() && rows[b - 1]; }

    /// The value of a column of a row (Empty for a deleted row).
    Variant value(Bookmark b, int column) const;
    bool isNull(Bookmark b, int column) const;
    /// All values of a row.
    std::vector<Variant> values(Bookmark b) const;

    /// Bytes held by the arena and the row table.
    size_t memoryUsed() const;

    // --- fast packing for the fetch loop --------------------------------------
    /// Starts a row; then put each column once, in any order, and finish.
    void begin();
    void putNull(int column);
    void putInt(int column, int64_t v);
    void putDouble(int column, double v);
    void putBool(int column, bool v);
    void putDate(int column, const DateTime& v);
    /// Text as UTF-16 units, decimal text as ASCII bytes, binary as bytes.
    void putBytes(int column, const void* data, size_t size);
    Bookmark finish();

private:
    static uint64_t nextVersion();
    const uint8_t* pack();
    uint8_t* allocate(size_t size);
    void putVariant(int column, const Variant& v);

    struct FreeChunk {
        void operator()(uint8_t* p) const;
    };
    std::vector<std::unique_ptr<uint8_t, FreeChunk>> chunks_;
    size_t chunkUsed_ = 0, chunkSize_ = 0, arenaBytes_ = 0;
    std::vector<uint8_t> fixed_;    ///< the row being built
    std::vector<uint8_t> variable_; ///< its variable bytes, in the order they were put
    std::vector<std::pair<uint32_t, uint32_t>> spans_; ///< per column: offset, size in variable_
};

} // namespace ado::detail
