#pragma once
// Names of databases, tables and columns as they become SQL text. A name read
// from the catalogue may hold blanks, reserved words, quotes or "]", so it goes
// into a statement only as a bracketed identifier; the catalogue functions of the
// driver take the bare name and quote it themselves.
#include "platform/Strings.h"

namespace ado {

using platform::WideString;

/// Whether `name` is one bracketed identifier: "[" ... "]" with every "]" inside doubled.
bool IsBracketedName(const WideString& name);
/// `name` as one bracketed identifier, "]" doubled; a name already bracketed is returned as it is.
WideString QuotedName(const WideString& name);
/// The bare name of a bracketed identifier ("]]" read as "]"); any other text as it is.
WideString UnquotedName(const WideString& name);

} // namespace ado
