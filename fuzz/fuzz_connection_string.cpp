// The OLE DB connection-string parser on arbitrary text (the input's bytes are
// taken as UTF-16LE code units, so any character can appear). Properties:
// - a parsed string rebuilt and parsed again gives the same pairs;
// - rebuilding is stable: the rebuilt text rebuilds to itself;
// - any value, quoted as the builder quotes it, parses back to itself, also
//   among other settings;
// - a text the parser refuses is refused with ConnectionStringError only.
#include "data/ado/ConnectionString.h"
#include "fuzz/FuzzCheck.h"

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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const WideString text = wideFrom(data, size);
    checkRoundTrip(text);
    checkQuotedValue(text);
    // The same bytes read one per character reach the paths of plain ASCII text.
    WideString narrow;
    for (size_t i = 0; i < size; ++i)
        narrow += static_cast<char16_t>(data[i]);
    checkRoundTrip(narrow);
    checkQuotedValue(narrow);
    return 0;
}
