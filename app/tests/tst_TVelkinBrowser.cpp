// The database browser and the SQL console of the window against the stand-in
// server: the catalogue lists, opening a table in the browse grid, and RunSQL's
// messages, text rules and result area.
#include "WindowTestSupport.h"
#include "app/DataObjects.h"
#include "app/FieldEditor.h"
#include "app/GridFactory.h"
#include "app/Unit1.h"
#include "platform/Dialogs.h"
#include "standin/launcher/StandinProcess.h"
#include "ui/Cmn_Modules.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QTest>
#include <memory>

using platform::BoxKind;

namespace {

// The memo shows the CR LF after the first line as one line break.
const QString RunFailed = "SQL command run failed.\n";

// A window connected to the server, with recorded boxes.
class BrowserFixture {
public:
    explicit BrowserFixture(const standin::StandinProcess& server) {
        settings.writeRegistry(settings.folder());
        settings.writeSettings({server.host(), std::to_string(server.port()), "sa", "velkin", ""});
        window = std::make_unique<TVelkin>();
        window->show();
        control<QPushButton>("btnConnect")->click();
        dialogs.boxes.clear();
    }
    ~BrowserFixture() { window->close(); }

    template <class T> T* control(const QString& name) { return Control<T>(*window, name); }
    template <class T> T& dataObject(const char* name) {
        return DataObject<T>(window->DataObjects(), name);
    }
    db::TDataSet& result() { return dataObject<db::TDataSet>("ResultADODataSet"); }
    db::TDataSet& browse() { return dataObject<db::TDataSet>("browTntADOTableLX"); }
    QPlainTextEdit* sqlText() { return control<QPlainTextEdit>("SQLCommandMemo"); }
    QPlainTextEdit* resultMemo() { return control<QPlainTextEdit>("SQLResultMemo"); }
    QWidget* resultGrid() { return control<QWidget>("SQLResultDBGrid"); }

    /// Clicks the item `text` of the list `listName` as the operator does.
    void clickItem(const char* listName, const QString& text) {
        ClickItem(*window, listName, text);
    }
    QStringList tables() { return ItemTexts(*control<QListWidget>("TableList")); }
    void run(const char* button, const QString& text) { RunConsole(*window, button, text); }

    platform::RecordingDialogs dialogs;
    SettingsFixture settings;
    std::unique_ptr<TVelkin> window;
};

} // namespace

class TestTVelkinBrowser : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void consoleMessages_data();
    void consoleMessages();
    void notConnectedWhateverTheText();
    void blankTextDoesNothing_data();
    void blankTextDoesNothing();
    void searchOnUpdateChangesDataThenFails();
    void failedSearchDropsPreviousRows();
    void selectionRule_data();
    void selectionRule();
    void textRunsAsTyped_data();
    void textRunsAsTyped();
    void commentEndsAtItsLine();
    void referenceColumnsAreWide();
    void databaseClickListsTables_data();
    void databaseClickListsTables();
    void tableClickOpensTable();
    void namesNeedingBracketsOpenAndWrite_data();
    void namesNeedingBracketsOpenAndWrite();
    void overlongCellIsRefused();
    void failedReopeningLeavesTableClosed();
    void big5TextReadBack();
    void cellClickOpensMemoPageForLongText_data();
    void cellClickOpensMemoPageForLongText();
    void memoUpdateCancelExit();
    void convertToSystemCodePage_data();
    void convertToSystemCodePage();
    void clearTableEmptiesUserTables();

private:
    std::unique_ptr<standin::StandinProcess> server_;
};

void TestTVelkinBrowser::initTestCase() {
    Cmn_Modules::SetDataAccessStartup(&StartDataAccess);
    Cmn_Modules::InitializeDataAccess();
    server_ = std::make_unique<standin::StandinProcess>(std::vector<std::string>{"--seed", "demo"});
}

void TestTVelkinBrowser::cleanupTestCase() {
    server_.reset();
}

