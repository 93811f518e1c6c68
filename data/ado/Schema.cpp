// Schema rowsets built from the ODBC catalog functions, with OLE DB's column names.
#include "data/ado/Connection.h"
#include "data/ado/RecordsetImpl.h"
#include "data/ado/ServerWork.h"
#include "data/ado/SqlName.h"
#include "data/ado/ValueText.h"
#include "data/odbc/Connection.h"
#include "data/odbc/Statement.h"

#include <sqlext.h>

namespace ado {

namespace {

// A restriction is a bare name: the driver quotes it itself, so a name that
// arrives bracketed (a table dataset's command text) loses its brackets.
WideString restriction(const std::vector<Variant>& r, size_t i) {
    return i < r.size() && !r[i].isBlank() ? UnquotedName(textOf(r[i])) : WideString();
}

Variant textOrNull(const std::optional<WideString>& t) {
    return t ? Variant(*t) : Variant::null();
}

Variant intOrNull(const std::optional<int64_t>& v) {
    return v ? Variant(*v) : Variant::null();
}

ColumnInfo column(const char16_t* name, DataType type, int64_t size = 0) {
    ColumnInfo c;
    c.name = name;
    c.type = type;
    c.definedSize = size;
    c.readOnly = true;
    return c;
}

std::shared_ptr<Recordset> indexes(odbc::Connection& oc, const std::vector<Variant>& r) {
    const WideString catalog = restriction(r, 0), schema = restriction(r, 1),
                     indexName = restriction(r, 2), table = restriction(r, 4);
    if (table.empty())
        throw AdoError("The index schema needs a table name restriction.");
    std::vector<WideString> primaryKeyNames;
    {
        odbc::Statement st(oc);
        st.primaryKeys(catalog, schema, table);
        while (st.fetch()) {
            // Read in column order: not every driver lets SQLGetData go back.
            (void)st.getText(4);
            (void)st.getInt(5);
            const auto name = st.getText(6);
            if (name)
                primaryKeyNames.push_back(*name);
        }
    }
    std::vector<ColumnInfo> cols = {
        column(u"TABLE_CATALOG", DataType::VarWChar, 128),
        column(u"TABLE_SCHEMA", DataType::VarWChar, 128),
        column(u"TABLE_NAME", DataType::VarWChar, 128),
        column(u"INDEX_NAME", DataType::VarWChar, 128),
        column(u"PRIMARY_KEY", DataType::Boolean),
        column(u"UNIQUE", DataType::Boolean),
        column(u"CLUSTERED", DataType::Boolean),
        column(u"TYPE", DataType::UnsignedTinyInt),
        column(u"ORDINAL_POSITION", DataType::Integer),
        column(u"COLUMN_NAME", DataType::VarWChar, 128),
        column(u"COLLATION", DataType::SmallInt),
        column(u"AUTO_UPDATE", DataType::Boolean),
        column(u"NULLS", DataType::Integer),
        column(u"CARDINALITY", DataType::BigInt),
    };
    std::vector<std::vector<Variant>> rows;
    odbc::Statement st(oc);
    st.statistics(catalog, schema, table, false);
    while (st.fetch()) {
        const auto cat = st.getText(1), sch = st.getText(2), tab = st.getText(3);
        const auto nonUnique = st.getInt(4);
        (void)st.getText(5);
        const auto name = st.getText(6);
        const auto type = st.getInt(7);
        const auto ordinal = st.getInt(8);
        const auto columnName = st.getText(9);
        const auto ascOrDesc = st.getText(10);
        const auto cardinality = st.getInt(11);
        if (!name || (type && *type == SQL_TABLE_STAT))
            continue;
        if (!indexName.empty() && compareTextNoCase(*name, indexName) != 0)
            continue;
        bool primary = false;
        for (const auto& pk : primaryKeyNames)
            primary = primary || compareTextNoCase(pk, *name) == 0;
        rows.push_back({textOrNull(cat), textOrNull(sch), textOrNull(tab), Variant(*name),
                        Variant(primary), Variant(!nonUnique || *nonUnique == 0),
                        Variant(type && *type == SQL_INDEX_CLUSTERED), Variant(int64_t{1}),
                        intOrNull(ordinal), textOrNull(columnName),
                        Variant(int64_t{ascOrDesc && *ascOrDesc == u"D" ? 2 : 1}), Variant(true),
                        Variant(int64_t{0}), intOrNull(cardinality)});
    }
    return Recordset::FromRows(std::move(cols), rows);
}

std::shared_ptr<Recordset> columns(odbc::Connection& oc, const std::vector<Variant>& r) {
    const WideString catalog = restriction(r, 0), schema = restriction(r, 1),
                     table = restriction(r, 2), columnName = restriction(r, 3);
    if (table.empty())
        throw AdoError("The column schema needs a table name restriction.");
    std::vector<ColumnInfo> cols = {
        column(u"TABLE_CATALOG", DataType::VarWChar, 128),
        column(u"TABLE_SCHEMA", DataType::VarWChar, 128),
        column(u"TABLE_NAME", DataType::VarWChar, 128),
        column(u"COLUMN_NAME", DataType::VarWChar, 128),
        column(u"ORDINAL_POSITION", DataType::Integer),
        column(u"COLUMN_HASDEFAULT", DataType::Boolean),
        column(u"COLUMN_DEFAULT", DataType::VarWChar, 4000),
        column(u"IS_NULLABLE", DataType::Boolean),
        column(u"DATA_TYPE", DataType::UnsignedTinyInt),
        column(u"CHARACTER_MAXIMUM_LENGTH", DataType::BigInt),
        column(u"NUMERIC_PRECISION", DataType::Integer),
        column(u"NUMERIC_SCALE", DataType::SmallInt),
    };
    std::vector<std::vector<Variant>> rows;
    odbc::Statement st(oc);
    st.columns(catalog, schema, table, columnName);
    while (st.fetch()) {
        // Read in column order: not every driver lets SQLGetData go back.
        const auto cat = st.getText(1), sch = st.getText(2), tab = st.getText(3),
                   name = st.getText(4);
        const auto sqlType = st.getInt(5);
        (void)st.getText(6);
        const auto size = st.getInt(7);
        (void)st.getInt(8);
        const auto digits = st.getInt(9);
        (void)st.getInt(10);
        const auto nullable = st.getInt(11);
        (void)st.getText(12);
        const auto def = st.getText(13);
        (void)st.getInt(14);
        (void)st.getInt(15);
        (void)st.getInt(16);
        const auto ordinal = st.getInt(17);
        const DataType type = detail::dataTypeOfSql(sqlType ? static_cast<int>(*sqlType) : 0,
                                                    size ? static_cast<uint64_t>(*size) : 0);
        const auto kind = detail::storageKindOf(type);
        const bool isText = kind == detail::StorageKind::Text || kind == detail::StorageKind::Bytes;
        const bool isNumber = kind == detail::StorageKind::Int ||
                              kind == detail::StorageKind::Double ||
                              kind == detail::StorageKind::DecimalText;
        rows.push_back(
            {textOrNull(cat), textOrNull(sch), textOrNull(tab), textOrNull(name),
             intOrNull(ordinal), Variant(def.has_value()), textOrNull(def),
             Variant(!nullable || *nullable != SQL_NO_NULLS),
             Variant(int64_t{static_cast<int>(type)}), isText ? intOrNull(size) : Variant::null(),
             isNumber ? intOrNull(size) : Variant::null(),
             kind == detail::StorageKind::DecimalText ? intOrNull(digits) : Variant::null()});
    }
    return Recordset::FromRows(std::move(cols), rows);
}

} // namespace

std::shared_ptr<Recordset> TADOConnection::OpenSchema(Schema schema,
                                                      const std::vector<Variant>& restrictions) {
    odbc::Connection& oc = odbcConnection();
    if (schema != Schema::Indexes && schema != Schema::Columns)
        throw AdoError("Object or provider is not capable of performing requested operation.");
    countSchemaRequest();
    std::shared_ptr<Recordset> rs;
    RunServerWork(u"Reading the table's schema", [&] {
        rs = schema == Schema::Indexes ? indexes(oc, restrictions) : columns(oc, restrictions);
    });
    rs->d->link = link();
    rs->d->readOnly = true;
    return rs;
}

} // namespace ado
