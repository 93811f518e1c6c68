// The engine behind EngineApi.h: logins, batches, RPCs and transaction requests,
// each run by an Executor over the session's SQLite connections.
#include "standin/engine/CodePage.h"
#include "standin/engine/Databases.h"
#include "standin/engine/EngineApi.h"
#include "standin/engine/Executor.h"
#include "standin/engine/ResultStream.h"
#include "standin/engine/Seeds.h"
#include "standin/engine/SessionState.h"
#include "standin/engine/SqlError.h"
#include "standin/engine/Text.h"
#include "standin/engine/Types.h"

namespace standin {
namespace {

using namespace engine;

ServerMessage errorMessage(int number, uint8_t severity, uint8_t state, const std::string& text) {
    ServerMessage m;
    m.number = number;
    m.severity = severity;
    m.state = state;
    m.text = fromUtf8(text);
    return m;
}

/// A parameter's value as SQLite binds it.
BoundValue boundValue(const Param& p, uint16_t sessionCodePage) {
    BoundValue b;
    std::visit(
        [&](const auto& v) {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, std::monostate>) {
                b.kind = BoundValue::Null;
            } else if constexpr (std::is_same_v<T, int64_t>) {
                b.kind = BoundValue::Integer;
                b.integer = v;
            } else if constexpr (std::is_same_v<T, double>) {
                b.kind = BoundValue::Real;
                b.real = v;
            } else if constexpr (std::is_same_v<T, DecimalValue>) {
                __int128 u = v.unscaled < 0 ? -v.unscaled : v.unscaled;
                std::string digits;
                do {
                    digits.insert(digits.begin(), char('0' + int(u % 10)));
                    u /= 10;
                } while (u > 0);
                while (digits.size() <= v.scale)
                    digits.insert(digits.begin(), '0');
                if (v.scale)
                    digits.insert(digits.size() - v.scale, ".");
                b.kind = BoundValue::Text;
                b.text = (v.unscaled < 0 ? "-" : "") + digits;
            } else if constexpr (std::is_same_v<T, DateTimeValue>) {
                b.kind = BoundValue::Text;
                b.text = formatDateTime(v);
            } else if constexpr (std::is_same_v<T, GuidValue>) {
                b.kind = BoundValue::Text;
                b.text = formatGuid(v);
            } else if constexpr (std::is_same_v<T, std::string_view>) {
                if (isBinaryType(p.type.type)) {
                    b.kind = BoundValue::Blob;
                    b.text = std::string(v);
                } else {
                    uint16_t cp =
                        p.type.collation.codePage ? p.type.collation.codePage : sessionCodePage;
                    b.kind = BoundValue::Text;
                    b.text = codePageToUtf8(cp, v);
                }
            } else if constexpr (std::is_same_v<T, std::u16string_view>) {
                b.kind = BoundValue::Text;
                b.text = toUtf8(v);
            }
        },
        p.value);
    return b;
}

/// A parameter's value as text (statement texts, declarations, names).
std::string paramText(const Param& p, uint16_t codePage) {
    if (auto w = std::get_if<std::u16string_view>(&p.value))
        return toUtf8(*w);
    if (auto s = std::get_if<std::string_view>(&p.value))
        return codePageToUtf8(p.type.collation.codePage ? p.type.collation.codePage : codePage, *s);
    if (auto i = std::get_if<int64_t>(&p.value))
        return std::to_string(*i);
    return std::string();
}

/// Parameter names of a declaration "@P1 int,@P2 varchar(50)", in order.
std::vector<std::string> declaredNames(const std::string& declaration) {
    std::vector<std::string> names;
    int depth = 0;
    bool expectName = true;
    for (const Token& t : tokenize(declaration)) {
        if (t.isSymbol("("))
            ++depth;
        else if (t.isSymbol(")"))
            --depth;
        else if (depth == 0 && t.isSymbol(","))
            expectName = true;
        else if (expectName && t.kind == TokenKind::Variable) {
            names.push_back(t.text);
            expectName = false;
        }
    }
    return names;
}

class EngineImpl : public Engine {
public:
    explicit EngineImpl(const EngineOptions& options)
        : options_(options), databases_(options.dataDir) {
        seedDatabases(databases_, options.seeds);
    }