void TestTVelkinBrowser::consoleMessages_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("gridShown");
    QTest::addColumn<QString>("memoText");
    QTest::newRow("execute") << "btnExecute"
                             << "UPDATE VELKIN_DEMO.dbo.NoKeyLog SET Severity = 1 "
                                "WHERE 1 = 0"
                             << false << "SQL command run success.";
    QTest::newRow("execute on a query shows no rows")
        << "btnExecute"
        << "SELECT 1 AS n" << false << "SQL command run success.";
    QTest::newRow("search") << "btnSearch"
                            << "SELECT 1 AS n" << true << "";
    QTest::newRow("search of a missing table")
        << "btnSearch"
        << "SELECT * FROM NoSuchTable" << false
        << RunFailed + "[FreeTDS][SQL Server]Invalid object name 'NoSuchTable'.";
    QTest::newRow("execute of a missing table")
        << "btnExecute"
        << "DELETE FROM NoSuchTable" << false
        << RunFailed + "[FreeTDS][SQL Server]Invalid object name 'NoSuchTable'.";
}

void TestTVelkinBrowser::consoleMessages() {
    QFETCH(QString, button);
    QFETCH(QString, text);
    QFETCH(bool, gridShown);
    QFETCH(QString, memoText);
    BrowserFixture f(*server_);
    f.run(qPrintable(button), text);

    QCOMPARE(f.resultGrid()->isHidden(), !gridShown);
    QCOMPARE(f.resultMemo()->isHidden(), gridShown);
    QCOMPARE(f.result().Active(), gridShown);
    if (!gridShown)
        QCOMPARE(f.resultMemo()->toPlainText(), memoText);
    QVERIFY(f.dialogs.boxes.empty());
    QVERIFY(f.dialogs.hourglassCount > 0);
    QVERIFY(!f.dialogs.hourglassShown);
}

void TestTVelkinBrowser::notConnectedWhateverTheText() {
    BrowserFixture f(*server_);
    f.window->btnDisconnectClick();
    for (const char* button : {"btnSearch", "btnExecute"}) {
        for (const QString& text : {QString("SELECT 1"), QString(" \n ")}) {
            f.sqlText()->setPlainText(text);
            f.resultMemo()->setPlainText("earlier");
            f.window->RunSQL(f.control<QPushButton>(button));
            QCOMPARE(f.resultMemo()->toPlainText(), QString("SQL server not connected"));
            QVERIFY(!f.resultMemo()->isHidden());
            QVERIFY(f.resultGrid()->isHidden());
        }
    }
    QVERIFY(!f.dialogs.hourglassShown);
}

void TestTVelkinBrowser::blankTextDoesNothing_data() {
    QTest::addColumn<QString>("text");
    QTest::newRow("empty") << "";
    QTest::newRow("blanks") << "   ";
    QTest::newRow("blanks, tabs and line breaks") << " \t\n  \n\n ";
}

void TestTVelkinBrowser::blankTextDoesNothing() {
    QFETCH(QString, text);
    BrowserFixture f(*server_);
    f.run("btnSearch", "SELECT 1 AS n");
    QVERIFY(!f.resultGrid()->isHidden());
    for (const char* button : {"btnSearch", "btnExecute"}) {
        f.run(button, text);
        QVERIFY(!f.resultGrid()->isHidden());
        QVERIFY(f.resultMemo()->isHidden());
        QVERIFY(f.result().Active());
        QVERIFY(f.resultMemo()->toPlainText().isEmpty());
    }
    QVERIFY(!f.dialogs.hourglassShown);
}

void TestTVelkinBrowser::searchOnUpdateChangesDataThenFails() {
    BrowserFixture f(*server_);
    f.run("btnSearch",
          "UPDATE VELKIN_DEMO.dbo.NoKeyLog SET Message = 'searched' WHERE Severity = 3");
    QCOMPARE(f.resultMemo()->toPlainText(), RunFailed + "Recordset is not open");
    QVERIFY(f.resultGrid()->isHidden());

    f.run("btnSearch",
          "SELECT count(*) AS n FROM VELKIN_DEMO.dbo.NoKeyLog WHERE Message = 'searched'");
    QVERIFY(f.result().Active());
    QVERIFY(f.result().FieldByName("n")->AsInteger() > 0);
    f.run("btnExecute", "UPDATE VELKIN_DEMO.dbo.NoKeyLog SET Message = 'restored' WHERE Message = "
                        "'searched'");
}

