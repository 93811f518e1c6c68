// Keys and column metadata: index definitions from the index rowset, each
// field's nullability and default from the columns rowset (kept per connection
// in a TTntADOSchemaCache), and the defaults an inserted record starts with.
#include "data/TntLXAdoDataSet.h"

#include "data/SqlTokenizer.h"
#include "data/ado/ValueText.h"
#include "data/db/VariantConv.h"
#include "platform/CodePageConv.h"

#include <ctime>

namespace tnt {

using namespace db;

namespace {

bool SameText(const WideString& a, const WideString& b) {
    return ado::compareTextNoCase(a, b) == 0;
}

/// A schema rowset's Boolean as written: true only for a value that says true.
bool IsTrue(const Variant& v) {
    try {
        return !v.isBlank() && VarToBool(v);
    } catch (const EConvertError&) {
        return false;
    }
}

bool IsFalse(const Variant& v) {
    try {
        return !v.isBlank() && !VarToBool(v);
    } catch (const EConvertError&) {
        return false;
    }
}

WideString TextOrEmpty(const Variant& v) {
    return v.isBlank() ? WideString() : VarToWide(v);
}

/// Leading and trailing blanks and control characters removed.
AnsiString Trimmed(const AnsiString& text) {
    size_t first = 0, last = text.size();
    while (first < last && static_cast<unsigned char>(text[first]) <= ' ')
        ++first;
    while (last > first && static_cast<unsigned char>(text[last - 1]) <= ' ')
        --last;
    return text.substr(first, last - first);
}

/// The text between a leading and a trailing `quote`, a doubled quote inside becoming one.
WideString Unquoted(const WideString& e, char16_t quote) {
    WideString value;
    for (size_t i = 1; i < e.size(); ++i) {
        if (e[i] == quote) {
            if (i + 1 < e.size() && e[i + 1] == quote) {
                value += quote;
                ++i;
                continue;
            }
            break;
        }
        value += e[i];
    }
    return value;
}

bool QuotedWith(const WideString& e, char16_t quote) {
    return e.size() >= 2 && e.front() == quote && e.back() == quote;
}

/// The expression without parentheses that enclose all of it: the server
/// reports a default written getdate() as "(getdate())".
WideString Unwrapped(WideString e) {
    while (e.size() >= 2 && e.front() == u'(' && e.back() == u')') {
        int depth = 0;
        size_t i = 0;
        for (; i < e.size(); ++i) {
            depth += e[i] == u'(' ? 1 : e[i] == u')' ? -1 : 0;
            if (depth == 0)
                break;
        }
        if (i != e.size() - 1)
            break;
        e = e.substr(1, e.size() - 2);
    }
    return e;
}

bool DigitsOnly(const WideString& e) {
    for (char16_t c : e)
        if (c < u'0' || c > u'9')
            return false;
    return true;
}

ado::DateTime LocalNow(bool dateOnly) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    ado::DateTime t;
    t.year = static_cast<int16_t>(local.tm_year + 1900);
    t.month = static_cast<uint8_t>(local.tm_mon + 1);
    t.day = static_cast<uint8_t>(local.tm_mday);
    if (!dateOnly) {
        t.hour = static_cast<uint8_t>(local.tm_hour);
        t.minute = static_cast<uint8_t>(local.tm_min);
        t.second = static_cast<uint8_t>(local.tm_sec);
    }
    return t;
}

/// Opens the connection for the length of a scope when it was closed.
class ConnectionHold {
public:
    explicit ConnectionHold(ado::TADOConnection* connection) : FConnection(connection) {
        if (FConnection && !FConnection->Connected()) {
            FConnection->Open();
            FOpened = true;
        }
    }
    ~ConnectionHold() {
        if (FOpened) {
            try {
                FConnection->Close();
            } catch (...) {
                // Closing what only this scope opened; nobody waits for its error.
            }
        }
    }
    ConnectionHold(const ConnectionHold&) = delete;
    ConnectionHold& operator=(const ConnectionHold&) = delete;

private:
    ado::TADOConnection* FConnection;
    bool FOpened = false;
};

} // namespace

ado::TADOConnection* TTntADODataSetLX::CommandConnection() const {
    if (const std::shared_ptr<ado::Recordset> rs = Recordset())
        if (ado::TADOConnection* active = rs->ActiveConnection())
            return active;
    return ActiveConnectionObject();
}

