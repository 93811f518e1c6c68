#include "data/ado/AssumedSource.h"

#include "data/ado/ValueText.h"
#include "data/odbc/Statement.h"

#include <optional>

namespace ado::detail {

std::vector<WideString> SplitTableName(const WideString& name) {
    std::vector<WideString> parts(1);
    size_t i = 0;
    while (i < name.size()) {
        const char16_t c = name[i];
        if (c == u'[' || c == u'"') {
            const char16_t close = c == u'[' ? u']' : u'"';
            ++i;
            for (;;) {
                if (i >= name.size())
                    return {};
                if (name[i] == close) {
                    if (i + 1 < name.size() && name[i + 1] == close) {
                        parts.back() += close;
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                parts.back() += name[i++];
            }
        } else if (c == u'.') {
            parts.emplace_back();
            ++i;
        } else if (c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u',' || c == u'(' ||
                   c == u')' || c == u';' || c == u'\'') {
            return {};
        } else {
            parts.back() += c;
            ++i;
        }
    }
    if (parts.size() > 3 || parts.back().empty())
        return {};
    return parts;
}

void ResolveWithoutBrowse(const Recordset::AssumedSource& source, std::vector<ColumnInfo>& columns,
                          odbc::Connection& connection) {
    if (source.table.empty())
        return;
    for (const ColumnInfo& c : columns)
        if (!c.baseTableName.empty())
            return; // the server described the result itself
    const std::vector<WideString> parts = SplitTableName(source.table);
    if (parts.empty())
        return;
    const WideString& table = parts.back();
    const WideString schema = parts.size() >= 2 ? parts[parts.size() - 2] : WideString();
    const WideString catalog = parts.size() == 3 ? parts[0] : WideString();

    struct Found {
        WideString catalog, schema, table;
        std::vector<WideString> columns;
    };
    std::optional<Found> found;
    {
        odbc::Statement st(connection);
        st.columns(catalog, schema, table, WideString());
        while (st.fetch()) {
            // The catalogue reads the names as patterns ("_" matches any character),
            // so only rows of exactly this table count.
            const WideString cat = st.getText(1).value_or(WideString());
            const WideString sch = st.getText(2).value_or(WideString());
            const WideString tab = st.getText(3).value_or(WideString());
            const auto column = st.getText(4);
            if (!column || compareTextNoCase(tab, table) != 0 ||
                (!schema.empty() && compareTextNoCase(sch, schema) != 0))
                continue;
            if (!found) {
                found = Found{cat, sch, tab, {}};
            } else if (compareTextNoCase(found->schema, sch) != 0 ||
                       compareTextNoCase(found->catalog, cat) != 0) {
                return; // the same name in two schemas: which one is meant is not known
            }
            found->columns.push_back(*column);
        }
    }
    if (!found)
        return;

    auto baseColumnOf = [&](size_t position) -> std::optional<WideString> {
        WideString wanted;
        if (source.star) {
            wanted = columns[position].name;
        } else {
            bool listed = false;
            for (const auto& [at, name] : source.columns)
                if (at == static_cast<int>(position)) {
                    wanted = name;
                    listed = true;
                }
            if (!listed)
                return std::nullopt;
        }
        for (const WideString& name : found->columns)
            if (compareTextNoCase(name, wanted) == 0)
                return name;
        return std::nullopt;
    };
    for (size_t c = 0; c < columns.size(); ++c) {
        const auto base = baseColumnOf(c);
        if (!base)
            continue;
        ColumnInfo& info = columns[c];
        info.baseTableName = found->table;
        info.baseSchemaName = found->schema;
        info.baseCatalogName = found->catalog;
        info.baseColumnName = *base;
        info.readOnly = info.autoIncrement;
    }
}

} // namespace ado::detail