void TestTVelkinBrowser::failedSearchDropsPreviousRows() {
    BrowserFixture f(*server_);
    f.run("btnSearch", "SELECT Name FROM VELKIN_DEMO.dbo.Customers");
    QCOMPARE(f.result().RecordCount(), 30);
    f.run("btnSearch", "SELEC nothing");
    QVERIFY(!f.result().Active());
    QVERIFY(f.resultGrid()->isHidden());
    QVERIFY(f.resultMemo()->toPlainText().startsWith(RunFailed));
}

void TestTVelkinBrowser::selectionRule_data() {
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("fieldCount");
    // The memo holds "SELECT 'a' AS first_col, 'b' AS second_col".
    QTest::newRow("nothing selected: the whole text") << 5 << 0 << 2;
    QTest::newRow("all selected") << 0 << 42 << 2;
    QTest::newRow("part selected: only the part") << 0 << 23 << 1;
}

void TestTVelkinBrowser::selectionRule() {
    QFETCH(int, start);
    QFETCH(int, length);
    QFETCH(int, fieldCount);
    BrowserFixture f(*server_);
    f.sqlText()->setPlainText("SELECT 'a' AS first_col, 'b' AS second_col");
    QTextCursor cursor = f.sqlText()->textCursor();
    cursor.setPosition(start);
    cursor.setPosition(start + length, QTextCursor::KeepAnchor);
    f.sqlText()->setTextCursor(cursor);
    f.control<QPushButton>("btnSearch")->click();

    QVERIFY(f.result().Active());
    QCOMPARE(f.result().FieldCount(), fieldCount);
    QCOMPARE(f.result().FieldByName("first_col")->AsString(), platform::AnsiString("a"));
}

void TestTVelkinBrowser::textRunsAsTyped_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("selectAll");
    QTest::addColumn<QString>("value");
    QTest::newRow("one break") << "SELECT 'x\ny' AS v" << false << "x\r\ny";
    QTest::newRow("two breaks") << "SELECT 'x\n\ny' AS v" << false << "x\r\n\r\ny";
    QTest::newRow("statement over lines") << "SELECT\n'x'\nAS\nv\n" << false << "x";
    QTest::newRow("selection over lines") << "SELECT 'x\ny' AS v" << true << "x\r\ny";
    QTest::newRow("blanks kept inside") << "  SELECT ' x ' AS v  \n" << false << " x ";
    QTest::newRow("comment ends at its line")
        << "SELECT 'x' -- the first part\n+ 'y' AS v" << false << "xy";
    // Outside every ANSI code page the tests run with.
    QTest::newRow("wide text") << QString::fromUtf8("SELECT N'简体 與 繁體 é' AS v") << false
                               << QString::fromUtf8("简体 與 繁體 é");
}

void TestTVelkinBrowser::textRunsAsTyped() {
    QFETCH(QString, text);
    QFETCH(bool, selectAll);
    QFETCH(QString, value);
    BrowserFixture f(*server_);
    f.sqlText()->setPlainText(text);
    if (selectAll)
        f.sqlText()->selectAll();
    f.control<QPushButton>("btnSearch")->click();

    QVERIFY2(f.result().Active(), qPrintable(f.resultMemo()->toPlainText()));
    const db::TField* field = f.result().FindField("v");
    QVERIFY(field);
    QCOMPARE(QString::fromStdU16String(field->AsWideString()), value);
}

// A comment at the end of a line must not swallow the WHERE on the next one:
// the update then changes one row, not the whole table.
void TestTVelkinBrowser::commentEndsAtItsLine() {
    BrowserFixture f(*server_);
    f.run("btnExecute", "CREATE DATABASE CONSOLE_MARKS");
    f.run("btnExecute", "USE CONSOLE_MARKS CREATE TABLE ConsoleMarks (n int, mark nvarchar(20)) "
                        "INSERT INTO ConsoleMarks VALUES (1, 'a') "
                        "INSERT INTO ConsoleMarks VALUES (2, 'b') "
                        "INSERT INTO ConsoleMarks VALUES (3, 'c')");
    QCOMPARE(f.resultMemo()->toPlainText(), QString("SQL command run success."));
    f.run("btnExecute",
          QString::fromUtf8("UPDATE ConsoleMarks SET mark = N'简体 與 繁體' -- mark one "
                            "row\nWHERE n = 2"));
    QCOMPARE(f.resultMemo()->toPlainText(), QString("SQL command run success."));

    f.run("btnSearch", "SELECT n, mark FROM ConsoleMarks ORDER BY n");
    QVERIFY2(f.result().Active(), qPrintable(f.resultMemo()->toPlainText()));
    QStringList marks;
    for (f.result().First(); !f.result().Eof(); f.result().Next())
        marks << QString::fromStdU16String(f.result().FieldByName("mark")->AsWideString());
    QCOMPARE(marks, (QStringList{"a", QString::fromUtf8("简体 與 繁體"), "c"}));
}

