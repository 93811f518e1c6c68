// The window against a network that fails: the ODBC driver reaches the stand-in
// through a proxy that cuts, stalls or corrupts the server's replies. Whatever
// the fault, the operator gets one clear message, the window stays usable,
// Disconnect and Connect work afterwards, and the server holds either the whole
// change or none of it (read back over a connection of its own).
#include "WindowTestSupport.h"
#include "app/DataObjects.h"
#include "app/GridFactory.h"
#include "app/Unit1.h"
#include "data/ado/Connection.h"
#include "data/ado/Recordset.h"
#include "platform/Dialogs.h"
#include "standin/launcher/FaultProxy.h"
#include "standin/launcher/StandinProcess.h"
#include "ui/Cmn_Modules.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <chrono>
#include <functional>
#include <memory>

using namespace std::chrono_literals;
using platform::BoxKind;

namespace {

constexpr int kBulkRows = 2000;
const QString kRunFailed = "SQL command run failed.";

/// A connection straight to the server, past the proxy, to see what it holds.
std::shared_ptr<ado::Recordset> ReadBack(const standin::StandinProcess& server,
                                         const std::u16string& sql) {
    ado::TADOConnection connection;
    const std::string port = std::to_string(server.port());
    connection.setConnectionString(u"Provider=SQLOLEDB.1;Data Source=127.0.0.1," +
                                   std::u16string(port.begin(), port.end()) +
                                   u";Initial Catalog=VELKIN_DEMO;User ID=sa;Password=velkin");
    connection.Open();
    auto rows = connection.Execute(sql);
    connection.Close();
    return rows;
}

int64_t CountOf(const standin::StandinProcess& server, const std::u16string& sql) {
    auto rows = ReadBack(server, sql);
    const ado::Variant value = rows->Fields(0).Value();
    return value.get<int64_t>();
}

// A window connected to the server through the proxy, with recorded boxes.
class FaultFixture {
public:
    explicit FaultFixture(standin::FaultProxy& proxy) : proxy(proxy) {
        settings.writeRegistry(settings.folder());
        settings.writeSettings({"127.0.0.1", std::to_string(proxy.port()), "sa", "velkin", ""});
        window = std::make_unique<TVelkin>();
        window->show();
    }
    ~FaultFixture() {
        proxy.disarm();
        window->close();
    }

    template <class T> T* control(const QString& name) { return Control<T>(*window, name); }
    db::TDataSet& browse() {
        return DataObject<db::TDataSet>(window->DataObjects(), "browTntADOTableLX");
    }
    QString status() { return control<QLabel>("lbStatus")->text(); }
    QString resultText() { return control<QPlainTextEdit>("SQLResultMemo")->toPlainText(); }

    void connect() { control<QPushButton>("btnConnect")->click(); }
    void disconnect() { control<QPushButton>("btnDisconnect")->click(); }
    void clickItem(const char* listName, const QString& text) {
        ClickItem(*window, listName, text);
    }
    void run(const char* button, const QString& text) { RunConsole(*window, button, text); }
    /// Disconnect, then Connect: the window is as good as new.
    bool reconnects() {
        disconnect();
        if (status() != "Disconnected")
            return false;
        connect();
        return status() == "Connected" &&
               ItemTexts(*control<QListWidget>("DatabaseList")).contains("VELKIN_DEMO");
    }

    standin::FaultProxy& proxy;
    platform::RecordingDialogs dialogs;
    SettingsFixture settings;
    std::unique_ptr<TVelkin> window;
};

using ArmFault = std::function<void(standin::FaultProxy&)>;

} // namespace

Q_DECLARE_METATYPE(ArmFault)

class TestTVelkinFaults : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();

    void cutDuringLogin_data();
    void cutDuringLogin();
    void cutWhileTableOpens_data();
    void cutWhileTableOpens();
    void cutWhileRowIsPosted();
    void cutWhileConsoleRuns_data();
    void cutWhileConsoleRuns();
    void stallLongerThanTimeout();
    void corruptedReply();

private:
    std::unique_ptr<standin::StandinProcess> server_;
    std::unique_ptr<standin::FaultProxy> proxy_;
};

