// Keys, column metadata and insert defaults of the Unicode dataset against the
// stand-in: index definitions (composite, unique, plain), every kind of default
// in the demo tables, NOT NULL columns refused by name before the server is
// asked, a default the server cannot evaluate, names that need quoting, one
// columns request per table and connection, and a disconnect emptying the cache.
#include "data/TntLXAdoDataSet.h"
#include "data/db/VariantConv.h"
#include "data/db/tests/DemoServer.h"

#include <QTest>

#include <ctime>

using namespace tnt;

using dbtest::Message;

namespace {

QString Text(const Variant& v) {
    return QString::fromStdU16String(db::VarToWide(v));
}

} // namespace

class TntLXSchemaTest : public QObject {
    Q_OBJECT

    std::unique_ptr<standin::StandinProcess> server_;
    std::unique_ptr<db::TADOConnectionComponent> connection_, other_;

    std::unique_ptr<TTntADOTableLX> OpenTable(const char16_t* name,
                                              ado::TADOConnection* connection = nullptr) {
        auto table = std::make_unique<TTntADOTableLX>();
        table->SetConnection(connection ? connection : connection_.get());
        table->SetTableName(name);
        table->Open();
        return table;
    }

private slots:
    void initTestCase() {
        try {
            server_ = std::make_unique<standin::StandinProcess>(
                std::vector<std::string>{"--seed", "demo"});
            connection_ = dbtest::ConnectToDemo(*server_);
            other_ = dbtest::ConnectToDemo(*server_);
        } catch (const std::exception& e) {
            QFAIL(qPrintable(QString("the stand-in is not available: ") + e.what()));
        }
        connection_->Execute(
            u"CREATE TABLE Schema_Keys (A int NOT NULL, B varchar(10) NOT NULL, "
            u"C int NULL, D int NULL, CONSTRAINT PK_Schema_Keys PRIMARY KEY (A, B))");
        connection_->Execute(u"CREATE UNIQUE INDEX UX_Schema_Keys_C ON Schema_Keys (C)");
        connection_->Execute(u"CREATE INDEX IX_Schema_Keys_D ON Schema_Keys (D)");
        connection_->Execute(u"CREATE TABLE [Schema Q'uote] (ID int NOT NULL PRIMARY KEY, "
                             u"[it's] int NULL DEFAULT ((5)))");
    }
    void cleanupTestCase() {
        other_.reset();
        connection_.reset();
        server_.reset();
    }

    void indexDefinitionsFromTheCatalogue() {
        auto table = OpenTable(u"Schema_Keys");
        db::TIndexDefs& defs = table->IndexDefs();
        defs.Update();
        QCOMPARE(defs.Count(), 3);
        const db::TIndexDef* primary = defs.Find("PK_Schema_Keys");
        QVERIFY(primary);
        QCOMPARE(QString::fromStdString(primary->Fields), QString("A;B"));
        QCOMPARE(primary->Options, db::TIndexOptions(db::ixPrimary | db::ixUnique));
        const db::TIndexDef* unique = defs.Find("ux_schema_keys_c");
        QVERIFY(unique);
        QCOMPARE(unique->Options, db::TIndexOptions(db::ixUnique));
        const db::TIndexDef* plain = defs.Find("IX_Schema_Keys_D");
        QVERIFY(plain);
        QCOMPARE(QString::fromStdString(plain->Fields), QString("D"));
        QCOMPARE(plain->Options, db::TIndexOptions(0));
    }

    void indexDiscoveryNeverRaises_data() {
        QTest::addColumn<int>("commandType");
        QTest::addColumn<QString>("text");
        QTest::newRow("text command") << int(db::cmdText) << "SELECT * FROM Schema_Keys";
        QTest::newRow("owner prefix") << int(db::cmdTable) << "dbo.Schema_Keys";
        QTest::newRow("no such table") << int(db::cmdTable) << "Schema_Missing";
    }
    void indexDiscoveryNeverRaises() {
        QFETCH(int, commandType);
        QFETCH(QString, text);
        TTntADODataSetLX ds;
        ds.SetConnection(connection_.get());
        ds.SetCommandType(db::TCommandType(commandType));
        ds.SetCommandText(text.toStdU16String());
        ds.IndexDefs().Update(); // must not raise, whatever the catalogue says
        if (commandType == int(db::cmdText))
            QCOMPARE(ds.IndexDefs().Count(), 0);
    }

