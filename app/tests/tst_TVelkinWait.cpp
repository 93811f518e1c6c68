// Long server work through the window: a slow console statement, a table whose
// rows take long to arrive and a login to a server that never answers. Each
// shows the progress box after a second while the window's timers keep firing;
// Cancel stops it within a second with one "Operation cancelled." report where
// that work reports failures, and the same work afterwards succeeds.
#include "WindowTestSupport.h"
#include "app/DataObjects.h"
#include "app/Unit1.h"
#include "platform/Dialogs.h"
#include "standin/launcher/FaultProxy.h"
#include "standin/launcher/SilentListener.h"
#include "standin/launcher/StandinProcess.h"
#include "ui/Cmn_Modules.h"
#include "ui/ProgressBox.h"
#include "ui/ServerWait.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

namespace {

// Stops the work the way the operator does once the box has shown for a while:
// the Cancel button, Esc, or closing the window. Counts the window's timer ticks.
class Operator : public QObject {
public:
    enum class Press { Cancel, Escape, CloseWindow };
    Press press = Press::Cancel;
    int afterShownMs = 0;
    qint64 minRows = 0;
    QWidget* window = nullptr;
    std::function<void()> onShown; ///< called once, when the box first shows
    QString workText;
    QElapsedTimer pressedAt;
    int ticks = 0;

    Operator() {
        connect(&timer_, &QTimer::timeout, this, [this] { poll(); });
        timer_.start(20);
    }
    bool pressed() const { return pressedAt.isValid(); }
    qint64 sincePress() const { return pressedAt.elapsed(); }

private:
    void poll() {
        ++ticks;
        ProgressBox* box = ServerWait::Box();
        if (!box || pressed())
            return;
        if (!shown_.isValid()) {
            shown_.start();
            if (onShown)
                onShown();
        }
        QString rows = box->findChild<QLabel*>("lblProgressRows")->text();
        if (shown_.elapsed() < afterShownMs ||
            rows.remove(',').split(' ')[0].toLongLong() < minRows)
            return;
        workText = box->findChild<QLabel*>("lblProgressWork")->text();
        pressedAt.start();
        switch (press) {
        case Press::Cancel:
            QTest::mouseClick(box->findChild<QPushButton*>("btnProgressCancel"), Qt::LeftButton);
            break;
        case Press::Escape:
            QTest::keyClick(box, Qt::Key_Escape);
            break;
        case Press::CloseWindow:
            QVERIFY(!window->close()); // refused while the work runs; it is cancelled
            break;
        }
    }
    QTimer timer_;
    QElapsedTimer shown_;
};

class WindowFixture {
public:
    explicit WindowFixture(const standin::StandinProcess& server) : server_(server) {
        settings.writeRegistry(settings.folder());
        settings.writeSettings({server.host(), std::to_string(server.port()), "sa", "velkin", ""});
        window = std::make_unique<TVelkin>();
        window->show();
    }
    ~WindowFixture() { window->close(); }

    template <class T> T* control(const QString& name) { return Control<T>(*window, name); }
    db::TDataSet& dataSet(const char* name) {
        return DataObject<db::TDataSet>(window->DataObjects(), name);
    }
    void connect() {
        control<QPushButton>("btnConnect")->click();
        QCOMPARE(control<QLabel>("lbStatus")->text(), QString("Connected"));
    }
    void clickItem(const char* listName, const QString& text) {
        ClickItem(*window, listName, text);
    }
    void run(const char* button, const QString& text) { RunConsole(*window, button, text); }
    QString resultText() { return control<QPlainTextEdit>("SQLResultMemo")->toPlainText(); }

    platform::RecordingDialogs dialogs;
    SettingsFixture settings;
    std::unique_ptr<TVelkin> window;

private:
    const standin::StandinProcess& server_;
};

} // namespace

class TestTVelkinWait : public QObject {
    Q_OBJECT

    std::unique_ptr<standin::StandinProcess> server_;

private slots:
    void initTestCase() {
        Cmn_Modules::SetDataAccessStartup(&StartDataAccess);
        Cmn_Modules::InitializeDataAccess();
        server_ =
            std::make_unique<standin::StandinProcess>(std::vector<std::string>{"--seed", "demo"});
        // A view whose rows arrive for a long time, however fast the machine: ten
        // million rows, a thousand joined with themselves ten times over.
        WindowFixture f(*server_);
        f.connect();
        f.clickItem("DatabaseList", "VELKIN_DEMO");
        f.run("btnExecute", "CREATE TABLE T_MANY (ID int NOT NULL PRIMARY KEY, Name nvarchar(40))");
        f.run("btnExecute", "INSERT INTO T_MANY VALUES (1, N'row')");
        for (int i = 0; i < 10; ++i)
            f.run("btnExecute", "INSERT INTO T_MANY SELECT ID + (SELECT MAX(ID) FROM T_MANY), "
                                "Name FROM T_MANY WHERE ID <= 500");
        f.run("btnExecute", "CREATE VIEW V_SLOW AS SELECT a.ID, b.Name FROM T_MANY a, T_MANY b, "
                            "T_MANY c WHERE c.ID <= 10");
        QCOMPARE(f.resultText(), QString("SQL command run success."));
    }
    void cleanupTestCase() { server_.reset(); }