    std::unique_ptr<Session> login(const std::u16string& user, const std::u16string& password,
                                   const std::u16string& database, ResultSink& sink) override {
        if (!iequals(toUtf8(user), toUtf8(options_.user)) || password != options_.password) {
            sink.message(
                errorMessage(18456, 14, 1, "Login failed for user '" + toUtf8(user) + "'."));
            return nullptr;
        }
        std::string name = database.empty() ? std::string("master") : toUtf8(database);
        auto db = databases_.find(name);
        if (!db) {
            sink.message(errorMessage(4060, 11, 1,
                                      "Cannot open database \"" + name +
                                          "\" requested by the login. The login "
                                          "failed."));
            sink.message(
                errorMessage(18456, 14, 1, "Login failed for user '" + toUtf8(user) + "'."));
            return nullptr;
        }
        auto session = std::make_unique<SessionState>(databases_, toUtf8(options_.user), *db);
        session->browseAllowed = options_.browseInformation;
        try {
            session->current();
        } catch (const SqlError& e) {
            sink.message(errorMessage(e.number(), 14, 1, e.what()));
            return nullptr;
        }
        sink.databaseChanged(u"", fromUtf8(db->name), db->collation);
        ServerMessage m =
            errorMessage(5701, 0, 2, "Changed database context to '" + db->name + "'.");
        sink.message(m);
        return session;
    }

    void executeBatch(Session& session, std::u16string_view sql, ResultSink& sink) override {
        auto& s = static_cast<SessionState&>(session);
        Executor(databases_, s, sink).runBatch(toUtf8(sql));
    }

    void executeRpc(Session& session, std::u16string_view procedure, std::vector<Param>& params,
                    ResultSink& sink) override {
        auto& s = static_cast<SessionState&>(session);
        Executor ex(databases_, s, sink);
        std::string name = toUtf8(procedure);
        // "[db]..sp_columns", "db.dbo.sp_columns": the database part picks where it runs.
        std::string dbPart;
        {
            std::vector<std::string> parts{""};
            bool bracket = false;
            for (char c : name) {
                if (c == '[' && !bracket)
                    bracket = true;
                else if (c == ']' && bracket)
                    bracket = false;
                else if (c == '.' && !bracket)
                    parts.emplace_back();
                else
                    parts.back() += c;
            }
            name = lowerAscii(parts.back());
            if (parts.size() == 3)
                dbPart = parts[0];
        }
        const uint16_t cp = s.database().collation.codePage;
        try {
            if (name == "sp_executesql") {
                if (params.empty())
                    throw SqlError(201,
                                   "Procedure or function 'sp_executesql' expects parameter "
                                   "'@statement', which was not supplied.",
                                   16, 4);
                std::string sql = paramText(params[0], cp);
                Bindings bindings;
                if (params.size() > 1) {
                    std::vector<std::string> names = declaredNames(paramText(params[1], cp));
                    for (size_t k = 2; k < params.size(); ++k) {
                        std::string pname = toUtf8(params[k].name);
                        if (pname.empty() && k - 2 < names.size())
                            pname = names[k - 2];
                        bindings.emplace_back(pname, boundValue(params[k], cp));
                    }
                }
                if (!ex.runBatch(sql, &bindings))
                    return;
                sink.returnStatus(0);
                return;
            }
            if (name == "sp_prepare" || name == "sp_prepexec") {
                if (params.size() < 3)
                    throw SqlError(201,
                                   "Procedure or function '" + name +
                                       "' expects parameter '@stmt', which was not "
                                       "supplied.",
                                   16, 4);
                PreparedStatement prepared{paramText(params[2], cp), paramText(params[1], cp)};
                const int32_t handle = s.nextHandle++;
                s.prepared[handle] = prepared;
                ColumnInfo type;
                type.type = SqlType::Int;
                type.length = 4;
                // The handle is an output parameter: the front end returns the
                // parameter's value, and the sink hears it too.
                params[0].value = int64_t(handle);
                sink.returnValue(params[0].name, type, Value{int64_t(handle)});
                if (name == "sp_prepexec") {
                    if (!runPrepared(ex, prepared, params, 3, cp))
                        return;
                }
                sink.returnStatus(0);
                return;
            }
            if (name == "sp_execute") {
                auto handle = params.empty() ? nullptr : std::get_if<int64_t>(&params[0].value);
                auto it = handle ? s.prepared.find(int32_t(*handle)) : s.prepared.end();
                if (it == s.prepared.end())
                    throw SqlError(8179, "Could not find prepared statement with handle " +
                                             (handle ? std::to_string(*handle) : "NULL") + ".");
                if (!runPrepared(ex, it->second, params, 1, cp))
                    return;
                sink.returnStatus(0);
                return;
            }
            if (name == "sp_unprepare") {
                if (!params.empty())
                    if (auto handle = std::get_if<int64_t>(&params[0].value))
                        s.prepared.erase(int32_t(*handle));
                sink.returnStatus(0);
                return;
            }
            const std::vector<std::string>* positional = procedureParameters(name);
            if (!positional)
                throw SqlError(2812, "Could not find stored procedure '" + toUtf8(procedure) + "'.",
                               16, 62);
            ProcedureArgs args;
            for (size_t k = 0; k < params.size(); ++k) {
                std::string pname = lowerAscii(toUtf8(params[k].name));
                if (!pname.empty() && pname[0] == '@')
                    pname.erase(0, 1);
                if (pname.empty()) {
                    if (k >= positional->size())
                        throw SqlError(8144, "Procedure or function " + name +
                                                 " has too many arguments specified.");
                    pname = (*positional)[k];
                }
                if (!std::holds_alternative<std::monostate>(params[k].value))
                    args[pname] = paramText(params[k], cp);
            }
            if (!dbPart.empty() && !iequals(dbPart, s.database().name)) {
                auto db = databases_.find(dbPart);
                if (!db)
                    throw SqlError(911, "Database '" + dbPart +
                                            "' does not exist. Make sure that the name is "
                                            "entered correctly.");
                DatabaseInfo previous = s.database();
                s.setDatabase(*db);
                try {
                    ex.runProcedure(name, args);
                } catch (...) {
                    s.setDatabase(previous);
                    throw;
                }
                s.setDatabase(previous);
            } else {
                ex.runProcedure(name, args);
            }
            sink.returnStatus(0);
        } catch (const SqlError& e) {
            ex.reportError(e);
        } catch (const Cancelled&) {
        }
    }

