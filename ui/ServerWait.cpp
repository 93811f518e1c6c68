#include "ui/ServerWait.h"

#include "data/ado/ServerWork.h"
#include "platform/Dialogs.h"
#include "ui/ProgressBox.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

#include <functional>

namespace {

// One clock for every scope, so that a scope's start and a wait compare.
qint64 nowMs() {
    static QElapsedTimer clock;
    if (!clock.isValid())
        clock.start();
    return clock.elapsed();
}

} // namespace

class GuiServerWaiter : public ado::ServerWaiter {
public:
    QPointer<QWidget> window;
    QString title;
    ServerWait* scope = nullptr; ///< the innermost named scope
    bool waiting = false;
    ProgressBox* box = nullptr;
    std::function<void()> cancelNow;
    std::function<qint64()> rowsRead;

    static GuiServerWaiter& instance() {
        static GuiServerWaiter waiter;
        return waiter;
    }

    void prepare(ado::ServerWork& work) override {
        // A request cancelled in an earlier stretch sends nothing more.
        if (!waiting && scope && scope->cancelled_)
            work.cancel();
    }

    void wait(ado::ServerWork& work) override {
        if (waiting) {
            // A timer's handler that reached the server while other work is waited
            // for: no second loop, it simply waits.
            work.waitReleased();
            return;
        }
        ServerWait* named = scope;
        // Unnamed work is its own scope, named by the data layer.
        std::unique_ptr<ServerWait> own;
        if (!named) {
            own = std::make_unique<ServerWait>(QString::fromStdU16String(work.name()));
            named = own.get();
        }
        if (named->cancelled_)
            work.cancel(); // the work fails at its first driver call
        waiting = true;
        rowsRead = [&work, named] {
            return named->rowsBefore_ + work.scope().rowsRead();
        };
        run(work, *named);
        rowsRead = nullptr;
        waiting = false;
        named->rowsBefore_ += work.scope().rowsRead();
    }

private:
    void run(ado::ServerWork& work, ServerWait& named) {
        QEventLoop loop;
        work.setOnFinished(
            [&loop] { QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection); });
        cancelNow = [&] {
            if (named.cancelled_)
                return;
            named.cancelled_ = true;
            work.cancel();
            if (box)
                box->setCancelling();
            if (work.released()) // an abandoned login: nothing more to wait for
                loop.quit();
        };
        // Within the first second only painting and timers run; the operator's input
        // waits, so that no handler starts while this one waits.
        const qint64 left = ServerWait::ShowAfterMs - (nowMs() - named.startedMs_);
        if (!work.released() && left > 0) {
            QTimer::singleShot(left, &loop, &QEventLoop::quit);
            loop.exec(QEventLoop::ExcludeUserInputEvents);
        }
        if (!work.released()) {
            ProgressBox progress(window, title, named.work_);
            QTimer rows;
            QObject::connect(&rows, &QTimer::timeout, &progress, [&] {
                progress.setRows(named.rowsBefore_ + work.scope().rowsRead());
            });
            rows.start(100);
            QObject::connect(&progress, &ProgressBox::cancelRequested, &progress,
                             [this] { cancelNow(); });
            progress.setRows(named.rowsBefore_ + work.scope().rowsRead());
            if (named.cancelled_)
                progress.setCancelling();
            box = &progress;
            progress.show();
            while (!work.released())
                loop.exec();
            box = nullptr;
        }
        cancelNow = nullptr;
        work.setOnFinished(nullptr);
    }
};

ServerWait::ServerWait(const QString& work) : work_(work), startedMs_(nowMs()) {
    GuiServerWaiter& waiter = GuiServerWaiter::instance();
    outer_ = waiter.scope;
    // A scope inside another adds nothing: the outer one names and times the work.
    if (outer_)
        return;
    waiter.scope = this;
    platform::dialogs().setHourglassCursor();
}

ServerWait::~ServerWait() {
    GuiServerWaiter& waiter = GuiServerWaiter::instance();
    if (outer_)
        return;
    if (waiter.scope == this)
        waiter.scope = nullptr;
    platform::dialogs().setArrowCursor();
}

bool ServerWait::Cancelled() const {
    return outer_ ? outer_->Cancelled() : cancelled_;
}

void ServerWait::Install(QWidget* window, const QString& title) {
    GuiServerWaiter& waiter = GuiServerWaiter::instance();
    waiter.window = window;
    waiter.title = title;
    ado::SetServerWaiter(&waiter);
}

void ServerWait::Uninstall(QWidget* window) {
    GuiServerWaiter& waiter = GuiServerWaiter::instance();
    if (waiter.window != window && waiter.window)
        return;
    waiter.window = nullptr;
    ado::SetServerWaiter(nullptr);
}

bool ServerWait::Waiting() {
    return GuiServerWaiter::instance().waiting;
}

ProgressBox* ServerWait::Box() {
    return GuiServerWaiter::instance().box;
}

void ServerWait::CancelWaiting() {
    GuiServerWaiter& waiter = GuiServerWaiter::instance();
    if (waiter.cancelNow)
        waiter.cancelNow();
}

qint64 ServerWait::RowsRead() {
    GuiServerWaiter& waiter = GuiServerWaiter::instance();
    return waiter.rowsRead ? waiter.rowsRead() : 0;
}
