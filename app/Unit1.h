#pragma once
// TVelkin, the one main window of the program, and the global `Velkin` that
// holds it for the whole run.
//
// Four tabs: "SQL Server" (settings, Connect/Disconnect), "Database Table",
// "SQL Command" and "TTRS". Every control carries its name as objectName; the
// TTRS filter controls' names carry the SQL column they filter, so renaming one
// changes the query. Only "SQL Server" is shown until a connect succeeds;
// ShowDataTabs is the one routine that shows or hides the others.
//
// Handlers are public slots named after control and event. Each runs its body
// through Guarded(): an error it does not handle itself is shown in the standard
// error box titled "Velkin(SQL)" and the window carries on.
//
// The window owns its data objects (connections, datasets, command, data
// sources) for the whole run; they join DataObjects() in a fixed order, which is
// the order Connect walks to apply the time-out.
//
// The implementation is split by tab: Unit1.cpp (window, tabs, caption),
// SQLServerTab.cpp, Connect.cpp (connecting and disconnecting), DataObjects.cpp,
// DbTableTab.cpp, DatabaseBrowser.cpp (list clicks), SQLCommandTab.cpp,
// SQLConsole.cpp (RunSQL), FieldEditor.cpp (long-text editor), TTRSTab.cpp,
// TTRSQuery.cpp (the TTRS query) and PendingChanges.cpp (unposted grid changes
// when the window closes).
#include "app/DataObjects.h"
#include "app/GridFactory.h"
#include "platform/Strings.h"

#include <QWidget>
#include <functional>
#include <vector>

class QCheckBox;
class QComboBox;
class QFrame;
class QGridLayout;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QStackedWidget;
class QTabWidget;

class TVelkin : public QWidget {
    Q_OBJECT
public:
    explicit TVelkin(QWidget* parent = nullptr);
    ~TVelkin() override;

    /// The window's title at start-up and after every disconnect.
    static constexpr const char* ApplicationTitle = "Velkin(SQL)";
    /// Characters the operator may type into one address box.
    static constexpr int AddressPartMaxLength = 3;

    /// Runs a handler body; an error escaping it goes to the standard error box.
    void Guarded(const std::function<void()>& body);

    /// Fills the connection boxes from the registry and the settings file; throws
    /// "Unable to open registry." when the key can neither be opened nor created.
    void LoadDBSetting();
    /// The address-box key rule: anything but a digit or backspace becomes null.
    void edtSQLIPKeyPress(QObject* sender, QChar& key);
    /// The digit rule of the TTRS number filters.
    void TTRS_dm_SSeqNoKeyPress(QObject* sender, QChar& key);
    /// The upper-case rule of the TTRS text filters: a to z become A to Z.
    void TTRSGen_UTRKeyPress(QObject* sender, QChar& key);

    /// The TTRS tab's edit and combo boxes in creation order; the TTRS query
    /// visits them from last to first.
    const std::vector<QWidget*>& TTRSFilterControlsInCreationOrder() const {
        return ttrsFilterControls_;
    }

    /// The container of the window's data objects, in the order they are held.
    const db::TComponent& DataObjects() const { return dataObjects_; }

    /// Opens `connection` on `database` of the server in the connection boxes;
    /// a failure is shown in an error box and gives false.
    bool ConnectDB(ado::TADOConnection& connection, const platform::AnsiString& database);

    /// Gives the reference-number columns (UTR, UDR, UCR, UPR, UMR, any case) of
    /// an open dataset a display width of 18.
    static void SetRefFieldWidths(db::TDataSet& dataSet);

public slots:
    void FormCreate();
    void FormShow();
    void FormClose();
    void PageControl1Change();

    void btnRefreshDBSettingClick();
    void edtSQLIPChange(QObject* sender);
    void btnConnectClick();
    void btnDisconnectClick();

    /// Lists the tables of the clicked database in TableList.
    void DatabaseListClick();
    /// Opens the clicked table in the browse grid on a fresh shared connection.
    void TableListClick();
    /// Runs the SQL text: a query into the result grid (sender btnSearch) or a
    /// command with its outcome in the result memo (sender btnExecute).
    void RunSQL(QObject* sender);

    /// Opens "MemoPage" on the clicked cell when its field holds long text.
    void browDBGridCellClick(int column);
    /// Writes the memo's text into the selected field of the current row.
    void btnUpdateClick();
    /// Refills the memo from the selected field, dropping what was typed.
    void btnCancelClick();
    /// Returns to "DataPage" without writing.
    void btnExitClick();
    /// Deletes every row of every user table of the current database.
    void btnClearTableClick();

