#include "data/odbc/Environment.h"

#include "data/odbc/Error.h"

#include <sqlext.h>

namespace odbc {

Environment& Environment::instance() {
    static Environment env;
    return env;
}

Environment::Environment() {
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env_)))
        throw Error("HY001", u"Unable to allocate an ODBC environment");
    check(SQLSetEnvAttr(env_, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0),
          SQL_HANDLE_ENV, env_, "SQLSetEnvAttr");
}

Environment::~Environment() {
    SQLFreeHandle(SQL_HANDLE_ENV, env_);
}

} // namespace odbc
