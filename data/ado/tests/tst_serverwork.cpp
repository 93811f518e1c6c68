// Server work handed to a worker thread and stopped by the waiting thread: a
// long statement, a fetch half-way through, a login that never gets an answer,
// the writing of a row, and a cancel that comes too late. After each the work
// fails with "Operation cancelled." within a second, leaves nothing half done
// and the connection answers again.
#include "data/ado/Connection.h"
#include "data/ado/Recordset.h"
#include "data/ado/ServerWork.h"
#include "standin/launcher/SilentListener.h"
#include "standin/launcher/StandinProcess.h"

#include <QElapsedTimer>
#include <QTest>

#include <thread>

using namespace ado;

namespace {

// Waits on a condition variable and cancels the work by a rule; records how long
// the work took to let the waiter go after the cancel.
class ScriptedWaiter : public ServerWaiter {
public:
    enum class When { Never, AtOnce, AfterMs, AfterRows, AfterFinish };
    When when = When::Never;
    int afterMs = 0;
    int64_t afterRows = 0;
    qint64 releaseMs = -1; ///< from the cancel to the release
    int waits = 0;

    void wait(ServerWork& work) override {
        ++waits;
        QElapsedTimer clock;
        clock.start();
        bool cancelled = false;
        while (!work.released()) {
            const bool due = (when == When::AtOnce) ||
                             (when == When::AfterMs && clock.elapsed() >= afterMs) ||
                             (when == When::AfterRows && work.scope().rowsRead() >= afterRows);
            if (due && !cancelled) {
                work.cancel();
                cancelled = true;
                clock.restart();
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        if (cancelled)
            releaseMs = clock.elapsed();
        if (when == When::AfterFinish)
            work.cancel();
    }
};

// Installs a waiter on the test thread for the scope.
class WaiterInstalled {
public:
    explicit WaiterInstalled(ServerWaiter& w) { SetServerWaiter(&w); }
    ~WaiterInstalled() { SetServerWaiter(nullptr); }
};

QString q(const WideString& s) {
    return QString::fromStdU16String(s);
}

} // namespace

class TestServerWork : public QObject {
    Q_OBJECT

    std::unique_ptr<standin::StandinProcess> server_;

    WideString connectionString(const QString& source, const QString& database) const {
        return ("Provider=SQLOLEDB.1;Data Source=" + source + ";Initial Catalog=" + database +
                ";User ID=sa;Password=velkin")
            .toStdU16String();
    }
    std::unique_ptr<TADOConnection> connect() {
        auto c = std::make_unique<TADOConnection>();
        c->setConnectionString(
            connectionString(QString::fromStdString(server_->dataSource()), "VELKIN_DEMO"));
        c->Open();
        return c;
    }
    static QString firstValue(TADOConnection& c, const WideString& sql) {
        auto rs = c.Execute(sql);
        return q(textOfFirst(*rs));
    }
    static WideString textOfFirst(Recordset& rs) {
        rs.MoveFirst();
        const Variant v = rs.Fields(0).Value();
        if (v.is<int64_t>()) {
            const auto s = std::to_string(v.get<int64_t>());
            return WideString(s.begin(), s.end());
        }
        return v.is<WideString>() ? v.get<WideString>() : WideString(u"?");
    }

private slots:
    void initTestCase() {
        server_ =
            std::make_unique<standin::StandinProcess>(std::vector<std::string>{"--seed", "demo"});
        auto c = connect();
        // A thousand rows: their cross join streams a million.
        c->Execute(u"CREATE TABLE T_MANY (ID int NOT NULL PRIMARY KEY, Name nvarchar(40) NULL)");
        c->Execute(u"INSERT INTO T_MANY VALUES (1, N'row')");
        for (int i = 0; i < 10; ++i)
            c->Execute(u"INSERT INTO T_MANY SELECT ID + (SELECT MAX(ID) FROM T_MANY), Name "
                       u"FROM T_MANY WHERE ID <= 500");
        QVERIFY(firstValue(*c, u"SELECT COUNT(*) FROM T_MANY").toInt() > 1000);
        c->Execute(u"CREATE TABLE T_EDIT (ID int NOT NULL PRIMARY KEY, Name nvarchar(40) NULL)");
        c->Execute(u"INSERT INTO T_EDIT VALUES (1, N'first')");
    }
    void cleanupTestCase() { server_.reset(); }

    void withoutWaiterWorkRunsInline() {
        auto c = connect();
        int onThread = 0;
        const auto self = std::this_thread::get_id();
        RunServerWork(u"x", [&] { onThread = std::this_thread::get_id() == self ? 1 : 2; });
        QCOMPARE(onThread, 1);
        QCOMPARE(firstValue(*c, u"SELECT 7"), QString("7"));
    }

