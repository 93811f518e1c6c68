// Opening a million-row table in a client-side recordset, against draining the
// same SELECT with a bare ODBC loop (bound columns, the same row array) in the
// same run. Prints the two times, the memory the rows take per row, their UTF-16
// payload per row, and last the ratio of the open to the bare drain.
#include "bench/BareDrain.h"
#include "data/ado/Connection.h"
#include "data/ado/ConnectionString.h"
#include "data/ado/Recordset.h"
#include "data/ado/ValueText.h"
#include "standin/launcher/StandinProcess.h"

#include <sqlext.h>

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

double recordsetOpen(ado::TADOConnection& connection, std::shared_ptr<ado::Recordset>& kept) {
    const auto start = Clock::now();
    auto rs = std::make_shared<ado::Recordset>();
    rs->lockType = ado::LockType::ReadOnly;
    rs->commandTimeout = 0;
    rs->Open(kQuery, connection);
    const double t = seconds(start);
    kept = std::move(rs);
    return t;
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

        // Alternate the two and keep the best of each, so that a warm cache or a
        // busy neighbour favours neither.
        double bare = 1e30, open = 1e30;
        size_t bareRows = 0;
        std::shared_ptr<ado::Recordset> rs;
        for (int round = 0; round < 2; ++round) {
            bare = std::min(bare, bench::bareDrain(odbcText, kQuery, bareRows));
            rs.reset();
            open = std::min(open, recordsetOpen(connection, rs));
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
        std::printf("bare_fetch_seconds: %.3f\n", bare);
        std::printf("recordset_open_seconds: %.3f\n", open);
        std::printf("bytes_per_row: %.1f\n", double(rs->MemoryUsed()) / double(rows));
        std::printf("utf16_payload_per_row: %.1f\n", double(payload) / double(rows));
        std::printf("ratio_open_to_bare: %.3f\n", open / bare);
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "ado_open: %s\n", e.what());
        return 1;
    }
}
