#pragma once
// A small in-memory recordset shared by the criterion and recordset tests:
//   ID  Name       Qty   Price     Born                 [Full Name]
//   1   Apple      10    1.50      2024-02-29 13:45:30  'a b'
//   2   banana     NULL  0.25      2023-01-01           NULL
//   3   Cherry     5     12.00     NULL                 'it''s'
//   4   apple pie  10    3.75      2024-03-01           'x'
//   5   Dates      0     NULL      1999-12-31 23:59:59  '台北'
#include "data/ado/Recordset.h"

#include <QString>
#include <QStringList>

namespace fixture {

using namespace ado;

inline DateTime date(int y, int m, int d, int hh = 0, int mi = 0, int ss = 0) {
    DateTime t;
    t.year = static_cast<int16_t>(y);
    t.month = static_cast<uint8_t>(m);
    t.day = static_cast<uint8_t>(d);
    t.hour = static_cast<uint8_t>(hh);
    t.minute = static_cast<uint8_t>(mi);
    t.second = static_cast<uint8_t>(ss);
    return t;
}

inline ColumnInfo col(const char16_t* name, DataType type) {
    ColumnInfo c;
    c.name = name;
    c.type = type;
    return c;
}

inline std::shared_ptr<Recordset> fruit() {
    const Variant null = Variant::null();
    return Recordset::FromRows(
        {col(u"ID", DataType::Integer), col(u"Name", DataType::VarWChar),
         col(u"Qty", DataType::Integer), col(u"Price", DataType::Numeric),
         col(u"Born", DataType::DBTimeStamp), col(u"Full Name", DataType::VarWChar)},
        {
            {int64_t{1}, u"Apple", int64_t{10}, Decimal{"1.50"}, date(2024, 2, 29, 13, 45, 30),
             u"a b"},
            {int64_t{2}, u"banana", null, Decimal{"0.25"}, date(2023, 1, 1), null},
            {int64_t{3}, u"Cherry", int64_t{5}, Decimal{"12.00"}, null, u"it's"},
            {int64_t{4}, u"apple pie", int64_t{10}, Decimal{"3.75"}, date(2024, 3, 1), u"x"},
            {int64_t{5}, u"Dates", int64_t{0}, null, date(1999, 12, 31, 23, 59, 59), u"台北"},
        });
}

/// The IDs of the visible rows in order, as "1,2,3"; moves the recordset.
inline QString ids(Recordset& rs) {
    QStringList out;
    if (rs.RecordCount() == 0)
        return {};
    for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext())
        out << QString::number(rs.Fields(u"ID").Value().get<int64_t>());
    return out.join(',');
}

} // namespace fixture
