#include "standin/engine/Ddl.h"

#include "standin/engine/Catalog.h"
#include "standin/engine/LengthCheck.h"
#include "standin/engine/ResultStream.h"
#include "standin/engine/SessionState.h"
#include "standin/engine/SqlError.h"
#include "standin/engine/Text.h"

#include <algorithm>

namespace standin::engine {
namespace {

const Token& at(TokenSpan t, size_t i) {
    if (i >= t.size())
        throw syntaxError(t.empty() ? std::string("") : t.back().text);
    return t[i];
}

void expectSymbol(TokenSpan t, size_t& i, const char* s) {
    if (!at(t, i).isSymbol(s))
        throw syntaxError(at(t, i).text);
    ++i;
}

std::string readName(TokenSpan t, size_t& i) {
    const Token& tok = at(t, i);
    if (!tok.isName())
        throw syntaxError(tok.text);
    ++i;
    return tok.text;
}

size_t matchingParen(TokenSpan t, size_t open) {
    int depth = 0;
    for (size_t k = open; k < t.size(); ++k) {
        if (t[k].isSymbol("("))
            ++depth;
        else if (t[k].isSymbol(")") && --depth == 0)
            return k;
    }
    throw syntaxError(t.back().text);
}

/// "(a [ASC|DESC], b)" at i; advances past the ')'.
std::vector<std::string> readColumnList(TokenSpan t, size_t& i) {
    expectSymbol(t, i, "(");
    std::vector<std::string> cols;
    for (;;) {
        cols.push_back(readName(t, i));
        if (at(t, i).isWord("ASC") || at(t, i).isWord("DESC"))
            ++i;
        if (at(t, i).isSymbol(",")) {
            ++i;
            continue;
        }
        expectSymbol(t, i, ")");
        return cols;
    }
}

/// Skips CLUSTERED / NONCLUSTERED; returns true for CLUSTERED.
bool readClustering(TokenSpan t, size_t& i, bool fallback) {
    if (i < t.size() && t[i].isWord("CLUSTERED")) {
        ++i;
        return true;
    }
    if (i < t.size() && t[i].isWord("NONCLUSTERED")) {
        ++i;
        return false;
    }
    return fallback;
}

/// Reads "PRIMARY KEY" or "UNIQUE" (`i` at its first word) and the optional
/// CLUSTERED / NONCLUSTERED: a key constraint named `name`, its columns still to
/// be filled in.
IndexInfo readKeyConstraint(TokenSpan t, size_t& i, const std::string& name) {
    IndexInfo ix;
    ix.kind = at(t, i).isWord("PRIMARY") ? 'P' : 'U';
    ++i;
    if (ix.kind == 'P') {
        if (!at(t, i).isWord("KEY"))
            throw syntaxError(at(t, i).text);
        ++i;
    }
    ix.unique = true;
    ix.clustered = readClustering(t, i, ix.kind == 'P');
    ix.name = name;
    return ix;
}

/// A savepoint around a DDL statement, rolled back unless released.
class DdlScope {
public:
    explicit DdlScope(Connection& c) : c_(c) { c_.exec("SAVEPOINT standin_ddl"); }
    ~DdlScope() {
        if (!done_) {
            try {
                c_.exec("ROLLBACK TO standin_ddl");
                c_.exec("RELEASE standin_ddl");
            } catch (const SqlError&) {
            }
        }
    }
    void commit() {
        c_.exec("RELEASE standin_ddl");
        done_ = true;
    }

private:
    Connection& c_;
    bool done_ = false;
};

void requireNew(sqlite3* db, const std::string& name) {
    if (findObject(db, "main", name))
        throw SqlError(2714, "There is already an object named '" + name + "' in the database.");
}

/// The expression after DEFAULT: one parenthesised group, a function call, or a
/// (signed) literal.
TokenSpan readDefault(TokenSpan t, size_t& i) {
    size_t start = i;
    if (at(t, i).isSymbol("(")) {
        i = matchingParen(t, i) + 1;
    } else if (at(t, i).isSymbol("-") || at(t, i).isSymbol("+")) {
        i += 2;
    } else if (at(t, i).kind == TokenKind::Name && i + 1 < t.size() && t[i + 1].isSymbol("(")) {
        i = matchingParen(t, i + 1) + 1;
    } else {
        ++i;
    }
    return t.subspan(start, i - start);
}

std::string tokensText(TokenSpan t) {
    std::string out;
    for (size_t k = 0; k < t.size(); ++k) {
        const Token& tok = t[k];
        switch (tok.kind) {
        case TokenKind::String:
            out += quoteLiteral(tok.text);
            break;
        case TokenKind::NString:
            out += "N" + quoteLiteral(tok.text);
            break;
        case TokenKind::QuotedName:
            out += "[" + tok.text + "]";
            break;
        case TokenKind::Binary:
            out += "0x" + tok.text;
            break;
        case TokenKind::Name:
            out += (k + 1 < t.size() && t[k + 1].isSymbol("(")) ? lowerAscii(tok.text) : tok.text;
            break;
        default:
            out += tok.text;
        }
    }
    return out;
}

} // namespace

std::string readObjectName(TokenSpan t, size_t& i, const std::string& currentDatabase) {
    std::vector<std::string> parts{readName(t, i)};
    while (i < t.size() && t[i].isSymbol(".")) {
        ++i;
        if (i < t.size() && t[i].isSymbol(".")) {
            parts.push_back("");
            continue;
        }
        parts.push_back(readName(t, i));
    }
    if (parts.size() > 3)
        throw syntaxError(parts.back());
    if (parts.size() == 3 && !parts[0].empty() && !iequals(parts[0], currentDatabase))
        throw SqlError(50000, "Objects of another database than the current one ('" + parts[0] +
                                  "') cannot be defined here; USE it first.");
    return parts.back();
}

std::string normalizeDefault(TokenSpan e) {
    while (e.size() >= 2 && e.front().isSymbol("(") && matchingParen(e, 0) == e.size() - 1)
        e = e.subspan(1, e.size() - 2);
    bool numeric = !e.empty() && e.back().kind == TokenKind::Number &&
                   (e.size() == 1 || (e.size() == 2 && (e[0].isSymbol("-") || e[0].isSymbol("+"))));
    std::string text = tokensText(e);
    return numeric ? "((" + text + "))" : "(" + text + ")";
}

void createTable(SessionState& session, TokenSpan t, const TranslateContext& context) {
    size_t i = 2; // CREATE TABLE
    const std::string table = readObjectName(t, i, session.database().name);
    if (table.rfind("#", 0) == 0 || table.rfind("__standin", 0) == 0)
        throw SqlError(50000, "Table name '" + table + "' is not supported by this server.");
    Connection& c = *session.current().connection;
    expectSymbol(t, i, "(");
    std::vector<TableColumn> columns;
    std::vector<std::string> storage;
    std::vector<IndexInfo> keys;
    std::string identityColumn;
    int64_t seed = 1, increment = 1;
    for (;;) {
        std::string constraintName;
        if (at(t, i).isWord("CONSTRAINT")) {
            ++i;
            constraintName = readName(t, i);
        }
        if (at(t, i).isWord("PRIMARY") || at(t, i).isWord("UNIQUE")) {
            IndexInfo ix = readKeyConstraint(t, i, constraintName);
            ix.columns = readColumnList(t, i);
            keys.push_back(ix);
        } else if (at(t, i).isWord("FOREIGN") || at(t, i).isWord("CHECK")) {
            // Accepted and not enforced.
            while (i < t.size() && !t[i].isSymbol(",") && !t[i].isSymbol(")")) {
                if (t[i].isSymbol("("))
                    i = matchingParen(t, i);
                ++i;
            }
        } else {
            if (!constraintName.empty())
                throw syntaxError(at(t, i).text);
            TableColumn col;
            col.name = readName(t, i);
            const Token& typeTok = at(t, i);
            if (!typeTok.isName())
                throw syntaxError(typeTok.text);
            ++i;
            std::vector<int> args;
            if (i < t.size() && t[i].isSymbol("(")) {
                ++i;
                for (;;) {
                    const Token& a = at(t, i);
                    if (a.isWord("MAX"))
                        args.push_back(-1);
                    else if (a.kind == TokenKind::Number)
                        args.push_back(std::atoi(a.text.c_str()));
                    else
                        throw syntaxError(a.text);
                    ++i;
                    if (at(t, i).isSymbol(",")) {
                        ++i;
                        continue;
                    }
                    expectSymbol(t, i, ")");
                    break;
                }
            }
            auto type = makeColumnType(typeTok.text, args);
            if (!type) {
                if (!makeColumnType(typeTok.text, {}))
                    throw SqlError(2715,
                                   "Column, parameter, or variable #" +
                                       std::to_string(columns.size() + 1) +
                                       ": Cannot find data type " + typeTok.text + ".",
                                   16, 6);
                throw SqlError(131,
                               "The size given to the column '" + col.name +
                                   "' exceeds the maximum allowed for any data type.",
                               15, 2);
            }
            col.type = *type;
            std::string sqliteDefault;
            std::string pendingName;
            for (;;) {
                if (i >= t.size() || t[i].isSymbol(",") || t[i].isSymbol(")"))
                    break;
                const Token& w = t[i];
                if (w.isWord("NOT") && i + 1 < t.size() && t[i + 1].isWord("NULL")) {
                    col.nullable = false;
                    i += 2;
                } else if (w.isWord("NULL")) {
                    ++i;
                } else if (w.isWord("IDENTITY")) {
                    ++i;
                    if (i < t.size() && t[i].isSymbol("(")) {
                        size_t close = matchingParen(t, i);
                        if (close == i + 4 && t[i + 1].kind == TokenKind::Number &&
                            t[i + 3].kind == TokenKind::Number) {
                            seed = std::atoll(t[i + 1].text.c_str());
                            increment = std::atoll(t[i + 3].text.c_str());
                        } else {
                            throw syntaxError(t[i + 1].text);
                        }
                        i = close + 1;
                    }
                    if (!isIntegerType(col.type.type) && !isDecimalType(col.type.type))
                        throw SqlError(2749,
                                       "Identity column '" + col.name +
                                           "' must be of data type int, bigint, smallint, "
                                           "tinyint, or decimal or numeric with a scale of 0, "
                                           "and constrained to be nonnullable.");
                    if (!identityColumn.empty())
                        throw SqlError(2744, "Multiple identity columns specified for table '" +
                                                 table +
                                                 "'. Only one identity column per table is "
                                                 "allowed.");
                    col.identity = true;
                    col.nullable = false;
                    identityColumn = col.name;
                } else if (w.isWord("DEFAULT")) {
                    ++i;
                    TokenSpan e = readDefault(t, i);
                    col.defaultText = normalizeDefault(e);
                    sqliteDefault = translateStatement(e, context).sql;
                    if (sqliteDefault.front() != '(')
                        sqliteDefault = "(" + sqliteDefault + ")";
                } else if (w.isWord("CONSTRAINT")) {
                    ++i;
                    pendingName = readName(t, i);
                } else if (w.isWord("PRIMARY") || w.isWord("UNIQUE")) {
                    IndexInfo ix = readKeyConstraint(t, i, pendingName);
                    ix.columns = {col.name};
                    pendingName.clear();
                    keys.push_back(ix);
                } else if (w.isWord("COLLATE")) {
                    i += 2;
                } else if (w.isWord("ROWGUIDCOL")) {
                    ++i;
                } else if (w.isWord("REFERENCES")) {
                    ++i;
                    readObjectName(t, i, session.database().name);
                    if (i < t.size() && t[i].isSymbol("("))
                        i = matchingParen(t, i) + 1;
                } else if (w.isWord("CHECK")) {
                    ++i;
                    if (i < t.size() && t[i].isSymbol("("))
                        i = matchingParen(t, i) + 1;
                } else {
                    throw syntaxError(w.text);
                }
            }
            for (const TableColumn& other : columns)
                if (iequals(other.name, col.name))
                    throw SqlError(2705,
                                   "Column names in each table must be unique. Column name '" +
                                       col.name + "' in table '" + table +
                                       "' is specified more than once.");
            col.ordinal = int(columns.size() + 1);
            std::string def = quoteIdent(col.name) + " " + storageDeclaration(col.type.type);
            if (!col.nullable && !col.identity)
                def += " NOT NULL";
            if (!sqliteDefault.empty())
                def += " DEFAULT " + sqliteDefault;
            storage.push_back(def);
            columns.push_back(col);
        }
        if (at(t, i).isSymbol(",")) {
            ++i;
            if (at(t, i).isSymbol(")"))
                break; // a trailing comma is allowed
            continue;
        }
        expectSymbol(t, i, ")");
        break;
    }
    // Storage options after the column list are accepted.
    while (i < t.size()) {
        if (t[i].isWord("ON") || t[i].isWord("TEXTIMAGE_ON")) {
            i += 2;
            continue;
        }
        throw syntaxError(t[i].text);
    }
    if (columns.empty())
        throw syntaxError(")");
    int primaryKeys = 0;
    for (IndexInfo& ix : keys) {
        for (std::string& k : ix.columns) {
            auto it = std::find_if(columns.begin(), columns.end(),
                                   [&](const TableColumn& col) { return iequals(col.name, k); });
            if (it == columns.end())
                throw SqlError(1911, "Column name '" + k +
                                         "' does not exist in the target table or view.");
            k = it->name;
            if (ix.kind == 'P')
                it->nullable = false;
        }
        if (ix.kind == 'P') {
            ++primaryKeys;
            if (ix.name.empty())
                ix.name = "PK_" + table;
        } else if (ix.name.empty()) {
            ix.name = "UQ_" + table + "_" + ix.columns.front();
        }
    }
    if (primaryKeys > 1)
        throw SqlError(8110,
                       "Cannot add multiple PRIMARY KEY constraints to table '" + table + "'.");
    // A one-column integer key that is the identity becomes SQLite's rowid.
    bool rowidIdentity = false;
    for (const IndexInfo& ix : keys)
        if (ix.kind == 'P' && ix.columns.size() == 1 && iequals(ix.columns[0], identityColumn))
            rowidIdentity = true;
    std::string ddl = "CREATE TABLE " + quoteIdent(table) + " (";
    for (size_t k = 0; k < columns.size(); ++k) {
        if (k)
            ddl += ", ";
        if (rowidIdentity && iequals(columns[k].name, identityColumn))
            ddl += quoteIdent(columns[k].name) + " INTEGER PRIMARY KEY AUTOINCREMENT";
        else
            ddl += storage[k];
        if (!columns[k].nullable && !columns[k].identity &&
            storage[k].find(" NOT NULL") == std::string::npos)
            ddl += " NOT NULL";
    }
    for (const IndexInfo& ix : keys) {
        if (rowidIdentity && ix.kind == 'P')
            continue;
        ddl += std::string(", ") + (ix.kind == 'P' ? "PRIMARY KEY (" : "UNIQUE (");
        for (size_t k = 0; k < ix.columns.size(); ++k)
            ddl += (k ? ", " : "") + quoteIdent(ix.columns[k]);
        ddl += ")";
    }
    ddl += ")";
    DdlScope scope(c);
    requireNew(c.handle(), table);
    c.exec(ddl);
    if (!identityColumn.empty() && !rowidIdentity) {
        const std::string q = quoteIdent(table), ic = quoteIdent(identityColumn);
        c.exec("CREATE TRIGGER " + quoteIdent("__standin_identity_" + table) + " AFTER INSERT ON " +
               q + " FOR EACH ROW WHEN NEW." + ic + " IS NULL BEGIN UPDATE " + q + " SET " + ic +
               " = (SELECT coalesce(max(" + ic + "), " + std::to_string(seed - increment) + ") + " +
               std::to_string(increment) + " FROM " + q + ") WHERE rowid = NEW.rowid; END");
    }
    // Dates are kept in one text form and bits as 0 or 1, whatever was written,
    // so that comparisons with parameters and literals of the same value hold.
    for (const TableColumn& col : columns) {
        std::string normal;
        const std::string ref = "NEW." + quoteIdent(col.name);
        if (isDateType(col.type.type))
            normal = "__standin_datetime(" + ref + ", " +
                     std::to_string(col.type.type == SqlType::DateTime        ? 0
                                    : col.type.type == SqlType::SmallDateTime ? 1
                                                                              : 2) +
                     ")";
        else if (col.type.type == SqlType::Bit)
            normal = "(" + ref + " <> 0)";
        else
            continue;
        const std::string q = quoteIdent(table), cq = quoteIdent(col.name);
        for (const char* event : {"INSERT", "UPDATE"}) {
            c.exec("CREATE TRIGGER " +
                   quoteIdent("__standin_" + lowerAscii(event) + "_" + table + "_" + col.name) +
                   " AFTER " + event + (std::string(event) == "UPDATE" ? " OF " + cq : "") +
                   " ON " + q + " FOR EACH ROW WHEN " + ref + " IS NOT " + normal +
                   " BEGIN UPDATE " + q + " SET " + cq + " = " + normal +
                   " WHERE rowid = NEW.rowid; END");
        }
    }
    for (const TableColumn& col : columns)
        for (const std::string& trigger :
             lengthCheckTriggers(table, col.name, col.type, session.database().collation.codePage))
            c.exec(trigger);
    addObject(c.handle(), table, "U");
    addColumns(c.handle(), table, columns);
    for (const IndexInfo& ix : keys)
        addIndex(c.handle(), table, ix);
    scope.commit();
}

void createIndex(SessionState& session, TokenSpan t) {
    size_t i = 1;
    IndexInfo ix;
    if (at(t, i).isWord("UNIQUE")) {
        ix.unique = true;
        ++i;
    }
    ix.clustered = readClustering(t, i, false);
    if (!at(t, i).isWord("INDEX"))
        throw syntaxError(at(t, i).text);
    ++i;
    ix.name = readName(t, i);
    if (!at(t, i).isWord("ON"))
        throw syntaxError(at(t, i).text);
    ++i;
    std::string table = readObjectName(t, i, session.database().name);
    ix.columns = readColumnList(t, i);
    Connection& c = *session.current().connection;
    auto object = findObject(c.handle(), "main", table);
    if (!object || object->xtype != "U")
        throw SqlError(1088,
                       "Cannot find the object \"" + table +
                           "\" because it does not exist or you do not have permissions.",
                       16, 12);
    table = object->name;
    for (std::string& col : ix.columns) {
        auto found = findColumn(c.handle(), "main", table, col);
        if (!found)
            throw SqlError(1911,
                           "Column name '" + col + "' does not exist in the target table or view.");
        col = found->name;
    }
    for (const IndexInfo& existing : tableIndexes(c.handle(), "main", table))
        if (iequals(existing.name, ix.name))
            throw SqlError(1913, "The operation failed because an index or statistics with name '" +
                                     ix.name + "' already exists on table 'dbo." + table + "'.");
    std::string ddl = std::string("CREATE ") + (ix.unique ? "UNIQUE " : "") + "INDEX " +
                      quoteIdent(table + "__" + ix.name) + " ON " + quoteIdent(table) + " (";
    for (size_t k = 0; k < ix.columns.size(); ++k)
        ddl += (k ? ", " : "") + quoteIdent(ix.columns[k]);
    ddl += ")";
    DdlScope scope(c);
    c.exec(ddl);
    addIndex(c.handle(), table, ix);
    scope.commit();
}

void createView(SessionState& session, TokenSpan t, const TranslateContext& context) {
    size_t i = 2; // CREATE VIEW
    const std::string view = readObjectName(t, i, session.database().name);
    if (i < t.size() && t[i].isSymbol("("))
        throw SqlError(50000, "View column lists are not supported by this server.");
    if (!at(t, i).isWord("AS"))
        throw syntaxError(at(t, i).text);
    ++i;
    if (!at(t, i).isWord("SELECT"))
        throw syntaxError(at(t, i).text);
    Translation select = translateStatement(t.subspan(i), context);
    Connection& c = *session.current().connection;
    DdlScope scope(c);
    requireNew(c.handle(), view);
    c.exec("CREATE VIEW " + quoteIdent(view) + " AS " + select.sql);
    addObject(c.handle(), view, "V");
    // The view's columns are what a query of it describes.
    Statement st(c, "SELECT * FROM " + quoteIdent(view));
    DescribeOptions options;
    options.current = &session.database();
    options.selectItems = &select.selectItems;
    ResultMeta meta = describeResult(st.handle(), false, options);
    std::vector<TableColumn> columns;
    for (size_t k = 0; k < meta.columns.size(); ++k) {
        const ColumnInfo& ci = meta.columns[k];
        TableColumn col;
        col.name = toUtf8(ci.name);
        col.type = ColumnType{ci.type, ci.length, ci.precision, ci.scale};
        col.nullable = ci.nullable;
        col.identity = ci.identity;
        col.ordinal = int(k + 1);
        columns.push_back(col);
    }
    addColumns(c.handle(), view, columns);
    scope.commit();
}

void dropObject(SessionState& session, TokenSpan t) {
    const std::string kind = upperAscii(at(t, 1).text);
    size_t i = 2;
    Connection& c = *session.current().connection;
    if (kind == "INDEX") {
        std::string table, index;
        std::string first = readObjectName(t, i, session.database().name);
        if (i < t.size() && t[i].isWord("ON")) {
            ++i;
            index = first;
            table = readObjectName(t, i, session.database().name);
        } else {
            // "table.index" was read as a two-part name: the object part is the index.
            size_t k = 2;
            std::vector<std::string> parts{readName(t, k)};
            while (k < t.size() && t[k].isSymbol(".")) {
                ++k;
                parts.push_back(readName(t, k));
            }
            if (parts.size() < 2)
                throw SqlError(159,
                               "Must specify the table name and index name for the DROP "
                               "INDEX statement.",
                               15);
            table = parts[parts.size() - 2];
            index = parts.back();
        }
        bool found = false;
        for (const IndexInfo& ix : tableIndexes(c.handle(), "main", table))
            if (iequals(ix.name, index) && ix.kind == 'I') {
                found = true;
                index = ix.name;
            }
        if (!found)
            throw SqlError(3701,
                           "Cannot drop the index '" + table + "." + index +
                               "', because it does not exist or you do not have permission.",
                           11, 7);
        DdlScope scope(c);
        c.exec("DROP INDEX " + quoteIdent(table + "__" + index));
        Statement st(c, "DELETE FROM __standin_indexes WHERE tbl = ? AND name = ?");
        st.bind(1, table).bind(2, index);
        st.step();
        scope.commit();
        return;
    }
    if (kind != "TABLE" && kind != "VIEW")
        throw syntaxError(at(t, 1).text);
    for (;;) {
        std::string name = readObjectName(t, i, session.database().name);
        auto object = findObject(c.handle(), "main", name);
        const char* xtype = kind == "TABLE" ? "U" : "V";
        if (!object || object->xtype != xtype)
            throw SqlError(3701,
                           "Cannot drop the " + lowerAscii(kind) + " '" + name +
                               "', because it does not exist or you do not have permission.",
                           11, 5);
        DdlScope scope(c);
        c.exec(std::string("DROP ") + kind + " " + quoteIdent(object->name));
        removeObject(c.handle(), object->name);
        scope.commit();
        if (i < t.size() && t[i].isSymbol(",")) {
            ++i;
            continue;
        }
        if (i < t.size())
            throw syntaxError(t[i].text);
        return;
    }
}

void truncateTable(SessionState& session, TokenSpan t) {
    size_t i = 1;
    if (!at(t, i).isWord("TABLE"))
        throw syntaxError(at(t, i).text);
    ++i;
    std::string name = readObjectName(t, i, session.database().name);
    if (i < t.size())
        throw syntaxError(t[i].text);
    Connection& c = *session.current().connection;
    auto object = findObject(c.handle(), "main", name);
    if (!object || object->xtype != "U")
        throw SqlError(4701,
                       "Cannot find the object \"" + name +
                           "\" because it does not exist or you do not have permissions.",
                       16, 1);
    DdlScope scope(c);
    c.exec("DELETE FROM " + quoteIdent(object->name));
    if (c.scalarInt("SELECT count(*) FROM sqlite_master WHERE name = 'sqlite_sequence'") > 0) {
        Statement st(c, "DELETE FROM sqlite_sequence WHERE name = ?");
        st.bind(1, object->name);
        st.step();
    }
    scope.commit();
}

} // namespace standin::engine
