#include "data/odbc/CancelScope.h"

#include <sqlext.h>

namespace odbc {

namespace {
thread_local CancelScope* tCurrent = nullptr;
thread_local int tShieldDepth = 0;

// The scope that guards a call of the calling thread, or null when none applies.
CancelScope* guardingScope() {
    return tShieldDepth > 0 ? nullptr : tCurrent;
}
} // namespace

Cancelled::Cancelled() : Error("HY008", u"Operation cancelled.") {}

CancelScope* CancelScope::current() {
    return tCurrent;
}

CancelScope::Installation::Installation(CancelScope& scope) : previous_(tCurrent) {
    tCurrent = &scope;
}

CancelScope::Installation::~Installation() {
    tCurrent = previous_;
}

void CancelScope::setLoginAbandonable(bool abandonable) {
    std::lock_guard lock(mutex_);
    loginAbandonable_ = abandonable;
}

void CancelScope::cancel() {
    std::lock_guard lock(mutex_);
    if (cancelled_.exchange(true))
        return;
    // Under the lock the statement cannot leave its call and be freed meanwhile.
    if (busy_ != SQL_NULL_HSTMT) {
        if (busyKind_ == CallKind::Request)
            SQLCancel(busy_);
        watcher_ = std::thread([this, statement = busy_, kind = busyKind_, link = busyLink_] {
            watchCancelledCall(statement, kind, link);
        });
    }
    if (inLogin_ && loginAbandonable_)
        abandoned_ = true;
}

CancelScope::~CancelScope() {
    {
        std::lock_guard lock(mutex_);
        destroying_ = true;
    }
    callEnded_.notify_all();
    if (watcher_.joinable())
        watcher_.join();
}

void CancelScope::watchCancelledCall(SQLHSTMT statement, CallKind kind, const LinkSocket* link) {
    constexpr auto kReadGrace = std::chrono::milliseconds(250);
    // A server that answers acknowledges a cancel within a few round trips.
    constexpr auto kAcknowledgeGrace = std::chrono::milliseconds(400);
    std::unique_lock lock(mutex_);
    // The call may have ended before this thread got the lock: then nothing is sent.
    const auto ended = [&] {
        return destroying_ || busy_ != statement;
    };
    if (kind == CallKind::Read) {
        if (callEnded_.wait_for(lock, kReadGrace, ended))
            return;
        SQLCancel(statement);
    }
    if (callEnded_.wait_for(lock, kAcknowledgeGrace, ended) || !link)
        return;
    // Under the lock the call is still in progress, so its connection (and link)
    // cannot be disconnected meanwhile.
    link->cut();
}

CancelScope::DriverCall::DriverCall(SQLHSTMT statement, CallKind kind, const LinkSocket* link)
    : scope_(guardingScope()) {
    if (!scope_)
        return;
    std::lock_guard lock(scope_->mutex_);
    if (scope_->cancelled_)
        throw Cancelled();
    scope_->busy_ = statement;
    scope_->busyKind_ = kind;
    scope_->busyLink_ = link;
}

CancelScope::DriverCall::~DriverCall() {
    if (!scope_)
        return;
    {
        std::lock_guard lock(scope_->mutex_);
        scope_->busy_ = SQL_NULL_HSTMT;
        scope_->busyLink_ = nullptr;
    }
    scope_->callEnded_.notify_all();
}

CancelScope::LoginCall::LoginCall() : scope_(guardingScope()) {
    if (!scope_)
        return;
    std::lock_guard lock(scope_->mutex_);
    if (scope_->cancelled_)
        throw Cancelled();
    scope_->inLogin_ = true;
}

CancelScope::LoginCall::~LoginCall() {
    finish();
}

bool CancelScope::LoginCall::finish() {
    if (!scope_ || finished_)
        return false;
    finished_ = true;
    std::lock_guard lock(scope_->mutex_);
    scope_->inLogin_ = false;
    return scope_->abandoned_;
}

CancelShield::CancelShield() {
    ++tShieldDepth;
}

CancelShield::~CancelShield() {
    --tShieldDepth;
}

bool CancelShield::active() {
    return tShieldDepth > 0;
}

} // namespace odbc
