#pragma once
// A dataset over rows kept in a vector: the smallest cursor that exercises the
// framework. Columns are given as field definitions; a post can be made to
// fail, to see what a refused write leaves behind.
#include "data/db/DataSet.h"

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

namespace dbtest {

using db::Variant;

struct Column {
    std::string name;
    db::TFieldType type;
    int size = 0;
    bool required = false;
};

class MemoryDataSet : public db::TDataSet {
public:
    explicit MemoryDataSet(std::vector<Column> columns, std::vector<std::vector<Variant>> rows = {})
        : FColumns(std::move(columns)), FRows(std::move(rows)) {}
    ~MemoryDataSet() override { CloseForDestroy(); }

    std::vector<std::vector<Variant>>& Rows() { return FRows; }
    /// The next post throws this text (once) when not empty.
    std::string FailNextPost;
    /// Every internal operation, in order ("open", "close", "post", ...).
    std::vector<std::string> Calls;

protected:
    void InternalInitFieldDefs() override {
        FieldDefs().Clear();
        for (const Column& c : FColumns)
            FieldDefs().Add(c.name, c.type, c.size, c.required);
    }
    void InternalOpen() override {
        Calls.push_back("open");
        TDataSet::InternalOpen();
    }
    void InternalClose() override { Calls.push_back("close"); }
    void DestroyLookupCursor() override { Calls.push_back("destroyLookup"); }
    int InternalRecordCount() const override { return static_cast<int>(FRows.size()); }
    bool GetRecordValue(int row, db::TField& field, Variant& out) override {
        out = FRows.at(static_cast<size_t>(row)).at(static_cast<size_t>(field.FieldNo() - 1));
        return !out.isBlank();
    }
    int InternalPost() override {
        Calls.push_back("post");
        if (!FailNextPost.empty()) {
            std::string text = FailNextPost;
            FailNextPost.clear();
            throw std::runtime_error(text);
        }
        std::vector<Variant> row(FColumns.size(), Variant::null());
        for (db::TField* f : Fields())
            if (f->FieldKind() == db::fkData)
                row.at(static_cast<size_t>(f->FieldNo() - 1)) =
                    EditBuffer().at(static_cast<size_t>(f->Index()));
        if (State() == db::dsInsert) {
            const int at = std::min(CurrentIndex(), static_cast<int>(FRows.size()));
            FRows.insert(FRows.begin() + at, row);
            return at;
        }
        FRows.at(static_cast<size_t>(CurrentIndex())) = row;
        return CurrentIndex();
    }
    void InternalDelete() override {
        Calls.push_back("delete");
        FRows.erase(FRows.begin() + CurrentIndex());
    }

private:
    std::vector<Column> FColumns;
    std::vector<std::vector<Variant>> FRows;
};

/// Three people: ID, Name, Born, Notes (memo).
inline std::vector<Column> PeopleColumns() {
    return {{"ID", db::ftInteger, 0, true},
            {"Name", db::ftString, 30},
            {"City", db::ftWideString, 20},
            {"Notes", db::ftMemo}};
}

inline std::vector<std::vector<Variant>> PeopleRows() {
    return {{Variant(1), Variant("Ada"), Variant(u"London"), Variant::null()},
            {Variant(2), Variant("bob"), Variant(u"Paris"), Variant("likes tea")},
            {Variant(3), Variant("Cyd"), Variant::null(), Variant::null()}};
}

} // namespace dbtest
