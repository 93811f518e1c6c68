// The window thread waiting for server work: silent for the first second while
// painting and timers go on, then the modal box with the work's name, the rows
// read and Cancel; Cancel and Esc stop the work within a second, once, and a
// named scope does not start the stretches after a cancelled one. The work here
// stands in for a driver call: it runs until done or until its scope is cancelled.
#include "data/ado/ServerWork.h"
#include "platform/Dialogs.h"
#include "ui/ProgressBox.h"
#include "ui/ServerWait.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <atomic>
#include <thread>

namespace {

// Runs for `ms` (or until cancelled, then fails as a cancelled statement does),
// reading `rowsPerTick` rows every 10 ms. Returns the thread it ran on.
std::thread::id fakeStatement(int ms, int rowsPerTick = 0) {
    odbc::CancelScope* scope = odbc::CancelScope::current();
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms) {
        if (scope && scope->cancelled())
            throw odbc::Error("HY008", u"[FreeTDS][SQL Server]Operation was cancelled");
        if (scope)
            scope->addRows(rowsPerTick);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return std::this_thread::get_id();
}

// Presses a button of the box once it shows; records when.
class BoxDriver : public QObject {
public:
    enum class Press { Cancel, Escape, CancelTwice } press = Press::Cancel;
    int afterShownMs = 0;
    QString workText, rowsText;
    QElapsedTimer pressedAt;
    bool pressed = false;

    BoxDriver() {
        timer_.setInterval(20);
        connect(&timer_, &QTimer::timeout, this, [this] { poll(); });
        timer_.start();
    }

private:
    void poll() {
        ProgressBox* box = ServerWait::Box();
        if (!box || pressed)
            return;
        if (!shown_.isValid())
            shown_.start();
        if (shown_.elapsed() < afterShownMs)
            return;
        workText = box->findChild<QLabel*>("lblProgressWork")->text();
        rowsText = box->findChild<QLabel*>("lblProgressRows")->text();
        pressed = true;
        pressedAt.start();
        if (press == Press::Escape) {
            QTest::keyClick(box, Qt::Key_Escape);
        } else {
            QPushButton* cancel = box->findChild<QPushButton*>("btnProgressCancel");
            QTest::mouseClick(cancel, Qt::LeftButton);
            if (press == Press::CancelTwice)
                ServerWait::CancelWaiting();
        }
    }
    QTimer timer_;
    QElapsedTimer shown_;
};

} // namespace

class TestServerWait : public QObject {
    Q_OBJECT

    QWidget window_;
    platform::RecordingDialogs dialogs_;

private slots:
    void init() { ServerWait::Install(&window_, "Velkin(SQL)"); }
    void cleanup() {
        ServerWait::Uninstall(&window_);
        QVERIFY(!ServerWait::Waiting());
        QVERIFY(!ServerWait::Box());
        QVERIFY(!dialogs_.hourglassShown);
    }

    void shortWorkShowsNothingAndWindowKeepsRunning() {
        int ticks = 0;
        QTimer timer;
        connect(&timer, &QTimer::timeout, this, [&] {
            ++ticks;
            QVERIFY(!ServerWait::Box());
            QVERIFY(dialogs_.hourglassShown);
        });
        timer.start(20);
        std::thread::id ranOn;
        ado::RunServerWork(u"Running SQL", [&] { ranOn = fakeStatement(600); });
        QVERIFY(ranOn != std::this_thread::get_id());
        QVERIFY2(ticks >= 10, qPrintable(QString::number(ticks)));
    }

    void errorOfWorkComesThrough() {
        try {
            ado::RunServerWork(u"x", [] { throw std::runtime_error("refused"); });
            QFAIL("no error");
        } catch (const std::runtime_error& e) {
            QCOMPARE(QString(e.what()), QString("refused"));
        }
    }

    void cancelStopsWork_data() {
        QTest::addColumn<int>("press");
        QTest::addColumn<int>("afterShownMs");
        QTest::newRow("cancel at once") << int(BoxDriver::Press::Cancel) << 0;
        QTest::newRow("cancel after a while") << int(BoxDriver::Press::Cancel) << 1500;
        QTest::newRow("escape") << int(BoxDriver::Press::Escape) << 0;
        QTest::newRow("cancel twice") << int(BoxDriver::Press::CancelTwice) << 0;
    }
    void cancelStopsWork() {
        QFETCH(int, press);
        QFETCH(int, afterShownMs);
        BoxDriver driver;
        driver.press = BoxDriver::Press(press);
        driver.afterShownMs = afterShownMs;
        QElapsedTimer clock;
        clock.start();
        try {
            ServerWait wait("Opening T_BIG");
            ado::RunServerWork(u"Opening T_BIG", [] { fakeStatement(30000, 50); });
            QFAIL("not cancelled");
        } catch (const odbc::Cancelled& e) {
            QCOMPARE(QString(e.what()), QString("Operation cancelled."));
        }
        QVERIFY(driver.pressed);
        QVERIFY(clock.elapsed() >= ServerWait::ShowAfterMs);
        QVERIFY2(driver.pressedAt.elapsed() < 1000,
                 qPrintable(QString::number(driver.pressedAt.elapsed())));
        QCOMPARE(driver.workText, QString("Opening T_BIG"));
        QVERIFY(driver.rowsText.endsWith("rows read"));
    }

    // The stretches of a named scope: after a cancel the next ones never start.
    void cancelledScopeStartsNoMoreWork() {
        BoxDriver driver;
        ServerWait wait("Connecting");
        QVERIFY_THROWS_EXCEPTION(odbc::Cancelled,
                                 ado::RunServerWork(u"a", [] { fakeStatement(30000); }));
        QVERIFY(wait.Cancelled());
        bool started = false;
        QVERIFY_THROWS_EXCEPTION(odbc::Cancelled, ado::RunServerWork(u"b", [&] {
                                     odbc::CancelScope::DriverCall call(nullptr);
                                     started = true;
                                 }));
        QVERIFY(!started);
    }

    // A cancel that comes as the work ends is too late: the work's result stands.
    void cancelAfterTheEndChangesNothing() {
        bool done = false;
        QTimer::singleShot(1100, this, [] { ServerWait::CancelWaiting(); });
        ado::RunServerWork(u"x", [&] {
            QElapsedTimer clock;
            clock.start();
            while (clock.elapsed() < 1300)
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            done = true;
        });
        QVERIFY(done);
    }
};

QTEST_MAIN(TestServerWait)
#include "tst_ServerWait.moc"
