#pragma once
// The one ODBC environment of the process (ODBC 3 behaviour), made on first use
// and released at exit.
#include <sql.h>

namespace odbc {

class Environment {
public:
    /// The process-wide environment; thread-safe first use.
    static Environment& instance();
    SQLHENV handle() const { return env_; }

    Environment(const Environment&) = delete;
    Environment& operator=(const Environment&) = delete;

private:
    Environment();
    ~Environment();
    SQLHENV env_ = SQL_NULL_HENV;
};

} // namespace odbc