void TestTVelkinFaults::initTestCase() {
    Cmn_Modules::SetDataAccessStartup(&StartDataAccess);
    Cmn_Modules::InitializeDataAccess();
    server_ = std::make_unique<standin::StandinProcess>(
        std::vector<std::string>{"--seed", "demo", "--seed", "big"});
    proxy_ = std::make_unique<standin::FaultProxy>(server_->port());

    // A table whose rows take many reply packets, so that a cut lands among them.
    ado::TADOConnection connection;
    const std::string port = std::to_string(server_->port());
    connection.setConnectionString(u"Provider=SQLOLEDB.1;Data Source=127.0.0.1," +
                                   std::u16string(port.begin(), port.end()) +
                                   u";Initial Catalog=VELKIN_DEMO;User ID=sa;Password=velkin");
    connection.Open();
    connection.Execute(u"CREATE TABLE Bulk (ID int NOT NULL PRIMARY KEY, Filler varchar(200) "
                       u"NOT NULL)");
    for (int first = 1; first <= kBulkRows; first += 100) {
        std::u16string insert = u"INSERT INTO Bulk VALUES ";
        for (int id = first; id < first + 100; ++id) {
            const std::string row = "(" + std::to_string(id) + ", '" + std::string(190, 'x') + "')";
            insert += (id == first ? u"" : u",") + std::u16string(row.begin(), row.end());
        }
        connection.Execute(insert);
    }
    connection.Close();
    QCOMPARE(CountOf(*server_, u"SELECT COUNT(*) FROM Bulk"), int64_t(kBulkRows));
}

void TestTVelkinFaults::cleanupTestCase() {
    proxy_.reset();
    server_.reset();
}

void TestTVelkinFaults::init() {
    proxy_->disarm();
}

void TestTVelkinFaults::cutDuringLogin_data() {
    QTest::addColumn<ArmFault>("fault");
    using Fault = ArmFault;
    QTest::newRow("before the prelogin answer")
        << Fault([](standin::FaultProxy& p) { p.armCutAfterPackets(0); });
    QTest::newRow("inside the prelogin answer")
        << Fault([](standin::FaultProxy& p) { p.armCutAfterBytes(20); });
    QTest::newRow("inside the login answer")
        << Fault([](standin::FaultProxy& p) { p.armCutAfterBytes(60); });
}

void TestTVelkinFaults::cutDuringLogin() {
    QFETCH(ArmFault, fault);
    FaultFixture f(*proxy_);
    fault(*proxy_);
    f.connect();
    QVERIFY(proxy_->fired());
    QCOMPARE(f.dialogs.boxes.size(), size_t(1));
    QCOMPARE(f.dialogs.boxes[0].kind, BoxKind::Error);
    QVERIFY2(f.dialogs.boxes[0].text.startsWith("Microsoft SQL Server connection failed."),
             qPrintable(f.dialogs.boxes[0].text));
    QVERIFY(f.status() != "Connected");
    QVERIFY(f.control<QPushButton>("btnConnect")->isEnabled());

    f.dialogs.boxes.clear();
    QVERIFY(f.reconnects());
    QVERIFY(f.dialogs.boxes.empty());
}

void TestTVelkinFaults::cutWhileTableOpens_data() {
    QTest::addColumn<QString>("database");
    QTest::addColumn<QString>("table");
    QTest::addColumn<int>("cutAfterBytes");
    // Well past the login and the schema queries, well before the last row.
    QTest::newRow("2,000 rows") << "VELKIN_DEMO"
                                << "Bulk" << 150000;
    // About a fifth of the million rows arrive before the cut.
    QTest::newRow("1,000,000 rows") << "PELMAR_BIG"
                                    << "T_BIG" << 16 * 1024 * 1024;
}

void TestTVelkinFaults::cutWhileTableOpens() {
    QFETCH(QString, database);
    QFETCH(QString, table);
    QFETCH(int, cutAfterBytes);
    FaultFixture f(*proxy_);
    f.connect();
    f.clickItem("DatabaseList", database);
    QVERIFY(f.dialogs.boxes.empty());
    proxy_->armCutAfterBytes(cutAfterBytes);
    f.clickItem("TableList", table);
    QVERIFY(proxy_->fired());
    QCOMPARE(f.dialogs.boxes.size(), size_t(1));
    QCOMPARE(f.dialogs.boxes[0].kind, BoxKind::Error);
    QVERIFY(!f.dialogs.boxes[0].text.isEmpty());
    QVERIFY(!f.browse().Active());

    f.dialogs.boxes.clear();
    QVERIFY(f.reconnects());
    f.clickItem("DatabaseList", "VELKIN_DEMO");
    f.clickItem("TableList", "Bulk");
    QVERIFY2(f.dialogs.boxes.empty(), qPrintable(f.dialogs.boxes.front().text));
    QCOMPARE(f.browse().RecordCount(), kBulkRows);
}

