#pragma once
// odbc::Error: a failed ODBC call, carrying every diagnostic record the driver
// left (SQLSTATE, native error, text as the driver wrote it, e.g.
// "[FreeTDS][SQL Server]Login failed for user 'sa'."). The message joins the
// records' texts with line breaks; what() holds it in the process ANSI code page,
// wideMessage() as UTF-16.
#include "platform/Strings.h"

#include <sql.h>
#include <sqlext.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace odbc {

using platform::WideString;

struct DiagRecord {
    std::string sqlState; ///< five characters
    int32_t nativeError = 0;
    WideString text;
};

class Error : public std::runtime_error {
public:
    explicit Error(std::vector<DiagRecord> records);
    /// An error found by this layer itself (no driver record).
    Error(const std::string& sqlState, const WideString& text);

    const WideString& wideMessage() const { return wide_; }
    /// The first record's SQLSTATE, native error.
    const std::string& sqlState() const { return records_.front().sqlState; }
    int32_t nativeError() const { return records_.front().nativeError; }
    const std::vector<DiagRecord>& records() const { return records_; }

private:
    std::vector<DiagRecord> records_;
    WideString wide_;
};

/// The diagnostic records of a handle.
std::vector<DiagRecord> diagnostics(SQLSMALLINT handleType, SQLHANDLE handle);
/// Throws Error with the handle's records unless rc is SQL_SUCCESS,
/// SQL_SUCCESS_WITH_INFO or SQL_NO_DATA. Returns rc.
SQLRETURN check(SQLRETURN rc, SQLSMALLINT handleType, SQLHANDLE handle, const char* call);

} // namespace odbc
