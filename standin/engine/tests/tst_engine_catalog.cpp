// The catalogue as clients query it: the database and table lists the program
// sends, the catalogue procedures behind schema rowsets, and the demo seeds.
#include "RecordingSink.h"

#include <QtTest>

using namespace standin;
using namespace standin::test;

namespace {

Param textParam(const char16_t* name, const QString& value) {
    Param p;
    p.name = name;
    p.type.type = SqlType::NVarChar;
    p.type.length = 128;
    p.text = value.toStdU16String();
    p.value = std::u16string_view(p.text);
    return p;
}

QStringList column(const RecordingSink& sink, size_t set, size_t col) {
    QStringList out;
    if (set >= sink.results.size())
        return out;
    for (size_t r = 0; r < sink.results[set].rows.size(); ++r)
        out << sink.text(set, r, col);
    return out;
}

QStringList columnNames(const ResultMeta& meta) {
    QStringList out;
    for (const ColumnInfo& c : meta.columns)
        out << QString::fromStdU16String(c.name);
    return out;
}

} // namespace

class EngineCatalogTest : public QObject {
    Q_OBJECT

    std::unique_ptr<EngineFixture> fx;

    std::unique_ptr<RecordingSink> rpc(const char16_t* procedure, std::vector<Param> params) {
        return fx->rpc(procedure, std::move(params));
    }

private slots:
    void initTestCase() { fx = std::make_unique<EngineFixture>(); }

    void databaseListSwitchesAndLists() {
        auto s = fx->run("Use Master SELECT name FROM master.dbo.sysdatabases ORDER BY name ASC");
        QCOMPARE(s->firstError(), QString());
        QCOMPARE(s->databaseChanges, std::vector<QString>{"master"});
        QVERIFY(std::any_of(s->messages.begin(), s->messages.end(),
                            [](const ServerMessage& m) { return m.number == 5701; }));
        QCOMPARE(s->results.size(), size_t(1));
        const ColumnInfo& name = s->results[0].meta.columns.at(0);
        QCOMPARE(QString::fromStdU16String(name.name), QString("name"));
        QCOMPARE(name.type, SqlType::NVarChar);
        QCOMPARE(name.length, 128);
        QCOMPARE(column(*s, 0, 0),
                 QStringList({"master", "PELMAR_GB", "PELMAR_TTRS", "VELKIN_DEMO"}));
        QCOMPARE(s->dones.back().rowCount, std::optional<int64_t>(4));
    }

    void tableLists_data() {
        QTest::addColumn<QString>("query");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("user tables and views")
            << "Use VELKIN_DEMO SELECT name FROM dbo.sysobjects WHERE (OBJECTPROPERTY(id, "
               "N'IsUserTable') = 1) or (OBJECTPROPERTY(id, N'IsView') = 1) ORDER BY name ASC"
            << QStringList{"CustomerCities", "Customers", "dtproperties", "NoKeyLog", "OrderLines"};
        QTest::newRow("all tables, no views")
            << "Use VELKIN_DEMO SELECT name FROM dbo.sysobjects WHERE OBJECTPROPERTY(id, "
               "N'IsTable') = 1 ORDER BY name ASC"
            << QStringList{"Customers",     "dtproperties",  "NoKeyLog",   "OrderLines",
                           "syscolumns",    "syscomments",   "sysdepends", "sysfilegroups",
                           "sysfiles1",     "sysindexes",    "sysobjects", "syspermissions",
                           "sysproperties", "sysreferences", "systypes",   "sysusers"};
        QTest::newRow("clearing list")
            << "Use VELKIN_DEMO select name from sysobjects where xtype  = 'U' and name <> "
               "'dtproperties' order by name"
            << QStringList{"Customers", "NoKeyLog", "OrderLines"};
        QTest::newRow("object_id names the same object")
            << "Use VELKIN_DEMO SELECT name FROM sysobjects WHERE id = object_id('dbo.OrderLines')"
            << QStringList{"OrderLines"};
    }
    void tableLists() {
        QFETCH(QString, query);
        QFETCH(QStringList, expected);
        auto s = fx->run(query);
        QCOMPARE(s->firstError(), QString());
        QCOMPARE(column(*s, 0, 0), expected);
    }

