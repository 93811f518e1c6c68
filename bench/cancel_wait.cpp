// Cancelling long server work through the window: the time from Cancel to the
// window being usable again (the handler has returned and the box is gone) for a
// console WAITFOR DELAY of 30 seconds, for the million-row table open cancelled
// half-way through, and for a login to a loopback listener that never answers.
// The baseline is the driver's own cancel: SQLCancel from another thread on a
// bare statement running the same WAITFOR, in the same run. Each side keeps the
// best of three rounds; the client's CPU time for each case is printed too. The
// last line is the ratio of the slowest case to the bare cancel.
#include "app/DataObjects.h"
#include "app/Unit1.h"
#include "data/ado/ConnectionString.h"
#include "data/odbc/Connection.h"
#include "data/odbc/Statement.h"
#include "platform/Dialogs.h"
#include "standin/launcher/SilentListener.h"
#include "standin/launcher/StandinProcess.h"
#include "ui/Cmn_Modules.h"
#include "ui/ServerWait.h"

#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;
const char* const kWaitFor = "WAITFOR DELAY '00:00:30'";

double secondsSince(Clock::time_point from) {
    return std::chrono::duration<double>(Clock::now() - from).count();
}

double cpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

template <class T> T* control(TVelkin& window, const char* name) {
    auto* found = window.findChild<T*>(name);
    if (!found)
        throw std::runtime_error(std::string("no control ") + name);
    return found;
}

struct Measure {
    double seconds = 1e30, cpu = 1e30;
    int64_t rows = 0;
};

// Runs `start` (a click that waits for the server); cancels the wait once `due`
// says so, as the box's Cancel does; returns the time from the cancel until the
// click returned.
Measure cancelled(const std::function<void()>& start, const std::function<bool()>& due) {
    Clock::time_point pressed{};
    bool done = false;
    int64_t rows = 0;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (done || !ServerWait::Waiting() || !due())
            return;
        done = true;
        rows = ServerWait::RowsRead();
        pressed = Clock::now();
        ServerWait::CancelWaiting();
    });
    poll.start(2);
    const double cpu = cpuSeconds();
    start();
    Measure m;
    m.seconds = done ? secondsSince(pressed) : 1e30;
    m.cpu = cpuSeconds() - cpu;
    m.rows = rows;
    return m;
}

void keepBest(Measure& best, const Measure& m) {
    if (m.seconds < best.seconds)
        best = m;
}

// The driver's own cancel: SQLCancel from another thread on the running WAITFOR.
double bareCancel(const std::u16string& odbcText) {
    odbc::Connection connection;
    connection.connect(odbcText, 30);
    odbc::Statement st(connection);
    Clock::time_point pressed{};
    std::thread canceller([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        pressed = Clock::now();
        st.cancel();
    });
    try {
        st.execute(u"WAITFOR DELAY '00:00:30'");
    } catch (const std::exception&) {
        // The cancelled statement's error is the expected end.
    }
    const auto returned = Clock::now();
    canceller.join();
    return std::chrono::duration<double>(returned - pressed).count();
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    try {
        Cmn_Modules::SetDataAccessStartup(&StartDataAccess);
        Cmn_Modules::InitializeDataAccess();
        QApplication app(argc, argv);
        platform::RecordingDialogs dialogs;

        standin::StandinProcess server({"--seed", "big"}, std::chrono::seconds(600));
        const std::string port = std::to_string(server.port());
        const std::u16string odbcText =
            ado::OdbcConnectionStringFor(u"Provider=SQLOLEDB.1;Data Source=127.0.0.1," +
                                         std::u16string(port.begin(), port.end()) +
                                         u";Initial Catalog=master;User ID=sa;Password=velkin");
        standin::SilentListener silent;

        TVelkin window;
        window.show();
        const char* parts[] = {"127", "0", "0", "1"};
        for (int i = 0; i < 4; ++i)
            control<QLineEdit>(window, ("edtSQLIP" + std::to_string(i + 1)).c_str())
                ->setText(parts[i]);
        auto* portBox = control<QLineEdit>(window, "edtSQLPortNo");
        control<QLineEdit>(window, "edtSQLLogin")->setText("sa");
        control<QLineEdit>(window, "edtSQLPassword")->setText("velkin");
        control<QLineEdit>(window, "edtTimeout")->setText("5");
        auto* connect = control<QPushButton>(window, "btnConnect");
        auto* disconnect = control<QPushButton>(window, "btnDisconnect");
        auto* databases = control<QListWidget>(window, "DatabaseList");
        auto* tables = control<QListWidget>(window, "TableList");

        Measure waitFor, open, login;
        double bare = 1e30;
        for (int round = 0; round < 3; ++round) {
            bare = std::min(bare, bareCancel(odbcText));

            portBox->setText(QString::fromStdString(port));
            connect->click();
            control<QPlainTextEdit>(window, "SQLCommandMemo")->setPlainText(kWaitFor);
            const auto started = Clock::now();
            keepBest(waitFor,
                     cancelled([&] { control<QPushButton>(window, "btnExecute")->click(); },
                               [&] { return secondsSince(started) > 1.5; }));

            databases->setCurrentItem(databases->findItems("PELMAR_BIG", Qt::MatchExactly)[0]);
            window.DatabaseListClick();
            tables->setCurrentItem(tables->findItems("T_BIG", Qt::MatchExactly)[0]);
            keepBest(open, cancelled([&] { window.TableListClick(); },
                                     [] { return ServerWait::RowsRead() >= 500000; }));
            disconnect->click();

            portBox->setText(QString::number(silent.port()));
            const auto clicked = Clock::now();
            keepBest(login, cancelled([&] { connect->click(); },
                                      [&] { return secondsSince(clicked) > 1.5; }));
        }
        for (const auto& box : dialogs.boxes)
            if (box.text.indexOf("Operation cancelled.") < 0)
                std::fprintf(stderr, "box: %s\n", qPrintable(box.text));

        const double worst = std::max({waitFor.seconds, open.seconds, login.seconds});
        std::printf("bare_cancel_seconds: %.3f\n", bare);
        std::printf("cancel_waitfor_seconds: %.3f\n", waitFor.seconds);
        std::printf("cancel_waitfor_cpu_seconds: %.3f\n", waitFor.cpu);
        std::printf("cancel_open_halfway_seconds: %.3f\n", open.seconds);
        std::printf("cancel_open_halfway_cpu_seconds: %.3f\n", open.cpu);
        std::printf("open_rows_at_cancel: %lld\n", static_cast<long long>(open.rows));
        std::printf("cancel_login_seconds: %.3f\n", login.seconds);
        std::printf("cancel_login_cpu_seconds: %.3f\n", login.cpu);
        std::printf("ratio_worst_cancel_to_bare: %.3f\n", worst / bare);
        window.close();
        return worst < 1e29 ? 0 : 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "cancel_wait: %s\n", e.what());
        return 1;
    }
}
