#include "data/db/VariantConv.h"

#include "data/db/DBErrors.h"
#include "platform/CodePageConv.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <unicode/uchar.h>

namespace db {

namespace {

template <class... Fs> struct Overload : Fs... { using Fs::operator()...; };
// Spelled out for compilers without aggregate deduction (clang before 17).
template <class... Fs> Overload(Fs...) -> Overload<Fs...>;

AnsiString Trimmed(const AnsiString& s) {
    size_t b = 0, e = s.size();
    while (b < e && static_cast<unsigned char>(s[b]) <= ' ')
        ++b;
    while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ')
        --e;
    return s.substr(b, e - b);
}

AnsiString FloatText(double d) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.15g", d);
    return buf;
}

bool ParseInt(const AnsiString& text, int64_t& out) {
    AnsiString t = Trimmed(text);
    const char* b = t.data();
    const char* e = b + t.size();
    if (b != e && *b == '+')
        ++b;
    auto [p, ec] = std::from_chars(b, e, out);
    return ec == std::errc() && p == e && b != e;
}

bool ParseDouble(const AnsiString& text, double& out) {
    AnsiString t = Trimmed(text);
    const char* b = t.data();
    const char* e = b + t.size();
    if (b != e && *b == '+')
        ++b;
    auto [p, ec] = std::from_chars(b, e, out);
    return ec == std::errc() && p == e && b != e;
}

int64_t DaysFromCivil(int y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int& y, unsigned& m, unsigned& d) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y = static_cast<int>(yoe + era * 400) + (m <= 2);
}

const int64_t kOleEpoch = DaysFromCivil(1899, 12, 30);

[[noreturn]] void NotValid(const AnsiString& text, const char* what) {
    throw EConvertError("'" + text + "' is not a valid " + what);
}

} // namespace

AnsiString DateTimeToText(const ado::DateTime& d, bool dateOnly, bool timeOnly) {
    char buf[40];
    const bool midnight = d.hour == 0 && d.minute == 0 && d.second == 0;
    if (timeOnly)
        std::snprintf(buf, sizeof buf, "%02u:%02u:%02u", d.hour, d.minute, d.second);
    else if (dateOnly || midnight)
        std::snprintf(buf, sizeof buf, "%04d-%02u-%02u", d.year, d.month, d.day);
    else
        std::snprintf(buf, sizeof buf, "%04d-%02u-%02u %02u:%02u:%02u", d.year, d.month, d.day,
                      d.hour, d.minute, d.second);
    return buf;
}

bool TextToDateTime(const AnsiString& text, ado::DateTime& out) {
    AnsiString t = Trimmed(text);
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0, ms = 0, n = 0;
    ado::DateTime r;
    if (std::sscanf(t.c_str(), "%d-%d-%d%n", &y, &mo, &d, &n) == 3 && n >= 8) {
        r.year = static_cast<int16_t>(y);
        r.month = static_cast<uint8_t>(mo);
        r.day = static_cast<uint8_t>(d);
        const char* rest = t.c_str() + n;
        while (*rest == ' ' || *rest == 'T')
            ++rest;
        if (*rest) {
            int m2 = 0;
            const int got = std::sscanf(rest, "%d:%d%n:%d%n.%d%n", &h, &mi, &m2, &s, &m2, &ms, &m2);
            if (got < 2 || rest[m2] != '\0')
                return false;
        }
    } else {
        int m2 = 0;
        const int got = std::sscanf(t.c_str(), "%d:%d%n:%d%n", &h, &mi, &m2, &s, &m2);
        if (got < 2 || t[m2] != '\0')
            return false;
        r.year = 1899;
        r.month = 12;
        r.day = 30;
    }
    if (r.month < 1 || r.month > 12 || r.day < 1 || r.day > 31 || h < 0 || h > 23 || mi < 0 ||
        mi > 59 || s < 0 || s > 59 || ms < 0 || ms > 999)
        return false;
    int cy;
    unsigned cm, cd;
    CivilFromDays(DaysFromCivil(r.year, r.month, r.day), cy, cm, cd);
    if (cm != r.month || cd != r.day)
        return false; // 31 February and the like
    r.hour = static_cast<uint8_t>(h);
    r.minute = static_cast<uint8_t>(mi);
    r.second = static_cast<uint8_t>(s);
    r.millisecond = static_cast<uint16_t>(ms);
    out = r;
    return true;
}

double DateTimeToOle(const ado::DateTime& d) {
    const double days = static_cast<double>(DaysFromCivil(d.year, d.month, d.day) - kOleEpoch);
    const double frac =
        (d.hour * 3600000.0 + d.minute * 60000.0 + d.second * 1000.0 + d.millisecond) / 86400000.0;
    // Before the epoch the fraction counts away from zero, as OLE dates do.
    return days < 0 ? days - frac : days + frac;
}

ado::DateTime OleToDateTime(double value) {
    double whole = std::trunc(value);
    double frac = std::fabs(value - whole);
    int64_t ms = std::llround(frac * 86400000.0);
    if (ms >= 86400000) {
        ms -= 86400000;
        whole += value < 0 ? -1 : 1;
    }
    int y;
    unsigned m, d;
    CivilFromDays(static_cast<int64_t>(whole) + kOleEpoch, y, m, d);
    ado::DateTime r;
    r.year = static_cast<int16_t>(y);
    r.month = static_cast<uint8_t>(m);
    r.day = static_cast<uint8_t>(d);
    r.hour = static_cast<uint8_t>(ms / 3600000);
    r.minute = static_cast<uint8_t>(ms / 60000 % 60);
    r.second = static_cast<uint8_t>(ms / 1000 % 60);
    r.millisecond = static_cast<uint16_t>(ms % 1000);
    return r;
}

