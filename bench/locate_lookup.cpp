// Finding rows in the Unicode dataset over the million-row table, against a
// plain loop over the same rows (an unsorted clone sharing the recordset's
// rows) comparing the same values, in the same run. Each search runs as the
// first one (the lookup cursor made and sorted anew, or the seek order built)
// and as a repeated one with a new key; each side keeps the best of several
// rounds, in wall time and in the client process's CPU time. The searches:
// Locate on one text key (find), on two keys (filter), on the primary key
// through the index seek, and Lookup. Prints the catalogue requests the column
// metadata took for two datasets on one connection, then the ratios.
#include "data/TntLXAdoDataSet.h"
#include "data/ado/ValueText.h"
#include "data/db/ADOComponents.h"
#include "data/db/VariantConv.h"
#include "standin/launcher/StandinProcess.h"

#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using ado::Variant;
using platform::WideString;
constexpr int kRounds = 5;

double cpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

/// The best wall and CPU time of several rounds.
struct Best {
    double wall = 1e30, cpu = 1e30;
    void time(const std::function<void()>& work) {
        const double cpu0 = cpuSeconds();
        const auto start = Clock::now();
        work();
        wall = std::min(wall, std::chrono::duration<double>(Clock::now() - start).count());
        cpu = std::min(cpu, cpuSeconds() - cpu0);
    }
};

class BenchTable : public tnt::TTntADOTableLX {
public:
    using TTntADOTableLX::DestroyLookupCursor;
};

/// The keys of one row, read from the recordset.
struct RowKeys {
    int64_t id = 0;
    WideString code, name;
};

bool sameText(const Variant& v, const WideString& key) {
    if (v.is<WideString>())
        return ado::compareTextNoCase(v.get<WideString>(), key) == 0;
    return !v.isBlank() && ado::compareTextNoCase(ado::textOf(v), key) == 0;
}

/// The plain loop: from the first row, compares each row's values until one matches.
class PlainLoop {
public:
    explicit PlainLoop(ado::Recordset& rows)
        : rows_(rows), id_(rows.FieldIndex(u"ID")), code_(rows.FieldIndex(u"Code")),
          name_(rows.FieldIndex(u"Name")) {}

    int64_t byCode(const WideString& code) {
        for (rows_.MoveFirst(); !rows_.Eof(); rows_.MoveNext())
            if (sameText(rows_.Fields(code_).Value(), code))
                return current();
        return 0;
    }
    int64_t byCodeAndName(const WideString& code, const WideString& name) {
        for (rows_.MoveFirst(); !rows_.Eof(); rows_.MoveNext())
            if (sameText(rows_.Fields(code_).Value(), code) &&
                sameText(rows_.Fields(name_).Value(), name))
                return current();
        return 0;
    }
    int64_t byId(int64_t id) {
        for (rows_.MoveFirst(); !rows_.Eof(); rows_.MoveNext()) {
            const Variant v = rows_.Fields(id_).Value();
            if (v.is<int64_t>() && v.get<int64_t>() == id)
                return id;
        }
        return 0;
    }
    RowKeys keysAt(int64_t id) {
        byId(id);
        return {id, ado::textOf(rows_.Fields(code_).Value()),
                ado::textOf(rows_.Fields(name_).Value())};
    }

private:
    int64_t current() {
        const Variant v = rows_.Fields(id_).Value();
        return v.is<int64_t>() ? v.get<int64_t>() : -1;
    }
    ado::Recordset& rows_;
    int id_, code_, name_;
};

/// One search, timed on both sides: as the first one and as a repeated one.
struct Measure {
    Best first, repeated, plain;
};

void check(bool ok, const char* what) {
    if (!ok)
        throw std::runtime_error(std::string("wrong row: ") + what);
}

void print(const char* name, const Measure& m) {
    std::printf("%s_first_ms: %.3f\n", name, m.first.wall * 1e3);
    std::printf("%s_first_cpu_ms: %.3f\n", name, m.first.cpu * 1e3);
    std::printf("%s_repeated_ms: %.3f\n", name, m.repeated.wall * 1e3);
    std::printf("%s_repeated_cpu_ms: %.3f\n", name, m.repeated.cpu * 1e3);
    std::printf("%s_plain_loop_ms: %.3f\n", name, m.plain.wall * 1e3);
    std::printf("%s_plain_loop_cpu_ms: %.3f\n", name, m.plain.cpu * 1e3);
}

} // namespace

