// ADO's criterion, filter and sort parsing on arbitrary text, over a small
// recordset held in memory. The input is up to three lines: a filter, a sort
// and a find criterion. Properties:
// - a refused filter leaves the old filter and the visible rows as they were;
// - an accepted filter shows exactly the rows its parsed criterion holds for;
// - a sort shows the same rows (only their order changes) and keeps the filter;
// - a found row meets the find criterion;
// - every refusal is an AdoError, never another exception or a crash.
#include "data/ado/Criterion.h"
#include "data/ado/Recordset.h"
#include "fuzz/FuzzCheck.h"

#include <algorithm>
#include <set>

using namespace ado;

namespace {

std::shared_ptr<Recordset> sampleRecordset() {
    auto column = [](const char16_t* name, DataType type, int64_t size = 0) {
        ColumnInfo c;
        c.name = name;
        c.type = type;
        c.definedSize = size;
        return c;
    };
    std::vector<ColumnInfo> columns = {
        column(u"UTR", DataType::VarWChar, 20),       column(u"Qty", DataType::Integer),
        column(u"Price", DataType::Double),           column(u"Sent", DataType::DBTimeStamp),
        column(u"Order Note", DataType::VarChar, 30), column(u"Big", DataType::BigInt),
    };
    const DateTime day{2024, 2, 29, 12, 30, 0, 0};
    std::vector<std::vector<Variant>> rows = {
        {u"A001", 1, 1.5, day, AnsiString("first"), int64_t{1} << 40},
        {u"a001", -3, -0.25, DateTime{}, AnsiString(""), int64_t{-7}},
        {u"B'7", 0, 0.0, Variant::null(), Variant::null(), Variant::null()},
        {u"\u7C21\u9AD4", 42, 1e300, day, AnsiString("x%y*z"), int64_t{0}},
        {Variant::null(), Variant::null(), Variant::null(), DateTime{1753, 1, 1},
         AnsiString(" blank "), int64_t{9}},
    };
    return Recordset::FromRows(std::move(columns), rows);
}

/// The bookmarks of the visible rows, in order.
std::vector<Bookmark> visibleRows(Recordset& rs) {
    std::vector<Bookmark> rows;
    if (rs.RecordCount() == 0)
        return rows;
    for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext())
        rows.push_back(rs.bookmark());
    FUZZ_CHECK(static_cast<int64_t>(rows.size()) == rs.RecordCount(),
               "the record count is the number of visible rows");
    return rows;
}

/// Whether the row at the recordset's current position meets a bound criterion;
/// nothing when testing it refuses the values.
std::optional<bool> meets(const Criterion& criterion, Recordset& rs) {
    try {
        return criterion.matches([&](int column) { return rs.Fields(column).Value(); });
    } catch (const CriterionError&) {
        return std::nullopt;
    }
}

std::optional<Criterion> bound(Criterion criterion, Recordset& rs) {
    try {
        criterion.bind([&](const WideString& name) { return rs.FieldIndex(name); });
    } catch (const CriterionError&) {
        return std::nullopt;
    }
    return criterion;
}

void checkFilter(Recordset& rs, const WideString& filter) {
    const WideString oldFilter = rs.Filter();
    const std::vector<Bookmark> oldRows = visibleRows(rs);
    try {
        rs.setFilter(filter);
    } catch (const AdoError&) {
        FUZZ_CHECK(rs.Filter() == oldFilter, "a refused filter keeps the old one");
        FUZZ_CHECK(visibleRows(rs) == oldRows, "a refused filter keeps the visible rows");
        return;
    }
    FUZZ_CHECK(rs.Filter() == filter, "an accepted filter is the recordset's filter");
    const std::vector<Bookmark> shown = visibleRows(rs);
    bool blank = std::all_of(filter.begin(), filter.end(), [](char16_t c) { return c <= u' '; });
    if (blank)
        return;
    std::optional<Criterion> criterion;
    try {
        criterion = bound(Criterion::parseFilter(filter), rs);
    } catch (const CriterionError&) {
    }
    FUZZ_CHECK(criterion.has_value(), "an accepted filter parses and binds on its own");
    auto all = rs.Clone();
    std::vector<Bookmark> expected;
    for (all->MoveFirst(); !all->Eof(); all->MoveNext()) {
        const std::optional<bool> held = meets(*criterion, *all);
        FUZZ_CHECK(held.has_value(), "an accepted filter can test every row");
        if (*held)
            expected.push_back(all->bookmark());
    }
    FUZZ_CHECK(shown == expected, "a filter shows exactly the rows it holds for");
}

void checkSort(Recordset& rs, const WideString& sort) {
    std::vector<Bookmark> before = visibleRows(rs);
    const WideString filter = rs.Filter();
    try {
        rs.setSort(sort);
    } catch (const AdoError&) {
        return;
    }
    std::vector<Bookmark> after = visibleRows(rs);
    FUZZ_CHECK(rs.Filter() == filter, "sorting keeps the filter");
    std::sort(before.begin(), before.end());
    std::sort(after.begin(), after.end());
    FUZZ_CHECK(before == after, "sorting shows the same rows");
}

void checkFind(Recordset& rs, const WideString& find) {
    if (rs.RecordCount() > 0)
        rs.MoveFirst();
    try {
        rs.Find(find);
    } catch (const AdoError&) {
        return;
    }
    if (rs.Eof())
        return;
    std::optional<Criterion> criterion;
    try {
        criterion = bound(Criterion::parseFind(find), rs);
    } catch (const CriterionError&) {
    }
    FUZZ_CHECK(criterion.has_value(), "an accepted find criterion parses on its own");
    FUZZ_CHECK(meets(*criterion, rs) == std::optional<bool>(true),
               "a found row meets the criterion");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Bytes stand for characters one to one; a 0xFF byte followed by two more
    // makes one UTF-16 unit, so that any character can be reached.
    std::vector<WideString> lines(1);
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == '\n' && lines.size() < 3) {
            lines.emplace_back();
        } else if (data[i] == 0xFF && i + 2 < size) {
            lines.back() += static_cast<char16_t>(data[i + 1] | data[i + 2] << 8);
            i += 2;
        } else {
            lines.back() += static_cast<char16_t>(data[i]);
        }
    }
    lines.resize(3);
    auto rs = sampleRecordset();
    checkFilter(*rs, lines[0]);
    checkSort(*rs, lines[1]);
    checkFind(*rs, lines[2]);
    checkFind(*rs, lines[0]);
    return 0;
}