    void tableClearingEmptiesEveryUserTable() {
        auto s = fx->run("CREATE DATABASE ClearMe USE ClearMe "
                         "CREATE TABLE A (x int) CREATE TABLE B (y int PRIMARY KEY) "
                         "INSERT INTO A VALUES (1) INSERT INTO A VALUES (2) "
                         "INSERT INTO B VALUES (3)");
        QCOMPARE(s->firstError(), QString());
        auto list = fx->run("select name from sysobjects where xtype  = 'U' and name <> "
                            "'dtproperties'");
        QStringList names = column(*list, 0, 0);
        names.sort();
        QCOMPARE(names, QStringList({"A", "B"}));
        for (const QString& table : names) {
            auto del = fx->run("Delete from " + table);
            QCOMPARE(del->firstError(), QString());
        }
        auto count = fx->run("SELECT (SELECT COUNT(*) FROM A) + (SELECT COUNT(*) FROM B)");
        QCOMPARE(count->text(0, 0, 0), QString("0"));
        fx->run("USE master DROP DATABASE ClearMe");
    }

    void spColumnsShape() {
        fx->run("USE VELKIN_DEMO");
        auto s = rpc(u"sp_columns",
                     {textParam(u"@table_name", "Customers"), textParam(u"@ODBCVer", "3")});
        QCOMPARE(s->firstError(), QString());
        QCOMPARE(
            columnNames(s->results.at(0).meta),
            QStringList({"TABLE_QUALIFIER", "TABLE_OWNER", "TABLE_NAME", "COLUMN_NAME", "DATA_TYPE",
                         "TYPE_NAME", "PRECISION", "LENGTH", "SCALE", "RADIX", "NULLABLE",
                         "REMARKS", "COLUMN_DEF", "SQL_DATA_TYPE", "SQL_DATETIME_SUB",
                         "CHAR_OCTET_LENGTH", "ORDINAL_POSITION", "IS_NULLABLE", "SS_DATA_TYPE"}));
        QCOMPARE(s->statuses, std::vector<int32_t>{0});
        // The first column: the identity key.
        QCOMPARE(s->text(0, 0, 0), QString("VELKIN_DEMO"));
        QCOMPARE(s->text(0, 0, 1), QString("dbo"));
        QCOMPARE(s->text(0, 0, 3), QString("CustomerID"));
        QCOMPARE(s->text(0, 0, 4), QString("4"));
        QCOMPARE(s->text(0, 0, 5), QString("int identity"));
        QCOMPARE(s->text(0, 0, 10), QString("0"));
        QCOMPARE(s->text(0, 0, 17), QString("NO"));
    }

    void spColumnsDefaults_data() {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("columnName");
        QTest::addColumn<QString>("definition");
        QTest::addColumn<QString>("typeName");
        QTest::addColumn<QString>("dataType");
        QTest::newRow("number") << "Customers"
                                << "Balance"
                                << "((0))"
                                << "money"
                                << "3";
        QTest::newRow("clock") << "Customers"
                               << "Created"
                               << "(getdate())"
                               << "datetime"
                               << "93";
        QTest::newRow("login") << "Customers"
                               << "CreatedBy"
                               << "(suser_sname())"
                               << "varchar"
                               << "12";
        QTest::newRow("text") << "Customers"
                              << "Status"
                              << "('A')"
                              << "char"
                              << "1";
        QTest::newRow("fraction") << "Customers"
                                  << "Rating"
                                  << "((2.5))"
                                  << "decimal"
                                  << "3";
        QTest::newRow("none") << "Customers"
                              << "City"
                              << "NULL"
                              << "varchar"
                              << "12";
        QTest::newRow("unicode text") << "OrderLines"
                                      << "Comment"
                                      << "(N'none')"
                                      << "nvarchar"
                                      << "-9";
        QTest::newRow("blank in name") << "OrderLines"
                                       << "Unit Price"
                                       << "((0))"
                                       << "decimal"
                                       << "3";
        QTest::newRow("long text") << "Customers"
                                   << "Notes"
                                   << "NULL"
                                   << "text"
                                   << "-1";
    }
    void spColumnsDefaults() {
        QFETCH(QString, table);
        QFETCH(QString, columnName);
        QFETCH(QString, definition);
        QFETCH(QString, typeName);
        QFETCH(QString, dataType);
        fx->run("USE VELKIN_DEMO");
        auto s = rpc(u"[VELKIN_DEMO]..sp_columns",
                     {textParam(u"@table_name", table), textParam(u"@column_name", columnName)});
        QCOMPARE(s->firstError(), QString());
        QCOMPARE(s->results.at(0).rows.size(), size_t(1));
        QCOMPARE(s->text(0, 0, 12), definition);
        QCOMPARE(s->text(0, 0, 5), typeName);
        QCOMPARE(s->text(0, 0, 4), dataType);
    }

