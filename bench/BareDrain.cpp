#include "bench/BareDrain.h"

#include "data/odbc/Connection.h"
#include "data/odbc/Statement.h"

#include <sqlext.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace bench {

namespace {
using Clock = std::chrono::steady_clock;
}

// The baseline: every column bound as the recordset reads it, 512 rows a fetch,
// each value touched once; nothing kept.
double bareDrain(const std::u16string& odbcConnectionString, const char16_t* query, size_t& rows) {
    odbc::Connection connection;
    connection.connect(odbcConnectionString, 30);
    odbc::Statement st(connection);
    const auto start = Clock::now();
    st.execute(query);
    const int columns = st.columnCount();
    constexpr SQLULEN kRows = 512;
    SQLULEN fetched = 0;
    st.setRowArraySize(kRows, &fetched);
    struct Bound {
        SQLSMALLINT cType;
        SQLLEN width;
        std::vector<char> data;
        std::vector<SQLLEN> ind;
    };
    std::vector<Bound> bound(static_cast<size_t>(columns));
    for (int c = 0; c < columns; ++c) {
        const odbc::ColumnDescription d = st.describe(c + 1);
        Bound& b = bound[static_cast<size_t>(c)];
        switch (d.sqlType) {
        case SQL_INTEGER:
        case SQL_SMALLINT:
        case SQL_TINYINT:
        case SQL_BIGINT:
            b.cType = SQL_C_SBIGINT, b.width = 8;
            break;
        case SQL_FLOAT:
        case SQL_DOUBLE:
        case SQL_REAL:
            b.cType = SQL_C_DOUBLE, b.width = 8;
            break;
        case SQL_BIT:
            b.cType = SQL_C_BIT, b.width = 1;
            break;
        case SQL_TYPE_TIMESTAMP:
            b.cType = SQL_C_TYPE_TIMESTAMP, b.width = sizeof(SQL_TIMESTAMP_STRUCT);
            break;
        default:
            b.cType = SQL_C_WCHAR;
            b.width = static_cast<SQLLEN>((std::max<SQLULEN>(d.size, 40) + 1) * 2);
        }
        b.data.resize(static_cast<size_t>(b.width) * kRows);
        b.ind.resize(kRows);
        SQLBindCol(st.handle(), static_cast<SQLUSMALLINT>(c + 1), b.cType, b.data.data(), b.width,
                   b.ind.data());
    }
    size_t checksum = 0;
    rows = 0;
    while (st.fetch()) {
        for (SQLULEN r = 0; r < fetched; ++r)
            for (const Bound& b : bound)
                checksum +=
                    static_cast<size_t>(b.ind[r]) + static_cast<unsigned char>(b.data[r * b.width]);
        rows += fetched;
    }
    const double t = std::chrono::duration<double>(Clock::now() - start).count();
    std::fprintf(stderr, "bare checksum %zu\n", checksum);
    return t;
}

} // namespace bench
