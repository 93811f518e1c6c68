#pragma once
// Conversions of a field value (ado::Variant) to the forms the As... accessors
// give, and the comparison Locate uses. Blank values convert to the type's
// zero (empty text, 0, false); text that does not parse raises EConvertError
// with the message the operator sees.
#include "data/db/DBTypes.h"

namespace db {

/// 8-bit text; wide text is narrowed with the process ANSI code page.
AnsiString VarToAnsi(const Variant& v);
/// Wide text; 8-bit text is widened with the process ANSI code page.
WideString VarToWide(const Variant& v);
int64_t VarToInt64(const Variant& v);
double VarToDouble(const Variant& v);
bool VarToBool(const Variant& v);
ado::DateTime VarToDateTime(const Variant& v);

/// "yyyy-mm-dd hh:nn:ss"; the time is left out at midnight, the date when `timeOnly`.
AnsiString DateTimeToText(const ado::DateTime& d, bool dateOnly = false, bool timeOnly = false);
/// Parses "yyyy-mm-dd[ hh:nn[:ss[.zzz]]]" or "hh:nn[:ss]"; false when it does not fit.
bool TextToDateTime(const AnsiString& text, ado::DateTime& out);
/// Days since 30 December 1899 plus the fraction of the day, and back.
double DateTimeToOle(const ado::DateTime& d);
ado::DateTime OleToDateTime(double days);

/// True when the value is a number kind (integer, float, decimal, Boolean).
bool VarIsNumeric(const Variant& v);
/// Equality as Locate compares a key with a field value: numbers as numbers,
/// dates as dates, text as text (optionally ignoring case, or as a prefix).
bool VarMatches(const Variant& fieldValue, const Variant& key, bool caseInsensitive, bool partial);

} // namespace db
