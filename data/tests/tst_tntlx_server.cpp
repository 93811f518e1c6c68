// The Unicode dataset against the stand-in server: long text columns, the
// "SELECT 0" probe of a failed open, recovery by connection status (open and
// requery), the reconnect capability, and writes that do or do not reach the
// table as seen over a second connection. Fails at once when the stand-in
// cannot answer "SELECT 1".
#include "data/TntLXAdoDataSet.h"
#include "data/db/VariantConv.h"
#include "data/db/tests/DemoServer.h"

#include <QTest>

#include <functional>

using namespace tnt;

using dbtest::Message;

namespace {

/// Counts the probes and lets a test decide the connection status.
class ProbedTable : public TTntADOTableLX {
public:
    int probes = 0;
    std::function<int()> scriptedStatus;

    int ConnectionStatus() override {
        return scriptedStatus ? scriptedStatus() : TTntADOTableLX::ConnectionStatus();
    }

protected:
    void ExecuteProbe(ado::TADOConnection& connection) override {
        ++probes;
        TTntADOTableLX::ExecuteProbe(connection);
    }
};

/// A connection's reconnect capability whose reconnect does what the test says.
class ScriptedReconnect : public ITntInterfaceSource, public ITntConnectionReconnect {
public:
    explicit ScriptedReconnect(std::function<void()> action) : action_(std::move(action)) {}
    void* QueryInterface(const TGuid& iid) override {
        return iid == ITntConnectionReconnect::IID ? static_cast<ITntConnectionReconnect*>(this)
                                                   : nullptr;
    }
    void Reconnect() override { action_(); }

private:
    std::function<void()> action_;
};

} // namespace

class TntLXServerTest : public QObject {
    Q_OBJECT

    std::unique_ptr<standin::StandinProcess> server_;
    std::unique_ptr<db::TADOConnectionComponent> connection_, other_;

    WideString ConnectionString() const { return dbtest::DemoConnectionString(*server_); }
    std::unique_ptr<db::TADOConnectionComponent> Connect() const {
        return dbtest::ConnectToDemo(*server_);
    }
    /// The Name of row `id` as a second connection sees it.
    QString NameSeenByOther(int id) const {
        auto rs = other_->Execute(
            QString("SELECT Name FROM TntLX_Items WHERE ID = %1").arg(id).toStdU16String());
        return QString::fromStdU16String(db::VarToWide(rs->Fields(0).Value()));
    }

private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();
    void longTextColumnsAreWideStrings_data();
    void longTextColumnsAreWideStrings();
    void failedOpenProbesOnceThenRaisesInheritedError();
    void noProbeWithoutConnectionComponent();
    void openRecoveryByStatus_data();
    void openRecoveryByStatus();
    void requeryRecoveryByStatus_data();
    void requeryRecoveryByStatus();
    void connectionStatus_data();
    void connectionStatus();
    void editPostedAndReadBackOverSecondConnection();
    void unchangedWriteSendsNoUpdate();
};

void TntLXServerTest::initTestCase() {
    try {
        server_ =
            std::make_unique<standin::StandinProcess>(std::vector<std::string>{"--seed", "demo"});
        connection_ = Connect();
        other_ = Connect();
        auto rs = connection_->Execute(u"SELECT 1");
        if (!rs->Active() || rs->RecordCount() != 1)
            QFAIL("the stand-in cannot answer SELECT 1");
    } catch (const std::exception& e) {
        QFAIL(qPrintable(QString("the stand-in is not available: ") + e.what()));
    }
    connection_->Execute(u"CREATE TABLE TntLX_Items (ID int NOT NULL PRIMARY KEY, "
                         u"Name nvarchar(40) NULL, Code varchar(10) NULL, Memo ntext NULL, "
                         u"Note text NULL)");
}

void TntLXServerTest::init() {
    connection_->Execute(u"DELETE FROM TntLX_Items");
    connection_->Execute(u"INSERT INTO TntLX_Items (ID, Name, Code, Memo, Note) "
                         u"VALUES (1, N'Pear', 'P', N'long wide', 'long narrow')");
    connection_->Execute(u"INSERT INTO TntLX_Items (ID, Name) VALUES (2, NULL)");
}

void TntLXServerTest::cleanupTestCase() {
    other_.reset();
    connection_.reset();
    server_.reset();
}

