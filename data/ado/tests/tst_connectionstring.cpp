// OLE DB connection strings: parsing by the quoting rules, building that quotes
// only where needed, and the ODBC login made from them.
#include "data/ado/ConnectionString.h"
#include "data/ado/Recordset.h"

#include <QTest>

using ado::ConnectionString;
using ado::WideString;

namespace {
QString q(const WideString& s) {
    return QString::fromStdU16String(s);
}
WideString w(const QString& s) {
    return s.toStdU16String();
}
} // namespace

class TestConnectionString : public QObject {
    Q_OBJECT
private slots:
    void parse_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("expected");
        const QString tpl =
            "Provider=SQLOLEDB.1;Persist Security Info=True;Data Source=10.0.0.5,1500;"
            "Initial Catalog=Master;User ID=sa;Password=pw";
        QTest::newRow("template source") << tpl << "Data Source"
                                         << "10.0.0.5,1500";
        QTest::newRow("key case") << tpl << "data source"
                                  << "10.0.0.5,1500";
        QTest::newRow("last pair") << tpl << "PASSWORD"
                                   << "pw";
        QTest::newRow("blanks trimmed") << "  User ID =  sa  ; x=1"
                                        << "user id"
                                        << "sa";
        QTest::newRow("double quoted ;") << "Password=\"a;b=c\";x=1"
                                         << "Password"
                                         << "a;b=c";
        QTest::newRow("single quoted") << "Password='it''s'"
                                       << "Password"
                                       << "it's";
        QTest::newRow("doubled double") << "Password=\"say \"\"hi\"\"\""
                                        << "Password"
                                        << "say \"hi\"";
        QTest::newRow("quoted keeps blanks") << "Password=' a '"
                                             << "Password"
                                             << " a ";
        QTest::newRow("blank after quote") << "Password='x'  ;y=2"
                                           << "y"
                                           << "2";
        QTest::newRow("empty value") << "Data Source=10.0.0.5,;Password="
                                     << "Password"
                                     << "";
        QTest::newRow("later key wins") << "a=1;A=2"
                                        << "a"
                                        << "2";
        QTest::newRow("missing key") << "a=1"
                                     << "b"
                                     << "";
        QTest::newRow("empty segments") << ";;a=1;;"
                                        << "a"
                                        << "1";
        QTest::newRow("doubled = in key") << "a==b=3"
                                          << "a=b"
                                          << "3";
    }
    void parse() {
        QFETCH(QString, text);
        QFETCH(QString, key);
        QFETCH(QString, expected);
        QCOMPARE(q(ConnectionString::parse(w(text)).value(w(key))), expected);
    }

    void parseRejects_data() {
        QTest::addColumn<QString>("text");
        QTest::newRow("unterminated quote") << "Password='abc";
        QTest::newRow("text after quote") << "Password='abc'def;x=1";
        QTest::newRow("no equals") << "Provider;x=1";
    }
    void parseRejects() {
        QFETCH(QString, text);
        QVERIFY_THROWS_EXCEPTION(ado::ConnectionStringError, ConnectionString::parse(w(text)));
    }

    void quoteValue_data() {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("written");
        QTest::newRow("plain") << "10.0.0.5,1500"
                               << "10.0.0.5,1500";
        QTest::newRow("empty") << ""
                               << "";
        QTest::newRow("inner blank") << "my pass"
                                     << "my pass";
        QTest::newRow("semicolon") << "a;b"
                                   << "\"a;b\"";
        QTest::newRow("equals") << "a=b"
                                << "\"a=b\"";
        QTest::newRow("leading blank") << " a"
                                       << "\" a\"";
        QTest::newRow("trailing blank") << "a "
                                        << "\"a \"";
        QTest::newRow("double quote") << "say \"x\""
                                      << "'say \"x\"'";
        QTest::newRow("single quote") << "it's"
                                      << "\"it's\"";
        QTest::newRow("both quotes") << "it's \"x\""
                                     << "\"it's \"\"x\"\"\"";
    }
    void quoteValue() {
        QFETCH(QString, value);
        QFETCH(QString, written);
        QCOMPARE(q(ConnectionString::quoteValue(w(value))), written);
        // What is written reads back as the value.
        const auto back = ConnectionString::parse(u"k=" + ConnectionString::quoteValue(w(value)));
        QCOMPARE(q(back.value(u"k")), value);
    }

    void buildGivesTemplateForOrdinaryValues() {
        ConnectionString cs;
        cs.set(u"Provider", u"SQLOLEDB.1");
        cs.set(u"Persist Security Info", u"True");
        cs.set(u"Data Source", u"10.0.0.5,1500");
        cs.set(u"Initial Catalog", u"Master");
        cs.set(u"User ID", u"sa");
        cs.set(u"Password", u"secret");
        QCOMPARE(q(cs.toString()), QString("Provider=SQLOLEDB.1;Persist Security Info=True;Data "
                                           "Source=10.0.0.5,1500;Initial Catalog=Master;User "
                                           "ID=sa;Password=secret"));
        cs.set(u"password", u"a;b");
        QCOMPARE(q(ConnectionString::parse(cs.toString()).value(u"Password")), QString("a;b"));
        QCOMPARE(cs.pairs().size(), size_t(6));
    }

    void odbcLogin_data() {
        QTest::addColumn<QString>("oledb");
        QTest::addColumn<QString>("odbc");
        const QString tail = ";TDS_Version=7.4;ClientCharset=UTF-8";
        QTest::newRow("template")
            << "Provider=SQLOLEDB.1;Persist Security Info=True;Data Source=10.0.0.5,1500;"
               "Initial Catalog=Master;User ID=sa;Password=pw"
            << "DRIVER={FreeTDS};SERVER=10.0.0.5;PORT=1500;DATABASE=Master;UID=sa;PWD=pw" + tail;
        QTest::newRow("empty port")
            << "Provider=SQLOLEDB;Data Source=10.0.0.5,;User ID=sa;Password=pw"
            << "DRIVER={FreeTDS};SERVER=10.0.0.5;PORT=1433;UID=sa;PWD=pw" + tail;
        QTest::newRow("no port") << "provider=sqloledb.1;Data Source=host;User ID=sa;Password="
                                 << "DRIVER={FreeTDS};SERVER=host;PORT=1433;UID=sa;PWD=" + tail;
        // The driver reads a braced value literally up to the first "};", so
        // braces are used only where they must be and "}" is never doubled.
        QTest::newRow("password braced")
            << "Provider=SQLOLEDB.1;Data Source=h,1;User ID=sa;Password=\"a;}b\""
            << "DRIVER={FreeTDS};SERVER=h;PORT=1;UID=sa;PWD={a;}b}" + tail;
        QTest::newRow("brace pair needs no braces")
            << "Provider=SQLOLEDB.1;Data Source=h,1;User ID=s{a}m;Password=p{a}ss"
            << "DRIVER={FreeTDS};SERVER=h;PORT=1;UID=s{a}m;PWD=p{a}ss" + tail;
        QTest::newRow("lone closing brace")
            << "Provider=SQLOLEDB.1;Data Source=h,1;User ID=sa;Password=pa}ss"
            << "DRIVER={FreeTDS};SERVER=h;PORT=1;UID=sa;PWD=pa}ss" + tail;
        QTest::newRow("leading opening brace")
            << "Provider=SQLOLEDB.1;Data Source=h,1;User ID={sa};Password={x}"
            << "DRIVER={FreeTDS};SERVER=h;PORT=1;UID={{sa}};PWD={{x}}" + tail;
        QTest::newRow("closing brace last, braced")
            << "Provider=SQLOLEDB.1;Data Source=h,1;User ID=sa;Password=\"a;b}\""
            << "DRIVER={FreeTDS};SERVER=h;PORT=1;UID=sa;PWD={a;b}}" + tail;
        QTest::newRow("blanks at the ends")
            << "Provider=SQLOLEDB.1;Data Source=h,1;User ID=sa;Password=\" p} \""
            << "DRIVER={FreeTDS};SERVER=h;PORT=1;UID=sa;PWD={ p} }" + tail;
    }
    void odbcLogin() {
        QFETCH(QString, oledb);
        QFETCH(QString, odbc);
        QCOMPARE(q(ado::OdbcConnectionStringFor(w(oledb))), odbc);
    }

    // "};" ends a braced value wherever it stands: no driver connection string
    // carries it, and sending a cut one would log in with another password. Such
    // values go to the driver apart from the string, exactly as they stand.
    void valuesTheStringCannotCarryGoApart_data() {
        QTest::addColumn<QString>("oledb");
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("database");
        QTest::newRow("password") << "Provider=SQLOLEDB.1;Data Source=h,1;User ID=sa;"
                                     "Password=\"a};b\""
                                  << "sa"
                                  << "a};b"
                                  << "";
        QTest::newRow("login") << "Provider=SQLOLEDB.1;Data Source=h,1;User ID=\"{x};\";"
                                  "Password=pw"
                               << "{x};"
                               << "pw"
                               << "";
        QTest::newRow("database") << "Provider=SQLOLEDB.1;Data Source=h,1;Initial Catalog="
                                     "\"D};b \";User ID=sa;Password=pw"
                                  << "sa"
                                  << "pw"
                                  << "D};b ";
    }
    void valuesTheStringCannotCarryGoApart() {
        QFETCH(QString, oledb);
        QFETCH(QString, user);
        QFETCH(QString, password);
        QFETCH(QString, database);
        QVERIFY_THROWS_EXCEPTION(ado::AdoError, ado::OdbcConnectionStringFor(w(oledb)));
        const ado::OdbcLogin login = ado::OdbcLoginFor(w(oledb));
        QVERIFY(login.connectionString.empty());
        QCOMPARE(q(login.server), QString("h"));
        QCOMPARE(q(login.port), QString("1"));
        QCOMPARE(q(login.user), user);
        QCOMPARE(q(login.password), password);
        QCOMPARE(q(login.database), database);
        // Everything else keeps the string.
        const ado::OdbcLogin plain =
            ado::OdbcLoginFor(u"Provider=SQLOLEDB.1;Data Source=h,1;User ID=sa;Password=a}b");
        QCOMPARE(q(plain.connectionString),
                 q(ado::OdbcConnectionStringFor(
                     u"Provider=SQLOLEDB.1;Data Source=h,1;User ID=sa;Password=a}b")));
    }

    void unknownProviderIsRefused_data() {
        QTest::addColumn<QString>("text");
        QTest::newRow("jet") << "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=x.mdb";
        QTest::newRow("none") << "Data Source=10.0.0.5,1500";
        QTest::newRow("blank around =") << "Provider = SQLOLEDB2;Data Source=h";
    }
    void unknownProviderIsRefused() {
        QFETCH(QString, text);
        try {
            ado::OdbcConnectionStringFor(w(text));
            QFAIL("accepted");
        } catch (const ado::AdoError& e) {
            QCOMPARE(QString(e.what()),
                     QString("Provider cannot be found. It may not be properly installed."));
        }
    }
};

QTEST_APPLESS_MAIN(TestConnectionString)
#include "tst_connectionstring.moc"
