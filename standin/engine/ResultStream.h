#pragma once
// Turns a prepared SQLite query into a result for the front end: describes its
// columns (declared SQL Server types from the catalogue for table columns, types
// from the first row's values for expressions; browse information on request)
// and pushes its rows one at a time. Row conversion reuses per-column buffers,
// so streaming allocates nothing per row once the buffers have grown.
#include "standin/engine/Databases.h"
#include "standin/engine/EngineApi.h"
#include "standin/engine/Sqlite.h"

#include <string>
#include <vector>

namespace standin::engine {

struct DescribeOptions {
    const DatabaseInfo* current = nullptr;
    const Databases* databases = nullptr;
    bool browse = false;
    size_t hiddenColumns = 0; ///< trailing columns added only for browsing
    const std::vector<std::string>* selectItems = nullptr;
};

/// Column metadata of `st`, whose first row (if any, `hasRow`) has been stepped.
ResultMeta describeResult(sqlite3_stmt* st, bool hasRow, const DescribeOptions& options);

/// Streams `st` (first row stepped when `hasRow`) to `sink` as rows of `meta`.
/// Returns the number of rows sent; stops early, returning -1, when the sink
/// reports a cancel.
int64_t streamRows(sqlite3_stmt* st, bool hasRow, const ResultMeta& meta, ResultSink& sink);

/// Parses "YYYY-MM-DD[ HH:MM:SS[.fff]]" into DATETIME days and ticks.
bool parseDateTime(std::string_view text, DateTimeValue& out);
/// Formats DATETIME days and ticks as "YYYY-MM-DD HH:MM:SS.mmm".
std::string formatDateTime(const DateTimeValue& value);
/// Formats a uniqueidentifier as "XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX".
std::string formatGuid(const GuidValue& value);
/// Parses a decimal text into an unscaled value at `scale`.
bool parseDecimal(std::string_view text, uint8_t scale, __int128& out);

} // namespace standin::engine
