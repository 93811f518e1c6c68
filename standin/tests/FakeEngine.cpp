#include "standin/tests/FakeEngine.h"

#include <chrono>
#include <string>
#include <thread>

namespace standin::testing {

namespace {

Collation latin1() {
    return Collation{"SQL_Latin1_General_CP1_CI_AS", 0x00D00409, 0x34, 1252};
}

ServerMessage info(int32_t number, std::u16string text) {
    ServerMessage m;
    m.number = number;
    m.text = std::move(text);
    return m;
}

ServerMessage error(int32_t number, std::u16string text) {
    ServerMessage m;
    m.number = number;
    m.severity = 16;
    m.text = std::move(text);
    return m;
}

class FakeSession : public Session {
public:
    std::u16string currentDatabase() const override { return database; }
    Collation currentCollation() const override { return latin1(); }
    bool inTransaction() const override { return transaction; }

    std::u16string database = u"master";
    bool transaction = false;
};

ColumnInfo column(std::u16string name, SqlType type, int32_t length = 0) {
    ColumnInfo c;
    c.name = std::move(name);
    c.type = type;
    c.length = length;
    c.collation = latin1();
    return c;
}

class FakeEngine : public Engine {
public:
    explicit FakeEngine(EngineOptions options) : options_(std::move(options)) {}

    std::unique_ptr<Session> login(const std::u16string& user, const std::u16string& password,
                                   const std::u16string&, ResultSink& sink) override {
        if (user != options_.user || password != options_.password)
            return nullptr;
        auto session = std::make_unique<FakeSession>();
        sink.databaseChanged(u"", session->database, latin1());
        return session;
    }

    void executeBatch(Session& s, std::u16string_view sql, ResultSink& sink) override {
        auto& session = static_cast<FakeSession&>(s);
        if (sql.starts_with(u"USE ")) {
            const std::u16string old = session.database;
            session.database = std::u16string(sql.substr(4));
            sink.databaseChanged(old, session.database, latin1());
            sink.message(info(5701, u"Changed database context to '" + session.database + u"'."));
            sink.statementDone(std::nullopt, false);
        } else if (sql.starts_with(u"WAITFOR DELAY '00:00:")) {
            const int seconds = std::stoi(std::string(sql.begin() + 21, sql.begin() + 23));
            const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
            while (std::chrono::steady_clock::now() < until && !sink.cancelled())
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            sink.statementDone(std::nullopt, false);
        } else if (sql.find(u"CREATE TABLE tds_types") != std::u16string_view::npos) {
            sink.statementDone(std::nullopt, false);
            sink.statementDone(2, false);
        } else if (sql == u"SELECT i, b, d, f, dt, v, n, t FROM tds_types ORDER BY i") {
            typesResult(sink);
        } else if (sql == u"SELECT * FROM PELMAR_BIG.dbo.T_BIG") {
            bigResult(sink);
        } else if (sql == u"SELECT * FROM nosuch") {
            sink.message(error(208, u"Invalid object name 'nosuch'."));
            sink.statementDone(std::nullopt, true);
        } else {
            sink.message(
                error(102, u"Incorrect syntax near '" + std::u16string(sql.substr(0, 20)) + u"'."));
            sink.statementDone(std::nullopt, true);
        }
    }

    void executeRpc(Session& s, std::u16string_view procedure, std::vector<Param>& params,
                    ResultSink& sink) override {
        if (procedure == u"sp_executesql" && params.size() >= 1) {
            if (auto sql = std::get_if<std::u16string_view>(&params[0].value))
                executeBatch(s, *sql, sink);
            sink.returnStatus(0);
            return;
        }
        sink.message(
            error(2812, u"Could not find stored procedure '" + std::u16string(procedure) + u"'."));
    }

    uint64_t beginTransaction(Session& s) override {
        static_cast<FakeSession&>(s).transaction = true;
        return 1;
    }
    void commitTransaction(Session& s, ResultSink&) override {
        static_cast<FakeSession&>(s).transaction = false;
    }
    void rollbackTransaction(Session& s, ResultSink&) override {
        static_cast<FakeSession&>(s).transaction = false;
    }

private:
    static void typesResult(ResultSink& sink) {
        ResultMeta meta;
        meta.columns = {column(u"i", SqlType::Int),          column(u"b", SqlType::Bit),
                        column(u"d", SqlType::Decimal),      column(u"f", SqlType::Float),
                        column(u"dt", SqlType::DateTime),    column(u"v", SqlType::VarChar, 20),
                        column(u"n", SqlType::NVarChar, 20), column(u"t", SqlType::NText)};
        meta.columns[2].precision = 18;
        meta.columns[2].scale = 4;
        sink.resultBegin(meta);
        // 2024-02-29 is day 45349 after 1900-01-01; 13:45:30.5 is 14859150 ticks.
        const Value first[] = {int64_t{1},
                               int64_t{1},
                               DecimalValue{12345678, 4},
                               2.5,
                               DateTimeValue{45349, 14859150},
                               std::string_view("abc"),
                               std::u16string_view(u"\u4E2D\u6587"),
                               std::u16string_view(u"memo")};
        sink.row(first);
        const Value second[] = {int64_t{2},       std::monostate{}, std::monostate{},
                                std::monostate{}, std::monostate{}, std::monostate{},
                                std::monostate{}, std::monostate{}};
        sink.row(second);
        sink.statementDone(2, false);
    }

    static void bigResult(ResultSink& sink) {
        ResultMeta meta;
        meta.columns = {
            column(u"ID", SqlType::Int),           column(u"N64", SqlType::BigInt),
            column(u"CODE", SqlType::VarChar, 20), column(u"NAME", SqlType::NVarChar, 40),
            column(u"CREATED", SqlType::DateTime), column(u"AMOUNT", SqlType::Decimal),
            column(u"RATIO", SqlType::Float),      column(u"FLAG", SqlType::Bit),
            column(u"QTY", SqlType::SmallInt),     column(u"NOTE", SqlType::VarChar, 50)};
        meta.columns[5].precision = 18;
        meta.columns[5].scale = 2;
        sink.resultBegin(meta);
        int64_t rows = 0;
        for (int64_t i = 1; i <= 1000000 && !sink.cancelled(); ++i, ++rows) {
            const Value v[] = {i,
                               i * 1000,
                               std::string_view("CODE-000123"),
                               std::u16string_view(u"Name of the row"),
                               DateTimeValue{45000 + static_cast<int32_t>(i % 1000), 300},
                               DecimalValue{i * 100 + 5, 2},
                               static_cast<double>(i) / 7,
                               int64_t{i % 2},
                               int64_t{i % 1000},
                               std::string_view("a note of moderate length")};
            sink.row(v);
        }
        sink.statementDone(rows, false);
    }

    EngineOptions options_;
};

} // namespace

std::unique_ptr<Engine> createFakeEngine(const EngineOptions& options) {
    return std::make_unique<FakeEngine>(options);
}

} // namespace standin::testing