    void spStatisticsOnTwoColumnKey() {
        fx->run("USE VELKIN_DEMO");
        auto s = rpc(u"sp_statistics", {textParam(u"@table_name", "OrderLines")});
        QCOMPARE(s->firstError(), QString());
        const ResultSet& r = s->results.at(0);
        QCOMPARE(
            columnNames(r.meta),
            QStringList({"TABLE_QUALIFIER", "TABLE_OWNER", "TABLE_NAME", "NON_UNIQUE",
                         "INDEX_QUALIFIER", "INDEX_NAME", "TYPE", "SEQ_IN_INDEX", "COLUMN_NAME",
                         "COLLATION", "CARDINALITY", "PAGES", "FILTER_CONDITION"}));
        QCOMPARE(r.rows.size(), size_t(4));
        QCOMPARE(s->text(0, 0, 6), QString("0")); // the table's own statistics row
        QCOMPARE(s->text(0, 0, 5), QString("NULL"));
        QStringList keyRows;
        for (size_t row = 1; row < r.rows.size(); ++row)
            keyRows << QStringList{s->text(0, row, 3), s->text(0, row, 5), s->text(0, row, 6),
                                   s->text(0, row, 7), s->text(0, row, 8)}
                           .join(' ');
        QCOMPARE(keyRows, QStringList({"0 PK_OrderLines 1 1 OrderNo", "0 PK_OrderLines 1 2 LineNo",
                                       "1 IX_OrderLines_Product 3 1 Product"}));

        auto unique = rpc(u"sp_statistics",
                          {textParam(u"@table_name", "OrderLines"), textParam(u"@is_unique", "Y")});
        QCOMPARE(unique->results.at(0).rows.size(), size_t(3));
    }

    void spPkeys_data() {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QStringList>("keys");
        QTest::newRow("two columns")
            << "OrderLines" << QStringList{"OrderNo 1 PK_OrderLines", "LineNo 2 PK_OrderLines"};
        QTest::newRow("identity key") << "Customers" << QStringList{"CustomerID 1 PK_Customers"};
        QTest::newRow("no key") << "NoKeyLog" << QStringList{};
        QTest::newRow("no table") << "Nowhere" << QStringList{};
    }
    void spPkeys() {
        QFETCH(QString, table);
        QFETCH(QStringList, keys);
        fx->run("USE VELKIN_DEMO");
        auto s = rpc(u"sp_pkeys", {textParam(u"@table_name", table)});
        QCOMPARE(s->firstError(), QString());
        QCOMPARE(columnNames(s->results.at(0).meta),
                 QStringList({"TABLE_QUALIFIER", "TABLE_OWNER", "TABLE_NAME", "COLUMN_NAME",
                              "KEY_SEQ", "PK_NAME"}));
        QStringList got;
        for (size_t row = 0; row < s->results[0].rows.size(); ++row)
            got << QStringList{s->text(0, row, 3), s->text(0, row, 4), s->text(0, row, 5)}.join(
                ' ');
        QCOMPARE(got, keys);
    }

    void spTablesKinds() {
        fx->run("USE VELKIN_DEMO");
        auto s = rpc(u"sp_tables",
                     {textParam(u"@table_name", "%"), textParam(u"@table_type", "'TABLE','VIEW'")});
        QCOMPARE(s->firstError(), QString());
        QStringList got;
        for (size_t row = 0; row < s->results.at(0).rows.size(); ++row)
            got << s->text(0, row, 3) + " " + s->text(0, row, 2);
        QCOMPARE(got, QStringList({"TABLE Customers", "TABLE dtproperties", "TABLE NoKeyLog",
                                   "TABLE OrderLines", "VIEW CustomerCities"}));
    }

    void catalogueProcedureErrors() {
        fx->run("USE VELKIN_DEMO");
        auto s = rpc(u"sp_nosuch", {});
        QCOMPARE(s->errors().size(), size_t(1));
        QCOMPARE(s->errors()[0].number, 2812);
        auto q = rpc(u"sp_columns", {textParam(u"@table_name", "Customers"),
                                     textParam(u"@table_qualifier", "PELMAR_GB")});
        QCOMPARE(q->errors().at(0).number, 15250);
    }

    void execInBatch() {
        auto s = fx->run("USE VELKIN_DEMO EXEC sp_pkeys @table_name = 'OrderLines'");
        QCOMPARE(s->firstError(), QString());
        QCOMPARE(s->results.at(0).rows.size(), size_t(2));
        auto positional = fx->run("EXEC sp_columns OrderLines");
        QCOMPARE(positional->results.at(0).rows.size(), size_t(7));
    }

