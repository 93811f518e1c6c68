// The change test of field writes: a write that would leave a field's value as
// it is never reaches the record.
#include "data/TntLXAdoDataSet.h"
#include "data/db/VariantConv.h"

#include <cctype>

namespace tnt {

using namespace db;

namespace {

/// A decimal text reduced to one spelling per value ("-0012.3400" → "-12.34", "-0" → "0");
/// empty when the text is not a plain decimal number.
std::string CanonicalDecimal(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        negative = text[i++] == '-';
    std::string whole, fraction;
    bool point = false;
    for (; i < text.size() && text[i] != ' '; ++i) {
        const char c = text[i];
        if (c == '.' && !point)
            point = true;
        else if (std::isdigit(static_cast<unsigned char>(c)))
            (point ? fraction : whole) += c;
        else
            return {};
    }
    for (; i < text.size(); ++i)
        if (text[i] != ' ')
            return {};
    if (whole.empty() && fraction.empty())
        return {};
    whole.erase(0, whole.find_first_not_of('0'));
    fraction.erase(fraction.find_last_not_of('0') + 1);
    if (whole.empty())
        whole = "0";
    std::string out = whole + (fraction.empty() ? "" : "." + fraction);
    if (negative && out != "0")
        out.insert(out.begin(), '-');
    return out;
}

} // namespace

bool VariantsEqual(const Variant& a, const Variant& b) {
    if (a.isEmpty() || b.isEmpty())
        return a.isEmpty() && b.isEmpty();
    if (a.isNull() || b.isNull())
        return a.isNull() && b.isNull();
    if (a.is<ado::Decimal>() && b.is<ado::Decimal>()) {
        // Exactly: a double would call two long decimals equal and lose the write.
        const std::string x = CanonicalDecimal(a.get<ado::Decimal>().text);
        const std::string y = CanonicalDecimal(b.get<ado::Decimal>().text);
        if (!x.empty() && !y.empty())
            return x == y;
    }
    try {
        if (a.is<int64_t>() && b.is<int64_t>())
            return a.get<int64_t>() == b.get<int64_t>();
        if (a.is<ado::DateTime>() || b.is<ado::DateTime>())
            return VarToDateTime(a) == VarToDateTime(b);
        if (VarIsNumeric(a) || VarIsNumeric(b))
            return VarToDouble(a) == VarToDouble(b);
    } catch (const EConvertError&) {
        return false; // values of different kinds are not equal
    }
    return VarToWide(a) == VarToWide(b);
}

Variant TTntADODataSetLX::BufferToVariant(TFieldType type, const Variant* buffer) {
    if (!buffer)
        throw ETntAssertionFailed("Buffer not assigned.");
    switch (type) {
    case ftBCD:
        if (buffer->is<ado::Decimal>())
            return *buffer;
        return Variant(ado::Decimal{VarToAnsi(*buffer)});
    case ftDate:
    case ftTime:
    case ftDateTime:
        if (buffer->is<double>())
            return Variant(OleToDateTime(buffer->get<double>()));
        return Variant(VarToDateTime(*buffer));
    case ftLargeint:
        return Variant(VarToInt64(*buffer));
    default:
        throw ETntInternalError("Internal Error: Unexpected data type.");
    }
}

bool TTntADODataSetLX::FieldValueChanged(TField* field, const Variant* buffer, bool nativeFormat) {
    (void)nativeFormat; // the framework keeps one form of every value
    if (!field)
        return true;
    // The record's own value, not one a subclass has re-encoded on its way out.
    Variant current;
    const bool hasValue = TADODataSet::GetFieldData(field, &current, true);
    if (!buffer || buffer->isBlank())
        return hasValue;
    if (!hasValue)
        return true;
    try {
        switch (field->DataType()) {
        case ftString:
        case ftFixedChar:
        case ftGuid:
            return VarToAnsi(*buffer) != VarToAnsi(current); // byte by byte
        case ftWideString:
            return VarToWide(*buffer) != VarToWide(current);
        case ftSmallint:
        case ftInteger:
        case ftAutoInc:
        case ftWord:
            return VarToInt64(*buffer) != VarToInt64(current);
        case ftBoolean:
            return VarToBool(*buffer) != VarToBool(current);
        case ftFloat:
        case ftCurrency:
            return VarToDouble(*buffer) != VarToDouble(current);
        case ftBCD:
        case ftDate:
        case ftTime:
        case ftDateTime:
        case ftLargeint:
            return !VariantsEqual(BufferToVariant(field->DataType(), buffer), current);
        default:
            return true;
        }
    } catch (const EConvertError&) {
        // A value the test cannot read is the write's business: let it through.
        return true;
    }
}

} // namespace tnt
