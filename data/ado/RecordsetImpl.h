#pragma once
// The inside of a Recordset, shared by its source files: the rows (shared with
// clones), the visible order, the position and a pending edit.
#include "data/ado/Criterion.h"
#include "data/ado/Recordset.h"
#include "data/ado/RowStore.h"

#include <optional>

namespace ado::detail {

/// Lets recordsets reach their connection object while it lives.
struct ConnectionLink {
    TADOConnection* owner = nullptr;
};

/// The field type of an ODBC SQL type of the given column size.
DataType dataTypeOfSql(int sqlType, uint64_t size);

struct SortKey {
    int column;
    bool descending;
};

} // namespace ado::detail

namespace ado {

struct Recordset::Impl {
    std::shared_ptr<detail::RowStore> store;
    std::shared_ptr<detail::ConnectionLink> link;
    WideString source;
    CommandType commandType = CommandType::Text;
    bool open = false;
    bool readOnly = false;

    std::vector<Bookmark> view;       ///< visible rows in order
    int64_t pos = -1;                 ///< -1 BOF, view.size() EOF
    std::vector<uint32_t> positionOf; ///< bookmark-1 → index in view + 1 (0 hidden); lazy
    WideString sortText, filterText, indexText;
    std::vector<detail::SortKey> sortKeys;
    std::optional<Criterion> filter;
    std::vector<int> indexColumns;
    std::vector<Bookmark> indexOrder; ///< visible rows in index order; lazy
    /// Every live row in the sort order, kept while the sort and the rows stay the
    /// same, so that changing only the filter never sorts again.
    std::vector<Bookmark> sortedRows;
    uint64_t sortedVersion = 0; ///< the store's version sortedRows was made at; 0 none

    EditMode mode = EditMode::None;
    int64_t positionBeforeAdd = -1;
    std::vector<std::optional<Variant>> pending;

    void requireOpen() const;
    void rebuildView();
    void forgetSortedRows() {
        sortedRows.clear();
        sortedVersion = 0;
    }
    void invalidateLookups() {
        positionOf.clear();
        indexOrder.clear();
    }
    bool onRow() const { return pos >= 0 && pos < static_cast<int64_t>(view.size()); }
    Bookmark current() const;
    int64_t indexOfBookmark(Bookmark b);
    /// The value a field shows now: pending, or the stored one.
    Variant valueOf(int column) const;
    int columnOf(const WideString& name) const;
    /// The result columns of a base-table index by its name, in key order; empty if none.
    std::vector<int> indexColumnsNamed(const WideString& indexName);
};

} // namespace ado
