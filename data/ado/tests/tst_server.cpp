// The ADO layer against the stand-in server: logging in and its failures, result
// sets with their base columns and national text, writing rows back, schema
// rowsets and commands.
#include "data/ado/Command.h"
#include "data/ado/Connection.h"
#include "data/ado/ConnectionString.h"
#include "data/ado/Recordset.h"
#include "data/odbc/Connection.h"
#include "data/odbc/Error.h"
#include "standin/launcher/StandinProcess.h"

#include <QStringList>
#include <QTest>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace ado;

namespace {
QString q(const WideString& s) {
    return QString::fromStdU16String(s);
}
WideString w(const QString& s) {
    return s.toStdU16String();
}
QString text(const Variant& v) {
    if (v.is<WideString>())
        return q(v.get<WideString>());
    if (v.is<int64_t>())
        return QString::number(v.get<int64_t>());
    return v.isNull() ? "<null>" : "<?>";
}

// A loopback port that nothing listens on (bound, then released).
int unusedPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    ::close(fd);
    return ntohs(a.sin_port);
}
} // namespace

class TestAdoServer : public QObject {
    Q_OBJECT

    std::unique_ptr<standin::StandinProcess> server_;

    WideString connectionString(const QString& database, const QString& password = "velkin",
                                const QString& source = {}) const {
        const QString ds =
            source.isEmpty() ? QString::fromStdString(server_->dataSource()) : source;
        return w("Provider=SQLOLEDB.1;Persist Security Info=True;Data Source=" + ds +
                 ";Initial Catalog=" + database + ";User ID=sa;Password=" + password);
    }

    std::unique_ptr<TADOConnection> connect(const QString& database) {
        auto c = std::make_unique<TADOConnection>();
        c->setConnectionString(connectionString(database));
        c->setConnectionTimeout(10);
        c->Open();
        return c;
    }

    std::shared_ptr<Recordset> open(TADOConnection& c, const WideString& sql,
                                    LockType lock = LockType::Optimistic) {
        auto rs = std::make_shared<Recordset>();
        rs->lockType = lock;
        rs->Open(sql, c);
        return rs;
    }

private slots:
    void initTestCase() {
        try {
            server_ = std::make_unique<standin::StandinProcess>(
                std::vector<std::string>{"--seed", "demo"});
            auto c = connect("master");
            auto rs = c->Execute(u"SELECT 1");
            if (!rs->Active() || rs->RecordCount() != 1)
                QFAIL("the stand-in cannot answer SELECT 1");
        } catch (const std::exception& e) {
            QFAIL(qPrintable(QString("the stand-in is not available: ") + e.what()));
        }
    }

    void opensAndClosesTellingClients() {
        TADOConnection c;
        QList<bool> told;
        const int token = c.RegisterClient([&](TADOConnection&, bool on) { told << on; });
        c.setConnectionString(connectionString("master"));
        QVERIFY(!c.Connected());
        c.Open();
        QVERIFY(c.Connected());
        QCOMPARE(c.State(), ObjectState::Open);
        QVERIFY_THROWS_EXCEPTION(AdoError, c.setConnectionString(u"x=1"));
        c.Close();
        c.Close();
        QVERIFY(!c.Connected());
        QCOMPARE(told, (QList<bool>{true, false}));
        c.UnRegisterClient(token);
        c.Open();
        c.Close();
        QCOMPARE(told.size(), 2);
    }

    void loginFailuresCarryDriverText_data() {
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("listening");
        QTest::addColumn<QString>("firstLine");
        QTest::newRow("refused") << "wrong" << true
                                 << "[FreeTDS][SQL Server]Login failed for user 'sa'.";
        QTest::newRow("nothing listening")
            << "velkin" << false
            << "[FreeTDS][SQL Server]Unable to connect: Adaptive Server is unavailable or does "
               "not exist";
    }
    void loginFailuresCarryDriverText() {
        QFETCH(QString, password);
        QFETCH(bool, listening);
        QFETCH(QString, firstLine);
        TADOConnection c;
        c.setConnectionTimeout(10);
        c.setConnectionString(
            connectionString("master", password,
                             listening ? QString() : "127.0.0.1," + QString::number(unusedPort())));
        try {
            c.Open();
            QFAIL("logged in");
        } catch (const odbc::Error& e) {
            QCOMPARE(QString(e.what()).split('\n').first(), firstLine);
            QCOMPARE(q(e.wideMessage()), QString(e.what()));
        }
        QVERIFY(!c.Connected());
    }

