#pragma once
// The baseline the data-access benchmarks measure themselves against: draining
// a SELECT with a bare ODBC loop, every column bound, 512 rows a fetch, each
// value touched once and nothing kept.
#include <cstddef>
#include <string>

namespace bench {

/// Runs `query` over a new connection and drains it; returns the seconds from
/// execute to the last row and sets `rows`.
double bareDrain(const std::u16string& odbcConnectionString, const char16_t* query, size_t& rows);

} // namespace bench
