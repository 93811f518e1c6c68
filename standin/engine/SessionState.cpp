#include "standin/engine/SessionState.h"

#include "standin/engine/SqlError.h"
#include "standin/engine/Text.h"

namespace standin::engine {

SessionState::~SessionState() {
    if (transaction) {
        try {
            transaction->exec("ROLLBACK");
        } catch (const SqlError&) {
        }
    }
}

std::u16string SessionState::currentDatabase() const {
    return fromUtf8(database_.name);
}

SessionConnection& SessionState::connectionTo(const DatabaseInfo& db) {
    const std::string key = upperAscii(db.name);
    auto it = connections_.find(key);
    if (it != connections_.end() && it->second.uri != db.uri) {
        // The database was dropped and created anew since this connection was opened.
        if (transaction == it->second.connection.get())
            transaction = nullptr;
        connections_.erase(it);
        it = connections_.end();
    }
    if (it == connections_.end()) {
        SessionConnection sc;
        sc.connection = databases_.open(db, &functions);
        sc.uri = db.uri;
        if (key != "MASTER")
            sc.attached.insert("MASTER");
        it = connections_.emplace(key, std::move(sc)).first;
    }
    return it->second;
}

std::string SessionState::attach(const std::string& name) {
    auto db = databases_.find(name);
    if (!db)
        throw SqlError(911,
                       "Database '" + name +
                           "' does not exist. Make sure that the name is entered correctly.",
                       16, 1);
    SessionConnection& sc = current();
    const std::string key = upperAscii(db->name);
    if (key == upperAscii(database_.name))
        return "main";
    if (!sc.attached.count(key)) {
        if (sc.connection->inTransaction())
            throw SqlError(50000, "Database '" + db->name +
                                      "' cannot be reached inside a transaction that began "
                                      "before it was first used in this session.");
        sc.connection->exec("ATTACH DATABASE " + quoteLiteral(db->uri) + " AS " +
                            quoteIdent(db->name));
        sc.attached.insert(key);
    }
    return key == "MASTER" ? "master" : db->name;
}

void SessionState::forget(const std::string& name) {
    const std::string key = upperAscii(name);
    connections_.erase(key);
    for (auto& [k, sc] : connections_) {
        if (sc.attached.erase(key)) {
            try {
                sc.connection->exec("DETACH DATABASE " + quoteIdent(name));
            } catch (const SqlError&) {
            }
        }
    }
}

} // namespace standin::engine