    // Logins and passwords with braces reach the server exactly, through the
    // real driver, whatever the braces' places.
    void bracesInLoginAndPassword_data() {
        QTest::addColumn<QString>("login");
        QTest::addColumn<QString>("password");
        QTest::newRow("brace pair") << "sa"
                                    << "p{a}ss";
        QTest::newRow("lone closing brace") << "sa"
                                            << "pa}ss";
        QTest::newRow("only a closing brace") << "sa"
                                              << "}";
        QTest::newRow("braced whole") << "sa"
                                      << "{x}";
        QTest::newRow("semicolon and closing brace last") << "sa"
                                                          << "a;b}";
        QTest::newRow("semicolon inside braces") << "sa"
                                                 << "{a;b}c";
        QTest::newRow("login with braces") << "{u}s}er"
                                           << "}{";
        QTest::newRow("blanks at the ends") << "sa"
                                            << " p}w ";
        // No driver connection string carries "};": these go to SQLConnect apart.
        QTest::newRow("password holding };") << "sa"
                                             << "a};b";
        QTest::newRow("password of }; and ; only") << "sa"
                                                   << ";};;";
        QTest::newRow("login holding };") << "{x};"
                                          << "p};";
        QTest::newRow("Chinese beside };") << "\u7BA1\u7406};"
                                           << "\u5BC6};\u78BC ";
    }
    void bracesInLoginAndPassword() {
        QFETCH(QString, login);
        QFETCH(QString, password);
        standin::StandinProcess server(
            {"--user", login.toStdString(), "--password", password.toStdString()});
        ConnectionString cs;
        cs.set(u"Provider", u"SQLOLEDB.1");
        cs.set(u"Data Source", w(QString::fromStdString(server.dataSource())));
        cs.set(u"User ID", w(login));
        cs.set(u"Password", w(password));
        TADOConnection c;
        c.setConnectionTimeout(10);
        c.setConnectionString(cs.toString());
        c.Open();
        QVERIFY(c.Connected());
        QCOMPARE(text(c.Execute(u"SELECT suser_sname()")->Fields(0).Value()), login);
        c.Close();
        // One character less is still refused.
        cs.set(u"Password", w(password.chopped(1)));
        c.setConnectionString(cs.toString());
        QVERIFY_THROWS_EXCEPTION(odbc::Error, c.Open());
    }

    // A database whose name holds "};" is reached as well, with the values apart.
    void databaseHoldingBraceSemicolon() {
        auto admin = connect("master");
        admin->Execute(u"CREATE DATABASE [Odd};Db]");
        TADOConnection c;
        c.setConnectionTimeout(10);
        c.setConnectionString(connectionString("\"Odd};Db\""));
        c.Open();
        QCOMPARE(text(c.Execute(u"SELECT db_name()")->Fields(0).Value()), QString("Odd};Db"));
        c.Close();
        admin->Execute(u"DROP DATABASE [Odd};Db]");
    }

    void unknownProviderFails() {
        TADOConnection c;
        c.setConnectionString(u"Provider=MSDASQL;Data Source=x");
        QVERIFY_THROWS_EXCEPTION(AdoError, c.Open());
    }

