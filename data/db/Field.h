#pragma once
// A field: one column of a dataset's current record, with behaviour. A field
// never holds the value itself; every read asks the dataset (GetFieldData) and
// every write hands it the new value (SetFieldData), so a dataset override sees
// each of them. The subclasses per type (StdFields.h) decide the value's form,
// its conversions and its display text.
#include "data/db/DBTypes.h"

#include <functional>
#include <memory>
#include <vector>

namespace db {

class TDataSet;

class TField {
public:
    TField();
    virtual ~TField();
    TField(const TField&) = delete;
    TField& operator=(const TField&) = delete;

    TDataSet* DataSet() const { return FDataSet; }
    const AnsiString& FieldName() const { return FFieldName; }
    void SetFieldName(const AnsiString& name) { FFieldName = name; }
    /// Position of the column in the cursor, from 1; 0 for calculated and lookup fields.
    int FieldNo() const { return FFieldNo; }
    void SetFieldNo(int no) { FFieldNo = no; }
    /// Position in the dataset's field list, from 0.
    int Index() const { return FIndex; }
    TFieldType DataType() const { return FDataType; }
    void SetDataType(TFieldType type) { FDataType = type; }
    int Size() const { return FSize; }
    void SetSize(int size) { FSize = size; }
    /// Width in characters for grids: the set width, else the type's default.
    int DisplayWidth() const { return FDisplayWidth > 0 ? FDisplayWidth : DefaultWidth(); }
    void SetDisplayWidth(int width) { FDisplayWidth = width; }
    /// The column title: the field name unless a label was set.
    const AnsiString& DisplayLabel() const {
        return FDisplayLabel.empty() ? FFieldName : FDisplayLabel;
    }
    void SetDisplayLabel(const AnsiString& label) { FDisplayLabel = label; }
    bool Required() const { return FRequired; }
    void SetRequired(bool required) { FRequired = required; }
    /// The column's default as SQL text, trimmed; empty when there is none.
    const AnsiString& DefaultExpression() const { return FDefaultExpression; }
    void SetDefaultExpression(const AnsiString& expr) { FDefaultExpression = expr; }
    bool ReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool readOnly) { FReadOnly = readOnly; }
    bool Visible() const { return FVisible; }
    void SetVisible(bool visible) { FVisible = visible; }
    TFieldKind FieldKind() const { return FFieldKind; }
    void SetFieldKind(TFieldKind kind) { FFieldKind = kind; }
    /// True for fields whose value is a large object (memo, blob).
    virtual bool IsBlob() const { return false; }

    /// Called before every write with the new value readable through the field.
    std::function<void(TField&)> OnValidate;
    /// Called after every write.
    std::function<void(TField&)> OnChange;

    // Reads, all through the dataset.
    bool IsNull() const;
    Variant AsVariant() const;
    Variant Value() const { return AsVariant(); }
    AnsiString AsString() const;
    WideString AsWideString() const;
    int AsInteger() const;
    int64_t AsLargeInt() const;
    double AsFloat() const;
    bool AsBoolean() const;
    ado::DateTime AsDateTime() const;
    /// The text a grid shows: formatted by type; empty for null.
    AnsiString DisplayText() const { return GetText(true); }
    /// The display text as wide text; wide fields give their value unchanged.
    virtual WideString WideDisplayText() const;
    /// The value in the dataset's old-value state (as fetched, or the insert default).
    Variant OldValue() const;
    /// The value the field had when it was last read from the cursor.
    Variant CurValue() const;
    Variant NewValue() const;

    // Writes, all through the dataset (which must be in edit or insert state).
    void SetAsVariant(const Variant& v);
    void SetValue(const Variant& v) { SetAsVariant(v); }
    void SetAsString(const AnsiString& s);
    void SetAsWideString(const WideString& s);
    void SetAsInteger(int v) { SetAsLargeInt(v); }
    void SetAsLargeInt(int64_t v);
    void SetAsFloat(double v);
    void SetAsBoolean(bool v);
    void SetAsDateTime(const ado::DateTime& v);
    void Clear();

    /// Asks the dataset for the value; returns whether the field has one.
    bool GetData(Variant* buffer, bool nativeFormat = true) const;
    /// Hands the dataset a new value; nullptr writes null.
    void SetData(const Variant* buffer, bool nativeFormat = true);
    /// Runs OnValidate with `buffer` as the field's value for its duration.
    void Validate(const Variant* buffer);
    /// The value being validated, when OnValidate is running.
    const Variant* ValidatingValue() const { return FValidating; }
    /// Raises unless the field may be written.
    void CheckReadOnly() const;

protected:
    /// Width in characters when none was set.
    virtual int DefaultWidth() const { return 10; }
    /// The value in this field's own form; raises on a value the field cannot hold.
    virtual Variant ConvertIn(const Variant& v) const { return v; }
    /// Parses text typed for this field (empty text writes null for non-text fields).
    virtual Variant TextToValue(const AnsiString& text) const;
    /// The field's text; `display` is the grid's form.
    virtual AnsiString GetText(bool display) const;
    /// A value not null; used by the typed accessors.
    Variant ReadValue() const;
    [[noreturn]] void AccessError(const char* typeName) const;
    [[noreturn]] void RangeError(int64_t value, int64_t min, int64_t max) const;

private:
    friend class TDataSet;
    void Bind(TDataSet* dataSet, int index) {
        FDataSet = dataSet;
        FIndex = index;
    }

    TDataSet* FDataSet = nullptr;
    AnsiString FFieldName;
    AnsiString FDisplayLabel;
    AnsiString FDefaultExpression;
    TFieldType FDataType = ftUnknown;
    TFieldKind FFieldKind = fkData;
    int FFieldNo = 0;
    int FIndex = -1;
    int FSize = 0;
    int FDisplayWidth = 0;
    bool FRequired = false;
    bool FReadOnly = false;
    bool FVisible = true;
    const Variant* FValidating = nullptr;
};

/// Makes a field object of one class; GetFieldClass answers with one of these.
using TFieldClass = std::unique_ptr<TField> (*)();
template <class F> std::unique_ptr<TField> NewField() {
    return std::make_unique<F>();
}

/// The fields of a dataset, in order; names match without regard to case.
class TFields {
public:
    explicit TFields(TDataSet* dataSet) : FDataSet(dataSet) {}
    int Count() const { return static_cast<int>(FItems.size()); }
    TField* operator[](int i) const { return FItems.at(static_cast<size_t>(i)); }
    /// The named field, or nullptr.
    TField* FindField(const AnsiString& name) const;
    /// The named field; raises "Field 'x' not found" (prefixed with the dataset's name).
    TField* FieldByName(const AnsiString& name) const;
    /// The field with that FieldNo; raises when there is none.
    TField* FieldByNumber(int fieldNo) const;
    auto begin() const { return FItems.begin(); }
    auto end() const { return FItems.end(); }

private:
    friend class TDataSet;
    TDataSet* FDataSet;
    std::vector<TField*> FItems;
};

} // namespace db
