#pragma once
// The text rules of the TTRS filters, apart from the controls that hold them:
// which master table a message type names, when a filter text counts as blank,
// and how a filter text becomes a clause of the TTRS query's where clause.
//
// A filter text is 8-bit text in the process ANSI code page. It is walked by
// characters, not bytes: both bytes of a double-byte character are kept as
// they are, so a Big5 character whose second byte is "[" or "_" (北, 久, 加) is
// never split by an escape. Whatever the text holds, the literal it becomes
// ends only at its own closing quote.
#include "platform/Locale.h"
#include "platform/Strings.h"

#include <array>

namespace ttrs {

using platform::AnsiString;
using platform::CodePage;

/// The master table of each message type, by the message type's position among
/// the items of the message type combo box; entry 0 (the empty item) names none.
extern const std::array<const char*, 17> MasterTables;

/// How a filter text is compared with its column.
enum class FilterForm {
    Equality, ///< column = 'text': only single quotes are doubled
    Like,     ///< column LIKE 'pattern': "*" is the wildcard, %, _ and [ are literal
};

/// True when the text holds nothing but characters of codes 0 to 32.
bool IsBlankFilterText(const AnsiString& text);

/// The text that stands between the quotes of a clause: characters of codes 0
/// to 32 before the first other character dropped, the rest kept (trailing
/// blanks too). Equality doubles single quotes and changes nothing else; LIKE
/// also writes "%" as "[%]", "_" as "[_]", "[" as "[[]" and "*" as "%", and a
/// lead byte standing alone before a "%" as "?" (it would pair with the "[" of
/// "[%]" and free the wildcard).
/// `ansiCodePage` says which bytes lead a double-byte character.
AnsiString EscapeFilterValue(const AnsiString& text, FilterForm form,
                             CodePage ansiCodePage = platform::GetACP());

/// One clause: column LIKE '...' when the text holds "*", else column = '...'.
AnsiString FilterClause(const AnsiString& column, const AnsiString& text,
                        CodePage ansiCodePage = platform::GetACP());

} // namespace ttrs
