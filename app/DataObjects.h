#pragma once
// What the window needs around its data objects: the dataset classes it holds
// (named once here, so a richer class replaces a plain one in one place), the
// process start-up of the data access layer, the time-out walk over the
// window's components and the connection string of a SQL Server login.
#include "data/QXADODataSet.h"
#include "data/TntLXAdoDataSet.h"
#include "data/db/ADOComponents.h"
#include "data/db/ADODataSet.h"
#include "data/db/DataSource.h"
#include "platform/Strings.h"

#include <functional>

/// The class of the browse table (command kind "table").
using TBrowseTable = tnt::TTntADOTableLX;
/// The class of the TTRS dataset: converts text where the platform needs it.
using TTTRSDataSet = TQXADODataSet;

/// The data access layer's process start-up: the ODBC environment. Registered
/// with Cmn_Modules::SetDataAccessStartup before the window exists.
void StartDataAccess();

/// Gives every ADO component of `owner`, in its order, the time-out read from
/// timeoutText() and converted anew for each: connections their connection
/// time-out, datasets and commands their command time-out. Text that is not a
/// whole number raises the conversion error at the first ADO component.
void ApplyTimeout(const db::TComponent& owner,
                  const std::function<platform::AnsiString()>& timeoutText);

/// The OLE DB connection string of a SQL Server login. Values are written as
/// they stand unless the connection string rules need them quoted (";", "=",
/// quotes, blanks at either end), so ordinary values give the plain template.
platform::WideString SQLServerConnectionString(const platform::AnsiString& dataSource,
                                               const platform::AnsiString& database,
                                               const platform::AnsiString& login,
                                               const platform::AnsiString& password);
