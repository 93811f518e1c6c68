#include "standin/engine/ResultStream.h"

#include "standin/engine/Catalog.h"
#include "standin/engine/CodePage.h"
#include "standin/engine/Text.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace standin::engine {
namespace {

int64_t daysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = unsigned(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + int64_t(doe) - 719468;
}

void civilFromDays(int64_t z, int& y, unsigned& m, unsigned& d) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = unsigned(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t yy = int64_t(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y = int(yy + (m <= 2));
}

const int64_t kDays1900 = daysFromCivil(1900, 1, 1);

const double kPowersOfTen[39] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,
                                 1e10, 1e11, 1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19,
                                 1e20, 1e21, 1e22, 1e23, 1e24, 1e25, 1e26, 1e27, 1e28, 1e29,
                                 1e30, 1e31, 1e32, 1e33, 1e34, 1e35, 1e36, 1e37, 1e38};

// Wire byte i of a uniqueidentifier is byte kGuidWireOrder[i] of its text form:
// the first three groups travel little-endian.
constexpr int kGuidWireOrder[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};

bool parseGuid(std::string_view text, GuidValue& out) {
    // Runs once per cell of a streamed uniqueidentifier column: no allocation.
    uint8_t b[16];
    int nibbles = 0;
    for (char c : text) {
        int v;
        if (c >= '0' && c <= '9')
            v = c - '0';
        else if (c >= 'a' && c <= 'f')
            v = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            v = c - 'A' + 10;
        else if (c == '-' || c == '{' || c == '}')
            continue;
        else
            return false;
        if (nibbles >= 32)
            return false;
        if (nibbles % 2 == 0)
            b[nibbles / 2] = uint8_t(v << 4);
        else
            b[nibbles / 2] = uint8_t(b[nibbles / 2] | v);
        ++nibbles;
    }
    if (nibbles != 32)
        return false;
    for (int i = 0; i < 16; ++i)
        out.bytes[i] = b[kGuidWireOrder[i]];
    return true;
}

ColumnInfo expressionColumn(sqlite3_stmt* st, int i, bool hasRow, const Collation& collation) {
    ColumnInfo c;
    c.writable = false;
    c.collation = collation;
    int type = hasRow ? sqlite3_column_type(st, i) : SQLITE_NULL;
    if (type == SQLITE_NULL) {
        const char* decl = sqlite3_column_decltype(st, i);
        std::string d = decl ? upperAscii(decl) : "";
        type = d.find("INT") != std::string::npos    ? SQLITE_INTEGER
               : d.find("REAL") != std::string::npos ? SQLITE_FLOAT
               : d.find("TEXT") != std::string::npos ? SQLITE_TEXT
               : d.find("BLOB") != std::string::npos ? SQLITE_BLOB
                                                     : SQLITE_INTEGER;
    }
    switch (type) {
    case SQLITE_INTEGER: {
        int64_t v = hasRow ? sqlite3_column_int64(st, i) : 0;
        if (v >= INT32_MIN && v <= INT32_MAX)
            c.type = SqlType::Int, c.length = 4, c.precision = 10;
        else
            c.type = SqlType::BigInt, c.length = 8, c.precision = 19;
        break;
    }
    case SQLITE_FLOAT:
        c.type = SqlType::Float, c.length = 8, c.precision = 53;
        break;
    case SQLITE_BLOB:
        c.type = SqlType::VarBinary, c.length = 8000;
        break;
    default: {
        c.type = SqlType::NVarChar;
        c.length = 4000;
        if (hasRow && sqlite3_column_bytes16(st, i) / 2 > 4000)
            c.length = -1;
        break;
    }
    }
    return c;
}

} // namespace

bool parseDateTime(std::string_view text, DateTimeValue& out) {
    // Hand-parsed: this runs once per datetime cell of every streamed row.
    size_t i = 0;
    auto number = [&](size_t maxDigits, int& value) {
        size_t start = i;
        value = 0;
        while (i < text.size() && i - start < maxDigits && text[i] >= '0' && text[i] <= '9')
            value = value * 10 + (text[i++] - '0');
        return i > start;
    };
    auto expect = [&](char c) {
        if (i < text.size() && text[i] == c) {
            ++i;
            return true;
        }
        return false;
    };
    int y, mo, d, h = 0, mi = 0, s = 0;
    if (!number(4, y) || !expect('-') || !number(2, mo) || !expect('-') || !number(2, d))
        return false;
    double frac = 0;
    if (i < text.size() && (text[i] == ' ' || text[i] == 'T')) {
        ++i;
        if (!number(2, h) || !expect(':') || !number(2, mi))
            return false;
        if (expect(':') && !number(2, s))
            return false;
        if (expect('.')) {
            double scale = 0.1;
            while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
                frac += (text[i++] - '0') * scale;
                scale /= 10;
            }
        }
    }
    if (mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || s > 59)
        return false;
    out.days = int32_t(daysFromCivil(y, unsigned(mo), unsigned(d)) - kDays1900);
    double seconds = h * 3600.0 + mi * 60.0 + s + frac;
    auto ticks = uint32_t(std::llround(seconds * 300.0));
    if (ticks >= 25920000u) {
        ticks -= 25920000u;
        ++out.days;
    }
    out.ticks = ticks;
    return true;
}