// ---------------------------------------------------------------- index discovery

void TTntADODataSetLX::UpdateIndexDefs() {
    try {
        UpdateFieldDefs();
        IndexDefs().Clear();
        if ((CommandType() != cmdTable && CommandType() != cmdTableDirect) || CommandText().empty())
            return;
        ado::TADOConnection* connection = CommandConnection();
        if (!connection)
            return;
        ConnectionHold hold(connection);
        const std::shared_ptr<ado::Recordset> rows = connection->OpenSchema(
            ado::Schema::Indexes, {Variant(), Variant(), Variant(), Variant(), CommandText()});
        if (rows->RecordCount() > 0)
            rows->MoveFirst();
        for (; !rows->Eof(); rows->MoveNext()) {
            const AnsiString name =
                platform::WideToAnsi(TextOrEmpty(rows->Fields(u"INDEX_NAME").Value()));
            const AnsiString column =
                platform::WideToAnsi(TextOrEmpty(rows->Fields(u"COLUMN_NAME").Value()));
            if (TIndexDef* def = IndexDefs().Find(name)) {
                def->Fields = def->Fields + ";" + column;
                continue;
            }
            TIndexOptions options = 0;
            if (IsTrue(rows->Fields(u"PRIMARY_KEY").Value()))
                options |= ixPrimary;
            if (IsTrue(rows->Fields(u"UNIQUE").Value()))
                options |= ixUnique;
            if (IsFalse(rows->Fields(u"AUTO_UPDATE").Value()))
                options |= ixNonMaintained;
            IndexDefs().Add(name, column, options);
        }
    } catch (const std::exception&) {
        // Keys are a convenience: a table whose indexes cannot be read still opens.
    }
}

// ---------------------------------------------------------------- the schema cache

TTntADOSchemaCache& TTntADODataSetLX::GetSchemaCache(ado::TADOConnection& connection) {
    for (ado::ConnectionComponent* component : connection.Components())
        if (auto* cache = dynamic_cast<TTntADOSchemaCache*>(component))
            return *cache;
    return static_cast<TTntADOSchemaCache&>(
        *connection.InsertComponent(std::make_unique<TTntADOSchemaCache>(&connection)));
}

void TTntADODataSetLX::ResolveBaseColumn(TField* field, Variant& catalog, Variant& schema,
                                         WideString& table, WideString& column) {
    if (!field || field->DataSet() != this)
        throw ETntInternalError("Internal Error: Field must be a member of this dataset.");
    ado::Field base = CheckedRecordset().Fields(platform::AnsiToWide(field->FieldName()));
    table = TextOrEmpty(base.Property(u"BaseTableName"));
    column = TextOrEmpty(base.Property(u"BaseColumnName"));
    catalog = Variant::null();
    schema = Variant::null();
    if (!FIsJet && !table.empty() && !column.empty()) {
        catalog = base.Property(u"BaseCatalogName");
        schema = base.Property(u"BaseSchemaName");
        if (FIsSQLServer && schema.isBlank())
            schema = Variant(WideString(u"dbo"));
    }
}

std::shared_ptr<ado::Recordset> TTntADODataSetLX::LocateColumnSchema(TTntADOSchemaCache& cache,
                                                                     TField* field) {
    Variant catalog, schema;
    WideString table, column;
    ResolveBaseColumn(field, catalog, schema, table, column);
    const WideString key = TextOrEmpty(catalog) + u"." + TextOrEmpty(schema) + u"." + table;
    std::shared_ptr<ado::Recordset> rows = cache.Find(key);
    if (!rows) {
        if (table.empty())
            return nullptr;
        ado::TADOConnection* connection = CommandConnection();
        if (!connection)
            throw EDatabaseError("The dataset has no connection to read its columns with.");
        if (!connection->Connected())
            connection->Open();
        rows = connection->OpenSchema(ado::Schema::Columns, {catalog, schema, Variant(table)});
        cache.Add(key, rows);
    }
    if (rows->RecordCount() == 0)
        return nullptr;
    rows->MoveFirst();
    // The name is a quoted criterion value: a quote inside it is written twice.
    WideString quoted;
    for (char16_t c : column) {
        quoted += c;
        if (c == u'\'')
            quoted += c;
    }
    rows->Find(u"COLUMN_NAME = '" + quoted + u"'", 0, ado::SearchDirection::Forward);
    if (rows->Bof() || rows->Eof())
        return nullptr;
    return rows;
}

