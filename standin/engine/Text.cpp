#include "standin/engine/Text.h"

namespace standin::engine {

bool iequals(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (asciiUpper(a[i]) != asciiUpper(b[i]))
            return false;
    return true;
}

std::string upperAscii(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        c = asciiUpper(c);
    return out;
}

std::string lowerAscii(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        c = asciiLower(c);
    return out;
}

static std::string quoteWith(std::string_view s, char q) {
    std::string out(1, q);
    for (char c : s) {
        out += c;
        if (c == q)
            out += q;
    }
    out += q;
    return out;
}

std::string quoteLiteral(std::string_view s) {
    return quoteWith(s, '\'');
}
std::string sqliteTextLiteral(std::string_view s) {
    if (s.find('\0') == std::string_view::npos)
        return quoteLiteral(s);
    std::string out = "(";
    for (size_t start = 0;;) {
        const size_t nul = s.find('\0', start);
        out += quoteLiteral(s.substr(start, nul == s.npos ? s.npos : nul - start));
        if (nul == s.npos)
            return out + ")";
        out += " || char(0) || ";
        start = nul + 1;
    }
}
std::string quoteIdent(std::string_view s) {
    return quoteWith(s, '"');
}

} // namespace standin::engine
