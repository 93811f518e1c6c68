#pragma once
// The vocabulary shared by datasets, fields, data sources and their overrides:
// field types, dataset states, data events, locate options and the key-value
// list of Locate and Lookup. Plain enums and values, no behaviour.
#include "data/ado/Variant.h"

#include <cstdint>
#include <initializer_list>
#include <vector>

namespace db {

using ado::Variant;
using platform::AnsiString;
using platform::WideString;

/// The data type of a field definition and of the field made from it.
enum class TFieldType {
    ftUnknown,
    ftString,
    ftFixedChar,
    ftWideString,
    ftSmallint,
    ftInteger,
    ftWord,
    ftAutoInc,
    ftLargeint,
    ftBoolean,
    ftFloat,
    ftCurrency,
    ftBCD,
    ftFMTBcd,
    ftDate,
    ftTime,
    ftDateTime,
    ftBytes,
    ftVarBytes,
    ftBlob,
    ftMemo,
    ftWideMemo,
    ftGraphic,
    ftGuid,
};
using enum TFieldType;

/// What a dataset is doing; the value states are temporary, for GetStateFieldValue.
enum class TDataSetState {
    dsInactive,
    dsBrowse,
    dsEdit,
    dsInsert,
    dsCalcFields,
    dsCurValue,
    dsOldValue,
    dsNewValue,
    dsOpening,
};
using enum TDataSetState;

/// What a dataset tells its data sources, and they their links.
enum class TDataEvent {
    deFieldChange,
    deRecordChange,
    deDataSetChange,
    deDataSetScroll,
    deLayoutChange,
    deUpdateRecord,
    deUpdateState,
    deCheckBrowseMode,
    dePropertyChange,
    deFieldListChange,
    deFocusControl,
    deParentScroll,
    deConnectChange,
    deReconcileError,
    deDisabledStateChange,
};
using enum TDataEvent;

/// Where a field's value comes from.
enum class TFieldKind { fkData, fkCalculated, fkLookup };
using enum TFieldKind;

/// Options of Locate; a set of flags.
enum TLocateOption : unsigned { loCaseInsensitive = 1u, loPartialKey = 2u };
using TLocateOptions = unsigned;

/// How Resync places the current record: exact keeps it where the cursor is.
enum TResyncMode : unsigned { rmExact = 1u, rmCenter = 2u };
using TResyncModes = unsigned;

/// What an OnPostError handler asks for.
enum class TDataAction { daFail, daAbort, daRetry };
using enum TDataAction;

/// A position that survives scrolling; empty when there is none. Its content is
/// the cursor's business (a row number for in-memory cursors).
using TBookmark = Variant;

/// Key values of Locate and Lookup, and the result of Lookup: one value for one
/// field, an array (in the order of the "A;B" field list) for several.
class KeyValues {
public:
    KeyValues() = default;
    KeyValues(Variant single) : values_{std::move(single)} {}
    KeyValues(const char* single) : values_{Variant(single)} {}
    KeyValues(const char16_t* single) : values_{Variant(single)} {}
    KeyValues(int single) : values_{Variant(single)} {}
    /// An array of values, even when it has only one element.
    static KeyValues Array(std::vector<Variant> items) {
        KeyValues k;
        k.values_ = std::move(items);
        k.isArray_ = true;
        return k;
    }

    bool isArray() const { return isArray_; }
    std::size_t size() const { return values_.size(); }
    const Variant& operator[](std::size_t i) const { return values_.at(i); }
    Variant& operator[](std::size_t i) { return values_.at(i); }
    /// The one value of a non-array (null for an empty list).
    const Variant& single() const;
    const std::vector<Variant>& items() const { return values_; }
    bool operator==(const KeyValues&) const = default;

private:
    std::vector<Variant> values_;
    bool isArray_ = false;
};

} // namespace db
