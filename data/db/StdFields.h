#pragma once
// The field classes per data type. Each keeps its value in one form (the form
// a write is converted to before it reaches the dataset), knows its default
// display width and formats its display text. Large objects show their type
// in parentheses instead of the value: "(Memo)" when null, "(MEMO)" with a value.
#include "data/db/Field.h"

namespace db {

/// 8-bit text (string, fixed char); the width is the column size.
class TStringField : public TField {
protected:
    int DefaultWidth() const override { return Size() > 0 ? Size() : 20; }
    Variant ConvertIn(const Variant& v) const override;
    Variant TextToValue(const AnsiString& text) const override { return Variant(text); }
};

/// A GUID as its text "{...}".
class TGuidField : public TStringField {
protected:
    int DefaultWidth() const override { return 38; }
};

/// UTF-16 text; a grid takes its wide value as it is.
class TWideStringField : public TField {
public:
    WideString WideDisplayText() const override { return AsWideString(); }

protected:
    int DefaultWidth() const override { return Size() > 0 && Size() < 4000 ? Size() : 20; }
    Variant ConvertIn(const Variant& v) const override;
    Variant TextToValue(const AnsiString& text) const override;
};

/// Whole numbers, checked against the range of the column type.
class TIntegerField : public TField {
protected:
    int DefaultWidth() const override { return 11; }
    Variant ConvertIn(const Variant& v) const override;
    virtual int64_t MinValue() const { return INT32_MIN; }
    virtual int64_t MaxValue() const { return INT32_MAX; }
};

class TSmallintField : public TIntegerField {
protected:
    int DefaultWidth() const override { return 6; }
    int64_t MinValue() const override { return INT16_MIN; }
    int64_t MaxValue() const override { return INT16_MAX; }
};

class TWordField : public TIntegerField {
protected:
    int DefaultWidth() const override { return 5; }
    int64_t MinValue() const override { return 0; }
    int64_t MaxValue() const override { return UINT16_MAX; }
};

/// An identity column; the server assigns it.
class TAutoIncField : public TIntegerField {};

class TLargeintField : public TIntegerField {
protected:
    int DefaultWidth() const override { return 15; }
    int64_t MinValue() const override { return INT64_MIN; }
    int64_t MaxValue() const override { return INT64_MAX; }
};

class TFloatField : public TField {
protected:
    int DefaultWidth() const override { return 10; }
    Variant ConvertIn(const Variant& v) const override;
};

class TCurrencyField : public TFloatField {};

/// decimal, numeric, money: exact decimal text.
class TBCDField : public TField {
protected:
    int DefaultWidth() const override { return Size() > 0 ? Size() + 2 : 20; }
    Variant ConvertIn(const Variant& v) const override;
};

class TBooleanField : public TField {
protected:
    int DefaultWidth() const override { return 5; }
    Variant ConvertIn(const Variant& v) const override;
};

class TDateTimeField : public TField {
protected:
    int DefaultWidth() const override { return 19; }
    Variant ConvertIn(const Variant& v) const override;
    AnsiString GetText(bool display) const override;
};

class TDateField : public TDateTimeField {
protected:
    int DefaultWidth() const override { return 10; }
    AnsiString GetText(bool display) const override;
};

class TTimeField : public TDateTimeField {
protected:
    int DefaultWidth() const override { return 8; }
    AnsiString GetText(bool display) const override;
};

/// binary and varbinary: shown as hexadecimal "0x...".
class TBytesField : public TField {
protected:
    int DefaultWidth() const override { return Size() > 0 && Size() < 64 ? 2 * Size() + 2 : 20; }
    Variant ConvertIn(const Variant& v) const override;
    AnsiString GetText(bool display) const override;
};

class TVarBytesField : public TBytesField {};

/// Large binary objects; the grid shows "(Blob)" / "(BLOB)".
class TBlobField : public TField {
public:
    bool IsBlob() const override { return true; }

protected:
    Variant ConvertIn(const Variant& v) const override;
    AnsiString GetText(bool display) const override;
    /// The type name shown in parentheses.
    virtual const char* ClassDesc() const { return "Blob"; }
};

class TGraphicField : public TBlobField {
protected:
    const char* ClassDesc() const override { return "Graphic"; }
};

/// Long 8-bit text.
class TMemoField : public TBlobField {
protected:
    Variant ConvertIn(const Variant& v) const override;
    Variant TextToValue(const AnsiString& text) const override { return Variant(text); }
    const char* ClassDesc() const override { return "Memo"; }
};

/// Long UTF-16 text.
class TWideMemoField : public TBlobField {
protected:
    Variant ConvertIn(const Variant& v) const override;
    Variant TextToValue(const AnsiString& text) const override;
    const char* ClassDesc() const override { return "WideMemo"; }
};

/// The framework's field class for a type; nullptr for ftUnknown.
TFieldClass DefaultFieldClass(TFieldType type);

} // namespace db
