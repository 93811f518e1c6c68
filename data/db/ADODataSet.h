#pragma once
// The ADO datasets: TDataSet over an ado::Recordset. TCustomADODataSet opens a
// recordset from its command (SQL text, or a table name for the table command
// types) on a connection component or on a connection of its own made from its
// ConnectionString, or takes over a recordset handed to it (Recordset). Its
// rows stay in the recordset; the dataset's current record is a position in
// the recordset's visible rows (after filter and sort), and the recordset is
// put on that row whenever it has to act on it (update, delete, bookmark).
//
// A post writes only the changed fields through the recordset's update, which
// writes them to the row's base table; a refused update leaves the recordset
// without a pending change and the dataset in edit state with it.
#include "data/ado/AdoTypes.h"
#include "data/ado/Connection.h"
#include "data/ado/Recordset.h"
#include "data/db/DataSet.h"

#include <memory>

namespace db {

enum class TCommandType {
    cmdUnknown,
    cmdText,
    cmdTable,
    cmdStoredProc,
    cmdFile,
    cmdTableDirect,
};
using enum TCommandType;

enum class TADOLockType {
    ltUnspecified,
    ltReadOnly,
    ltPessimistic,
    ltOptimistic,
    ltBatchOptimistic
};
using enum TADOLockType;

enum class TCursorType { ctUnspecified, ctOpenForwardOnly, ctKeyset, ctDynamic, ctStatic };
using enum TCursorType;

enum class TCursorLocation { clUseServer, clUseClient };
using enum TCursorLocation;

enum class TSeekOption { soFirstEQ, soLastEQ, soAfterEQ, soAfter, soBeforeEQ, soBefore };
using enum TSeekOption;

/// What Supports asks of the recordset.
enum TCursorOption : unsigned { coSeek = 1u, coBookmark = 2u, coUpdate = 4u, coFind = 8u };
using TCursorOptions = unsigned;

/// Options of Requery (kept for callers; the recordset always runs synchronously).
enum TExecuteOption : unsigned { eoAsyncExecute = 1u, eoAsyncFetch = 2u };
using TExecuteOptions = unsigned;

class TCustomADODataSet : public TDataSet {
public:
    explicit TCustomADODataSet(TComponent* owner = nullptr);
    ~TCustomADODataSet() override;

    // ---- the command
    const WideString& CommandText() const { return FCommandText; }
    void SetCommandText(const WideString& text);
    TCommandType CommandType() const { return FCommandType; }
    void SetCommandType(TCommandType type);
    /// Seconds the statement may run; 0 waits for ever.
    int CommandTimeout() const { return FCommandTimeout; }
    void SetCommandTimeout(int seconds) { FCommandTimeout = seconds; }
    /// Whether ":name" markers of the command text are collected as parameters.
    bool ParamCheck() const { return FParamCheck; }
    void SetParamCheck(bool check);
    /// The ":name" markers found in the command text (when ParamCheck is on).
    const std::vector<WideString>& Parameters() const { return FParameters; }

    // ---- the connection
    ado::TADOConnection* Connection() const { return FConnection; }
    void SetConnection(ado::TADOConnection* connection);
    /// The dataset's own connection string, used when no Connection is assigned.
    const WideString& ConnectionString() const { return FConnectionString; }
    void SetConnectionString(const WideString& text);

    // ---- the cursor
    TADOLockType LockType() const { return FLockType; }
    void SetLockType(TADOLockType type);
    TCursorType CursorType() const { return FCursorType; }
    void SetCursorType(TCursorType type);
    TCursorLocation CursorLocation() const { return FCursorLocation; }
    void SetCursorLocation(TCursorLocation location);
    bool EnableBCD() const { return FEnableBCD; }
    void SetEnableBCD(bool enable) { FEnableBCD = enable; }

    /// The live recordset (null when closed).
    std::shared_ptr<ado::Recordset> Recordset() const { return FRecordset; }
    /// Closes the dataset and opens it on `recordset`; a closed one raises
    /// "Recordset is not open", null just closes.
    void SetRecordset(std::shared_ptr<ado::Recordset> recordset);
    /// Runs the command again and goes to the first record.
    virtual void Requery(TExecuteOptions options = 0);
    /// Opens this dataset on a clone of `source`'s recordset (own position, sort, filter).
    void Clone(TCustomADODataSet& source, TADOLockType lockType = ltUnspecified);
    bool Supports(TCursorOptions options) const;

