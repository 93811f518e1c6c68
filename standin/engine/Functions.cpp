#include "standin/engine/Functions.h"

#include "standin/engine/Catalog.h"
#include "standin/engine/LengthCheck.h"
#include "standin/engine/ResultStream.h"
#include "standin/engine/Text.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <ctime>
#include <random>
#include <vector>

namespace standin::engine {
namespace {

std::u32string decode(std::string_view s) {
    std::u32string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size();) {
        auto b = static_cast<unsigned char>(s[i]);
        char32_t c = b;
        size_t n = b < 0x80 ? 1 : (b & 0xE0) == 0xC0 ? 2 : (b & 0xF0) == 0xE0 ? 3 : 4;
        if (n > 1) {
            c = b & (0x3F >> (n - 1));
            for (size_t k = 1; k < n && i + k < s.size(); ++k)
                c = (c << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
        }
        out += c;
        i += n;
    }
    return out;
}

char32_t fold(char32_t c) {
    return (c >= 'A' && c <= 'Z') ? c + 32 : c;
}

/// Matches one bracket set at p (just after '['); returns the position after ']'
/// and whether c is in the set, or npos for an unclosed bracket (taken literally).
size_t matchSet(const std::u32string& p, size_t i, char32_t c, bool& in) {
    bool negate = false;
    if (i < p.size() && p[i] == '^') {
        negate = true;
        ++i;
    }
    bool found = false;
    bool first = true;
    while (i < p.size() && (p[i] != ']' || first)) {
        first = false;
        char32_t lo = p[i];
        if (i + 2 < p.size() && p[i + 1] == '-' && p[i + 2] != ']') {
            char32_t hi = p[i + 2];
            if (fold(c) >= fold(lo) && fold(c) <= fold(hi))
                found = true;
            i += 3;
        } else {
            if (fold(c) == fold(lo))
                found = true;
            ++i;
        }
    }
    if (i >= p.size())
        return std::u32string::npos;
    in = negate ? !found : found;
    return i + 1;
}

bool matchFrom(const std::u32string& p, size_t pi, const std::u32string& t, size_t ti,
               char32_t escape) {
    while (pi < p.size()) {
        char32_t pc = p[pi];
        if (escape && pc == escape && pi + 1 < p.size()) {
            if (ti >= t.size() || fold(t[ti]) != fold(p[pi + 1]))
                return false;
            pi += 2;
            ++ti;
            continue;
        }
        if (pc == '%') {
            while (pi < p.size() && p[pi] == '%')
                ++pi;
            if (pi == p.size())
                return true;
            for (size_t k = ti; k <= t.size(); ++k)
                if (matchFrom(p, pi, t, k, escape))
                    return true;
            return false;
        }
        if (ti >= t.size())
            return false;
        if (pc == '_') {
            ++pi;
            ++ti;
            continue;
        }
        if (pc == '[') {
            bool in = false;
            size_t next = matchSet(p, pi + 1, t[ti], in);
            if (next != std::u32string::npos) {
                if (!in)
                    return false;
                pi = next;
                ++ti;
                continue;
            }
        }
        if (fold(pc) != fold(t[ti]))
            return false;
        ++pi;
        ++ti;
    }
    // Trailing blanks do not count in SQL Server's comparison of the text.
    while (ti < t.size() && t[ti] == ' ')
        ++ti;
    return ti == t.size();
}

std::string_view argText(sqlite3_value* v) {
    auto p = reinterpret_cast<const char*>(sqlite3_value_text(v));
    return p ? std::string_view(p, size_t(sqlite3_value_bytes(v))) : std::string_view();
}

void resultText(sqlite3_context* ctx, const std::string& s) {
    sqlite3_result_text(ctx, s.data(), int(s.size()), SQLITE_TRANSIENT);
}

void likeFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    char32_t escape = 0;
    if (argc == 3) {
        std::u32string e = decode(argText(argv[2]));
        if (e.size() != 1) {
            sqlite3_result_error(ctx, "Invalid escape character specified in LIKE.", -1);
            return;
        }
        escape = e[0];
    }
    sqlite3_result_int(ctx, likeMatch(argText(argv[0]), argText(argv[1]), escape));
}

void getdateFunction(sqlite3_context* ctx, int, sqlite3_value**) {
    resultText(ctx, currentDateTimeText());
}

void contextText(sqlite3_context* ctx, int, sqlite3_value**) {
    resultText(ctx, *static_cast<std::string*>(sqlite3_user_data(ctx)));
}

void suserFunction(sqlite3_context* ctx, int, sqlite3_value**) {
    resultText(ctx, static_cast<FunctionContext*>(sqlite3_user_data(ctx))->user);
}

void scopeIdentityFunction(sqlite3_context* ctx, int, sqlite3_value**) {
    auto* fc = static_cast<FunctionContext*>(sqlite3_user_data(ctx));
    if (fc->scopeIdentity)
        sqlite3_result_int64(ctx, *fc->scopeIdentity);
    else
        sqlite3_result_null(ctx);
}

/// The object part of "db.dbo.name", "dbo.name" or "[name]".
std::string objectPart(std::string_view name) {
    std::string last;
    std::string cur;
    bool bracket = false;
    for (char c : name) {
        if (c == '[' && !bracket) {
            bracket = true;
        } else if (c == ']' && bracket) {
            bracket = false;
        } else if (c == '.' && !bracket) {
            last = cur;
            cur.clear();
        } else {
            cur += c;
        }
    }
    return cur.empty() ? last : cur;
}

void objectIdFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    sqlite3* db = sqlite3_context_db_handle(ctx);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "SELECT id FROM main.sysobjects WHERE name = ?", -1, &st, nullptr);
    std::string name = objectPart(argText(argv[0]));
    sqlite3_bind_text(st, 1, name.data(), int(name.size()), SQLITE_TRANSIENT);
    if (sqlite3_step(st) == SQLITE_ROW)
        sqlite3_result_int64(ctx, sqlite3_column_int64(st, 0));
    else
        sqlite3_result_null(ctx);
    sqlite3_finalize(st);
}

void objectPropertyFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    sqlite3* db = sqlite3_context_db_handle(ctx);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "SELECT xtype FROM main.sysobjects WHERE id = ?", -1, &st, nullptr);
    sqlite3_bind_int64(st, 1, sqlite3_value_int64(argv[0]));
    if (sqlite3_step(st) != SQLITE_ROW) {
        sqlite3_finalize(st);
        sqlite3_result_null(ctx);
        return;
    }
    std::string xtype(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
    sqlite3_finalize(st);
    std::string prop = upperAscii(argText(argv[1]));
    int result;
    if (prop == "ISUSERTABLE")
        result = xtype == "U";
    else if (prop == "ISVIEW")
        result = xtype == "V";
    else if (prop == "ISTABLE")
        result = xtype == "U" || xtype == "S";
    else if (prop == "ISSYSTEMTABLE")
        result = xtype == "S";
    else if (prop == "ISMSSHIPPED")
        result = xtype == "S";
    else if (prop == "ISPROCEDURE")
        result = xtype == "P";
    else {
        sqlite3_result_null(ctx);
        return;
    }
    sqlite3_result_int(ctx, result);
}

void isnullFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
    sqlite3_result_value(ctx, sqlite3_value_type(argv[0]) == SQLITE_NULL ? argv[1] : argv[0]);
}

void lenFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    std::u32string s = decode(argText(argv[0]));
    while (!s.empty() && s.back() == ' ')
        s.pop_back();
    sqlite3_result_int64(ctx, int64_t(s.size()));
}

void datalengthFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL)
        sqlite3_result_null(ctx);
    else
        sqlite3_result_int64(ctx, sqlite3_value_bytes(argv[0]));
}

