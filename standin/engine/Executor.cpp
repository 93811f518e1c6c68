#include "standin/engine/Executor.h"

#include "standin/engine/Catalog.h"
#include "standin/engine/Ddl.h"
#include "standin/engine/LengthCheck.h"
#include "standin/engine/ResultStream.h"
#include "standin/engine/SqlError.h"
#include "standin/engine/Text.h"

#include <chrono>
#include <cstring>
#include <memory>
#include <set>
#include <thread>

namespace standin::engine {
namespace {

bool startsWith(const std::string& s, const char* prefix) {
    return s.rfind(prefix, 0) == 0;
}

/// The table a data change statement writes to, and the statement's verb.
struct DmlTarget {
    std::string verb; ///< INSERT, UPDATE or DELETE; empty for queries
    std::string table;
};

DmlTarget dmlTarget(TokenSpan t) {
    DmlTarget d;
    if (t.empty())
        return d;
    std::string verb = upperAscii(t[0].text);
    if (verb != "INSERT" && verb != "UPDATE" && verb != "DELETE")
        return d;
    d.verb = verb;
    size_t i = 1;
    if (i < t.size() && (t[i].isWord("INTO") || t[i].isWord("FROM")))
        ++i;
    if (i < t.size() && t[i].isWord("TOP"))
        return d;
    // The last part of a dotted name.
    while (i < t.size() && t[i].isName()) {
        d.table = t[i].text;
        if (i + 1 < t.size() && t[i + 1].isSymbol(".")) {
            i += 2;
            while (i < t.size() && t[i].isSymbol("."))
                ++i;
            continue;
        }
        break;
    }
    return d;
}

/// The value expressions of a one-row "INSERT [INTO] t [(cols)] VALUES (...)",
/// by column name (empty names: the table's column order).
std::vector<std::pair<std::string, TokenSpan>> insertedValues(TokenSpan t) {
    std::vector<std::pair<std::string, TokenSpan>> out;
    size_t i = 0;
    while (i < t.size() && !t[i].isSymbol("(") && !t[i].isWord("VALUES"))
        ++i;
    std::vector<std::string> cols;
    if (i < t.size() && t[i].isSymbol("(")) {
        ++i;
        while (i < t.size() && !t[i].isSymbol(")")) {
            if (t[i].isName())
                cols.push_back(t[i].text);
            ++i;
        }
        ++i;
    }
    if (i >= t.size() || !t[i].isWord("VALUES") || i + 1 >= t.size() || !t[i + 1].isSymbol("("))
        return out;
    i += 2;
    size_t start = i;
    int depth = 0;
    size_t k = 0;
    for (; i < t.size(); ++i) {
        if (t[i].isSymbol("("))
            ++depth;
        else if (t[i].isSymbol(")") && depth > 0)
            --depth;
        else if (depth == 0 && (t[i].isSymbol(",") || t[i].isSymbol(")"))) {
            out.emplace_back(k < cols.size() ? cols[k] : std::string(),
                             t.subspan(start, i - start));
            ++k;
            start = i + 1;
            if (t[i].isSymbol(")"))
                break;
        }
    }
    return out;
}

void bindAll(sqlite3_stmt* st, const Bindings* bindings) {
    const int count = sqlite3_bind_parameter_count(st);
    for (int p = 1; p <= count; ++p) {
        const char* name = sqlite3_bind_parameter_name(st, p);
        const BoundValue* value = nullptr;
        if (bindings && name)
            for (const auto& [n, v] : *bindings)
                if (iequals(n, name))
                    value = &v;
        if (!value)
            throw SqlError(137,
                           std::string("Must declare the scalar variable \"") +
                               (name ? name : "?") + "\".",
                           15, 2);
        switch (value->kind) {
        case BoundValue::Null:
            sqlite3_bind_null(st, p);
            break;
        case BoundValue::Integer:
            sqlite3_bind_int64(st, p, value->integer);
            break;
        case BoundValue::Real:
            sqlite3_bind_double(st, p, value->real);
            break;
        case BoundValue::Text:
            sqlite3_bind_text(st, p, value->text.data(), int(value->text.size()), SQLITE_STATIC);
            break;
        case BoundValue::Blob:
            sqlite3_bind_blob(st, p, value->text.data(), int(value->text.size()), SQLITE_STATIC);
            break;
        }
    }
}

/// Finalizes the statement it holds, whichever way the query ends.
struct Prepared {
    sqlite3_stmt* st = nullptr;
    ~Prepared() { sqlite3_finalize(st); }
};

} // namespace

TranslateContext Executor::context() {
    TranslateContext c;
    c.currentDatabase = session_.database().name;
    c.attach = [this](const std::string& name) {
        return session_.attach(name);
    };
    c.rowCount = session_.rowCount;
    c.identity = session_.identity;
    c.tranCount = session_.transaction ? 1 : 0;
    c.lastError = session_.lastError;
    return c;
}

void Executor::done(std::optional<int64_t> rowCount) {
    if (!rowCount)
        session_.rowCount = 0; // statements that count nothing reset @@ROWCOUNT

    sink_.statementDone(session_.noCount ? std::nullopt : rowCount, false);
}

void Executor::reportError(const SqlError& error) {
    ServerMessage m;
    m.number = error.number();
    m.state = uint8_t(error.state());
    m.severity = uint8_t(error.severity());
    m.text = fromUtf8(error.what());
    sink_.message(m);
    sink_.statementDone(std::nullopt, true);
    session_.lastError = error.number();
}

bool Executor::runBatch(std::string_view sql, const Bindings* bindings) {
    session_.functions.scopeIdentity.reset(); // each batch or call is a scope of its own
    std::vector<Token> tokens;
    try {
        tokens = tokenize(sql);
    } catch (const SqlError& e) {
        reportError(e);
        return true;
    }
    try {
        for (TokenSpan statement : splitBatch(tokens)) {
            if (sink_.cancelled())
                return false;
            try {
                session_.lastError = 0;
                runStatement(statement, bindings);
            } catch (const SqlError& e) {
                reportError(e);
                if (e.abortsBatch())
                    break;
            }
        }
    } catch (const Cancelled&) {
        return false;
    }
    return true;
}

void Executor::runStatement(TokenSpan t, const Bindings* bindings) {
    const std::string verb = upperAscii(t[0].text);
    if (t[0].kind != TokenKind::Name) {
        if (t[0].isSymbol("("))
            return runQuery(t, bindings);
        throw syntaxError(t[0].text);
    }
    if (verb == "SELECT" || verb == "INSERT" || verb == "UPDATE" || verb == "DELETE")
        return runQuery(t, bindings);
    if (verb == "USE")
        return use(t);
    if (verb == "SET")
        return set(t);
    if (verb == "PRINT")
        return print(t, bindings);
    if (verb == "WAITFOR")
        return waitFor(t);
    if (verb == "CREATE")
        return create(t);
    if (verb == "DROP")
        return drop(t);
    if (verb == "EXEC" || verb == "EXECUTE")
        return execute(t);
    if (verb == "TRUNCATE") {
        truncateTable(session_, t);
        return done(std::nullopt);
    }
    if (verb == "BEGIN") {
        if (t.size() > 1 && (t[1].isWord("TRAN") || t[1].isWord("TRANSACTION"))) {
            beginTransaction();
            return done(std::nullopt);
        }
        if (t.size() == 1)
            return; // a statement block: its statements follow on their own
        throw syntaxError(t[1].text);
    }
    if (verb == "END" && t.size() == 1)
        return;
    if (verb == "COMMIT" || verb == "ROLLBACK") {
        if (t.size() > 1 && !t[1].isWord("TRAN") && !t[1].isWord("TRANSACTION") &&
            !t[1].isWord("WORK"))
            throw syntaxError(t[1].text);
        if (verb == "COMMIT")
            commitTransaction();
        else
            rollbackTransaction();
        return done(std::nullopt);
    }
    if (verb == "CHECKPOINT" || verb == "GO")
        return done(std::nullopt);
    if (verb == "DECLARE" || verb == "IF" || verb == "WHILE" || verb == "ALTER" ||
        verb == "RETURN" || verb == "GRANT" || verb == "REVOKE" || verb == "DENY" ||
        verb == "DBCC" || verb == "RAISERROR" || verb == "SAVE" || verb == "BACKUP" ||
        verb == "RESTORE")
        throw SqlError(50000, "The " + verb + " statement is not supported by this server.");
    throw syntaxError(t[0].text);
}

void Executor::use(TokenSpan t) {
    if (t.size() != 2 || !t[1].isName())
        throw syntaxError(t.size() > 2 ? t[2].text : t.back().text);
    auto db = databases_.find(t[1].text);
    if (!db)
        throw SqlError(911,
                       "Database '" + t[1].text +
                           "' does not exist. Make sure that the name is entered correctly.",
                       16, 1);
    const std::u16string oldName = session_.currentDatabase();
    session_.connectionTo(*db); // opens it now, so a failure leaves the session where it was
    session_.setDatabase(*db);
    sink_.databaseChanged(oldName, fromUtf8(db->name), db->collation);
    ServerMessage m;
    m.number = 5701;
    m.state = 2;
    m.severity = 0;
    m.text = fromUtf8("Changed database context to '" + db->name + "'.");
    sink_.message(m);
    done(std::nullopt);
}

void Executor::set(TokenSpan t) {
    if (t.size() < 2)
        throw syntaxError("SET");
    if (t[1].kind == TokenKind::Variable)
        throw SqlError(137, "Must declare the scalar variable \"" + t[1].text + "\".", 15, 1);
    const std::string option = upperAscii(t[1].text);
    auto onOff = [&](size_t at) {
        if (at >= t.size() || !(t[at].isWord("ON") || t[at].isWord("OFF")))
            throw syntaxError(at < t.size() ? t[at].text : option);
        return t[at].isWord("ON");
    };
    if (option == "NOCOUNT") {
        session_.noCount = onOff(2);
    } else if (option == "NO_BROWSETABLE") {
        session_.browse = onOff(2) && session_.browseAllowed;
    } else if (option == "ROWCOUNT") {
        if (t.size() != 3 || t[2].text != "0")
            throw SqlError(50000, "SET ROWCOUNT other than 0 is not supported by this server.");
    } else if (option == "FMTONLY" || option == "SHOWPLAN_ALL" || option == "SHOWPLAN_TEXT" ||
               option == "PARSEONLY" || option == "NOEXEC") {
        if (onOff(2))
            throw SqlError(50000, "SET " + option + " ON is not supported by this server.");
    } else if (option == "TRANSACTION" || option == "TEXTSIZE" || option == "LANGUAGE" ||
               option == "DATEFORMAT" || option == "DATEFIRST" || option == "LOCK_TIMEOUT" ||
               option == "DEADLOCK_PRIORITY" || option == "IDENTITY_INSERT" ||
               option == "CONCAT_NULL_YIELDS_NULL" || option == "ARITHABORT" ||
               option == "NUMERIC_ROUNDABORT" || option == "QUOTED_IDENTIFIER" ||
               option == "IMPLICIT_TRANSACTIONS" || option == "CURSOR_CLOSE_ON_COMMIT" ||
               option == "XACT_ABORT" || option == "STATISTICS" || startsWith(option, "ANSI_")) {
        // Accepted: the stand-in behaves as with the usual client defaults.
    } else {
        throw syntaxError(t[1].text);
    }
    done(std::nullopt);
}

std::string Executor::evaluateText(TokenSpan expression, const Bindings* bindings) {
    if (expression.empty())
        throw syntaxError("PRINT");
    std::vector<Token> select;
    Token s;
    s.kind = TokenKind::Name;
    s.text = "SELECT";
    select.push_back(s);
    select.insert(select.end(), expression.begin(), expression.end());
    Translation tr = translateStatement(select, context());
    Statement st(*session_.current().connection, tr.sql);
    bindAll(st.handle(), bindings);
    return st.step() ? st.columnText(0) : std::string();
}

void Executor::print(TokenSpan t, const Bindings* bindings) {
    ServerMessage m;
    m.number = 0;
    m.state = 1;
    m.severity = 0;
    m.text = fromUtf8(evaluateText(t.subspan(1), bindings));
    sink_.message(m);
    done(std::nullopt);
}

void Executor::waitFor(TokenSpan t) {
    if (t.size() != 3 || !(t[1].isWord("DELAY") || t[1].isWord("TIME")) ||
        (t[2].kind != TokenKind::String && t[2].kind != TokenKind::NString))
        throw syntaxError(t.size() > 1 ? t.back().text : "WAITFOR");
    int h = 0, m = 0, s = 0, ms = 0;
    int n = std::sscanf(t[2].text.c_str(), "%d:%d:%d.%d", &h, &m, &s, &ms);
    if (n < 2 || h < 0 || m < 0 || m > 59 || s < 0 || s > 59 || ms < 0)
        throw SqlError(
            148, "Incorrect time syntax in time string '" + t[2].text + "' used with WAITFOR.", 15,
            1);
    using namespace std::chrono;
    milliseconds wait = hours(h) + minutes(m) + seconds(s) + milliseconds(ms);
    if (t[1].isWord("TIME")) {
        std::time_t now = system_clock::to_time_t(system_clock::now());
        std::tm tm{};
        localtime_r(&now, &tm);
        milliseconds sinceMidnight = hours(tm.tm_hour) + minutes(tm.tm_min) + seconds(tm.tm_sec);
        wait -= sinceMidnight;
        if (wait.count() < 0)
            wait += hours(24);
    }
    const auto until = steady_clock::now() + wait;
    while (steady_clock::now() < until) {
        if (sink_.cancelled())
            throw Cancelled{};
        std::this_thread::sleep_for(
            std::min<steady_clock::duration>(milliseconds(10), until - steady_clock::now()));
    }
    done(std::nullopt);
}

void Executor::create(TokenSpan t) {
    if (t.size() < 3)
        throw syntaxError(t.back().text);
    if (t[1].isWord("DATABASE")) {
        if (!t[2].isName())
            throw syntaxError(t[2].text);
        if (session_.transaction)
            throw SqlError(226, "CREATE DATABASE statement not allowed within multi-statement "
                                "transaction.");
        Collation collation = defaultCollation();
        size_t i = 3;
        if (i < t.size() && t[i].isWord("ON")) // file specifications are ignored
            while (i < t.size() && !t[i].isWord("COLLATE"))
                ++i;
        if (i < t.size() && t[i].isWord("COLLATE")) {
            if (i + 1 >= t.size())
                throw syntaxError("COLLATE");
            auto c = collationByName(t[i + 1].text);
            if (!c)
                throw SqlError(448, "Invalid collation '" + t[i + 1].text + "'.");
            collation = *c;
            i += 2;
        }
        if (i < t.size())
            throw syntaxError(t[i].text);
        databases_.create(t[2].text, collation);
        return done(std::nullopt);
    }
    if (t[1].isWord("TABLE")) {
        createTable(session_, t, context());
        return done(std::nullopt);
    }
    if (t[1].isWord("VIEW")) {
        createView(session_, t, context());
        return done(std::nullopt);
    }
    if (t[1].isWord("INDEX") || t[1].isWord("UNIQUE") || t[1].isWord("CLUSTERED") ||
        t[1].isWord("NONCLUSTERED")) {
        createIndex(session_, t);
        return done(std::nullopt);
    }
    throw SqlError(50000, "CREATE " + upperAscii(t[1].text) + " is not supported by this server.");
}

void Executor::drop(TokenSpan t) {
    if (t.size() < 3)
        throw syntaxError(t.back().text);
    if (t[1].isWord("DATABASE")) {
        if (session_.transaction)
            throw SqlError(226, "DROP DATABASE statement not allowed within multi-statement "
                                "transaction.");
        for (size_t i = 2; i < t.size(); i += 2) {
            if (!t[i].isName())
                throw syntaxError(t[i].text);
            if (iequals(t[i].text, session_.database().name))
                throw SqlError(3702, "Cannot drop database \"" + t[i].text +
                                         "\" because it is currently in use.");
            if (!databases_.find(t[i].text))
                throw SqlError(3701,
                               "Cannot drop the database '" + t[i].text +
                                   "', because it does not exist or you do not have "
                                   "permission.",
                               11, 1);
            session_.forget(t[i].text);
            databases_.drop(t[i].text);
            if (i + 1 < t.size() && !t[i + 1].isSymbol(","))
                throw syntaxError(t[i + 1].text);
        }
        return done(std::nullopt);
    }
    dropObject(session_, t);
    done(std::nullopt);
}

void Executor::execute(TokenSpan t) {
    size_t i = 1;
    if (i < t.size() && t[i].kind == TokenKind::Variable && i + 1 < t.size() &&
        t[i + 1].isSymbol("="))
        throw SqlError(50000, "Procedure return values are not supported by this server.");
    if (i >= t.size() || !t[i].isName())
        throw syntaxError(i < t.size() ? t[i].text : "EXEC");
    std::string name = t[i].text;
    ++i;
    while (i < t.size() && t[i].isSymbol(".")) {
        ++i;
        if (i < t.size() && t[i].isName())
            name = t[i++].text;
    }
    name = lowerAscii(name);
    const std::vector<std::string>* params = procedureParameters(name);
    if (!params)
        throw SqlError(2812, "Could not find stored procedure '" + name + "'.", 16, 62);
    ProcedureArgs args;
    size_t position = 0;
    while (i < t.size()) {
        std::string param;
        if (t[i].kind == TokenKind::Variable && i + 1 < t.size() && t[i + 1].isSymbol("=")) {
            param = lowerAscii(t[i].text.substr(1));
            i += 2;
        } else {
            if (position >= params->size())
                throw SqlError(8144, "Procedure or function " + name +
                                         " has too many arguments specified.");
            param = (*params)[position++];
        }
        if (i >= t.size())
            throw syntaxError("=");
        const Token& v = t[i];
        if (v.isWord("NULL")) {
        } else if (v.kind == TokenKind::String || v.kind == TokenKind::NString ||
                   v.kind == TokenKind::Number || v.isName()) {
            args[param] = v.text;
        } else {
            throw syntaxError(v.text);
        }
        ++i;
        if (i < t.size()) {
            if (!t[i].isSymbol(","))
                throw syntaxError(t[i].text);
            ++i;
        }
    }
    runProcedure(name, args);
}

void Executor::runProcedure(const std::string& name, const ProcedureArgs& args) {
    TableResult result = runCatalogProcedure(session_, name, args);
    int64_t rows = sendTable(result, sink_);
    done(rows);
}

uint64_t Executor::beginTransaction() {
    if (!session_.transaction) {
        Connection& c = *session_.current().connection;
        // Taking the write lock at once serialises writing transactions instead
        // of letting two readers deadlock when both upgrade.
        c.exec("BEGIN IMMEDIATE");
        session_.transaction = &c;
        static std::atomic<uint64_t> counter{0};
        session_.transactionDescriptor = ++counter;
    }
    return session_.transactionDescriptor;
}

void Executor::commitTransaction() {
    if (!session_.transaction)
        throw SqlError(3902, "The COMMIT TRANSACTION request has no corresponding BEGIN "
                             "TRANSACTION.");
    Connection* c = session_.transaction;
    session_.transaction = nullptr;
    session_.transactionDescriptor = 0;
    c->exec("COMMIT");
}

void Executor::rollbackTransaction() {
    if (!session_.transaction)
        throw SqlError(3903, "The ROLLBACK TRANSACTION request has no corresponding BEGIN "
                             "TRANSACTION.");
    Connection* c = session_.transaction;
    session_.transaction = nullptr;
    session_.transactionDescriptor = 0;
    c->exec("ROLLBACK");
}

namespace {

/// SQL Server's error for a SQLite failure text, in the light of the statement.
SqlError mapError(const SqlError& e, const DmlTarget& target, const std::string& database,
                  sqlite3* db, const std::string& duplicateValues, const std::string& lastToken) {
    if (e.number() != 50000)
        return e;
    std::string text = e.what();
    auto after = [&](const char* prefix) {
        return text.substr(std::strlen(prefix));
    };
    auto stripMain = [](std::string s) {
        if (startsWith(s, "main."))
            s = s.substr(5);
        return s;
    };
    if (startsWith(text, "no such table: "))
        return SqlError(208, "Invalid object name '" + stripMain(after("no such table: ")) + "'.");
    if (startsWith(text, "no such column: ")) {
        std::string col = after("no such column: ");
        if (col.find('.') != std::string::npos)
            return SqlError(4104, "The multi-part identifier \"" + col + "\" could not be bound.");
        return SqlError(207, "Invalid column name '" + col + "'.");
    }
    if (startsWith(text, "ambiguous column name: "))
        return SqlError(209, "Ambiguous column name '" + after("ambiguous column name: ") + "'.");
    if (startsWith(text, "no such function: "))
        return SqlError(195,
                        "'" + after("no such function: ") +
                            "' is not a recognized built-in function name.",
                        15, 10);
    if (startsWith(text, "near \"")) {
        std::string near = text.substr(6, text.find('"', 6) - 6);
        return syntaxError(near);
    }
    if (text == "incomplete input")
        return syntaxError(lastToken);
    if (startsWith(text, "NOT NULL constraint failed: ")) {
        std::string ref = after("NOT NULL constraint failed: ");
        std::string table = ref.substr(0, ref.find('.'));
        std::string column = ref.substr(ref.find('.') + 1);
        std::string verb = target.verb.empty() ? "INSERT" : target.verb;
        return SqlError(515,
                        "Cannot insert the value NULL into column '" + column + "', table '" +
                            database + ".dbo." + table + "'; column does not allow nulls. " + verb +
                            " fails.",
                        16, 2);
    }
    if (startsWith(text, "UNIQUE constraint failed: ") ||
        startsWith(text, "PRIMARY KEY constraint failed: ")) {
        std::string refs = text.substr(text.find(": ") + 2);
        std::vector<std::string> cols;
        std::string table;
        size_t pos = 0;
        while (pos < refs.size()) {
            size_t comma = refs.find(", ", pos);
            std::string ref =
                refs.substr(pos, comma == std::string::npos ? std::string::npos : comma - pos);
            table = ref.substr(0, ref.find('.'));
            cols.push_back(ref.substr(ref.find('.') + 1));
            pos = comma == std::string::npos ? refs.size() : comma + 2;
        }
        std::string suffix = duplicateValues.empty()
                                 ? std::string()
                                 : " The duplicate key value is (" + duplicateValues + ").";
        for (const IndexInfo& ix : tableIndexes(db, "main", table)) {
            if (ix.columns.size() != cols.size())
                continue;
            bool same = true;
            for (size_t k = 0; k < cols.size(); ++k)
                same = same && iequals(ix.columns[k], cols[k]);
            if (!same)
                continue;
            if (ix.kind == 'I')
                return SqlError(2601,
                                "Cannot insert duplicate key row in object 'dbo." + table +
                                    "' with unique index '" + ix.name + "'." + suffix,
                                14, 1);
            return SqlError(2627,
                            std::string("Violation of ") +
                                (ix.kind == 'P' ? "PRIMARY KEY" : "UNIQUE KEY") + " constraint '" +
                                ix.name + "'. Cannot insert duplicate key in object 'dbo." + table +
                                "'." + suffix,
                            14, 1);
        }
        return SqlError(
            2627, "Violation of UNIQUE KEY constraint on object 'dbo." + table + "'." + suffix, 14,
            1);
    }
    if (text == TruncationMessage)
        return SqlError(8152, text, 16, 14);
    if (startsWith(text, "Conversion failed when converting date"))
        return SqlError(241, text, 16, 1);
    if (startsWith(text, "database is locked") || startsWith(text, "database table is locked"))
        return SqlError(1222, "Lock request time out period exceeded.", 16, 51);
    if (text.find("cannot commit transaction") != std::string::npos ||
        text.find("cannot rollback") != std::string::npos)
        return SqlError(3902, text);
    return SqlError(50000, text);
}

} // namespace

void Executor::runQuery(TokenSpan t, const Bindings* bindings) {
    const DmlTarget target = dmlTarget(t);
    TranslateContext ctx = context();
    // Character and date columns of the tables named: '+' next to the first
    // concatenates, literals compared with the second take the stored date form.
    auto textColumns = std::make_shared<std::set<std::string>>();
    auto dateColumns = std::make_shared<std::set<std::string>>();
    for (size_t i = 0; i + 1 < t.size(); ++i) {
        if (!(t[i].isWord("FROM") || t[i].isWord("JOIN") || t[i].isWord("UPDATE") ||
              t[i].isWord("INTO")))
            continue;
        size_t j = i + 1;
        while (j + 2 < t.size() && t[j + 1].isSymbol(".") && t[j + 2].isName())
            j += 2;
        if (!t[j].isName() || (j > i + 1 && t[j - 1].isSymbol(".") && j >= i + 5))
            continue; // other databases' tables are not looked into
        try {
            for (const TableColumn& c :
                 tableColumns(session_.current().connection->handle(), "main", t[j].text))
                if (isCharType(c.type.type) || isNCharType(c.type.type))
                    textColumns->insert(upperAscii(c.name));
                else if (isDateType(c.type.type))
                    dateColumns->insert(upperAscii(c.name));
        } catch (const SqlError&) {
        }
    }
    ctx.isTextColumn = [textColumns](const std::string& name) {
        return textColumns->count(upperAscii(name)) > 0;
    };
    ctx.isDateColumn = [dateColumns](const std::string& name) {
        return dateColumns->count(upperAscii(name)) > 0;
    };
    Translation tr = translateStatement(t, ctx);
    Connection& c = *session_.current().connection;
    sqlite3* db = c.handle();

    std::optional<TableColumn> identityColumn;
    if (target.verb == "INSERT" && !target.table.empty()) {
        for (const TableColumn& col : tableColumns(db, "main", target.table))
            if (col.identity)
                identityColumn = col;
    }
    auto duplicateValues = [&]() -> std::string {
        if (target.verb != "INSERT")
            return std::string();
        try {
            auto values = insertedValues(t);
            std::vector<TableColumn> cols = tableColumns(db, "main", target.table);
            std::vector<IndexInfo> indexes = tableIndexes(db, "main", target.table);
            std::string out;
            // The first unique index whose columns are all given.
            for (const IndexInfo& ix : indexes) {
                if (!ix.unique)
                    continue;
                std::string list;
                bool complete = true;
                for (const std::string& key : ix.columns) {
                    TokenSpan expr;
                    bool found = false;
                    for (size_t k = 0; k < values.size(); ++k) {
                        const std::string& name = values[k].first.empty() && k < cols.size()
                                                      ? cols[k].name
                                                      : values[k].first;
                        if (iequals(name, key)) {
                            expr = values[k].second;
                            found = true;
                        }
                    }
                    if (!found) {
                        complete = false;
                        break;
                    }
                    list += (list.empty() ? "" : ", ") + evaluateText(expr, bindings);
                }
                if (complete)
                    return list;
            }
            return out;
        } catch (const SqlError&) {
            return std::string();
        }
    };

    auto prepare = [&](const std::string& sql) {
        sqlite3_stmt* st = nullptr;
        int rc = sqlite3_prepare_v2(db, sql.data(), int(sql.size()), &st, nullptr);
        if (rc != SQLITE_OK) {
            sqlite3_finalize(st);
            throw mapError(SqlError(50000, sqlite3_errmsg(db)), target, session_.database().name,
                           db, "", t.back().text);
        }
        return st;
    };
    Prepared p;
    p.st = prepare(tr.sql);
    size_t hidden = 0;
    if (session_.browse && target.verb.empty() && sqlite3_column_count(p.st) > 0 &&
        tr.fromOffset != std::string::npos) {
        // Browsing needs every key column; add the missing ones, hidden.
        std::string table, schema;
        std::vector<std::string> present;
        bool single = true;
        for (int i = 0; i < sqlite3_column_count(p.st); ++i) {
            const char* tb = sqlite3_column_table_name(p.st, i);
            if (!tb)
                continue;
            if (!table.empty() && !iequals(table, tb))
                single = false;
            table = tb;
            schema = sqlite3_column_database_name(p.st, i);
            present.push_back(sqlite3_column_origin_name(p.st, i));
        }
        if (single && !table.empty()) {
            std::string extra;
            for (const IndexInfo& ix : tableIndexes(db, schema, table)) {
                if (ix.kind != 'P')
                    continue;
                for (const std::string& key : ix.columns) {
                    bool there = false;
                    for (const std::string& pr : present)
                        there = there || iequals(pr, key);
                    if (!there) {
                        extra += ", " + quoteIdent(table) + "." + quoteIdent(key);
                        ++hidden;
                    }
                }
            }
            if (hidden) {
                std::string sql = tr.sql;
                sql.insert(tr.fromOffset - 1, extra);
                sqlite3_stmt* st = nullptr;
                if (sqlite3_prepare_v2(db, sql.data(), int(sql.size()), &st, nullptr) ==
                    SQLITE_OK) {
                    sqlite3_finalize(p.st);
                    p.st = st;
                } else {
                    sqlite3_finalize(st);
                    hidden = 0;
                }
            }
        }
    }
    bindAll(p.st, bindings);
    auto step = [&]() {
        int rc = sqlite3_step(p.st);
        if (rc == SQLITE_ROW)
            return true;
        if (rc == SQLITE_DONE)
            return false;
        std::string message = sqlite3_errmsg(db);
        sqlite3_reset(p.st);
        std::string values;
        if (message.find("UNIQUE constraint") != std::string::npos ||
            message.find("PRIMARY KEY constraint") != std::string::npos)
            values = duplicateValues();
        throw mapError(SqlError(50000, message), target, session_.database().name, db, values,
                       t.back().text);
    };
    if (sqlite3_column_count(p.st) > 0) {
        bool hasRow = step();
        DescribeOptions options;
        options.current = &session_.database();
        options.databases = &databases_;
        options.browse = session_.browse;
        options.hiddenColumns = hidden;
        options.selectItems = &tr.selectItems;
        ResultMeta meta = describeResult(p.st, hasRow, options);
        sink_.resultBegin(meta);
        int64_t rows;
        try {
            rows = streamRows(p.st, hasRow, meta, sink_);
        } catch (const SqlError& e) {
            throw mapError(e, target, session_.database().name, db, "", t.back().text);
        }
        if (rows < 0)
            throw Cancelled{};
        session_.rowCount = rows;
        return done(rows);
    }
    if (identityColumn) {
        for (const auto& [name, expr] : insertedValues(t))
            if (iequals(name, identityColumn->name))
                throw SqlError(544, "Cannot insert explicit value for identity column in table '" +
                                        target.table + "' when IDENTITY_INSERT is set to OFF.");
    }
    while (step()) {
    }
    const int64_t changes = sqlite3_changes64(db);
    session_.rowCount = changes;
    if (identityColumn && changes > 0) {
        Statement st(c, "SELECT " + quoteIdent(identityColumn->name) + " FROM " +
                            quoteIdent(target.table) + " WHERE rowid = last_insert_rowid()");
        if (st.step()) {
            session_.identity = st.columnInt(0);
            session_.functions.scopeIdentity = session_.identity;
        }
    }
    done(changes);
}

} // namespace standin::engine
