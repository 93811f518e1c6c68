#pragma once
// Datasets and grids for the grid's tests: the in-memory dataset of the data
// layer's tests, whose rows may also be made from their index on demand (a
// million rows cost nothing), counting every row read; and a grid that records
// the texts its cell-text operations were handed.
#include "data/db/tests/MemoryDataSet.h"
#include "ui/QXGrid.h"

#include <functional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace gridtest {

using db::Variant;
using dbtest::Column;

class GridDataSet : public dbtest::MemoryDataSet {
public:
    GridDataSet(std::vector<Column> columns, std::vector<std::vector<Variant>> rows)
        : MemoryDataSet(std::move(columns), std::move(rows)) {}
    /// `count` rows whose values `make(row, column)` gives; they cannot be posted.
    GridDataSet(std::vector<Column> columns, int count,
                std::function<Variant(int row, int column)> make)
        : MemoryDataSet(std::move(columns)), FGenerated(count), FMake(std::move(make)) {}
    ~GridDataSet() override { CloseForDestroy(); }

    int Posts = 0;
    /// Every cursor read since the last ResetReads, and the rows they went to.
    int Reads = 0;
    std::set<int> RowsRead;
    void ResetReads() {
        Reads = 0;
        RowsRead.clear();
    }

protected:
    int InternalRecordCount() const override {
        return FMake ? FGenerated : MemoryDataSet::InternalRecordCount();
    }
    bool GetRecordValue(int row, db::TField& field, Variant& out) override {
        ++Reads;
        RowsRead.insert(row);
        if (!FMake)
            return MemoryDataSet::GetRecordValue(row, field, out);
        out = FMake(row, field.FieldNo() - 1);
        return !out.isBlank();
    }
    int InternalPost() override {
        ++Posts;
        // A post made to fail fails with its own text, generated rows or not.
        if (FMake && FailNextPost.empty())
            throw std::runtime_error("generated rows cannot be written");
        return MemoryDataSet::InternalPost();
    }
    void InternalDelete() override {
        if (!FailNextDelete.empty()) {
            const std::string text = FailNextDelete;
            FailNextDelete.clear();
            throw std::runtime_error(text);
        }
        MemoryDataSet::InternalDelete();
    }

public:
    /// The next delete throws this text (once) when not empty.
    std::string FailNextDelete;

private:
    int FGenerated = 0;
    std::function<Variant(int, int)> FMake;
};

/// A grid that keeps what each cell-text operation was asked to write.
class RecordingGrid : public TQXDBGrid {
public:
    using TQXDBGrid::TQXDBGrid;
    struct Text {
        QRect rect;
        bool wide;
        platform::AnsiString bytes;
        platform::WideString chars;
    };
    std::vector<Text> Texts;

protected:
    void DrawAnsiCellText(const QRect& rect, const platform::AnsiString& text) override {
        Texts.push_back({rect, false, text, {}});
        TQXDBGrid::DrawAnsiCellText(rect, text);
    }
    void DrawWideCellText(const QRect& rect, const platform::WideString& text) override {
        Texts.push_back({rect, true, {}, text});
        TQXDBGrid::DrawWideCellText(rect, text);
    }
};

} // namespace gridtest
