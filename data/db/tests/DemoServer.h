#pragma once
// Connections to a stand-in server seeded with the demo databases, shared by
// the dataset tests that run against a server, and the error text of an action.
#include "data/db/ADOComponents.h"
#include "standin/launcher/StandinProcess.h"

#include <QString>

#include <exception>
#include <functional>
#include <memory>

namespace dbtest {

/// The OLE DB connection string of the demo database on `server`.
inline platform::WideString DemoConnectionString(const standin::StandinProcess& server) {
    return QString::fromStdString(
               "Provider=SQLOLEDB.1;Persist Security Info=True;Data Source=" + server.dataSource() +
               ";Initial Catalog=VELKIN_DEMO;User ID=sa;Password=velkin")
        .toStdU16String();
}

/// A connection component logged in to the demo database on `server`.
inline std::unique_ptr<db::TADOConnectionComponent>
ConnectToDemo(const standin::StandinProcess& server) {
    auto c = std::make_unique<db::TADOConnectionComponent>();
    c->setConnectionString(DemoConnectionString(server));
    c->setConnectionTimeout(10);
    c->Open();
    return c;
}

/// The text of the exception `action` throws; empty when it throws none.
inline QString Message(const std::function<void()>& action) {
    try {
        action();
    } catch (const std::exception& e) {
        return e.what();
    }
    return {};
}

} // namespace dbtest