void TTntADODataSetLX::ApplyColumnSchema(TField* field, ado::Recordset& columns) {
    if (!field)
        return;
    // Identity, computed and rowversion columns are the server's to fill.
    const bool serverFilled = field->ReadOnly() || field->DataType() == ftAutoInc;
    if (!(field->DataType() == ftBoolean && FIsJet))
        field->SetRequired(!serverFilled && !IsTrue(columns.Fields(u"IS_NULLABLE").Value()));
    if (IsTrue(columns.Fields(u"COLUMN_HASDEFAULT").Value()))
        field->SetDefaultExpression(
            Trimmed(platform::WideToAnsi(TextOrEmpty(columns.Fields(u"COLUMN_DEFAULT").Value()))));
}

WideString TTntADODataSetLX::GetFirstFieldBaseTable() {
    if (FieldCount() == 0)
        return WideString();
    return TextOrEmpty(CheckedRecordset()
                           .Fields(platform::AnsiToWide(Fields()[0]->FieldName()))
                           .Property(u"BaseTableName"));
}

WideString TTntADODataSetLX::TableNameFromSelect(const AnsiString& statement) {
    const WideString text = platform::AnsiToWide(statement);
    bool blank = false;
    for (char16_t c : text)
        blank = blank || c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
    if (!blank)
        return text;
    TSqlTokenizer tokens(text);
    if (tokens.Next() != TSqlToken::stSelect)
        return WideString();
    for (;;) {
        const TSqlToken t = tokens.Next();
        if (t == TSqlToken::stEnd)
            return WideString();
        if (t == TSqlToken::stFrom)
            break;
    }
    if (tokens.Next() != TSqlToken::stTableName)
        return WideString();
    const WideString table = tokens.Text();
    const TSqlToken after = tokens.Next();
    if (after != TSqlToken::stWhere && after != TSqlToken::stOrderBy && after != TSqlToken::stEnd)
        return WideString();
    return table;
}

void TTntADODataSetLX::PrepareRecordset(ado::Recordset& recordset) {
    // A server without browse information leaves every column without its table;
    // a SELECT over one table says which it is, and its plain items which columns.
    recordset.assumedSource = {};
    if (CommandType() != cmdText)
        return;
    const WideString table = TableNameFromSelect(platform::WideToAnsi(CommandText()));
    std::vector<TSelectColumn> plain;
    bool star = false;
    if (table.empty() || !PlainSelectColumns(CommandText(), plain, star))
        return;
    recordset.assumedSource.table = table;
    recordset.assumedSource.star = star;
    for (const TSelectColumn& c : plain)
        recordset.assumedSource.columns.emplace_back(c.Position, c.Column);
}

// ---------------------------------------------------------------- loading

void TTntADODataSetLX::LoadFieldSchemaInfo() {
    FDefaultValues.clear();
    std::unique_ptr<TTntADOSchemaCache> ownCache;
    TTntADOSchemaCache* cache = nullptr;
    if (Connection()) {
        cache = &GetSchemaCache(*Connection());
    } else {
        ownCache = std::make_unique<TTntADOSchemaCache>();
        cache = ownCache.get();
    }
    const WideString firstTable = GetFirstFieldBaseTable();
    bool singleTable = false;
    if (!firstTable.empty()) {
        if (CommandType() == cmdTable || CommandType() == cmdTableDirect)
            singleTable = SameText(firstTable, CommandText());
        if (!singleTable) {
            const WideString named = TableNameFromSelect(platform::WideToAnsi(CommandText()));
            singleTable = !named.empty() && SameText(firstTable, named);
        }
    }
    if (singleTable) {
        std::shared_ptr<ado::Recordset> rows = LocateColumnSchema(*cache, Fields()[0]);
        if (!rows)
            throw ETntInternalError("Internal Error: No schema found.");
        for (rows->MoveFirst(); !rows->Eof(); rows->MoveNext())
            ApplyColumnSchema(
                FindField(platform::WideToAnsi(TextOrEmpty(rows->Fields(u"COLUMN_NAME").Value()))),
                *rows);
    } else {
        for (TField* field : Fields())
            if (field->FieldKind() == fkData)
                if (std::shared_ptr<ado::Recordset> rows = LocateColumnSchema(*cache, field))
                    ApplyColumnSchema(field, *rows);
    }
    for (TField* field : Fields())
        PrepareDefaultValue(field);
}