std::string formatGuid(const GuidValue& value) {
    uint8_t g[16];
    for (int i = 0; i < 16; ++i)
        g[kGuidWireOrder[i]] = value.bytes[i];
    char buf[40];
    std::snprintf(buf, sizeof buf,
                  "%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X", g[0],
                  g[1], g[2], g[3], g[4], g[5], g[6], g[7], g[8], g[9], g[10], g[11], g[12], g[13],
                  g[14], g[15]);
    return buf;
}

std::string formatDateTime(const DateTimeValue& v) {
    int y;
    unsigned m, d;
    civilFromDays(kDays1900 + v.days, y, m, d);
    uint64_t ms = (uint64_t(v.ticks) * 10 + 1) / 3;
    char buf[40];
    std::snprintf(buf, sizeof buf, "%04d-%02u-%02u %02u:%02u:%02u.%03u", y, m, d,
                  unsigned(ms / 3600000), unsigned(ms / 60000 % 60), unsigned(ms / 1000 % 60),
                  unsigned(ms % 1000));
    return buf;
}

bool parseDecimal(std::string_view text, uint8_t scale, __int128& out) {
    size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        negative = text[i++] == '-';
    __int128 v = 0;
    int fracDigits = -1;
    bool any = false;
    bool roundUp = false;
    for (; i < text.size(); ++i) {
        char c = text[i];
        if (c == '.' && fracDigits < 0) {
            fracDigits = 0;
            continue;
        }
        if (c < '0' || c > '9')
            break;
        any = true;
        if (fracDigits >= 0) {
            if (fracDigits >= scale) {
                if (fracDigits == scale && c >= '5')
                    roundUp = true;
                ++fracDigits;
                continue;
            }
            ++fracDigits;
        }
        v = v * 10 + (c - '0');
    }
    if (!any)
        return false;
    for (int k = std::max(fracDigits, 0); k < scale; ++k)
        v *= 10;
    if (roundUp)
        v += 1;
    out = negative ? -v : v;
    return true;
}

ResultMeta describeResult(sqlite3_stmt* st, bool hasRow, const DescribeOptions& o) {
    ResultMeta meta;
    const int n = sqlite3_column_count(st);
    sqlite3* db = sqlite3_db_handle(st);
    struct BaseTable {
        std::string schema, table;
        std::vector<std::string> keys;
    };
    std::vector<BaseTable> tables;
    for (int i = 0; i < n; ++i) {
        const char* origin = sqlite3_column_origin_name(st, i);
        const char* table = sqlite3_column_table_name(st, i);
        const char* schema = sqlite3_column_database_name(st, i);
        const char* alias = sqlite3_column_name(st, i);
        Collation collation = o.current->collation;
        std::optional<TableColumn> column;
        if (origin && table && schema) {
            if (!iequals(schema, "main") && o.databases) {
                if (auto other = o.databases->find(schema))
                    collation = other->collation;
            }
            column = findColumn(db, schema, table, origin);
        }
        ColumnInfo c;
        if (column) {
            c.type = column->type.type;
            c.length = column->type.length;
            c.precision = column->type.precision;
            c.scale = column->type.scale;
            c.nullable = column->nullable;
            c.identity = column->identity;
            c.writable = !column->identity;
            c.collation = collation;
        } else {
            c = expressionColumn(st, i, hasRow, collation);
        }
        std::string name = alias ? alias : "";
        if (!origin && o.selectItems && size_t(i) < o.selectItems->size() &&
            (*o.selectItems)[size_t(i)] == name)
            name.clear();
        c.name = fromUtf8(name);
        if (o.browse && column) {
            size_t t = 0;
            while (t < tables.size() &&
                   !(iequals(tables[t].schema, schema) && iequals(tables[t].table, table)))
                ++t;
            if (t == tables.size()) {
                BaseTable bt{schema, table, {}};
                for (const IndexInfo& ix : tableIndexes(db, schema, table))
                    if (ix.kind == 'P')
                        bt.keys = ix.columns;
                tables.push_back(bt);
                BrowseTable browse;
                if (!iequals(schema, "main"))
                    browse.parts.push_back(fromUtf8(schema));
                browse.parts.push_back(u"dbo");
                browse.parts.push_back(fromUtf8(column ? table : ""));
                meta.tables.push_back(browse);
            }
            c.tableIndex = int(t + 1);
            for (const std::string& k : tables[t].keys)
                if (iequals(k, origin))
                    c.isKey = true;
            if (name != origin)
                c.baseColumn = fromUtf8(origin);
            c.hidden = size_t(i) >= size_t(n) - o.hiddenColumns;
        }
        meta.columns.push_back(std::move(c));
    }
    return meta;
}

