#include "standin/engine/Procedures.h"

#include "standin/engine/Catalog.h"
#include "standin/engine/CodePage.h"
#include "standin/engine/Functions.h"
#include "standin/engine/SessionState.h"
#include "standin/engine/SqlError.h"
#include "standin/engine/Text.h"

#include <algorithm>

namespace standin::engine {
namespace {

using Cell = TableResult::Cell;

ColumnInfo col(const char* name, SqlType type, int32_t length = 0, bool nullable = true) {
    ColumnInfo c;
    c.name = fromUtf8(name);
    c.type = type;
    c.nullable = nullable;
    c.writable = false;
    switch (type) {
    case SqlType::SmallInt:
        c.length = 2, c.precision = 5;
        break;
    case SqlType::TinyInt:
        c.length = 1, c.precision = 3;
        break;
    case SqlType::Int:
        c.length = 4, c.precision = 10;
        break;
    default:
        c.length = length;
    }
    c.collation = defaultCollation();
    return c;
}

ColumnInfo sysname(const char* name, bool nullable = true) {
    return col(name, SqlType::NVarChar, 128, nullable);
}

Cell optionalInt(int32_t v) {
    return v < 0 ? Cell{} : Cell{int64_t(v)};
}

struct ObjectRow {
    std::string name;
    std::string xtype;
};

/// Objects of the current database whose names match the LIKE pattern (all when absent).
std::vector<ObjectRow> matchingObjects(sqlite3* db, const std::optional<std::string>& pattern) {
    Statement st(db, "SELECT name, xtype FROM sysobjects WHERE xtype IN ('U','V','S') ORDER BY "
                     "name");
    std::vector<ObjectRow> out;
    while (st.step()) {
        ObjectRow r{st.columnText(0), st.columnText(1)};
        if (!pattern || likeMatch(*pattern, r.name))
            out.push_back(r);
    }
    return out;
}

std::optional<std::string> arg(const ProcedureArgs& args, const char* name) {
    auto it = args.find(name);
    if (it == args.end())
        return std::nullopt;
    return it->second;
}

void checkQualifier(const SessionState& session, const ProcedureArgs& args) {
    auto q = arg(args, "table_qualifier");
    if (q && !q->empty() && !iequals(*q, session.database().name))
        throw SqlError(15250, "The database name component of the object qualifier must be the "
                              "name of the current database.");
}

/// Owner restriction: only "dbo" owns objects here.
bool ownerMatches(const ProcedureArgs& args) {
    auto o = arg(args, "table_owner");
    return !o || o->empty() || likeMatch(*o, "dbo");
}

TableResult spColumns(SessionState& s, const ProcedureArgs& args) {
    TableResult r;
    r.columns = {sysname("TABLE_QUALIFIER"),
                 sysname("TABLE_OWNER"),
                 sysname("TABLE_NAME"),
                 sysname("COLUMN_NAME"),
                 col("DATA_TYPE", SqlType::SmallInt),
                 sysname("TYPE_NAME"),
                 col("PRECISION", SqlType::Int),
                 col("LENGTH", SqlType::Int),
                 col("SCALE", SqlType::SmallInt),
                 col("RADIX", SqlType::SmallInt),
                 col("NULLABLE", SqlType::SmallInt),
                 col("REMARKS", SqlType::VarChar, 254),
                 col("COLUMN_DEF", SqlType::NVarChar, 4000),
                 col("SQL_DATA_TYPE", SqlType::SmallInt),
                 col("SQL_DATETIME_SUB", SqlType::SmallInt),
                 col("CHAR_OCTET_LENGTH", SqlType::Int),
                 col("ORDINAL_POSITION", SqlType::Int),
                 col("IS_NULLABLE", SqlType::VarChar, 254),
                 col("SS_DATA_TYPE", SqlType::TinyInt)};
    checkQualifier(s, args);
    auto table = arg(args, "table_name");
    if (!table)
        throw SqlError(201,
                       "Procedure or function 'sp_columns' expects parameter '@table_name', "
                       "which was not supplied.",
                       16, 4);
    if (!ownerMatches(args))
        return r;
    auto columnPattern = arg(args, "column_name");
    sqlite3* db = s.current().connection->handle();
    for (const ObjectRow& o : matchingObjects(db, *table)) {
        for (const TableColumn& c : tableColumns(db, "main", o.name)) {
            if (columnPattern && !likeMatch(*columnPattern, c.name))
                continue;
            CatalogFigures f = catalogFigures(c.type, c.nullable);
            std::string typeName = engine::typeName(c.type.type);
            if (c.identity)
                typeName += " identity";
            r.rows.push_back({s.database().name, std::string("dbo"), o.name, c.name,
                              int64_t(odbcTypeCode(c.type.type)), typeName, int64_t(f.precision),
                              int64_t(f.length), optionalInt(f.scale), optionalInt(f.radix),
                              int64_t(c.nullable), Cell{},
                              c.defaultText.empty() ? Cell{} : Cell{c.defaultText},
                              int64_t(f.sqlDataType), optionalInt(f.datetimeSub),
                              optionalInt(f.octetLength), int64_t(c.ordinal),
                              std::string(c.nullable ? "YES" : "NO"), int64_t(f.ssDataType)});
        }
    }
    return r;
}

TableResult spStatistics(SessionState& s, const ProcedureArgs& args) {
    TableResult r;
    r.columns = {sysname("TABLE_QUALIFIER"),
                 sysname("TABLE_OWNER"),
                 sysname("TABLE_NAME"),
                 col("NON_UNIQUE", SqlType::SmallInt),
                 sysname("INDEX_QUALIFIER"),
                 sysname("INDEX_NAME"),
                 col("TYPE", SqlType::SmallInt),
                 col("SEQ_IN_INDEX", SqlType::SmallInt),
                 sysname("COLUMN_NAME"),
                 col("COLLATION", SqlType::Char, 1),
                 col("CARDINALITY", SqlType::Int),
                 col("PAGES", SqlType::Int),
                 col("FILTER_CONDITION", SqlType::VarChar, 128)};
    checkQualifier(s, args);
    auto table = arg(args, "table_name");
    if (!table)
        throw SqlError(201,
                       "Procedure or function 'sp_statistics' expects parameter "
                       "'@table_name', which was not supplied.",
                       16, 4);
    if (!ownerMatches(args))
        return r;
    sqlite3* db = s.current().connection->handle();
    auto object = findObject(db, "main", *table);
    if (!object || object->xtype == "V")
        return r;
    bool uniqueOnly = iequals(arg(args, "is_unique").value_or("N"), "Y");
    auto indexPattern = arg(args, "index_name");
    int64_t rows = 0;
    {
        Statement st(db, "SELECT count(*) FROM " + quoteIdent(object->name));
        if (st.step())
            rows = st.columnInt(0);
    }
    const std::string qualifier = s.database().name;
    r.rows.push_back({qualifier, std::string("dbo"), object->name, Cell{}, Cell{}, Cell{},
                      int64_t(0), Cell{}, Cell{}, Cell{}, rows, int64_t((rows + 49) / 50), Cell{}});
    std::vector<IndexInfo> indexes = tableIndexes(db, "main", object->name);
    // NON_UNIQUE, TYPE, INDEX_NAME order: unique ones first, clustered before others.
    std::stable_sort(indexes.begin(), indexes.end(), [](const IndexInfo& a, const IndexInfo& b) {
        if (a.unique != b.unique)
            return a.unique;
        if (a.clustered != b.clustered)
            return a.clustered;
        return lowerAscii(a.name) < lowerAscii(b.name);
    });
    for (const IndexInfo& ix : indexes) {
        if (uniqueOnly && !ix.unique)
            continue;
        if (indexPattern && !likeMatch(*indexPattern, ix.name))
            continue;
        for (size_t k = 0; k < ix.columns.size(); ++k) {
            r.rows.push_back({qualifier, std::string("dbo"), object->name, int64_t(!ix.unique),
                              object->name, ix.name, int64_t(ix.clustered ? 1 : 3), int64_t(k + 1),
                              ix.columns[k], std::string("A"), ix.unique ? Cell{rows} : Cell{},
                              Cell{}, Cell{}});
        }
    }
    return r;
}

TableResult spPkeys(SessionState& s, const ProcedureArgs& args) {
    TableResult r;
    r.columns = {sysname("TABLE_QUALIFIER"),
                 sysname("TABLE_OWNER"),
                 sysname("TABLE_NAME", false),
                 sysname("COLUMN_NAME", false),
                 col("KEY_SEQ", SqlType::SmallInt, 0, false),
                 sysname("PK_NAME")};
    checkQualifier(s, args);
    auto table = arg(args, "table_name");
    if (!table)
        throw SqlError(201,
                       "Procedure or function 'sp_pkeys' expects parameter '@table_name', "
                       "which was not supplied.",
                       16, 4);
    if (!ownerMatches(args))
        return r;
    sqlite3* db = s.current().connection->handle();
    auto object = findObject(db, "main", *table);
    if (!object)
        return r;
    for (const IndexInfo& ix : tableIndexes(db, "main", object->name)) {
        if (ix.kind != 'P')
            continue;
        for (size_t k = 0; k < ix.columns.size(); ++k)
            r.rows.push_back({s.database().name, std::string("dbo"), object->name, ix.columns[k],
                              int64_t(k + 1), ix.name});
    }
    return r;
}

TableResult spTables(SessionState& s, const ProcedureArgs& args) {
    TableResult r;
    r.columns = {sysname("TABLE_QUALIFIER"), sysname("TABLE_OWNER"), sysname("TABLE_NAME"),
                 col("TABLE_TYPE", SqlType::VarChar, 32), col("REMARKS", SqlType::VarChar, 254)};
    auto qualifier = arg(args, "table_qualifier");
    if (qualifier && !qualifier->empty() && !likeMatch(*qualifier, s.database().name))
        return r;
    if (!ownerMatches(args))
        return r;
    auto types = arg(args, "table_type");
    auto wanted = [&](const std::string& type) {
        return !types || types->empty() ||
               upperAscii(*types).find("'" + type + "'") != std::string::npos ||
               iequals(*types, type);
    };
    sqlite3* db = s.current().connection->handle();
    std::vector<std::vector<Cell>> rows;
    for (const ObjectRow& o : matchingObjects(db, arg(args, "table_name"))) {
        std::string type = o.xtype == "U" ? "TABLE" : o.xtype == "V" ? "VIEW" : "SYSTEM TABLE";
        if (!wanted(type))
            continue;
        rows.push_back({s.database().name, std::string("dbo"), o.name, type, Cell{}});
    }
    std::stable_sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) {
        return std::get<std::string>(a[3]) < std::get<std::string>(b[3]);
    });
    r.rows = std::move(rows);
    return r;
}

} // namespace