void TntLXServerTest::longTextColumnsAreWideStrings_data() {
    QTest::addColumn<QString>("column");
    QTest::addColumn<QString>("value");
    QTest::newRow("ntext") << "Memo"
                           << "long wide";
    QTest::newRow("text") << "Note"
                          << "long narrow";
}

void TntLXServerTest::longTextColumnsAreWideStrings() {
    QFETCH(QString, column);
    QFETCH(QString, value);
    TTntADOTableLX table;
    table.SetConnection(connection_.get());
    table.SetTableName(u"TntLX_Items");
    table.Open();
    QVERIFY(table.IsSQLServer());
    TField* f = table.FieldByName(column.toStdString());
    QCOMPARE(f->DataType(), db::ftWideString);
    QCOMPARE(f->Size(), 2147483647);
    QVERIFY(dynamic_cast<TTntWideStringField*>(f));
    QCOMPARE(QString::fromStdU16String(f->AsWideString()), value);
    QCOMPARE(table.FieldByName("Code")->DataType(), db::ftString);
}

void TntLXServerTest::failedOpenProbesOnceThenRaisesInheritedError() {
    db::TADOTable plain;
    plain.SetConnection(connection_.get());
    plain.SetTableName(u"TntLX_Missing");
    const QString inherited = Message([&] { plain.Open(); });
    QVERIFY(!inherited.isEmpty());

    ProbedTable table;
    table.SetConnection(connection_.get());
    table.SetTableName(u"TntLX_Missing");
    QCOMPARE(Message([&] { table.Open(); }), inherited);
    QCOMPARE(table.probes, 1);
    QVERIFY(!table.Active());
    QVERIFY(!table.Recordset());
    // The connection is still usable afterwards.
    table.SetTableName(u"TntLX_Items");
    table.Open();
    QCOMPARE(table.RecordCount(), 2);
}

void TntLXServerTest::noProbeWithoutConnectionComponent() {
    ProbedTable table;
    table.SetConnectionString(ConnectionString());
    table.SetTableName(u"TntLX_Missing");
    QVERIFY(!Message([&] { table.Open(); }).isEmpty());
    QCOMPARE(table.probes, 0);
    QVERIFY(!table.Active());
}

void TntLXServerTest::openRecoveryByStatus_data() {
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("outcome"); // "error", "opened", "abort", "internal"
    QTest::newRow("alive") << 0 << "error";
    QTest::newRow("broken") << 1 << "error";
    QTest::newRow("reconnected") << 2 << "opened";
    QTest::newRow("reconnecting") << 3 << "abort";
    QTest::newRow("unknown") << 4 << "internal";
}

void TntLXServerTest::openRecoveryByStatus() {
    QFETCH(int, status);
    QFETCH(QString, outcome);
    ProbedTable table;
    table.SetConnection(connection_.get());
    table.SetTableName(u"TntLX_Missing");
    int asked = 0;
    table.scriptedStatus = [&] {
        ++asked;
        // What a reconnect would have mended: the retry finds the table.
        table.SetTableName(u"TntLX_Items");
        return status;
    };
    QString got;
    try {
        table.Open();
        got = "opened";
    } catch (const db::EAbort&) {
        got = "abort";
    } catch (const ETntInternalError& e) {
        QCOMPARE(QString(e.what()), QString("Internal Error: Unexpected connection status."));
        got = "internal";
    } catch (const std::exception& e) {
        QVERIFY2(QString(e.what()).contains("TntLX_Missing"), e.what());
        got = "error";
    }
    QCOMPARE(got, outcome);
    QCOMPARE(asked, 1);
    QCOMPARE(table.Active(), outcome == "opened");
    if (table.Active())
        QCOMPARE(table.RecordCount(), 2);
}

void TntLXServerTest::requeryRecoveryByStatus_data() {
    openRecoveryByStatus_data();
}

