#pragma once
// TADOConnection: one login to a server, opened from an OLE DB connection string
// (only the SQL Server provider is known) over ODBC. It owns components put in
// its care, tells registered clients when it connects and disconnects, runs
// statements and hands out schema rowsets. Recordsets opened on it keep their
// rows after it closes or dies; ActiveConnection then answers null.
#include "data/ado/AdoTypes.h"
#include "data/ado/Variant.h"

#include <functional>
#include <memory>
#include <vector>

namespace odbc {
class Connection;
}

namespace ado {

class Recordset;
namespace detail {
struct ConnectionLink;
}

/// Something a connection owns and destroys with itself (a schema cache, ...).
class ConnectionComponent {
public:
    virtual ~ConnectionComponent() = default;
};

class TADOConnection {
public:
    TADOConnection();
    ~TADOConnection();
    TADOConnection(const TADOConnection&) = delete;
    TADOConnection& operator=(const TADOConnection&) = delete;

    /// The OLE DB connection string; setting it on an open connection throws.
    const WideString& ConnectionString() const;
    void setConnectionString(const WideString& text);
    /// Login time-out in seconds (default 15); 0 or less also means 15, so that a login
    /// never waits without bound.
    int ConnectionTimeout() const;
    void setConnectionTimeout(int seconds);
    /// Default time-out of Execute and OpenSchema, seconds (default 30).
    int CommandTimeout() const;
    void setCommandTimeout(int seconds);
    /// Kept for the callers that set it; a login dialog is never shown.
    bool LoginPrompt = false;

    /// Logs in; after it the session's TEXTSIZE is unlimited. Errors carry the
    /// driver's text (odbc::Error) or ADO's for an unknown provider (AdoError).
    void Open();
    /// Logs out; open recordsets keep their rows. Does nothing when closed.
    void Close();
    bool Connected() const;
    void setConnected(bool connected);
    ObjectState State() const;

    /// Runs SQL text. Returns the rows of the first result that has columns, or a
    /// closed recordset when there is none. recordsAffected gets the count of the
    /// last statement, or -1.
    std::shared_ptr<Recordset> Execute(const WideString& commandText,
                                       int64_t* recordsAffected = nullptr);

    /// A schema rowset as an in-memory recordset. Schema::Indexes (restrictions:
    /// catalog, schema, index name, type, table) gives TABLE_CATALOG, TABLE_SCHEMA,
    /// TABLE_NAME, INDEX_NAME, PRIMARY_KEY, UNIQUE, CLUSTERED, TYPE,
    /// ORDINAL_POSITION, COLUMN_NAME, COLLATION, AUTO_UPDATE, NULLS, CARDINALITY;
    /// Schema::Columns (catalog, schema, table, column) gives TABLE_CATALOG,
    /// TABLE_SCHEMA, TABLE_NAME, COLUMN_NAME, ORDINAL_POSITION, COLUMN_HASDEFAULT,
    /// COLUMN_DEFAULT, IS_NULLABLE, DATA_TYPE, CHARACTER_MAXIMUM_LENGTH,
    /// NUMERIC_PRECISION, NUMERIC_SCALE. Empty or Null restrictions match all; the
    /// table restriction is required.
    std::shared_ptr<Recordset> OpenSchema(Schema schema, const std::vector<Variant>& restrictions);
    /// How many schema rowsets this connection has asked the server for.
    int SchemaRequestCount() const;

    // --- owned components and clients -------------------------------------------
    /// Takes ownership; components are destroyed with the connection, in reverse order.
    ConnectionComponent* InsertComponent(std::unique_ptr<ConnectionComponent> component);
    /// Destroys an owned component (no-op for one not owned).
    void RemoveComponent(ConnectionComponent* component);
    /// The owned components in the order they were inserted.
    std::vector<ConnectionComponent*> Components() const;

    /// Called with true after a connect and false after a disconnect.
    using ConnectChangeHandler = std::function<void(TADOConnection& connection, bool connecting)>;
    /// Registers a client; the token unregisters it.
    int RegisterClient(ConnectChangeHandler handler);
    void UnRegisterClient(int token);

    /// The ODBC connection under it; throws AdoError when closed.
    odbc::Connection& odbcConnection();

private:
    friend class Recordset;
    /// Browse information (base table and column of result columns) on or off for
    /// the statements that follow; sent only when it changes.
    void setBrowseInformation(bool on);
    std::shared_ptr<detail::ConnectionLink> link() const;
    void countSchemaRequest();
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace ado