    void useSwitchesDatabaseForWhatFollows() {
        auto c = connect("master");
        auto rs = open(*c, u"Use VELKIN_DEMO SELECT Name FROM Customers ORDER BY CustomerID");
        QVERIFY(rs->Active());
        QCOMPARE(rs->RecordCount(), int64_t(30));
        QCOMPARE(text(rs->Fields(u"name").Value()), QString("Alvarez"));
        QCOMPARE(q(c->odbcConnection().currentCatalog()).toUpper(), QString("VELKIN_DEMO"));
        auto next = open(*c, u"SELECT COUNT(*) FROM NoKeyLog");
        QCOMPARE(text(next->Fields(0).Value()), QString("27"));
    }

    void nationalTextArrivesWhole_data() {
        QTest::addColumn<QString>("sql");
        QTest::newRow("GBK varchar vs nvarchar")
            << "SELECT GoodsName, NameU FROM PELMAR_GB.dbo.T_GOODS ORDER BY GoodsID";
        QTest::newRow("GBK varchar cast on the server")
            << "SELECT CAST(GoodsName AS nvarchar(40)), NameU FROM PELMAR_GB.dbo.T_GOODS";
    }
    void nationalTextArrivesWhole() {
        QFETCH(QString, sql);
        auto c = connect("master");
        auto rs = open(*c, w(sql), LockType::ReadOnly);
        QVERIFY(rs->RecordCount() > 0);
        for (; !rs->Eof(); rs->MoveNext()) {
            const QString narrow = text(rs->Fields(0).Value());
            QCOMPARE(narrow, text(rs->Fields(1).Value()));
            QVERIFY(narrow.size() >= 2);
            QVERIFY2(narrow.at(0).unicode() >= 0x4E00, qPrintable(narrow));
        }
    }

    void big5TextFromTraditionalDatabase() {
        auto c = connect("PELMAR_TTRS");
        auto rs = open(*c, u"SELECT DocTitle, Memo FROM T_DOCMAS WHERE DocTitle IS NOT NULL",
                       LockType::ReadOnly);
        QVERIFY(rs->RecordCount() > 0);
        const QStringList titles = {"貨物進口報單", "電子文件",   "報關行確認", "海關放行通知",
                                    "貿易商申報",   "高雄港轉運", "台北市出口", "錯誤訊息回覆"};
        int memos = 0;
        for (; !rs->Eof(); rs->MoveNext()) {
            QVERIFY2(titles.contains(text(rs->Fields(u"DocTitle").Value())),
                     qPrintable(text(rs->Fields(u"DocTitle").Value())));
            const Variant memo = rs->Fields(u"Memo").Value();
            if (memo.is<WideString>()) {
                // ntext arrives whole, with both scripts intact.
                const QString m = text(memo);
                QVERIFY(m.startsWith("本文件為電子資料交換之測試備註"));
                QVERIFY(m.size() > 4000);
                QVERIFY(m.endsWith("This memo line repeats to make a long value. "));
                ++memos;
            }
        }
        QVERIFY(memos > 0);
    }

    void baseColumnsOfAResult() {
        auto c = connect("VELKIN_DEMO");
        auto rs = open(*c, u"SELECT CustomerID, Name AS CustName, Balance * 2 AS Twice FROM "
                           u"Customers");
        Field name = rs->Fields(u"CustName");
        QCOMPARE(text(name.Property(u"BaseColumnName")), QString("Name"));
        QCOMPARE(text(name.Property(u"BaseTableName")), QString("Customers"));
        QCOMPARE(text(name.Property(u"BaseSchemaName")), QString("dbo"));
        QCOMPARE(text(name.Property(u"BaseCatalogName")).toUpper(), QString("VELKIN_DEMO"));
        QVERIFY(rs->Fields(u"Twice").Property(u"BaseTableName").isNull());
        QVERIFY(rs->Fields(u"CustomerID").Property(u"ISAUTOINCREMENT") == Variant(true));
        QCOMPARE(rs->Fields(u"CustName").Type(), DataType::VarChar);
        QCOMPARE(rs->Fields(u"CustName").DefinedSize(), int64_t(40));
        QVERIFY(rs->ActiveConnection() == c.get());
    }