    uint64_t beginTransaction(Session& session) override {
        auto& s = static_cast<SessionState&>(session);
        NullSink sink;
        Executor ex(databases_, s, sink);
        try {
            return ex.beginTransaction();
        } catch (const SqlError&) {
            return s.transactionDescriptor;
        }
    }

    void commitTransaction(Session& session, ResultSink& sink) override {
        auto& s = static_cast<SessionState&>(session);
        Executor ex(databases_, s, sink);
        try {
            ex.commitTransaction();
        } catch (const SqlError& e) {
            ex.reportError(e);
        }
    }

    void rollbackTransaction(Session& session, ResultSink& sink) override {
        auto& s = static_cast<SessionState&>(session);
        Executor ex(databases_, s, sink);
        try {
            ex.rollbackTransaction();
        } catch (const SqlError& e) {
            ex.reportError(e);
        }
    }

private:
    /// A sink for requests that report nothing.
    class NullSink : public ResultSink {
    public:
        void resultBegin(const ResultMeta&) override {}
        void row(std::span<const Value>) override {}
        void statementDone(std::optional<int64_t>, bool) override {}
        void message(const ServerMessage&) override {}
        void databaseChanged(const std::u16string&, const std::u16string&,
                             const Collation&) override {}
        void returnStatus(int32_t) override {}
        bool cancelled() const override { return false; }
    };

    /// Runs a prepared statement with the parameter values from `first` on.
    bool runPrepared(Executor& ex, const PreparedStatement& prepared, std::vector<Param>& params,
                     size_t first, uint16_t cp) {
        std::vector<std::string> names = declaredNames(prepared.declaration);
        Bindings bindings;
        for (size_t k = first; k < params.size(); ++k) {
            std::string pname = toUtf8(params[k].name);
            if (pname.empty() && k - first < names.size())
                pname = names[k - first];
            bindings.emplace_back(pname, boundValue(params[k], cp));
        }
        return ex.runBatch(prepared.sql, &bindings);
    }

    EngineOptions options_;
    Databases databases_;
};

} // namespace

std::unique_ptr<Engine> createEngine(const EngineOptions& options) {
    return std::make_unique<EngineImpl>(options);
}

} // namespace standin