void TestTVelkinBrowser::referenceColumnsAreWide() {
    BrowserFixture f(*server_);
    f.run("btnSearch", "SELECT 1 AS utr, 2 AS UDR, 3 AS ucr, 4 AS UPR, 5 AS Umr, "
                       "'abc' AS UTRX, 'abc' AS other");
    QVERIFY(f.result().Active());
    for (const char* name : {"utr", "UDR", "ucr", "UPR", "Umr"})
        QCOMPARE(f.result().FieldByName(name)->DisplayWidth(), 18);
    for (const char* name : {"UTRX", "other"})
        QVERIFY(f.result().FieldByName(name)->DisplayWidth() != 18);
}

void TestTVelkinBrowser::databaseClickListsTables_data() {
    QTest::addColumn<bool>("systemTables");
    QTest::addColumn<QStringList>("present");
    QTest::addColumn<QStringList>("absent");
    QTest::newRow("tables and views")
        << false << QStringList{"CustomerCities", "Customers", "NoKeyLog", "OrderLines"}
        << QStringList{"dtproperties", "sysobjects"};
    QTest::newRow("all tables, no views")
        << true << QStringList{"Customers", "NoKeyLog", "OrderLines", "sysobjects", "syscolumns"}
        << QStringList{"dtproperties", "CustomerCities"};
}

void TestTVelkinBrowser::databaseClickListsTables() {
    QFETCH(bool, systemTables);
    QFETCH(QStringList, present);
    QFETCH(QStringList, absent);
    BrowserFixture f(*server_);
    f.control<QCheckBox>("chkBoxSysTbl")->setChecked(systemTables);
    f.clickItem("DatabaseList", "VELKIN_DEMO");

    QVERIFY(f.dialogs.boxes.empty());
    QCOMPARE(f.control<QLabel>("Label9")->text(), QString("VELKIN_DEMO"));
    const QStringList listed = f.tables();
    for (const QString& name : present)
        QVERIFY2(listed.contains(name), qPrintable(name));
    for (const QString& name : absent)
        QVERIFY2(!listed.contains(name, Qt::CaseInsensitive), qPrintable(name));
    if (!systemTables)
        QCOMPARE(listed, present);
    QCOMPARE(f.control<QListWidget>("TableList")->currentRow(), -1);
    QVERIFY(!f.dataObject<db::TDataSet>("tmpADODataSet").Active());

    // The console now runs in the chosen database.
    f.run("btnSearch", "SELECT count(*) AS n FROM Customers");
    QCOMPARE(f.result().FieldByName("n")->AsInteger(), 30);
}

void TestTVelkinBrowser::tableClickOpensTable() {
    BrowserFixture f(*server_);
    f.clickItem("DatabaseList", "VELKIN_DEMO");
    f.clickItem("TableList", "Customers");
    QVERIFY(f.dialogs.boxes.empty());
    QVERIFY(f.browse().Active());
    QCOMPARE(f.control<QLabel>("lbRecordNum1")->text(), QString("30"));

    // Choosing another database leaves the shown table as it is.
    f.clickItem("DatabaseList", "PELMAR_TTRS");
    QVERIFY(f.browse().Active());
    QCOMPARE(f.control<QLabel>("lbRecordNum1")->text(), QString("30"));
    QVERIFY(f.tables().contains("T_DOCMAS"));

    f.clickItem("TableList", "T_LSTDOC");
    QCOMPARE(f.control<QLabel>("lbRecordNum1")->text(), QString("200"));
    QCOMPARE(f.browse().FieldByName("UCR")->DisplayWidth(), 18);
    QCOMPARE(f.browse().FieldByName("UTR")->DisplayWidth(), 18);
    QVERIFY(f.browse().FieldByName("Note")->DisplayWidth() != 18);
}

