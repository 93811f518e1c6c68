#include "data/ado/ConnectionString.h"

#include "data/ado/Recordset.h"

#include <algorithm>

namespace ado {
namespace {

bool isBlank(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}

WideString trimmed(const WideString& s) {
    size_t b = 0, e = s.size();
    while (b < e && isBlank(s[b]))
        ++b;
    while (e > b && isBlank(s[e - 1]))
        --e;
    return s.substr(b, e - b);
}

char16_t upper(char16_t c) {
    return (c >= u'a' && c <= u'z') ? char16_t(c - 32) : c;
}

bool sameKey(const WideString& a, const WideString& b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(),
                      [](char16_t x, char16_t y) { return upper(x) == upper(y); });
}

} // namespace

ConnectionString ConnectionString::parse(const WideString& text) {
    ConnectionString result;
    size_t i = 0;
    const size_t n = text.size();
    while (i < n) {
        // Key: up to '='; a doubled '=' stands for one inside the key.
        WideString key;
        while (i < n && text[i] != u';') {
            if (text[i] == u'=') {
                if (i + 1 < n && text[i + 1] == u'=') {
                    key += u'=';
                    i += 2;
                    continue;
                }
                break;
            }
            key += text[i++];
        }
        if (i >= n || text[i] == u';') {
            // A segment without '=' carries nothing; blank ones separate nothing.
            if (!trimmed(key).empty())
                throw ConnectionStringError("Malformed connection string: a setting "
                                            "without \"=\".");
            ++i;
            continue;
        }
        ++i; // '='
        while (i < n && isBlank(text[i]))
            ++i;
        WideString value;
        if (i < n && (text[i] == u'"' || text[i] == u'\'')) {
            const char16_t quote = text[i++];
            bool closed = false;
            while (i < n) {
                if (text[i] == quote) {
                    if (i + 1 < n && text[i + 1] == quote) {
                        value += quote;
                        i += 2;
                        continue;
                    }
                    ++i;
                    closed = true;
                    break;
                }
                value += text[i++];
            }
            while (i < n && isBlank(text[i]))
                ++i;
            if (!closed || (i < n && text[i] != u';'))
                throw ConnectionStringError("Malformed connection string: a quoted value "
                                            "is not closed or is followed by more text.");
        } else {
            while (i < n && text[i] != u';')
                value += text[i++];
            value = trimmed(value);
        }
        ++i; // ';' or end
        result.set(trimmed(key), value);
    }
    return result;
}

WideString ConnectionString::value(const WideString& key) const {
    for (auto it = pairs_.rbegin(); it != pairs_.rend(); ++it)
        if (sameKey(it->first, key))
            return it->second;
    return {};
}

bool ConnectionString::contains(const WideString& key) const {
    return std::any_of(pairs_.begin(), pairs_.end(),
                       [&](const auto& p) { return sameKey(p.first, key); });
}

void ConnectionString::set(const WideString& key, const WideString& value) {
    for (auto& p : pairs_)
        if (sameKey(p.first, key)) {
            p.second = value;
            return;
        }
    pairs_.emplace_back(key, value);
}

WideString ConnectionString::quoteValue(const WideString& value) {
    const bool hasDouble = value.find(u'"') != WideString::npos;
    const bool hasSingle = value.find(u'\'') != WideString::npos;
    const bool needs = hasDouble || hasSingle || value.find(u';') != WideString::npos ||
                       value.find(u'=') != WideString::npos ||
                       (!value.empty() && (isBlank(value.front()) || isBlank(value.back())));
    if (!needs)
        return value;
    const char16_t quote = (hasDouble && !hasSingle) ? u'\'' : u'"';
    WideString out(1, quote);
    for (char16_t c : value) {
        out += c;
        if (c == quote)
            out += c;
    }
    out += quote;
    return out;
}

WideString ConnectionString::toString() const {
    WideString out;
    for (const auto& [key, value] : pairs_) {
        if (!out.empty())
            out += u';';
        for (char16_t c : key) {
            out += c;
            if (c == u'=')
                out += c;
        }
        out += u'=';
        out += quoteValue(value);
    }
    return out;
}

namespace {

// An ODBC attribute value as this driver reads it back exactly. Unbraced, a value
// runs to the next ";"; braced, it is taken literally up to the first "}" that a
// ";" follows ("}}" is not read as one "}"). So a value goes in braces only when
// it holds ";", starts with "{" or has a blank at an end, its "}" stay single,
// and a braced value is always followed by another attribute. A value holding
// "};" has no exact form: it goes apart from the string, or is refused rather
// than sent cut.
WideString odbcValue(const char* key, const WideString& v) {
    const bool needs = v.find(u';') != WideString::npos || (!v.empty() && v.front() == u'{') ||
                       (!v.empty() && (isBlank(v.front()) || isBlank(v.back())));
    if (!needs)
        return v;
    if (v.find(u"};") != WideString::npos)
        throw AdoError(std::string("The ") + key +
                       " holds \"};\", which the ODBC driver cannot read back.");
    return u"{" + v + u"}";
}

WideString firstOf(const ConnectionString& cs, std::initializer_list<const char16_t*> keys) {
    for (const char16_t* k : keys)
        if (cs.contains(k))
            return cs.value(k);
    return {};
}

} // namespace

OdbcLogin OdbcLoginFor(const WideString& oleDbConnectionString) {
    const ConnectionString cs = ConnectionString::parse(oleDbConnectionString);
    const WideString provider = cs.value(u"Provider");
    if (!sameKey(provider, u"SQLOLEDB") && !sameKey(provider, u"SQLOLEDB.1"))
        throw AdoError("Provider cannot be found. It may not be properly installed.");

    OdbcLogin login;
    const WideString source = firstOf(cs, {u"Data Source", u"Server", u"Address", u"Addr"});
    login.server = source;
    if (const size_t comma = source.find(u','); comma != WideString::npos) {
        login.server = trimmed(source.substr(0, comma));
        login.port = trimmed(source.substr(comma + 1));
    }
    if (login.port.empty())
        login.port = u"1433";
    if (login.server.empty() || sameKey(login.server, u"(local)") || login.server == u".")
        login.server = u"127.0.0.1";
    login.database = firstOf(cs, {u"Initial Catalog", u"Database"});
    login.user = firstOf(cs, {u"User ID", u"UID", u"User"});
    login.password = firstOf(cs, {u"Password", u"PWD"});

    for (const WideString* apart : {&login.user, &login.password, &login.database})
        if (apart->find(u"};") != WideString::npos)
            return login;
    login.connectionString = u"DRIVER={FreeTDS};SERVER=" + odbcValue("server", login.server) +
                             u";PORT=" + odbcValue("port", login.port);
    if (!login.database.empty())
        login.connectionString += u";DATABASE=" + odbcValue("database name", login.database);
    login.connectionString += u";UID=" + odbcValue("login", login.user);
    login.connectionString += u";PWD=" + odbcValue("password", login.password);
    // Never last: a braced value at the very end would keep its closing brace.
    login.connectionString += u";TDS_Version=7.4;ClientCharset=UTF-8";
    return login;
}

WideString OdbcConnectionStringFor(const WideString& oleDbConnectionString) {
    const OdbcLogin login = OdbcLoginFor(oleDbConnectionString);
    if (login.connectionString.empty()) {
        const char* what = login.user.find(u"};") != WideString::npos       ? "login"
                           : login.password.find(u"};") != WideString::npos ? "password"
                                                                            : "database name";
        throw AdoError(std::string("The ") + what +
                       " holds \"};\", which a driver connection string cannot carry.");
    }
    return login.connectionString;
}

} // namespace ado
