#pragma once
// The two adapters between a TQXDBGrid and its dataset: a data link that
// hears what the dataset did, and a table model whose shape is the dataset's
// (one row per record, one column per visible field). The model holds no
// values: its counts are cached only so that Qt sees each change of shape as
// one reset, and every cell is read from the dataset when it is painted.
#include "data/db/DataSet.h"
#include "data/db/DataSource.h"

#include <QAbstractTableModel>

class TQXDBGrid;

/// Points field reads at one record for its lifetime, and back on every path:
/// how the grid reads a row other than the current one without moving to it.
class ActiveRecordScope {
public:
    ActiveRecordScope(db::TDataSet& ds, int record)
        : FDataSet(ds), FSaved(ds.SetActiveRecordIndex(record)) {}
    ~ActiveRecordScope() { FDataSet.SetActiveRecordIndex(FSaved); }
    ActiveRecordScope(const ActiveRecordScope&) = delete;
    ActiveRecordScope& operator=(const ActiveRecordScope&) = delete;

private:
    db::TDataSet& FDataSet;
    int FSaved;
};

class TQXGridLink : public db::TDataLink {
public:
    explicit TQXGridLink(TQXDBGrid& grid) : FGrid(grid) {}

protected:
    void ActiveChanged() override;
    void DataSetChanged() override;
    void DataSetScrolled(int distance) override;
    void LayoutChanged() override;
    void RecordChanged(db::TField* field) override;
    void EditingChanged() override;

private:
    TQXDBGrid& FGrid;
};

class TQXGridModel : public QAbstractTableModel {
public:
    explicit TQXGridModel(TQXDBGrid& grid);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    /// Column titles: each field's display label, as the title row shows it.
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    /// Posts the record being edited; false when the post was refused.
    bool submit() override;
    /// Cancels the record being edited.
    void revert() override;

    /// Takes the dataset's current shape; true when the model was reset (the shape
    /// changed, or `force`).
    bool Refresh(bool force = false);

private:
    TQXDBGrid& FGrid;
    int FRows = 0;
    int FCols = 0;
};
