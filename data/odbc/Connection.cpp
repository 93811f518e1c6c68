#include "data/odbc/Connection.h"

#include "data/odbc/CancelScope.h"
#include "data/odbc/Environment.h"
#include "data/odbc/Error.h"
#include "data/odbc/Statement.h"
#include "data/odbc/Wide.h"

#include <sqlext.h>

namespace odbc {

Connection::Connection() {
    SQLHENV env = Environment::instance().handle();
    check(SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc_), SQL_HANDLE_ENV, env, "SQLAllocHandle");
}

Connection::~Connection() {
    disconnect();
    SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
}

void Connection::connect(const WideString& connectionString, int loginTimeoutSeconds,
                         int serverPort) {
    logIn(loginTimeoutSeconds, serverPort, "SQLDriverConnect", [&] {
        SQLSMALLINT outLength = 0;
        return SQLDriverConnectW(dbc_, nullptr, sqlw(connectionString),
                                 static_cast<SQLSMALLINT>(connectionString.size()), nullptr, 0,
                                 &outLength, SQL_DRIVER_NOPROMPT);
    });
}

void Connection::connectToDataSource(const WideString& dataSource, const WideString& login,
                                     const WideString& password, const WideString& database,
                                     int loginTimeoutSeconds, int serverPort) {
    logIn(loginTimeoutSeconds, serverPort, "SQLConnect", [&] {
        if (!database.empty()) {
            // Taken as the login's database; nothing is sent until the login.
            const SQLRETURN rc =
                SQLSetConnectAttrW(dbc_, SQL_ATTR_CURRENT_CATALOG, sqlw(database), SQL_NTS);
            if (!SQL_SUCCEEDED(rc))
                return rc;
        }
        return SQLConnectW(dbc_, sqlw(dataSource), static_cast<SQLSMALLINT>(dataSource.size()),
                           sqlw(login), static_cast<SQLSMALLINT>(login.size()), sqlw(password),
                           static_cast<SQLSMALLINT>(password.size()));
    });
}

void Connection::logIn(int loginTimeoutSeconds, int serverPort, const char* call,
                       const std::function<SQLRETURN()>& connectCall) {
    disconnect();
    const auto timeout = static_cast<SQLULEN>(loginTimeoutSeconds < 0 ? 0 : loginTimeoutSeconds);
    check(
        SQLSetConnectAttrW(dbc_, SQL_ATTR_LOGIN_TIMEOUT, reinterpret_cast<SQLPOINTER>(timeout), 0),
        SQL_HANDLE_DBC, dbc_, "SQLSetConnectAttr");
    // The driver also waits on every reply with this; it must not be left unbounded
    // while logging in, or a silent server hangs the caller.
    SQLSetConnectAttrW(dbc_, SQL_ATTR_CONNECTION_TIMEOUT, reinterpret_cast<SQLPOINTER>(timeout), 0);
    const LinkSocket::Snapshot socketsBefore =
        serverPort > 0 ? LinkSocket::snapshot() : LinkSocket::Snapshot();
    CancelScope::LoginCall login;
    const SQLRETURN rc = connectCall();
    const bool abandoned = login.finish();
    check(rc, SQL_HANDLE_DBC, dbc_, call);
    connected_ = true;
    if (serverPort > 0)
        link_.adopt(socketsBefore, serverPort);
    if (abandoned) {
        // Nobody waits for this login any more: it must not be handed on.
        disconnect();
        throw Cancelled();
    }
    // Once logged in, statements are bounded by their own query time-out.
    SQLSetConnectAttrW(dbc_, SQL_ATTR_CONNECTION_TIMEOUT, reinterpret_cast<SQLPOINTER>(0), 0);
}

void Connection::disconnect() {
    if (!connected_)
        return;
    connected_ = false;
    if (!SQL_SUCCEEDED(SQLDisconnect(dbc_))) {
        // An open transaction refuses the disconnect; drop it.
        SQLEndTran(SQL_HANDLE_DBC, dbc_, SQL_ROLLBACK);
        SQLDisconnect(dbc_);
    }
    link_.release();
}

bool Connection::dead() const {
    SQLUINTEGER dead = SQL_CD_FALSE;
    if (!connected_)
        return true;
    if (!SQL_SUCCEEDED(SQLGetConnectAttrW(dbc_, SQL_ATTR_CONNECTION_DEAD, &dead, 0, nullptr)))
        return false;
    return dead == SQL_CD_TRUE;
}

void Connection::execute(const WideString& sql, int queryTimeoutSeconds) {
    Statement st(*this);
    st.setQueryTimeout(queryTimeoutSeconds);
    st.execute(sql);
    while (st.moreResults()) {
    }
}

void Connection::setAutocommit(bool on) {
    check(SQLSetConnectAttrW(
              dbc_, SQL_ATTR_AUTOCOMMIT,
              reinterpret_cast<SQLPOINTER>(on ? SQL_AUTOCOMMIT_ON : SQL_AUTOCOMMIT_OFF), 0),
          SQL_HANDLE_DBC, dbc_, "SQLSetConnectAttr");
}

void Connection::commit() {
    check(SQLEndTran(SQL_HANDLE_DBC, dbc_, SQL_COMMIT), SQL_HANDLE_DBC, dbc_, "SQLEndTran");
}

void Connection::rollback() {
    check(SQLEndTran(SQL_HANDLE_DBC, dbc_, SQL_ROLLBACK), SQL_HANDLE_DBC, dbc_, "SQLEndTran");
}

WideString Connection::currentCatalog() const {
    SQLWCHAR buf[260] = {};
    SQLINTEGER length = 0;
    check(SQLGetConnectAttrW(dbc_, SQL_ATTR_CURRENT_CATALOG, buf, sizeof buf, &length),
          SQL_HANDLE_DBC, dbc_, "SQLGetConnectAttr");
    return fromSqlw(buf, std::min<size_t>(static_cast<size_t>(length) / sizeof(SQLWCHAR), 259));
}

} // namespace odbc