    void longTextArrivesWhole() {
        auto c = connect("VELKIN_DEMO");
        const QString big = QString("0123456789").repeated(10000);
        auto n = c->Execute(w("UPDATE Customers SET Notes = '" + big + "' WHERE CustomerID = 7"));
        auto rs = open(*c, u"SELECT Notes FROM Customers WHERE CustomerID = 7");
        QCOMPARE(text(rs->Fields(0).Value()).size(), big.size());
    }

    void changedRowIsWrittenAndReadBack() {
        auto c = connect("VELKIN_DEMO");
        auto rs = open(*c, u"SELECT CustomerID, Name, City FROM Customers ORDER BY CustomerID");
        rs->Find(u"CustomerID = 3");
        rs->Fields(u"City").setValue(u"Genève");
        rs->Update();
        QCOMPARE(text(rs->Fields(u"City").Value()), QString("Genève"));

        rs->AddNew();
        rs->Fields(u"Name").setValue(u"Newcomer");
        rs->Update();
        const Variant id = rs->Fields(u"CustomerID").Value();
        QVERIFY(id.is<int64_t>() && id.get<int64_t>() > 30);

        auto other = connect("VELKIN_DEMO");
        auto check = open(*other, u"SELECT City FROM Customers WHERE CustomerID = 3");
        QCOMPARE(text(check->Fields(0).Value()), QString("Genève"));
        auto added =
            open(*other, w("SELECT Name, Status FROM Customers WHERE CustomerID = " + text(id)));
        QCOMPARE(added->RecordCount(), int64_t(1));
        QCOMPARE(text(added->Fields(u"Status").Value()), QString("A")); // the column default

        rs->Delete();
        auto gone = open(*other, w("SELECT Name FROM Customers WHERE CustomerID = " + text(id)));
        QCOMPARE(gone->RecordCount(), int64_t(0));
    }

    void keylessUpdateTouchingTwoRowsIsRolledBack() {
        auto c = connect("VELKIN_DEMO");
        auto rs = open(*c, u"SELECT * FROM NoKeyLog");
        rs->Find(u"Message = 'Event duplicated'");
        QVERIFY(!rs->Eof());
        rs->Fields(u"Message").setValue(u"changed");
        try {
            rs->Update();
            QFAIL("two rows changed");
        } catch (const AdoError& e) {
            QVERIFY2(QString(e.what()).contains("Too many rows"), e.what());
        }
        QCOMPARE(rs->editMode(), EditMode::InProgress); // the change stays pending
        auto other = connect("VELKIN_DEMO");
        auto check =
            open(*other, u"SELECT COUNT(*) FROM NoKeyLog WHERE Message = 'Event duplicated'");
        QCOMPARE(text(check->Fields(0).Value()), QString("2"));
        // A keyless row that is unique is written through its original values.
        rs->CancelUpdate();
        rs->Find(u"Message = 'Event 1 done'", 0, SearchDirection::Forward, rs->Clone()->bookmark());
        QVERIFY(!rs->Eof());
        rs->Fields(u"Severity").setValue(int64_t{3});
        rs->Update();
        auto again = open(*other, u"SELECT Severity FROM NoKeyLog WHERE Message = 'Event 1 done'");
        QCOMPARE(text(again->Fields(0).Value()), QString("3"));
    }

