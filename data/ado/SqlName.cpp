#include "data/ado/SqlName.h"

namespace ado {

bool IsBracketedName(const WideString& name) {
    if (name.size() < 2 || name.front() != u'[' || name.back() != u']')
        return false;
    for (size_t i = 1; i + 1 < name.size(); ++i) {
        if (name[i] != u']')
            continue;
        // Inside, "]" only ever comes doubled; a lone one would close the name early.
        if (i + 2 >= name.size() || name[i + 1] != u']')
            return false;
        ++i;
    }
    return true;
}

WideString QuotedName(const WideString& name) {
    if (IsBracketedName(name))
        return name;
    WideString out = u"[";
    for (char16_t c : name) {
        out += c;
        if (c == u']')
            out += c;
    }
    return out + u"]";
}

WideString UnquotedName(const WideString& name) {
    if (!IsBracketedName(name))
        return name;
    WideString out;
    for (size_t i = 1; i + 1 < name.size(); ++i) {
        out += name[i];
        if (name[i] == u']')
            ++i;
    }
    return out;
}

} // namespace ado
