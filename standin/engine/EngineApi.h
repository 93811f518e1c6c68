#pragma once
// The boundary between the stand-in's TDS front end (standin/tds, standin/server)
// and its SQL engine (standin/engine).
//
// The front end decodes packets into calls on Engine and Session; the engine runs
// them against SQLite and reports every outcome, in order, to a ResultSink that
// the front end turns into tokens. Rows are pushed one at a time so that a
// million-row SELECT is streamed, never held whole.
#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace standin {

/// SQL Server data types as they travel in COLMETADATA.
enum class SqlType {
    Int,
    SmallInt,
    TinyInt,
    BigInt,
    Bit,
    Decimal,
    Numeric,
    Money,
    SmallMoney,
    Float,
    Real,
    DateTime,
    SmallDateTime,
    Date,
    Char,
    VarChar,
    Text, // bytes in the column's collation code page
    NChar,
    NVarChar,
    NText, // UTF-16
    Binary,
    VarBinary,
    Image,
    UniqueIdentifier,
};

/// A collation as the wire carries it (5 bytes) plus the code page it implies.
struct Collation {
    std::string name;  ///< e.g. "Chinese_Taiwan_Stroke_CI_AS"
    uint32_t info = 0; ///< LCID (20 bits), flags (8 bits), version (4 bits), little-endian
    uint8_t sortId = 0;
    uint16_t codePage = 1252;
};

/// One result column. `length` is in bytes for byte types and in characters for
/// N-types; -1 means (max).
struct ColumnInfo {
    std::u16string name;
    SqlType type = SqlType::Int;
    int32_t length = 0;
    uint8_t precision = 0;
    uint8_t scale = 0;
    bool nullable = true;
    bool identity = false;
    bool writable = true;
    Collation collation; ///< for character types
    // Browse information, sent as TABNAME/COLINFO while NO_BROWSETABLE is on.
    int tableIndex = 0;        ///< 1-based index into ResultMeta::tables; 0 = expression
    bool isKey = false;        ///< part of the base table's primary key
    bool hidden = false;       ///< added for browsing only, not part of the select list
    std::u16string baseColumn; ///< when it differs from `name`
};

/// A base table named in browse information, as its name parts ("dbo", "T_DOCMAS").
struct BrowseTable {
    std::vector<std::u16string> parts;
};

struct ResultMeta {
    std::vector<ColumnInfo> columns;
    std::vector<BrowseTable> tables; ///< empty unless browse information is wanted
};

struct DecimalValue {
    __int128 unscaled = 0;
    uint8_t scale = 0;
};
/// Days since 1900-01-01 and 1/300-second ticks since midnight, as DATETIME stores them.
struct DateTimeValue {
    int32_t days = 0;
    uint32_t ticks = 0;
};
struct GuidValue {
    uint8_t bytes[16] = {};
};

/// A cell value. Views stay valid only for the duration of the sink call that
/// carries them. Byte strings of character columns are in the column's code page.
using Value = std::variant<std::monostate,     // NULL
                           int64_t,            // integer types and bit
                           double,             // float, real
                           DecimalValue,       // decimal, numeric, money
                           DateTimeValue,      // datetime, smalldatetime, date
                           GuidValue,          // uniqueidentifier
                           std::string_view,   // char/varchar/text bytes, binary types
                           std::u16string_view // nchar/nvarchar/ntext
                           >;

/// An ERROR or INFO token's content.
struct ServerMessage {
    int32_t number = 0;
    uint8_t state = 1;
    uint8_t severity = 0; ///< class; 11 and above is an error
    std::u16string text;
    std::u16string procedure;
    int32_t line = 1;
    bool isError() const { return severity > 10; }
};

/// What the engine reports, in order. The front end maps these to tokens.
class ResultSink {
public:
    virtual ~ResultSink() = default;
    virtual void resultBegin(const ResultMeta& meta) = 0;
    virtual void row(std::span<const Value> values) = 0;
    /// Ends one statement. `rowCount` is set when the statement counts rows
    /// (SELECT, INSERT, UPDATE, DELETE) and NOCOUNT is off.
    virtual void statementDone(std::optional<int64_t> rowCount, bool error) = 0;
    virtual void message(const ServerMessage& msg) = 0;
    /// The session's current database changed (USE, or at login). The engine
    /// reports the accompanying INFO 5701 itself, through message().
    virtual void databaseChanged(const std::u16string& oldName, const std::u16string& newName,
                                 const Collation& collation) = 0;
    /// A stored procedure's return status (RPC only).
    virtual void returnStatus(int32_t status) = 0;
    /// An output parameter's value (RPC only; sp_prepare's and sp_prepexec's handle).
    virtual void returnValue(const std::u16string& name, const ColumnInfo& type,
                             const Value& value) {
        (void)name, (void)type, (void)value;
    }
    /// Polled between rows and during WAITFOR; true once the client sent ATTENTION.
    /// Once it is true the engine ends the request without reporting more.
    virtual bool cancelled() const = 0;
};

/// A typed RPC parameter, as decoded from the request.
struct Param {
    std::u16string name; ///< "@P1"; empty for unnamed
    ColumnInfo type;     ///< type, length, precision, scale, collation
    bool output = false;
    // Owned storage for the value (the Value view points into these).
    std::string bytes;
    std::u16string text;
    Value value; ///< NULL, number, or a view into bytes/text
};

/// Per-connection state: current database, options, transaction, prepared statements.
class Session {
public:
    virtual ~Session() = default;
    virtual std::u16string currentDatabase() const = 0;
    virtual Collation currentCollation() const = 0;
    virtual bool inTransaction() const = 0;
    /// The descriptor of the open transaction (0 = none), for ENVCHANGE and ALL_HEADERS.
    virtual uint64_t transactionId() const { return 0; }
};

struct EngineOptions {
    std::string dataDir;            ///< empty: databases live in memory
    std::vector<std::string> seeds; ///< "demo", "big"
    std::u16string user = u"sa";
    std::u16string password = u"velkin";
    /// Off: results never carry browse information, whatever the session asks, as
    /// with servers that do not implement it.
    bool browseInformation = true;
};

class Engine {
public:
    virtual ~Engine() = default;

    /// Checks a login; on success returns a new session in the login's default
    /// database ("master") and reports the database change to `sink`.
    virtual std::unique_ptr<Session> login(const std::u16string& user,
                                           const std::u16string& password,
                                           const std::u16string& database, ResultSink& sink) = 0;

    /// Runs a SQL batch (one or more statements).
    virtual void executeBatch(Session& session, std::u16string_view sql, ResultSink& sink) = 0;

    /// Runs an RPC: sp_executesql, sp_prepare, sp_prepexec, sp_execute, sp_unprepare,
    /// sp_columns, sp_statistics, sp_pkeys, sp_tables (name with or without a
    /// "[db].." or "db.dbo." prefix) or a ProcID's procedure name.
    virtual void executeRpc(Session& session, std::u16string_view procedure,
                            std::vector<Param>& params, ResultSink& sink) = 0;

    /// TRANS_MGR requests. Each returns the transaction descriptor now in force (0 = none).
    virtual uint64_t beginTransaction(Session& session) = 0;
    virtual void commitTransaction(Session& session, ResultSink& sink) = 0;
    virtual void rollbackTransaction(Session& session, ResultSink& sink) = 0;
};

/// Creates the SQLite-backed engine, seeding the named databases.
std::unique_ptr<Engine> createEngine(const EngineOptions& options);

} // namespace standin