    void btnRefreshClick();
    void PageControl_TTRS_TableChange();
    void ComboBox1Change();
    void chkbox_ReadOnlyClick();
    void chkbox_TTRSClick();
    /// Opens the TTRS memo page on the clicked cell of `grid` when its field holds long text.
    void TTRSGridCellClick(DataGrid* grid);
    void Button1Click();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private slots:
    void ShowDataTabs(bool visible);

private:
    void BuildSQLServerTab(QWidget* page);
    void BuildDbTableTab(QWidget* page);
    void BuildSQLCommandTab(QWidget* page);
    void BuildTTRSTab(QWidget* page);
    void BuildTTRSFilterPanel(QWidget* panel);
    void BuildTTRSTablePages(QWidget* page);
    QLineEdit* AddTTRSFilter(QGridLayout* grid, int row, int column, const char* name,
                             const char* label);
    void SetCaption(const QString& caption);
    void CentreOnScreen();
    /// Asks whether to post the grids' unposted changes before the window closes
    /// and posts or cancels them; false when a post failed and the window stays.
    bool SettlePendingChanges();
    /// Seams for the data layer: true while the shared / the TTRS connection is open.
    bool isSharedConnected() const { return pubADOConnection.Connected(); }
    bool isTTRSConnected() const { return adocntn_TTRS.Connected(); }
    /// Builds and opens the TTRS query of the shown inner page.
    void OpenTTRSQuery();
    /// Appends the clause of one filter control to `whereClause` (Master Table
    /// page: the combo boxes and the processor EDI do not filter).
    void AddFilterClause(QWidget* control, platform::AnsiString& whereClause, bool masterTablePage);
    /// Names the data objects and sets their fixed properties.
    void SetUpDataObjects();
    void ReleaseGrids();
    /// Binds the list clicks and the SQL buttons to their handlers.
    void BindBrowserAndConsole();
    /// Shows the result memo with `text` in place of the result grid.
    void ShowSQLResultText(const QString& text);
    /// Fills DatabaseList from the server's database list.
    void ListDatabases();

    // Narrow fields written by Connect and the list clicks.
    platform::AnsiString SQLServerIP;
    platform::AnsiString SQLServerPort;
    platform::AnsiString SQLLogin;
    platform::AnsiString SQLPassword;
    platform::AnsiString CurDatabase;
    platform::AnsiString CurTable;

    // The data objects, declared in the order they join dataObjects_; each
    // dataset comes after the connection it uses, so it is destroyed first.
    db::TComponent dataObjects_;
    db::TADOConnectionComponent pubADOConnection{&dataObjects_};
    db::TADOConnectionComponent adocntn_TTRS{&dataObjects_};
    db::TADODataSet tmpADODataSet{&dataObjects_};
    db::TADODataSet ResultADODataSet{&dataObjects_};
    db::TDataSource ResultDataSource{&dataObjects_};
    db::TADOCommandComponent ADOCommand1{&dataObjects_};
    TBrowseTable browTntADOTableLX{&dataObjects_};
    db::TDataSource browDataSource{&dataObjects_};
    TTTRSDataSet adods_TTRS{&dataObjects_};
    db::TDataSource dsrc_TTRS{&dataObjects_};

    bool shownOnce_ = false;
    std::vector<QWidget*> ttrsFilterControls_;

    QTabWidget* PageControl1 = nullptr;

    // "SQL Server"
    QLineEdit* edtRegistry = nullptr;
    QPushButton* btnRefreshDBSetting = nullptr;
    QFrame* Shape1 = nullptr;
    QLineEdit* edtSQLIP[4] = {};
    QLabel* lbSQLIP[3] = {};
    QLineEdit* edtSQLPortNo = nullptr;
    QLineEdit* edtTimeout = nullptr;
    QLineEdit* edtSQLLogin = nullptr;
    QLineEdit* edtSQLPassword = nullptr;
    QGroupBox* GrpBox_TTRS = nullptr;
    QLabel* lbl_TTRSDB = nullptr;
    QLineEdit* edt_TTRSDB = nullptr;
    QCheckBox* chkbox_TTRS = nullptr;
    QLabel* lbStatus = nullptr;
    QPushButton* btnConnect = nullptr;
    QPushButton* btnDisconnect = nullptr;

    // "Database Table"
    QStackedWidget* DbNoteBook = nullptr;
    QListWidget* DatabaseList = nullptr;
    QListWidget* TableList = nullptr;
    QCheckBox* chkBoxSysTbl = nullptr;
    QPushButton* btnClearTable = nullptr;
    DataGrid* browDBGrid = nullptr;
    QLabel* lbRecordNum1 = nullptr;
    QPlainTextEdit* Memo1 = nullptr;
    QPushButton* btnUpdate = nullptr;
    QPushButton* btnCancel = nullptr;
    QPushButton* btnExit = nullptr;

    // "SQL Command"
    QLabel* Label9 = nullptr;
    QPlainTextEdit* SQLCommandMemo = nullptr;
    QPushButton* btnSearch = nullptr;
    QPushButton* btnExecute = nullptr;
    QPlainTextEdit* SQLResultMemo = nullptr;
    DataGrid* SQLResultDBGrid = nullptr;

    // "TTRS"
    QTabWidget* PageControl_TTRS = nullptr;
    QWidget* ts_Data = nullptr;
    QWidget* ts_Memo = nullptr;
    QComboBox* TTRSGen_cbxProcessorRole = nullptr;
    QComboBox* TTRSGen_cbxMType = nullptr;
    QCheckBox* chkbox_ReadOnly = nullptr;
    QPushButton* btnRefresh = nullptr;
    QTabWidget* PageControl_TTRS_Table = nullptr;
    QWidget* ts_custom = nullptr;
    QComboBox* ComboBox1 = nullptr;
    QLabel* pnl_tblname = nullptr;
    DataGrid* ttrsGrids_[6] = {};
    QPlainTextEdit* Memo2 = nullptr;
    QPushButton* Button1 = nullptr;
};

/// The main window, created at start-up.
extern TVelkin* Velkin;
