// The T-SQL subset: types and result metadata, code page round trips, LIKE,
// errors as SQL Server reports them, batches, parameters, transactions,
// cancelling, browse information and identities.
#include "RecordingSink.h"
#include "standin/engine/Functions.h"

#include <QtTest>

#include <future>

using namespace standin;
using namespace standin::test;

namespace {

Param ntext(const QString& value) {
    Param p;
    p.type.type = SqlType::NText;
    p.type.length = -1;
    p.text = value.toStdU16String();
    p.value = std::u16string_view(p.text);
    return p;
}

Param intParam(int64_t v) {
    Param p;
    p.type.type = SqlType::Int;
    p.type.length = 4;
    p.value = v;
    return p;
}

Param bytesParam(const QByteArray& bytes, uint16_t codePage) {
    Param p;
    p.type.type = SqlType::VarChar;
    p.type.length = 50;
    p.type.collation.codePage = codePage;
    p.bytes = bytes.toStdString();
    p.value = std::string_view(p.bytes);
    return p;
}

} // namespace

class EngineSqlTest : public QObject {
    Q_OBJECT

    std::unique_ptr<EngineFixture> fx;

    std::unique_ptr<RecordingSink> rpc(const char16_t* procedure, std::vector<Param> params) {
        return fx->rpc(procedure, std::move(params));
    }

private slots:
    void initTestCase() {
        fx = std::make_unique<EngineFixture>();
        auto s = fx->run("CREATE DATABASE Scratch USE Scratch");
        QCOMPARE(s->firstError(), QString());
    }
    void init() { fx->run("USE Scratch"); }

    void selectLiteral() {
        auto s = fx->run("SELECT 0");
        QCOMPARE(s->firstError(), QString());
        const ColumnInfo& c = s->results.at(0).meta.columns.at(0);
        QCOMPARE(c.type, SqlType::Int);
        QCOMPARE(QString::fromStdU16String(c.name), QString()); // no name, as the server gives
        QCOMPARE(s->text(0, 0, 0), QString("0"));
        QCOMPARE(s->dones.back().rowCount, std::optional<int64_t>(1));
    }

    void columnMetadata_data() {
        QTest::addColumn<QString>("definition");
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("length");
        QTest::addColumn<int>("precision");
        QTest::addColumn<int>("scale");
        QTest::addColumn<bool>("nullable");
        auto row = [](const char* name, const char* def, SqlType t, int len, int p, int s, bool n) {
            QTest::newRow(name) << def << int(t) << len << p << s << n;
        };
        row("int", "int NOT NULL", SqlType::Int, 4, 10, 0, false);
        row("smallint", "smallint", SqlType::SmallInt, 2, 5, 0, true);
        row("tinyint", "tinyint", SqlType::TinyInt, 1, 3, 0, true);
        row("bigint", "bigint", SqlType::BigInt, 8, 19, 0, true);
        row("bit", "bit", SqlType::Bit, 1, 1, 0, true);
        row("decimal", "decimal(18,4)", SqlType::Decimal, 9, 18, 4, true);
        row("numeric", "numeric(5,1)", SqlType::Numeric, 5, 5, 1, true);
        row("money", "money", SqlType::Money, 8, 19, 4, true);
        row("float", "float", SqlType::Float, 8, 53, 0, true);
        row("real", "real", SqlType::Real, 4, 24, 0, true);
        row("datetime", "datetime", SqlType::DateTime, 8, 23, 3, true);
        row("smalldatetime", "smalldatetime", SqlType::SmallDateTime, 4, 16, 0, true);
        row("date", "date", SqlType::Date, 3, 10, 0, true);
        row("char", "char(10)", SqlType::Char, 10, 0, 0, true);
        row("varchar", "varchar(50)", SqlType::VarChar, 50, 0, 0, true);
        row("varchar max", "varchar(max)", SqlType::VarChar, -1, 0, 0, true);
        row("text", "text", SqlType::Text, 2147483647, 0, 0, true);
        row("nchar", "nchar(3)", SqlType::NChar, 3, 0, 0, true);
        row("nvarchar", "nvarchar(40)", SqlType::NVarChar, 40, 0, 0, true);
        row("nvarchar max", "nvarchar(max)", SqlType::NVarChar, -1, 0, 0, true);
        row("ntext", "ntext", SqlType::NText, 1073741823, 0, 0, true);
        row("uniqueidentifier", "uniqueidentifier", SqlType::UniqueIdentifier, 16, 0, 0, true);
        row("varbinary", "varbinary(16)", SqlType::VarBinary, 16, 0, 0, true);
        row("image", "image", SqlType::Image, 2147483647, 0, 0, true);
        row("sysname", "sysname NOT NULL", SqlType::NVarChar, 128, 0, 0, false);
    }
    void columnMetadata() {
        QFETCH(QString, definition);
        QFETCH(int, type);
        QFETCH(int, length);
        QFETCH(int, precision);
        QFETCH(int, scale);
        QFETCH(bool, nullable);
        auto s = fx->run("CREATE TABLE Meta (c " + definition +
                         ") SELECT c FROM Meta "
                         "DROP TABLE Meta");
        QCOMPARE(s->firstError(), QString());
        const ColumnInfo& c = s->results.at(0).meta.columns.at(0);
        QCOMPARE(int(c.type), type);
        QCOMPARE(c.length, length);
        QCOMPARE(int(c.precision), precision);
        QCOMPARE(int(c.scale), scale);
        QCOMPARE(c.nullable, nullable);
        if (c.type == SqlType::VarChar)
            QCOMPARE(c.collation.codePage, uint16_t(1252));
    }

    void valueRoundTrip_data() {
        QTest::addColumn<QString>("definition");
        QTest::addColumn<QString>("literal");
        QTest::addColumn<QString>("expected");
        QTest::newRow("int") << "int"
                             << "-42"
                             << "-42";
        QTest::newRow("bigint") << "bigint"
                                << "9000000000"
                                << "9000000000";
        QTest::newRow("bit") << "bit"
                             << "5"
                             << "1";
        QTest::newRow("decimal") << "decimal(18,4)"
                                 << "1234.5678"
                                 << "1234.5678";
        QTest::newRow("decimal as text") << "decimal(10,2)"
                                         << "'12.5'"
                                         << "12.50";
        QTest::newRow("money") << "money"
                               << "-3.25"
                               << "-3.2500";
        QTest::newRow("float") << "float"
                               << "0.125"
                               << "0.125";
        QTest::newRow("datetime") << "datetime"
                                  << "'2024-02-29 13:45:30.500'"
                                  << "2024-02-29 13:45:30.500";
        QTest::newRow("date only") << "datetime"
                                   << "'1999-12-31'"
                                   << "1999-12-31 00:00:00.000";
        QTest::newRow("char pads") << "char(5)"
                                   << "'ab'"
                                   << "ab   ";
        QTest::newRow("varchar") << "varchar(20)"
                                 << "'Köln'" << QString::fromLatin1("K\xf6ln");
        QTest::newRow("nvarchar") << "nvarchar(20)"
                                  << "N'臺灣 台湾'"
                                  << "臺灣 台湾";
        QTest::newRow("null") << "int"
                              << "NULL"
                              << "NULL";
        QTest::newRow("code page lacks it") << "varchar(5)"
                                            << "N'a台'"
                                            << "a?";
        QTest::newRow("uniqueidentifier") << "uniqueidentifier"
                                          << "'01020304-0506-0708-090A-0B0C0D0E0F10'"
                                          << "0403020106050807090a0b0c0d0e0f10";
        QTest::newRow("concatenation") << "varchar(20)"
                                       << "'ab' + 'cd'"
                                       << "abcd";
        QTest::newRow("expression") << "int"
                                    << "2 * (3 + 4)"
                                    << "14";
        // SQLite's statement text ends at a NUL; the literal must not end there.
        QTest::newRow("NUL inside a literal")
            << "nvarchar(10)" << QString("N'a") + QChar(0) + "b'" << QString("a") + QChar(0) + "b";
    }
    void valueRoundTrip() {
        QFETCH(QString, definition);
        QFETCH(QString, literal);
        QFETCH(QString, expected);
        auto s = fx->run("CREATE TABLE RoundTrip (v " + definition +
                         ") INSERT INTO RoundTrip "
                         "VALUES (" +
                         literal + ") SELECT v FROM RoundTrip DROP TABLE RoundTrip");
        QCOMPARE(s->firstError(), QString());
        QCOMPARE(s->text(0, 0, 0), expected);
    }

