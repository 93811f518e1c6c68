#include "ui/QXGridModel.h"

#include "data/db/DataSet.h"
#include "ui/QXGrid.h"

#include <QHeaderView>

// ---------------------------------------------------------------- TQXGridLink

void TQXGridLink::ActiveChanged() {
    FGrid.LinkActiveChanged();
}

void TQXGridLink::DataSetChanged() {
    FGrid.LinkDataChanged();
}

void TQXGridLink::DataSetScrolled(int distance) {
    (void)distance;
    FGrid.LinkScrolled();
}

void TQXGridLink::LayoutChanged() {
    FGrid.LinkActiveChanged();
}

void TQXGridLink::RecordChanged(db::TField* field) {
    (void)field;
    FGrid.viewport()->update();
}

void TQXGridLink::EditingChanged() {
    FGrid.verticalHeader()->viewport()->update();
}

// ---------------------------------------------------------------- TQXGridModel

TQXGridModel::TQXGridModel(TQXDBGrid& grid) : QAbstractTableModel(&grid), FGrid(grid) {
    Refresh();
}

int TQXGridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : FRows;
}

int TQXGridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : FCols;
}

bool TQXGridModel::Refresh(bool force) {
    // A closed dataset still shows one empty data cell under one empty title.
    int rows = 1;
    int cols = 1;
    if (db::TDataSet* ds = FGrid.LinkedDataSet()) {
        rows = ds->ViewRecordCount();
        cols = FGrid.ColumnCount();
    }
    if (!force && rows == FRows && cols == FCols)
        return false;
    beginResetModel();
    FRows = rows;
    FCols = cols;
    endResetModel();
    return true;
}

QVariant TQXGridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole))
        return {};
    db::TDataSet* ds = FGrid.LinkedDataSet();
    db::TField* field = FGrid.ColumnField(index.column());
    if (!ds || !field || index.row() >= ds->ViewRecordCount())
        return {};
    try {
        ActiveRecordScope onRow(*ds, index.row());
        return QString::fromStdU16String(QXGrid::CellText(field));
    } catch (...) {
        return {};
    }
}

bool TQXGridModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || role != Qt::EditRole)
        return false;
    return FGrid.WriteCell(index.row(), index.column(), value.toString());
}

Qt::ItemFlags TQXGridModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (FGrid.Editable(index.column()))
        f |= Qt::ItemIsEditable;
    return f;
}

QVariant TQXGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal ||
        (role != Qt::DisplayRole && role != Qt::AccessibleTextRole))
        return QAbstractTableModel::headerData(section, orientation, role);
    const db::TField* field = FGrid.ColumnField(section);
    if (!field)
        return QString();
    return QString::fromStdU16String(QXGrid::AnsiCellText(field->DisplayLabel()));
}

bool TQXGridModel::submit() {
    return FGrid.PostEdit();
}

void TQXGridModel::revert() {
    FGrid.CancelEdit();
}
