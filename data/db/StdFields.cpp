#include "data/db/StdFields.h"

#include "data/db/DBErrors.h"
#include "data/db/VariantConv.h"
#include "platform/CodePageConv.h"

#include <cctype>

namespace db {

Variant TStringField::ConvertIn(const Variant& v) const {
    return Variant(VarToAnsi(v));
}

Variant TWideStringField::ConvertIn(const Variant& v) const {
    return Variant(VarToWide(v));
}

Variant TWideStringField::TextToValue(const AnsiString& text) const {
    return Variant(platform::AnsiToWide(text));
}

Variant TIntegerField::ConvertIn(const Variant& v) const {
    const int64_t i = VarToInt64(v);
    if (i < MinValue() || i > MaxValue())
        RangeError(i, MinValue(), MaxValue());
    return Variant(i);
}

Variant TFloatField::ConvertIn(const Variant& v) const {
    return Variant(VarToDouble(v));
}

Variant TBCDField::ConvertIn(const Variant& v) const {
    if (v.is<ado::Decimal>())
        return v;
    if (v.is<AnsiString>() || v.is<WideString>()) {
        AnsiString text = VarToAnsi(v);
        VarToDouble(Variant(text)); // raises unless it is a number
        size_t b = text.find_first_not_of(" \t"), e = text.find_last_not_of(" \t");
        return Variant(ado::Decimal{text.substr(b, e - b + 1)});
    }
    return Variant(ado::Decimal{VarToAnsi(Variant(VarToDouble(v)))});
}

Variant TBooleanField::ConvertIn(const Variant& v) const {
    return Variant(VarToBool(v));
}

Variant TDateTimeField::ConvertIn(const Variant& v) const {
    return Variant(VarToDateTime(v));
}

AnsiString TDateTimeField::GetText(bool) const {
    const Variant v = ReadValue();
    return v.isBlank() ? AnsiString() : DateTimeToText(VarToDateTime(v));
}

AnsiString TDateField::GetText(bool) const {
    const Variant v = ReadValue();
    return v.isBlank() ? AnsiString() : DateTimeToText(VarToDateTime(v), true);
}

AnsiString TTimeField::GetText(bool) const {
    const Variant v = ReadValue();
    return v.isBlank() ? AnsiString() : DateTimeToText(VarToDateTime(v), false, true);
}

Variant TBytesField::ConvertIn(const Variant& v) const {
    if (v.is<ado::Bytes>())
        return v;
    const AnsiString raw = VarToAnsi(v);
    return Variant(ado::Bytes(raw.begin(), raw.end()));
}

AnsiString TBytesField::GetText(bool display) const {
    const Variant v = ReadValue();
    if (v.isBlank())
        return AnsiString();
    const ado::Bytes bytes = v.is<ado::Bytes>() ? v.get<ado::Bytes>() : ado::Bytes();
    if (!display)
        return AnsiString(bytes.begin(), bytes.end());
    static const char digits[] = "0123456789ABCDEF";
    AnsiString text = "0x";
    for (uint8_t b : bytes) {
        text += digits[b >> 4];
        text += digits[b & 15];
    }
    return text;
}

Variant TBlobField::ConvertIn(const Variant& v) const {
    if (v.is<ado::Bytes>())
        return v;
    const AnsiString raw = VarToAnsi(v);
    return Variant(ado::Bytes(raw.begin(), raw.end()));
}

AnsiString TBlobField::GetText(bool display) const {
    if (!display)
        return VarToAnsi(ReadValue());
    AnsiString text = AnsiString("(") + ClassDesc() + ")";
    if (!IsNull())
        for (char& c : text)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

Variant TMemoField::ConvertIn(const Variant& v) const {
    return Variant(VarToAnsi(v));
}

Variant TWideMemoField::ConvertIn(const Variant& v) const {
    return Variant(VarToWide(v));
}

Variant TWideMemoField::TextToValue(const AnsiString& text) const {
    return Variant(platform::AnsiToWide(text));
}

TFieldClass DefaultFieldClass(TFieldType type) {
    switch (type) {
    case ftString:
    case ftFixedChar:
        return &NewField<TStringField>;
    case ftWideString:
        return &NewField<TWideStringField>;
    case ftGuid:
        return &NewField<TGuidField>;
    case ftSmallint:
        return &NewField<TSmallintField>;
    case ftInteger:
        return &NewField<TIntegerField>;
    case ftWord:
        return &NewField<TWordField>;
    case ftAutoInc:
        return &NewField<TAutoIncField>;
    case ftLargeint:
        return &NewField<TLargeintField>;
    case ftBoolean:
        return &NewField<TBooleanField>;
    case ftFloat:
        return &NewField<TFloatField>;
    case ftCurrency:
        return &NewField<TCurrencyField>;
    case ftBCD:
    case ftFMTBcd:
        return &NewField<TBCDField>;
    case ftDate:
        return &NewField<TDateField>;
    case ftTime:
        return &NewField<TTimeField>;
    case ftDateTime:
        return &NewField<TDateTimeField>;
    case ftBytes:
        return &NewField<TBytesField>;
    case ftVarBytes:
        return &NewField<TVarBytesField>;
    case ftBlob:
        return &NewField<TBlobField>;
    case ftGraphic:
        return &NewField<TGraphicField>;
    case ftMemo:
        return &NewField<TMemoField>;
    case ftWideMemo:
        return &NewField<TWideMemoField>;
    case ftUnknown:
        break;
    }
    return nullptr;
}

} // namespace db
