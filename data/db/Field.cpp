#include "data/db/Field.h"

#include "data/db/DataSet.h"
#include "data/db/VariantConv.h"
#include "platform/CodePageConv.h"

namespace db {

TField::TField() = default;
TField::~TField() = default;

bool TField::GetData(Variant* buffer, bool nativeFormat) const {
    if (!FDataSet)
        DatabaseError("Field '" + FFieldName + "' has no dataset");
    return FDataSet->GetFieldData(const_cast<TField*>(this), buffer, nativeFormat);
}

void TField::SetData(const Variant* buffer, bool nativeFormat) {
    if (!FDataSet)
        DatabaseError("Field '" + FFieldName + "' has no dataset");
    CheckReadOnly();
    FDataSet->SetFieldData(this, buffer, nativeFormat);
}

void TField::CheckReadOnly() const {
    if (FReadOnly)
        DatabaseError("Field '" + DisplayLabel() + "' cannot be modified");
}

void TField::Validate(const Variant* buffer) {
    if (!OnValidate)
        return;
    const Variant null = Variant::null();
    const Variant* saved = FValidating;
    FValidating = buffer ? buffer : &null;
    try {
        OnValidate(*this);
    } catch (...) {
        FValidating = saved;
        throw;
    }
    FValidating = saved;
}

bool TField::IsNull() const {
    return !GetData(nullptr);
}

Variant TField::AsVariant() const {
    Variant v;
    GetData(&v);
    return v;
}

Variant TField::ReadValue() const {
    Variant v;
    if (!GetData(&v))
        return Variant();
    return v;
}

AnsiString TField::GetText(bool display) const {
    (void)display;
    return VarToAnsi(ReadValue());
}

WideString TField::WideDisplayText() const {
    return platform::AnsiToWide(DisplayText());
}

AnsiString TField::AsString() const {
    return GetText(false);
}
WideString TField::AsWideString() const {
    return VarToWide(ReadValue());
}

int TField::AsInteger() const {
    const int64_t v = AsLargeInt();
    if (v < INT32_MIN || v > INT32_MAX)
        throw EConvertError("'" + std::to_string(v) + "' is not a valid integer value");
    return static_cast<int>(v);
}

int64_t TField::AsLargeInt() const {
    return VarToInt64(ReadValue());
}
double TField::AsFloat() const {
    return VarToDouble(ReadValue());
}
bool TField::AsBoolean() const {
    return VarToBool(ReadValue());
}
ado::DateTime TField::AsDateTime() const {
    return VarToDateTime(ReadValue());
}

Variant TField::OldValue() const {
    if (!FDataSet)
        return Variant::null();
    return FDataSet->GetStateFieldValue(dsOldValue, const_cast<TField*>(this));
}

Variant TField::CurValue() const {
    if (!FDataSet)
        return Variant::null();
    return FDataSet->GetStateFieldValue(dsCurValue, const_cast<TField*>(this));
}

Variant TField::NewValue() const {
    if (!FDataSet)
        return Variant::null();
    return FDataSet->GetStateFieldValue(dsNewValue, const_cast<TField*>(this));
}

void TField::SetAsVariant(const Variant& v) {
    if (v.isBlank()) {
        Clear();
        return;
    }
    const Variant value = ConvertIn(v);
    SetData(&value);
}

Variant TField::TextToValue(const AnsiString& text) const {
    if (text.empty())
        return Variant::null();
    return ConvertIn(Variant(text));
}

void TField::SetAsString(const AnsiString& s) {
    const Variant value = TextToValue(s);
    SetData(value.isBlank() ? nullptr : &value);
}

void TField::SetAsWideString(const WideString& s) {
    if (s.empty() && FDataType != ftWideString && FDataType != ftWideMemo &&
        FDataType != ftString && FDataType != ftFixedChar && FDataType != ftMemo) {
        Clear();
        return;
    }
    SetAsVariant(Variant(s));
}

void TField::SetAsLargeInt(int64_t v) {
    SetAsVariant(Variant(v));
}
void TField::SetAsFloat(double v) {
    SetAsVariant(Variant(v));
}
void TField::SetAsBoolean(bool v) {
    SetAsVariant(Variant(v));
}
void TField::SetAsDateTime(const ado::DateTime& v) {
    SetAsVariant(Variant(v));
}

void TField::Clear() {
    SetData(nullptr);
}

void TField::AccessError(const char* typeName) const {
    DatabaseError("Cannot access field '" + DisplayLabel() + "' as type " + typeName);
}

void TField::RangeError(int64_t value, int64_t min, int64_t max) const {
    DatabaseError(std::to_string(value) + " is not a valid value for field '" + DisplayLabel() +
                  "'. The allowed range is " + std::to_string(min) + " to " + std::to_string(max));
}

// ---------------------------------------------------------------- TFields

TField* TFields::FindField(const AnsiString& name) const {
    for (TField* f : FItems)
        if (SameName(f->FieldName(), name))
            return f;
    return nullptr;
}

TField* TFields::FieldByName(const AnsiString& name) const {
    TField* f = FindField(name);
    if (!f)
        DatabaseError("Field '" + name + "' not found", FDataSet);
    return f;
}

TField* TFields::FieldByNumber(int fieldNo) const {
    for (TField* f : FItems)
        if (f->FieldNo() == fieldNo)
            return f;
    DatabaseError("Field number " + std::to_string(fieldNo) + " not found", FDataSet);
}

} // namespace db
