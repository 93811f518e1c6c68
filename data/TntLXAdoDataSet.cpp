#include "data/TntLXAdoDataSet.h"

namespace tnt {

using namespace db;

/// Size of a wide string field made from a long text column: the longest text the server keeps.
constexpr int LongTextSize = 2147483647;

TTntADODataSetLX::TTntADODataSetLX(TComponent* owner) : TADODataSet(owner) {
    TCustomADODataSet::SetParamCheck(false);
}

TTntADODataSetLX::~TTntADODataSetLX() {
    // The fields' reads and writes go through this class's overrides, so the
    // dataset must be closed while they are still there.
    CloseForDestroy();
}

TTntADOTableLX::TTntADOTableLX(TComponent* owner) : TTntADODataSetLX(owner) {
    SetCommandType(cmdTable);
    SetCommandTimeout(30);
    SetCommandTextAlias("TableName");
}

// ---------------------------------------------------------------- fields

TFieldClass TTntADODataSetLX::GetFieldClass(TFieldType fieldType) {
    switch (fieldType) {
    case ftString:
    case ftFixedChar:
        return &NewField<TStringField>;
    case ftWideString:
        return &NewField<TTntWideStringField>;
    case ftDate:
        return &NewField<TTntDateField>;
    case ftTime:
        return &NewField<TTntTimeField>;
    case ftDateTime:
        return &NewField<TTntDateTimeField>;
    default:
        return TADODataSet::GetFieldClass(fieldType);
    }
}

void TTntADODataSetLX::InternalInitFieldDefs() {
    TADODataSet::InternalInitFieldDefs();
    // Long text of either width is shown and edited as wide text.
    for (TFieldDef& def : FieldDefs()) {
        if (def.DataType == ftMemo || def.DataType == ftWideMemo) {
            def.DataType = ftWideString;
            def.Size = LongTextSize;
        }
    }
}

// ---------------------------------------------------------------- events

void TTntADODataSetLX::DataEvent(TDataEvent event, intptr_t info) {
    if (event == deUpdateState && ControlsDisabled())
        TADODataSet::DataEvent(deDisabledStateChange, info);
    else
        TADODataSet::DataEvent(event, info);
    // Fields made anew get their metadata again; a close, which frees the
    // fields before the state turns inactive, has none to load.
    if (event == deFieldListChange && Active() && !FDefaultValues.empty() && FieldCount() > 0)
        LoadFieldSchemaInfo();
}

void TTntADODataSetLX::DoAfterClose() {
    TADODataSet::DoAfterClose();
    FDefaultValues.clear();
}

void TTntADODataSetLX::DoAfterInsert() {
    ApplyInsertDefaults();
    // Defaults are not the operator's doing: an untouched new record stays unmodified.
    SetModified(false);
    TADODataSet::DoAfterInsert();
}

void TTntADODataSetLX::DestroyLookupCursor() {
    FLookupCursor.reset();
    TADODataSet::DestroyLookupCursor();
}

// ---------------------------------------------------------------- field data

bool TTntADODataSetLX::GetFieldData(TField* field, Variant* buffer) {
    return GetFieldData(field, buffer, true);
}

bool TTntADODataSetLX::GetFieldData(int fieldNo, Variant* buffer) {
    return GetFieldData(FieldByNumber(fieldNo), buffer);
}

bool TTntADODataSetLX::GetFieldData(TField* field, Variant* buffer, bool nativeFormat) {
    // A buffer that held wide text must not keep it when the field is null; a
    // buffer of no type takes the framework's null, so Value still reads null.
    const bool heldWideText = buffer && buffer->is<WideString>();
    const bool has = TADODataSet::GetFieldData(field, buffer, nativeFormat);
    if (!has && buffer && heldWideText && field && field->DataType() == ftWideString)
        *buffer = WideString();
    return has;
}

void TTntADODataSetLX::SetFieldData(TField* field, const Variant* buffer) {
    SetFieldData(field, buffer, true);
}

void TTntADODataSetLX::SetFieldData(TField* field, const Variant* buffer, bool nativeFormat) {
    // A validation handler may want to see every write, even one that changes nothing.
    if ((field && field->OnValidate) || FieldValueChanged(field, buffer, nativeFormat))
        TADODataSet::SetFieldData(field, buffer, nativeFormat);
}

Variant TTntADODataSetLX::GetStateFieldValue(TDataSetState state, TField* field) {
    if (State() != dsInsert)
        return TADODataSet::GetStateFieldValue(state, field);
    if (state == dsOldValue)
        return EvaluateDefault(field);
    Variant value;
    if (!GetFieldData(field, &value))
        return Variant::null();
    return value;
}

} // namespace tnt
