#pragma once
// A statement's failure as SQL Server reports it: number, state, class and text.
// Thrown inside the engine and turned into an ERROR message at statement level,
// after which the batch goes on with its next statement.
#include <stdexcept>
#include <string>

namespace standin::engine {

class SqlError : public std::runtime_error {
public:
    SqlError(int number, std::string text, int severity = 16, int state = 1)
        : std::runtime_error(text), number_(number), severity_(severity), state_(state) {}
    int number() const { return number_; }
    int severity() const { return severity_; }
    int state() const { return state_; }
    /// True for errors that end the whole batch, not just the statement.
    bool abortsBatch() const { return batchAbort_; }
    SqlError& abortingBatch() {
        batchAbort_ = true;
        return *this;
    }

private:
    int number_;
    int severity_;
    int state_;
    bool batchAbort_ = false;
};

/// 102 "Incorrect syntax near '...'."
inline SqlError syntaxError(const std::string& near) {
    return SqlError(102, "Incorrect syntax near '" + near + "'.", 15);
}

} // namespace standin::engine
