// The rules under Connect that need no server: the connection string of a SQL
// Server login, the whole-number conversion of the time-out box, and the walk
// that gives the window's ADO components their time-out in order.
#include "app/DataObjects.h"
#include "app/IntegerText.h"
#include "data/db/DBErrors.h"

#include <QTest>
#include <deque>

class TestConnectionRules : public QObject {
    Q_OBJECT
private slots:
    void connectionString_data();
    void connectionString();
    void strToInt_data();
    void strToInt();
    void strToIntRejects_data();
    void strToIntRejects();
    void timeoutWalksAdoComponentsInOrder();
    void timeoutErrorStopsAtFirstAdoComponent();
};

void TestConnectionRules::connectionString_data() {
    QTest::addColumn<QString>("dataSource");
    QTest::addColumn<QString>("database");
    QTest::addColumn<QString>("login");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("expected");
    const QString head = "Provider=SQLOLEDB.1;Persist Security Info=True;";
    QTest::newRow("ordinary values fill the template")
        << "10.0.0.5,1500"
        << "Master"
        << "sa"
        << "velkin"
        << head + "Data Source=10.0.0.5,1500;Initial Catalog=Master;User ID=sa;Password=velkin";
    QTest::newRow("empty port ends the data source in a comma")
        << "10.0.0.5,"
        << "Master"
        << "sa"
        << "velkin"
        << head + "Data Source=10.0.0.5,;Initial Catalog=Master;User ID=sa;Password=velkin";
    QTest::newRow("empty login and password")
        << "1.2.3.4,1433"
        << "PELMAR_TTRS"
        << ""
        << "" << head + "Data Source=1.2.3.4,1433;Initial Catalog=PELMAR_TTRS;User ID=;Password=";
    QTest::newRow("blank inside a value stays bare")
        << "h,1"
        << "My Db"
        << "a b"
        << "p w" << head + "Data Source=h,1;Initial Catalog=My Db;User ID=a b;Password=p w";
    QTest::newRow("semicolon in the password is quoted")
        << "h,1"
        << "Master"
        << "sa"
        << "a;Initial Catalog=x"
        << head + "Data Source=h,1;Initial Catalog=Master;User ID=sa;"
                  "Password=\"a;Initial Catalog=x\"";
    QTest::newRow("equals sign in the password is quoted")
        << "h,1"
        << "Master"
        << "sa"
        << "a=b"
        << head + "Data Source=h,1;Initial Catalog=Master;"
                  "User ID=sa;Password=\"a=b\"";
    QTest::newRow("blanks at the ends of login and password are kept by quoting")
        << "h,1"
        << "Master"
        << " sa "
        << " pw"
        << head + "Data Source=h,1;Initial Catalog=Master;User ID=\" sa \";Password=\" pw\"";
    QTest::newRow("double quote goes in single quotes")
        << "h,1"
        << "Master"
        << "sa"
        << "a\"b" << head + "Data Source=h,1;Initial Catalog=Master;User ID=sa;Password='a\"b'";
    QTest::newRow("both quotes: double quotes, doubled inside")
        << "h,1"
        << "Master"
        << "sa"
        << "a'b\"c"
        << head + "Data Source=h,1;Initial Catalog=Master;User ID=sa;Password=\"a'b\"\"c\"";
}

void TestConnectionRules::connectionString() {
    QFETCH(QString, dataSource);
    QFETCH(QString, database);
    QFETCH(QString, login);
    QFETCH(QString, password);
    QFETCH(QString, expected);
    const platform::WideString text =
        SQLServerConnectionString(dataSource.toStdString(), database.toStdString(),
                                  login.toStdString(), password.toStdString());
    QCOMPARE(QString::fromStdU16String(text), expected);
}

