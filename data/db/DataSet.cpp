// Opening, closing, fields, field data, states and data events of TDataSet.
#include "data/db/DataSet.h"

#include "data/db/DataSource.h"
#include "data/db/StdFields.h"

#include <algorithm>

namespace db {

TDataSet::TDataSet(TComponent* owner)
    : TComponent(owner), FIndexDefs([this] { UpdateIndexDefs(); }), FFields(this) {}

TDataSet::~TDataSet() {
    MarkDestroying();
    if (FState != dsInactive) {
        // The subclass is gone (it should have called CloseForDestroy): nothing
        // virtual can run any more, so the fields are simply dropped.
        FState = dsInactive;
        FFields.FItems.clear();
        FOwnedFields.clear();
    }
    for (TDataSource* source : std::vector<TDataSource*>(FDataSources)) {
        source->FDataSet = nullptr;
        source->UpdateState();
    }
}

void TDataSet::CloseForDestroy() {
    MarkDestroying();
    if (FState != dsInactive)
        CloseDataSet(false);
}

// ---------------------------------------------------------------- open / close

void TDataSet::SetActive(bool active) {
    if (active == Active())
        return;
    if (active)
        OpenDataSet();
    else
        CloseDataSet(!Destroying());
}

void TDataSet::OpenDataSet() {
    DoBeforeOpen();
    FState = dsOpening;
    try {
        OpenCursor(false);
    } catch (...) {
        FState = dsInactive;
        try {
            CloseCursor();
        } catch (...) {
            // the open's own error is the one to report
        }
        DestroyFields();
        throw;
    }
    FBof = true;
    FCurrent = InternalRecordCount() > 0 ? 0 : -1;
    FEof = FCurrent < 0;
    FActiveOverride = -1;
    FModified = false;
    SetState(dsBrowse);
    DoAfterOpen();
}

void TDataSet::CloseDataSet(bool withEvents) {
    if (withEvents)
        DoBeforeClose();
    ClearEditRecord();
    try {
        CloseCursor();
    } catch (...) {
        DestroyFields();
        FState = dsInactive;
        throw;
    }
    DestroyFields();
    FCurrent = -1;
    FActiveOverride = -1;
    FBof = FEof = true;
    FFieldDefs.SetUpdated(false);
    // Controls hear that the dataset closed even when it is being destroyed;
    // only the close events are left out then.
    SetState(dsInactive);
    if (withEvents)
        DoAfterClose();
}

void TDataSet::OpenCursor(bool infoQuery) {
    if (infoQuery)
        InternalInitFieldDefs();
    else
        InternalOpen();
}

void TDataSet::CloseCursor() {
    DestroyLookupCursor();
    InternalClose();
}

void TDataSet::InternalOpen() {
    InternalInitFieldDefs();
    FFieldDefs.SetUpdated(true);
    CreateFields();
}

void TDataSet::UpdateFieldDefs() {
    if (FFieldDefs.Updated())
        return;
    if (Active()) {
        InternalInitFieldDefs();
    } else {
        FState = dsOpening;
        try {
            OpenCursor(true);
        } catch (...) {
            FState = dsInactive;
            try {
                CloseCursor();
            } catch (...) {
            }
            throw;
        }
        FState = dsInactive;
        CloseCursor();
    }
    FFieldDefs.SetUpdated(true);
}

// ---------------------------------------------------------------- fields

TFieldClass TDataSet::GetFieldClass(TFieldType fieldType) {
    return DefaultFieldClass(fieldType);
}

void TDataSet::CreateFields() {
    DestroyFields();
    for (const TFieldDef& def : FFieldDefs) {
        TFieldClass cls = GetFieldClass(def.DataType);
        if (!cls)
            DatabaseError("Field '" + def.Name + "' is of an unknown type", this);
        std::unique_ptr<TField> field = cls();
        field->SetFieldName(def.Name);
        field->SetDataType(def.DataType);
        field->SetSize(def.Size);
        field->SetFieldNo(def.FieldNo);
        field->SetRequired(def.Required);
        field->SetReadOnly(def.ReadOnly);
        field->Bind(this, FFields.Count());
        FFields.FItems.push_back(field.get());
        FOwnedFields.push_back(std::move(field));
    }
    DataEvent(deFieldListChange, 0);
}

void TDataSet::DestroyFields() {
    if (FOwnedFields.empty())
        return;
    FFields.FItems.clear();
    FOwnedFields.clear();
    DataEvent(deFieldListChange, 0);
}

std::vector<TField*> TDataSet::GetFieldList(const AnsiString& names) const {
    std::vector<TField*> out;
    for (const AnsiString& name : SplitFieldNames(names))
        out.push_back(FieldByName(name));
    return out;
}

KeyValues TDataSet::FieldValues(const AnsiString& names) const {
    std::vector<Variant> values;
    for (TField* f : GetFieldList(names))
        values.push_back(f->AsVariant());
    if (values.size() == 1)
        return KeyValues(values.front());
    return KeyValues::Array(std::move(values));
}

void TDataSet::CalculateFields() {
    if (!OnCalcFields)
        return;
    TTempState temp(*this, dsCalcFields);
    OnCalcFields(*this);
}

// ---------------------------------------------------------------- field data

bool TDataSet::GetFieldData(TField* field, Variant* buffer) {
    return GetFieldData(field, buffer, true);
}

bool TDataSet::GetFieldData(int fieldNo, Variant* buffer) {
    return GetFieldData(FieldByNumber(fieldNo), buffer);
}

bool TDataSet::GetFieldData(TField* field, Variant* buffer, bool nativeFormat) {
    (void)nativeFormat; // values are kept in one form; the flag is for overrides
    if (!field || field->DataSet() != this || field->Index() < 0)
        return false;
    const size_t slot = static_cast<size_t>(field->Index());
    Variant value;
    if (const Variant* validating = field->ValidatingValue()) {
        value = *validating;
    } else if (FState == dsCalcFields) {
        if (slot < FTempRecord.size())
            value = FTempRecord[slot];
    } else {
        int index = ActiveRecordIndex();
        const bool onEditRecord = !FRecord.empty() && index == FCurrent;
        if (onEditRecord) {
            if (FState == dsOldValue)
                value = FOldRecord.at(slot);
            else if (FState == dsCurValue && !FInserting && field->FieldKind() == fkData)
                GetRecordValue(FCurrent, *field, value);
            else if (FState != dsCurValue)
                value = FRecord.at(slot);
        } else if (FState != dsInactive && FState != dsOpening && index >= 0 &&
                   field->FieldKind() == fkData) {
            // While a record is being inserted, the rows after it sit one further down.
            if (FInserting && index > FCurrent)
                --index;
            if (index < InternalRecordCount())
                GetRecordValue(index, *field, value);
        }
    }
    const bool has = !value.isBlank();
    if (buffer)
        *buffer = has ? std::move(value) : Variant::null();
    return has;
}

void TDataSet::SetFieldData(TField* field, const Variant* buffer) {
    SetFieldData(field, buffer, true);
}

void TDataSet::SetFieldData(TField* field, const Variant* buffer, bool nativeFormat) {
    (void)nativeFormat;
    if (!field || field->DataSet() != this)
        DatabaseError("Field does not belong to this dataset", this);
    const size_t slot = static_cast<size_t>(field->Index());
    if (FState == dsCalcFields) {
        if (slot < FTempRecord.size())
            FTempRecord[slot] = buffer ? *buffer : Variant::null();
        return;
    }
    if (FState != dsEdit && FState != dsInsert)
        DatabaseError(SNotEditing, this);
    field->Validate(buffer);
    FRecord.at(slot) = buffer ? *buffer : Variant::null();
    FChanged.at(slot) = true;
    DataEvent(deFieldChange, reinterpret_cast<intptr_t>(field));
}

Variant TDataSet::GetStateFieldValue(TDataSetState state, TField* field) {
    TTempState temp(*this, state);
    Variant value;
    GetFieldData(field, &value, true);
    return value;
}

TDataSetState TDataSet::SetTempState(TDataSetState state) {
    TDataSetState old = FState;
    FState = state;
    return old;
}

void TDataSet::RestoreState(TDataSetState state) {
    FState = state;
}

void TDataSet::InitTempBuffer() {
    FTempRecord.assign(FFields.FItems.size(), Variant::null());
}

void TDataSet::LoadEditRecord() {
    const size_t n = FFields.FItems.size();
    FRecord.assign(n, Variant::null());
    FChanged.assign(n, false);
    for (size_t i = 0; i < n && !FInserting; ++i) {
        TField* f = FFields.FItems[i];
        if (f->FieldKind() == fkData && FCurrent >= 0)
            GetRecordValue(FCurrent, *f, FRecord[i]);
        if (FRecord[i].isEmpty())
            FRecord[i] = Variant::null();
    }
    FOldRecord = FRecord;
}

void TDataSet::ClearEditRecord() {
    FRecord.clear();
    FOldRecord.clear();
    FChanged.clear();
    FInsertOrigin = -1;
    FInserting = false;
}

// ---------------------------------------------------------------- states and events

void TDataSet::SetState(TDataSetState state) {
    if (FState == state)
        return;
    FState = state;
    FModified = false;
    DataEvent(deUpdateState, 0);
}

void TDataSet::CheckActive() const {
    if (!Active())
        DatabaseError(SDataSetClosed, this);
}

void TDataSet::CheckInactive() const {
    if (Active())
        DatabaseError(SDataSetOpen, this);
}

void TDataSet::DataEvent(TDataEvent event, intptr_t info) {
    if (event == deFieldChange) {
        TField* field = reinterpret_cast<TField*>(info);
        if (field && field->FieldKind() == fkData)
            FModified = true;
        if (field && field->OnChange)
            field->OnChange(*field);
    }
    if (!ControlsDisabled()) {
        for (TDataSource* source : std::vector<TDataSource*>(FDataSources))
            source->DataEvent(event, info);
        return;
    }
    // While controls are disabled they hear only that the state changed.
    if (event == deUpdateState || event == deDisabledStateChange) {
        for (TDataSource* source : std::vector<TDataSource*>(FDataSources))
            source->DataEvent(deDisabledStateChange, info);
    }
    if ((event == deUpdateState && FState == dsInactive) || event == deLayoutChange ||
        event == deFieldListChange)
        FEnableEvent = deLayoutChange;
}

void TDataSet::DisableControls() {
    if (FDisableCount++ == 0) {
        FDisableState = FState;
        FEnableEvent = deDataSetChange;
    }
}

void TDataSet::EnableControls() {
    if (FDisableCount == 0 || --FDisableCount > 0)
        return;
    if (FState != FDisableState)
        DataEvent(deUpdateState, 0);
    if (FDisableState != dsInactive && FState != dsInactive)
        DataEvent(FEnableEvent, 0);
}

void TDataSet::AttachSource(TDataSource* source) {
    if (std::find(FDataSources.begin(), FDataSources.end(), source) == FDataSources.end())
        FDataSources.push_back(source);
}

void TDataSet::DetachSource(TDataSource* source) {
    std::erase(FDataSources, source);
}

} // namespace db
