#include "standin/engine/Databases.h"

#include "standin/engine/Catalog.h"
#include "standin/engine/Functions.h"
#include "standin/engine/SqlError.h"
#include "standin/engine/Text.h"

#include <atomic>
#include <cstdio>
#include <filesystem>

namespace standin::engine {
namespace {

const Collation kCollations[] = {
    {"SQL_Latin1_General_CP1_CI_AS", 0x00D00409, 52, 1252},
    {"Chinese_Taiwan_Stroke_CI_AS", 0x00D00404, 0, 950},
    {"Chinese_PRC_CI_AS", 0x00D00804, 0, 936},
};

std::string percentEncode(const std::string& name) {
    std::string out;
    for (unsigned char c : name) {
        if (std::isalnum(c) || c == '_' || c == '-') {
            out += char(c);
        } else {
            char buf[4];
            std::snprintf(buf, sizeof buf, "%%%02X", c);
            out += buf;
        }
    }
    return out;
}

} // namespace

std::optional<Collation> collationByName(std::string_view name) {
    for (const Collation& c : kCollations)
        if (iequals(c.name, name))
            return c;
    return std::nullopt;
}

Collation defaultCollation() {
    return kCollations[0];
}

Databases::Databases(std::string dataDir) : dataDir_(std::move(dataDir)) {
    // In-memory databases are shared by name process-wide; a per-instance
    // prefix keeps two engines in one process (tests) apart.
    static std::atomic<int> instances{0};
    memoryPrefix_ = "e" + std::to_string(++instances) + "_";
    if (!dataDir_.empty())
        std::filesystem::create_directories(dataDir_);
    DatabaseInfo master{"master", 1, defaultCollation(), uriFor("master")};
    auto keeper = std::make_unique<Connection>(master.uri);
    initialiseCatalog(*keeper, true);
    {
        Statement st(*keeper, "INSERT OR IGNORE INTO sysdatabases(name, dbid, collation, "
                              "filename) VALUES ('master', 1, ?, 'master')");
        st.bind(1, master.collation.name);
        st.step();
    }
    Statement st(*keeper, "SELECT name, dbid, collation FROM sysdatabases WHERE dbid <> 1");
    while (st.step()) {
        DatabaseInfo db;
        db.name = st.columnText(0);
        db.dbid = int(st.columnInt(1));
        db.collation = collationByName(st.columnText(2)).value_or(defaultCollation());
        db.uri = uriFor(db.name);
        keepers_[upperAscii(db.name)] = std::make_unique<Connection>(db.uri);
        byKey_[upperAscii(db.name)] = db;
    }
    keepers_["MASTER"] = std::move(keeper);
    byKey_["MASTER"] = master;
}

Databases::~Databases() = default;

std::string Databases::uriFor(const std::string& name, int generation) const {
    // A session may still hold a connection to a dropped in-memory database,
    // which keeps it alive; a new database of the same name must not find it.
    if (dataDir_.empty())
        return "file:/" + memoryPrefix_ + std::to_string(generation) + "_" +
               percentEncode(upperAscii(name)) + "?vfs=memdb";
    std::string path = std::filesystem::absolute(dataDir_).string();
    return "file:" + path + "/" + percentEncode(name) + ".sqlite";
}

std::optional<DatabaseInfo> Databases::find(std::string_view name) const {
    std::lock_guard lock(mutex_);
    auto it = byKey_.find(upperAscii(name));
    if (it == byKey_.end())
        return std::nullopt;
    return it->second;
}

std::vector<DatabaseInfo> Databases::all() const {
    std::lock_guard lock(mutex_);
    std::vector<DatabaseInfo> out;
    for (auto& [key, db] : byKey_)
        out.push_back(db);
    return out;
}

DatabaseInfo Databases::create(const std::string& name, const Collation& collation) {
    std::lock_guard lock(mutex_);
    const std::string key = upperAscii(name);
    if (byKey_.count(key))
        throw SqlError(1801, "Database '" + name +
                                 "' already exists. Choose a different "
                                 "database name.");
    DatabaseInfo db;
    db.name = name;
    db.collation = collation;
    db.uri = uriFor(name, ++generation_);
    Connection& master = *keepers_.at("MASTER");
    db.dbid = int(master.scalarInt("SELECT coalesce(max(dbid), 4) + 1 FROM sysdatabases"));
    if (db.dbid < 5)
        db.dbid = 5;
    auto keeper = std::make_unique<Connection>(db.uri);
    if (!dataDir_.empty())
        keeper->exec("PRAGMA journal_mode=WAL");
    initialiseCatalog(*keeper, false);
    Statement st(master, "INSERT INTO sysdatabases(name, dbid, collation, filename) "
                         "VALUES (?, ?, ?, ?)");
    st.bind(1, name).bind(2, int64_t(db.dbid)).bind(3, collation.name).bind(4, name);
    st.step();
    keepers_[key] = std::move(keeper);
    byKey_[key] = db;
    return db;
}

void Databases::drop(const std::string& name) {
    std::lock_guard lock(mutex_);
    const std::string key = upperAscii(name);
    auto it = byKey_.find(key);
    if (it == byKey_.end())
        throw SqlError(3701,
                       "Cannot drop the database '" + name +
                           "', because it does not exist or you do not have permission.",
                       11);
    if (key == "MASTER")
        throw SqlError(3708, "Cannot drop the database 'master' because it is a system database.");
    Statement st(*keepers_.at("MASTER"), "DELETE FROM sysdatabases WHERE name = ?");
    st.bind(1, it->second.name);
    st.step();
    keepers_.erase(key);
    if (!dataDir_.empty()) {
        std::error_code ec;
        const std::string base = dataDir_ + "/" + percentEncode(it->second.name) + ".sqlite";
        for (const char* suffix : {"", "-wal", "-shm"})
            std::filesystem::remove(base + suffix, ec);
    }
    byKey_.erase(it);
}

std::unique_ptr<Connection> Databases::open(const DatabaseInfo& db,
                                            FunctionContext* context) const {
    auto c = std::make_unique<Connection>(db.uri);
    registerFunctions(*c, db.name, context);
    if (!iequals(db.name, "master"))
        c->exec("ATTACH DATABASE " + quoteLiteral(uriFor("master")) + " AS master");
    return c;
}

} // namespace standin::engine
