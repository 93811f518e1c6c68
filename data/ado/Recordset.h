#pragma once
// A client-side static recordset: at open every row of the result is fetched and
// kept, packed, in memory; moving, sorting, filtering, finding, seeking and
// bookmarks all work on those rows without the server. A clone shares the rows
// and has its own position, sort and filter. Changes to a row are written to
// its base table at Update (see RowWriter.h), the rows kept in step.
//
// Invariants: a bookmark names the same row for the life of the rows, across
// sort, filter, clone and edits; the current position is either a visible row,
// BOF (before the first) or EOF (after the last); a Variant is made only for the
// field asked for.
#include "data/ado/AdoTypes.h"
#include "data/ado/Variant.h"

#include <memory>
#include <optional>
#include <stdexcept>
#include <utility>
#include <vector>

namespace ado {

class TADOConnection;
class Recordset;
namespace detail {
struct RowStore;
struct ConnectionLink;
} // namespace detail

/// An error of the ADO layer itself (not of the driver); what() holds ADO's text.
class AdoError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/// What a recordset knows of one column.
struct ColumnInfo {
    WideString name;
    DataType type = DataType::VarWChar;
    int64_t definedSize = 0; ///< characters for text, bytes for binary
    int precision = 0;
    int scale = 0;
    bool nullable = true;
    bool autoIncrement = false; ///< an identity column
    bool longData = false;      ///< text/ntext/image/max: fetched whole, never a key
    bool readOnly = false;      ///< an expression or identity: never written
    // Provider properties: empty when the column is not a plain base column.
    WideString baseTableName, baseColumnName, baseCatalogName, baseSchemaName;
};

/// One column of the current row; a light handle, valid while its recordset lives.
class Field {
public:
    Field(Recordset* rs, int index) : rs_(rs), index_(index) {}
    const WideString& Name() const;
    DataType Type() const;
    int64_t DefinedSize() const;
    int Precision() const;
    int NumericScale() const;
    bool IsNullable() const;
    /// The 0-based ordinal.
    int Index() const { return index_; }
    const ColumnInfo& Info() const;
    /// The value in the current row (the pending value while the row is edited).
    Variant Value() const;
    /// The value as fetched (before pending changes).
    Variant OriginalValue() const;
    /// Changes the value of the current row; the row is written at Update.
    void setValue(const Variant& value);
    /// A provider property: "BaseTableName", "BaseColumnName", "BaseCatalogName",
    /// "BaseSchemaName" (text, or Null when empty), "ISAUTOINCREMENT" (bool). Throws for
    /// any other name ("Item cannot be found in the collection corresponding to the
    /// requested name or ordinal.").
    Variant Property(const WideString& name) const;

private:
    Recordset* rs_;
    int index_;
};

class Recordset : public std::enable_shared_from_this<Recordset> {
public:
    Recordset();
    ~Recordset();
    Recordset(const Recordset&) = delete;
    Recordset& operator=(const Recordset&) = delete;

    // --- opening -----------------------------------------------------------
    CursorLocation cursorLocation = CursorLocation::UseClient;
    CursorType cursorType = CursorType::Static;
    LockType lockType = LockType::Optimistic;
    /// Seconds; 0 waits for ever.
    int commandTimeout = 30;

    /// Where the rows come from when the server sends no browse information (the
    /// base table of each column): the one table the statement reads and which
    /// result columns show that table's columns as they stand. A table opened by
    /// name needs nothing here. Columns it does not cover stay read-only.
    struct AssumedSource {
        WideString table;  ///< as the statement names it ("t", "dbo.[t]"); empty: none
        bool star = false; ///< every result column is the table's column of its name
        std::vector<std::pair<int, WideString>> columns; ///< result position, table column
    };
    AssumedSource assumedSource;

    /// Runs source (SQL text, or a table name with CommandType::Table/TableDirect)
    /// on the connection and keeps every row. A batch whose first results carry no
    /// columns ("Use db SELECT ...") yields the first result that has them; when no
    /// result has columns the recordset stays closed. Errors carry the driver's text.
    void Open(const WideString& source, TADOConnection& connection,
              CommandType commandType = CommandType::Text);
    /// Runs the source again on the same connection; position goes to the first row,
    /// sort and filter are kept.
    void Requery();
    /// Releases the rows (a clone keeps the rows it shares).
    void Close();
    ObjectState State() const;
    bool Active() const { return State() == ObjectState::Open; }
    /// An in-memory recordset over given rows (schema rowsets, tests). Read-only
    /// against any server; values must match the column types.
    static std::shared_ptr<Recordset> FromRows(std::vector<ColumnInfo> columns,
                                               const std::vector<std::vector<Variant>>& rows);

