#include "app/GridFactory.h"

DataGrid* CreateDataGrid(QWidget* parent, const QString& name) {
    auto* grid = new DataGrid(parent);
    grid->setObjectName(name);
    return grid;
}

void SetGridReadOnly(DataGrid* grid, bool readOnly) {
    grid->SetReadOnly(readOnly);
}

bool IsGridReadOnly(const DataGrid* grid) {
    return grid->ReadOnly();
}