void TestTVelkinBrowser::namesNeedingBracketsOpenAndWrite_data() {
    QTest::addColumn<QString>("table");
    QTest::newRow("blank inside") << "Order Details";
    QTest::newRow("reserved word") << "Group";
    QTest::newRow("closing bracket") << "Rate]s";
    QTest::newRow("quote and opening bracket") << "It's [new";
}

// A database and a table whose names are not plain identifiers are listed,
// opened from the list and written back.
void TestTVelkinBrowser::namesNeedingBracketsOpenAndWrite() {
    QFETCH(QString, table);
    const QString quoted = "[" + QString(table).replace("]", "]]") + "]";
    {
        BrowserFixture setup(*server_);
        setup.run("btnExecute", "CREATE DATABASE [Odd Names]");
        setup.run("btnExecute", "USE [Odd Names] CREATE TABLE " + quoted +
                                    " (id int NOT NULL PRIMARY KEY, v varchar(10) NULL) "
                                    "INSERT INTO " +
                                    quoted + " VALUES (1, 'one') INSERT INTO " + quoted +
                                    " VALUES (2, 'two')");
        QCOMPARE(setup.resultMemo()->toPlainText(), QString("SQL command run success."));
    }
    BrowserFixture f(*server_);
    auto firstBox = [&f] {
        return f.dialogs.boxes.empty() ? QString() : f.dialogs.boxes[0].text;
    };
    f.clickItem("DatabaseList", "Odd Names");
    QVERIFY2(f.dialogs.boxes.empty(), qPrintable(firstBox()));
    QVERIFY(f.tables().contains(table));
    f.clickItem("TableList", table);
    QVERIFY2(f.dialogs.boxes.empty(), qPrintable(firstBox()));
    QVERIFY(f.browse().Active());
    QCOMPARE(f.control<QLabel>("lbRecordNum1")->text(), QString("2"));

    QVERIFY(f.browse().Locate("id", 2, {}));
    f.browse().Edit();
    f.browse().FieldByName("v")->SetAsString("changed");
    f.browse().Post();
    f.run("btnSearch", "SELECT v FROM [Odd Names].dbo." + quoted + " ORDER BY id");
    QVERIFY2(f.result().Active(), qPrintable(f.resultMemo()->toPlainText()));
    QStringList values;
    for (f.result().First(); !f.result().Eof(); f.result().Next())
        values << QString::fromStdString(f.result().FieldByName("v")->AsString());
    QCOMPARE(values, (QStringList{"one", "changed"}));
}

// An overlong value cannot be typed into the grid, and one written to the field
// otherwise is refused by the server; the change stays pending, nothing is stored.
void TestTVelkinBrowser::overlongCellIsRefused() {
    {
        BrowserFixture setup(*server_);
        setup.run("btnExecute", "CREATE DATABASE SIZED");
        setup.run("btnExecute", "USE SIZED CREATE TABLE Sized (id int NOT NULL PRIMARY KEY, "
                                "v varchar(5) NULL) INSERT INTO Sized VALUES (1, 'short')");
        QCOMPARE(setup.resultMemo()->toPlainText(), QString("SQL command run success."));
    }
    BrowserFixture f(*server_);
    f.clickItem("DatabaseList", "SIZED");
    f.clickItem("TableList", "Sized");
    QVERIFY(f.browse().Active());

    auto* grid = f.control<DataGrid>("browDBGrid");
    grid->SetSelectedField(f.browse().FieldByName("v"));
    grid->setFocus();
    QTest::keyClick(grid, Qt::Key_F2);
    QLineEdit* editor = nullptr;
    for (QLineEdit* e : grid->findChildren<QLineEdit*>())
        if (!e->isHidden())
            editor = e;
    QVERIFY(editor);
    QCOMPARE(editor->maxLength(), 5);
    QTest::keyClick(editor, Qt::Key_Escape);

    f.browse().Edit();
    f.browse().FieldByName("v")->SetAsString("thirteen char");
    try {
        f.browse().Post();
        QFAIL("an overlong value was posted");
    } catch (const std::exception& e) {
        QVERIFY2(QString(e.what()).contains("String or binary data would be truncated."), e.what());
    }
    QCOMPARE(f.browse().State(), db::dsEdit);
    QCOMPARE(f.browse().FieldByName("v")->AsString(), platform::AnsiString("thirteen char"));
    f.browse().Cancel();
    f.run("btnSearch", "SELECT v FROM SIZED.dbo.Sized");
    QCOMPARE(f.result().FieldByName("v")->AsString(), platform::AnsiString("short"));
}

