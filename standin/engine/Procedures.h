#pragma once
// The catalogue procedures clients call for schema rowsets, with SQL Server's
// result columns in SQL Server's order (drivers rename them by position):
// sp_columns, sp_statistics, sp_pkeys and sp_tables. Arguments arrive by name
// ("@table_name") or by position; names may be LIKE patterns where SQL Server
// allows them.
#include "standin/engine/EngineApi.h"

#include <map>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace standin::engine {

class SessionState;

/// A procedure's arguments, by lower-case name without '@'; NULL arguments are absent.
using ProcedureArgs = std::map<std::string, std::string>;

/// A small result built in memory; text cells are UTF-8.
struct TableResult {
    using Cell = std::variant<std::monostate, int64_t, std::string>;
    std::vector<ColumnInfo> columns;
    std::vector<std::vector<Cell>> rows;
};

/// The positional parameter names of a catalogue procedure, or none when
/// `name` (lower case, without prefix) is not one.
const std::vector<std::string>* procedureParameters(const std::string& name);

/// Runs catalogue procedure `name` (lower case) in the session's current database.
TableResult runCatalogProcedure(SessionState& session, const std::string& name,
                                const ProcedureArgs& args);

/// Sends `result` to `sink` (resultBegin, rows); returns the row count.
int64_t sendTable(const TableResult& result, ResultSink& sink);

} // namespace standin::engine