void TTntADODataSetLX::LoadColumnMetadata() {
    CheckActive();
    try {
        LoadFieldSchemaInfo();
    } catch (const std::exception& error) {
        // Without metadata the table is still usable: no schema defaults, and
        // only the nullability the result itself reported.
        FDefaultValues.clear();
        for (TField* field : Fields()) {
            field->SetDefaultExpression(AnsiString());
            const int def = FieldDefs().IndexOf(field->FieldName());
            if (def >= 0)
                field->SetRequired(FieldDefs()[def].Required);
        }
        throw EDatabaseError(std::string("The column defaults of this table could not be read: ") +
                             error.what());
    }
}

// ---------------------------------------------------------------- defaults

void TTntADODataSetLX::PrepareDefaultValue(TField* field) {
    const WideString e = platform::AnsiToWide(field->DefaultExpression());
    TTntDefaultValue entry;
    if (QuotedWith(e, u'"')) {
        entry = {Unquoted(e, u'"'), true};
    } else if (QuotedWith(e, u'\'')) {
        entry = {Unquoted(e, u'\''), true};
    } else if (DigitsOnly(e)) {
        entry = {e, true};
    } else if (FIsSQLServer) {
        if (SameText(Unwrapped(e), u"suser_sname()"))
            if (ado::TADOConnection* connection =
                    Recordset() ? Recordset()->ActiveConnection() : nullptr)
                // The login does not change while the table is open: ask once per load.
                entry = {TextOrEmpty(QueryScalar(connection, u"SELECT " + e)), true};
    } else if (FIsJet) {
        WideString jet = e;
        if (SameText(jet, u"Yes"))
            jet = u"True";
        else if (SameText(jet, u"No"))
            jet = u"False";
        if (SameText(jet, u"True") || SameText(jet, u"False"))
            entry = {jet, true};
    }
    FDefaultValues.push_back(entry);
}

Variant TTntADODataSetLX::EvaluateDefault(TField* field) {
    if (!field || field->DefaultExpression().empty())
        return Variant::null();
    const size_t at = static_cast<size_t>(field->Index());
    if (at >= FDefaultValues.size())
        throw EDatabaseError("List index out of bounds (" + std::to_string(field->Index()) + ")");
    const TTntDefaultValue& entry = FDefaultValues[at];
    if (entry.Ready)
        return Variant(entry.Value);
    const WideString e = platform::AnsiToWide(field->DefaultExpression());
    if (FIsSQLServer && SameText(Unwrapped(e), u"getdate()"))
        return Variant(LocalNow(false));
    if (FIsJet && SameText(e, u"now()"))
        return Variant(LocalNow(false));
    if (FIsJet && SameText(e, u"date()"))
        return Variant(LocalNow(true));
    if (ado::TADOConnection* connection = Recordset() ? Recordset()->ActiveConnection() : nullptr)
        return QueryScalar(connection, u"SELECT " + e);
    return Variant::null();
}

void TTntADODataSetLX::ApplyInsertDefaults() {
    for (TField* field : Fields()) {
        if (field->DefaultExpression().empty() || field->ReadOnly() ||
            field->DataType() == ftAutoInc)
            continue;
        try {
            const Variant value = EvaluateDefault(field);
            if (!value.isBlank())
                field->SetAsVariant(value);
        } catch (const std::exception&) {
            // A default the server cannot evaluate is not tried again.
            field->SetDefaultExpression(AnsiString());
        }
    }
}

Variant TTntADODataSetLX::QueryScalar(ado::TADOConnection* activeConnection,
                                      const WideString& statement) {
    if (!activeConnection)
        return Variant::null();
    ado::Recordset rows;
    rows.cursorLocation = ado::CursorLocation::UseClient;
    rows.cursorType = ado::CursorType::Static;
    rows.lockType = ado::LockType::ReadOnly;
    rows.Open(statement, *activeConnection, ado::CommandType::Text);
    Variant result = Variant::null();
    if (rows.Active() && rows.RecordCount() == 1) {
        rows.MoveFirst();
        result = rows.Fields(0).Value();
    }
    rows.Close();
    return result;
}

} // namespace tnt
