#include "data/db/FieldDefs.h"

#include <cctype>

namespace db {

TFieldDef& TFieldDefs::Add(const AnsiString& name, TFieldType type, int size, bool required) {
    TFieldDef def;
    def.Name = name;
    def.DataType = type;
    def.Size = size;
    def.Required = required;
    def.FieldNo = Count() + 1;
    FItems.push_back(def);
    return FItems.back();
}

int TFieldDefs::IndexOf(const AnsiString& name) const {
    for (size_t i = 0; i < FItems.size(); ++i)
        if (SameName(FItems[i].Name, name))
            return static_cast<int>(i);
    return -1;
}

const TFieldDef* TFieldDefs::Find(const AnsiString& name) const {
    int i = IndexOf(name);
    return i < 0 ? nullptr : &FItems[static_cast<size_t>(i)];
}

bool SameName(const AnsiString& a, const AnsiString& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(a[i])) !=
            std::toupper(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

std::vector<AnsiString> SplitFieldNames(const AnsiString& names) {
    std::vector<AnsiString> out;
    size_t pos = 0;
    while (pos <= names.size()) {
        size_t semi = names.find(';', pos);
        if (semi == AnsiString::npos)
            semi = names.size();
        AnsiString part = names.substr(pos, semi - pos);
        size_t b = part.find_first_not_of(" \t");
        size_t e = part.find_last_not_of(" \t");
        if (b != AnsiString::npos)
            out.push_back(part.substr(b, e - b + 1));
        pos = semi + 1;
    }
    return out;
}

} // namespace db
