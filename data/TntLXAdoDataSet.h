#pragma once
// The system's Unicode ADO dataset and its table variant.
//
// TTntADODataSetLX is an ADO dataset that reads and writes rows as wide text:
// wide, date and time columns get the Unicode field classes, long text (memo)
// columns become wide string fields, a null wide read never leaves stale text
// in a wide buffer, and a write that would not change a field's value is
// dropped before it reaches the record (no change notification, no UPDATE).
// Before every open it learns whether the connection uses the SQL Server or
// the Jet OLE DB provider; when an open or a requery fails it probes the
// connection with "SELECT 0" and, when the connection can reconnect itself,
// retries once.
//
// It also knows the table behind it (TntLXAdoDataSetSchema.cpp): index
// definitions from the provider's index rowset, and for each field its column's
// nullability and default, read through a columns-rowset cache shared by every
// dataset on one connection; an inserted record shows those defaults. Locate
// and Lookup (TntLXAdoDataSetLocate.cpp) search a read-only clone of the
// recordset by find and filter criteria instead of walking the rows.
//
// Invariants: FDefaultValues is empty whenever the dataset is closed, and
// otherwise holds one entry per field; the provider flags describe the
// connection of the latest open; the lookup cursor never outlives the cursor
// it was cloned from.
#include "data/TntSchemaCache.h"
#include "data/ado/Connection.h"
#include "data/ado/Recordset.h"
#include "data/db/ADODataSet.h"
#include "data/db/StdFields.h"

#include <array>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace tnt {

using db::TField;
using db::TFieldType;
using platform::AnsiString;
using platform::WideString;
using Variant = ado::Variant;

/// An internal consistency error of the data access components; the text begins "Internal Error:".
class ETntInternalError : public db::EDatabaseError {
public:
    using db::EDatabaseError::EDatabaseError;
};

/// A broken assertion of the data access components (a caller handed what no caller may).
class ETntAssertionFailed : public std::logic_error {
public:
    using std::logic_error::logic_error;
};

/// A COM-style interface identity.
struct TGuid {
    uint32_t D1 = 0;
    uint16_t D2 = 0, D3 = 0;
    std::array<uint8_t, 8> D4{};
    bool operator==(const TGuid&) const = default;
};

/// The capability of a connection to re-establish itself after it broke.
class ITntConnectionReconnect {
public:
    /// {963CACAD-0310-432C-AAF4-ADC986C00F83}
    static constexpr TGuid IID{
        0x963CACAD, 0x0310, 0x432C, {0xAA, 0xF4, 0xAD, 0xC9, 0x86, 0xC0, 0x0F, 0x83}};
    virtual ~ITntConnectionReconnect() = default;
    /// Re-establishes the connection; raises when it cannot.
    virtual void Reconnect() = 0;
};

/// What a connection exposes its optional interfaces through: a component it
/// owns (ado::TADOConnection::InsertComponent) that answers for them by identity.
class ITntInterfaceSource : public ado::ConnectionComponent {
public:
    /// The interface with that identity, or nullptr when it is not offered.
    virtual void* QueryInterface(const TGuid& iid) = 0;
};

/// The reconnect capability of a connection, or nullptr.
ITntConnectionReconnect* FindReconnectCapability(ado::TADOConnection& connection);

/// Whether some connection is reconnecting right now (one flag for the whole process).
bool ReconnectInProgress();

/// What the connection status of a failed open or requery says.
enum TTntConnectionStatus : int {
    csAlive = 0,       ///< the connection works; the failure was the statement's
    csBroken = 1,      ///< broken and still broken
    csReconnected = 2, ///< was broken and is reconnected
    csReconnecting = 3 ///< broken while a reconnect is already running
};

/// Equal when both are empty, both null, or neither and equal as values
/// (numbers as numbers, decimals exactly, dates as dates, text as text).
bool VariantsEqual(const Variant& a, const Variant& b);

// ---- the Unicode field classes

/// UTF-16 text; the class of every wide string and long text column.
class TTntWideStringField : public db::TWideStringField {};
class TTntDateTimeField : public db::TDateTimeField {};
class TTntDateField : public db::TDateField {};
class TTntTimeField : public db::TTimeField {};

/// A field's prepared insert default: the value as text when ready, else the
/// default expression must be evaluated at insert time.
struct TTntDefaultValue {
    WideString Value;
    bool Ready = false;
};

class TTntADODataSetLX : public db::TADODataSet {
public:
    explicit TTntADODataSetLX(db::TComponent* owner = nullptr);
    ~TTntADODataSetLX() override;

    /// Whether ":name" markers are collected; off unless switched on.
    bool ParamCheck() const { return TCustomADODataSet::ParamCheck(); }
    void SetParamCheck(bool check) { TCustomADODataSet::SetParamCheck(check); }

    /// The connection of the latest open uses the SQL Server OLE DB provider.
    bool IsSQLServer() const { return FIsSQLServer; }
    /// The connection of the latest open uses the Jet OLE DB provider.
    bool IsJet() const { return FIsJet; }

    /// Requeries; on failure probes the connection and retries once after a reconnect.
    void Requery(db::TExecuteOptions options = 0) override;

    void DataEvent(db::TDataEvent event, intptr_t info) override;

    bool GetFieldData(TField* field, Variant* buffer, bool nativeFormat) override;
    bool GetFieldData(TField* field, Variant* buffer) override;
    bool GetFieldData(int fieldNo, Variant* buffer) override;
    void SetFieldData(TField* field, const Variant* buffer, bool nativeFormat) override;
    void SetFieldData(TField* field, const Variant* buffer) override;
    Variant GetStateFieldValue(db::TDataSetState state, TField* field) override;