void TestTVelkinBrowser::failedReopeningLeavesTableClosed() {
    BrowserFixture f(*server_);
    f.clickItem("DatabaseList", "VELKIN_DEMO");
    f.clickItem("TableList", "Customers");
    // Each table click opens a fresh connection from the boxes as they stand.
    f.control<QLineEdit>("edtSQLPortNo")->setText("1");
    f.clickItem("TableList", "OrderLines");

    QCOMPARE(f.dialogs.boxes.size(), size_t(2));
    QCOMPARE(f.dialogs.boxes[0].kind, BoxKind::Error);
    QVERIFY(f.dialogs.boxes[0].text.startsWith("Microsoft SQL Server connection failed.\r\n"));
    QCOMPARE(f.dialogs.boxes[1].text,
             platform::StandardErrorText(
                 "browTntADOTableLX: Cannot perform this operation on a closed dataset"));
    QVERIFY(!f.browse().Active());
    QCOMPARE(f.control<QLabel>("lbRecordNum1")->text(), QString("30"));
}

void TestTVelkinBrowser::big5TextReadBack() {
    const QStringList titles{"貨物進口報單", "電子文件",   "報關行確認", "海關放行通知",
                             "貿易商申報",   "高雄港轉運", "台北市出口", "錯誤訊息回覆"};
    BrowserFixture f(*server_);
    f.clickItem("DatabaseList", "PELMAR_TTRS");
    f.clickItem("TableList", "T_DOCMAS");
    QVERIFY(f.dialogs.boxes.empty());
    QCOMPARE(f.control<QLabel>("lbRecordNum1")->text(), QString("120"));
    for (f.browse().First(); !f.browse().Eof(); f.browse().Next()) {
        const QString title =
            QString::fromStdU16String(f.browse().FieldByName("DocTitle")->AsWideString());
        QVERIFY2(titles.contains(title), qPrintable(title));
    }
}

void TestTVelkinBrowser::cellClickOpensMemoPageForLongText_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("page");
    QTest::newRow("text column") << "Notes"
                                 << "MemoPage";
    QTest::newRow("short column") << "Name"
                                  << "DataPage";
    QTest::newRow("number column") << "Balance"
                                   << "DataPage";
}

void TestTVelkinBrowser::cellClickOpensMemoPageForLongText() {
    QFETCH(QString, field);
    QFETCH(QString, page);
    BrowserFixture f(*server_);
    f.clickItem("DatabaseList", "VELKIN_DEMO");
    f.clickItem("TableList", "Customers");
    auto* grid = f.control<DataGrid>("browDBGrid");
    grid->SetSelectedField(f.browse().FieldByName(field.toStdString()));
    emit grid->CellClick(grid->SelectedIndex());

    QCOMPARE(f.control<QStackedWidget>("DbNoteBook")->currentWidget()->objectName(), page);
    if (page == "MemoPage")
        QCOMPARE(f.control<QPlainTextEdit>("Memo1")->toPlainText(),
                 QString::fromStdU16String(f.browse().FieldByName("Notes")->AsWideString()));
    QVERIFY(f.dialogs.boxes.empty());
}