void TestConnectionRules::strToInt_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("value");
    QTest::newRow("default") << "30" << 30;
    QTest::newRow("zero") << "0" << 0;
    QTest::newRow("leading zeros") << "007" << 7;
    QTest::newRow("plus sign") << "+15" << 15;
    QTest::newRow("minus sign") << "-5" << -5;
    QTest::newRow("largest") << "2147483647" << 2147483647;
    QTest::newRow("smallest") << "-2147483648" << int(-2147483647 - 1);
    QTest::newRow("hexadecimal") << "$1E" << 30;
    QTest::newRow("hexadecimal lower case") << "$ff" << 255;
    QTest::newRow("negative hexadecimal") << "-$10" << -16;
    QTest::newRow("hexadecimal fills 32 bits") << "$FFFFFFFF" << -1;
}

void TestConnectionRules::strToInt() {
    QFETCH(QString, text);
    QFETCH(int, value);
    QCOMPARE(StrToInt(text.toStdString()), value);
}

void TestConnectionRules::strToIntRejects_data() {
    QTest::addColumn<QString>("text");
    QTest::newRow("letters") << "abc";
    QTest::newRow("empty") << "";
    QTest::newRow("sign only") << "-";
    QTest::newRow("dollar only") << "$";
    QTest::newRow("leading blank") << " 30";
    QTest::newRow("trailing blank") << "30 ";
    QTest::newRow("digits then letters") << "30s";
    QTest::newRow("fraction") << "1.5";
    QTest::newRow("decimal overflow") << "2147483648";
    QTest::newRow("negative overflow") << "-2147483649";
    QTest::newRow("hexadecimal overflow") << "$100000000";
    QTest::newRow("hex digit without dollar") << "1F";
    QTest::newRow("two signs") << "--1";
}

void TestConnectionRules::strToIntRejects() {
    QFETCH(QString, text);
    try {
        StrToInt(text.toStdString());
        QFAIL("no error raised");
    } catch (const db::EConvertError& e) {
        QCOMPARE(QString(e.what()), "'" + text + "' is not a valid integer value");
    }
}

namespace {

// An owner holding each kind of component, data sources among them, in a mixed order.
struct MixedOwner {
    db::TComponent owner;
    db::TADODataSet firstDataSet{&owner};
    db::TDataSource source{&owner};
    db::TADOConnectionComponent connection{&owner};
    db::TADOCommandComponent command{&owner};
    db::TADOTable table{&owner};
    db::TDataSource secondSource{&owner};
    db::TADOConnectionComponent secondConnection{&owner};
};

// Hands out the given texts one per call, so each component shows which call it got.
std::function<platform::AnsiString()> Texts(std::deque<platform::AnsiString> texts) {
    return [texts]() mutable {
        platform::AnsiString next = texts.front();
        texts.pop_front();
        return next;
    };
}

} // namespace

void TestConnectionRules::timeoutWalksAdoComponentsInOrder() {
    MixedOwner m;
    ApplyTimeout(m.owner, Texts({"1", "2", "3", "4", "5"}));
    QCOMPARE(m.firstDataSet.CommandTimeout(), 1);
    QCOMPARE(m.connection.ConnectionTimeout(), 2);
    QCOMPARE(m.command.CommandTimeout, 3);
    QCOMPARE(m.table.CommandTimeout(), 4);
    QCOMPARE(m.secondConnection.ConnectionTimeout(), 5);
}

void TestConnectionRules::timeoutErrorStopsAtFirstAdoComponent() {
    MixedOwner m;
    QVERIFY_THROWS_EXCEPTION(db::EConvertError, ApplyTimeout(m.owner, Texts({"x"})));
    QCOMPARE(m.firstDataSet.CommandTimeout(), 30);
    QCOMPARE(m.connection.ConnectionTimeout(), 15);

    // A text that turns bad midway leaves the components before it set, the rest untouched.
    MixedOwner later;
    QVERIFY_THROWS_EXCEPTION(db::EConvertError, ApplyTimeout(later.owner, Texts({"8", "9", "?"})));
    QCOMPARE(later.firstDataSet.CommandTimeout(), 8);
    QCOMPARE(later.connection.ConnectionTimeout(), 9);
    QCOMPARE(later.command.CommandTimeout, 30);
    QCOMPARE(later.table.CommandTimeout(), 30);
    QCOMPARE(later.secondConnection.ConnectionTimeout(), 15);
}

QTEST_GUILESS_MAIN(TestConnectionRules)
#include "tst_ConnectionRules.moc"
