// End to end through the real client stack: unixODBC and the FreeTDS driver
// against a started stand-in.
#include "TdsTestUtil.h"
#include "standin/launcher/StandinProcess.h"
#include "standin/tds/Request.h"

#include <QTest>
#include <arpa/inet.h>
#include <memory>
#include <netinet/in.h>
#include <random>
#include <sql.h>
#include <sqlext.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace standin;
using namespace standin::testing;

namespace {

/// The first diagnostic record of a handle as "SQLSTATE|native|text".
QString diagnostic(SQLSMALLINT type, SQLHANDLE handle) {
    SQLWCHAR state[6] = {};
    SQLINTEGER native = 0;
    SQLWCHAR text[1024] = {};
    SQLSMALLINT length = 0;
    if (!SQL_SUCCEEDED(SQLGetDiagRecW(type, handle, 1, state, &native, text, 1024, &length)))
        return {};
    auto q = [](const SQLWCHAR* s) {
        return QString::fromUtf16(reinterpret_cast<const char16_t*>(s));
    };
    return q(state) + "|" + QString::number(native) + "|" + q(text);
}

std::u16string wide(const QString& s) {
    return s.toStdU16String();
}

/// One ODBC connection; everything is released by the destructor.
class Connection {
public:
    Connection() {
        SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env_);
        SQLSetEnvAttr(env_, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
        SQLAllocHandle(SQL_HANDLE_DBC, env_, &dbc_);
        SQLSetConnectAttr(dbc_, SQL_ATTR_LOGIN_TIMEOUT, reinterpret_cast<SQLPOINTER>(20), 0);
    }
    ~Connection() {
        if (connected_)
            SQLDisconnect(dbc_);
        SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
        SQLFreeHandle(SQL_HANDLE_ENV, env_);
    }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    /// Connects; returns the diagnostic on failure, an empty text on success.
    QString connect(int port, const QString& user = "sa", const QString& password = "velkin") {
        const std::u16string text = wide(QString("DRIVER={FreeTDS};SERVER=127.0.0.1;PORT=%1;"
                                                 "DATABASE=master;UID=%2;PWD=%3;TDS_Version=7.4;"
                                                 "ClientCharset=UTF-8")
                                             .arg(port)
                                             .arg(user, password));
        SQLWCHAR out[1024];
        SQLSMALLINT outLength = 0;
        const SQLRETURN rc = SQLDriverConnectW(
            dbc_, nullptr, reinterpret_cast<SQLWCHAR*>(const_cast<char16_t*>(text.c_str())),
            SQL_NTS, out, 1024, &outLength, SQL_DRIVER_NOPROMPT);
        connected_ = SQL_SUCCEEDED(rc);
        return connected_ ? QString() : diagnostic(SQL_HANDLE_DBC, dbc_);
    }
    SQLHDBC handle() const { return dbc_; }

private:
    SQLHENV env_ = SQL_NULL_HENV;
    SQLHDBC dbc_ = SQL_NULL_HDBC;
    bool connected_ = false;
};

/// One statement on a connection.
class Statement {
public:
    explicit Statement(Connection& c) { SQLAllocHandle(SQL_HANDLE_STMT, c.handle(), &stmt_); }
    ~Statement() { SQLFreeHandle(SQL_HANDLE_STMT, stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    SQLRETURN exec(const QString& sql) {
        const std::u16string text = wide(sql);
        return SQLExecDirectW(
            stmt_, reinterpret_cast<SQLWCHAR*>(const_cast<char16_t*>(text.c_str())), SQL_NTS);
    }
    /// Runs a statement and drains every result; returns the first failure's diagnostic.
    QString run(const QString& sql) {
        SQLRETURN rc = exec(sql);
        if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA)
            return diagnostic(SQL_HANDLE_STMT, stmt_);
        while (SQL_SUCCEEDED(SQLMoreResults(stmt_))) {
        }
        SQLFreeStmt(stmt_, SQL_CLOSE);
        return {};
    }
    /// A cell as text (SQL_C_WCHAR); "NULL" for NULL.
    QString text(int column) {
        SQLWCHAR buffer[4096];
        SQLLEN indicator = 0;
        const SQLRETURN rc = SQLGetData(stmt_, static_cast<SQLUSMALLINT>(column), SQL_C_WCHAR,
                                        buffer, sizeof buffer, &indicator);
        if (!SQL_SUCCEEDED(rc))
            return "error " + diagnostic(SQL_HANDLE_STMT, stmt_);
        if (indicator == SQL_NULL_DATA)
            return "NULL";
        return QString::fromUtf16(reinterpret_cast<const char16_t*>(buffer));
    }
    /// The rows of the current result, cells joined by "|".
    QStringList rows() {
        SQLSMALLINT columns = 0;
        SQLNumResultCols(stmt_, &columns);
        QStringList out;
        while (SQL_SUCCEEDED(SQLFetch(stmt_))) {
            QStringList cells;
            for (int i = 1; i <= columns; ++i)
                cells << text(i);
            out << cells.join('|');
        }
        return out;
    }
    SQLHSTMT handle() const { return stmt_; }

private:
    SQLHSTMT stmt_ = SQL_NULL_HSTMT;
};

const char* kLoginFailed = "[FreeTDS][SQL Server]Login failed for user '%1'.";

} // namespace

class TdsOdbc : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void login_data();
    void login();
    void selectTypes_data();
    void selectTypes();
    void nullsAndRowCount();
    void parameters();
    void invalidObject();
    void useDatabase();
    void transactions();
    void queryTimeoutCancels();
    void garbageLeavesOthersServed();

private:
    std::unique_ptr<StandinProcess> server_;
    std::unique_ptr<Connection> shared_;
};

