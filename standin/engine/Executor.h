#pragma once
// Runs T-SQL for one session: cuts a batch into statements and carries out
// each one, reporting results, messages and completions to the sink in order.
// A failing statement reports its error and the batch goes on with the next
// statement, as SQL Server does for statement-level errors; a cancel (the
// sink's cancelled()) ends the batch at once, with nothing more reported.
#include "standin/engine/Databases.h"
#include "standin/engine/EngineApi.h"
#include "standin/engine/Procedures.h"
#include "standin/engine/SessionState.h"
#include "standin/engine/Translator.h"

#include <string>
#include <utility>
#include <vector>

namespace standin::engine {

/// A parameter value in SQLite's terms; text is UTF-8.
struct BoundValue {
    enum Kind { Null, Integer, Real, Text, Blob } kind = Null;
    int64_t integer = 0;
    double real = 0;
    std::string text;
};
/// Parameter values by name ("@P1").
using Bindings = std::vector<std::pair<std::string, BoundValue>>;

class Executor {
public:
    Executor(Databases& databases, SessionState& session, ResultSink& sink)
        : databases_(databases), session_(session), sink_(sink) {}

    /// Runs every statement of `sql` (UTF-8). Returns false when cancelled.
    bool runBatch(std::string_view sql, const Bindings* bindings = nullptr);
    /// Runs a catalogue procedure and reports its result set; throws SqlError.
    void runProcedure(const std::string& name, const ProcedureArgs& args);

    /// BEGIN TRANSACTION on the session's current database; returns its descriptor.
    uint64_t beginTransaction();
    void commitTransaction();
    void rollbackTransaction();

    /// Reports `error` as SQL Server does: ERROR message, then a failed completion.
    void reportError(const class SqlError& error);

private:
    void runStatement(TokenSpan tokens, const Bindings* bindings);
    void runQuery(TokenSpan tokens, const Bindings* bindings);
    void use(TokenSpan tokens);
    void set(TokenSpan tokens);
    void print(TokenSpan tokens, const Bindings* bindings);
    void waitFor(TokenSpan tokens);
    void create(TokenSpan tokens);
    void drop(TokenSpan tokens);
    void execute(TokenSpan tokens);
    std::string evaluateText(TokenSpan expression, const Bindings* bindings);
    TranslateContext context();
    void done(std::optional<int64_t> rowCount);

    Databases& databases_;
    SessionState& session_;
    ResultSink& sink_;
};

/// Thrown inside the executor when the client cancelled the request.
struct Cancelled {};

} // namespace standin::engine