void TntLXServerTest::requeryRecoveryByStatus() {
    QFETCH(int, status);
    QFETCH(QString, outcome);
    connection_->Execute(u"CREATE TABLE TntLX_Scratch (ID int NOT NULL PRIMARY KEY)");
    connection_->Execute(u"INSERT INTO TntLX_Scratch (ID) VALUES (7)");
    ProbedTable table;
    table.SetConnection(connection_.get());
    table.SetTableName(u"TntLX_Scratch");
    table.Open();
    connection_->Execute(u"DROP TABLE TntLX_Scratch");
    int asked = 0;
    table.scriptedStatus = [&] {
        ++asked;
        connection_->Execute(u"CREATE TABLE TntLX_Scratch (ID int NOT NULL PRIMARY KEY)");
        connection_->Execute(u"INSERT INTO TntLX_Scratch (ID) VALUES (8)");
        return status;
    };
    QString got;
    try {
        table.Requery();
        got = "opened";
    } catch (const db::EAbort&) {
        got = "abort";
    } catch (const ETntInternalError&) {
        got = "internal";
    } catch (const std::exception&) {
        got = "error";
    }
    connection_->Execute(u"DROP TABLE TntLX_Scratch");
    QCOMPARE(got, outcome);
    QCOMPARE(asked, 1);
    if (outcome == "opened") {
        QVERIFY(table.Active());
        QCOMPARE(table.FieldByName("ID")->AsInteger(), 8);
    }
}

void TntLXServerTest::connectionStatus_data() {
    QTest::addColumn<QString>("situation");
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("probes");
    QTest::newRow("alive") << "alive" << 0 << 1;
    QTest::newRow("closed, no capability") << "closed" << 1 << 0;
    QTest::newRow("closed, reconnects") << "reconnects" << 2 << 1;
    QTest::newRow("closed, reconnect does not help") << "stays closed" << 1 << 0;
    QTest::newRow("failure during a reconnect") << "nested" << 2 << 1;
    QTest::newRow("reconnect raises") << "raises" << -1 << 0;
}

void TntLXServerTest::connectionStatus() {
    QFETCH(QString, situation);
    QFETCH(int, status);
    QFETCH(int, probes);
    auto connection = Connect();
    ProbedTable table;
    table.SetConnection(connection.get());
    int nested = -1;
    if (situation != "alive")
        connection->Close();
    if (situation != "alive" && situation != "closed") {
        connection->InsertComponent(std::make_unique<ScriptedReconnect>([&] {
            QVERIFY(ReconnectInProgress());
            if (situation == "raises")
                throw std::runtime_error("reconnect refused");
            if (situation == "nested")
                nested = table.ConnectionStatus();
            if (situation != "stays closed")
                connection->Open();
        }));
    }
    if (status < 0)
        QCOMPARE(Message([&] { table.ConnectionStatus(); }), QString("reconnect refused"));
    else
        QCOMPARE(table.ConnectionStatus(), status);
    QCOMPARE(table.probes, probes);
    QVERIFY(!ReconnectInProgress());
    if (situation == "nested")
        QCOMPARE(nested, 3);
}

void TntLXServerTest::editPostedAndReadBackOverSecondConnection() {
    TTntADOTableLX table;
    table.SetConnection(connection_.get());
    table.SetTableName(u"TntLX_Items");
    table.Open();
    QVERIFY(table.Locate("ID", 1, 0));
    table.Edit();
    table.FieldByName("Name")->SetAsWideString(u"梨子 Birne");
    QVERIFY(table.Modified());
    table.Post();
    QCOMPARE(NameSeenByOther(1), QString::fromUtf8("梨子 Birne"));
}

void TntLXServerTest::unchangedWriteSendsNoUpdate() {
    TTntADOTableLX table;
    table.SetConnection(connection_.get());
    table.SetTableName(u"TntLX_Items");
    table.Open();
    QVERIFY(table.Locate("ID", 1, 0));
    // Another writer changes the row after it was fetched.
    other_->Execute(u"UPDATE TntLX_Items SET Name = N'Quince' WHERE ID = 1");
    table.Edit();
    table.FieldByName("Name")->SetAsWideString(u"Pear"); // what the dataset holds
    table.FieldByName("Memo")->SetAsWideString(u"long wide");
    QVERIFY(!table.Modified());
    table.Post();
    QCOMPARE(table.State(), db::dsBrowse);
    // Had the post written the unchanged value, the other writer's would be gone.
    QCOMPARE(NameSeenByOther(1), QString("Quince"));
}

QTEST_GUILESS_MAIN(TntLXServerTest)
#include "tst_tntlx_server.moc"