    void insertedRowShowsItsColumnDefaults() {
        auto table = OpenTable(u"Customers");
        table->LoadColumnMetadata();
        QVERIFY(table->ColumnMetadataLoaded());
        QVERIFY(table->FieldByName("Name")->Required());
        QVERIFY(!table->FieldByName("CustomerID")->Required());
        QVERIFY(!table->FieldByName("City")->Required());
        const std::time_t before = std::time(nullptr);
        table->Insert();
        QVERIFY(!table->Modified());
        QCOMPARE(table->FieldByName("Balance")->AsFloat(), 0.0);
        QCOMPARE(QString::fromStdString(table->FieldByName("Status")->AsString()), QString("A"));
        QCOMPARE(QString::fromStdString(table->FieldByName("CreatedBy")->AsString()),
                 QString("sa"));
        QCOMPARE(table->FieldByName("Rating")->AsFloat(), 2.5);
        QVERIFY(!table->FieldByName("RowGuid")->IsNull());
        const ado::DateTime created = table->FieldByName("Created")->AsDateTime();
        std::tm local{};
        localtime_r(&before, &local);
        QCOMPARE(int(created.year), local.tm_year + 1900);
        QCOMPARE(int(created.day), local.tm_mday);
        QVERIFY(table->FieldByName("CustomerID")->IsNull()); // identities are never written
        // In insert state the old value is the column's default.
        QCOMPARE(Text(table->FieldByName("Status")->OldValue()), QString("A"));

        // A NOT NULL column left empty is refused by name before the server is asked.
        table->FieldByName("City")->SetAsString("Graz");
        const QString refused = Message([&] { table->Post(); });
        QVERIFY2(refused.contains("'Name'"), qPrintable(refused));
        QCOMPARE(table->State(), db::dsInsert);

        table->FieldByName("Name")->SetAsString("Zeller");
        table->Post();
        auto rs = other_->Execute(
            u"SELECT Status, CreatedBy, Balance, Rating FROM Customers WHERE Name = 'Zeller'");
        QCOMPARE(rs->RecordCount(), int64_t{1});
        QCOMPARE(Text(rs->Fields(0).Value()), QString("A"));
        QCOMPARE(Text(rs->Fields(1).Value()), QString("sa"));
        QCOMPARE(db::VarToDouble(rs->Fields(2).Value()), 0.0);
        QCOMPARE(db::VarToDouble(rs->Fields(3).Value()), 2.5);
    }

    void compositeKeyTableDefaults() {
        auto table = OpenTable(u"OrderLines");
        table->LoadColumnMetadata();
        table->Append();
        QCOMPARE(table->FieldByName("Qty")->AsInteger(), 1);
        QCOMPARE(table->FieldByName("Shipped")->AsBoolean(), false);
        QCOMPARE(QString::fromStdU16String(table->FieldByName("Comment")->AsWideString()),
                 QString("none"));
        QCOMPARE(table->FieldByName("Unit Price")->AsFloat(), 0.0);
        QVERIFY(table->FieldByName("LineNo")->Required());
        table->Cancel();
    }

    void failingDefaultIsDroppedAtTheFirstInsert() {
        auto table = OpenTable(u"Customers");
        table->LoadColumnMetadata();
        TField* rating = table->FieldByName("Rating");
        rating->SetDefaultExpression("(no_such_column)"); // its entry asks the server
        table->Insert();
        QVERIFY(rating->IsNull());
        QVERIFY(rating->DefaultExpression().empty());
        QCOMPARE(QString::fromStdString(table->FieldByName("Status")->AsString()), QString("A"));
        table->Cancel();
    }

    void quotedNamesLoad() {
        auto table = OpenTable(u"[Schema Q'uote]");
        table->LoadColumnMetadata();
        QCOMPARE(QString::fromStdString(table->FieldByName("it's")->DefaultExpression()),
                 QString("((5))"));
        table->Insert();
        QCOMPARE(table->FieldByName("it's")->AsInteger(), 5);
        table->FieldByName("ID")->SetAsInteger(1);
        table->Post();
        auto rs = other_->Execute(u"SELECT [it's] FROM [Schema Q'uote] WHERE ID = 1");
        QCOMPARE(db::VarToInt64(rs->Fields(0).Value()), int64_t{5});
    }

    void oneColumnsRequestPerTableAndConnection() {
        auto connection = dbtest::ConnectToDemo(*server_);
        auto first = OpenTable(u"Customers", connection.get());
        auto second = std::make_unique<TTntADODataSetLX>();
        second->SetConnection(connection.get());
        second->SetCommandText(u"SELECT Name, City FROM customers WHERE City IS NOT NULL");
        second->Open();
        const int start = connection->SchemaRequestCount();
        first->LoadColumnMetadata();
        second->LoadColumnMetadata();
        first->LoadColumnMetadata();
        QCOMPARE(connection->SchemaRequestCount() - start, 1);
        QVERIFY(second->FieldByName("Name")->Required());

        // A new login may see another catalogue: the disconnect empties the cache.
        first->Close();
        second->Close();
        connection->Close();
        QCOMPARE(TTntADODataSetLX::GetSchemaCache(*connection).Count(), 0);
        connection->Open();
        first->Open();
        first->LoadColumnMetadata();
        QCOMPARE(connection->SchemaRequestCount() - start, 2);
    }
};

QTEST_GUILESS_MAIN(TntLXSchemaTest)
#include "tst_tntlx_schema.moc"
