// How fast the engine streams a million-row SELECT * to a sink, against a bare
// SQLite loop that reads the same cells from the same table in the same run.
// Prints "name: value" lines, the last one the ratio engine / baseline.
#include "standin/engine/Executor.h"
#include "standin/engine/Seeds.h"
#include "standin/engine/SessionState.h"

#include <chrono>
#include <cstdio>

using namespace standin;
using namespace standin::engine;

namespace {

/// Counts rows and touches every value, as a front end encoding them would.
class CountingSink : public ResultSink {
public:
    void resultBegin(const ResultMeta&) override {}
    void row(std::span<const Value> values) override {
        ++rows;
        for (const Value& v : values)
            checksum += v.index();
    }
    void statementDone(std::optional<int64_t>, bool) override {}
    void message(const ServerMessage& m) override {
        if (m.isError())
            std::fprintf(stderr, "error %d\n", m.number);
    }
    void databaseChanged(const std::u16string&, const std::u16string&, const Collation&) override {}
    void returnStatus(int32_t) override {}
    bool cancelled() const override { return false; }
    int64_t rows = 0;
    uint64_t checksum = 0;
};

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

int main() {
    Databases databases("");
    auto start = std::chrono::steady_clock::now();
    seedDatabases(databases, {"big"});
    std::printf("seed_big_seconds: %.3f\n", secondsSince(start));

    const DatabaseInfo db = *databases.find("PELMAR_BIG");
    SessionState session(databases, "sa", db);

    // Baseline: step the same query and read each cell in its storage form.
    start = std::chrono::steady_clock::now();
    int64_t baselineRows = 0;
    uint64_t checksum = 0;
    {
        Statement st(*session.current().connection, "SELECT * FROM T_BIG");
        const int n = sqlite3_column_count(st.handle());
        while (st.step()) {
            ++baselineRows;
            for (int i = 0; i < n; ++i) {
                switch (sqlite3_column_type(st.handle(), i)) {
                case SQLITE_INTEGER:
                    checksum += uint64_t(sqlite3_column_int64(st.handle(), i));
                    break;
                case SQLITE_FLOAT:
                    checksum += uint64_t(sqlite3_column_double(st.handle(), i));
                    break;
                case SQLITE_TEXT:
                    checksum += uint64_t(sqlite3_column_bytes(st.handle(), i));
                    break;
                default:
                    break;
                }
            }
        }
    }
    const double baseline = secondsSince(start);
    std::printf("baseline_rows: %lld\n", static_cast<long long>(baselineRows));
    std::printf("baseline_seconds: %.3f\n", baseline);

    CountingSink sink;
    Executor executor(databases, session, sink);
    start = std::chrono::steady_clock::now();
    executor.runBatch("SELECT * FROM T_BIG");
    const double engineSeconds = secondsSince(start);
    std::printf("engine_rows: %lld\n", static_cast<long long>(sink.rows));
    std::printf("engine_seconds: %.3f\n", engineSeconds);
    std::printf("checksum: %llu\n", static_cast<unsigned long long>(checksum + sink.checksum));
    std::printf("ratio_engine_to_baseline: %.2f\n", engineSeconds / baseline);
    return sink.rows == 1000000 ? 0 : 1;
}
