// The OLE DB connection-string parser on arbitrary text (the input's bytes are
// taken as UTF-16LE code units, so any character can appear). Properties:
// - a parsed string rebuilt and parsed again gives the same pairs;
// - rebuilding is stable: the rebuilt text rebuilds to itself;
// - any value, quoted as the builder quotes it, parses back to itself, also
//   among other settings;
// - a text the parser refuses is refused with ConnectionStringError only;
// - the driver login made from a connection string, read back by the driver's
//   own rules (a braced value runs literally to the first "};", a plain one to
//   the next ";"), gives the server, port, database, login and password exactly;
//   a value no driver string carries goes apart from the string instead.
#include "data/ado/ConnectionString.h"
#include "data/ado/Recordset.h"
#include "fuzz/FuzzCheck.h"

#include <map>

using ado::ConnectionString;
using ado::ConnectionStringError;
using platform::WideString;

namespace {

WideString wideFrom(const uint8_t* data, size_t size) {
    WideString text(size / 2, u'\0');
    for (size_t i = 0; i < text.size(); ++i)
        text[i] = static_cast<char16_t>(data[2 * i] | data[2 * i + 1] << 8);
    return text;
}

void checkRoundTrip(const WideString& text) {
    ConnectionString parsed;
    try {
        parsed = ConnectionString::parse(text);
    } catch (const ConnectionStringError&) {
        return;
    }
    const WideString rebuilt = parsed.toString();
    ConnectionString reparsed;
    try {
        reparsed = ConnectionString::parse(rebuilt);
    } catch (const ConnectionStringError&) {
        FUZZ_CHECK(false, "a rebuilt connection string parses");
    }
    FUZZ_CHECK(reparsed.pairs() == parsed.pairs(), "rebuilt and parsed again: the same pairs");
    FUZZ_CHECK(reparsed.toString() == rebuilt, "rebuilding is stable");
    for (const auto& [key, value] : parsed.pairs())
        FUZZ_CHECK(reparsed.value(key) == value, "every key reads its value back");
}

void checkQuotedValue(const WideString& value) {
    const WideString text =
        u"Provider=SQLOLEDB.1;Password=" + ConnectionString::quoteValue(value) + u";User ID=sa";
    const ConnectionString parsed = ConnectionString::parse(text);
    FUZZ_CHECK(parsed.value(u"Password") == value, "a quoted value parses back to itself");
    FUZZ_CHECK(parsed.value(u"User ID") == u"sa", "a quoted value ends where it should");
    FUZZ_CHECK(parsed.pairs().size() == 3, "a quoted value makes no settings of its own");
}

/// The driver's reading of its connection string: KEY (upper case) to value.
std::map<WideString, WideString> driverReading(const WideString& text) {
    std::map<WideString, WideString> values;
    size_t p = 0;
    while (p < text.size()) {
        while (p < text.size() && text[p] == u';')
            ++p;
        const size_t equals = text.find(u'=', p);
        if (equals == WideString::npos)
            break;
        while (p < equals && text[p] == u' ')
            ++p;
        WideString key = text.substr(p, equals - p);
        for (char16_t& c : key)
            if (c >= u'a' && c <= u'z')
                c = static_cast<char16_t>(c - u'a' + u'A');
        p = equals + 1;
        size_t end;
        if (p < text.size() && text[p] == u'{') {
            ++p;
            end = text.find(u"};", p);
        } else {
            end = text.find(u';', p);
        }
        if (end == WideString::npos)
            end = text.size();
        values[key] = text.substr(p, end - p);
        p = end;
        if (p < text.size() && text[p] == u'}')
            ++p;
    }
    return values;
}

void checkDriverLogin(const WideString& text) {
    ado::OdbcLogin login;
    try {
        login = ado::OdbcLoginFor(text);
    } catch (const ConnectionStringError&) {
        return;
    } catch (const ado::AdoError&) {
        return; // another provider, or a server or port holding "};"
    }
    if (login.connectionString.empty()) {
        FUZZ_CHECK(login.user.find(u"};") != WideString::npos ||
                       login.password.find(u"};") != WideString::npos ||
                       login.database.find(u"};") != WideString::npos,
                   "only a value holding \"};\" goes apart from the string");
        return;
    }
    const auto read = driverReading(login.connectionString);
    auto at = [&](const char16_t* key) {
        const auto it = read.find(key);
        return it == read.end() ? WideString(u"\x1(missing)") : it->second;
    };
    FUZZ_CHECK(at(u"SERVER") == login.server, "the driver reads the server back");
    FUZZ_CHECK(at(u"PORT") == login.port, "the driver reads the port back");
    FUZZ_CHECK(at(u"UID") == login.user, "the driver reads the login back");
    FUZZ_CHECK(at(u"PWD") == login.password, "the driver reads the password back");
    if (!login.database.empty())
        FUZZ_CHECK(at(u"DATABASE") == login.database, "the driver reads the database back");
    FUZZ_CHECK(at(u"CLIENTCHARSET") == u"UTF-8", "nothing runs into the character set");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const WideString text = wideFrom(data, size);
    checkRoundTrip(text);
    checkQuotedValue(text);
    checkDriverLogin(text);
    // The same bytes read one per character reach the paths of plain ASCII text.
    WideString narrow;
    for (size_t i = 0; i < size; ++i)
        narrow += static_cast<char16_t>(data[i]);
    checkRoundTrip(narrow);
    checkQuotedValue(narrow);
    checkDriverLogin(narrow);
    return 0;
}