void TestTVelkinBrowser::memoUpdateCancelExit() {
    BrowserFixture f(*server_);
    f.clickItem("DatabaseList", "VELKIN_DEMO");
    f.clickItem("TableList", "Customers");
    f.browse().Next();
    const int id = f.browse().FieldByName("CustomerID")->AsInteger();
    const QString stored =
        QString::fromStdU16String(f.browse().FieldByName("Notes")->AsWideString());
    auto* grid = f.control<DataGrid>("browDBGrid");
    grid->SetSelectedField(f.browse().FieldByName("Notes"));
    emit grid->CellClick(grid->SelectedIndex());
    auto* memo = f.control<QPlainTextEdit>("Memo1");
    auto storedNotes = [&] {
        f.run("btnSearch", QString("SELECT Notes FROM Customers WHERE CustomerID = %1").arg(id));
        return QString::fromStdU16String(f.result().FieldByName("Notes")->AsWideString());
    };

    // Cancel refills the memo from the row, not from what was typed.
    memo->setPlainText("typed, then cancelled");
    f.control<QPushButton>("btnCancel")->click();
    QCOMPARE(memo->toPlainText(), stored);

    // Update writes the memo's text, line break included, and stays on the page.
    memo->setPlainText("Line one\nLine two");
    f.control<QPushButton>("btnUpdate")->click();
    QVERIFY(f.dialogs.boxes.empty());
    auto* notebook = f.control<QStackedWidget>("DbNoteBook");
    QCOMPARE(notebook->currentWidget()->objectName(), QString("MemoPage"));
    QVERIFY(storedNotes().startsWith("Line one"));
    QVERIFY(storedNotes().endsWith("Line two"));

    // Exit writes nothing.
    memo->setPlainText("typed, then left");
    f.control<QPushButton>("btnExit")->click();
    QCOMPARE(notebook->currentWidget()->objectName(), QString("DataPage"));
    QVERIFY(storedNotes().endsWith("Line two"));
}

void TestTVelkinBrowser::convertToSystemCodePage_data() {
    QTest::addColumn<bool>("nativeWide");
    QTest::addColumn<int>("systemOEM");
    QTest::addColumn<int>("userOEM");
    QTest::addColumn<QString>("text");
    // Every case where the text must come back exactly as the memo holds it.
    QTest::newRow("native wide windows") << true << 437 << 850 << QString::fromUtf8("é 中 x");
    QTest::newRow("equal code pages") << false << 950 << 950 << QString::fromUtf8("é 中 x");
    QTest::newRow("ASCII in different code pages") << false << 437 << 950 << "Plain ASCII 123";
}

void TestTVelkinBrowser::convertToSystemCodePage() {
    QFETCH(bool, nativeWide);
    QFETCH(int, systemOEM);
    QFETCH(int, userOEM);
    QFETCH(QString, text);
    const platform::WideString converted =
        ConvertToSystemCodePage(text.toStdU16String(), nativeWide, platform::CodePage(systemOEM),
                                platform::CodePage(userOEM));
    QCOMPARE(QString::fromStdU16String(converted), text);
}

void TestTVelkinBrowser::clearTableEmptiesUserTables() {
    BrowserFixture f(*server_);
    f.run("btnExecute", "CREATE DATABASE CLEAR_ME");
    f.run("btnExecute", "CREATE DATABASE NO_TABLES");
    f.run("btnExecute", "USE CLEAR_ME CREATE TABLE First_T (n int) CREATE TABLE Second_T (n int) "
                        "INSERT INTO First_T VALUES (1) INSERT INTO Second_T VALUES (2)");
    QCOMPARE(f.resultMemo()->toPlainText(), QString("SQL command run success."));

    f.control<QPushButton>("btnClearTable")->click();
    QCOMPARE(f.dialogs.boxes.size(), size_t(1));
    QCOMPARE(f.dialogs.boxes[0].kind, BoxKind::Plain);
    QCOMPARE(f.dialogs.boxes[0].text, QString("OK!"));
    f.run("btnSearch", "SELECT (SELECT count(*) FROM First_T) + (SELECT count(*) FROM Second_T) "
                       "AS n");
    QCOMPARE(f.result().FieldByName("n")->AsInteger(), 0);

    // A database without user tables gives no message at all.
    f.run("btnExecute", "USE NO_TABLES");
    f.control<QPushButton>("btnClearTable")->click();
    QCOMPARE(f.dialogs.boxes.size(), size_t(1));
}

QTEST_MAIN(TestTVelkinBrowser)
#include "tst_TVelkinBrowser.moc"