AnsiString VarToAnsi(const Variant& v) {
    return std::visit(Overload{[](std::monostate) { return AnsiString(); },
                               [](ado::Null) { return AnsiString(); },
                               [](bool b) { return AnsiString(b ? "True" : "False"); },
                               [](int64_t i) { return AnsiString(std::to_string(i)); },
                               [](double d) { return FloatText(d); },
                               [](const ado::Decimal& d) { return d.text; },
                               [](const ado::DateTime& d) { return DateTimeToText(d); },
                               [](const AnsiString& s) { return s; },
                               [](const WideString& w) { return platform::WideToAnsi(w); },
                               [](const ado::Bytes& b) {
                                   return AnsiString(b.begin(), b.end());
                               }},
                      v.value());
}

WideString VarToWide(const Variant& v) {
    if (v.is<WideString>())
        return v.get<WideString>();
    return platform::AnsiToWide(VarToAnsi(v));
}

int64_t VarToInt64(const Variant& v) {
    return std::visit(Overload{[](std::monostate) -> int64_t { return 0; },
                               [](ado::Null) -> int64_t { return 0; },
                               [](bool b) -> int64_t { return b ? 1 : 0; },
                               [](int64_t i) { return i; },
                               [](double d) -> int64_t {
                                   if (!(std::fabs(d) < 9.2e18))
                                       NotValid(FloatText(d), "integer value");
                                   return std::llround(d);
                               },
                               [](const ado::Decimal& d) -> int64_t {
                                   double x;
                                   if (!ParseDouble(d.text, x) || !(std::fabs(x) < 9.2e18))
                                       NotValid(d.text, "integer value");
                                   return std::llround(x);
                               },
                               [](const ado::DateTime& d) -> int64_t {
                                   return static_cast<int64_t>(std::trunc(DateTimeToOle(d)));
                               },
                               [&v](const auto&) -> int64_t {
                                   AnsiString t = VarToAnsi(v);
                                   int64_t i;
                                   if (!ParseInt(t, i))
                                       NotValid(t, "integer value");
                                   return i;
                               }},
                      v.value());
}

double VarToDouble(const Variant& v) {
    return std::visit(Overload{[](std::monostate) { return 0.0; }, [](ado::Null) { return 0.0; },
                               [](bool b) { return b ? 1.0 : 0.0; },
                               [](int64_t i) { return static_cast<double>(i); },
                               [](double d) { return d; },
                               [](const ado::DateTime& d) { return DateTimeToOle(d); },
                               [&v](const auto&) {
                                   AnsiString t = VarToAnsi(v);
                                   double d;
                                   if (!ParseDouble(t, d))
                                       NotValid(t, "floating point value");
                                   return d;
                               }},
                      v.value());
}

bool VarToBool(const Variant& v) {
    if (v.isBlank())
        return false;
    if (v.is<bool>())
        return v.get<bool>();
    if (v.is<int64_t>())
        return v.get<int64_t>() != 0;
    if (v.is<double>())
        return v.get<double>() != 0;
    AnsiString t = Trimmed(VarToAnsi(v));
    AnsiString u;
    for (char c : t)
        u += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (u == "TRUE" || u == "T" || u == "YES" || u == "Y" || u == "1")
        return true;
    if (u == "FALSE" || u == "F" || u == "NO" || u == "N" || u == "0")
        return false;
    NotValid(t, "boolean value");
}

ado::DateTime VarToDateTime(const Variant& v) {
    if (v.isBlank())
        return OleToDateTime(0);
    if (v.is<ado::DateTime>())
        return v.get<ado::DateTime>();
    if (v.is<double>() || v.is<int64_t>())
        return OleToDateTime(VarToDouble(v));
    AnsiString t = VarToAnsi(v);
    ado::DateTime d;
    if (!TextToDateTime(t, d))
        NotValid(t, "date and time");
    return d;
}

bool VarIsNumeric(const Variant& v) {
    return v.is<int64_t>() || v.is<double>() || v.is<ado::Decimal>() || v.is<bool>();
}

bool VarMatches(const Variant& fieldValue, const Variant& key, bool caseInsensitive, bool partial) {
    if (key.isBlank() || fieldValue.isBlank())
        return key.isBlank() && fieldValue.isBlank();
    try {
        if (VarIsNumeric(fieldValue) && !partial) {
            if (fieldValue.is<bool>())
                return fieldValue.get<bool>() == VarToBool(key);
            if (fieldValue.is<int64_t>() && key.is<int64_t>())
                return fieldValue.get<int64_t>() == key.get<int64_t>();
            return VarToDouble(fieldValue) == VarToDouble(key);
        }
        if (fieldValue.is<ado::DateTime>() && !partial)
            return fieldValue.get<ado::DateTime>() == VarToDateTime(key);
    } catch (const EConvertError&) {
        return false; // a key that is not even of the field's kind matches nothing
    }
    WideString a = VarToWide(fieldValue);
    WideString b = VarToWide(key);
    if (caseInsensitive) {
        auto fold = [](WideString& s) {
            for (char16_t& c : s)
                if (!(c >= 0xD800 && c <= 0xDFFF))
                    c = static_cast<char16_t>(u_foldCase(c, U_FOLD_CASE_DEFAULT));
        };
        fold(a);
        fold(b);
    }
    if (partial)
        return a.compare(0, b.size(), b) == 0;
    return a == b;
}

} // namespace db