void TdsOdbc::initTestCase() {
    server_ = std::make_unique<StandinProcess>();
    shared_ = std::make_unique<Connection>();
    QCOMPARE(shared_->connect(server_->port()), QString());
    Statement s(*shared_);
    QCOMPARE(s.run("CREATE TABLE tds_types (i int PRIMARY KEY, b bit, d decimal(18,4), f float, "
                   "dt datetime, v varchar(20), n nvarchar(20), t ntext, m nvarchar(max))"),
             QString());
    QCOMPARE(s.run(QString::fromUtf8(
                 "INSERT INTO tds_types (i, b, d, f, dt, v, n, t, m) VALUES (1, 1, 1234.5678, "
                 "2.5, '2024-02-29 13:45:30.500', 'abc', N'中文', N'memo', N'long text')")),
             QString());
    QCOMPARE(s.run("INSERT INTO tds_types (i) VALUES (2)"), QString());
}

void TdsOdbc::cleanupTestCase() {
    shared_.reset();
    server_.reset();
}

void TdsOdbc::login_data() {
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("failure");

    QTest::newRow("accepted") << "sa"
                              << "velkin"
                              << "";
    QTest::newRow("wrong password") << "sa"
                                    << "nope" << QString(kLoginFailed).arg("sa");
    QTest::newRow("unknown user") << "bob"
                                  << "velkin" << QString(kLoginFailed).arg("bob");
}

void TdsOdbc::login() {
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(QString, failure);
    Connection c;
    const QString diag = c.connect(server_->port(), user, password);
    if (failure.isEmpty()) {
        QCOMPARE(diag, QString());
        return;
    }
    QCOMPARE(diag.section('|', 2), failure);
    QCOMPARE(diag.section('|', 1, 1), QString("18456"));
}

void TdsOdbc::selectTypes_data() {
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("sqlType");
    QTest::addColumn<int>("size");
    QTest::addColumn<QString>("value");

    QTest::newRow("int") << 1 << SQL_INTEGER << 10 << "1";
    QTest::newRow("bit") << 2 << SQL_BIT << 1 << "1";
    // The driver describes decimal as SQL_NUMERIC and float as SQL_DOUBLE.
    QTest::newRow("decimal") << 3 << SQL_NUMERIC << 18 << "1234.5678";
    QTest::newRow("float") << 4 << SQL_DOUBLE << 53 << "2.5";
    QTest::newRow("datetime") << 5 << SQL_TYPE_TIMESTAMP << 23 << "2024-02-29 13:45:30.500";
    QTest::newRow("varchar") << 6 << SQL_VARCHAR << 20 << "abc";
    QTest::newRow("nvarchar") << 7 << SQL_WVARCHAR << 20 << QString::fromUtf8("中文");
    QTest::newRow("ntext") << 8 << SQL_WLONGVARCHAR << 1073741823 << "memo";
    QTest::newRow("nvarchar(max)") << 9 << SQL_WVARCHAR << 0 << "long text";
}

