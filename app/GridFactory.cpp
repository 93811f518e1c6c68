#include "app/GridFactory.h"

namespace {

constexpr QAbstractItemView::EditTriggers EditingTriggers = QAbstractItemView::DoubleClicked |
                                                            QAbstractItemView::EditKeyPressed |
                                                            QAbstractItemView::AnyKeyPressed;

} // namespace

DataGrid* CreateDataGrid(QWidget* parent, const QString& name) {
    auto* grid = new DataGrid(parent);
    grid->setObjectName(name);
    grid->setEditTriggers(EditingTriggers);
    return grid;
}

void SetGridReadOnly(DataGrid* grid, bool readOnly) {
    grid->setEditTriggers(readOnly ? QAbstractItemView::NoEditTriggers : EditingTriggers);
}

bool IsGridReadOnly(const DataGrid* grid) {
    return grid->editTriggers() == QAbstractItemView::NoEditTriggers;
}
