// Writing a changed, new or deleted row to its base table. A changed or deleted
// row is found by the table's primary key, else by a unique index whose columns
// are all in the result, else by every original value; a change also requires
// the changed columns to still hold the values that were read, so that another
// connection's change in between is reported instead of overwritten. The
// statement runs in a transaction that is committed only when exactly one row
// changed, so a keyless table never has two rows changed by one edit.
#include "data/ado/Connection.h"
#include "data/ado/RecordsetImpl.h"
#include "data/ado/ServerWork.h"
#include "data/ado/ValueText.h"
#include "data/odbc/Connection.h"
#include "data/odbc/Error.h"
#include "data/odbc/Statement.h"
#include "platform/CodePageConv.h"

#include <sqlext.h>

#include <algorithm>
#include <map>

namespace ado {

namespace {

[[noreturn]] void noBaseTable() {
    throw AdoError("Insufficient base table information for updating or refreshing.");
}

WideString bracketed(const WideString& name) {
    WideString out = u"[";
    for (char16_t c : name) {
        out += c;
        if (c == u']')
            out += c;
    }
    return out + u"]";
}

struct BaseTable {
    WideString catalog, schema, table;
    WideString qualified() const {
        if (catalog.empty() && schema.empty())
            return bracketed(table);
        if (catalog.empty())
            return bracketed(schema) + u"." + bracketed(table);
        return bracketed(catalog) + u"." + (schema.empty() ? WideString() : bracketed(schema)) +
               u"." + bracketed(table);
    }
    bool owns(const ColumnInfo& c) const {
        return !c.baseTableName.empty() && compareTextNoCase(c.baseTableName, table) == 0 &&
               compareTextNoCase(c.baseSchemaName, schema) == 0 &&
               compareTextNoCase(c.baseCatalogName, catalog) == 0;
    }
};

SQLSMALLINT sqlTypeOf(DataType t) {
    switch (detail::storageKindOf(t)) {
    case detail::StorageKind::Int:
    case detail::StorageKind::Bool:
        return SQL_BIGINT;
    case detail::StorageKind::Double:
        return SQL_DOUBLE;
    case detail::StorageKind::Date:
        return SQL_TYPE_TIMESTAMP;
    case detail::StorageKind::Bytes:
        return SQL_VARBINARY;
    default:
        return SQL_WVARCHAR;
    }
}

odbc::ParamValue paramOf(const Variant& v, const ColumnInfo& column) {
    odbc::ParamValue p;
    using K = odbc::ParamValue::Kind;
    p.sqlType = sqlTypeOf(column.type);
    if (v.isBlank()) {
        p.kind = K::Null;
    } else if (v.is<bool>()) {
        p.kind = K::Int;
        p.i = v.get<bool>() ? 1 : 0;
    } else if (v.is<int64_t>()) {
        p.kind = K::Int;
        p.i = v.get<int64_t>();
    } else if (v.is<double>()) {
        p.kind = K::Double;
        p.d = v.get<double>();
    } else if (v.is<DateTime>()) {
        const auto& t = v.get<DateTime>();
        p.kind = K::Timestamp;
        p.ts.year = t.year;
        p.ts.month = t.month;
        p.ts.day = t.day;
        p.ts.hour = t.hour;
        p.ts.minute = t.minute;
        p.ts.second = t.second;
        p.ts.fraction = static_cast<SQLUINTEGER>(t.millisecond) * 1000000u;
    } else if (v.is<Bytes>()) {
        p.kind = K::Bytes;
        p.bytes = v.get<Bytes>();
    } else {
        p.kind = v.is<Decimal>() ? K::Decimal : K::Text;
        p.text = textOf(v);
    }
    return p;
}

// Whether a WHERE clause can compare the column with "=": text, ntext, image and
// the (max) types cannot be compared (or not cheaply), so they never locate a row.
bool comparable(const ColumnInfo& c) {
    switch (c.type) {
    case DataType::LongVarChar:
    case DataType::LongVarWChar:
    case DataType::LongVarBinary:
        return false;
    default:
        return !c.longData;
    }
}

} // namespace

// Finds the row's table and the columns that identify a row of it.
struct RowLocator {
    BaseTable table;
    std::vector<int> keyColumns; ///< result columns of the key; empty: all original values