void TdsOdbc::selectTypes() {
    QFETCH(int, column);
    QFETCH(int, sqlType);
    QFETCH(int, size);
    QFETCH(QString, value);
    Statement s(*shared_);
    QVERIFY(SQL_SUCCEEDED(s.exec("SELECT i, b, d, f, dt, v, n, t, m FROM tds_types WHERE i = 1")));
    SQLWCHAR name[64];
    SQLSMALLINT nameLength = 0, type = 0, digits = 0, nullable = 0;
    SQLULEN columnSize = 0;
    QVERIFY(SQL_SUCCEEDED(SQLDescribeColW(s.handle(), static_cast<SQLUSMALLINT>(column), name, 64,
                                          &nameLength, &type, &columnSize, &digits, &nullable)));
    QCOMPARE(int(type), sqlType);
    QCOMPARE(int(columnSize), size);
    QVERIFY(SQL_SUCCEEDED(SQLFetch(s.handle())));
    QCOMPARE(s.text(column), value);
}

void TdsOdbc::nullsAndRowCount() {
    Statement s(*shared_);
    QVERIFY(SQL_SUCCEEDED(s.exec("SELECT i, b, d, f, dt, v, n, t, m FROM tds_types ORDER BY i")));
    const QStringList rows = s.rows();
    QCOMPARE(rows.size(), 2);
    QCOMPARE(rows[1], QString("2|NULL|NULL|NULL|NULL|NULL|NULL|NULL|NULL"));
    SQLFreeStmt(s.handle(), SQL_CLOSE);
    QVERIFY(SQL_SUCCEEDED(s.exec("UPDATE tds_types SET b = 0 WHERE i > 0")));
    SQLLEN count = -1;
    SQLRowCount(s.handle(), &count);
    QCOMPARE(int(count), 2);
}

void TdsOdbc::parameters() {
    // Bound parameters travel as an RPC with typed values.
    Statement s(*shared_);
    SQLINTEGER id = 10;
    const std::u16string nvalue = u"\u7E41\u9AD4";
    SQLLEN nlength = static_cast<SQLLEN>(nvalue.size() * 2);
    char vvalue[] = "xyz";
    SQLLEN vlength = 3;
    SQLLEN idLength = 0;
    SQLBindParameter(s.handle(), 1, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0, &id, 0,
                     &idLength);
    SQLBindParameter(s.handle(), 2, SQL_PARAM_INPUT, SQL_C_WCHAR, SQL_WVARCHAR, 20, 0,
                     const_cast<char16_t*>(nvalue.data()), nlength, &nlength);
    SQLBindParameter(s.handle(), 3, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR, 20, 0, vvalue, 3,
                     &vlength);
    QCOMPARE(s.run("INSERT INTO tds_types (i, n, v) VALUES (?, ?, ?)"), QString());
    SQLFreeStmt(s.handle(), SQL_RESET_PARAMS);
    QVERIFY(SQL_SUCCEEDED(s.exec("SELECT n, v FROM tds_types WHERE i = 10")));
    QCOMPARE(s.rows(), QStringList{QString::fromStdU16String(nvalue) + "|xyz"});
    SQLFreeStmt(s.handle(), SQL_CLOSE);
    QCOMPARE(s.run("DELETE FROM tds_types WHERE i = 10"), QString());
}

void TdsOdbc::invalidObject() {
    Statement s(*shared_);
    QCOMPARE(s.run("SELECT * FROM nosuch"),
             QString("42S02|208|[FreeTDS][SQL Server]Invalid object name 'nosuch'."));
}

void TdsOdbc::useDatabase() {
    Connection c;
    QCOMPARE(c.connect(server_->port()), QString());
    Statement s(c);
    QCOMPARE(s.run("CREATE DATABASE tds_other"), QString());
    QCOMPARE(s.exec("USE tds_other"), SQLRETURN(SQL_SUCCESS_WITH_INFO));
    QCOMPARE(diagnostic(SQL_HANDLE_STMT, s.handle()),
             QString("01000|5701|[FreeTDS][SQL Server]Changed database context to 'tds_other'."));
    SQLWCHAR catalog[64] = {};
    SQLINTEGER length = 0;
    QVERIFY(SQL_SUCCEEDED(SQLGetConnectAttrW(c.handle(), SQL_ATTR_CURRENT_CATALOG, catalog,
                                             sizeof catalog, &length)));
    QCOMPARE(QString::fromUtf16(reinterpret_cast<const char16_t*>(catalog)), QString("tds_other"));
}

