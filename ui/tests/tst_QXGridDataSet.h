#pragma once
// Datasets and grids for the grid's tests: an in-memory dataset whose rows are
// either stored or made from their index on demand (a million rows cost
// nothing), counting every row read; and a grid that records the texts its
// cell-text operations were handed.
#include "data/db/DataSet.h"
#include "ui/QXGrid.h"

#include <functional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace gridtest {

using db::Variant;

struct Column {
    std::string name;
    db::TFieldType type;
    int size = 0;
};

class GridDataSet : public db::TDataSet {
public:
    GridDataSet(std::vector<Column> columns, std::vector<std::vector<Variant>> rows)
        : FColumns(std::move(columns)), FRows(std::move(rows)) {}
    /// `count` rows whose values `make(row, column)` gives; they cannot be posted.
    GridDataSet(std::vector<Column> columns, int count,
                std::function<Variant(int row, int column)> make)
        : FColumns(std::move(columns)), FGenerated(count), FMake(std::move(make)) {}
    ~GridDataSet() override { CloseForDestroy(); }

    std::vector<std::vector<Variant>>& Rows() { return FRows; }
    /// The next post throws this text (once) when not empty.
    std::string FailNextPost;
    int Posts = 0;
    /// Every cursor read since the last ResetReads, and the rows they went to.
    int Reads = 0;
    std::set<int> RowsRead;
    void ResetReads() {
        Reads = 0;
        RowsRead.clear();
    }

protected:
    void InternalInitFieldDefs() override {
        FieldDefs().Clear();
        for (const Column& c : FColumns)
            FieldDefs().Add(c.name, c.type, c.size, false);
    }
    void InternalClose() override {}
    int InternalRecordCount() const override {
        return FMake ? FGenerated : static_cast<int>(FRows.size());
    }
    bool GetRecordValue(int row, db::TField& field, Variant& out) override {
        ++Reads;
        RowsRead.insert(row);
        const int column = field.FieldNo() - 1;
        out = FMake ? FMake(row, column)
                    : FRows.at(static_cast<size_t>(row)).at(static_cast<size_t>(column));
        return !out.isBlank();
    }
    int InternalPost() override {
        ++Posts;
        if (!FailNextPost.empty()) {
            const std::string text = FailNextPost;
            FailNextPost.clear();
            throw std::runtime_error(text);
        }
        if (FMake)
            throw std::runtime_error("generated rows cannot be written");
        std::vector<Variant> row(FColumns.size(), Variant::null());
        for (db::TField* f : Fields())
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
    void InternalDelete() override { FRows.erase(FRows.begin() + CurrentIndex()); }

private:
    std::vector<Column> FColumns;
    std::vector<std::vector<Variant>> FRows;
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