void TestTVelkinFaults::cutWhileRowIsPosted() {
    FaultFixture f(*proxy_);
    f.connect();
    f.clickItem("DatabaseList", "VELKIN_DEMO");
    f.clickItem("TableList", "Customers");
    QVERIFY(f.dialogs.boxes.empty());
    db::TDataSet& browse = f.browse();
    const int id = browse.FieldByName("CustomerID")->AsInteger();
    const std::u16string readCity =
        u"SELECT City FROM Customers WHERE CustomerID = " + QString::number(id).toStdU16String();
    const ado::Variant before = ReadBack(*server_, readCity)->Fields(0).Value();

    browse.Edit();
    browse.FieldByName("City")->SetAsString("Cut in transit");
    proxy_->armCutAfterBytes(0);
    auto* grid = f.control<DataGrid>("browDBGrid");
    grid->setFocus();
    QTest::keyClick(grid, Qt::Key_Return);
    QVERIFY(proxy_->fired());
    QCOMPARE(f.dialogs.boxes.size(), size_t(1));
    QCOMPARE(f.dialogs.boxes[0].kind, BoxKind::Error);

    // The operator's edit is still there to post again or cancel.
    QVERIFY(browse.State() == db::dsEdit);
    QCOMPARE(browse.FieldByName("City")->AsString(), std::string("Cut in transit"));
    // The server holds the whole change or none of it.
    const ado::Variant held = ReadBack(*server_, readCity)->Fields(0).Value();
    QVERIFY(held == before || held == ado::Variant(platform::AnsiString("Cut in transit")) ||
            held == ado::Variant(platform::WideString(u"Cut in transit")));

    f.dialogs.boxes.clear();
    QVERIFY(f.reconnects());
    QVERIFY(f.dialogs.boxes.empty());
    browse.Cancel();
    QVERIFY(browse.State() == db::dsBrowse);
}

void TestTVelkinFaults::cutWhileConsoleRuns_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("sql");
    QTest::addColumn<size_t>("cutAfterBytes");
    QTest::newRow("query, among the rows") << "btnSearch"
                                           << "SELECT * FROM Bulk" << size_t(100000);
    QTest::newRow("command, before its answer")
        << "btnExecute"
        << "UPDATE Bulk SET Filler = 'changed by the console'" << size_t(0);
}

void TestTVelkinFaults::cutWhileConsoleRuns() {
    QFETCH(QString, button);
    QFETCH(QString, sql);
    QFETCH(size_t, cutAfterBytes);
    FaultFixture f(*proxy_);
    f.connect();
    f.clickItem("DatabaseList", "VELKIN_DEMO");
    proxy_->armCutAfterBytes(cutAfterBytes);
    f.run(qPrintable(button), sql);
    QVERIFY(proxy_->fired());
    QVERIFY2(f.resultText().startsWith(kRunFailed), qPrintable(f.resultText()));
    QVERIFY(f.dialogs.boxes.empty());

    // An UPDATE of many rows changed all of them or none.
    const int64_t changed =
        CountOf(*server_, u"SELECT COUNT(*) FROM Bulk WHERE Filler = 'changed by the console'");
    QVERIFY2(changed == 0 || changed == kBulkRows, qPrintable(QString::number(changed)));

    QVERIFY(f.reconnects());
    f.clickItem("DatabaseList", "VELKIN_DEMO");
    f.run("btnExecute", "UPDATE Bulk SET Filler = Filler");
    QCOMPARE(f.resultText(), QString("SQL command run success."));
    QVERIFY(f.dialogs.boxes.empty());
}

void TestTVelkinFaults::stallLongerThanTimeout() {
    FaultFixture f(*proxy_);
    f.control<QLineEdit>("edtTimeout")->setText("1");
    f.connect();
    f.clickItem("DatabaseList", "VELKIN_DEMO");
    proxy_->armStall(4s);
    const auto start = std::chrono::steady_clock::now();
    f.run("btnSearch", "SELECT * FROM Customers");
    QVERIFY(proxy_->fired());
    QVERIFY2(f.resultText().startsWith(kRunFailed), qPrintable(f.resultText()));
    QVERIFY(f.dialogs.boxes.empty());
    // The window gave up at about the time-out; it did not wait for ever.
    QVERIFY(std::chrono::steady_clock::now() - start < 30s);

    f.control<QLineEdit>("edtTimeout")->setText("30");
    QVERIFY(f.reconnects());
    f.clickItem("DatabaseList", "VELKIN_DEMO");
    f.run("btnExecute", "SELECT 1");
    QCOMPARE(f.resultText(), QString("SQL command run success."));
}

void TestTVelkinFaults::corruptedReply() {
    FaultFixture f(*proxy_);
    f.connect();
    f.clickItem("DatabaseList", "VELKIN_DEMO");
    // The first token of the reply, turned into one no server sends.
    proxy_->armFlip(8, 0xFF);
    f.run("btnSearch", "SELECT * FROM Customers");
    QVERIFY(proxy_->fired());
    QVERIFY2(f.resultText().startsWith(kRunFailed), qPrintable(f.resultText()));
    QVERIFY(f.dialogs.boxes.empty());

    QVERIFY(f.reconnects());
    f.clickItem("DatabaseList", "VELKIN_DEMO");
    f.run("btnExecute", "SELECT 1");
    QCOMPARE(f.resultText(), QString("SQL command run success."));
}

QTEST_MAIN(TestTVelkinFaults)
#include "tst_TVelkinFaults.moc"