void TdsOdbc::transactions() {
    // With autocommit off the driver begins, commits and rolls back through
    // TRANS_MGR requests, each commit or rollback beginning the next transaction.
    {
        Connection c;
        QCOMPARE(c.connect(server_->port()), QString());
        QVERIFY(SQL_SUCCEEDED(SQLSetConnectAttr(
            c.handle(), SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), 0)));
        {
            Statement s(c);
            QCOMPARE(s.run("INSERT INTO tds_types (i) VALUES (20)"), QString());
        }
        QCOMPARE(SQLEndTran(SQL_HANDLE_DBC, c.handle(), SQL_ROLLBACK), SQLRETURN(SQL_SUCCESS));
        {
            Statement s(c);
            QCOMPARE(s.run("INSERT INTO tds_types (i) VALUES (21)"), QString());
        }
        QCOMPARE(SQLEndTran(SQL_HANDLE_DBC, c.handle(), SQL_COMMIT), SQLRETURN(SQL_SUCCESS));
        Statement s(c);
        QVERIFY(SQL_SUCCEEDED(s.exec("SELECT i FROM tds_types WHERE i >= 20 ORDER BY i")));
        QCOMPARE(s.rows(), QStringList{"21"});
    }
    // Committed work outlives the connection that did it.
    Statement s(*shared_);
    QVERIFY(SQL_SUCCEEDED(s.exec("SELECT i FROM tds_types WHERE i >= 20 ORDER BY i")));
    QCOMPARE(s.rows(), QStringList{"21"});
    SQLFreeStmt(s.handle(), SQL_CLOSE);
    QCOMPARE(s.run("DELETE FROM tds_types WHERE i >= 20"), QString());
}

void TdsOdbc::queryTimeoutCancels() {
    Connection c;
    QCOMPARE(c.connect(server_->port()), QString());
    {
        Statement s(c);
        SQLSetStmtAttr(s.handle(), SQL_ATTR_QUERY_TIMEOUT, reinterpret_cast<SQLPOINTER>(1), 0);
        QCOMPARE(s.exec("WAITFOR DELAY '00:01:00'"), SQLRETURN(SQL_ERROR));
        QCOMPARE(diagnostic(SQL_HANDLE_STMT, s.handle()).section('|', 0, 0), QString("HYT00"));
    }
    // The cancelled connection goes on working.
    Statement s(c);
    QVERIFY(SQL_SUCCEEDED(s.exec("SELECT i FROM tds_types WHERE i = 1")));
    QCOMPARE(s.rows(), QStringList{"1"});
}

void TdsOdbc::garbageLeavesOthersServed() {
    Connection before;
    QCOMPARE(before.connect(server_->port()), QString());

    std::mt19937 random(99);
    const std::vector<Bytes> attacks = {
        // noise
        [&] {
            Bytes b(8192);
            for (auto& x : b)
                x = static_cast<uint8_t>(random());
            return b;
        }(),
        // a header whose length is below the header size
        hex("12 01 0004 0000 0100"),
        // a LOGIN7 claiming strings far outside the message
        packet(0x10, 0x01, Bytes(94, 0xFF)),
        // a batch before any login
        packet(0x01, 0x01, standin::tds::buildSqlBatch(u"SELECT 1")),
        // a message that never ends, then the socket closes
        packet(0x12, 0x00, Bytes(100, 0)),
    };
    for (const Bytes& attack : attacks) {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<uint16_t>(server_->port()));
        ::inet_pton(AF_INET, "127.0.0.1", &address.sin_addr);
        QCOMPARE(::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        [[maybe_unused]] auto sent = ::send(fd, attack.data(), attack.size(), MSG_NOSIGNAL);
        ::shutdown(fd, SHUT_WR);
        // The server closes its side; read until it does.
        uint8_t sink[4096];
        while (::recv(fd, sink, sizeof sink, 0) > 0) {
        }
        ::close(fd);
    }

    Statement old(before);
    QVERIFY(SQL_SUCCEEDED(old.exec("SELECT i FROM tds_types WHERE i = 1")));
    QCOMPARE(old.rows(), QStringList{"1"});
    Connection after;
    QCOMPARE(after.connect(server_->port()), QString());
    Statement fresh(after);
    QVERIFY(SQL_SUCCEEDED(fresh.exec("SELECT i FROM tds_types WHERE i = 2")));
    QCOMPARE(fresh.rows(), QStringList{"2"});
}

QTEST_GUILESS_MAIN(TdsOdbc)
#include "tds_odbc.moc"