int main() {
    try {
        standin::StandinProcess server({"--seed", "big"}, std::chrono::seconds(600));
        const std::string source = server.dataSource();
        db::TADOConnectionComponent connection;
        connection.setConnectionString(WideString(u"Provider=SQLOLEDB.1;Data Source=") +
                                       WideString(source.begin(), source.end()) +
                                       u";Initial Catalog=PELMAR_BIG;User ID=sa;Password=velkin");
        connection.Open();

        BenchTable table;
        table.SetConnection(&connection);
        table.SetCommandTimeout(0);
        table.SetTableName(u"T_BIG");
        table.Open();
        const int64_t rowCount = table.RecordCount();

        // The column metadata of two datasets on one connection: one columns request.
        const int requestsBefore = connection.SchemaRequestCount();
        table.LoadColumnMetadata();
        tnt::TTntADODataSetLX second;
        second.SetConnection(&connection);
        second.SetCommandText(u"SELECT ID, Code FROM T_BIG WHERE ID < 10");
        second.Open();
        second.LoadColumnMetadata();
        table.LoadColumnMetadata();
        const int catalogueRequests = connection.SchemaRequestCount() - requestsBefore;

        auto loopRows = table.Recordset()->Clone(ado::LockType::ReadOnly);
        PlainLoop plain(*loopRows);
        auto idOf = [&] {
            return table.FieldByName("ID")->AsInteger();
        };

        Measure find, filter, seek, lookup;
        for (int round = 0; round < kRounds; ++round) {
            // Rows near the end, so that the scans go through nearly all rows; a new
            // row each search so that no search finds the row it found before.
            const RowKeys a = plain.keysAt(rowCount - 1000 - round * 2);
            const RowKeys b = plain.keysAt(rowCount - 1001 - round * 2);

            table.DestroyLookupCursor();
            find.first.time([&] { check(table.Locate("Code", Variant(a.code), 0), "find"); });
            check(idOf() == a.id, "find");
            find.repeated.time([&] { check(table.Locate("Code", Variant(b.code), 0), "find"); });
            check(idOf() == b.id, "find again");
            find.plain.time([&] { check(plain.byCode(b.code) == b.id, "plain find"); });

            table.DestroyLookupCursor();
            lookup.first.time([&] {
                check(db::VarToWide(table.Lookup("Code", Variant(a.code), "Name").single()) ==
                          a.name,
                      "lookup");
            });
            lookup.repeated.time([&] {
                check(db::VarToWide(table.Lookup("Code", Variant(b.code), "Name").single()) ==
                          b.name,
                      "lookup again");
            });
            lookup.plain.time([&] { check(plain.byCode(b.code) == b.id, "plain lookup"); });

            table.DestroyLookupCursor();
            auto twoKeys = [](const RowKeys& k) {
                return db::KeyValues::Array({Variant(k.code), Variant(k.name)});
            };
            filter.first.time([&] { check(table.Locate("Code;Name", twoKeys(a), 0), "filter"); });
            check(idOf() == a.id, "filter");
            filter.repeated.time(
                [&] { check(table.Locate("Code;Name", twoKeys(b), 0), "filter again"); });
            check(idOf() == b.id, "filter again");
            filter.plain.time(
                [&] { check(plain.byCodeAndName(b.code, b.name) == b.id, "plain filter"); });

            // A new index order: the first seek builds it.
            table.SetIndexFieldNames("");
            table.SetIndexFieldNames("ID");
            seek.first.time([&] { check(table.Locate("ID", Variant(a.id), 0), "seek"); });
            check(idOf() == a.id, "seek");
            seek.repeated.time([&] { check(table.Locate("ID", Variant(b.id), 0), "seek again"); });
            check(idOf() == b.id, "seek again");
            seek.plain.time([&] { check(plain.byId(b.id) == b.id, "plain seek"); });
            table.SetIndexFieldNames("");
        }

        std::printf("rows: %lld\n", static_cast<long long>(rowCount));
        std::printf("catalogue_requests_two_datasets: %d\n", catalogueRequests);
        print("locate_find", find);
        print("locate_filter", filter);
        print("locate_seek", seek);
        print("lookup", lookup);
        const std::pair<const char*, const Measure*> all[] = {{"locate_find", &find},
                                                              {"locate_filter", &filter},
                                                              {"locate_seek", &seek},
                                                              {"lookup", &lookup}};
        for (const auto& [name, m] : all) {
            std::printf("ratio_%s_repeated_cpu_to_plain: %.3f\n", name,
                        m->repeated.cpu / m->plain.cpu);
            std::printf("ratio_%s_repeated_to_plain: %.3f\n", name,
                        m->repeated.wall / m->plain.wall);
        }
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "locate_lookup: %s\n", e.what());
        return 1;
    }
}
