#pragma once
// Every data grid of the window is made here, so that each gets the same
// control and the same defaults in one place.
#include "ui/QXGrid.h"

using DataGrid = TQXDBGrid;

/// A grid named `name`, child of `parent`, accepting edits until set read-only.
DataGrid* CreateDataGrid(QWidget* parent, const QString& name);

/// A read-only grid never enters edit mode; the dataset behind it is not affected.
void SetGridReadOnly(DataGrid* grid, bool readOnly);
bool IsGridReadOnly(const DataGrid* grid);
