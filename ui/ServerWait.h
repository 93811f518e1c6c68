#pragma once
// The window thread's side of server work (see data/ado/ServerWork.h): while a
// worker talks to the server, the window thread keeps painting and running its
// timers. For the first second nothing else shows but the wait cursor, and the
// operator's input waits; after it a modal ProgressBox names the work, counts
// the rows read and offers Cancel, which stops the work: the statement is
// cancelled in the driver, a login is abandoned, and the work fails with
// odbc::Cancelled ("Operation cancelled."). Work that ends within the second
// shows nothing at all.
//
// A ServerWait scope names the work of one handler: its stretches share the
// name, one clock for the second, the row count and the cancel, so that work
// cancelled in one stretch does not start the next. Stretches outside any scope
// are named by the data layer and timed each on its own.
#include <QString>

class ProgressBox;
class QWidget;

class ServerWait {
public:
    /// The wait after which the box shows.
    static constexpr int ShowAfterMs = 1000;

    /// Names the server work of the calling handler, with the wait cursor until it ends.
    explicit ServerWait(const QString& work);
    ~ServerWait();
    ServerWait(const ServerWait&) = delete;
    ServerWait& operator=(const ServerWait&) = delete;
    /// Whether the operator cancelled this work.
    bool Cancelled() const;

    /// Runs the server work of the calling (window) thread on workers from now on;
    /// the box is a child of `window` and carries `title`.
    static void Install(QWidget* window, const QString& title);
    /// Back to inline work, when `window` is the one installed.
    static void Uninstall(QWidget* window);
    /// Whether the window thread is waiting for server work now.
    static bool Waiting();
    /// The box while it is shown, else null.
    static ProgressBox* Box();
    /// The rows read so far by the work being waited for.
    static qint64 RowsRead();
    /// Cancels the work being waited for, as the box's Cancel does.
    static void CancelWaiting();

private:
    friend class GuiServerWaiter;
    QString work_;
    qint64 startedMs_ = 0;
    bool cancelled_ = false;
    qint64 rowsBefore_ = 0;
    ServerWait* outer_ = nullptr;
};
