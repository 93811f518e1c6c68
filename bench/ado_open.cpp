// Opening a million-row table in a client-side recordset, against draining the
// same SELECT with a bare ODBC loop (bound columns, the same row array) in the
// same run. Each side keeps the best of five rounds, in wall time and in the
// client process's CPU time. The open is also timed as the window runs it, on a
// worker thread while the calling thread waits, to show what the hand-over
// costs. Prints the times, the memory the rows take per row, their UTF-16
// payload per row, and last the ratio of the open to the bare drain.
#include "bench/BareDrain.h"
#include "data/ado/Connection.h"
#include "data/ado/ConnectionString.h"
#include "data/ado/Recordset.h"
#include "data/ado/ServerWork.h"
#include "data/ado/ValueText.h"
#include "standin/launcher/StandinProcess.h"

#include <sqlext.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
const char16_t* const kQuery = u"SELECT * FROM PELMAR_BIG.dbo.T_BIG";

double seconds(Clock::time_point from) {
    return std::chrono::duration<double>(Clock::now() - from).count();
}

double cpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

/// The best wall and CPU time of several rounds.
struct Best {
    double wall = 1e30, cpu = 1e30;
    void keep(double w, double c) {
        wall = std::min(wall, w);
        cpu = std::min(cpu, c);
    }
};

// The calling thread only waits, as the window's thread does between repaints.
class BlockingWaiter : public ado::ServerWaiter {
public:
    void wait(ado::ServerWork& work) override { work.waitReleased(); }
};

void recordsetOpen(ado::TADOConnection& connection, std::shared_ptr<ado::Recordset>& kept,
                   Best& best) {
    kept.reset();
    const double cpu = cpuSeconds();
    const auto start = Clock::now();
    auto rs = std::make_shared<ado::Recordset>();
    rs->lockType = ado::LockType::ReadOnly;
    rs->commandTimeout = 0;
    rs->Open(kQuery, connection);
    best.keep(seconds(start), cpuSeconds() - cpu);
    kept = std::move(rs);
}

} // namespace

int main() {
    try {
        standin::StandinProcess server({"--seed", "big"}, std::chrono::seconds(600));
        const std::string source = server.dataSource();
        const std::u16string oledb = u"Provider=SQLOLEDB.1;Data Source=" +
                                     std::u16string(source.begin(), source.end()) +
                                     u";Initial Catalog=PELMAR_BIG;User ID=sa;Password=velkin";
        const std::u16string odbcText = ado::OdbcConnectionStringFor(oledb);

        ado::TADOConnection connection;
        connection.setConnectionString(oledb);
        connection.Open();

        // Alternate the sides and keep the best of each, so that a warm cache or a
        // busy neighbour favours none.
        Best bare, open, onWorker;
        size_t bareRows = 0;
        std::shared_ptr<ado::Recordset> rs;
        BlockingWaiter waiter;
        for (int round = 0; round < 5; ++round) {
            const double cpu = cpuSeconds();
            const double wall = bench::bareDrain(odbcText, kQuery, bareRows);
            bare.keep(wall, cpuSeconds() - cpu);
            recordsetOpen(connection, rs, open);
            ado::SetServerWaiter(&waiter);
            recordsetOpen(connection, rs, onWorker);
            ado::SetServerWaiter(nullptr);
        }
        const auto rows = static_cast<size_t>(rs->RecordCount());
        if (rows != bareRows || rows == 0) {
            std::fprintf(stderr, "row counts differ: recordset %zu, bare %zu\n", rows, bareRows);
            return 1;
        }
        size_t payload = 0;
        for (rs->MoveFirst(); !rs->Eof(); rs->MoveNext())
            for (int f = 0; f < rs->FieldCount(); ++f)
                payload += ado::textOf(rs->Fields(f).Value()).size() * sizeof(char16_t);

        std::printf("rows: %zu\n", rows);
        std::printf("bare_fetch_seconds: %.3f\n", bare.wall);
        std::printf("bare_fetch_cpu_seconds: %.3f\n", bare.cpu);
        std::printf("recordset_open_seconds: %.3f\n", open.wall);
        std::printf("recordset_open_cpu_seconds: %.3f\n", open.cpu);
        std::printf("worker_open_seconds: %.3f\n", onWorker.wall);
        std::printf("worker_open_cpu_seconds: %.3f\n", onWorker.cpu);
        std::printf("worker_overhead_percent: %.1f\n", 100.0 * (onWorker.wall / open.wall - 1.0));
        std::printf("bytes_per_row: %.1f\n", double(rs->MemoryUsed()) / double(rows));
        std::printf("utf16_payload_per_row: %.1f\n", double(payload) / double(rows));
        std::printf("ratio_open_cpu_to_bare: %.3f\n", open.cpu / bare.cpu);
        std::printf("ratio_open_to_bare: %.3f\n", open.wall / bare.wall);
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "ado_open: %s\n", e.what());
        return 1;
    }
}
