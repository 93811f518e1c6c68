#pragma once
// Data definition: CREATE TABLE (SQL Server types, IDENTITY, NULL/NOT NULL,
// DEFAULT, PRIMARY KEY and UNIQUE as column or table constraints), CREATE
// INDEX, CREATE VIEW and DROP of each. Every statement changes SQLite's storage
// and the database's catalogue together, in one transaction (a savepoint when
// the session already has one open).
#include "standin/engine/Translator.h"
#include "standin/engine/Types.h"

#include <string>

namespace standin::engine {

class SessionState;

/// The T-SQL default expression in the form SQL Server keeps and reports:
/// "(getdate())", "('abc')", "((0))".
std::string normalizeDefault(TokenSpan expression);

void createTable(SessionState& session, TokenSpan tokens, const TranslateContext& context);
void createIndex(SessionState& session, TokenSpan tokens);
void createView(SessionState& session, TokenSpan tokens, const TranslateContext& context);
/// DROP TABLE / VIEW / INDEX.
void dropObject(SessionState& session, TokenSpan tokens);
void truncateTable(SessionState& session, TokenSpan tokens);

/// Reads a possibly qualified object name at `i`, advancing past it; returns the
/// object part. Other databases than the current one are refused.
std::string readObjectName(TokenSpan tokens, size_t& i, const std::string& currentDatabase);

} // namespace standin::engine
