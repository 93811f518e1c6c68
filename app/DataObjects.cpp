#include "app/DataObjects.h"

#include "app/IntegerText.h"
#include "app/Unit1.h"
#include "data/ado/ConnectionString.h"
#include "data/odbc/Environment.h"
#include "platform/CodePageConv.h"

void StartDataAccess() {
    odbc::Environment::instance();
}

void ApplyTimeout(const db::TComponent& owner,
                  const std::function<platform::AnsiString()>& timeoutText) {
    for (db::TComponent* component : owner.Components()) {
        if (auto* connection = dynamic_cast<ado::TADOConnection*>(component))
            connection->setConnectionTimeout(StrToInt(timeoutText()));
        else if (auto* dataSet = dynamic_cast<db::TCustomADODataSet*>(component))
            dataSet->SetCommandTimeout(StrToInt(timeoutText()));
        else if (auto* command = dynamic_cast<ado::TADOCommand*>(component))
            command->CommandTimeout = StrToInt(timeoutText());
    }
}

platform::WideString SQLServerConnectionString(const platform::AnsiString& dataSource,
                                               const platform::AnsiString& database,
                                               const platform::AnsiString& login,
                                               const platform::AnsiString& password) {
    ado::ConnectionString text;
    text.set(u"Provider", u"SQLOLEDB.1");
    text.set(u"Persist Security Info", u"True");
    text.set(u"Data Source", platform::AnsiToWide(dataSource));
    text.set(u"Initial Catalog", platform::AnsiToWide(database));
    text.set(u"User ID", platform::AnsiToWide(login));
    text.set(u"Password", platform::AnsiToWide(password));
    return text.toString();
}

void TVelkin::SetUpDataObjects() {
    struct Named {
        db::TComponent& component;
        const char* name;
    };
    const Named names[] = {
        {pubADOConnection, "pubADOConnection"},
        {adocntn_TTRS, "adocntn_TTRS"},
        {tmpADODataSet, "tmpADODataSet"},
        {ResultADODataSet, "ResultADODataSet"},
        {ResultDataSource, "ResultDataSource"},
        {ADOCommand1, "ADOCommand1"},
        {browTntADOTableLX, "browTntADOTableLX"},
        {browDataSource, "browDataSource"},
        {adods_TTRS, "adods_TTRS"},
        {dsrc_TTRS, "dsrc_TTRS"},
    };
    for (const Named& entry : names)
        entry.component.SetName(entry.name);

    pubADOConnection.LoginPrompt = false;
    adocntn_TTRS.LoginPrompt = false;

    tmpADODataSet.SetConnection(&pubADOConnection);
    tmpADODataSet.SetCursorType(db::ctStatic);
    tmpADODataSet.SetLockType(db::ltReadOnly);
    tmpADODataSet.SetParamCheck(false);

    ResultADODataSet.SetConnection(&pubADOConnection);
    ResultADODataSet.SetLockType(db::ltReadOnly);
    ResultDataSource.SetDataSet(&ResultADODataSet);

    ADOCommand1.Connection = &pubADOConnection;

    browTntADOTableLX.SetConnection(&pubADOConnection);
    browTntADOTableLX.SetCommandType(db::cmdTable);
    browDataSource.SetDataSet(&browTntADOTableLX);

    adods_TTRS.SetConnection(&adocntn_TTRS);
    dsrc_TTRS.SetDataSet(&adods_TTRS);

    browDBGrid->SetDataSource(&browDataSource);
    SQLResultDBGrid->SetDataSource(&ResultDataSource);
    for (DataGrid* grid : ttrsGrids_)
        grid->SetDataSource(&dsrc_TTRS);
}

void TVelkin::ReleaseGrids() {
    // The grids are Qt children and outlive the data sources, which are members:
    // unbind them first so that no grid reads a source that is gone.
    browDBGrid->SetDataSource(nullptr);
    SQLResultDBGrid->SetDataSource(nullptr);
    for (DataGrid* grid : ttrsGrids_)
        grid->SetDataSource(nullptr);
}