    // Another connection changes the row between the read and the write. A change
    // of a column that was edited is refused and the edit stays pending; changes
    // of other columns, and of columns that cannot be compared, do not stand in
    // the way.
    void changeOverAnotherConnectionsChange_data() {
        QTest::addColumn<int>("customer");
        QTest::addColumn<QString>("before"); // set before the row is read
        QTest::addColumn<QString>("theirs"); // set by the other connection
        QTest::addColumn<QString>("edited"); // the column edited here
        QTest::addColumn<bool>("refused");
        QTest::addColumn<QString>("stored"); // what the server holds afterwards
        QTest::newRow("the edited value changed") << 11 << "City = 'X'"
                                                  << "City = 'Theirs'"
                                                  << "City" << true << "Theirs";
        QTest::newRow("the edited null value filled") << 12 << "City = NULL"
                                                      << "City = 'Theirs'"
                                                      << "City" << true << "Theirs";
        QTest::newRow("the edited value emptied") << 13 << "City = 'X'"
                                                  << "City = NULL"
                                                  << "City" << true << "<null>";
        QTest::newRow("another column changed") << 14 << "City = 'X'"
                                                << "Name = 'Theirs'"
                                                << "City" << false << "Mine";
        QTest::newRow("the edited text column changed") << 15 << "Notes = 'X'"
                                                        << "Notes = 'Theirs'"
                                                        << "Notes" << false << "Mine";
    }
    void changeOverAnotherConnectionsChange() {
        QFETCH(int, customer);
        QFETCH(QString, before);
        QFETCH(QString, theirs);
        QFETCH(QString, edited);
        QFETCH(bool, refused);
        QFETCH(QString, stored);
        const QString where = " WHERE CustomerID = " + QString::number(customer);
        auto other = connect("VELKIN_DEMO");
        other->Execute(w("UPDATE Customers SET " + before + where));
        auto c = connect("VELKIN_DEMO");
        auto rs = open(*c, w("SELECT CustomerID, Name, City, Notes FROM Customers" + where));
        QCOMPARE(rs->RecordCount(), int64_t(1));
        other->Execute(w("UPDATE Customers SET " + theirs + where));

        rs->Fields(w(edited)).setValue(u"Mine");
        if (refused) {
            try {
                rs->Update();
                QFAIL("written over the other connection's change");
            } catch (const AdoError& e) {
                QCOMPARE(QString(e.what()), QString("Row cannot be located for updating. Some "
                                                    "values may have been changed since it "
                                                    "was last read."));
            }
            QCOMPARE(rs->editMode(), EditMode::InProgress);
            QCOMPARE(text(rs->Fields(w(edited)).Value()), QString("Mine"));
        } else {
            rs->Update();
        }
        auto check = open(*other, w("SELECT " + edited + " FROM Customers" + where));
        QCOMPARE(text(check->Fields(0).Value()), stored);
    }

    void indexSchema_data() {
        QTest::addColumn<QString>("table");
        QTest::newRow("bare name") << "OrderLines";
        // A table dataset's command text, as the table list quotes it.
        QTest::newRow("bracketed name") << "[OrderLines]";
    }
    void indexSchema() {
        QFETCH(QString, table);
        auto c = connect("VELKIN_DEMO");
        auto rs = c->OpenSchema(Schema::Indexes,
                                {Variant(), Variant(), Variant(), Variant(), Variant(w(table))});
        rs->setFilter(u"INDEX_NAME = 'PK_OrderLines'");
        QCOMPARE(rs->RecordCount(), int64_t(2));
        QVERIFY(rs->Fields(u"PRIMARY_KEY").Value() == Variant(true));
        QVERIFY(rs->Fields(u"UNIQUE").Value() == Variant(true));
        rs->setSort(u"ORDINAL_POSITION");
        QCOMPARE(text(rs->Fields(u"COLUMN_NAME").Value()), QString("OrderNo"));
        rs->setFilter(u"INDEX_NAME = 'IX_OrderLines_Product'");
        QCOMPARE(rs->RecordCount(), int64_t(1));
        QVERIFY(rs->Fields(u"PRIMARY_KEY").Value() == Variant(false));
        QVERIFY(rs->Fields(u"UNIQUE").Value() == Variant(false));
        QVERIFY(rs->Fields(u"AUTO_UPDATE").Value() == Variant(true));
    }

    void seekByIndexName() {
        auto c = connect("VELKIN_DEMO");
        auto rs = open(*c, u"SELECT Product, [LineNo], OrderNo FROM OrderLines");
        rs->setIndex(u"PK_OrderLines");
        QVERIFY(rs->SupportsSeek());
        rs->Seek({Variant(int64_t{1003}), Variant(int64_t{2})});
        QVERIFY(!rs->Eof());
        QCOMPARE(text(rs->Fields(u"OrderNo").Value()), QString("1003"));
        QCOMPARE(text(rs->Fields(u"LineNo").Value()), QString("2"));
        QVERIFY_THROWS_EXCEPTION(AdoError, rs->setIndex(u"IX_Nope"));
    }