    /// Bytes that the rows hold in memory (shared with clones).
    size_t MemoryUsed() const;

    /// The connection the rows came from, or null (in-memory, or the connection
    /// object was destroyed).
    TADOConnection* ActiveConnection() const;
    const WideString& Source() const;

    // --- fields --------------------------------------------------------------
    int FieldCount() const;
    Field Fields(int index);
    /// By name, without regard to case; throws AdoError when there is none.
    Field Fields(const WideString& name);
    /// -1 when no column has the name (case-insensitive).
    int FieldIndex(const WideString& name) const;
    const std::vector<ColumnInfo>& Columns() const;

    // --- moving --------------------------------------------------------------
    void MoveFirst();
    void MoveLast();
    void MoveNext();
    void MovePrevious();
    /// Moves by n rows from the current one; past either end stops at BOF/EOF.
    void Move(int64_t n);
    /// Before the first visible row (ADO's BOF).
    bool Bof() const;
    /// After the last visible row (ADO's EOF).
    bool Eof() const;
    /// Rows visible through the filter.
    int64_t RecordCount() const;
    /// 1-based position among the visible rows; 0 at BOF/EOF.
    int64_t AbsolutePosition() const;

    /// The current row's bookmark; throws at BOF/EOF.
    Bookmark bookmark() const;
    /// Makes the row current; a row hidden by the filter (or deleted) leaves the
    /// recordset at EOF. Throws for a bookmark that never named a row.
    void setBookmark(Bookmark b);

    /// A recordset over the same rows with its own position (first row), sort and
    /// filter (none). With LockType::ReadOnly it refuses edits.
    std::shared_ptr<Recordset> Clone(LockType lock = LockType::Optimistic);

    // --- sort, filter, find, seek --------------------------------------------
    /// "A ASC, [B C] DESC"; empty restores fetch order. Moves to the first row.
    void setSort(const WideString& sortText);
    const WideString& Sort() const;
    /// A criterion (Criterion.h); empty shows all rows. Moves to the first row that
    /// passes. Throws AdoError for a text the grammar rejects, leaving the old filter.
    void setFilter(const WideString& criterion);
    const WideString& Filter() const;
    /// Searches for a row meeting a single-clause criterion, starting at start (or
    /// the current row) after skipping skipRecords rows. Not found leaves the cursor
    /// at EOF (forward) or BOF (backward).
    void Find(const WideString& criterion, int64_t skipRecords = 0,
              SearchDirection direction = SearchDirection::Forward,
              std::optional<Bookmark> start = std::nullopt);

    /// The index Seek searches on: its columns ("A;B" or "A,B"), or the name of an
    /// index of the base table (as OpenSchema 12 names it); empty: none. Throws for
    /// a name that is neither.
    void setIndex(const WideString& fieldNames);
    const WideString& Index() const;
    /// Whether Seek can run: an index is set.
    bool SupportsSeek() const;
    /// Positions on a row by key values compared to the index columns in index order;
    /// not found leaves the cursor at EOF. Among the visible rows only.
    void Seek(const std::vector<Variant>& keyValues, SeekOption option = SeekOption::FirstEQ);

    // --- changing rows ---------------------------------------------------------
    EditMode editMode() const;
    /// Starts a new row (values empty); written at Update.
    void AddNew();
    /// Writes the pending change of the current row (or the new row) to its base
    /// table; on error the change stays pending and the error carries its text.
    void Update();
    /// Drops the pending change.
    void CancelUpdate();
    /// Deletes the current row in its base table and from the rows.
    void Delete();

private:
    friend class Field;
    friend class TADOConnection;
    friend class TADOCommand;
    struct Impl;
    std::unique_ptr<Impl> d;
    void openWithCount(const WideString& source, TADOConnection& connection,
                       CommandType commandType, int64_t* recordsAffected);
};

} // namespace ado