    void codePageBytes_data() {
        QTest::addColumn<QString>("database");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("Big5") << "PELMAR_TTRS"
                              << "台北" << QByteArray("\xa5\x78\xa5\x5f");
        QTest::newRow("GBK") << "PELMAR_GB"
                             << "电脑" << QByteArray("\xb5\xe7\xc4\xd4");
        QTest::newRow("Latin1") << "VELKIN_DEMO"
                                << "Zürich" << QByteArray("Z\xfcrich");
    }
    void codePageBytes() {
        QFETCH(QString, database);
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);
        // Written as Unicode text, read back as the database's bytes.
        auto s = fx->run("USE " + database +
                         " CREATE TABLE CpTrip (v varchar(20), w nvarchar(20))"
                         " INSERT INTO CpTrip VALUES (N'" +
                         text + "', N'" + text +
                         "')"
                         " SELECT v, w FROM CpTrip");
        QCOMPARE(s->firstError(), QString());
        QCOMPARE(std::get<QByteArray>(s->results.at(0).rows.at(0).at(0)), bytes);
        QCOMPARE(s->text(0, 0, 1), text);
        QCOMPARE(s->results[0].meta.columns[0].collation.codePage, s->lastCollation.codePage);
        // Written as the code page's bytes through a parameter, read back as Unicode.
        auto p = rpc(u"sp_executesql",
                     {ntext("INSERT INTO CpTrip (w) VALUES (@P1)"), ntext("@P1 varchar(20)"),
                      bytesParam(bytes, s->lastCollation.codePage)});
        QCOMPARE(p->firstError(), QString());
        auto r = fx->run("SELECT w FROM CpTrip WHERE v IS NULL DROP TABLE CpTrip");
        QCOMPARE(r->text(0, 0, 0), text);
    }

    void seededBig5Bytes() {
        auto s = fx->run("USE PELMAR_TTRS SELECT TOP 1 DocTitle FROM T_DOCMAS WHERE DocTitle "
                         "LIKE N'%報單%'");
        QCOMPARE(s->firstError(), QString());
        const QByteArray bytes = std::get<QByteArray>(s->results.at(0).rows.at(0).at(0));
        QVERIFY(bytes.contains(QByteArray("\xb3\xf8\xb3\xe6"))); // 報單 in Big5
    }

    void likePatterns_data() {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("matches");
        QTest::newRow("percent") << "AB%"
                                 << "abcdef" << true;
        QTest::newRow("percent inside") << "A%F"
                                        << "abcdef" << true;
        QTest::newRow("underscore") << "a_c"
                                    << "ABC" << true;
        QTest::newRow("underscore needs one") << "a_c"
                                              << "ac" << false;
        QTest::newRow("set") << "[abc]x"
                             << "Bx" << true;
        QTest::newRow("set miss") << "[abc]x"
                                  << "dx" << false;
        QTest::newRow("range") << "[a-f]1"
                               << "E1" << true;
        QTest::newRow("negated") << "[^a-f]1"
                                 << "g1" << true;
        QTest::newRow("negated miss") << "[^a-f]1"
                                      << "c1" << false;
        QTest::newRow("escaped percent") << "50[%]"
                                         << "50%" << true;
        QTest::newRow("escaped percent miss") << "50[%]"
                                              << "500" << false;
        QTest::newRow("escaped underscore") << "A[_]B%"
                                            << "A_BC" << true;
        QTest::newRow("escaped underscore miss") << "A[_]B%"
                                                 << "AxBC" << false;
        QTest::newRow("escaped bracket") << "[[]x]"
                                         << "[x]" << true;
        QTest::newRow("quote in set") << "['']A"
                                      << "'A" << true;
        QTest::newRow("trailing blanks") << "abc"
                                         << "abc  " << true;
        QTest::newRow("no partial") << "abc"
                                    << "abcd" << false;
        QTest::newRow("chinese") << "%報單%"
                                 << "進口報單" << true;
        QTest::newRow("empty pattern") << ""
                                       << "" << true;
    }
    void likePatterns() {
        QFETCH(QString, pattern);
        QFETCH(QString, text);
        QFETCH(bool, matches);
        QCOMPARE(engine::likeMatch(pattern.toStdString(), text.toStdString()), matches);
        QString quotedPattern = pattern;
        quotedPattern.replace("'", "''");
        QString quotedText = text;
        quotedText.replace("'", "''");
        auto s =
            fx->run("SELECT COUNT(*) WHERE N'" + quotedText + "' LIKE N'" + quotedPattern + "'");
        QCOMPARE(s->firstError(), QString());
        QCOMPARE(s->text(0, 0, 0), matches ? QString("1") : QString("0"));
    }

    void textComparison_data() {
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        QTest::addColumn<int>("order");
        QTest::newRow("case") << "abc"
                              << "ABC" << 0;
        QTest::newRow("trailing blanks") << "ab"
                                         << "ab   " << 0;
        QTest::newRow("less") << "abc"
                              << "abd" << -1;
        QTest::newRow("prefix is less") << "ab"
                                        << "abc" << -1;
        QTest::newRow("control below blank") << "ab\t"
                                             << "ab" << -1;
        QTest::newRow("greater") << "B"
                                 << "a" << 1;
    }
    void textComparison() {
        QFETCH(QString, a);
        QFETCH(QString, b);
        QFETCH(int, order);
        a.replace("\\t", "\t");
        const int got = engine::compareText(a.toStdString(), b.toStdString());
        QCOMPARE((got > 0) - (got < 0), order);
    }

    void charKeysIgnoreTrailingBlanks() {
        auto s = fx->run("CREATE TABLE Padded (k char(10) PRIMARY KEY) INSERT INTO Padded "
                         "VALUES ('ab') SELECT k FROM Padded WHERE k = 'AB        ' "
                         "INSERT INTO Padded VALUES ('ab  ') DROP TABLE Padded");
        QCOMPARE(s->results.at(0).rows.size(), size_t(1));
        QCOMPARE(s->text(0, 0, 0), QString("ab        "));
        QCOMPARE(s->errors().size(), size_t(1));
        QCOMPARE(s->errors()[0].number, 2627);
    }

    void caseInsensitiveComparison() {
        auto s = fx->run("USE VELKIN_DEMO SELECT COUNT(*) FROM Customers WHERE Name = 'CHEN'");
        QCOMPARE(s->firstError(), QString());
        QVERIFY(s->text(0, 0, 0).toInt() > 0);
    }

    void convertAndCastTakeTypesWithLengths() {
        auto s = fx->run("SELECT CONVERT(varchar(max), 12), CAST(2 AS decimal(10, 2)), "
                         "CONVERT(varchar(10), 'abc', 120), CAST('x' AS nvarchar(MAX))");
        QCOMPARE(s->firstError(), QString());
        QCOMPARE(s->text(0, 0, 0), QString("12"));
        QCOMPARE(s->text(0, 0, 2), QString("abc"));
        QCOMPARE(s->text(0, 0, 3), QString("x"));
    }

    void errors_data() {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<int>("number");
        QTest::addColumn<int>("state");
        QTest::addColumn<int>("severity");
        QTest::addColumn<QString>("text");
        QTest::newRow("invalid object")
            << "SELECT * FROM nosuch" << 208 << 1 << 16 << "Invalid object name 'nosuch'.";
        QTest::newRow("invalid column")
            << "SELECT nocolumn FROM Keyed" << 207 << 1 << 16 << "Invalid column name 'nocolumn'.";
        QTest::newRow("syntax") << "SELECT * FROM Keyed WHERE" << 102 << 1 << 15
                                << "Incorrect syntax near 'WHERE'.";
        QTest::newRow("syntax keyword")
            << "SELEC 1" << 102 << 1 << 15 << "Incorrect syntax near 'SELEC'.";
        QTest::newRow("duplicate key")
            << "INSERT INTO Keyed (a, b, c) VALUES (1, 'x', 'dup')" << 2627 << 1 << 14
            << "Violation of PRIMARY KEY constraint 'PK_Keyed'. Cannot insert duplicate key in "
               "object 'dbo.Keyed'. The duplicate key value is (1, x).";
        QTest::newRow("null") << "INSERT INTO Keyed (a, b) VALUES (2, NULL)" << 515 << 2 << 16
                              << "Cannot insert the value NULL into column 'b', table "
                                 "'Scratch.dbo.Keyed'; column does not allow nulls. INSERT "
                                 "fails.";
        QTest::newRow("no database") << "USE NoSuchDb" << 911 << 1 << 16
                                     << "Database 'NoSuchDb' does not exist. Make sure that the "
                                        "name is entered correctly.";
        // A type's parentheses hold lengths or MAX only, and the value is never empty.
        QTest::newRow("type length expression") << "SELECT CONVERT(varchar(1 + 2), 'abc')" << 102
                                                << 1 << 15 << "Incorrect syntax near '+'.";
        QTest::newRow("type length literal")
            << "SELECT CONVERT(v(''), 1)" << 102 << 1 << 15 << "Incorrect syntax near ''.";
        QTest::newRow("convert without value")
            << "SELECT CONVERT(varchar(5), )" << 102 << 1 << 15 << "Incorrect syntax near ')'.";
        QTest::newRow("convert style text")
            << "SELECT CONVERT(varchar(10), 1, '')" << 8116 << 1 << 16
            << "Argument data type varchar is invalid for argument 3 of convert function.";
        QTest::newRow("convert style expression") << "SELECT CONVERT(varchar(10), 1, 1 + 2)" << 102
                                                  << 1 << 15 << "Incorrect syntax near '+'.";
        QTest::newRow("cast without value")
            << "SELECT CAST( AS int)" << 102 << 1 << 15 << "Incorrect syntax near 'AS'.";
        QTest::newRow("cast type trailer")
            << "SELECT CAST(1 AS int x)" << 102 << 1 << 15 << "Incorrect syntax near 'x'.";
        QTest::newRow("unclosed quote") << "SELECT 'abc" << 105 << 1 << 15
                                        << "Unclosed quotation mark after the character string "
                                           "'abc'.";
        QTest::newRow("existing table") << "CREATE TABLE Keyed (x int)" << 2714 << 1 << 16
                                        << "There is already an object named 'Keyed' in the "
                                           "database.";
        QTest::newRow("unknown type") << "CREATE TABLE Bad (x widget)" << 2715 << 6 << 16
                                      << "Column, parameter, or variable #1: Cannot find data "
                                         "type widget.";
        QTest::newRow("drop missing") << "DROP TABLE NotThere" << 3701 << 5 << 11
                                      << "Cannot drop the table 'NotThere', because it does not "
                                         "exist or you do not have permission.";
        QTest::newRow("identity insert")
            << "INSERT INTO Counted (id, v) VALUES (7, 'x')" << 544 << 1 << 16
            << "Cannot insert explicit value for identity column in table 'Counted' when "
               "IDENTITY_INSERT is set to OFF.";
        QTest::newRow("commit without begin") << "COMMIT" << 3902 << 1 << 16
                                              << "The COMMIT TRANSACTION request has no "
                                                 "corresponding BEGIN TRANSACTION.";
        QTest::newRow("undeclared variable") << "SELECT @nothing" << 137 << 2 << 15
                                             << "Must declare the scalar variable \"@nothing\".";
        QTest::newRow("unknown function") << "SELECT frobnicate(1)" << 195 << 10 << 15
                                          << "'frobnicate' is not a recognized built-in "
                                             "function name.";
    }
    void errors() {
        QFETCH(QString, sql);
        QFETCH(int, number);
        QFETCH(int, state);
        QFETCH(int, severity);
        QFETCH(QString, text);
        fx->run("CREATE TABLE Keyed (a int NOT NULL, b varchar(10) NOT NULL, c varchar(10), "
                "PRIMARY KEY (a, b)) INSERT INTO Keyed VALUES (1, 'x', 'first') "
                "CREATE TABLE Counted (id int IDENTITY PRIMARY KEY, v varchar(10))");
        auto s = fx->run(sql);
        fx->run("DROP TABLE Keyed DROP TABLE Counted");
        QCOMPARE(s->errors().size(), size_t(1));
        const ServerMessage e = s->errors()[0];
        QCOMPARE(e.number, number);
        QCOMPARE(int(e.state), state);
        QCOMPARE(int(e.severity), severity);
        QCOMPARE(QString::fromStdU16String(e.text), text);
        QVERIFY(s->dones.back().error);
    }

    // A value longer than its column fails the statement with 8152, as SQL
    // Server does with ANSI_WARNINGS on, and changes nothing; blanks beyond the
    // length are cut silently.
    void overlongValueRefused_data() {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<bool>("refused");
        QTest::newRow("varchar, 13 characters into 5")
            << "INSERT INTO Sized (v) VALUES ('thirteen char')" << true;
        QTest::newRow("varchar, exactly full") << "INSERT INTO Sized (v) VALUES ('abcde')" << false;
        QTest::newRow("varchar, blanks beyond the length")
            << "INSERT INTO Sized (v) VALUES ('abc      ')" << false;
        QTest::newRow("varchar, national text counted in code page bytes")
            << "INSERT INTO Sized (v) VALUES (N'\u00e9\u00e9\u00e9\u00e9\u00e9')" << false;
        QTest::newRow("char, 4 into 3") << "INSERT INTO Sized (c) VALUES ('abcd')" << true;
        QTest::newRow("nvarchar, 4 into 3") << "INSERT INTO Sized (n) VALUES (N'abcd')" << true;
        QTest::newRow("nvarchar, 3 Chinese characters")
            << QString::fromUtf8("INSERT INTO Sized (n) VALUES (N'台北市')") << false;
        QTest::newRow("nvarchar, surrogate pairs count twice")
            << QString::fromUtf8("INSERT INTO Sized (n) VALUES (N'\U0001D11E\U0001D11E')") << true;
        QTest::newRow("varbinary, 3 bytes into 2")
            << "INSERT INTO Sized (b) VALUES (0x010203)" << true;
        QTest::newRow("varchar(max) takes any length")
            << "INSERT INTO Sized (m) VALUES (replicate('x', 9000))" << false;
        QTest::newRow("update") << "UPDATE Sized SET v = 'far too long'" << true;
        QTest::newRow("update by expression") << "UPDATE Sized SET v = v + 'xy'" << true;
        QTest::newRow("insert from a query")
            << "INSERT INTO Sized (v) SELECT v + v FROM Sized" << true;
    }
    void overlongValueRefused() {
        QFETCH(QString, sql);
        QFETCH(bool, refused);
        auto setup =
            fx->run("CREATE TABLE Sized (v varchar(5), c char(3), n nvarchar(3), "
                    "b varbinary(2), m varchar(max)) INSERT INTO Sized (v) VALUES ('seed')");
        QCOMPARE(setup->firstError(), QString());
        auto s = fx->run(sql);
        auto after = fx->run("SELECT count(*) FROM Sized SELECT v FROM Sized ORDER BY v DESC");
        fx->run("DROP TABLE Sized");
        if (!refused) {
            QCOMPARE(s->firstError(), QString());
            return;
        }
        QCOMPARE(s->errors().size(), size_t(1));
        const ServerMessage e = s->errors()[0];
        QCOMPARE(e.number, 8152);
        QCOMPARE(int(e.state), 14);
        QCOMPARE(int(e.severity), 16);
        QCOMPARE(QString::fromStdU16String(e.text),
                 QString("String or binary data would be truncated."));
        QCOMPARE(after->text(0, 0, 0), QString("1"));
        QCOMPARE(after->text(1, 0, 0), QString("seed"));
    }

    void overlongValueInCodePageBytes() {
        // Big5: two bytes a character, so a varchar(4) holds two of them.
        auto s = fx->run(QString::fromUtf8("USE PELMAR_TTRS CREATE TABLE SizedBig5 (v varchar(4)) "
                                           "INSERT INTO SizedBig5 VALUES (N'台北') "
                                           "INSERT INTO SizedBig5 VALUES (N'台北市') "
                                           "SELECT count(*) FROM SizedBig5 DROP TABLE SizedBig5"));
        QCOMPARE(s->errors().size(), size_t(1));
        QCOMPARE(s->errors()[0].number, 8152);
        QCOMPARE(s->text(0, 0, 0), QString("1"));
    }

    void hostileInputLeavesSessionWorking_data() {
        QTest::addColumn<QString>("sql");
        QTest::newRow("case 0") << QString("");
        QTest::newRow("case 1") << QString(";");
        QTest::newRow("case 2") << QString(";;");
        QTest::newRow("case 3") << QString("SELECT");
        QTest::newRow("case 4") << QString("SELECT (");
        QTest::newRow("case 5") << QString("SELECT )");
        QTest::newRow("case 6") << QString("SELECT ,");
        QTest::newRow("case 7") << QString("USE");
        QTest::newRow("case 8") << QString("USE [");
        QTest::newRow("case 9") << QString("CREATE");
        QTest::newRow("case 10") << QString("CREATE TABLE");
        QTest::newRow("case 11") << QString("CREATE TABLE t (");
        QTest::newRow("case 12") << QString("CREATE TABLE t (a)");
        QTest::newRow("case 13") << QString("CREATE TABLE t (a int,");
        QTest::newRow("case 14") << QString("CREATE TABLE t (a int DEFAULT");
        QTest::newRow("case 15") << QString("CREATE TABLE t (a int IDENTITY(");
        QTest::newRow("case 16") << QString("CREATE TABLE t (a varchar(");
        QTest::newRow("case 17") << QString("CREATE TABLE t (CONSTRAINT)");
        QTest::newRow("case 18") << QString("CREATE TABLE t (PRIMARY KEY (a))");
        QTest::newRow("case 19") << QString("INSERT");
        QTest::newRow("case 20") << QString("INSERT INTO");
        QTest::newRow("case 21") << QString("INSERT INTO t VALUES (");
        QTest::newRow("case 22") << QString("DROP");
        QTest::newRow("case 23") << QString("DROP INDEX x");
        QTest::newRow("case 24") << QString("DROP INDEX");
        QTest::newRow("case 25") << QString("DROP TABLE");
        QTest::newRow("case 26") << QString("DROP DATABASE");
        QTest::newRow("case 27") << QString("EXEC");
        QTest::newRow("case 28") << QString("EXEC sp_columns @table_name");
        QTest::newRow("case 29") << QString("EXEC sp_columns @table_name =");
        QTest::newRow("case 30") << QString("EXEC sp_columns 'a', 'b', 'c', 'd', 'e', 'f'");
        QTest::newRow("case 31") << QString("WAITFOR");
        QTest::newRow("case 32") << QString("WAITFOR DELAY");
        QTest::newRow("case 33") << QString("WAITFOR DELAY 'x'");
        QTest::newRow("case 34") << QString("SET");
        QTest::newRow("case 35") << QString("SET NOCOUNT");
        QTest::newRow("case 36") << QString("PRINT");
        QTest::newRow("case 37") << QString("SELECT TOP");
        QTest::newRow("case 38") << QString("SELECT TOP (");
        QTest::newRow("case 39") << QString("SELECT TOP 1");
        QTest::newRow("case 40") << QString("SELECT CAST(");
        QTest::newRow("case 41") << QString("SELECT CAST(1 AS");
        QTest::newRow("case 42") << QString("SELECT CONVERT(int");
        QTest::newRow("case 43") << QString("SELECT CONVERT(int,");
        QTest::newRow("case 44") << QString("SELECT a.");
        QTest::newRow("case 45") << QString("SELECT [a");
        QTest::newRow("case 46") << QString("SELECT N'");
        QTest::newRow("case 47") << QString("/*");
        QTest::newRow("case 48") << QString("SELECT 0x");
        QTest::newRow("case 49") << QString("SELECT 0xZZ");
        QTest::newRow("case 50") << QString("BEGIN");
        QTest::newRow("case 51") << QString("BEGIN TRAN x y");
        QTest::newRow("case 52") << QString("COMMIT TRAN x");
        QTest::newRow("case 53") << QString("CREATE DATABASE");
        QTest::newRow("case 54") << QString("CREATE VIEW v AS");
        QTest::newRow("case 55") << QString("CREATE VIEW v");
        QTest::newRow("case 56") << QString("CREATE INDEX i ON");
        QTest::newRow("case 57") << QString("CREATE UNIQUE");
        QTest::newRow("case 58") << QString("TRUNCATE TABLE");
        QTest::newRow("case 59") << QString("TRUNCATE");
        QTest::newRow("case 60") << QString("SELECT * FROM master..");
        QTest::newRow("case 61") << QString("SELECT * FROM a.b.c.d.e");
        QTest::newRow("case 62") << QString("SELECT * FROM ..x");
        QTest::newRow("case 63") << QString("SELECT @@");
        QTest::newRow("case 64") << QString("SELECT @");
        QTest::newRow("case 65") << QString("SELECT ''''");
        QTest::newRow("case 66") << QString("SELECT 1 UNION");
        QTest::newRow("case 67") << QString("UPDATE");
        QTest::newRow("case 68") << QString("UPDATE t SET");
        QTest::newRow("case 69") << QString("DELETE");
        QTest::newRow("case 70") << QString("DELETE FROM");
        QTest::newRow("case 71") << QString("SELECT substring('a', 1, -1)");
        QTest::newRow("case 72") << QString("SELECT replicate('ab', 100000000)");
        QTest::newRow("case 73") << QString("SELECT len()");
        QTest::newRow("case 74") << QString("SELECT 1/0");
        QTest::newRow("case 75") << QString("SELECT 9223372036854775807 + 1");
        QTest::newRow("case 76") << QString("SELECT * FROM sysobjects WHERE name LIKE '['");
        QTest::newRow("case 77") << QString("SELECT * FROM sysobjects WHERE name LIKE '[a-'");
        QTest::newRow("case 78") << QString("SELECT objectproperty(NULL, NULL)");
        QTest::newRow("case 79") << QString("SELECT object_id(NULL)");
        QTest::newRow("case 80") << QString("SELECT charindex('', 'abc', 99)");
        QTest::newRow("case 81") << QString("EXEC sp_executesql");
        QTest::newRow("case 82") << QString("SELECT TOP (@x) 1");
        QTest::newRow("case 83") << QString("CREATE TABLE __standin_x (a int)");
        QTest::newRow("case 84") << QString("SELECT * INTO x FROM sysobjects");
        QTest::newRow("case 85") << QString("DECLARE @a int");
        QTest::newRow("case 86") << QString("IF 1 = 1 SELECT 1");
        QTest::newRow("case 87") << QString("SELECT {fn now()}");
        QTest::newRow("case 88") << QString("SELECT `a`");
        QTest::newRow("case 89") << QString("ROLLBACK");
        QTest::newRow("case 90") << QString("SAVE TRAN x");
    }
    void hostileInputLeavesSessionWorking() {
        QFETCH(QString, sql);
        auto s = fx->run(sql);
        // Each statement ends in a completion; failures carry an error message.
        for (const ServerMessage& m : s->errors())
            QVERIFY(!m.text.empty());
        auto after = fx->run("USE Scratch SELECT 1");
        QCOMPARE(after->firstError(), QString());
        QCOMPARE(after->text(0, 0, 0), QString("1"));
        QVERIFY(!fx->session->inTransaction() || sql.startsWith("BEGIN"));
        if (fx->session->inTransaction())
            fx->run("ROLLBACK");
    }

    void errorEndsOnlyItsStatement() {
        auto s = fx->run("SELECT 1 SELECT * FROM nosuch SELECT 3");
        QCOMPARE(s->errors().size(), size_t(1));
        QCOMPARE(s->results.size(), size_t(2));
        QCOMPARE(s->text(1, 0, 0), QString("3"));
        QCOMPARE(s->dones.size(), size_t(3));
        QVERIFY(!s->dones[0].error && s->dones[1].error && !s->dones[2].error);
    }

    void batchSplitting_data() {
        QTest::addColumn<QString>("batch");
        QTest::addColumn<int>("statements");
        QTest::addColumn<int>("results");
        QTest::newRow("use prefix") << "Use Scratch SELECT 1" << 2 << 1;
        QTest::newRow("semicolons") << "SELECT 1; SELECT 2;" << 2 << 2;
        QTest::newRow("insert select") << "CREATE TABLE S1 (x int) INSERT INTO S1 SELECT 1 "
                                          "SELECT x FROM S1 DROP TABLE S1"
                                       << 4 << 1;
        QTest::newRow("update set") << "CREATE TABLE S2 (x int) UPDATE S2 SET x = 1 SET NOCOUNT "
                                       "OFF DROP TABLE S2"
                                    << 4 << 0;
        QTest::newRow("union") << "SELECT 1 UNION ALL SELECT 2" << 1 << 1;
        QTest::newRow("subquery") << "SELECT (SELECT 1) + 1" << 1 << 1;
        QTest::newRow("comments") << "SELECT 1 -- SELECT 2\n/* SELECT 3 */ SELECT 4" << 2 << 2;
        QTest::newRow("insert values then select")
            << "CREATE TABLE S3 (x int) INSERT INTO S3 VALUES (1) SELECT x FROM S3 DROP TABLE S3"
            << 4 << 1;
    }
    void batchSplitting() {
        QFETCH(QString, batch);
        QFETCH(int, statements);
        QFETCH(int, results);
        auto s = fx->run(batch);
        QCOMPARE(s->firstError(), QString());
        QCOMPARE(int(s->dones.size()), statements);
        QCOMPARE(int(s->results.size()), results);
    }

    void topAndOrder() {
        auto s = fx->run("USE VELKIN_DEMO SELECT TOP 3 CustomerID, Name AS [Customer Name] FROM "
                         "dbo.Customers ORDER BY CustomerID DESC");
        QCOMPARE(s->firstError(), QString());
        QCOMPARE(s->results.at(0).rows.size(), size_t(3));
        QCOMPARE(s->text(0, 0, 0), QString("30"));
        QCOMPARE(QString::fromStdU16String(s->results[0].meta.columns[1].name),
                 QString("Customer Name"));
        auto three = fx->run("SELECT COUNT(*) FROM VELKIN_DEMO.dbo.OrderLines o JOIN "
                             "VELKIN_DEMO..Customers c ON c.CustomerID + 1000 = o.OrderNo");
        QCOMPARE(three->firstError(), QString());
        QVERIFY(three->text(0, 0, 0).toInt() > 0);
    }

    void crossDatabaseName() {
        auto s = fx->run("USE Scratch SELECT COUNT(*) FROM PELMAR_GB.dbo.T_GOODS");
        QCOMPARE(s->firstError(), QString());
        QCOMPARE(s->text(0, 0, 0), QString("60"));
        auto missing = fx->run("SELECT * FROM NoDb.dbo.T");
        QCOMPARE(missing->errors().at(0).number, 911);
    }

    void functions_data() {
        QTest::addColumn<QString>("expression");
        QTest::addColumn<QString>("expected");
        QTest::newRow("db_name") << "db_name()"
                                 << "Scratch";
        QTest::newRow("suser_sname") << "suser_sname()"
                                     << "sa";
        QTest::newRow("isnull") << "isnull(NULL, 'x')"
                                << "x";
        QTest::newRow("len") << "len('abc  ')"
                             << "3";
        QTest::newRow("substring") << "substring('abcdef', 2, 3)"
                                   << "bcd";
        QTest::newRow("charindex") << "charindex('c', 'abcabc')"
                                   << "3";
        QTest::newRow("convert") << "convert(varchar(10), 12)"
                                 << "12";
        QTest::newRow("cast") << "cast('7' AS int) + 1"
                              << "8";
        QTest::newRow("upper") << "upper('abc')"
                               << "ABC";
        QTest::newRow("rowcount") << "@@ROWCOUNT"
                                  << "0";
        QTest::newRow("numeric default") << "((0))"
                                         << "0";
        QTest::newRow("text default") << "('A')"
                                      << "A";
        QTest::newRow("login default") << "(suser_sname())"
                                       << "sa";
    }
    void functions() {
        QFETCH(QString, expression);
        QFETCH(QString, expected);
        fx->run("SET NOCOUNT OFF");
        auto s = fx->run("SELECT " + expression);
        QCOMPARE(s->firstError(), QString());
        QCOMPARE(s->text(0, 0, 0), expected);
    }

    void getdateIsRecent() {
        auto s = fx->run("SELECT getdate()");
        QCOMPARE(s->results.at(0).meta.columns.at(0).type, SqlType::NVarChar);
        QVERIFY(s->text(0, 0, 0).startsWith(QDate::currentDate().toString("yyyy-")));
    }

    void storedFormsCompareEqual_data() {
        QTest::addColumn<QString>("definition");
        QTest::addColumn<QString>("written");
        QTest::addColumn<QString>("compared");
        QTest::newRow("date only") << "datetime"
                                   << "'1999-12-31'"
                                   << "'1999-12-31 00:00:00.000'";
        QTest::newRow("compact date") << "datetime"
                                      << "'19991231'"
                                      << "'1999-12-31 00:00:00.000'";
        QTest::newRow("no milliseconds") << "datetime"
                                         << "'2024-02-29 13:45:30'"
                                         << "'2024-02-29 13:45:30.000'";
        QTest::newRow("smalldatetime minute") << "smalldatetime"
                                              << "'2024-02-29 13:45:40'"
                                              << "'2024-02-29 13:46:00.000'";
        QTest::newRow("date drops time") << "date"
                                         << "'2024-02-29 13:45:40'"
                                         << "'2024-02-29 00:00:00.000'";
        QTest::newRow("bit") << "bit"
                             << "7"
                             << "1";
    }
    void storedFormsCompareEqual() {
        QFETCH(QString, definition);
        QFETCH(QString, written);
        QFETCH(QString, compared);
        auto s = fx->run("CREATE TABLE Forms (k int, v " + definition +
                         ") INSERT INTO Forms "
                         "VALUES (1, " +
                         written +
                         ") INSERT INTO Forms VALUES (2, NULL) "
                         "UPDATE Forms SET v = " +
                         written +
                         " WHERE k = 2 "
                         "SELECT COUNT(*) FROM Forms WHERE v = " +
                         compared + " DROP TABLE Forms");
        QCOMPARE(s->firstError(), QString());
        QCOMPARE(s->text(0, 0, 0), QString("2"));
    }

    void dateLiteralsCompareInStoredForm_data() {
        QTest::addColumn<QString>("condition");
        QTest::addColumn<int>("count");
        QTest::newRow("equal") << "d = '2024-02-29'" << 1;
        QTest::newRow("reversed") << "'20240229' = d" << 1;
        QTest::newRow("less") << "d < '2024-03-01'" << 2;
        QTest::newRow("between") << "d BETWEEN '2024-02-29' AND '2024-03-01 10:00'" << 1;
        QTest::newRow("qualified") << "Dates.d >= '2024-03-01'" << 1;
    }
    void dateLiteralsCompareInStoredForm() {
        QFETCH(QString, condition);
        QFETCH(int, count);
        auto s = fx->run("CREATE TABLE Dates (d datetime) INSERT INTO Dates VALUES ('2024-02-28 "
                         "23:59') INSERT INTO Dates VALUES ('2024-02-29') INSERT INTO Dates "
                         "VALUES ('2024-03-01 12:00') SELECT COUNT(*) FROM Dates WHERE " +
                         condition + " DROP TABLE Dates");
        QCOMPARE(s->firstError(), QString());
        QCOMPARE(s->text(0, 0, 0), QString::number(count));
    }

    void badDateFailsTheStatement() {
        auto s = fx->run("CREATE TABLE BadDate (v datetime) INSERT INTO BadDate VALUES ('soon') "
                         "SELECT COUNT(*) FROM BadDate DROP TABLE BadDate");
        QCOMPARE(s->errors().size(), size_t(1));
        QCOMPARE(s->errors()[0].number, 241);
        QCOMPARE(s->text(0, 0, 0), QString("0"));
    }

    void scopeIdentityBelongsToItsBatch() {
        auto s = fx->run("CREATE TABLE Sc (id int IDENTITY PRIMARY KEY, v int) "
                         "INSERT INTO Sc (v) VALUES (1) SELECT SCOPE_IDENTITY()");
        QCOMPARE(s->text(0, 0, 0), QString("1"));
        auto next = fx->run("SELECT SCOPE_IDENTITY(), @@IDENTITY DROP TABLE Sc");
        QCOMPARE(next->text(0, 0, 0), QString("NULL"));
        QCOMPARE(next->text(0, 0, 1), QString("1"));
    }

    void plusJoinsCharacterColumns() {
        auto s = fx->run("CREATE TABLE Names (first varchar(10), last nvarchar(10), n int) "
                         "INSERT INTO Names VALUES ('Ada', N'Lovelace', 1) "
                         "SELECT first + last, n + n, Names.first + ' ' + Names.last FROM Names "
                         "DROP TABLE Names");
        QCOMPARE(s->firstError(), QString());
        QCOMPARE(s->text(0, 0, 0), QString("AdaLovelace"));
        QCOMPARE(s->text(0, 0, 1), QString("2"));
        QCOMPARE(s->text(0, 0, 2), QString("Ada Lovelace"));
    }

    void identityAndDefaults() {
        auto s = fx->run("CREATE TABLE Ident (id int IDENTITY(10,5) NOT NULL, name varchar(10), "
                         "made datetime DEFAULT getdate(), who varchar(20) DEFAULT suser_sname(), "
                         "qty int DEFAULT ((3)), CONSTRAINT PK_Ident PRIMARY KEY (id, name)) "
                         "INSERT INTO Ident (name) VALUES ('a') INSERT INTO Ident (name) VALUES "
                         "('b') SELECT @@IDENTITY, SCOPE_IDENTITY() "
                         "SELECT id, who, qty, made FROM Ident ORDER BY id DROP TABLE Ident");
        QCOMPARE(s->firstError(), QString());
        QCOMPARE(s->text(0, 0, 0), QString("15"));
        QCOMPARE(s->text(0, 0, 1), QString("15"));
        QCOMPARE(s->text(1, 0, 0), QString("10"));
        QCOMPARE(s->text(1, 1, 0), QString("15"));
        QCOMPARE(s->text(1, 0, 1), QString("sa"));
        QCOMPARE(s->text(1, 0, 2), QString("3"));
        QVERIFY(s->text(1, 0, 3).startsWith(QDate::currentDate().toString("yyyy-MM-dd")));
        QVERIFY(s->results[1].meta.columns[0].identity);
        QVERIFY(!s->results[1].meta.columns[0].writable);
    }

    void rowCountsAndNoCount() {
        auto s = fx->run("CREATE TABLE Counts (x int) INSERT INTO Counts VALUES (1), (2), (3) "
                         "UPDATE Counts SET x = x + 1 WHERE x > 1 SELECT @@ROWCOUNT "
                         "SET NOCOUNT ON DELETE FROM Counts SET NOCOUNT OFF DROP TABLE Counts");
        QCOMPARE(s->firstError(), QString());
        QCOMPARE(s->dones.at(1).rowCount, std::optional<int64_t>(3));
        QCOMPARE(s->dones.at(2).rowCount, std::optional<int64_t>(2));
        QCOMPARE(s->text(0, 0, 0), QString("2"));
        QCOMPARE(s->dones.at(5).rowCount, std::optional<int64_t>());
    }

    void truncateResetsIdentity() {
        auto s = fx->run("CREATE TABLE Tr (id int IDENTITY PRIMARY KEY, v int) INSERT INTO Tr (v) "
                         "VALUES (1) TRUNCATE TABLE Tr INSERT INTO Tr (v) VALUES (2) "
                         "SELECT id, v FROM Tr DROP TABLE Tr");
        QCOMPARE(s->firstError(), QString());
        QCOMPARE(s->text(0, 0, 0), QString("1"));
        QCOMPARE(s->text(0, 0, 1), QString("2"));
    }

    void printAndSet() {
        auto s = fx->run("SET ANSI_NULLS ON SET TEXTSIZE 2147483647 SET QUOTED_IDENTIFIER ON "
                         "PRINT 'hello ' + 'world'");
        QCOMPARE(s->firstError(), QString());
        QCOMPARE(s->messages.size(), size_t(1));
        QCOMPARE(s->messages[0].number, 0);
        QCOMPARE(int(s->messages[0].severity), 0);
        QCOMPARE(QString::fromStdU16String(s->messages[0].text), QString("hello world"));
    }

    void parametersBindByName() {
        fx->run("CREATE TABLE Params (i int, v varchar(50), n nvarchar(50))");
        auto s = rpc(u"sp_executesql", {ntext("INSERT INTO Params VALUES (@P1, @P2, @P3)"),
                                        ntext("@P1 INT,@P2 VARCHAR(50),@P3 NVARCHAR(50)"),
                                        intParam(5), bytesParam("five", 1252), ntext("五")});
        QCOMPARE(s->firstError(), QString());
        QCOMPARE(s->statuses, std::vector<int32_t>{0});
        auto q = rpc(u"sp_executesql", {ntext("SELECT v, n FROM Params WHERE i = @P1"),
                                        ntext("@P1 int"), intParam(5)});
        QCOMPARE(q->text(0, 0, 0), QString("five"));
        QCOMPARE(q->text(0, 0, 1), QString("五"));
        auto missing = rpc(u"sp_executesql", {ntext("SELECT @P2"), ntext("@P1 int"), intParam(1)});
        QCOMPARE(missing->errors().at(0).number, 137);
        fx->run("DROP TABLE Params");
    }

    void guidParameterKeepsItsByteOrder() {
        fx->run("CREATE TABLE Guids (g uniqueidentifier)");
        Param guid;
        guid.type.type = SqlType::UniqueIdentifier;
        guid.type.length = 16;
        GuidValue g;
        const uint8_t wire[16] = {4, 3, 2, 1, 6, 5, 8, 7, 9, 10, 11, 12, 13, 14, 15, 16};
        std::copy(std::begin(wire), std::end(wire), g.bytes);
        guid.value = g;
        auto s = rpc(u"sp_executesql", {ntext("INSERT INTO Guids VALUES (@P1)"),
                                        ntext("@P1 uniqueidentifier"), guid});
        QCOMPARE(s->firstError(), QString());
        auto q = fx->run("SELECT g FROM Guids SELECT COUNT(*) FROM Guids WHERE g = "
                         "'01020304-0506-0708-090A-0B0C0D0E0F10'");
        QCOMPARE(q->firstError(), QString());
        QCOMPARE(q->text(0, 0, 0), QString("0403020106050807090a0b0c0d0e0f10"));
        QCOMPARE(q->text(1, 0, 0), QString("1"));
        fx->run("DROP TABLE Guids");
    }

    void prepareAndExecute() {
        std::vector<Param> params{intParam(0), ntext("@P1 int"), ntext("SELECT @P1 * 2")};
        params[0].output = true;
        for (Param& p : params) // the copies' views must point into the copies
            if (std::holds_alternative<std::u16string_view>(p.value))
                p.value = std::u16string_view(p.text);
        auto prep = std::make_unique<RecordingSink>();
        fx->engine->executeRpc(*fx->session, u"sp_prepare", params, *prep);
        QCOMPARE(prep->firstError(), QString());
        QCOMPARE(prep->returnValues.size(), size_t(1));
        const int64_t handle = prep->returnValues[0];
        QCOMPARE(std::get<int64_t>(params[0].value), handle);
        auto run = rpc(u"sp_execute", {intParam(handle), intParam(21)});
        QCOMPARE(run->text(0, 0, 0), QString("42"));
        rpc(u"sp_unprepare", {intParam(handle)});
        auto gone = rpc(u"sp_execute", {intParam(handle), intParam(21)});
        QCOMPARE(gone->errors().at(0).number, 8179);
    }

    void transactions() {
        fx->run("CREATE TABLE Tx (x int)");
        RecordingSink sink;
        QVERIFY(fx->engine->beginTransaction(*fx->session) != 0);
        QVERIFY(fx->session->inTransaction());
        fx->run("INSERT INTO Tx VALUES (1)");
        fx->engine->rollbackTransaction(*fx->session, sink);
        QVERIFY(!fx->session->inTransaction());
        QCOMPARE(fx->run("SELECT COUNT(*) FROM Tx")->text(0, 0, 0), QString("0"));

        fx->engine->beginTransaction(*fx->session);
        fx->run("INSERT INTO Tx VALUES (2)");
        fx->engine->commitTransaction(*fx->session, sink);
        QCOMPARE(sink.errors().size(), size_t(0));
        QCOMPARE(fx->run("SELECT COUNT(*) FROM Tx")->text(0, 0, 0), QString("1"));

        auto s = fx->run("BEGIN TRAN INSERT INTO Tx VALUES (3) ROLLBACK TRAN "
                         "BEGIN TRANSACTION INSERT INTO Tx VALUES (4) COMMIT "
                         "SELECT x FROM Tx ORDER BY x DROP TABLE Tx");
        QCOMPARE(s->firstError(), QString());
        QCOMPARE(s->results.at(0).rows.size(), size_t(2));
        QCOMPARE(s->text(0, 1, 0), QString("4"));
    }

    void anotherSessionSeesCommittedRows() {
        auto other = fx->newSession();
        fx->run("CREATE TABLE Shared (x int) INSERT INTO Shared VALUES (1)");
        RecordingSink sink;
        fx->engine->executeBatch(*other, u"USE Scratch SELECT COUNT(*) FROM Shared", sink);
        QCOMPARE(sink.firstError(), QString());
        QCOMPARE(sink.text(0, 0, 0), QString("1"));
        fx->run("DROP TABLE Shared");
    }

    void sessionsWriteConcurrently() {
        fx->run("CREATE TABLE Busy (session int, n int)");
        auto work = [this](int id) {
            auto session = fx->newSession();
            for (int n = 0; n < 50; ++n) {
                RecordingSink sink;
                const std::u16string sql = u"USE Scratch BEGIN TRAN INSERT INTO Busy VALUES (" +
                                           QString::number(id).toStdU16String() + u", " +
                                           QString::number(n).toStdU16String() +
                                           u") SELECT COUNT(*) FROM Busy COMMIT";
                fx->engine->executeBatch(*session, sql, sink);
                if (!sink.errors().empty())
                    return false;
            }
            return true;
        };
        auto a = std::async(std::launch::async, work, 1);
        auto b = std::async(std::launch::async, work, 2);
        QVERIFY(a.get());
        QVERIFY(b.get());
        QCOMPARE(fx->run("SELECT COUNT(*) FROM Busy DROP TABLE Busy")->text(0, 0, 0),
                 QString("100"));
    }

    void waitforStopsOnCancel() {
        RecordingSink sink;
        sink.cancelAfterPolls = 3;
        fx->engine->executeBatch(*fx->session, u"WAITFOR DELAY '01:00:00' SELECT 1", sink);
        QVERIFY(sink.polls > 3);
        QVERIFY(sink.results.empty());
        QVERIFY(sink.dones.empty());
        RecordingSink done;
        fx->engine->executeBatch(*fx->session, u"WAITFOR DELAY '00:00:00.010' SELECT 1", done);
        QCOMPARE(done.firstError(), QString());
        QCOMPARE(done.results.size(), size_t(1));
    }

    void rowsStopOnCancel() {
        RecordingSink sink;
        sink.cancelAfterRows = 100;
        fx->engine->executeBatch(*fx->session, u"USE PELMAR_TTRS SELECT * FROM T_LSTDOC SELECT 1",
                                 sink);
        QCOMPARE(sink.results.size(), size_t(1));
        QVERIFY(sink.results[0].rows.size() < 200);
        QCOMPARE(sink.dones.size(), size_t(1)); // only the USE completed
    }

    void browseInformation() {
        auto s = fx->run("USE VELKIN_DEMO SET NO_BROWSETABLE ON "
                         "SELECT Product AS Item, Qty * 2 FROM OrderLines SET NO_BROWSETABLE OFF");
        QCOMPARE(s->firstError(), QString());
        const ResultMeta& meta = s->results.at(0).meta;
        QCOMPARE(meta.tables.size(), size_t(1));
        QCOMPARE(meta.tables[0].parts, std::vector<std::u16string>({u"dbo", u"OrderLines"}));
        QCOMPARE(meta.columns.size(), size_t(4));
        QCOMPARE(meta.columns[0].tableIndex, 1);
        QCOMPARE(meta.columns[0].baseColumn, std::u16string(u"Product"));
        QVERIFY(!meta.columns[0].isKey);
        QCOMPARE(meta.columns[1].tableIndex, 0); // an expression
        for (int k : {2, 3}) {
            QVERIFY(meta.columns[k].hidden);
            QVERIFY(meta.columns[k].isKey);
        }
        QCOMPARE(meta.columns[2].name, std::u16string(u"OrderNo"));
        QCOMPARE(s->results[0].rows.at(0).size(), size_t(4));

        auto plain = fx->run("SELECT Product FROM OrderLines");
        QVERIFY(plain->results.at(0).meta.tables.empty());
        QCOMPARE(plain->results[0].meta.columns.size(), size_t(1));
    }

    void databasesLifecycle() {
        auto s = fx->run("CREATE DATABASE Tw COLLATE Chinese_Taiwan_Stroke_CI_AS USE Tw");
        QCOMPARE(s->firstError(), QString());
        QCOMPARE(s->lastCollation.codePage, uint16_t(950));
        QCOMPARE(s->lastCollation.info, uint32_t(0x00D00404));
        auto inUse = fx->run("DROP DATABASE Tw");
        QCOMPARE(inUse->errors().at(0).number, 3702);
        auto dropped = fx->run("USE Scratch DROP DATABASE Tw USE Tw");
        QCOMPARE(dropped->errors().size(), size_t(1));
        QCOMPARE(dropped->errors()[0].number, 911);
        auto bad = fx->run("CREATE DATABASE Bad COLLATE Klingon_CI_AS");
        QCOMPARE(bad->errors().at(0).number, 448);
    }

    void recreatedDatabaseStartsEmpty() {
        auto other = fx->newSession();
        fx->run("CREATE DATABASE Again USE Again CREATE TABLE Old (x int) USE Scratch");
        RecordingSink used;
        fx->engine->executeBatch(*other, u"USE Again SELECT COUNT(*) FROM Old USE master", used);
        QCOMPARE(used.firstError(), QString());
        auto s = fx->run("DROP DATABASE Again CREATE DATABASE Again USE Again "
                         "SELECT * FROM Old USE Scratch");
        QCOMPARE(s->errors().size(), size_t(1));
        QCOMPARE(s->errors()[0].number, 208);
        RecordingSink again;
        fx->engine->executeBatch(*other, u"USE Again SELECT * FROM Old USE master", again);
        QCOMPARE(again.errors().size(), size_t(1));
        QCOMPARE(again.errors()[0].number, 208);
        fx->run("DROP DATABASE Again");
    }

    void viewsAndIndexes() {
        auto s = fx->run("CREATE TABLE Vt (a int PRIMARY KEY, b varchar(10)) "
                         "CREATE UNIQUE NONCLUSTERED INDEX IX_b ON Vt (b) "
                         "INSERT INTO Vt VALUES (1, 'x') "
                         "CREATE VIEW Vv AS SELECT a, b FROM dbo.Vt");
        QCOMPARE(s->firstError(), QString());
        auto v = fx->run("SELECT b FROM Vv INSERT INTO Vt VALUES (2, 'X')");
        QCOMPARE(v->text(0, 0, 0), QString("x"));
        QCOMPARE(v->errors().at(0).number, 2601); // 'X' equals 'x' without regard to case
        auto d = fx->run("DROP INDEX Vt.IX_b INSERT INTO Vt VALUES (2, 'X') DROP VIEW Vv "
                         "DROP TABLE Vt");
        QCOMPARE(d->firstError(), QString());
    }

    void loginChecks() {
        RecordingSink bad;
        QVERIFY(!fx->engine->login(u"sa", u"wrong", u"", bad));
        QCOMPARE(bad.errors().at(0).number, 18456);
        QCOMPARE(int(bad.errors()[0].severity), 14);
        RecordingSink good;
        auto s = fx->engine->login(u"SA", u"velkin", u"PELMAR_TTRS", good);
        QVERIFY(s);
        QCOMPARE(QString::fromStdU16String(s->currentDatabase()), QString("PELMAR_TTRS"));
        QCOMPARE(good.databaseChanges, std::vector<QString>{"PELMAR_TTRS"});
        QCOMPARE(good.lastCollation.codePage, uint16_t(950));
    }
};

QTEST_GUILESS_MAIN(EngineSqlTest)
#include "tst_engine_sql.moc"