std::string encode(const std::u32string& s) {
    std::u16string u16;
    for (char32_t c : s) {
        if (c >= 0x10000) {
            u16 += char16_t(0xD800 + ((c - 0x10000) >> 10));
            u16 += char16_t(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            u16 += char16_t(c);
        }
    }
    return toUtf8(u16);
}

void substringFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    std::u32string s = decode(argText(argv[0]));
    int64_t start = sqlite3_value_int64(argv[1]);
    int64_t length = sqlite3_value_int64(argv[2]);
    if (length < 0) {
        sqlite3_result_error(ctx, "Invalid length parameter passed to the substring function.", -1);
        return;
    }
    int64_t end = start + length; // exclusive, 1-based
    int64_t from = std::max<int64_t>(start, 1);
    int64_t to = std::min<int64_t>(end, int64_t(s.size()) + 1);
    resultText(ctx, from < to ? encode(s.substr(size_t(from - 1), size_t(to - from))) : "");
}

void leftRight(sqlite3_context* ctx, sqlite3_value** argv, bool left) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    std::u32string s = decode(argText(argv[0]));
    auto n = size_t(std::max<int64_t>(0, sqlite3_value_int64(argv[1])));
    n = std::min(n, s.size());
    resultText(ctx, encode(left ? s.substr(0, n) : s.substr(s.size() - n)));
}

void charindexFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    std::u32string needle = decode(argText(argv[0]));
    std::u32string hay = decode(argText(argv[1]));
    for (char32_t& c : needle)
        c = fold(c);
    for (char32_t& c : hay)
        c = fold(c);
    int64_t start = argc > 2 ? std::max<int64_t>(1, sqlite3_value_int64(argv[2])) : 1;
    if (needle.empty() || size_t(start - 1) > hay.size()) {
        sqlite3_result_int(ctx, 0);
        return;
    }
    size_t pos = hay.find(needle, size_t(start - 1));
    sqlite3_result_int64(ctx, pos == std::u32string::npos ? 0 : int64_t(pos + 1));
}

void replicateFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    std::string unit(argText(argv[0]));
    int64_t n = sqlite3_value_int64(argv[1]);
    if (n < 0 || n * int64_t(unit.size()) > 100000000) {
        sqlite3_result_null(ctx);
        return;
    }
    std::string out;
    for (int64_t i = 0; i < n; ++i)
        out += unit;
    resultText(ctx, out);
}

void spaceFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
    int64_t n = sqlite3_value_int64(argv[0]);
    if (n < 0 || n > 100000000)
        sqlite3_result_null(ctx);
    else
        resultText(ctx, std::string(size_t(n), ' '));
}

void newidFunction(sqlite3_context* ctx, int, sqlite3_value**) {
    thread_local std::mt19937_64 rng{std::random_device{}()};
    uint8_t b[16];
    for (int i = 0; i < 16; i += 8) {
        uint64_t r = rng();
        std::memcpy(b + i, &r, 8);
    }
    b[7] = uint8_t((b[7] & 0x0F) | 0x40);
    b[8] = uint8_t((b[8] & 0x3F) | 0x80);
    char buf[40];
    std::snprintf(buf, sizeof buf,
                  "%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X", b[0],
                  b[1], b[2], b[3], b[4], b[5], b[6], b[7], b[8], b[9], b[10], b[11], b[12], b[13],
                  b[14], b[15]);
    resultText(ctx, buf);
}

/// Stored form of a date value: datetime (kind 0) to 1/300 s, smalldatetime
/// (1) to the minute, date (2) to the day. Accepts "YYYY-MM-DD[ hh:mm[:ss[.fff]]]"
/// and "YYYYMMDD"; anything else fails the statement as the server would.
void datetimeFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    std::string text(argText(argv[0]));
    while (!text.empty() && text.back() == ' ')
        text.pop_back();
    while (!text.empty() && text.front() == ' ')
        text.erase(0, 1);
    if (text.size() >= 8 && text.find('-') == std::string::npos &&
        text.find_first_not_of("0123456789") >= 8)
        text = text.substr(0, 4) + "-" + text.substr(4, 2) + "-" + text.substr(6);
    for (size_t k = 0; k < text.size() && k < 10; ++k)
        if (text[k] == '/')
            text[k] = '-';
    DateTimeValue v;
    if (!parseDateTime(text, v)) {
        sqlite3_result_error(ctx,
                             "Conversion failed when converting date and/or time from "
                             "character string.",
                             -1);
        return;
    }
    const int kind = sqlite3_value_int(argv[1]);
    if (kind == 1) {
        uint32_t minutes = (v.ticks + 9000) / 18000; // nearest minute
        v.ticks = minutes * 18000;
        if (v.ticks >= 25920000u) {
            v.ticks -= 25920000u;
            ++v.days;
        }
    } else if (kind == 2) {
        v.ticks = 0;
    }
    resultText(ctx, formatDateTime(v));
}

