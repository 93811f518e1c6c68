#pragma once
// The ADO enumerations this layer speaks, with ADO's own numbers, so that code
// written against ADO (cursor location 3, lock type 1, schema 12, seek options)
// reads the same here.
#include <cstdint>

namespace ado {

/// Field data types (DataTypeEnum).
enum class DataType : int {
    Empty = 0,
    SmallInt = 2,
    Integer = 3,
    Single = 4,
    Double = 5,
    Currency = 6,
    Date = 7,
    Boolean = 11,
    Decimal = 14,
    TinyInt = 16,
    UnsignedTinyInt = 17,
    BigInt = 20,
    GUID = 72,
    Binary = 128,
    Char = 129,
    WChar = 130,
    Numeric = 131,
    DBTimeStamp = 135,
    VarChar = 200,
    LongVarChar = 201,
    VarWChar = 202,
    LongVarWChar = 203,
    VarBinary = 204,
    LongVarBinary = 205,
};

enum class CursorLocation : int { UseServer = 2, UseClient = 3 };
enum class CursorType : int { ForwardOnly = 0, Keyset = 1, Dynamic = 2, Static = 3 };
enum class LockType : int { ReadOnly = 1, Pessimistic = 2, Optimistic = 3, BatchOptimistic = 4 };
enum class CommandType : int {
    Text = 1,
    Table = 2,
    StoredProc = 4,
    Unknown = 8,
    TableDirect = 512
};
enum class ObjectState : int { Closed = 0, Open = 1 };
enum class SearchDirection : int { Forward = 1, Backward = -1 };
enum class EditMode : int { None = 0, InProgress = 1, Add = 2, Delete = 4 };

/// Seek options (SeekEnum).
enum class SeekOption : int {
    FirstEQ = 1,
    LastEQ = 2,
    AfterEQ = 4,
    After = 8,
    BeforeEQ = 16,
    Before = 32,
};

/// Schema rowsets that OpenSchema offers (SchemaEnum).
enum class Schema : int { Columns = 4, Indexes = 12 };

/// A row's identity within a recordset and all its clones; it survives sort,
/// filter and requery-free edits. 0 is no row.
using Bookmark = uint32_t;

} // namespace ado
