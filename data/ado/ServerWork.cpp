#include "data/ado/ServerWork.h"

#include <thread>
#include <vector>

namespace ado {

namespace {

thread_local ServerWaiter* tWaiter = nullptr;

// Logins given up by their waiter, still in the driver. Their threads are joined
// when they are done and, at the latest, when the process ends, so that none
// outlives the ODBC environment (made before this list, so destroyed after it).
class AbandonedLogins {
public:
    static AbandonedLogins& instance() {
        static AbandonedLogins list;
        return list;
    }
    void adopt(std::shared_ptr<ServerWork> work, std::thread thread) {
        std::lock_guard lock(mutex_);
        reapFinished();
        entries_.push_back({std::move(work), std::move(thread)});
    }
    int joinAll() {
        std::vector<Entry> entries;
        {
            std::lock_guard lock(mutex_);
            entries.swap(entries_);
        }
        for (auto& e : entries)
            e.thread.join();
        return static_cast<int>(entries.size());
    }
    ~AbandonedLogins() { joinAll(); }

private:
    struct Entry {
        std::shared_ptr<ServerWork> work;
        std::thread thread;
    };
    void reapFinished() {
        for (auto it = entries_.begin(); it != entries_.end();)
            if (it->work->finished()) {
                it->thread.join();
                it = entries_.erase(it);
            } else {
                ++it;
            }
    }
    std::mutex mutex_;
    std::vector<Entry> entries_;
};

} // namespace

ServerWork::ServerWork(WideString name, std::function<void()> body)
    : name_(std::move(name)), body_(std::move(body)) {}

bool ServerWork::finished() const {
    std::lock_guard lock(mutex_);
    return finished_;
}

void ServerWork::setOnFinished(std::function<void()> notify) {
    std::unique_lock lock(mutex_);
    onFinished_ = std::move(notify);
    if (finished_ && onFinished_)
        onFinished_();
}

void ServerWork::waitReleased() {
    std::unique_lock lock(mutex_);
    // An abandoned login wakes nobody: look again now and then.
    while (!finished_ && !scope_.loginAbandoned())
        released_.wait_for(lock, std::chrono::milliseconds(20));
}

void ServerWork::run() {
    std::exception_ptr error;
    {
        odbc::CancelScope::Installation installed(scope_);
        try {
            body_();
        } catch (...) {
            error = std::current_exception();
        }
    }
    std::lock_guard lock(mutex_);
    error_ = error;
    finished_ = true;
    // The body and what it captured go with the work's end, not with the last owner.
    body_ = nullptr;
    released_.notify_all();
    if (onFinished_)
        onFinished_();
}

void ServerWork::rethrow() const {
    std::lock_guard lock(mutex_);
    if (!finished_)
        throw odbc::Cancelled(); // an abandoned login
    if (!error_)
        return; // done before the cancel could stop it
    if (scope_.cancelled())
        throw odbc::Cancelled();
    std::rethrow_exception(error_);
}

ServerWaiter* CurrentServerWaiter() {
    return tWaiter;
}

void SetServerWaiter(ServerWaiter* waiter) {
    tWaiter = waiter;
}

void RunServerWork(const WideString& name, const std::function<void()>& body, ServerWorkKind kind) {
    ServerWaiter* waiter = tWaiter;
    if (!waiter || odbc::CancelScope::current()) {
        body();
        return;
    }
    auto work = std::make_shared<ServerWork>(name, body);
    work->scope().setLoginAbandonable(kind == ServerWorkKind::Login);
    waiter->prepare(*work);
    std::thread worker([work] { work->run(); });
    waiter->wait(*work);
    if (kind != ServerWorkKind::Login)
        work->waitReleased(); // only a login may be left behind
    if (work->finished())
        worker.join();
    else
        AbandonedLogins::instance().adopt(work, std::move(worker));
    work->rethrow();
}

int JoinAbandonedServerWork() {
    return AbandonedLogins::instance().joinAll();
}

} // namespace ado
