#include "data/odbc/Error.h"

#include "data/odbc/Wide.h"
#include "platform/CodePageConv.h"

namespace odbc {
namespace {

WideString joined(const std::vector<DiagRecord>& records) {
    WideString text;
    for (const auto& r : records) {
        if (!text.empty())
            text += u'\n';
        text += r.text;
    }
    return text;
}

} // namespace

Error::Error(std::vector<DiagRecord> records)
    : std::runtime_error(platform::WideToAnsi(joined(records))), records_(std::move(records)),
      wide_(joined(records_)) {
    if (records_.empty())
        records_.push_back({"HY000", 0, u""});
}

Error::Error(const std::string& sqlState, const WideString& text)
    : Error(std::vector<DiagRecord>{{sqlState, 0, text}}) {}

std::vector<DiagRecord> diagnostics(SQLSMALLINT handleType, SQLHANDLE handle) {
    std::vector<DiagRecord> records;
    for (SQLSMALLINT i = 1;; ++i) {
        SQLWCHAR state[6] = {};
        SQLINTEGER native = 0;
        SQLSMALLINT length = 0;
        std::vector<SQLWCHAR> message(1024);
        SQLRETURN rc = SQLGetDiagRecW(handleType, handle, i, state, &native, message.data(),
                                      static_cast<SQLSMALLINT>(message.size()), &length);
        if (rc == SQL_SUCCESS_WITH_INFO && length >= static_cast<SQLSMALLINT>(message.size())) {
            message.resize(static_cast<size_t>(length) + 1);
            rc = SQLGetDiagRecW(handleType, handle, i, state, &native, message.data(),
                                static_cast<SQLSMALLINT>(message.size()), &length);
        }
        if (!SQL_SUCCEEDED(rc))
            break;
        DiagRecord r;
        for (int k = 0; k < 5 && state[k]; ++k)
            r.sqlState += static_cast<char>(state[k]);
        r.nativeError = native;
        r.text = fromSqlw(message.data(),
                          std::min<size_t>(static_cast<size_t>(length), message.size() - 1));
        records.push_back(std::move(r));
    }
    return records;
}

SQLRETURN check(SQLRETURN rc, SQLSMALLINT handleType, SQLHANDLE handle, const char* call) {
    if (rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO || rc == SQL_NO_DATA)
        return rc;
    auto records = diagnostics(handleType, handle);
    if (records.empty()) {
        const std::string text = std::string(call) + " failed";
        records.push_back({"HY000", 0, WideString(text.begin(), text.end())});
    }
    throw Error(std::move(records));
}

} // namespace odbc
