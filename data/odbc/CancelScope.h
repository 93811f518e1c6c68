#pragma once
// odbc::CancelScope: the stop switch of one piece of server work that runs on a
// worker thread while another thread (the window's) waits for it.
//
// The worker installs the scope as its thread's current one; every blocking
// driver call made on that thread reports itself to it (DriverCall around a
// statement's execute and fetch, LoginCall around a connect). cancel(), from the
// waiting thread, then reaches exactly the call in progress:
// - a statement waiting for the server's answer gets SQLCancel, so the driver
//   stops it and returns;
// - a read (a fetch, the move to the next result) usually returns by itself as
//   soon as its rows are in; the work then stops at its next call, and closing
//   the statement cancels it on the worker's own thread. The driver's cancel from
//   another thread while the reader is between two network reads can lose the
//   server's acknowledgement (the read then waits out the query time-out), so a
//   read gets SQLCancel only when it is still running a quarter of a second after
//   cancel(): by then it is waiting on the network, where the cancel is safe;
// - a call still running 0.4 s after its cancel was sent waits on a
//   server that does not answer (a stalled host, a pulled cable): the call's
//   connection is cut (LinkSocket), so the driver's read ends at once and the
//   connection is dead, rather than the call waiting out its query time-out;
// - a login cannot be interrupted: when the work allows it, it is abandoned. The
//   waiter stops waiting at once, and the connect, when the driver returns, drops
//   its connection and fails instead of handing it on.
// A driver call started after cancel() fails at once with Cancelled, so work that
// was between two calls stops at the next one. Inside a CancelShield nothing is
// refused or cancelled: the clean-up of a failed statement (a rollback) must
// still reach the server.
//
// Without an installed scope every guard does nothing: work on the window thread
// runs as before.
#include "data/odbc/Error.h"
#include "data/odbc/LinkSocket.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace odbc {

/// The error of work stopped by the operator.
class Cancelled : public Error {
public:
    Cancelled();
    static constexpr const char* Text = "Operation cancelled.";
};

class CancelScope {
public:
    CancelScope() = default;
    ~CancelScope();
    CancelScope(const CancelScope&) = delete;
    CancelScope& operator=(const CancelScope&) = delete;

    /// The scope installed on the calling thread, or null.
    static CancelScope* current();

    /// Installs a scope on the calling thread for its own lifetime.
    class Installation {
    public:
        explicit Installation(CancelScope& scope);
        ~Installation();
        Installation(const Installation&) = delete;
        Installation& operator=(const Installation&) = delete;

    private:
        CancelScope* previous_;
    };

    /// Whether a login in progress may be abandoned by cancel() (default no).
    void setLoginAbandonable(bool abandonable);

    /// Stops the work (any thread); a second call does nothing.
    void cancel();
    bool cancelled() const { return cancelled_.load(); }
    /// Whether cancel() gave up on a login still in the driver.
    bool loginAbandoned() const { return abandoned_.load(); }

    /// Rows the work has read so far (any thread).
    int64_t rowsRead() const { return rows_.load(std::memory_order_relaxed); }
    void addRows(int64_t n) { rows_.fetch_add(n, std::memory_order_relaxed); }

    /// What a driver call does: sends a request and waits for its answer, or reads
    /// what the server sends (see the class comment for how each is cancelled).
    enum class CallKind { Request, Read };

    /// Marks a blocking call on a statement of the calling thread while it lives;
    /// throws Cancelled when the thread's work is already cancelled. `link`, when
    /// given, is the socket of the statement's connection, cut when the call does
    /// not end after its cancel; it must outlive the call.
    class DriverCall {
    public:
        explicit DriverCall(SQLHSTMT statement, CallKind kind = CallKind::Request,
                            const LinkSocket* link = nullptr);
        ~DriverCall();
        DriverCall(const DriverCall&) = delete;
        DriverCall& operator=(const DriverCall&) = delete;

    private:
        CancelScope* scope_;
    };

    /// Marks a connect of the calling thread while it lives; throws Cancelled when
    /// the thread's work is already cancelled.
    class LoginCall {
    public:
        LoginCall();
        ~LoginCall();
        LoginCall(const LoginCall&) = delete;
        LoginCall& operator=(const LoginCall&) = delete;
        /// Ends the login; true when it was abandoned meanwhile, so its connection
        /// must be dropped.
        bool finish();

    private:
        CancelScope* scope_;
        bool finished_ = false;
    };

private:
    mutable std::mutex mutex_;
    std::atomic<bool> cancelled_{false};
    std::atomic<bool> abandoned_{false};
    std::atomic<int64_t> rows_{0};
    /// Follows the cancel of the call on `statement`: sends a read its SQLCancel a
    /// while after cancel(), then cuts the link when the call still runs.
    void watchCancelledCall(SQLHSTMT statement, CallKind kind, const LinkSocket* link);

    std::condition_variable callEnded_;
    SQLHSTMT busy_ = SQL_NULL_HSTMT; ///< the statement in a driver call
    CallKind busyKind_ = CallKind::Request;
    const LinkSocket* busyLink_ = nullptr;
    bool destroying_ = false;
    std::thread watcher_;
    bool inLogin_ = false;
    bool loginAbandonable_ = false;
};

/// Lets the driver calls of the calling thread run, uncancelled, while it lives.
class CancelShield {
public:
    CancelShield();
    ~CancelShield();
    CancelShield(const CancelShield&) = delete;
    CancelShield& operator=(const CancelShield&) = delete;
    /// Whether a shield stands on the calling thread.
    static bool active();
};

} // namespace odbc
