#pragma once
// odbc::Connection: one connection handle; connected between connect() and
// disconnect() (or destruction). A login time-out always applies when given, so
// that a server that never answers cannot hang the caller. Given the server's
// port, a connection also holds its socket (LinkSocket), so that a statement
// whose cancel the server never acknowledges can be cut off.
#include "data/odbc/LinkSocket.h"
#include "platform/Strings.h"

#include <sql.h>

#include <functional>

namespace odbc {

using platform::WideString;

class Connection {
public:
    Connection();
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    /// Connects with a driver connection string; loginTimeoutSeconds 0 waits for ever.
    /// serverPort, when known (not 0), is the port the driver connects to.
    void connect(const WideString& connectionString, int loginTimeoutSeconds, int serverPort = 0);
    /// Connects to a named data source with the login, password and database given
    /// apart from it, each carried exactly as it stands (an empty database: the
    /// login's default).
    void connectToDataSource(const WideString& dataSource, const WideString& login,
                             const WideString& password, const WideString& database,
                             int loginTimeoutSeconds, int serverPort = 0);
    /// Disconnects; safe when not connected.
    void disconnect();
    bool connected() const { return connected_; }
    /// Whether the driver reports the link as lost.
    bool dead() const;

    /// Runs a statement that returns no rows.
    void execute(const WideString& sql, int queryTimeoutSeconds = 0);

    void setAutocommit(bool on);
    void commit();
    void rollback();
    /// The current database (SQL_ATTR_CURRENT_CATALOG).
    WideString currentCatalog() const;

    SQLHDBC handle() const { return dbc_; }
    /// The socket under the connection, when it could be told (see LinkSocket).
    const LinkSocket& link() const { return link_; }

private:
    /// What both ways of connecting share: the time-outs, an abandoned login.
    void logIn(int loginTimeoutSeconds, int serverPort, const char* call,
               const std::function<SQLRETURN()>& connectCall);

    SQLHDBC dbc_ = SQL_NULL_HDBC;
    bool connected_ = false;
    LinkSocket link_;
};

} // namespace odbc
