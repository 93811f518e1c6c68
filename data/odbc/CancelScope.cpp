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
        else
            lateCancel_ = std::thread([this, read = busy_] { cancelLateRead(read); });
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
    if (lateCancel_.joinable())
        lateCancel_.join();
}

void CancelScope::cancelLateRead(SQLHSTMT read) {
    constexpr auto kReadGrace = std::chrono::milliseconds(250);
    std::unique_lock lock(mutex_);
    // The read may have ended before this thread got the lock: then nothing is sent.
    if (callEnded_.wait_for(lock, kReadGrace, [&] { return destroying_ || busy_ != read; }))
        return;
    SQLCancel(busy_);
}

CancelScope::DriverCall::DriverCall(SQLHSTMT statement, CallKind kind) : scope_(guardingScope()) {
    if (!scope_)
        return;
    std::lock_guard lock(scope_->mutex_);
    if (scope_->cancelled_)
        throw Cancelled();
    scope_->busy_ = statement;
    scope_->busyKind_ = kind;
}

CancelScope::DriverCall::~DriverCall() {
    if (!scope_)
        return;
    {
        std::lock_guard lock(scope_->mutex_);
        scope_->busy_ = SQL_NULL_HSTMT;
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
