#pragma once
// A ResultSink for engine tests: keeps every result set, message, completion,
// database change, return status and output value, with the values copied out
// of the views the engine lends. `cancelAfterRows` turns cancelled() on once
// that many rows have arrived, and `cancelAfterPolls` after that many polls,
// as an ATTENTION would.
#include "standin/engine/EngineApi.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <memory>
#include <variant>
#include <vector>

namespace standin::test {

using Cell = std::variant<std::monostate, int64_t, double, DecimalValue, DateTimeValue, GuidValue,
                          QByteArray, QString>;

struct ResultSet {
    ResultMeta meta;
    std::vector<std::vector<Cell>> rows;
};

class RecordingSink : public ResultSink {
public:
    void resultBegin(const ResultMeta& meta) override { results.push_back({meta, {}}); }
    void row(std::span<const Value> values) override;
    void statementDone(std::optional<int64_t> rowCount, bool error) override {
        dones.push_back({rowCount, error});
    }
    void message(const ServerMessage& msg) override { messages.push_back(msg); }
    void databaseChanged(const std::u16string&, const std::u16string& newName,
                         const Collation& collation) override {
        databaseChanges.push_back(QString::fromStdU16String(newName));
        lastCollation = collation;
    }
    void returnStatus(int32_t status) override { statuses.push_back(status); }
    void returnValue(const std::u16string&, const ColumnInfo&, const Value& value) override {
        if (auto i = std::get_if<int64_t>(&value))
            returnValues.push_back(*i);
    }
    bool cancelled() const override {
        ++polls;
        return cancelRequested || (cancelAfterRows >= 0 && rowsSeen >= cancelAfterRows) ||
               (cancelAfterPolls >= 0 && polls > cancelAfterPolls);
    }

    /// Error messages only.
    std::vector<ServerMessage> errors() const;
    /// "number/state/class: text" of the first error, or empty.
    QString firstError() const;
    /// The cell at (row, column) of result set `set`, as text.
    QString text(size_t set, size_t row, size_t column) const;

    std::vector<ResultSet> results;
    std::vector<ServerMessage> messages;
    struct Done {
        std::optional<int64_t> rowCount;
        bool error;
    };
    std::vector<Done> dones;
    std::vector<QString> databaseChanges;
    Collation lastCollation;
    std::vector<int32_t> statuses;
    std::vector<int64_t> returnValues;
    int64_t cancelAfterRows = -1;
    std::atomic<bool> cancelRequested{false};
    int64_t rowsSeen = 0;
    int64_t cancelAfterPolls = -1;
    mutable int64_t polls = 0;
};

/// A cell's value as text: numbers in decimal, decimals with their scale,
/// dates as "YYYY-MM-DD HH:MM:SS.mmm", byte strings as Latin-1, NULL as "NULL".
QString cellText(const Cell& cell);

/// An engine with the given seeds and one logged-in session on it.
struct EngineFixture {
    explicit EngineFixture(std::vector<std::string> seeds = {"demo"});
    /// Runs a batch on the session and returns what it reported.
    std::unique_ptr<RecordingSink> run(const QString& sql);
    /// Runs an RPC on the session and returns what it reported.
    std::unique_ptr<RecordingSink> rpc(const char16_t* procedure, std::vector<Param> params);
    std::unique_ptr<Session> newSession();

    std::unique_ptr<Engine> engine;
    std::unique_ptr<Session> session;
};

} // namespace standin::test
