#pragma once
// Whole numbers typed by the operator: an optional sign, then decimal digits or
// "$" and hexadecimal digits, nothing else (no blanks). Decimal values must fit
// a 32-bit integer; hexadecimal ones may use all 32 bits and wrap to negative.
#include "platform/Strings.h"

/// The value of `text`; raises db::EConvertError "'<text>' is not a valid
/// integer value" for anything else.
int StrToInt(const platform::AnsiString& text);