    void seedsPresent_data() {
        QTest::addColumn<QString>("database");
        QTest::addColumn<QString>("table");
        QTest::addColumn<int>("minimumRows");
        for (const char* t : {"T_DOCMAS", "T_LSTDOC", "T_LXCHG", "T_CURSTA"})
            QTest::newRow(t) << "PELMAR_TTRS" << t << 100;
        for (const char* t : {"T_INMAS", "T_EN1MAS", "T_EN2MAS", "T_EN3MAS", "T_EN4MAS", "T_TNIMAS",
                              "T_TNOMAS", "T_SAAMAS", "T_GARMAS", "T_GQMAS", "T_CRMAS", "T_RFCMAS",
                              "T_ARBYCA", "T_RRMAS", "T_ACKMAS", "T_ERRMAS"})
            QTest::newRow(t) << "PELMAR_TTRS" << t << 40;
        for (const char* t : {"T_GdsDtl", "T_SAAMas", "T_SAADtl", "T_IRDtl", "T_ErrMas", "T_ErrDtl",
                              "T_AckMas", "T_CRMas", "T_QryDtl", "T_QryRpl", "T_RFCMas", "T_RRMas"})
            QTest::newRow(QByteArray("combo ") + t) << "PELMAR_TTRS" << t << 40;
        QTest::newRow("GBK goods") << "PELMAR_GB"
                                   << "T_GOODS" << 50;
        QTest::newRow("no key") << "VELKIN_DEMO"
                                << "NoKeyLog" << 20;
        QTest::newRow("two-column key") << "VELKIN_DEMO"
                                        << "OrderLines" << 20;
        QTest::newRow("dtproperties") << "VELKIN_DEMO"
                                      << "dtproperties" << 0;
        QTest::newRow("view") << "VELKIN_DEMO"
                              << "CustomerCities" << 30;
    }
    void seedsPresent() {
        QFETCH(QString, database);
        QFETCH(QString, table);
        QFETCH(int, minimumRows);
        auto s = fx->run("USE " + database + " SELECT COUNT(*) FROM " + table);
        QCOMPARE(s->firstError(), QString());
        QVERIFY2(s->text(0, 0, 0).toInt() >= minimumRows, qPrintable(s->text(0, 0, 0)));
    }

    void dataDirectoryKeepsDatabases() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        EngineOptions options;
        options.dataDir = dir.path().toStdString();
        {
            auto engine = createEngine(options);
            RecordingSink login;
            auto session = engine->login(u"sa", u"velkin", u"", login);
            RecordingSink s;
            engine->executeBatch(*session,
                                 u"CREATE DATABASE Kept COLLATE Chinese_PRC_CI_AS USE Kept "
                                 u"CREATE TABLE T (id int PRIMARY KEY, v nvarchar(10) DEFAULT "
                                 u"(N'x')) INSERT INTO T (id) VALUES (1)",
                                 s);
            QCOMPARE(s.firstError(), QString());
        }
        auto engine = createEngine(options);
        RecordingSink login;
        auto session = engine->login(u"sa", u"velkin", u"Kept", login);
        QVERIFY(session);
        QCOMPARE(login.lastCollation.codePage, uint16_t(936));
        RecordingSink s;
        engine->executeBatch(*session, u"SELECT id, v FROM T EXEC sp_pkeys T", s);
        QCOMPARE(s.firstError(), QString());
        QCOMPARE(s.text(0, 0, 1), QString("x"));
        QCOMPARE(s.text(1, 0, 3), QString("id"));
    }

    void ttrsFilterQueries_data() {
        QTest::addColumn<QString>("query");
        QTest::newRow("equality and LIKE")
            << "SELECT * FROM T_DOCMAS where Status = 'A' and UTR LIKE 'UTR%'";
        QTest::newRow("master") << "SELECT * FROM T_EN1MAS where UTR = 'UTR000000202300001'";
        QTest::newRow("custom") << "SELECT * FROM T_GdsDtl where ProcessorRole = 'IF'";
        QTest::newRow("escaped") << "SELECT * FROM T_LSTDOC where ReferenceNo LIKE 'REF[-]%'";
    }
    void ttrsFilterQueries() {
        QFETCH(QString, query);
        auto s = fx->run("USE PELMAR_TTRS " + query);
        QCOMPARE(s->firstError(), QString());
        QCOMPARE(s->results.size(), size_t(1));
        QVERIFY(!s->results[0].rows.empty());
    }
};

QTEST_GUILESS_MAIN(EngineCatalogTest)
#include "tst_engine_catalog.moc"
