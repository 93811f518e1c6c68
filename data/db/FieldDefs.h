#pragma once
// The description of a dataset's columns as its cursor reports them, before
// any field object exists: name, type, size, required, position. A dataset
// makes its default fields from these, one field per definition, in order.
#include "data/db/DBTypes.h"

#include <vector>

namespace db {

/// One column: name, type, size (characters for text, digits for BCD), required.
struct TFieldDef {
    AnsiString Name;
    TFieldType DataType = ftUnknown;
    int Size = 0;
    int Precision = 0;
    bool Required = false;
    bool ReadOnly = false;
    /// Position of the column, counted from 1.
    int FieldNo = 0;
};

/// The ordered list of a dataset's field definitions; names match without regard to case.
class TFieldDefs {
public:
    /// Appends a definition; its FieldNo becomes its position.
    TFieldDef& Add(const AnsiString& name, TFieldType type, int size = 0, bool required = false);
    void Clear() { FItems.clear(); }
    int Count() const { return static_cast<int>(FItems.size()); }
    TFieldDef& operator[](int i) { return FItems.at(static_cast<size_t>(i)); }
    const TFieldDef& operator[](int i) const { return FItems.at(static_cast<size_t>(i)); }
    /// Position of the named definition, or -1.
    int IndexOf(const AnsiString& name) const;
    /// The named definition, or nullptr.
    const TFieldDef* Find(const AnsiString& name) const;
    /// Whether the definitions describe the current cursor.
    bool Updated() const { return FUpdated; }
    void SetUpdated(bool updated) { FUpdated = updated; }

    auto begin() { return FItems.begin(); }
    auto end() { return FItems.end(); }
    auto begin() const { return FItems.begin(); }
    auto end() const { return FItems.end(); }

private:
    std::vector<TFieldDef> FItems;
    bool FUpdated = false;
};

/// True when the two names are equal without regard to ASCII letter case.
bool SameName(const AnsiString& a, const AnsiString& b);
/// Splits "A;B" into its names, blanks around each trimmed; empty parts dropped.
std::vector<AnsiString> SplitFieldNames(const AnsiString& names);

} // namespace db
