#pragma once
// Values longer than their column: SQL Server refuses the statement with error
// 8152 (ANSI_WARNINGS is on for every ODBC session) instead of storing a cut
// value. SQLite keeps any length, so each sized character or binary column gets
// triggers that abort an INSERT or UPDATE whose value does not fit.
#include "standin/engine/Types.h"

#include <sqlite3.h>

#include <string>
#include <vector>

namespace standin::engine {

/// The text the triggers abort with; the executor turns it into error 8152.
inline constexpr const char* TruncationMessage = "String or binary data would be truncated.";

/// Registers the check function the triggers call.
void registerLengthCheck(sqlite3* db);

/// The statements creating the triggers that guard `column` of `table`; none for
/// types without a length limit ((max), text, numbers, ...). `codePage` is the
/// database's, in which char and varchar lengths count bytes.
std::vector<std::string> lengthCheckTriggers(const std::string& table, const std::string& column,
                                             const ColumnType& type, uint16_t codePage);

} // namespace standin::engine