    /// A BCD, date, time, date-time or large-integer buffer as the variant it holds.
    static Variant BufferToVariant(TFieldType type, const Variant* buffer);

    // ---- keys and column metadata
    /// Reads the column metadata of the open dataset (required flags, default
    /// expressions, prepared defaults). On failure the dataset stays open and
    /// editable without any schema defaults, and the error says why.
    void LoadColumnMetadata();
    /// Whether column metadata has been loaded since the dataset opened.
    bool ColumnMetadataLoaded() const { return !FDefaultValues.empty(); }
    /// The table a statement reads when it is a plain SELECT over one table; empty otherwise.
    static WideString TableNameFromSelect(const AnsiString& statement);
    /// The first row of a one-row result of `statement`, column 0; null otherwise.
    static Variant QueryScalar(ado::TADOConnection* activeConnection, const WideString& statement);
    /// The cache of `connection`, made (and owned by it) on first use.
    static TTntADOSchemaCache& GetSchemaCache(ado::TADOConnection& connection);

    // ---- searching
    bool Locate(const AnsiString& keyFields, const db::KeyValues& keyValues,
                db::TLocateOptions options) override;
    db::KeyValues Lookup(const AnsiString& keyFields, const db::KeyValues& keyValues,
                         const AnsiString& resultFields) override;
    /// One find criterion: "(name=value)", with the delimiter and operator its type asks for.
    static WideString BuildKeyCondition(TField* field, const Variant& keyValue, bool partial);
    /// Whether the current index covers exactly the key fields, in order.
    bool IndexMatchesKeyFields(const AnsiString& keyFields);

protected:
    void DoAfterClose() override;
    void DoAfterInsert() override;
    void DoBeforeOpen() override;
    void PrepareRecordset(ado::Recordset& recordset) override;
    db::TFieldClass GetFieldClass(TFieldType fieldType) override;
    void OpenCursor(bool infoQuery) override;
    void InternalInitFieldDefs() override;
    void DestroyLookupCursor() override;
    void UpdateIndexDefs() override;

    /// Whether writing `buffer` would change the field's current value.
    bool FieldValueChanged(TField* field, const Variant* buffer, bool nativeFormat);

    /// Status of the connection component after a failure (TTntConnectionStatus).
    virtual int ConnectionStatus();
    /// True when there is no connection, it is closed, or "SELECT 0" on it fails.
    bool ConnectionBroken(ado::TADOConnection* connection);
    /// Runs the probe statement on a connected connection; raises when it fails.
    virtual void ExecuteProbe(ado::TADOConnection& connection);

    // ---- the schema-driven defaults
    /// Reads the column metadata (base columns, nullability, defaults) into FDefaultValues.
    virtual void LoadFieldSchemaInfo();
    /// Fills the new record's fields from their column defaults.
    virtual void ApplyInsertDefaults();
    /// The value of the field's column default, or null when it has none.
    virtual Variant EvaluateDefault(TField* field);
    /// Appends the field's prepared default to FDefaultValues.
    void PrepareDefaultValue(TField* field);
    /// The base catalogue, schema, table and column of a field's result column.
    void ResolveBaseColumn(TField* field, Variant& catalog, Variant& schema, WideString& table,
                           WideString& column);
    /// The columns rowset of the field's table positioned on its column, or null.
    std::shared_ptr<ado::Recordset> LocateColumnSchema(TTntADOSchemaCache& cache, TField* field);
    /// Takes the required flag and default expression of `field` from the rowset's row.
    void ApplyColumnSchema(TField* field, ado::Recordset& columns);
    /// The base table of the first field's result column; empty without fields.
    WideString GetFirstFieldBaseTable();
    /// The search shared by Locate (which moves to the row) and Lookup (which reads it).
    bool FindKeyRecord(const AnsiString& keyFields, const db::KeyValues& keyValues,
                       db::TLocateOptions options, bool moveDataset);

    std::vector<TTntDefaultValue>& DefaultValues() { return FDefaultValues; }
    std::shared_ptr<ado::Recordset>& LookupCursor() { return FLookupCursor; }

private:
    void DetectProvider();
    /// The connection the command runs on: the recordset's, else the component or own one.
    ado::TADOConnection* CommandConnection() const;

    std::vector<TTntDefaultValue> FDefaultValues;
    bool FIsSQLServer = false;
    bool FIsJet = false;
    std::shared_ptr<ado::Recordset> FLookupCursor;
};

/// The Unicode dataset opened on a table by name.
class TTntADOTableLX : public TTntADODataSetLX {
public:
    explicit TTntADOTableLX(db::TComponent* owner = nullptr);

    const WideString& TableName() const { return CommandText(); }
    void SetTableName(const WideString& name) { SetCommandText(name); }
    /// True when the lock type is read-only; False sets the optimistic lock type.
    bool ReadOnly() const { return LockType() == db::ltReadOnly; }
    void SetReadOnly(bool readOnly) { SetLockType(readOnly ? db::ltReadOnly : db::ltOptimistic); }
    /// True when the command type is direct table; False sets the table command type.
    bool TableDirect() const { return CommandType() == db::cmdTableDirect; }
    void SetTableDirect(bool direct) { SetCommandType(direct ? db::cmdTableDirect : db::cmdTable); }
};

} // namespace tnt