const std::vector<std::string>* procedureParameters(const std::string& name) {
    static const std::map<std::string, std::vector<std::string>> kParams = {
        {"sp_columns", {"table_name", "table_owner", "table_qualifier", "column_name", "odbcver"}},
        {"sp_statistics",
         {"table_name", "table_owner", "table_qualifier", "index_name", "is_unique", "accuracy"}},
        {"sp_pkeys", {"table_name", "table_owner", "table_qualifier"}},
        {"sp_tables",
         {"table_name", "table_owner", "table_qualifier", "table_type", "fusepattern"}},
    };
    auto it = kParams.find(name);
    return it == kParams.end() ? nullptr : &it->second;
}

TableResult runCatalogProcedure(SessionState& session, const std::string& name,
                                const ProcedureArgs& args) {
    if (name == "sp_columns")
        return spColumns(session, args);
    if (name == "sp_statistics")
        return spStatistics(session, args);
    if (name == "sp_pkeys")
        return spPkeys(session, args);
    if (name == "sp_tables")
        return spTables(session, args);
    throw SqlError(2812, "Could not find stored procedure '" + name + "'.", 16, 62);
}

int64_t sendTable(const TableResult& result, ResultSink& sink) {
    ResultMeta meta;
    meta.columns = result.columns;
    sink.resultBegin(meta);
    std::vector<Value> values(result.columns.size());
    std::vector<std::u16string> wide(result.columns.size());
    std::vector<std::string> bytes(result.columns.size());
    for (const auto& row : result.rows) {
        for (size_t k = 0; k < row.size() && k < values.size(); ++k) {
            const Cell& cell = row[k];
            if (std::holds_alternative<std::monostate>(cell)) {
                values[k] = std::monostate{};
            } else if (auto i = std::get_if<int64_t>(&cell)) {
                values[k] = *i;
            } else {
                const std::string& text = std::get<std::string>(cell);
                if (isNCharType(result.columns[k].type)) {
                    wide[k] = fromUtf8(text);
                    values[k] = std::u16string_view(wide[k]);
                } else {
                    utf8ToCodePage(result.columns[k].collation.codePage, text, bytes[k]);
                    values[k] = std::string_view(bytes[k]);
                }
            }
        }
        sink.row(values);
    }
    return int64_t(result.rows.size());
}

} // namespace standin::engine
