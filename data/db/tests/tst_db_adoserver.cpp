// The ADO datasets against the stand-in server: a table opened by name, an
// edit posted and read back, a refused post, requery, and a statement
// without rows handed over as a recordset. Fails at once when the stand-in
// cannot answer "SELECT 1".
#include "DemoServer.h"
#include "data/ado/Command.h"
#include "data/db/ADODataSet.h"

#include <QTest>

using namespace db;

class AdoServerTest : public QObject {
    Q_OBJECT

    std::unique_ptr<standin::StandinProcess> server_;
    std::unique_ptr<TADOConnectionComponent> connection_;

    WideString ConnectionString() const { return dbtest::DemoConnectionString(*server_); }

private slots:
    void initTestCase();
    void cleanupTestCase();
    void tableOpensByName();
    void editPostAndReadBack();
    void refusedPostKeepsEditPending();
    void requerySeesOtherWriters();
    void statementWithoutRowsIsNotOpen();
    void ownConnectionString();
};

void AdoServerTest::initTestCase() {
    try {
        server_ =
            std::make_unique<standin::StandinProcess>(std::vector<std::string>{"--seed", "demo"});
        connection_ = dbtest::ConnectToDemo(*server_);
        auto rs = connection_->Execute(u"SELECT 1");
        if (!rs->Active() || rs->RecordCount() != 1)
            QFAIL("the stand-in cannot answer SELECT 1");
    } catch (const std::exception& e) {
        QFAIL(qPrintable(QString("the stand-in is not available: ") + e.what()));
    }
}

void AdoServerTest::cleanupTestCase() {
    connection_.reset();
    server_.reset();
}

void AdoServerTest::tableOpensByName() {
    TADOTable table;
    table.SetConnection(connection_.get());
    table.SetTableName(u"Customers");
    table.Open();
    QVERIFY(table.RecordCount() > 0);
    QCOMPARE(table.Recordset()->Source(), std::u16string(u"Customers"));
    QCOMPARE(table.FieldByName("customerid")->DataType(), ftAutoInc);
    QCOMPARE(table.FieldByName("Name")->DataType(), ftString);
    QCOMPARE(table.FieldByName("Notes")->DataType(), ftMemo);
    QVERIFY(!table.FieldByName("Name")->AsString().empty());
    int rows = 0;
    for (table.First(); !table.Eof(); table.Next())
        ++rows;
    QCOMPARE(rows, table.RecordCount());
}

void AdoServerTest::editPostAndReadBack() {
    TADOTable table;
    table.SetConnection(connection_.get());
    table.SetTableName(u"Customers");
    table.Open();
    table.Next();
    const int id = table.FieldByName("CustomerID")->AsInteger();
    table.Edit();
    table.FieldByName("City")->SetAsString("Oslo");
    try {
        table.Post();
    } catch (const std::exception& e) {
        QFAIL(e.what());
    }
    QCOMPARE(table.FieldByName("City")->AsString(), std::string("Oslo"));
    table.Close();

    TADODataSet check;
    check.SetConnection(connection_.get());
    check.SetCommandText(u"SELECT City FROM Customers WHERE CustomerID = " +
                         QString::number(id).toStdU16String());
    check.Open();
    QCOMPARE(check.RecordCount(), 1);
    QCOMPARE(check.FieldByName("City")->AsString(), std::string("Oslo"));
}

void AdoServerTest::refusedPostKeepsEditPending() {
    TADOTable table;
    table.SetConnection(connection_.get());
    table.SetTableName(u"Customers");
    table.Open();
    const std::string name = table.FieldByName("Name")->AsString();
    table.Edit();
    table.FieldByName("Name")->Clear(); // NOT NULL column: the server refuses
    table.FieldByName("Name")->SetRequired(false);
    QVERIFY_THROWS_EXCEPTION(std::exception, table.Post());
    QCOMPARE(table.State(), dsEdit);
    QVERIFY(table.FieldByName("Name")->IsNull());
    table.Cancel();
    QCOMPARE(table.FieldByName("Name")->AsString(), name);
}

void AdoServerTest::requerySeesOtherWriters() {
    TADODataSet ds;
    ds.SetConnection(connection_.get());
    ds.SetCommandText(u"SELECT CustomerID, City FROM Customers ORDER BY CustomerID");
    ds.Open();
    const int id = ds.FieldByName("CustomerID")->AsInteger();
    ado::TADOCommand command;
    command.Connection = connection_.get();
    command.setCommandText(u"UPDATE Customers SET City = 'Bergen' WHERE CustomerID = " +
                           QString::number(id).toStdU16String());
    command.Execute();
    QVERIFY(ds.FieldByName("City")->AsString() != "Bergen");
    ds.Requery();
    QVERIFY(ds.Active());
    QCOMPARE(ds.RecNo(), 1);
    QCOMPARE(ds.FieldByName("City")->AsString(), std::string("Bergen"));
}

void AdoServerTest::statementWithoutRowsIsNotOpen() {
    ado::TADOCommand command;
    command.Connection = connection_.get();
    command.setCommandText(u"UPDATE Customers SET City = City WHERE 1 = 0");
    TADODataSet result;
    try {
        result.SetRecordset(command.Execute());
        QFAIL("should raise");
    } catch (const EDatabaseError& e) {
        QCOMPARE(std::string(e.what()), std::string("Recordset is not open"));
    }
    command.setCommandText(u"SELECT Name FROM Customers");
    result.SetRecordset(command.Execute());
    QVERIFY(result.Active());
    QVERIFY(result.RecordCount() > 0);
}

void AdoServerTest::ownConnectionString() {
    TADOQuery query;
    query.SetConnectionString(ConnectionString());
    query.SetSQL(u"SELECT COUNT(*) AS N FROM Customers");
    query.Open();
    QVERIFY(query.Fields()[0]->AsInteger() > 0);
}

QTEST_APPLESS_MAIN(AdoServerTest)
#include "tst_db_adoserver.moc"