void deleteString(void* p) {
    delete static_cast<std::string*>(p);
}

void define(sqlite3* db, const char* name, int argc,
            void (*fn)(sqlite3_context*, int, sqlite3_value**), void* data = nullptr,
            bool deterministic = true, void (*destroy)(void*) = nullptr) {
    int flags = SQLITE_UTF8 | (deterministic ? SQLITE_DETERMINISTIC : 0);
    sqlite3_create_function_v2(db, name, argc, flags, data, fn, nullptr, nullptr, destroy);
}

} // namespace

int compareText(std::string_view a, std::string_view b) {
    // The shorter text counts as padded with blanks.
    const size_t n = std::max(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        auto ca = static_cast<unsigned char>(i < a.size() ? asciiLower(a[i]) : ' ');
        auto cb = static_cast<unsigned char>(i < b.size() ? asciiLower(b[i]) : ' ');
        if (ca != cb)
            return ca < cb ? -1 : 1;
    }
    return 0;
}

bool likeMatch(std::string_view pattern, std::string_view text, char32_t escape) {
    return matchFrom(decode(pattern), 0, decode(text), 0, escape);
}

std::string currentDateTimeText() {
    auto now = std::chrono::system_clock::now();
    std::time_t t = std::chrono::system_clock::to_time_t(now);
    auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() %
        1000;
    std::tm tm{};
    localtime_r(&t, &tm);
    char buf[80]; // room for any int the fields could hold
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d.%03d", tm.tm_year + 1900,
                  tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, int(ms));
    return buf;
}

void registerFunctions(Connection& connection, const std::string& database,
                       FunctionContext* context) {
    sqlite3* db = connection.handle();
    sqlite3_create_collation_v2(
        db, "TSQL_CI", SQLITE_UTF8, nullptr,
        [](void*, int la, const void* a, int lb, const void* b) {
            return compareText(std::string_view(static_cast<const char*>(a), size_t(la)),
                               std::string_view(static_cast<const char*>(b), size_t(lb)));
        },
        nullptr);
    define(db, "like", 2, likeFunction);
    define(db, "like", 3, likeFunction);
    define(db, "getdate", 0, getdateFunction, nullptr, false);
    define(db, "db_name", 0, contextText, new std::string(database), true, deleteString);
    define(db, "suser_sname", 0, suserFunction, context, false);
    define(db, "user_name", 0, contextText, new std::string("dbo"), true, deleteString);
    define(db, "scope_identity", 0, scopeIdentityFunction, context, false);
    define(db, "object_id", 1, objectIdFunction, nullptr, false);
    define(db, "objectproperty", 2, objectPropertyFunction, nullptr, false);
    define(db, "isnull", 2, isnullFunction);
    define(db, "len", 1, lenFunction);
    define(db, "datalength", 1, datalengthFunction);
    define(db, "substring", 3, substringFunction);
    define(db, "left", 2,
           [](sqlite3_context* c, int, sqlite3_value** v) { leftRight(c, v, true); });
    define(db, "right", 2,
           [](sqlite3_context* c, int, sqlite3_value** v) { leftRight(c, v, false); });
    define(db, "charindex", 2, charindexFunction);
    define(db, "charindex", 3, charindexFunction);
    define(db, "replicate", 2, replicateFunction);
    define(db, "space", 1, spaceFunction);
    define(db, "newid", 0, newidFunction, nullptr, false);
    define(db, "__standin_datetime", 2, datetimeFunction);
    registerLengthCheck(db);
}

} // namespace standin::engine
