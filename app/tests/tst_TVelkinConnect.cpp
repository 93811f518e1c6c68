// Connect and Disconnect on the window against the stand-in server: the shared
// connection, the database list, the optional TTRS connection, the time-out
// applied to every data object, and the boxes the operator sees when any of it
// fails.
#include "WindowTestSupport.h"
#include "app/DataObjects.h"
#include "app/Unit1.h"
#include "platform/Dialogs.h"
#include "standin/launcher/StandinProcess.h"
#include "ui/Cmn_Modules.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTest>
#include <arpa/inet.h>
#include <memory>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using platform::BoxKind;

namespace {

const QString ConnectFailed = "Microsoft SQL Server connection failed.\r\n";

// A window shown on settings that point at the server, with recorded boxes.
class ConnectFixture {
public:
    ConnectFixture(const std::string& host, int port, const std::string& password = "velkin") {
        settings.writeRegistry(settings.folder());
        settings.writeSettings({host, std::to_string(port), "sa", password, ""});
        window = std::make_unique<TVelkin>();
        window->show();
        dialogs.boxes.clear();
    }
    ~ConnectFixture() { window->close(); }

    template <class T> T* control(const QString& name) { return Control<T>(*window, name); }
    void pressConnect() { control<QPushButton>("btnConnect")->click(); }
    void pressDisconnect() { window->btnDisconnectClick(); }
    QTabWidget* tabs() { return control<QTabWidget>("PageControl1"); }
    bool tabShown(const char* page) {
        return tabs()->isTabVisible(tabs()->indexOf(control<QWidget>(page)));
    }
    template <class T> T& dataObject(const char* name) {
        return DataObject<T>(window->DataObjects(), name);
    }
    bool sharedConnected() {
        return dataObject<ado::TADOConnection>("pubADOConnection").Connected();
    }
    bool ttrsConnected() { return dataObject<ado::TADOConnection>("adocntn_TTRS").Connected(); }

    QStringList listed() { return ItemTexts(*control<QListWidget>("DatabaseList")); }

