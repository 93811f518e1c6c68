#pragma once
// Character columns travel in the code page of their database's collation while
// SQLite keeps all text as UTF-8. These conversions sit at the boundary.
// Converters are cached per thread (ICU converters are not thread-safe).
// Characters the code page lacks become its substitution character.
#include <cstdint>
#include <string>
#include <string_view>

namespace standin::engine {

/// Appends `utf8` converted to code-page bytes to `out` (cleared first); ASCII
/// text is copied without conversion. Reuses `out`'s storage.
void utf8ToCodePage(uint16_t codePage, std::string_view utf8, std::string& out);
/// Code-page bytes to UTF-8.
std::string codePageToUtf8(uint16_t codePage, std::string_view bytes);

} // namespace standin::engine
