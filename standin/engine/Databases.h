#pragma once
// The server's databases: one SQLite database per SQL Server database, in
// memory (SQLite's memdb, shared by name within the process) or one file per
// database under the data directory. `master` always exists and lists every
// database in its sysdatabases table, which also survives restarts on disk.
// Each in-memory database is kept alive by a connection held here.
#include "standin/engine/EngineApi.h"
#include "standin/engine/Functions.h"
#include "standin/engine/Sqlite.h"

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace standin::engine {

struct DatabaseInfo {
    std::string name;
    int dbid = 0;
    Collation collation;
    std::string uri; ///< SQLite URI filename
};

/// The collation of that name (any case), if it is one the server knows.
std::optional<Collation> collationByName(std::string_view name);
Collation defaultCollation();

class Databases {
public:
    /// Opens (or creates) master; with a data directory, finds the databases kept there.
    explicit Databases(std::string dataDir);
    ~Databases();

    std::optional<DatabaseInfo> find(std::string_view name) const;
    std::vector<DatabaseInfo> all() const;
    /// Creates an empty database; SQL Server's 1801 when the name is taken.
    DatabaseInfo create(const std::string& name, const Collation& collation);
    /// Drops a database; 3701 when it does not exist, 3708 for master.
    void drop(const std::string& name);
    /// Opens a new connection to the database, ready for a session.
    std::unique_ptr<Connection> open(const DatabaseInfo& db, FunctionContext* context) const;

private:
    std::string uriFor(const std::string& name, int generation = 0) const;

    mutable std::mutex mutex_;
    std::string dataDir_;
    std::string memoryPrefix_;
    int generation_ = 0; ///< bumped per CREATE DATABASE: a re-created name is a new database
    std::map<std::string, DatabaseInfo> byKey_; ///< by upper-case name
    std::map<std::string, std::unique_ptr<Connection>> keepers_;
};

} // namespace standin::engine
