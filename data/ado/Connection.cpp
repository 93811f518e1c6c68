#include "data/ado/Connection.h"

#include "data/ado/ConnectionString.h"
#include "data/ado/RecordsetImpl.h"
#include "data/ado/ServerWork.h"
#include "data/odbc/Connection.h"
#include "data/odbc/DataSourceFile.h"
#include "platform/CodePageConv.h"

#include <algorithm>
#include <map>

namespace ado {

namespace {

/// The port of a login as a number; 0 when it is none (the socket is then not held).
int ServerPort(const WideString& port) {
    int number = 0;
    for (char16_t c : port) {
        if (c < u'0' || c > u'9' || number > 65535)
            return 0;
        number = number * 10 + (c - u'0');
    }
    return number <= 65535 ? number : 0;
}

} // namespace

struct TADOConnection::Impl {
    WideString connectionString;
    int connectionTimeout = 15;
    int commandTimeout = 30;
    std::unique_ptr<odbc::Connection> odbc;
    std::shared_ptr<detail::ConnectionLink> link = std::make_shared<detail::ConnectionLink>();
    std::vector<std::unique_ptr<ConnectionComponent>> components;
    std::map<int, ConnectChangeHandler> clients;
    int nextToken = 1;
    bool browseInformation = false;
    int schemaRequests = 0;

    void notify(TADOConnection& self, bool connecting) {
        // A handler may unregister itself (or others) while being told.
        const auto snapshot = clients;
        for (const auto& [token, handler] : snapshot)
            if (clients.count(token))
                handler(self, connecting);
    }
};

TADOConnection::TADOConnection() : d(std::make_unique<Impl>()) {
    d->link->owner = this;
}

TADOConnection::~TADOConnection() {
    d->link->owner = nullptr;
    try {
        Close();
    } catch (...) {
        // A failing disconnect at destruction has nobody to tell.
    }
    while (!d->components.empty())
        d->components.pop_back();
}

const WideString& TADOConnection::ConnectionString() const {
    return d->connectionString;
}

void TADOConnection::setConnectionString(const WideString& text) {
    if (Connected())
        throw AdoError("Operation is not allowed when the object is open.");
    d->connectionString = text;
}

int TADOConnection::ConnectionTimeout() const {
    return d->connectionTimeout;
}
void TADOConnection::setConnectionTimeout(int seconds) {
    d->connectionTimeout = seconds;
}
int TADOConnection::CommandTimeout() const {
    return d->commandTimeout;
}
void TADOConnection::setCommandTimeout(int seconds) {
    d->commandTimeout = seconds;
}

void TADOConnection::Open() {
    if (Connected())
        return;
    OdbcLogin login;
    try {
        login = OdbcLoginFor(d->connectionString);
    } catch (const ConnectionStringError& e) {
        throw AdoError(e.what());
    }
    // The login may be abandoned and outlive this call: it owns all it uses.
    auto connection = std::make_shared<std::unique_ptr<odbc::Connection>>();
    const int loginTimeout = d->connectionTimeout > 0 ? d->connectionTimeout : 15;
    const int commandTimeout = d->commandTimeout;
    RunServerWork(
        u"Connecting",
        [connection, login, loginTimeout, commandTimeout] {
            auto opened = std::make_unique<odbc::Connection>();
            const int port = ServerPort(login.port);
            // A server that accepts the socket but never answers the login would hold
            // an unbounded connect for ever; 0 therefore means the provider's default.
            if (!login.connectionString.empty()) {
                opened->connect(login.connectionString, loginTimeout, port);
            } else {
                const odbc::TemporaryDataSource source(
                    "FreeTDS", {{"Server", platform::WideToMultiByte(65001, login.server)},
                                {"Port", platform::WideToMultiByte(65001, login.port)},
                                {"TDS_Version", "7.4"},
                                {"ClientCharset", "UTF-8"}});
                opened->connectToDataSource(source.name(), login.user, login.password,
                                            login.database, loginTimeout, port);
            }
            // Long values must arrive whole, not cut at the session's default text size.
            opened->execute(u"SET TEXTSIZE 2147483647", commandTimeout);
            *connection = std::move(opened);
        },
        ServerWorkKind::Login);
    d->odbc = std::move(*connection);
    d->browseInformation = false;
    d->notify(*this, true);
}

void TADOConnection::Close() {
    if (!d->odbc)
        return;
    auto connection = std::move(d->odbc);
    connection->disconnect();
    connection.reset();
    d->notify(*this, false);
}

bool TADOConnection::Connected() const {
    return d->odbc && d->odbc->connected();
}

void TADOConnection::setConnected(bool connected) {
    if (connected)
        Open();
    else
        Close();
}

ObjectState TADOConnection::State() const {
    return Connected() ? ObjectState::Open : ObjectState::Closed;
}

odbc::Connection& TADOConnection::odbcConnection() {
    if (!Connected())
        throw AdoError("Operation is not allowed when the object is closed.");
    return *d->odbc;
}

std::shared_ptr<Recordset> TADOConnection::Execute(const WideString& commandText,
                                                   int64_t* recordsAffected) {
    auto rs = std::make_shared<Recordset>();
    rs->commandTimeout = d->commandTimeout;
    rs->lockType = LockType::ReadOnly;
    rs->openWithCount(commandText, *this, CommandType::Text, recordsAffected);
    return rs;
}

int TADOConnection::SchemaRequestCount() const {
    return d->schemaRequests;
}

void TADOConnection::countSchemaRequest() {
    ++d->schemaRequests;
}

std::shared_ptr<detail::ConnectionLink> TADOConnection::link() const {
    return d->link;
}

void TADOConnection::setBrowseInformation(bool on) {
    if (d->browseInformation == on)
        return;
    odbcConnection().execute(on ? u"SET NO_BROWSETABLE ON" : u"SET NO_BROWSETABLE OFF",
                             d->commandTimeout);
    d->browseInformation = on;
}

ConnectionComponent*
TADOConnection::InsertComponent(std::unique_ptr<ConnectionComponent> component) {
    d->components.push_back(std::move(component));
    return d->components.back().get();
}

void TADOConnection::RemoveComponent(ConnectionComponent* component) {
    auto it = std::find_if(d->components.begin(), d->components.end(),
                           [&](const auto& c) { return c.get() == component; });
    if (it == d->components.end())
        return;
    auto owned = std::move(*it);
    d->components.erase(it);
}

std::vector<ConnectionComponent*> TADOConnection::Components() const {
    std::vector<ConnectionComponent*> out;
    for (const auto& c : d->components)
        out.push_back(c.get());
    return out;
}

int TADOConnection::RegisterClient(ConnectChangeHandler handler) {
    const int token = d->nextToken++;
    d->clients.emplace(token, std::move(handler));
    return token;
}

void TADOConnection::UnRegisterClient(int token) {
    d->clients.erase(token);
}

} // namespace ado
