// Connecting and disconnecting: ConnectDB opens one of the window's connections
// on the server in the connection boxes; Connect applies the time-out, opens the
// shared connection, lists the databases and optionally opens the TTRS
// connection; Disconnect closes what is open and resets the controls, and may
// run any number of times.
#include "app/AnsiText.h"
#include "app/DBSettings.h"
#include "app/HandlerSupport.h"
#include "app/Unit1.h"
#include "data/ado/SqlName.h"
#include "platform/Dialogs.h"
#include "ui/ServerWait.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStackedWidget>

namespace {

platform::AnsiString TrimmedText(const QLineEdit* box) {
    return dbsettings::TrimText(QStringToAnsi(box->text()));
}

} // namespace

bool TVelkin::ConnectDB(ado::TADOConnection& connection, const platform::AnsiString& database) {
    SQLServerIP = TrimmedText(edtSQLIP[0]);
    for (int part = 1; part < 4; ++part) {
        SQLServerIP += '.';
        SQLServerIP += TrimmedText(edtSQLIP[part]);
    }
    SQLServerPort = TrimmedText(edtSQLPortNo);
    SQLLogin = QStringToAnsi(edtSQLLogin->text());
    SQLPassword = QStringToAnsi(edtSQLPassword->text());
    const platform::WideString connectionString = SQLServerConnectionString(
        SQLServerIP + "," + SQLServerPort, database, SQLLogin, SQLPassword);

    QString failure;
    {
        HourglassScope hourglass;
        ServerWait wait(AnsiToQString("Connecting to " + SQLServerIP + "," + SQLServerPort));
        try {
            connection.Close();
            connection.setConnectionString(connectionString);
            connection.Open();
            return true;
        } catch (const std::exception& e) {
            failure = ErrorText(e);
        }
    }
    platform::dialogs().messageBox(platform::BoxKind::Error, ApplicationTitle,
                                   "Microsoft SQL Server connection failed.\r\n" + failure);
    ShowDataTabs(false);
    return false;
}

void TVelkin::ListDatabases() {
    if (tmpADODataSet.Active())
        tmpADODataSet.Close();
    tmpADODataSet.SetCommandText(u"Use " + ado::QuotedName(platform::AnsiToWide(CurDatabase)) +
                                 u" SELECT name FROM master.dbo.sysdatabases ORDER BY name ASC");
    tmpADODataSet.SetCommandType(db::cmdText);
    CloseOnExit closeAfterwards(tmpADODataSet);
    ServerWait wait("Listing the databases");
    tmpADODataSet.Open();
    DatabaseList->clear();
    for (tmpADODataSet.First(); !tmpADODataSet.Eof(); tmpADODataSet.Next())
        DatabaseList->addItem(AnsiToQString(tmpADODataSet.FieldByName("Name")->AsString()));
    DatabaseList->setCurrentRow(-1);
    DatabaseList->clearSelection();
}

void TVelkin::btnConnectClick() {
    Guarded([&] {
        CurDatabase = "Master";
        ApplyTimeout(dataObjects_, [this] { return QStringToAnsi(edtTimeout->text()); });

        const bool ok = ConnectDB(pubADOConnection, CurDatabase);
        if (ok) {
            btnConnect->setEnabled(false);
            btnDisconnect->setEnabled(true);
            lbStatus->setText("Connected");
            ListDatabases();
        }
        if (ok && chkbox_TTRS->isChecked()) {
            if (TrimmedText(edt_TTRSDB).empty())
                edt_TTRSDB->setText(dbsettings::DefaultTTRSDBName);
            ServerWait wait(AnsiToQString("Connecting to " + TrimmedText(edt_TTRSDB)));
            if (ConnectDB(adocntn_TTRS, TrimmedText(edt_TTRSDB)))
                lbStatus->setText("Connected");
            else if (!wait.Cancelled()) // a cancel was reported once already
                platform::dialogs().messageBox(platform::BoxKind::Plain, ApplicationTitle,
                                               "Unable to connect PELMAR_TTRS database");
        }
        if (lbStatus->text() == "Connected") {
            ShowDataTabs(true);
            SetCaption(QString(ApplicationTitle) + " - " + AnsiToQString(SQLServerIP) + " : " +
                       AnsiToQString(SQLServerPort));
            DbNoteBook->setCurrentWidget(DbNoteBook->findChild<QWidget*>("DataPage"));
        }
    });
}

void TVelkin::btnDisconnectClick() {
    Guarded([&] {
        if (tmpADODataSet.Active())
            tmpADODataSet.Close();
        if (pubADOConnection.Connected())
            pubADOConnection.Close();
        if (adocntn_TTRS.Connected())
            adocntn_TTRS.Close();
        btnConnect->setEnabled(true);
        btnDisconnect->setEnabled(false);
        lbStatus->setText("Disconnected");
        DatabaseList->clear();
        TableList->clear();
        CurDatabase.clear();
        CurTable.clear();
        Label9->setText("Master");
        lbRecordNum1->setText("na");
        ShowDataTabs(false);
        SetCaption(ApplicationTitle);
    });
}
