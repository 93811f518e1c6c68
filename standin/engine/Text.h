#pragma once
// Small text helpers of the engine: UTF-8 <-> UTF-16 and ASCII case-insensitive
// comparison, the way SQL Server's _CI_ collations compare names and keywords.
// The engine works in UTF-8 internally (SQLite's native text); the front end's
// UTF-16 is converted once at the boundary, with the front end's own conversions.
#include "standin/tds/Utf.h"

#include <string>
#include <string_view>

namespace standin::engine {

using tds::fromUtf8;
using tds::toUtf8;

inline char asciiUpper(char c) {
    return (c >= 'a' && c <= 'z') ? char(c - 32) : c;
}
inline char asciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? char(c + 32) : c;
}

/// Equal when they differ only in the case of ASCII letters.
bool iequals(std::string_view a, std::string_view b);
std::string upperAscii(std::string_view s);
std::string lowerAscii(std::string_view s);
/// The text as a single-quoted SQL literal, quotes doubled.
std::string quoteLiteral(std::string_view s);
/// The text as a SQLite text expression: a quoted literal, with each NUL character
/// joined on as char(0), because SQLite ends a statement's text at a NUL byte.
std::string sqliteTextLiteral(std::string_view s);
/// The text as a double-quoted SQLite identifier, quotes doubled.
std::string quoteIdent(std::string_view s);

} // namespace standin::engine
