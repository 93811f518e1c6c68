#pragma once
// Conversions between field values and text used by criteria, sorting and the
// writing of rows: a value's text form, numbers and dates read from text.
#include "data/ado/Variant.h"

#include <optional>

namespace ado {

/// The value as text: numbers in their shortest form, dates "yyyy-mm-dd hh:mm:ss[.fff]",
/// bool "True"/"False", null and empty as empty text.
WideString textOf(const Variant& v);
/// A number held by the value (bool, integers, double, decimal, or numeric text).
std::optional<double> numberOf(const Variant& v);
/// "yyyy-mm-dd[ hh:mm[:ss[.fff]]]", "yyyy/mm/dd ...", or "m/d/yyyy ..."; time optional.
std::optional<DateTime> parseDate(const WideString& text);
/// Case-insensitive order of two texts (negative, zero, positive).
int compareTextNoCase(const WideString& a, const WideString& b);
/// The value converted to upper case text, for case-insensitive matching.
WideString upperText(const WideString& text);

} // namespace ado