    static RowLocator For(const std::vector<ColumnInfo>& columns, const std::vector<int>& changed,
                          odbc::Connection& connection) {
        RowLocator r;
        int first = -1;
        for (int c : changed)
            if (!columns[static_cast<size_t>(c)].baseTableName.empty()) {
                first = c;
                break;
            }
        if (first < 0)
            for (size_t c = 0; c < columns.size() && first < 0; ++c)
                if (!columns[c].baseTableName.empty())
                    first = static_cast<int>(c);
        if (first < 0)
            noBaseTable();
        const ColumnInfo& f = columns[static_cast<size_t>(first)];
        r.table = {f.baseCatalogName, f.baseSchemaName, f.baseTableName};
        for (int c : changed)
            if (!r.table.owns(columns[static_cast<size_t>(c)]))
                noBaseTable();

        auto resultColumnOf = [&](const WideString& baseColumn) {
            for (size_t c = 0; c < columns.size(); ++c)
                if (r.table.owns(columns[c]) &&
                    compareTextNoCase(columns[c].baseColumnName, baseColumn) == 0)
                    return static_cast<int>(c);
            return -1;
        };
        auto allPresent = [&](const std::vector<WideString>& names) {
            std::vector<int> cols;
            for (const auto& n : names) {
                const int c = resultColumnOf(n);
                if (c < 0)
                    return std::vector<int>{};
                cols.push_back(c);
            }
            return cols;
        };

        std::vector<WideString> primary;
        {
            odbc::Statement st(connection);
            st.primaryKeys(r.table.catalog, r.table.schema, r.table.table);
            while (st.fetch())
                if (auto name = st.getText(4))
                    primary.push_back(*name);
        }
        if (!primary.empty())
            r.keyColumns = allPresent(primary);
        if (r.keyColumns.empty()) {
            // Unique indexes, each as its column list, in the order the driver gives them.
            std::vector<std::pair<WideString, std::vector<WideString>>> indexes;
            odbc::Statement st(connection);
            st.statistics(r.table.catalog, r.table.schema, r.table.table, true);
            while (st.fetch()) {
                const auto nonUnique = st.getInt(4);
                const auto indexName = st.getText(6);
                const auto column = st.getText(9);
                if (!indexName || !column || (nonUnique && *nonUnique))
                    continue;
                if (indexes.empty() || indexes.back().first != *indexName)
                    indexes.push_back({*indexName, {}});
                indexes.back().second.push_back(*column);
            }
            for (const auto& [name, cols] : indexes) {
                r.keyColumns = allPresent(cols);
                if (!r.keyColumns.empty())
                    break;
            }
        }
        return r;
    }

