// Opening: provider detection before the open, and the recovery of a failed
// open or requery through the connection status.
#include "data/TntLXAdoDataSet.h"

namespace tnt {

using namespace db;

namespace {

/// Set while a connection reconnects; one flag for the process, so a failure
/// during any reconnect aborts instead of nesting a second one.
bool gReconnectInProgress = false;

/// Clears the reconnect flag on every path out of the reconnect.
class ReconnectGuard {
public:
    ReconnectGuard() { gReconnectInProgress = true; }
    ~ReconnectGuard() { gReconnectInProgress = false; }
    ReconnectGuard(const ReconnectGuard&) = delete;
    ReconnectGuard& operator=(const ReconnectGuard&) = delete;
};

WideString UpperCased(WideString text) {
    for (char16_t& c : text)
        if (c >= u'a' && c <= u'z')
            c = static_cast<char16_t>(c - u'a' + u'A');
    return text;
}

bool Contains(const WideString& upperText, const char16_t* pattern) {
    return upperText.find(pattern) != WideString::npos;
}

} // namespace

ITntConnectionReconnect* FindReconnectCapability(ado::TADOConnection& connection) {
    for (ado::ConnectionComponent* component : connection.Components())
        if (auto* source = dynamic_cast<ITntInterfaceSource*>(component))
            if (void* found = source->QueryInterface(ITntConnectionReconnect::IID))
                return static_cast<ITntConnectionReconnect*>(found);
    return nullptr;
}

bool ReconnectInProgress() {
    return gReconnectInProgress;
}

// ---------------------------------------------------------------- provider detection

void TTntADODataSetLX::DoBeforeOpen() {
    TADODataSet::DoBeforeOpen();
    DetectProvider();
}

void TTntADODataSetLX::DetectProvider() {
    WideString text;
    if (const std::shared_ptr<ado::Recordset> handed = Recordset()) {
        ado::TADOConnection* active = handed->ActiveConnection();
        if (!active) {
            FIsSQLServer = false;
            FIsJet = false;
            return;
        }
        text = active->ConnectionString();
    } else if (Connection()) {
        text = Connection()->ConnectionString();
    } else {
        text = ConnectionString();
    }
    // The pattern is matched as written: blanks around "=" defeat it.
    const WideString upper = UpperCased(text);
    FIsSQLServer = Contains(upper, u"PROVIDER=SQLOLEDB");
    FIsJet = Contains(upper, u"PROVIDER=MICROSOFT.JET.OLEDB");
}

// ---------------------------------------------------------------- connection status

void TTntADODataSetLX::ExecuteProbe(ado::TADOConnection& connection) {
    // The rows are released unread as the recordset goes out of scope.
    connection.Execute(u"SELECT 0");
}

bool TTntADODataSetLX::ConnectionBroken(ado::TADOConnection* connection) {
    if (!connection || !connection->Connected())
        return true;
    try {
        ExecuteProbe(*connection);
    } catch (const std::exception&) {
        return true;
    }
    return false;
}

int TTntADODataSetLX::ConnectionStatus() {
    ado::TADOConnection* connection = Connection();
    if (!ConnectionBroken(connection))
        return csAlive;
    if (!connection)
        return csBroken; // no component, nothing that could reconnect
    ITntConnectionReconnect* reconnect = FindReconnectCapability(*connection);
    if (!reconnect)
        return csBroken;
    if (gReconnectInProgress)
        return csReconnecting;
    ReconnectGuard guard;
    reconnect->Reconnect();
    return ConnectionBroken(connection) ? csBroken : csReconnected;
}

// ---------------------------------------------------------------- recovery

void TTntADODataSetLX::OpenCursor(bool infoQuery) {
    try {
        TADODataSet::OpenCursor(infoQuery);
        return;
    } catch (const std::exception&) {
        TADODataSet::InternalClose();
        switch (ConnectionStatus()) {
        case csAlive:
        case csBroken:
            throw;
        case csReconnected:
            if (Active())
                throw;
            break;
        case csReconnecting:
            Abort();
        default:
            throw ETntInternalError("Internal Error: Unexpected connection status.");
        }
    }
    TADODataSet::OpenCursor(infoQuery);
}

void TTntADODataSetLX::Requery(TExecuteOptions options) {
    try {
        TADODataSet::Requery(options);
        return;
    } catch (const std::exception&) {
        switch (ConnectionStatus()) {
        case csAlive:
        case csBroken:
            throw;
        case csReconnected:
            break;
        case csReconnecting:
            Abort();
        default:
            throw ETntInternalError("Internal Error: Unexpected connection status.");
        }
    }
    if (Active())
        TADODataSet::Requery(options);
    else
        Open();
}

} // namespace tnt
