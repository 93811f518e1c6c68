#pragma once
// SQLWCHAR (UTF-16 code units under unixODBC) and char16_t text are the same
// bytes; these views pass wide text to the wide API without copying.
#include "platform/Strings.h"

#include <sql.h>
#include <sqlucode.h>

namespace odbc {

static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "the driver manager must use UTF-16");

inline SQLWCHAR* sqlw(const platform::WideString& s) {
    return reinterpret_cast<SQLWCHAR*>(const_cast<char16_t*>(s.c_str()));
}
inline SQLINTEGER sqlwLen(const platform::WideString& s) {
    return static_cast<SQLINTEGER>(s.size());
}
inline platform::WideString fromSqlw(const SQLWCHAR* p, size_t n) {
    return platform::WideString(reinterpret_cast<const char16_t*>(p), n);
}

} // namespace odbc