    void workRunsOnWorkerAndReportsRows() {
        auto c = connect();
        ScriptedWaiter waiter;
        WaiterInstalled installed(waiter);
        auto rs = std::make_shared<Recordset>();
        rs->Open(u"SELECT ID FROM T_MANY", *c);
        QVERIFY(rs->RecordCount() > 1000);
        QVERIFY(waiter.waits >= 1);
        // An error of the work reaches the caller as it was.
        try {
            c->Execute(u"SELECT * FROM NoSuchTable");
            QFAIL("no error");
        } catch (const odbc::Error& e) {
            QVERIFY(!dynamic_cast<const odbc::Cancelled*>(&e));
            QVERIFY(QString::fromStdU16String(e.wideMessage()).contains("NoSuchTable"));
        }
    }

    // Cancelled statements: the work ends within a second with the one cancel
    // error; the recordset stays closed and the connection answers again.
    void cancelStopsStatement_data() {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<int>("when");
        QTest::addColumn<int>("amount");
        QTest::newRow("waitfor, at once")
            << "WAITFOR DELAY '00:00:30' SELECT 1" << int(ScriptedWaiter::When::AtOnce) << 0;
        QTest::newRow("waitfor, after a while")
            << "WAITFOR DELAY '00:00:30' SELECT 1" << int(ScriptedWaiter::When::AfterMs) << 1500;
        QTest::newRow("rows half-way") << "SELECT a.ID, b.Name FROM T_MANY a, T_MANY b"
                                       << int(ScriptedWaiter::When::AfterRows) << 100000;
    }
    void cancelStopsStatement() {
        QFETCH(QString, sql);
        QFETCH(int, when);
        QFETCH(int, amount);
        auto c = connect();
        ScriptedWaiter waiter;
        waiter.when = ScriptedWaiter::When(when);
        waiter.afterMs = amount;
        waiter.afterRows = amount;
        auto rs = std::make_shared<Recordset>();
        {
            WaiterInstalled installed(waiter);
            try {
                rs->Open(sql.toStdU16String(), *c);
                QFAIL("not cancelled");
            } catch (const odbc::Cancelled& e) {
                QCOMPARE(QString(e.what()), QString("Operation cancelled."));
            }
        }
        QVERIFY(waiter.releaseMs >= 0);
        QVERIFY2(waiter.releaseMs < 1000, qPrintable(QString::number(waiter.releaseMs)));
        QVERIFY(!rs->Active());
        QVERIFY(c->Connected());
        QCOMPARE(firstValue(*c, u"SELECT 42"), QString("42"));
    }

    // A login to a server that never answers is given up at once; the driver's
    // own time-out ends it later, and its connection is dropped, not kept.
    void cancelAbandonsLogin() {
        standin::SilentListener silent;
        TADOConnection c;
        c.setConnectionString(connectionString("127.0.0.1," + QString::number(silent.port()), "x"));
        c.setConnectionTimeout(2);
        ScriptedWaiter waiter;
        waiter.when = ScriptedWaiter::When::AfterMs;
        waiter.afterMs = 300;
        {
            WaiterInstalled installed(waiter);
            QVERIFY_THROWS_EXCEPTION(odbc::Cancelled, c.Open());
        }
        QVERIFY2(waiter.releaseMs < 1000, qPrintable(QString::number(waiter.releaseMs)));
        QVERIFY(!c.Connected());
        QCOMPARE(JoinAbandonedServerWork(), 1);
        QVERIFY(!c.Connected());
        // The same object logs in afterwards.
        c.setConnectionString(
            connectionString(QString::fromStdString(server_->dataSource()), "VELKIN_DEMO"));
        c.Open();
        QCOMPARE(firstValue(c, u"SELECT 3"), QString("3"));
    }

    // A cancel before the writing starts leaves the change pending and no
    // transaction open; a cancel after the work ended changes nothing.
    void cancelledPostStaysPending() {
        auto c = connect();
        auto rs = std::make_shared<Recordset>();
        rs->Open(u"SELECT ID, Name FROM T_EDIT", *c);
        rs->Fields(u"Name").setValue(Variant(WideString(u"second")));
        ScriptedWaiter waiter;
        waiter.when = ScriptedWaiter::When::AtOnce;
        {
            WaiterInstalled installed(waiter);
            QVERIFY_THROWS_EXCEPTION(odbc::Cancelled, rs->Update());
        }
        QCOMPARE(rs->editMode(), EditMode::InProgress);
        QCOMPARE(firstValue(*c, u"SELECT Name FROM T_EDIT WHERE ID = 1"), QString("first"));
        QCOMPARE(firstValue(*c, u"SELECT @@TRANCOUNT"), QString("0"));

        waiter.when = ScriptedWaiter::When::AfterFinish;
        {
            WaiterInstalled installed(waiter);
            rs->Update();
        }
        QCOMPARE(rs->editMode(), EditMode::None);
        QCOMPARE(q(rs->Fields(u"Name").Value().get<WideString>()), QString("second"));
        QCOMPARE(firstValue(*c, u"SELECT Name FROM T_EDIT WHERE ID = 1"), QString("second"));
    }
};

QTEST_GUILESS_MAIN(TestServerWork)
#include "tst_serverwork.moc"
