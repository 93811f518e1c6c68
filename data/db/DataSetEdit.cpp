// Navigation, editing, bookmarks and searching of TDataSet.
#include "data/db/DataSet.h"

#include "data/db/VariantConv.h"

#include <algorithm>

namespace db {

// ---------------------------------------------------------------- navigation

bool TDataSet::IsEmpty() const {
    return !Active() || (InternalRecordCount() == 0 && FState != dsInsert);
}

int TDataSet::RecordCount() const {
    CheckActive();
    return InternalRecordCount();
}

int TDataSet::ViewRecordCount() const {
    if (!Active())
        return 0;
    return InternalRecordCount() + (FInserting ? 1 : 0);
}

int TDataSet::RecNo() const {
    CheckActive();
    return FCurrent + 1;
}

void TDataSet::Scrolled(int newIndex, bool bof, bool eof) {
    FCurrent = newIndex;
    FBof = bof;
    FEof = eof;
}

void TDataSet::First() {
    CheckBrowseMode();
    DoBeforeScroll();
    const int count = InternalRecordCount();
    Scrolled(count > 0 ? 0 : -1, true, count == 0);
    DataEvent(deDataSetChange, 0);
    DoAfterScroll();
}

void TDataSet::Last() {
    CheckBrowseMode();
    DoBeforeScroll();
    const int count = InternalRecordCount();
    Scrolled(count - 1, count == 0, true);
    DataEvent(deDataSetChange, 0);
    DoAfterScroll();
}

int TDataSet::MoveBy(int distance) {
    CheckBrowseMode();
    DoBeforeScroll();
    if ((distance > 0 && FEof) || (distance < 0 && FBof) || distance == 0)
        return 0;
    const int count = InternalRecordCount();
    int64_t target = static_cast<int64_t>(FCurrent) + distance;
    bool bof = false, eof = false;
    if (target >= count) {
        target = count - 1;
        eof = true;
    }
    if (target < 0) {
        target = count > 0 ? 0 : -1;
        bof = true;
        eof = eof || count == 0;
    }
    const int moved = static_cast<int>(target) - FCurrent;
    Scrolled(static_cast<int>(target), bof, eof);
    DataEvent(deDataSetScroll, moved);
    DoAfterScroll();
    return moved;
}

void TDataSet::SetRecNo(int recNo) {
    CheckBrowseMode();
    const int count = InternalRecordCount();
    const int index = std::clamp(recNo - 1, 0, std::max(count - 1, 0));
    if (count == 0 || index == FCurrent)
        return;
    DoBeforeScroll();
    Scrolled(index, false, false);
    DataEvent(deDataSetChange, 0);
    DoAfterScroll();
}

TBookmark TDataSet::InternalGetBookmark(int recIndex) const {
    return Variant(static_cast<int64_t>(recIndex));
}

int TDataSet::InternalBookmarkIndex(const TBookmark& bm) const {
    if (!bm.is<int64_t>())
        return -1;
    const int64_t i = bm.get<int64_t>();
    return i >= 0 && i < InternalRecordCount() ? static_cast<int>(i) : -1;
}

TBookmark TDataSet::GetBookmark() const {
    if (!Active() || FCurrent < 0 || FInserting)
        return TBookmark();
    return InternalGetBookmark(FCurrent);
}

bool TDataSet::BookmarkValid(const TBookmark& bm) const {
    return Active() && !bm.isEmpty() && InternalBookmarkIndex(bm) >= 0;
}

void TDataSet::GotoBookmark(const TBookmark& bm) {
    CheckBrowseMode();
    const int index = bm.isEmpty() ? -1 : InternalBookmarkIndex(bm);
    if (index < 0)
        DatabaseError(SBookmarkNotFound, this);
    DoBeforeScroll();
    Scrolled(index, false, false);
    DataEvent(deDataSetChange, 0);
    DoAfterScroll();
}

void TDataSet::UpdateCursorPos() {
    if (FCurrent >= 0 && !FInserting)
        InternalSetToRecord(FCurrent);
}

void TDataSet::SetCurrentIndex(int index) {
    const int count = InternalRecordCount();
    FCurrent = count == 0 ? -1 : std::clamp(index, 0, count - 1);
}

void TDataSet::Resync(TResyncModes mode) {
    (void)mode; // no record window here: exact and centred come to the same
    CheckActive();
    SetCurrentIndex(InternalCursorIndex());
    FCursorMoved = false;
    FBof = FEof = InternalRecordCount() == 0;
    DataEvent(deDataSetChange, 0);
}

int TDataSet::SetActiveRecordIndex(int index) {
    const int old = FActiveOverride;
    FActiveOverride = index;
    return old;
}

bool TDataSet::RecordValue(int index, TField& field, Variant& out) {
    const int saved = SetActiveRecordIndex(index);
    try {
        const bool has = GetFieldData(&field, &out);
        SetActiveRecordIndex(saved);
        return has;
    } catch (...) {
        SetActiveRecordIndex(saved);
        throw;
    }
}

// ---------------------------------------------------------------- editing

void TDataSet::CheckBrowseMode() {
    CheckActive();
    DataEvent(deCheckBrowseMode, 0);
    if (FState == dsEdit || FState == dsInsert) {
        UpdateRecord();
        if (FModified)
            Post();
        else
            Cancel();
    }
}

void TDataSet::UpdateRecord() {
    if (FState != dsEdit && FState != dsInsert)
        DatabaseError(SNotEditing, this);
    DataEvent(deUpdateRecord, 0);
}

void TDataSet::Edit() {
    if (FState == dsEdit || FState == dsInsert)
        return;
    CheckActive();
    if (!CanModify())
        DatabaseError(SDataSetReadOnly, this);
    if (InternalRecordCount() == 0) {
        Insert();
        return;
    }
    DoBeforeEdit();
    UpdateCursorPos();
    InternalEdit();
    LoadEditRecord();
    SetState(dsEdit);
    DataEvent(deRecordChange, 0);
    DoAfterEdit();
}

void TDataSet::BeginInsertAppend(bool append) {
    CheckBrowseMode();
    if (!CanModify())
        DatabaseError(SDataSetReadOnly, this);
    DoBeforeInsert();
    DoBeforeScroll();
    InternalInsert();
    FInsertOrigin = FCurrent;
    FInserting = true;
    const int count = InternalRecordCount();
    FCurrent = append || FCurrent < 0 ? count : FCurrent;
    FBof = FEof = false;
    LoadEditRecord();
    SetState(dsInsert);
    try {
        DoOnNewRecord();
    } catch (...) {
        ClearEditRecord();
        SetCurrentIndex(FInsertOrigin);
        SetState(dsBrowse);
        DataEvent(deDataSetChange, 0);
        throw;
    }
    FModified = false;
    DataEvent(deDataSetChange, 0);
    DoAfterInsert();
    DoAfterScroll();
}

void TDataSet::CheckRequiredFields() {
    for (TField* f : FFields) {
        // A column the server fills (identity, default) needs no value from us.
        if (f->Required() && !f->ReadOnly() && f->FieldKind() == fkData &&
            f->DataType() != ftAutoInc && f->DefaultExpression().empty() && f->IsNull())
            DatabaseError("Field '" + f->DisplayLabel() + "' must have a value", this);
    }
}

void TDataSet::Post() {
    UpdateRecord();
    DataEvent(deCheckBrowseMode, 0);
    DoBeforePost();
    CheckRequiredFields();
    UpdateCursorPos();
    int row = -1;
    for (;;) {
        try {
            row = InternalPost();
            break;
        } catch (const EAbort&) {
            throw;
        } catch (const std::exception& e) {
            TDataAction action = daFail;
            if (OnPostError)
                OnPostError(*this, e, action);
            if (action == daFail)
                throw;
            if (action == daAbort)
                Abort();
        }
    }
    ClearEditRecord();
    SetCurrentIndex(row);
    FBof = FEof = false;
    SetState(dsBrowse);
    DataEvent(deDataSetChange, 0);
    DoAfterPost();
}

void TDataSet::Cancel() {
    if (FState != dsEdit && FState != dsInsert)
        return;
    DataEvent(deCheckBrowseMode, 0);
    DoBeforeCancel();
    const bool inserting = FInserting;
    const int origin = FInsertOrigin;
    UpdateCursorPos();
    if (!inserting)
        InternalCancel();
    ClearEditRecord();
    if (inserting) {
        SetCurrentIndex(origin);
        FBof = FEof = InternalRecordCount() == 0;
    }
    SetState(dsBrowse);
    DataEvent(deDataSetChange, 0);
    DoAfterCancel();
}

void TDataSet::Delete() {
    CheckActive();
    if (FState == dsInsert) {
        Cancel();
        return;
    }
    if (InternalRecordCount() == 0)
        DatabaseError(SDataSetEmpty, this);
    if (!CanModify())
        DatabaseError(SDataSetReadOnly, this);
    DataEvent(deCheckBrowseMode, 0);
    DoBeforeDelete();
    DoBeforeScroll();
    UpdateCursorPos();
    for (;;) {
        try {
            InternalDelete();
            break;
        } catch (const EAbort&) {
            throw;
        } catch (const std::exception& e) {
            TDataAction action = daFail;
            if (OnDeleteError)
                OnDeleteError(*this, e, action);
            if (action == daFail)
                throw;
            if (action == daAbort)
                Abort();
        }
    }
    ClearEditRecord();
    SetCurrentIndex(FCurrent);
    FBof = false;
    FEof = InternalRecordCount() == 0;
    SetState(dsBrowse);
    DataEvent(deDataSetChange, 0);
    DoAfterDelete();
    DoAfterScroll();
}

// ---------------------------------------------------------------- searching

int TDataSet::FindRecord(const std::vector<TField*>& fields, const KeyValues& keys,
                         TLocateOptions options) {
    if (fields.empty())
        return -1;
    if (fields.size() > 1 && (!keys.isArray() || keys.size() != fields.size()))
        DatabaseError("Key values do not match the key fields", this);
    const bool caseInsensitive = options & loCaseInsensitive;
    const bool partial = options & loPartialKey;
    const int count = InternalRecordCount();
    Variant value;
    for (int row = 0; row < count; ++row) {
        bool all = true;
        for (size_t k = 0; k < fields.size() && all; ++k) {
            const Variant& key = fields.size() == 1 && !keys.isArray() ? keys.single() : keys[k];
            value = Variant();
            GetRecordValue(row, *fields[k], value);
            all = VarMatches(value, key, caseInsensitive, partial);
        }
        if (all)
            return row;
    }
    return -1;
}

bool TDataSet::Locate(const AnsiString& keyFields, const KeyValues& keyValues,
                      TLocateOptions options) {
    CheckBrowseMode();
    const std::vector<TField*> fields = GetFieldList(keyFields);
    DoBeforeScroll();
    const int row = FindRecord(fields, keyValues, options);
    if (row < 0)
        return false;
    Scrolled(row, false, false);
    DataEvent(deDataSetChange, 0);
    DoAfterScroll();
    return true;
}

KeyValues TDataSet::Lookup(const AnsiString& keyFields, const KeyValues& keyValues,
                           const AnsiString& resultFields) {
    CheckBrowseMode();
    const std::vector<TField*> fields = GetFieldList(keyFields);
    const std::vector<TField*> results = GetFieldList(resultFields);
    const int row = FindRecord(fields, keyValues, 0);
    if (row < 0)
        return KeyValues(Variant::null());
    std::vector<Variant> values;
    for (TField* f : results) {
        Variant v;
        RecordValue(row, *f, v);
        values.push_back(v);
    }
    if (values.size() == 1)
        return KeyValues(values.front());
    return KeyValues::Array(std::move(values));
}

const Variant& KeyValues::single() const {
    static const Variant null = Variant::null();
    return values_.empty() ? null : values_.front();
}

} // namespace db
