#include "data/db/IndexDefs.h"

#include "data/db/FieldDefs.h"

namespace db {

TIndexDef& TIndexDefs::Add(const AnsiString& name, const AnsiString& fields,
                           TIndexOptions options) {
    FItems.push_back(TIndexDef{name, fields, options});
    return FItems.back();
}

int TIndexDefs::IndexOf(const AnsiString& name) const {
    for (size_t i = 0; i < FItems.size(); ++i)
        if (SameName(FItems[i].Name, name))
            return static_cast<int>(i);
    return -1;
}

TIndexDef* TIndexDefs::Find(const AnsiString& name) {
    int i = IndexOf(name);
    return i < 0 ? nullptr : &FItems[static_cast<size_t>(i)];
}

TIndexDef* TIndexDefs::FindIndexForFields(const AnsiString& fields) {
    const std::vector<AnsiString> wanted = SplitFieldNames(fields);
    for (TIndexDef& def : FItems) {
        const std::vector<AnsiString> have = SplitFieldNames(def.Fields);
        if (have.size() != wanted.size())
            continue;
        bool same = true;
        for (size_t i = 0; i < have.size() && same; ++i)
            same = SameName(have[i], wanted[i]);
        if (same)
            return &def;
    }
    return nullptr;
}

void TIndexDefs::Update() {
    if (FUpdate)
        FUpdate();
    FUpdated = true;
}

} // namespace db
