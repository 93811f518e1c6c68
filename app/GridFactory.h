#pragma once
// Every data grid of the window is made here, so that the grid control of the
// presentation layer replaces the placeholder in this one place. Until the
// datasets exist a grid is a plain table view without a model.
#include <QTableView>

using DataGrid = QTableView;

/// A grid named `name`, child of `parent`, accepting edits until set read-only.
DataGrid* CreateDataGrid(QWidget* parent, const QString& name);

/// A read-only grid never enters edit mode; the dataset behind it is not affected.
void SetGridReadOnly(DataGrid* grid, bool readOnly);
bool IsGridReadOnly(const DataGrid* grid);
