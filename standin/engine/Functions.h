#pragma once
// T-SQL built-in functions registered on every session connection, so that the
// translated SQL can call them by their T-SQL names: like() (which SQLite uses
// for the LIKE operator) with SQL Server's patterns and case-insensitive
// matching, getdate(), suser_sname(), db_name(), object_id(), objectproperty(),
// scope_identity(), isnull(), len(), charindex(), substring(), left(), right(),
// newid(), datalength(), replicate(), space(); and the collation TSQL_CI,
// which compares text as SQL Server's _CI_ collations do for ASCII: letters
// without regard to case, trailing blanks not counted.
#include "standin/engine/Sqlite.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace standin::engine {

/// Session facts the functions read; owned by the session, outliving its connections.
struct FunctionContext {
    std::string user = "sa";
    std::optional<int64_t> scopeIdentity;
};

/// Registers the functions on `db`, whose SQL Server database is `database`.
void registerFunctions(Connection& db, const std::string& database, FunctionContext* context);

/// SQL Server LIKE: % _ [set] [^set] [a-z], letters compared without regard to
/// ASCII case, `escape` (0: none) making the next pattern character literal.
bool likeMatch(std::string_view pattern, std::string_view text, char32_t escape = 0);

/// TSQL_CI's comparison: <0, 0 or >0.
int compareText(std::string_view a, std::string_view b);

/// The local time as "YYYY-MM-DD HH:MM:SS.mmm", as getdate() gives it.
std::string currentDateTimeText();

} // namespace standin::engine
