#pragma once
// From T-SQL tokens to SQLite SQL. A batch is first cut into statements: a
// statement ends at ';' or where, outside parentheses, a keyword starts the next
// one ("Use master SELECT ..."). A query or data change statement is then
// rewritten token by token: [names] and "names" quoted for SQLite, dbo. prefixes
// dropped, three-part names of other databases routed to attached databases,
// N'..' and 0x.. literals, TOP n as LIMIT, '+' next to a string literal or a
// character column as '||', CONVERT as CAST, @@ROWCOUNT and friends as literals. Functions keep
// their T-SQL names (they are registered on the connection).
#include "standin/engine/Tokenizer.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace standin::engine {

using TokenSpan = std::span<const Token>;

/// The statements of a batch, in order.
std::vector<TokenSpan> splitBatch(const std::vector<Token>& tokens);

struct TranslateContext {
    std::string currentDatabase;
    /// Makes database `name` reachable and returns the schema to name it by;
    /// throws SqlError 911 when it does not exist.
    std::function<std::string(const std::string& name)> attach;
    /// True for a name that is a character column of a table the statement uses,
    /// so that '+' next to it concatenates.
    std::function<bool(const std::string& column)> isTextColumn;
    /// True for a name that is a date column of a table the statement uses, so
    /// that a string literal compared with it is put in the stored date form.
    std::function<bool(const std::string& column)> isDateColumn;
    int64_t rowCount = 0;
    std::optional<int64_t> identity;
    int tranCount = 0;
    int lastError = 0;
};

struct Translation {
    std::string sql;
    /// Outermost SELECT list items as translated, to tell unnamed expressions.
    std::vector<std::string> selectItems;
    /// Offset in `sql` of the outermost FROM, where browse key columns can be added.
    size_t fromOffset = std::string::npos;
};

/// Translates one SELECT, INSERT, UPDATE or DELETE statement.
Translation translateStatement(TokenSpan tokens, const TranslateContext& context);

/// The SQLite type for a T-SQL type name in CAST/CONVERT.
std::string sqliteCastType(const std::string& tsqlType);

} // namespace standin::engine
