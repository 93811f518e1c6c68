#include "data/db/ADODataSet.h"

#include "data/ado/Command.h"
#include "data/db/VariantConv.h"
#include "platform/CodePageConv.h"

#include <climits>

namespace db {

namespace {

ado::LockType ToAdo(TADOLockType t) {
    switch (t) {
    case ltReadOnly:
        return ado::LockType::ReadOnly;
    case ltPessimistic:
        return ado::LockType::Pessimistic;
    case ltBatchOptimistic:
        return ado::LockType::BatchOptimistic;
    default:
        return ado::LockType::Optimistic;
    }
}

ado::CursorType ToAdo(TCursorType t) {
    switch (t) {
    case ctOpenForwardOnly:
        return ado::CursorType::ForwardOnly;
    case ctKeyset:
        return ado::CursorType::Keyset;
    case ctDynamic:
        return ado::CursorType::Dynamic;
    default:
        return ado::CursorType::Static;
    }
}

ado::SeekOption ToAdo(TSeekOption o) {
    switch (o) {
    case soLastEQ:
        return ado::SeekOption::LastEQ;
    case soAfterEQ:
        return ado::SeekOption::AfterEQ;
    case soAfter:
        return ado::SeekOption::After;
    case soBeforeEQ:
        return ado::SeekOption::BeforeEQ;
    case soBefore:
        return ado::SeekOption::Before;
    default:
        return ado::SeekOption::FirstEQ;
    }
}

int ClampSize(int64_t size) {
    return size > INT_MAX ? INT_MAX : static_cast<int>(size);
}

} // namespace

TFieldType FieldTypeOfColumn(const ado::ColumnInfo& c) {
    using ado::DataType;
    switch (c.type) {
    case DataType::SmallInt:
    case DataType::TinyInt:
        return ftSmallint;
    case DataType::UnsignedTinyInt:
        return ftWord;
    case DataType::Integer:
        return c.autoIncrement ? ftAutoInc : ftInteger;
    case DataType::BigInt:
        return ftLargeint;
    case DataType::Single:
    case DataType::Double:
        return ftFloat;
    case DataType::Currency:
    case DataType::Decimal:
    case DataType::Numeric:
        return ftBCD;
    case DataType::Boolean:
        return ftBoolean;
    case DataType::Date:
    case DataType::DBTimeStamp:
        return ftDateTime;
    case DataType::GUID:
        return ftGuid;
    case DataType::Binary:
        return c.longData ? ftBlob : ftBytes;
    case DataType::VarBinary:
        return c.longData ? ftBlob : ftVarBytes;
    case DataType::LongVarBinary:
        return ftBlob;
    case DataType::Char:
        return c.longData ? ftMemo : ftFixedChar;
    case DataType::VarChar:
    case DataType::WChar:
    case DataType::VarWChar:
        if (c.longData)
            return ftMemo;
        return c.type == DataType::VarChar ? ftString : ftWideString;
    case DataType::LongVarChar:
    case DataType::LongVarWChar:
        // Long text of either width is a memo; datasets that want wide text say so.
        return ftMemo;
    case DataType::Empty:
        break;
    }
    return ftUnknown;
}

// ---------------------------------------------------------------- TCustomADODataSet

TCustomADODataSet::TCustomADODataSet(TComponent* owner) : TDataSet(owner) {}

TCustomADODataSet::~TCustomADODataSet() {
    CloseForDestroy();
}

void TCustomADODataSet::SetCommandText(const WideString& text) {
    if (text == FCommandText)
        return;
    CheckInactive();
    FCommandText = text;
    FParameters.clear();
    if (FParamCheck && FCommandType == cmdText)
        FParameters = ado::TADOCommand::ParseParameterNames(text);
    FieldDefs().SetUpdated(false);
}

void TCustomADODataSet::SetCommandType(TCommandType type) {
    CheckInactive();
    FCommandType = type;
}

void TCustomADODataSet::SetParamCheck(bool check) {
    FParamCheck = check;
    FParameters.clear();
    if (FParamCheck && FCommandType == cmdText)
        FParameters = ado::TADOCommand::ParseParameterNames(FCommandText);
}

void TCustomADODataSet::SetConnection(ado::TADOConnection* connection) {
    CheckInactive();
    FConnection = connection;
}

void TCustomADODataSet::SetConnectionString(const WideString& text) {
    CheckInactive();
    FConnectionString = text;
    FOwnConnection.reset();
}

void TCustomADODataSet::SetLockType(TADOLockType type) {
    CheckInactive();
    FLockType = type;
}

void TCustomADODataSet::SetCursorType(TCursorType type) {
    CheckInactive();
    FCursorType = type;
}

void TCustomADODataSet::SetCursorLocation(TCursorLocation location) {
    CheckInactive();
    FCursorLocation = location;
}

ado::TADOConnection* TCustomADODataSet::ActiveConnectionObject() const {
    if (FConnection)
        return FConnection;
    return FOwnConnection.get();
}

ado::Recordset& TCustomADODataSet::CheckedRecordset() const {
    if (!FRecordset)
        DatabaseError(SDataSetClosed, this);
    return *FRecordset;
}

void TCustomADODataSet::SetRecordset(std::shared_ptr<ado::Recordset> recordset) {
    Close();
    if (!recordset)
        return;
    if (!recordset->Active())
        throw EDatabaseError("Recordset is not open");
    FRecordset = std::move(recordset);
    try {
        Open();
    } catch (...) {
        FRecordset.reset();
        throw;
    }
}

void TCustomADODataSet::OpenRecordset() {
    if (FCommandText.empty())
        DatabaseError("Missing " + FCommandTextAlias + " property", this);
    ado::TADOConnection* connection = FConnection;
    if (!connection) {
        if (FConnectionString.empty())
            DatabaseError("Missing Connection or ConnectionString", this);
        if (!FOwnConnection) {
            FOwnConnection = std::make_unique<ado::TADOConnection>();
            FOwnConnection->setConnectionString(FConnectionString);
        }
        connection = FOwnConnection.get();
    }
    if (!connection->Connected())
        connection->Open();
    auto rs = std::make_shared<ado::Recordset>();
    rs->cursorLocation = FCursorLocation == clUseServer ? ado::CursorLocation::UseServer
                                                        : ado::CursorLocation::UseClient;
    rs->cursorType = ToAdo(FCursorType);
    rs->lockType = ToAdo(FLockType);
    rs->commandTimeout = FCommandTimeout;
    ado::CommandType type = ado::CommandType::Text;
    if (FCommandType == cmdTable)
        type = ado::CommandType::Table;
    else if (FCommandType == cmdTableDirect)
        type = ado::CommandType::TableDirect;
    else if (FCommandType == cmdStoredProc)
        type = ado::CommandType::StoredProc;
    PrepareRecordset(*rs);
    rs->Open(FCommandText, *connection, type);
    if (!rs->Active())
        DatabaseError("CommandText does not return a result set", this);
    FRecordset = std::move(rs);
}

void TCustomADODataSet::ApplyViewSettings() {
    if (!FSort.empty())
        FRecordset->setSort(FSort);
    if (FFiltered && !FFilter.empty())
        FRecordset->setFilter(FFilter);
    const std::vector<AnsiString> index = CurrentIndexFields();
    if (!index.empty()) {
        AnsiString joined;
        for (const AnsiString& f : index)
            joined += (joined.empty() ? "" : ";") + f;
        FRecordset->setIndex(platform::AnsiToWide(joined));
    }
}

void TCustomADODataSet::OpenCursor(bool infoQuery) {
    if (!FRecordset)
        OpenRecordset();
    ApplyViewSettings();
    TDataSet::OpenCursor(infoQuery);
}

void TCustomADODataSet::InternalClose() {
    FRecordset.reset();
}

void TCustomADODataSet::InternalInitFieldDefs() {
    ado::Recordset& rs = CheckedRecordset();
    FieldDefs().Clear();
    for (const ado::ColumnInfo& c : rs.Columns()) {
        const TFieldType type = FieldTypeOfColumn(c);
        int size = 0;
        switch (type) {
        case ftString:
        case ftFixedChar:
        case ftWideString:
        case ftBytes:
        case ftVarBytes:
        case ftMemo:
        case ftBlob:
            size = ClampSize(c.definedSize);
            break;
        case ftBCD:
            size = c.precision;
            break;
        case ftGuid:
            size = 38;
            break;
        default:
            break;
        }
        TFieldDef& def = FieldDefs().Add(platform::WideToAnsi(c.name), type, size,
                                         !c.nullable && !c.autoIncrement);
        def.Precision = c.precision;
        def.ReadOnly = c.readOnly;
    }
}

int TCustomADODataSet::InternalRecordCount() const {
    return FRecordset ? static_cast<int>(FRecordset->RecordCount()) : 0;
}

void TCustomADODataSet::PositionOn(int recIndex) const {
    ado::Recordset& rs = *FRecordset;
    int64_t at = rs.AbsolutePosition();
    if (at == 0) {
        rs.MoveFirst();
        at = 1;
    }
    if (recIndex + 1 != at)
        rs.Move(recIndex + 1 - at);
}

bool TCustomADODataSet::GetRecordValue(int recIndex, TField& field, Variant& out) {
    if (!FRecordset || recIndex < 0 || recIndex >= InternalRecordCount() || field.FieldNo() < 1)
        return false;
    PositionOn(recIndex);
    out = FRecordset->Fields(field.FieldNo() - 1).Value();
    return !out.isBlank();
}

void TCustomADODataSet::InternalSetToRecord(int recIndex) {
    if (FRecordset && recIndex >= 0 && recIndex < InternalRecordCount())
        PositionOn(recIndex);
}

int TCustomADODataSet::InternalCursorIndex() const {
    if (!FRecordset)
        return -1;
    return static_cast<int>(FRecordset->AbsolutePosition()) - 1;
}

int TCustomADODataSet::InternalPost() {
    ado::Recordset& rs = CheckedRecordset();
    const bool inserting = State() == dsInsert;
    bool any = false;
    for (size_t i = 0; i < ChangedSlots().size(); ++i)
        any = any || ChangedSlots()[i];
    if (!inserting && !any)
        return CurrentIndex();
    try {
        if (inserting)
            rs.AddNew();
        for (TField* f : Fields()) {
            const size_t slot = static_cast<size_t>(f->Index());
            if (f->FieldKind() == fkData && ChangedSlots().at(slot))
                rs.Fields(f->FieldNo() - 1).setValue(EditBuffer().at(slot));
        }
        rs.Update();
    } catch (...) {
        try {
            rs.CancelUpdate();
        } catch (...) {
        }
        throw;
    }
    const int at = static_cast<int>(rs.AbsolutePosition()) - 1;
    return at >= 0 ? at : CurrentIndex();
}

void TCustomADODataSet::InternalDelete() {
    CheckedRecordset().Delete();
}

TBookmark TCustomADODataSet::InternalGetBookmark(int recIndex) const {
    if (!FRecordset || recIndex < 0 || recIndex >= InternalRecordCount())
        return TBookmark();
    PositionOn(recIndex);
    return Variant(static_cast<int64_t>(FRecordset->bookmark()));
}

int TCustomADODataSet::InternalBookmarkIndex(const TBookmark& bm) const {
    if (!FRecordset || !bm.is<int64_t>())
        return -1;
    const int64_t b = bm.get<int64_t>();
    if (b < 1 || b > UINT32_MAX)
        return -1;
    try {
        FRecordset->setBookmark(static_cast<ado::Bookmark>(b));
    } catch (const std::exception&) {
        return -1;
    }
    return static_cast<int>(FRecordset->AbsolutePosition()) - 1;
}

bool TCustomADODataSet::CanModify() const {
    return FLockType != ltReadOnly &&
           (!FRecordset || FRecordset->lockType != ado::LockType::ReadOnly);
}

void TCustomADODataSet::Requery(TExecuteOptions options) {
    (void)options;
    CheckBrowseMode();
    DestroyLookupCursor();
    CheckedRecordset().Requery();
    First();
}

void TCustomADODataSet::Clone(TCustomADODataSet& source, TADOLockType lockType) {
    ado::Recordset& rs = source.CheckedRecordset();
    const ado::LockType lock = lockType == ltUnspecified ? rs.lockType : ToAdo(lockType);
    SetRecordset(rs.Clone(lock));
}

bool TCustomADODataSet::Supports(TCursorOptions options) const {
    if (!FRecordset)
        return false;
    if ((options & coSeek) && !FRecordset->SupportsSeek())
        return false;
    if ((options & coUpdate) && !CanModify())
        return false;
    return true;
}

void TCustomADODataSet::SetFilter(const WideString& criterion) {
    if (criterion == FFilter)
        return;
    if (Active() && FFiltered) {
        CheckBrowseMode();
        FRecordset->setFilter(criterion); // raises on a bad criterion, keeping the old one
        DestroyLookupCursor();
        FFilter = criterion;
        First();
        return;
    }
    FFilter = criterion;
}

void TCustomADODataSet::SetFiltered(bool filtered) {
    if (filtered == FFiltered)
        return;
    if (Active()) {
        CheckBrowseMode();
        FRecordset->setFilter(filtered ? FFilter : WideString());
        DestroyLookupCursor();
        FFiltered = filtered;
        First();
        return;
    }
    FFiltered = filtered;
}

void TCustomADODataSet::SetSort(const WideString& sortText) {
    if (Active()) {
        CheckBrowseMode();
        FRecordset->setSort(sortText);
        FSort = sortText;
        First();
        return;
    }
    FSort = sortText;
}

std::vector<AnsiString> TCustomADODataSet::CurrentIndexFields() {
    if (!FIndexFieldNames.empty())
        return SplitFieldNames(FIndexFieldNames);
    if (FIndexName.empty())
        return {};
    IndexDefs().Update();
    if (const TIndexDef* def = IndexDefs().Find(FIndexName))
        return SplitFieldNames(def->Fields);
    DatabaseError("Index '" + FIndexName + "' not found", this);
}

void TCustomADODataSet::SetIndexName(const AnsiString& name) {
    FIndexName = name;
    if (!name.empty())
        FIndexFieldNames.clear();
    if (Active())
        ApplyViewSettings();
}

void TCustomADODataSet::SetIndexFieldNames(const AnsiString& names) {
    FIndexFieldNames = names;
    if (!names.empty())
        FIndexName.clear();
    if (!Active())
        return;
    if (names.empty()) {
        FRecordset->setIndex(WideString());
        return;
    }
    // On a client cursor the index field names are also the order the rows show in.
    if (FCursorLocation == clUseClient) {
        AnsiString sort;
        for (const AnsiString& f : SplitFieldNames(names))
            sort +=
                (sort.empty() ? "" : ",") + (f.find(' ') != AnsiString::npos ? "[" + f + "]" : f);
        SetSort(platform::AnsiToWide(sort));
    }
    ApplyViewSettings();
}

int TCustomADODataSet::IndexFieldCount() {
    return static_cast<int>(CurrentIndexFields().size());
}

TField* TCustomADODataSet::IndexFields(int index) {
    const std::vector<AnsiString> names = CurrentIndexFields();
    if (index < 0 || index >= static_cast<int>(names.size()))
        DatabaseError("Index field " + std::to_string(index) + " out of range", this);
    return FieldByName(names[static_cast<size_t>(index)]);
}

bool TCustomADODataSet::Seek(const KeyValues& keyValues, TSeekOption option) {
    CheckBrowseMode();
    ado::Recordset& rs = CheckedRecordset();
    DoBeforeScroll();
    UpdateCursorPos();
    const int before = CurrentIndex();
    rs.Seek(keyValues.items(), ToAdo(option));
    if (rs.Eof() || rs.Bof()) {
        InternalSetToRecord(before);
        return false;
    }
    Resync(rmExact);
    DoAfterScroll();
    return true;
}

// ---------------------------------------------------------------- TADOTable

TADOTable::TADOTable(TComponent* owner) : TCustomADODataSet(owner) {
    SetCommandType(cmdTable);
    SetCommandTextAlias("TableName");
}

} // namespace db