    void consoleStatementCancelled_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("press");
        QTest::addColumn<int>("afterShownMs");
        QTest::newRow("execute, cancel at once")
            << "btnExecute" << int(Operator::Press::Cancel) << 0;
        QTest::newRow("search, cancel later")
            << "btnSearch" << int(Operator::Press::Cancel) << 2000;
        QTest::newRow("escape") << "btnExecute" << int(Operator::Press::Escape) << 0;
        QTest::newRow("closing the window")
            << "btnSearch" << int(Operator::Press::CloseWindow) << 0;
    }
    void consoleStatementCancelled() {
        QFETCH(QString, button);
        QFETCH(int, press);
        QFETCH(int, afterShownMs);
        WindowFixture f(*server_);
        f.connect();
        Operator op;
        op.press = Operator::Press(press);
        op.afterShownMs = afterShownMs;
        op.window = f.window.get();
        f.run(qPrintable(button), "WAITFOR DELAY '00:00:30' SELECT 1 AS One");
        QVERIFY(op.pressed());
        QVERIFY2(op.sincePress() < 1000, qPrintable(QString::number(op.sincePress())));
        QVERIFY(op.ticks >= 10); // the window's timer kept firing while it waited
        QCOMPARE(op.workText, QString("Running SQL"));
        QCOMPARE(f.resultText(), QString("SQL command run failed.\nOperation cancelled."));
        QVERIFY(f.dialogs.boxes.empty());
        QVERIFY(f.window->isVisible());
        // The same work again, short enough to show nothing.
        f.run(qPrintable(button), "WAITFOR DELAY '00:00:00.200' SELECT 1 AS One");
        if (button == "btnSearch")
            QCOMPARE(f.dataSet("ResultADODataSet").RecordCount(), 1);
        else
            QCOMPARE(f.resultText(), QString("SQL command run success."));
    }

    void tableOpenCancelledHalfWay() {
        WindowFixture f(*server_);
        f.connect();
        f.clickItem("DatabaseList", "VELKIN_DEMO");
        Operator op;
        op.minRows = 50000;
        f.clickItem("TableList", "V_SLOW");
        QVERIFY(op.pressed());
        QVERIFY2(op.sincePress() < 1000, qPrintable(QString::number(op.sincePress())));
        QCOMPARE(op.workText, QString("Opening V_SLOW"));
        QCOMPARE(f.dialogs.boxes.size(), size_t(1));
        QCOMPARE(f.dialogs.boxes[0].text, QString("Operation cancelled."));
        QVERIFY(!f.dataSet("browTntADOTableLX").Active());
        f.dialogs.boxes.clear();
        f.clickItem("TableList", "T_MANY");
        QVERIFY(f.dataSet("browTntADOTableLX").Active());
        QVERIFY(f.dialogs.boxes.empty());
    }

    // The server goes silent (a stalled host, a cable pulled without a reset)
    // while a statement waits for its answer or while its rows arrive: the
    // cancel cannot be acknowledged, yet the window is given back within a
    // second with one report, and the same work succeeds once the operator has
    // connected again.
    void cancelWhileServerIsSilent_data() {
        QTest::addColumn<bool>("whileRowsArrive");
        QTest::newRow("waiting for the answer") << false;
        QTest::newRow("while rows arrive") << true;
    }
    void cancelWhileServerIsSilent() {
        using namespace std::chrono_literals;
        QFETCH(bool, whileRowsArrive);
        standin::FaultProxy proxy(server_->port());
        WindowFixture f(*server_);
        f.control<QLineEdit>("edtSQLPortNo")->setText(QString::number(proxy.port()));
        f.connect();
        f.clickItem("DatabaseList", "VELKIN_DEMO");
        Operator op;
        op.afterShownMs = 300;
        if (whileRowsArrive) {
            op.onShown = [&] {
                proxy.armStall(8s);
            };
            f.clickItem("TableList", "V_SLOW");
            QCOMPARE(f.dialogs.boxes.size(), size_t(1));
            QCOMPARE(f.dialogs.boxes[0].text, QString("Operation cancelled."));
            QVERIFY(!f.dataSet("browTntADOTableLX").Active());
        } else {
            proxy.armStall(8s);
            f.run("btnSearch", "SELECT 1 AS One");
            QCOMPARE(f.resultText(), QString("SQL command run failed.\nOperation cancelled."));
            QVERIFY(f.dialogs.boxes.empty());
        }
        QVERIFY(proxy.fired());
        QVERIFY(op.pressed());
        QVERIFY2(op.sincePress() < 1000, qPrintable(QString::number(op.sincePress())));
        f.dialogs.boxes.clear();
        f.control<QPushButton>("btnDisconnect")->click();
        f.connect();
        f.run("btnSearch", "SELECT 1 AS One");
        QCOMPARE(f.dataSet("ResultADODataSet").RecordCount(), 1);
        QVERIFY(f.dialogs.boxes.empty());
    }

    void loginCancelled() {
        standin::SilentListener silent;
        WindowFixture f(*server_);
        f.control<QLineEdit>("edtSQLPortNo")->setText(QString::number(silent.port()));
        f.control<QLineEdit>("edtTimeout")->setText("3");
        Operator op;
        f.control<QPushButton>("btnConnect")->click();
        QVERIFY(op.pressed());
        QVERIFY2(op.sincePress() < 1000, qPrintable(QString::number(op.sincePress())));
        QCOMPARE(f.dialogs.boxes.size(), size_t(1));
        QCOMPARE(f.dialogs.boxes[0].text,
                 QString("Microsoft SQL Server connection failed.\r\nOperation cancelled."));
        QCOMPARE(f.control<QLabel>("lbStatus")->text(), QString("Disconnected"));
        f.dialogs.boxes.clear();
        f.control<QLineEdit>("edtSQLPortNo")->setText(QString::number(server_->port()));
        f.connect();
        QVERIFY(f.dialogs.boxes.empty());
    }
};

QTEST_MAIN(TestTVelkinWait)
#include "tst_TVelkinWait.moc"
