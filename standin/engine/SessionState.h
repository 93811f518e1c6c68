#pragma once
// One client connection's state: its current database, its SQLite connections
// (one per database it has used, opened on first use and kept), SET options,
// the open transaction, @@ROWCOUNT/@@IDENTITY, and prepared statements.
// A session is used by one front-end thread at a time; it needs no lock.
#include "standin/engine/Databases.h"
#include "standin/engine/EngineApi.h"
#include "standin/engine/Functions.h"

#include <map>
#include <memory>
#include <set>
#include <string>

namespace standin::engine {

struct SessionConnection {
    std::unique_ptr<Connection> connection;
    std::string uri;                ///< of the database it was opened on
    std::set<std::string> attached; ///< upper-case names of attached databases
};

struct PreparedStatement {
    std::string sql;         ///< UTF-8 statement text with @P1.. parameters
    std::string declaration; ///< "@P1 int,@P2 varchar(50)"
};

class SessionState : public Session {
public:
    SessionState(Databases& databases, std::string user, DatabaseInfo database)
        : databases_(databases), database_(std::move(database)) {
        functions.user = std::move(user);
    }
    ~SessionState() override;

    std::u16string currentDatabase() const override;
    Collation currentCollation() const override { return database_.collation; }
    bool inTransaction() const override { return transaction != nullptr; }
    uint64_t transactionId() const override { return transactionDescriptor; }

    const DatabaseInfo& database() const { return database_; }
    void setDatabase(DatabaseInfo db) { database_ = std::move(db); }
    /// The session's connection to its current database.
    SessionConnection& current() { return connectionTo(database_); }
    SessionConnection& connectionTo(const DatabaseInfo& db);
    /// Makes `name` reachable from the current connection; returns its schema name.
    std::string attach(const std::string& name);
    /// Forgets the connection to a dropped database.
    void forget(const std::string& name);

    FunctionContext functions;
    bool noCount = false;
    bool browse = false;       ///< NO_BROWSETABLE ON
    bool browseAllowed = true; ///< the server sends browse information at all
    int64_t rowCount = 0;
    std::optional<int64_t> identity;
    int lastError = 0;
    Connection* transaction = nullptr;
    uint64_t transactionDescriptor = 0;
    std::map<int32_t, PreparedStatement> prepared;
    int32_t nextHandle = 1;

private:
    Databases& databases_;
    DatabaseInfo database_;
    std::map<std::string, SessionConnection> connections_; ///< by upper-case name
};

} // namespace standin::engine