    void columnSchema() {
        auto c = connect("VELKIN_DEMO");
        auto rs = c->OpenSchema(Schema::Columns,
                                {Variant(u"VELKIN_DEMO"), Variant(u"dbo"), Variant(u"Customers")});
        rs->Find(u"COLUMN_NAME = 'Balance'");
        QVERIFY(!rs->Eof());
        QVERIFY(rs->Fields(u"COLUMN_HASDEFAULT").Value() == Variant(true));
        QCOMPARE(text(rs->Fields(u"COLUMN_DEFAULT").Value()), QString("((0))"));
        QVERIFY(rs->Fields(u"IS_NULLABLE").Value() == Variant(false));
        rs->MoveFirst();
        rs->Find(u"COLUMN_NAME = 'City'");
        QVERIFY(rs->Fields(u"IS_NULLABLE").Value() == Variant(true));
        QVERIFY(rs->Fields(u"COLUMN_HASDEFAULT").Value() == Variant(false));
    }

    void commandResults() {
        auto c = connect("VELKIN_DEMO");
        TADOCommand cmd;
        cmd.Connection = c.get();
        cmd.setCommandText(u"UPDATE OrderLines SET Qty = Qty WHERE OrderNo = 1004");
        int64_t affected = 0;
        auto none = cmd.Execute(&affected);
        QCOMPARE(none->State(), ObjectState::Closed);
        QVERIFY(affected > 0);
        cmd.setCommandText(u"SELECT Product FROM OrderLines WHERE OrderNo = 1004");
        auto rows = cmd.Execute();
        QCOMPARE(rows->State(), ObjectState::Open);
        QCOMPARE(rows->RecordCount(), affected);
        cmd.setCommandText(u"SELECT * FROM nosuch");
        try {
            cmd.Execute();
            QFAIL("ran");
        } catch (const odbc::Error& e) {
            QVERIFY2(QString(e.what()).contains("Invalid object name 'nosuch'."), e.what());
        }
    }

    void connectionClosedUnderOpenRecordset() {
        auto c = connect("VELKIN_DEMO");
        auto rs = open(*c, u"SELECT CustomerID, City FROM Customers");
        c->Close();
        QCOMPARE(rs->RecordCount(), int64_t(30));
        rs->Fields(u"City").setValue(u"x");
        QVERIFY_THROWS_EXCEPTION(AdoError, rs->Update());
        rs->CancelUpdate();
        c.reset();
        QVERIFY(rs->ActiveConnection() == nullptr);
        QVERIFY_THROWS_EXCEPTION(AdoError, rs->Requery());
    }

    void requeryKeepsSortAndFilterAndSeesNewRows() {
        auto c = connect("VELKIN_DEMO");
        auto rs = open(*c, u"SELECT OrderNo, [LineNo], Qty FROM OrderLines");
        rs->setSort(u"Qty DESC");
        rs->setFilter(u"OrderNo = 1001");
        const int64_t before = rs->RecordCount();
        QVERIFY(before > 0);
        auto other = connect("VELKIN_DEMO");
        auto inserted = other->Execute(u"INSERT INTO OrderLines (OrderNo, [LineNo], Product, Qty) "
                                       u"VALUES (1001, 9, 'Widget', 99)");
        QCOMPARE(inserted->State(), ObjectState::Closed);
        rs->Requery();
        QCOMPARE(rs->RecordCount(), before + 1);
        QCOMPARE(text(rs->Fields(u"Qty").Value()), QString("99"));
        QCOMPARE(q(rs->Filter()), QString("OrderNo = 1001"));
        QCOMPARE(q(rs->Sort()), QString("Qty DESC"));
    }

    void cleanupTestCase() { server_.reset(); }
};

QTEST_GUILESS_MAIN(TestAdoServer)
#include "tst_server.moc"