    /// " WHERE ..." matching the row's key (or all its original values) and the
    /// original values of the `changed` columns; appends the parameters.
    WideString where(const std::vector<ColumnInfo>& columns, const std::vector<Variant>& original,
                     std::vector<odbc::ParamValue>& params,
                     const std::vector<int>& changed = {}) const {
        std::vector<int> cols = keyColumns;
        if (cols.empty())
            for (size_t c = 0; c < columns.size(); ++c)
                if (table.owns(columns[c]) && comparable(columns[c]))
                    cols.push_back(static_cast<int>(c));
        if (cols.empty())
            noBaseTable();
        for (int c : changed)
            if (comparable(columns[static_cast<size_t>(c)]) &&
                std::find(cols.begin(), cols.end(), c) == cols.end())
                cols.push_back(c);
        WideString sql = u" WHERE ";
        for (size_t k = 0; k < cols.size(); ++k) {
            const auto& info = columns[static_cast<size_t>(cols[k])];
            const Variant& v = original[static_cast<size_t>(cols[k])];
            if (k)
                sql += u" AND ";
            sql += bracketed(info.baseColumnName);
            if (v.isBlank()) {
                sql += u" IS NULL";
            } else {
                sql += u" = ?";
                params.push_back(paramOf(v, info));
            }
        }
        return sql;
    }
};

namespace {

// Runs a statement that must change exactly one row, committing only then. The
// transaction is begun and ended in SQL rather than through the driver's
// autocommit switch, so that no new transaction is left open after a rollback.
void changeOneRow(odbc::Connection& connection, const WideString& sql,
                  const std::vector<odbc::ParamValue>& params, int timeout) {
    connection.execute(u"BEGIN TRANSACTION", timeout);
    int64_t changed = -1;
    try {
        odbc::Statement st(connection);
        st.setQueryTimeout(timeout);
        st.execute(sql, params);
        changed = st.rowCount();
    } catch (...) {
        try {
            // Also after a cancel: the transaction must not stay open.
            odbc::CancelShield cleanUp;
            connection.execute(u"ROLLBACK TRANSACTION", timeout);
        } catch (...) {
            // The statement's own error is the one to report.
        }
        throw;
    }
    // Once the statement has run, the transaction is ended whatever comes: a cancel
    // pressed now is too late to stop the change.
    odbc::CancelShield endTransaction;
    if (changed != 1) {
        connection.execute(u"ROLLBACK TRANSACTION", timeout);
        if (changed == 0)
            throw AdoError("Row cannot be located for updating. Some values may have been "
                           "changed since it was last read.");
        throw AdoError("Key column information is insufficient or incorrect. Too many rows were "
                       "affected by update.");
    }
    connection.execute(u"COMMIT TRANSACTION", timeout);
}

} // namespace

void Recordset::Update() {
    d->requireOpen();
    if (d->mode == EditMode::None)
        return;
    auto& store = *d->store;
    const auto& columns = store.columns;
    const bool adding = d->mode == EditMode::Add;
    // Taken now: while the row is written, a grid painting the rows moves the position.
    const Bookmark edited = adding ? 0 : d->current();
    std::vector<Variant> original =
        adding ? std::vector<Variant>(columns.size(), Variant::null()) : store.values(edited);
    std::vector<Variant> values = original;
    std::vector<int> changed;
    for (size_t c = 0; c < columns.size(); ++c)
        if (d->pending[c]) {
            values[c] = *d->pending[c];
            changed.push_back(static_cast<int>(c));
        }

    TADOConnection* connection = ActiveConnection();
    if (connection && (!changed.empty() || adding)) {
        odbc::Connection& oc = connection->odbcConnection();
        RunServerWork(adding ? u"Inserting the row" : u"Posting the row", [&] {
            const RowLocator locator = RowLocator::For(columns, changed, oc);
            std::vector<odbc::ParamValue> params;
            for (int c : changed)
                if (columns[static_cast<size_t>(c)].readOnly)
                    throw AdoError("Field cannot be updated: " +
                                   platform::WideToAnsi(columns[static_cast<size_t>(c)].name));
            if (adding) {
                WideString names, markers;
                for (int c : changed) {
                    if (!names.empty()) {
                        names += u", ";
                        markers += u", ";
                    }
                    names += bracketed(columns[static_cast<size_t>(c)].baseColumnName);
                    markers += u"?";
                    params.push_back(
                        paramOf(values[static_cast<size_t>(c)], columns[static_cast<size_t>(c)]));
                }
                WideString sql =
                    u"INSERT INTO " + locator.table.qualified() +
                    (changed.empty() ? WideString(u" DEFAULT VALUES")
                                     : u" (" + names + u") VALUES (" + markers + u")") +
                    u"; SELECT SCOPE_IDENTITY()";
                odbc::Statement st(oc);
                st.setQueryTimeout(commandTimeout);
                st.execute(sql, params);
                std::optional<WideString> identity;
                do {
                    if (st.columnCount() > 0 && st.fetch()) {
                        identity = st.getText(1);
                        break;
                    }
                } while (st.moreResults());
                st.closeCursor();
                if (identity)
                    for (size_t c = 0; c < columns.size(); ++c)
                        if (columns[c].autoIncrement && locator.table.owns(columns[c]))
                            values[c] = Variant(*identity);
            } else {
                WideString sql = u"UPDATE " + locator.table.qualified() + u" SET ";
                for (size_t k = 0; k < changed.size(); ++k) {
                    const auto& info = columns[static_cast<size_t>(changed[k])];
                    if (k)
                        sql += u", ";
                    sql += bracketed(info.baseColumnName) + u" = ?";
                    params.push_back(paramOf(values[static_cast<size_t>(changed[k])], info));
                }
                sql += locator.where(columns, original, params, changed);
                changeOneRow(oc, sql, params, commandTimeout);
            }
        });
    }

    if (adding) {
        const Bookmark b = store.append(values);
        d->invalidateLookups();
        d->view.push_back(b);
        d->pos = static_cast<int64_t>(d->view.size()) - 1;
    } else {
        store.replace(edited, values);
        d->indexOrder.clear();
    }
    d->mode = EditMode::None;
    d->pending.clear();
}

void Recordset::Delete() {
    d->requireOpen();
    if (d->readOnly)
        throw AdoError("Current Recordset does not support updating. This may be a limitation of "
                       "the provider, or of the selected locktype.");
    if (d->mode == EditMode::Add) {
        CancelUpdate();
        return;
    }
    const Bookmark b = d->current();
    const int64_t at = d->pos;
    auto& store = *d->store;
    if (TADOConnection* connection = ActiveConnection()) {
        odbc::Connection& oc = connection->odbcConnection();
        const std::vector<Variant> values = store.values(b);
        RunServerWork(u"Deleting the row", [&] {
            const RowLocator locator = RowLocator::For(store.columns, {}, oc);
            std::vector<odbc::ParamValue> params;
            const WideString sql = u"DELETE FROM " + locator.table.qualified() +
                                   locator.where(store.columns, values, params);
            changeOneRow(oc, sql, params, commandTimeout);
        });
    }
    store.remove(b);
    d->invalidateLookups();
    // The row's place as it was before the wait, whatever a repaint did to the position.
    d->pos = at;
    d->view.erase(d->view.begin() + at);
    d->mode = EditMode::None;
    d->pending.clear();
}

} // namespace ado