    // ---- order, filter, index
    /// Filter criterion in ADO's grammar, applied while Filtered is on.
    const WideString& Filter() const { return FFilter; }
    void SetFilter(const WideString& criterion);
    bool Filtered() const { return FFiltered; }
    void SetFiltered(bool filtered);
    /// "A ASC, B DESC"; empty restores the order the rows came in.
    const WideString& Sort() const { return FSort; }
    void SetSort(const WideString& sortText);
    const AnsiString& IndexName() const { return FIndexName; }
    void SetIndexName(const AnsiString& name);
    const AnsiString& IndexFieldNames() const { return FIndexFieldNames; }
    void SetIndexFieldNames(const AnsiString& names);
    /// Fields of the current index (IndexFieldNames, else the named index's).
    int IndexFieldCount();
    TField* IndexFields(int index);
    /// Moves to the row whose index fields equal `keyValues`; false leaves it in place.
    bool Seek(const KeyValues& keyValues, TSeekOption option = soFirstEQ);

    bool CanModify() const override;

protected:
    /// The name of the command text in messages ("Missing %s property").
    void SetCommandTextAlias(const AnsiString& alias) { FCommandTextAlias = alias; }
    /// The connection the command runs on (the component, else the own one).
    ado::TADOConnection* ActiveConnectionObject() const;
    /// The recordset of the open dataset; raises when there is none.
    ado::Recordset& CheckedRecordset() const;

    void OpenCursor(bool infoQuery) override;
    void InternalClose() override;
    void InternalInitFieldDefs() override;
    int InternalRecordCount() const override;
    bool GetRecordValue(int recIndex, TField& field, Variant& out) override;
    void InternalSetToRecord(int recIndex) override;
    int InternalCursorIndex() const override;
    int InternalPost() override;
    void InternalDelete() override;
    TBookmark InternalGetBookmark(int recIndex) const override;
    int InternalBookmarkIndex(const TBookmark& bm) const override;
    void UpdateIndexDefs() override {}
    /// Called with the new recordset just before it runs the command; a dataset
    /// that can read its statement says here which table the rows come from.
    virtual void PrepareRecordset(ado::Recordset& /*recordset*/) {}

private:
    void OpenRecordset();
    void ApplyViewSettings();
    /// Puts the recordset on visible row `recIndex` (from 0) cheaply.
    void PositionOn(int recIndex) const;
    std::vector<AnsiString> CurrentIndexFields();

    WideString FCommandText;
    TCommandType FCommandType = cmdText;
    AnsiString FCommandTextAlias = "CommandText";
    int FCommandTimeout = 30;
    bool FParamCheck = true;
    std::vector<WideString> FParameters;
    ado::TADOConnection* FConnection = nullptr;
    WideString FConnectionString;
    std::unique_ptr<ado::TADOConnection> FOwnConnection;
    TADOLockType FLockType = ltOptimistic;
    TCursorType FCursorType = ctKeyset;
    TCursorLocation FCursorLocation = clUseClient;
    bool FEnableBCD = true;
    std::shared_ptr<ado::Recordset> FRecordset;
    WideString FFilter, FSort;
    bool FFiltered = false;
    AnsiString FIndexName, FIndexFieldNames;
};

/// The dataset of SQL text or a table name; the class the window uses for its queries.
class TADODataSet : public TCustomADODataSet {
public:
    using TCustomADODataSet::TCustomADODataSet;
};

/// A dataset opened on a table by name ("select * from <table>").
class TADOTable : public TCustomADODataSet {
public:
    explicit TADOTable(TComponent* owner = nullptr);
    const WideString& TableName() const { return CommandText(); }
    void SetTableName(const WideString& name) { SetCommandText(name); }
    /// True when the command type is direct table.
    bool TableDirect() const { return CommandType() == cmdTableDirect; }
    void SetTableDirect(bool direct) { SetCommandType(direct ? cmdTableDirect : cmdTable); }
    /// True when the lock type is read-only; False sets the optimistic lock type.
    bool ReadOnly() const { return LockType() == ltReadOnly; }
    void SetReadOnly(bool readOnly) { SetLockType(readOnly ? ltReadOnly : ltOptimistic); }
};

/// A dataset of SQL text.
class TADOQuery : public TCustomADODataSet {
public:
    using TCustomADODataSet::TCustomADODataSet;
    const WideString& SQL() const { return CommandText(); }
    void SetSQL(const WideString& text) { SetCommandText(text); }
};

/// The framework's field type for a recordset column.
TFieldType FieldTypeOfColumn(const ado::ColumnInfo& column);

} // namespace db
