#pragma once
// OLE DB connection strings: "key=value;key=value". Keys compare without regard
// to case and are trimmed; a value is trimmed unless quoted; a value in single or
// double quotes may hold ';' and '=' and doubles its own quote inside. Building
// quotes a value only where these rules need it, so ordinary values come out as
// written ("Provider=SQLOLEDB.1;Data Source=10.0.0.5,1500").
#include "platform/Strings.h"

#include <stdexcept>
#include <utility>
#include <vector>

namespace ado {

using platform::WideString;

class ConnectionStringError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class ConnectionString {
public:
    ConnectionString() = default;
    /// Parses text; throws ConnectionStringError for an unterminated quote or text
    /// after a closing quote.
    static ConnectionString parse(const WideString& text);

    /// The value of key (case-insensitive), or empty. The last of repeated keys wins.
    WideString value(const WideString& key) const;
    bool contains(const WideString& key) const;
    /// Sets or adds key (keeping the position of an existing one).
    void set(const WideString& key, const WideString& value);
    /// The pairs in order, keys as written.
    const std::vector<std::pair<WideString, WideString>>& pairs() const { return pairs_; }
    /// "key=value;..." with values quoted only where needed.
    WideString toString() const;

    /// A value as it must be written: unchanged, or quoted (double quotes, or single
    /// ones when the value holds a double quote and no single one; else doubled).
    static WideString quoteValue(const WideString& value);

private:
    std::vector<std::pair<WideString, WideString>> pairs_;
};

/// The ODBC connection string for a FreeTDS login that an OLE DB connection string
/// for "SQLOLEDB" / "SQLOLEDB.1" describes ("Data Source=host,port"; no port, or
/// an empty one, means 1433). Throws AdoError("Provider cannot be found. It may
/// not be properly installed.") for another provider, and AdoError for a value
/// holding "};", which the driver cannot read back.
WideString OdbcConnectionStringFor(const WideString& oleDbConnectionString);

/// How the driver logs in for an OLE DB connection string. Usually by the driver
/// connection string above; when the login, the password or the database holds
/// "};", which no driver connection string carries exactly, the string is empty
/// and the values are given apart from it (SQLConnect to a data source naming
/// the server and port, the database as the connection's catalogue).
struct OdbcLogin {
    WideString connectionString;
    WideString server, port, database, user, password;
};
OdbcLogin OdbcLoginFor(const WideString& oleDbConnectionString);

} // namespace ado
