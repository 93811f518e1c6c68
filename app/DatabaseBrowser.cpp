// The list clicks of the "Database Table" tab: a database click lists its tables
// (and makes it the shared connection's current database), a table click opens
// the table in the browse grid on a freshly opened shared connection.
#include "app/HandlerSupport.h"
#include "app/Unit1.h"
#include "data/ado/SqlName.h"
#include "platform/CodePageConv.h"
#include "ui/ServerWait.h"

#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

namespace {

constexpr const char* UserTablesAndViews =
    "SELECT name FROM dbo.sysobjects WHERE (OBJECTPROPERTY(id, N'IsUserTable') = 1) or "
    "(OBJECTPROPERTY(id, N'IsView') = 1) ORDER BY name ASC";
constexpr const char* AllTables =
    "SELECT name FROM dbo.sysobjects WHERE OBJECTPROPERTY(id, N'IsTable') = 1 ORDER BY name ASC";

// The design-tool table that every database may hold; never offered for browsing.
bool IsHiddenTable(platform::AnsiString name) {
    for (char& c : name)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return name == "DTPROPERTIES";
}

} // namespace

void TVelkin::BindBrowserAndConsole() {
    connect(DatabaseList, &QListWidget::itemClicked, this, [this] { DatabaseListClick(); });
    connect(TableList, &QListWidget::itemClicked, this, [this] { TableListClick(); });
    connect(browDBGrid, &DataGrid::CellClick, this, &TVelkin::browDBGridCellClick);
    connect(btnUpdate, &QPushButton::clicked, this, &TVelkin::btnUpdateClick);
    connect(btnCancel, &QPushButton::clicked, this, &TVelkin::btnCancelClick);
    connect(btnExit, &QPushButton::clicked, this, &TVelkin::btnExitClick);
    connect(btnClearTable, &QPushButton::clicked, this, &TVelkin::btnClearTableClick);
    for (QPushButton* button : {btnSearch, btnExecute})
        connect(button, &QPushButton::clicked, this,
                [this, button] { Guarded([&] { RunSQL(button); }); });
}

void TVelkin::SetRefFieldWidths(db::TDataSet& dataSet) {
    for (const char* name : {"UTR", "UDR", "UCR", "UPR", "UMR"})
        if (db::TField* field = dataSet.FindField(name))
            field->SetDisplayWidth(18);
}

void TVelkin::DatabaseListClick() {
    Guarded([&] {
        if (DatabaseList->count() == 0 || !DatabaseList->currentItem())
            return;
        CurDatabase = QStringToAnsi(DatabaseList->currentItem()->text());
        Label9->setText(DatabaseList->currentItem()->text());

        if (tmpADODataSet.Active())
            tmpADODataSet.Close();
        CloseOnExit closeAfterwards(tmpADODataSet);
        const char* query = chkBoxSysTbl->isChecked() ? AllTables : UserTablesAndViews;
        // A database name from the catalogue may need brackets ("Order Entry", "Group").
        tmpADODataSet.SetCommandText(u"Use " + ado::QuotedName(platform::AnsiToWide(CurDatabase)) +
                                     u" " + platform::AnsiToWide(query));
        tmpADODataSet.SetCommandType(db::cmdText);
        ServerWait wait("Listing the tables of " + DatabaseList->currentItem()->text());
        tmpADODataSet.Open();
        tmpADODataSet.First();
        TableList->clear();
        for (; !tmpADODataSet.Eof(); tmpADODataSet.Next()) {
            const platform::AnsiString name = tmpADODataSet.FieldByName("Name")->AsString();
            if (!IsHiddenTable(name))
                TableList->addItem(AnsiToQString(name));
        }
        TableList->setCurrentRow(-1);
        TableList->clearSelection();
    });
}

void TVelkin::TableListClick() {
    Guarded([&] {
        if (TableList->count() == 0 || !TableList->currentItem())
            return;
        CurTable = QStringToAnsi(TableList->currentItem()->text());
        if (pubADOConnection.Connected()) {
            if (browTntADOTableLX.Active())
                browTntADOTableLX.Close();
            ServerWait wait("Opening " + TableList->currentItem()->text());
            if (ConnectDB(pubADOConnection, CurDatabase)) {
                browTntADOTableLX.SetCommandText(ado::QuotedName(platform::AnsiToWide(CurTable)));
                browTntADOTableLX.Open();
                SetRefFieldWidths(browTntADOTableLX);
                try {
                    // Defaults and NOT NULL columns for rows added in the grid; a
                    // table whose catalogue cannot be read stays open without them.
                    browTntADOTableLX.LoadColumnMetadata();
                } catch (const std::exception& error) {
                    platform::ShowStandardError(ApplicationTitle, ErrorText(error));
                }
            } else if (wait.Cancelled()) {
                return; // reported once by the connection's error box
            }
        }
        // A browse table left closed by a failed reopening raises the closed-dataset error.
        lbRecordNum1->setText(QString::number(browTntADOTableLX.RecordCount()));
    });
}