int64_t streamRows(sqlite3_stmt* st, bool hasRow, const ResultMeta& meta, ResultSink& sink) {
    const size_t n = meta.columns.size();
    std::vector<Value> values(n);
    std::vector<std::string> buffers(n);
    std::vector<std::u16string> wide(n);
    int64_t count = 0;
    while (hasRow) {
        for (size_t k = 0; k < n; ++k) {
            const int i = int(k);
            const ColumnInfo& c = meta.columns[k];
            const int storage = sqlite3_column_type(st, i);
            if (storage == SQLITE_NULL) {
                values[k] = std::monostate{};
                continue;
            }
            switch (c.type) {
            case SqlType::Int:
            case SqlType::SmallInt:
            case SqlType::TinyInt:
            case SqlType::BigInt:
                values[k] = int64_t(sqlite3_column_int64(st, i));
                break;
            case SqlType::Bit:
                values[k] = int64_t(sqlite3_column_int64(st, i) != 0);
                break;
            case SqlType::Float:
            case SqlType::Real:
                values[k] = sqlite3_column_double(st, i);
                break;
            case SqlType::Decimal:
            case SqlType::Numeric:
            case SqlType::Money:
            case SqlType::SmallMoney: {
                DecimalValue d;
                d.scale = c.scale;
                if (storage == SQLITE_INTEGER) {
                    __int128 v = sqlite3_column_int64(st, i);
                    for (int s = 0; s < c.scale; ++s)
                        v *= 10;
                    d.unscaled = v;
                } else if (storage == SQLITE_FLOAT) {
                    double v = sqlite3_column_double(st, i);
                    const double scaled = std::round(v * kPowersOfTen[c.scale % 39]);
                    d.unscaled = std::fabs(scaled) < 1e38 ? __int128(scaled) : 0;
                } else {
                    auto p = reinterpret_cast<const char*>(sqlite3_column_text(st, i));
                    __int128 v = 0;
                    parseDecimal(std::string_view(p, size_t(sqlite3_column_bytes(st, i))), c.scale,
                                 v);
                    d.unscaled = v;
                }
                values[k] = d;
                break;
            }
            case SqlType::DateTime:
            case SqlType::SmallDateTime:
            case SqlType::Date: {
                auto p = reinterpret_cast<const char*>(sqlite3_column_text(st, i));
                DateTimeValue dt;
                if (parseDateTime(std::string_view(p, size_t(sqlite3_column_bytes(st, i))), dt))
                    values[k] = dt;
                else
                    values[k] = std::monostate{};
                break;
            }
            case SqlType::UniqueIdentifier: {
                auto p = reinterpret_cast<const char*>(sqlite3_column_text(st, i));
                GuidValue g;
                if (parseGuid(std::string_view(p, size_t(sqlite3_column_bytes(st, i))), g))
                    values[k] = g;
                else
                    values[k] = std::monostate{};
                break;
            }
            case SqlType::Char:
            case SqlType::VarChar:
            case SqlType::Text: {
                auto p = reinterpret_cast<const char*>(sqlite3_column_text(st, i));
                std::string_view utf8(p, size_t(sqlite3_column_bytes(st, i)));
                utf8ToCodePage(c.collation.codePage, utf8, buffers[k]);
                if (c.length > 0 && buffers[k].size() > size_t(c.length))
                    buffers[k].resize(size_t(c.length));
                if (c.type == SqlType::Char && c.length > 0 && buffers[k].size() < size_t(c.length))
                    buffers[k].resize(size_t(c.length), ' ');
                values[k] = std::string_view(buffers[k]);
                break;
            }
            case SqlType::NChar:
            case SqlType::NVarChar:
            case SqlType::NText: {
                auto p = static_cast<const char16_t*>(sqlite3_column_text16(st, i));
                size_t len = size_t(sqlite3_column_bytes16(st, i)) / 2;
                if (c.length > 0 && len > size_t(c.length))
                    len = size_t(c.length);
                if (c.type == SqlType::NChar && c.length > 0 && len < size_t(c.length)) {
                    wide[k].assign(p, len);
                    wide[k].resize(size_t(c.length), u' ');
                    values[k] = std::u16string_view(wide[k]);
                } else {
                    values[k] = std::u16string_view(p, len);
                }
                break;
            }
            case SqlType::Binary:
            case SqlType::VarBinary:
            case SqlType::Image: {
                auto p = static_cast<const char*>(sqlite3_column_blob(st, i));
                size_t len = size_t(sqlite3_column_bytes(st, i));
                if (c.length > 0 && len > size_t(c.length))
                    len = size_t(c.length);
                values[k] = std::string_view(p ? p : "", len);
                break;
            }
            }
        }
        sink.row(values);
        ++count;
        if ((count & 63) == 0 && sink.cancelled())
            return -1;
        int rc = sqlite3_step(st);
        if (rc == SQLITE_DONE)
            break;
        if (rc != SQLITE_ROW)
            throwSqlite(sqlite3_db_handle(st), rc);
    }
    return count;
}

} // namespace standin::engine
