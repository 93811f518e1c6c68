// Opening a recordset over ODBC: every row of the first result that has columns
// is fetched at once over a forward-only, read-only statement and packed.
#include "data/ado/AssumedSource.h"
#include "data/ado/Connection.h"
#include "data/ado/RecordsetImpl.h"
#include "data/ado/ServerWork.h"
#include "data/odbc/BlockReader.h"
#include "data/odbc/Connection.h"
#include "data/odbc/Statement.h"

#include <sqlext.h>

namespace ado {

namespace detail {
DataType dataTypeOfSql(int sqlType, uint64_t size) {
    switch (sqlType) {
    case SQL_CHAR:
        return DataType::Char;
    case SQL_VARCHAR:
        return size == 0 ? DataType::LongVarChar : DataType::VarChar;
    case SQL_LONGVARCHAR:
        return DataType::LongVarChar;
    case SQL_WCHAR:
        return DataType::WChar;
    case SQL_WVARCHAR:
        return size == 0 ? DataType::LongVarWChar : DataType::VarWChar;
    case SQL_WLONGVARCHAR:
        return DataType::LongVarWChar;
    case SQL_BIT:
        return DataType::Boolean;
    case SQL_TINYINT:
        return DataType::UnsignedTinyInt;
    case SQL_SMALLINT:
        return DataType::SmallInt;
    case SQL_INTEGER:
        return DataType::Integer;
    case SQL_BIGINT:
        return DataType::BigInt;
    case SQL_REAL:
        return DataType::Single;
    case SQL_FLOAT:
    case SQL_DOUBLE:
        return DataType::Double;
    case SQL_DECIMAL:
    case SQL_NUMERIC:
        return DataType::Numeric;
    case SQL_TYPE_TIMESTAMP:
    case SQL_TYPE_DATE:
    case SQL_DATETIME:
        return DataType::DBTimeStamp;
    case SQL_GUID:
        return DataType::GUID;
    case SQL_BINARY:
        return DataType::Binary;
    case SQL_VARBINARY:
        return size == 0 ? DataType::LongVarBinary : DataType::VarBinary;
    case SQL_LONGVARBINARY:
        return DataType::LongVarBinary;
    default:
        return DataType::VarWChar;
    }
}
} // namespace detail

namespace {

ColumnInfo columnInfoOf(const odbc::ColumnDescription& c) {
    ColumnInfo info;
    info.name = c.name;
    info.type = detail::dataTypeOfSql(c.sqlType, c.size);
    info.definedSize = static_cast<int64_t>(c.size);
    info.precision = (info.type == DataType::Numeric) ? static_cast<int>(c.size) : 0;
    info.scale = c.decimalDigits;
    info.nullable = c.nullable;
    info.autoIncrement = c.autoIncrement;
    info.longData = odbc::BlockReader::isLong(c);
    info.readOnly = c.autoIncrement;
    if (!c.baseTable.empty()) {
        info.baseTableName = c.baseTable;
        info.baseColumnName = c.baseColumn.empty() ? c.name : c.baseColumn;
        info.baseCatalogName = c.catalog;
        info.baseSchemaName = c.schema;
    } else {
        // Without a base table the column is an expression: it cannot be written.
        info.readOnly = true;
    }
    return info;
}

void fetchAll(odbc::Statement& st, const std::vector<odbc::ColumnDescription>& described,
              detail::RowStore& store) {
    odbc::BlockReader reader(st, described);
    const int n = static_cast<int>(described.size());
    using K = odbc::BlockReader::Kind;
    while (reader.next()) {
        store.begin();
        for (int c = 0; c < n; ++c) {
            if (reader.isNull(c)) {
                store.putNull(c);
                continue;
            }
            switch (reader.kind(c)) {
            case K::Int:
                store.putInt(c, reader.intValue(c));
                break;
            case K::Double:
                store.putDouble(c, reader.doubleValue(c));
                break;
            case K::Bit:
                store.putBool(c, reader.bitValue(c));
                break;
            case K::Timestamp: {
                const SQL_TIMESTAMP_STRUCT ts = reader.timestampValue(c);
                DateTime t;
                t.year = static_cast<int16_t>(ts.year);
                t.month = static_cast<uint8_t>(ts.month);
                t.day = static_cast<uint8_t>(ts.day);
                t.hour = static_cast<uint8_t>(ts.hour);
                t.minute = static_cast<uint8_t>(ts.minute);
                t.second = static_cast<uint8_t>(ts.second);
                t.millisecond = static_cast<uint16_t>((ts.fraction + 500000) / 1000000);
                store.putDate(c, t);
                break;
            }
            case K::Text: {
                const std::u16string_view text = reader.textValue(c);
                if (store.kinds[static_cast<size_t>(c)] == detail::StorageKind::DecimalText) {
                    std::string ascii(text.begin(), text.end());
                    store.putBytes(c, ascii.data(), ascii.size());
                } else {
                    store.putBytes(c, text.data(), text.size() * sizeof(char16_t));
                }
                break;
            }
            case K::Bytes: {
                const auto bytes = reader.bytesValue(c);
                store.putBytes(c, bytes.data(), bytes.size());
                break;
            }
            }
        }
        store.finish();
    }
}

} // namespace

void Recordset::Open(const WideString& source, TADOConnection& connection,
                     CommandType commandType) {
    openWithCount(source, connection, commandType, nullptr);
}

void Recordset::openWithCount(const WideString& source, TADOConnection& connection,
                              CommandType commandType, int64_t* recordsAffected) {
    Close();
    if (source.empty())
        throw AdoError("Command text was not set for the command object.");
    WideString sql = source;
    if (commandType == CommandType::Table || commandType == CommandType::TableDirect)
        sql = u"select * from " + source;

    odbc::Connection& oc = connection.odbcConnection();
    const WideString work =
        commandType == CommandType::Text ? WideString(u"Running SQL") : u"Opening " + source;
    int64_t affected = -1;
    std::shared_ptr<detail::RowStore> store;
    // The rows are fetched into a store nobody sees yet; the recordset takes them after.
    RunServerWork(work, [&] {
        // Base table and column names come only with browse information.
        connection.setBrowseInformation(true);
        odbc::Statement st(oc);
        st.setQueryTimeout(commandTimeout);
        st.execute(sql);

        int columns = st.columnCount();
        while (columns == 0) {
            if (const int64_t n = st.rowCount(); n >= 0)
                affected = n;
            if (!st.moreResults())
                break;
            columns = st.columnCount();
        }
        if (columns == 0)
            return;
        std::vector<odbc::ColumnDescription> described;
        std::vector<ColumnInfo> infos;
        for (int c = 1; c <= columns; ++c) {
            described.push_back(st.describe(c));
            infos.push_back(columnInfoOf(described.back()));
        }
        store = std::make_shared<detail::RowStore>(std::move(infos));
        fetchAll(st, described, *store);
        st.closeCursor();

        // Without browse information the table the statement names stands in for it.
        Recordset::AssumedSource assumed = assumedSource;
        if (assumed.table.empty() &&
            (commandType == CommandType::Table || commandType == CommandType::TableDirect))
            assumed = {source, true, {}};
        detail::ResolveWithoutBrowse(assumed, store->columns, oc);

        // A table named without its database lives in the current one.
        WideString catalog;
        for (auto& info : store->columns)
            if (!info.baseTableName.empty() && info.baseCatalogName.empty()) {
                if (catalog.empty())
                    catalog = oc.currentCatalog();
                info.baseCatalogName = catalog;
            }
    });
    d->link = connection.link();
    d->source = source;
    d->commandType = commandType;
    d->readOnly = lockType == LockType::ReadOnly;
    if (recordsAffected)
        *recordsAffected = affected;
    if (!store)
        return; // no rows: the recordset stays closed

    d->store = std::move(store);
    d->open = true;
    d->rebuildView();
}

void Recordset::Requery() {
    TADOConnection* connection = ActiveConnection();
    if (!connection)
        throw AdoError("Operation is not allowed when the object is closed.");
    const WideString source = d->source;
    const CommandType type = d->commandType;
    const WideString sort = d->sortText, filter = d->filterText, index = d->indexText;
    openWithCount(source, *connection, type, nullptr);
    if (d->open) {
        if (!sort.empty())
            setSort(sort);
        if (!filter.empty())
            setFilter(filter);
        if (!index.empty())
            setIndex(index);
    }
}

} // namespace ado
