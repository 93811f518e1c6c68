#pragma once
// Index definitions of a dataset: name, key fields ("A;B") and options. They
// are refreshed through the dataset's virtual UpdateIndexDefs whenever the
// framework needs them (Update), so a dataset that knows its table's keys
// answers from there.
#include "data/db/DBTypes.h"

#include <functional>
#include <vector>

namespace db {

enum TIndexOption : unsigned {
    ixPrimary = 1u,
    ixUnique = 2u,
    ixDescending = 4u,
    ixCaseInsensitive = 8u,
    ixExpression = 16u,
    ixNonMaintained = 32u,
};
using TIndexOptions = unsigned;

/// One index: its name, its fields joined by ';', its options.
struct TIndexDef {
    AnsiString Name;
    AnsiString Fields;
    TIndexOptions Options = 0;
};

/// The dataset's index definitions; names match without regard to case.
class TIndexDefs {
public:
    /// `update` refreshes the list (the dataset's UpdateIndexDefs); may be empty.
    explicit TIndexDefs(std::function<void()> update = {}) : FUpdate(std::move(update)) {}

    TIndexDef& Add(const AnsiString& name, const AnsiString& fields, TIndexOptions options);
    void Clear() { FItems.clear(); }
    int Count() const { return static_cast<int>(FItems.size()); }
    TIndexDef& operator[](int i) { return FItems.at(static_cast<size_t>(i)); }
    const TIndexDef& operator[](int i) const { return FItems.at(static_cast<size_t>(i)); }
    /// Position of the named index, or -1.
    int IndexOf(const AnsiString& name) const;
    /// The named index, or nullptr.
    TIndexDef* Find(const AnsiString& name);
    /// The first index whose fields are exactly `fields` (ignoring case), or nullptr.
    TIndexDef* FindIndexForFields(const AnsiString& fields);
    /// Refreshes the definitions through the dataset.
    void Update();
    bool Updated() const { return FUpdated; }
    void SetUpdated(bool updated) { FUpdated = updated; }

    auto begin() { return FItems.begin(); }
    auto end() { return FItems.end(); }

private:
    std::vector<TIndexDef> FItems;
    std::function<void()> FUpdate;
    bool FUpdated = false;
};

} // namespace db
