#pragma once
// The base table of a result whose server sent no browse information, taken from
// the table the statement names, so that such a result can still be written back.
#include "data/ado/Recordset.h"

#include <vector>

namespace odbc {
class Connection;
}

namespace ado::detail {

/// "db.dbo.[t]" as its name parts with brackets or double quotes removed ("db..t"
/// leaves the middle part empty); empty when the text is not one to three parts.
std::vector<WideString> SplitTableName(const WideString& name);

/// When no column of `columns` has a base table, gives the columns `source` covers
/// the table it names, matched by column name against the table's catalogue entry
/// (so an expression that merely shares a name is never covered). Everything left
/// unmatched stays read-only. A table name that is ambiguous or not in the
/// catalogue resolves nothing.
void ResolveWithoutBrowse(const Recordset::AssumedSource& source, std::vector<ColumnInfo>& columns,
                          odbc::Connection& connection);

} // namespace ado::detail
