#pragma once
// UTF-16 <-> UTF-8 for the front end (log lines, command-line options) and the
// engine (statement text, names and messages); unpaired surrogates become U+FFFD.
#include <string>
#include <string_view>

namespace standin::tds {

/// UTF-8 form of UTF-16 text.
std::string toUtf8(std::u16string_view s);
/// UTF-16 form of UTF-8 text; malformed bytes become U+FFFD.
std::u16string fromUtf8(std::string_view s);

} // namespace standin::tds