    platform::RecordingDialogs dialogs;
    SettingsFixture settings;
    std::unique_ptr<TVelkin> window;
};

// A loopback port with nothing listening on it.
int ClosedPort() {
    int probe = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (probe < 0 || ::bind(probe, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        qFatal("no free loopback port");
    ::close(probe);
    return ntohs(address.sin_port);
}

} // namespace

class TestTVelkinConnect : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void connectListsDatabasesThenDisconnectResets();
    void sharedConnectionFails_data();
    void sharedConnectionFails();
    void boxesMakeTheConnectionString_data();
    void boxesMakeTheConnectionString();
    void timeoutNotANumberStopsConnect_data();
    void timeoutNotANumberStopsConnect();
    void timeoutReachesEveryAdoComponent();
    void ttrsConnection_data();
    void ttrsConnection();
    void disconnectClosesBothConnections();
    void firstTabAfterLostConnection_data();
    void firstTabAfterLostConnection();

private:
    std::unique_ptr<standin::StandinProcess> server_;
};

void TestTVelkinConnect::initTestCase() {
    Cmn_Modules::SetDataAccessStartup(&StartDataAccess);
    Cmn_Modules::InitializeDataAccess();
    server_ = std::make_unique<standin::StandinProcess>(std::vector<std::string>{"--seed", "demo"});
}

void TestTVelkinConnect::cleanupTestCase() {
    server_.reset();
}

void TestTVelkinConnect::connectListsDatabasesThenDisconnectResets() {
    ConnectFixture f(server_->host(), server_->port());
    f.pressConnect();

    QCOMPARE(f.dialogs.boxes.size(), size_t(0));
    QVERIFY(f.sharedConnected());
    QVERIFY(!f.control<QPushButton>("btnConnect")->isEnabled());
    QVERIFY(f.control<QPushButton>("btnDisconnect")->isEnabled());
    QCOMPARE(f.control<QLabel>("lbStatus")->text(), QString("Connected"));
    QCOMPARE(f.listed(), (QStringList{"master", "PELMAR_GB", "PELMAR_TTRS", "VELKIN_DEMO"}));
    auto* list = f.control<QListWidget>("DatabaseList");
    QCOMPARE(list->currentRow(), -1);
    QVERIFY(list->selectedItems().isEmpty());
    QVERIFY(!f.dataObject<db::TDataSet>("tmpADODataSet").Active());
    QCOMPARE(f.window->windowTitle(),
             QString("Velkin(SQL) - %1 : %2").arg(server_->host().c_str()).arg(server_->port()));
    QVERIFY(f.tabShown("DbTable"));
    QVERIFY(f.tabShown("SQLCommand"));
    QVERIFY(!f.tabShown("TTRS"));
    QCOMPARE(f.control<QStackedWidget>("DbNoteBook")->currentWidget()->objectName(),
             QString("DataPage"));
    QVERIFY(f.dialogs.hourglassCount > 0);
    QVERIFY(!f.dialogs.hourglassShown);

    // Disconnect, and again when already disconnected: the same resting state.
    for (int round = 0; round < 2; ++round) {
        f.pressDisconnect();
        QVERIFY(!f.sharedConnected());
        QVERIFY(f.control<QPushButton>("btnConnect")->isEnabled());
        QVERIFY(!f.control<QPushButton>("btnDisconnect")->isEnabled());
        QCOMPARE(f.control<QLabel>("lbStatus")->text(), QString("Disconnected"));
        QVERIFY(f.listed().isEmpty());
        QCOMPARE(f.window->windowTitle(), QString("Velkin(SQL)"));
        QVERIFY(!f.tabShown("DbTable"));
        QVERIFY(!f.tabShown("SQLCommand"));
        QVERIFY(!f.tabShown("TTRS"));
    }
    QCOMPARE(f.dialogs.boxes.size(), size_t(0));

    // Connect works again after a disconnect.
    f.pressConnect();
    QVERIFY(f.sharedConnected());
    QCOMPARE(f.listed().size(), 4);
}

void TestTVelkinConnect::sharedConnectionFails_data() {
    QTest::addColumn<bool>("closedPort");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("driverText");
    // The error's text is every record the driver left, one per line.
    QTest::newRow("login refused") << false << "wrong"
                                   << "[FreeTDS][SQL Server]Login failed for user 'sa'.\n"
                                      "[FreeTDS][SQL Server]Unable to connect to data source";
    QTest::newRow("nothing listening")
        << true << "velkin"
        << "[FreeTDS][SQL Server]Unable to connect: Adaptive Server is unavailable or does not "
           "exist\n[FreeTDS][SQL Server]Unable to connect to data source";
}

void TestTVelkinConnect::sharedConnectionFails() {
    QFETCH(bool, closedPort);
    QFETCH(QString, password);
    QFETCH(QString, driverText);
    const int port = closedPort ? ClosedPort() : server_->port();
    ConnectFixture f(server_->host(), port, password.toStdString());
    f.control<QLineEdit>("edtTimeout")->setText("5");
    f.pressConnect();

    QCOMPARE(f.dialogs.boxes.size(), size_t(1));
    QCOMPARE(f.dialogs.boxes[0].kind, BoxKind::Error);
    QCOMPARE(f.dialogs.boxes[0].text, ConnectFailed + driverText);
    QVERIFY(!f.sharedConnected());
    QVERIFY(f.control<QPushButton>("btnConnect")->isEnabled());
    QCOMPARE(f.control<QLabel>("lbStatus")->text(), QString("Disconnected"));
    QCOMPARE(f.window->windowTitle(), QString("Velkin(SQL)"));
    QVERIFY(!f.tabShown("DbTable"));
    QVERIFY(f.listed().isEmpty());
    QVERIFY(!f.dialogs.hourglassShown);
}

void TestTVelkinConnect::boxesMakeTheConnectionString_data() {
    QTest::addColumn<QStringList>("address");
    QTest::addColumn<QString>("login");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("expectedTail");
    QTest::newRow("blanks around the boxes are dropped")
        << QStringList{" 127", "0 ", " 0 ", "1"} << "nobody"
        << "pw"
        << "Initial Catalog=Master;User ID=nobody;Password=pw";
    QTest::newRow("blanks in login and password stay")
        << QStringList{"127", "0", "0", "1"} << " sa "
        << "p w "
        << "Initial Catalog=Master;User ID=\" sa \";Password=\"p w \"";
}

void TestTVelkinConnect::boxesMakeTheConnectionString() {
    QFETCH(QStringList, address);
    QFETCH(QString, login);
    QFETCH(QString, password);
    QFETCH(QString, expectedTail);
    const int port = ClosedPort();
    ConnectFixture f(server_->host(), port);
    for (int part = 0; part < 4; ++part)
        f.control<QLineEdit>(QString("edtSQLIP%1").arg(part + 1))->setText(address[part]);
    f.control<QLineEdit>("edtSQLPortNo")->setText(QString(" %1 ").arg(port));
    f.control<QLineEdit>("edtSQLLogin")->setText(login);
    f.control<QLineEdit>("edtSQLPassword")->setText(password);
    f.pressConnect();

    QCOMPARE(f.dialogs.boxes.size(), size_t(1));
    const QString expected =
        QString("Provider=SQLOLEDB.1;Persist Security Info=True;Data Source=127.0.0.1,%1;")
            .arg(port) +
        expectedTail;
    QCOMPARE(QString::fromStdU16String(
                 f.dataObject<ado::TADOConnection>("pubADOConnection").ConnectionString()),
             expected);
}

void TestTVelkinConnect::timeoutNotANumberStopsConnect_data() {
    QTest::addColumn<QString>("timeout");
    QTest::newRow("letters") << "abc";
    QTest::newRow("empty") << "";
    QTest::newRow("blank after digits") << "30 ";
}

void TestTVelkinConnect::timeoutNotANumberStopsConnect() {
    QFETCH(QString, timeout);
    ConnectFixture f(server_->host(), server_->port());
    f.control<QLineEdit>("edtTimeout")->setText(timeout);
    f.pressConnect();

    QCOMPARE(f.dialogs.boxes.size(), size_t(1));
    QCOMPARE(f.dialogs.boxes[0].kind, BoxKind::Error);
    QCOMPARE(f.dialogs.boxes[0].title, QString("Velkin(SQL)"));
    QCOMPARE(f.dialogs.boxes[0].text, "'" + timeout + "' is not a valid integer value.");
    QCOMPARE(f.dialogs.hourglassCount, 0); // no connection attempt
    QVERIFY(!f.sharedConnected());
    QCOMPARE(f.dataObject<ado::TADOConnection>("pubADOConnection").ConnectionTimeout(), 15);
    QCOMPARE(f.control<QLabel>("lbStatus")->text(), QString("Disconnected"));
    QVERIFY(f.control<QPushButton>("btnConnect")->isEnabled());
    QVERIFY(!f.tabShown("DbTable"));
}

void TestTVelkinConnect::timeoutReachesEveryAdoComponent() {
    ConnectFixture f(server_->host(), server_->port());
    f.control<QLineEdit>("edtTimeout")->setText("$B");
    f.pressConnect();
    QVERIFY(f.sharedConnected());

    for (const char* name : {"pubADOConnection", "adocntn_TTRS"})
        QCOMPARE(f.dataObject<ado::TADOConnection>(name).ConnectionTimeout(), 11);
    for (const char* name :
         {"tmpADODataSet", "ResultADODataSet", "browTntADOTableLX", "adods_TTRS"})
        QCOMPARE(f.dataObject<db::TCustomADODataSet>(name).CommandTimeout(), 11);
    QCOMPARE(f.dataObject<ado::TADOCommand>("ADOCommand1").CommandTimeout, 11);

    // The data objects are held in one fixed order, the order the time-out walks.
    QStringList order;
    for (db::TComponent* component : f.window->DataObjects().Components())
        order << QString::fromStdString(component->Name());
    QCOMPARE(order,
             (QStringList{"pubADOConnection", "adocntn_TTRS", "tmpADODataSet", "ResultADODataSet",
                          "ResultDataSource", "ADOCommand1", "browTntADOTableLX", "browDataSource",
                          "adods_TTRS", "dsrc_TTRS"}));
}

void TestTVelkinConnect::ttrsConnection_data() {
    QTest::addColumn<QString>("typedName");
    QTest::addColumn<QString>("nameAfter");
    QTest::addColumn<bool>("ttrsOpen");
    QTest::newRow("empty name becomes the default") << ""
                                                    << "PELMAR_TTRS" << true;
    QTest::newRow("blank name becomes the default") << "   "
                                                    << "PELMAR_TTRS" << true;
    QTest::newRow("named database") << "PELMAR_GB"
                                    << "PELMAR_GB" << true;
    QTest::newRow("database that does not exist") << "NO_SUCH_DB"
                                                  << "NO_SUCH_DB" << false;
}

void TestTVelkinConnect::ttrsConnection() {
    QFETCH(QString, typedName);
    QFETCH(QString, nameAfter);
    QFETCH(bool, ttrsOpen);
    ConnectFixture f(server_->host(), server_->port());
    f.control<QCheckBox>("chkbox_TTRS")->setChecked(true);
    f.control<QLineEdit>("edt_TTRSDB")->setText(typedName);
    f.pressConnect();

    QCOMPARE(f.control<QLineEdit>("edt_TTRSDB")->text(), nameAfter);
    QCOMPARE(f.ttrsConnected(), ttrsOpen);
    QVERIFY(f.sharedConnected());
    QCOMPARE(f.control<QLabel>("lbStatus")->text(), QString("Connected"));
    QCOMPARE(f.tabShown("TTRS"), ttrsOpen);
    QVERIFY(f.tabShown("DbTable"));
    QVERIFY(f.tabShown("SQLCommand"));
    QCOMPARE(f.window->windowTitle(),
             QString("Velkin(SQL) - %1 : %2").arg(server_->host().c_str()).arg(server_->port()));
    if (ttrsOpen) {
        QCOMPARE(f.dialogs.boxes.size(), size_t(0));
        return;
    }
    QCOMPARE(f.dialogs.boxes.size(), size_t(2));
    QCOMPARE(f.dialogs.boxes[0].kind, BoxKind::Error);
    QCOMPARE(f.dialogs.boxes[0].text,
             ConnectFailed + "[FreeTDS][SQL Server]Login failed for user 'sa'.\n"
                             "[FreeTDS][SQL Server]Cannot open database \"NO_SUCH_DB\" requested "
                             "by the login. The login failed.\n"
                             "[FreeTDS][SQL Server]Unable to connect to data source");
    QCOMPARE(f.dialogs.boxes[1].kind, BoxKind::Plain);
    QCOMPARE(f.dialogs.boxes[1].text, QString("Unable to connect PELMAR_TTRS database"));
}

void TestTVelkinConnect::disconnectClosesBothConnections() {
    ConnectFixture f(server_->host(), server_->port());
    f.control<QCheckBox>("chkbox_TTRS")->setChecked(true);
    f.pressConnect();
    QVERIFY(f.ttrsConnected());
    QVERIFY(f.tabShown("TTRS"));

    f.window->close(); // closing the window disconnects
    QVERIFY(!f.sharedConnected());
    QVERIFY(!f.ttrsConnected());
    QCOMPARE(f.control<QLabel>("lbStatus")->text(), QString("Disconnected"));
    QVERIFY(!f.tabShown("TTRS"));
    QCOMPARE(f.dialogs.boxes.size(), size_t(0));
}

void TestTVelkinConnect::firstTabAfterLostConnection_data() {
    QTest::addColumn<bool>("lost");
    QTest::addColumn<QString>("status");
    QTest::newRow("still connected: nothing changes") << false << "Connected";
    QTest::newRow("connection lost: back to disconnected") << true << "Disconnected";
}

void TestTVelkinConnect::firstTabAfterLostConnection() {
    QFETCH(bool, lost);
    QFETCH(QString, status);
    ConnectFixture f(server_->host(), server_->port());
    f.pressConnect();
    f.tabs()->setCurrentWidget(f.control<QWidget>("DbTable"));
    if (lost)
        f.dataObject<ado::TADOConnection>("pubADOConnection").Close();
    f.tabs()->setCurrentIndex(0);

    QCOMPARE(f.control<QLabel>("lbStatus")->text(), status);
    QCOMPARE(f.tabShown("DbTable"), !lost);
    QCOMPARE(f.listed().isEmpty(), lost);
    QCOMPARE(f.control<QPushButton>("btnConnect")->isEnabled(), lost);
}

QTEST_MAIN(TestTVelkinConnect)
#include "tst_TVelkinConnect.moc"
