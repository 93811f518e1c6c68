#pragma once
// The catalogue each SQLite database keeps about itself, in its own tables:
//   sysobjects            SQL Server's object list: user tables ('U'), views ('V')
//                         and the system tables ('S') a client may ask about;
//   __standin_columns     every column's declared SQL Server type, nullability,
//                         identity and default text, by table and ordinal;
//   __standin_indexes     primary keys, unique constraints and indexes, one row
//                         per key column in key order.
// SQLite's own schema holds the storage; these tables hold what SQL Server would
// report. They are changed only together with the storage, in one transaction.
#include "standin/engine/Sqlite.h"
#include "standin/engine/Types.h"

#include <optional>
#include <string>
#include <vector>

namespace standin::engine {

struct TableColumn {
    std::string name;
    ColumnType type;
    bool nullable = true;
    bool identity = false;
    std::string defaultText; ///< as SQL Server writes it, "(getdate())"; empty: none
    int ordinal = 0;         ///< 1-based
};

struct IndexInfo {
    std::string name;
    char kind = 'I'; ///< 'P' primary key, 'U' unique constraint, 'I' index
    bool unique = false;
    bool clustered = false;
    std::vector<std::string> columns;
};

/// Creates the catalogue tables and the system-table rows of a new database.
void initialiseCatalog(Connection& db, bool isMaster);

/// Adds an object to sysobjects and returns its id.
int64_t addObject(sqlite3* db, const std::string& name, const char* xtype);
/// Removes an object and its columns and indexes from the catalogue.
void removeObject(sqlite3* db, const std::string& name);
/// The object's name as created and its xtype, if `name` (any case) exists in `schema`.
struct ObjectRef {
    std::string name;
    std::string xtype;
    int64_t id = 0;
};
std::optional<ObjectRef> findObject(sqlite3* db, const std::string& schema,
                                    const std::string& name);

void addColumns(sqlite3* db, const std::string& table, const std::vector<TableColumn>& columns);
void addIndex(sqlite3* db, const std::string& table, const IndexInfo& index);

std::vector<TableColumn> tableColumns(sqlite3* db, const std::string& schema,
                                      const std::string& table);
std::optional<TableColumn> findColumn(sqlite3* db, const std::string& schema,
                                      const std::string& table, const std::string& column);
/// Indexes of a table, the primary key first, then by name.
std::vector<IndexInfo> tableIndexes(sqlite3* db, const std::string& schema,
                                    const std::string& table);

} // namespace standin::engine
