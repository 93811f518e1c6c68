#include "standin/engine/Catalog.h"

#include "standin/engine/Text.h"

#include <algorithm>

namespace standin::engine {
namespace {

std::string prefix(const std::string& schema) {
    return schema.empty() ? std::string() : quoteIdent(schema) + ".";
}

struct SystemTable {
    const char* name;
    int id;
};
const SystemTable kSystemTables[] = {
    {"sysobjects", 1},     {"sysindexes", 2},  {"syscolumns", 3},     {"systypes", 4},
    {"syscomments", 6},    {"sysfiles1", 8},   {"syspermissions", 9}, {"sysusers", 10},
    {"sysproperties", 11}, {"sysdepends", 12}, {"sysreferences", 19}, {"sysfilegroups", 96},
};

void addSystemTableColumns(sqlite3* db, const std::string& table,
                           const std::vector<std::pair<const char*, const char*>>& cols) {
    std::vector<TableColumn> columns;
    for (auto [name, type] : cols) {
        TableColumn c;
        c.name = name;
        std::string t = type;
        if (t == "sysname")
            c.type = ColumnType{SqlType::NVarChar, 128, 0, 0};
        else if (t == "char2")
            c.type = ColumnType{SqlType::Char, 2, 0, 0};
        else if (t == "nvarchar260")
            c.type = ColumnType{SqlType::NVarChar, 260, 0, 0};
        else
            c.type = *makeColumnType(t, {});
        c.nullable = false;
        columns.push_back(c);
    }
    for (size_t i = 0; i < columns.size(); ++i)
        columns[i].ordinal = int(i + 1);
    addColumns(db, table, columns);
}

} // namespace

void initialiseCatalog(Connection& db, bool isMaster) {
    db.exec("BEGIN");
    db.exec("CREATE TABLE IF NOT EXISTS __standin_columns(tbl TEXT COLLATE NOCASE, ord INTEGER, "
            "name TEXT COLLATE NOCASE, type TEXT, length INTEGER, prec INTEGER, scale INTEGER, "
            "nullable INTEGER, isIdentity INTEGER, defaultText TEXT, PRIMARY KEY(tbl, ord))");
    db.exec("CREATE TABLE IF NOT EXISTS __standin_indexes(tbl TEXT COLLATE NOCASE, "
            "name TEXT COLLATE NOCASE, kind TEXT, isUnique INTEGER, clustered INTEGER, "
            "seq INTEGER, col TEXT COLLATE NOCASE)");
    db.exec("CREATE TABLE IF NOT EXISTS sysobjects(name TEXT COLLATE NOCASE NOT NULL, "
            "id INTEGER PRIMARY KEY, xtype TEXT NOT NULL, uid INTEGER NOT NULL DEFAULT 1, "
            "info INTEGER NOT NULL DEFAULT 0, status INTEGER NOT NULL DEFAULT 0, "
            "base_schema_ver INTEGER NOT NULL DEFAULT 0, replinfo INTEGER NOT NULL DEFAULT 0, "
            "parent_obj INTEGER NOT NULL DEFAULT 0, crdate TEXT NOT NULL DEFAULT "
            "(strftime('%Y-%m-%d %H:%M:%f','now','localtime')), type TEXT NOT NULL, "
            "userstat INTEGER NOT NULL DEFAULT 0, sysstat INTEGER NOT NULL DEFAULT 0, "
            "category INTEGER NOT NULL DEFAULT 0)");
    for (const SystemTable& t : kSystemTables) {
        Statement st(db, "INSERT OR IGNORE INTO sysobjects(name, id, xtype, type, category, "
                         "sysstat) VALUES (?, ?, 'S', 'S', 2, 1)");
        st.bind(1, std::string_view(t.name)).bind(2, int64_t(t.id));
        st.step();
    }
    if (db.scalarInt("SELECT count(*) FROM __standin_columns WHERE tbl = 'sysobjects'") == 0) {
        addSystemTableColumns(db.handle(), "sysobjects",
                              {{"name", "sysname"},
                               {"id", "int"},
                               {"xtype", "char2"},
                               {"uid", "smallint"},
                               {"info", "smallint"},
                               {"status", "int"},
                               {"base_schema_ver", "int"},
                               {"replinfo", "int"},
                               {"parent_obj", "int"},
                               {"crdate", "datetime"},
                               {"type", "char2"},
                               {"userstat", "int"},
                               {"sysstat", "int"},
                               {"category", "int"}});
    }
    if (isMaster) {
        db.exec("CREATE TABLE IF NOT EXISTS sysdatabases(name TEXT COLLATE NOCASE NOT NULL, "
                "dbid INTEGER PRIMARY KEY, sid BLOB, mode INTEGER NOT NULL DEFAULT 0, "
                "status INTEGER NOT NULL DEFAULT 16, status2 INTEGER NOT NULL DEFAULT 0, "
                "crdate TEXT NOT NULL DEFAULT (strftime('%Y-%m-%d %H:%M:%f','now','localtime')), "
                "reserved TEXT NOT NULL DEFAULT '1900-01-01 00:00:00.000', "
                "category INTEGER NOT NULL DEFAULT 0, cmptlevel INTEGER NOT NULL DEFAULT 80, "
                "filename TEXT, version INTEGER DEFAULT 539, collation TEXT)");
        Statement st(db, "INSERT OR IGNORE INTO sysobjects(name, id, xtype, type, category, "
                         "sysstat) VALUES ('sysdatabases', 30, 'S', 'S', 2, 1)");
        st.step();
        if (db.scalarInt("SELECT count(*) FROM __standin_columns WHERE tbl = 'sysdatabases'") ==
            0) {
            addSystemTableColumns(db.handle(), "sysdatabases",
                                  {{"name", "sysname"},
                                   {"dbid", "smallint"},
                                   {"sid", "varbinary"},
                                   {"mode", "smallint"},
                                   {"status", "int"},
                                   {"status2", "int"},
                                   {"crdate", "datetime"},
                                   {"reserved", "datetime"},
                                   {"category", "int"},
                                   {"cmptlevel", "tinyint"},
                                   {"filename", "nvarchar260"},
                                   {"version", "smallint"}});
        }
    }
    db.exec("COMMIT");
}

int64_t addObject(sqlite3* db, const std::string& name, const char* xtype) {
    int64_t top = 0;
    {
        Statement st(db, "SELECT coalesce(max(id), 0) FROM sysobjects WHERE id > 1000");
        if (st.step())
            top = st.columnInt(0);
    }
    // Ids spread like the server's, yet deterministic for a given creation order.
    int64_t id = top == 0 ? 117575457 : top + 16000057;
    if (id > 2147483647)
        id = top + 1;
    Statement st(db, "INSERT INTO sysobjects(name, id, xtype, type) VALUES (?, ?, ?, ?)");
    st.bind(1, name).bind(2, id).bind(3, std::string_view(xtype)).bind(4, std::string_view(xtype));
    st.step();
    return id;
}

void removeObject(sqlite3* db, const std::string& name) {
    for (const char* sql :
         {"DELETE FROM sysobjects WHERE name = ?", "DELETE FROM __standin_columns WHERE tbl = ?",
          "DELETE FROM __standin_indexes WHERE tbl = ?"}) {
        Statement st(db, sql);
        st.bind(1, name);
        st.step();
    }
}

std::optional<ObjectRef> findObject(sqlite3* db, const std::string& schema,
                                    const std::string& name) {
    Statement st(db, "SELECT name, xtype, id FROM " + prefix(schema) + "sysobjects WHERE name = ?");
    st.bind(1, name);
    if (!st.step())
        return std::nullopt;
    return ObjectRef{st.columnText(0), st.columnText(1), st.columnInt(2)};
}

void addColumns(sqlite3* db, const std::string& table, const std::vector<TableColumn>& columns) {
    Statement st(db, "INSERT INTO __standin_columns(tbl, ord, name, type, length, prec, scale, "
                     "nullable, isIdentity, defaultText) VALUES (?,?,?,?,?,?,?,?,?,?)");
    for (const TableColumn& c : columns) {
        st.reset();
        st.bind(1, table).bind(2, int64_t(c.ordinal)).bind(3, c.name);
        st.bind(4, std::string_view(typeName(c.type.type)));
        st.bind(5, int64_t(c.type.length)).bind(6, int64_t(c.type.precision));
        st.bind(7, int64_t(c.type.scale)).bind(8, int64_t(c.nullable));
        st.bind(9, int64_t(c.identity));
        if (c.defaultText.empty())
            st.bindNull(10);
        else
            st.bind(10, c.defaultText);
        st.step();
    }
}

void addIndex(sqlite3* db, const std::string& table, const IndexInfo& index) {
    Statement st(db, "INSERT INTO __standin_indexes(tbl, name, kind, isUnique, clustered, seq, "
                     "col) VALUES (?,?,?,?,?,?,?)");
    for (size_t i = 0; i < index.columns.size(); ++i) {
        st.reset();
        st.bind(1, table).bind(2, index.name).bind(3, std::string_view(&index.kind, 1));
        st.bind(4, int64_t(index.unique)).bind(5, int64_t(index.clustered));
        st.bind(6, int64_t(i + 1)).bind(7, index.columns[i]);
        st.step();
    }
}

static TableColumn readColumn(Statement& st) {
    TableColumn c;
    c.name = st.columnText(0);
    ColumnType t;
    t.type = makeColumnType(st.columnText(1), {})->type;
    t.length = int32_t(st.columnInt(2));
    t.precision = uint8_t(st.columnInt(3));
    t.scale = uint8_t(st.columnInt(4));
    c.type = t;
    c.nullable = st.columnInt(5) != 0;
    c.identity = st.columnInt(6) != 0;
    c.defaultText = st.columnText(7);
    c.ordinal = int(st.columnInt(8));
    return c;
}

static const char* kColumnFields =
    "SELECT name, type, length, prec, scale, nullable, isIdentity, defaultText, ord FROM ";

std::vector<TableColumn> tableColumns(sqlite3* db, const std::string& schema,
                                      const std::string& table) {
    Statement st(db,
                 kColumnFields + prefix(schema) + "__standin_columns WHERE tbl = ? ORDER BY ord");
    st.bind(1, table);
    std::vector<TableColumn> out;
    while (st.step())
        out.push_back(readColumn(st));
    return out;
}

std::optional<TableColumn> findColumn(sqlite3* db, const std::string& schema,
                                      const std::string& table, const std::string& column) {
    Statement st(db,
                 kColumnFields + prefix(schema) + "__standin_columns WHERE tbl = ? AND name = ?");
    st.bind(1, table).bind(2, column);
    if (!st.step())
        return std::nullopt;
    return readColumn(st);
}

std::vector<IndexInfo> tableIndexes(sqlite3* db, const std::string& schema,
                                    const std::string& table) {
    Statement st(db, "SELECT name, kind, isUnique, clustered, col FROM " + prefix(schema) +
                         "__standin_indexes WHERE tbl = ? ORDER BY kind <> 'P', name, seq");
    st.bind(1, table);
    std::vector<IndexInfo> out;
    while (st.step()) {
        std::string name = st.columnText(0);
        if (out.empty() || out.back().name != name) {
            IndexInfo ix;
            ix.name = name;
            std::string kind = st.columnText(1);
            ix.kind = kind.empty() ? 'I' : kind[0];
            ix.unique = st.columnInt(2) != 0;
            ix.clustered = st.columnInt(3) != 0;
            out.push_back(ix);
        }
        out.back().columns.push_back(st.columnText(4));
    }
    return out;
}

} // namespace standin::engine
