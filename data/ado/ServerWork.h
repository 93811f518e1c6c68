#pragma once
// Server work off the waiting thread. The ADO objects hand each stretch of work
// that talks to the server (a login, a statement with its rows, the writing of a
// row) to RunServerWork. On a thread with a ServerWaiter installed (the window's)
// the stretch runs on a worker thread while the waiter keeps its thread alive
// (painting, a progress box, Cancel); elsewhere it runs inline, as any plain call.
//
// What must hold for a stretch: it touches nothing that the waiting thread uses
// meanwhile (the rows a grid paints are changed only after it, on the caller's
// thread), and it owns what it uses when it is a login, which may be abandoned
// and then outlives the call. One thread uses an object at a time: the caller
// does nothing else until the stretch is over.
#include "data/odbc/CancelScope.h"
#include "platform/Strings.h"

#include <condition_variable>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>

namespace ado {

using platform::WideString;

/// One stretch of server work; shared by the worker and the waiting thread.
class ServerWork {
public:
    ServerWork(WideString name, std::function<void()> body);

    /// What the work is, for the operator ("Opening T_BIG").
    const WideString& name() const { return name_; }
    odbc::CancelScope& scope() { return scope_; }
    /// Stops the work (any thread).
    void cancel() { scope_.cancel(); }
    /// Whether the body has ended, well or not.
    bool finished() const;
    /// Whether the waiting thread need wait no longer: finished, or an abandoned login.
    bool released() const { return finished() || scope_.loginAbandoned(); }
    /// Called on the worker thread when the body ends (replaces any earlier one; empty
    /// clears it). Called at once when the body has already ended.
    void setOnFinished(std::function<void()> notify);
    /// Blocks the calling thread until released().
    void waitReleased();

    /// Runs the body on the calling thread with the scope installed.
    void run();
    /// The outcome for the waiting thread: returns, rethrows the body's error, or
    /// throws odbc::Cancelled for cancelled (or abandoned) work.
    void rethrow() const;

private:
    WideString name_;
    std::function<void()> body_;
    odbc::CancelScope scope_;
    mutable std::mutex mutex_;
    std::condition_variable released_;
    bool finished_ = false;
    std::exception_ptr error_;
    std::function<void()> onFinished_;
};

/// How a thread waits for the work it handed to a worker.
class ServerWaiter {
public:
    virtual ~ServerWaiter() = default;
    /// Called before the work starts, on the waiting thread; may cancel it at once
    /// (work of a cancelled request must not reach the server).
    virtual void prepare(ServerWork& /*work*/) {}
    /// Returns once work.released(); may cancel it meanwhile. Must not throw.
    virtual void wait(ServerWork& work) = 0;
};

/// The waiter of the calling thread, or null (work runs inline).
ServerWaiter* CurrentServerWaiter();
/// Installs `waiter` (not owned) for the calling thread; null removes it.
void SetServerWaiter(ServerWaiter* waiter);

/// What a stretch is.
enum class ServerWorkKind {
    Statement, ///< waited for to its end; cancel stops the statement
    Login,     ///< abandoned when cancelled during the login; must own what it uses
};

/// Runs `body` as server work of the calling thread (see above); returns or throws
/// as `body` would, or throws odbc::Cancelled when the operator cancelled it. Work
/// started from a worker thread runs inline as part of its stretch.
void RunServerWork(const WideString& name, const std::function<void()>& body,
                   ServerWorkKind kind = ServerWorkKind::Statement);

/// Waits for every abandoned login still in the driver; returns how many there were.
int JoinAbandonedServerWork();

} // namespace ado
