#include "data/ado/ValueText.h"

#include "platform/CodePageConv.h"

#include <QString>

#include <charconv>
#include <cstdio>
#include <cstdlib>

namespace ado {

namespace {

WideString fromAscii(const std::string& s) {
    return WideString(s.begin(), s.end());
}

std::string toAscii(const WideString& s) {
    std::string out;
    out.reserve(s.size());
    for (char16_t c : s) {
        if (c > 0x7f)
            return {};
        out += static_cast<char>(c);
    }
    return out;
}

QString qs(const WideString& s) {
    return QString::fromUtf16(s.data(), static_cast<qsizetype>(s.size()));
}

} // namespace

WideString textOf(const Variant& v) {
    struct Visitor {
        WideString operator()(std::monostate) const { return {}; }
        WideString operator()(Null) const { return {}; }
        WideString operator()(bool b) const { return b ? u"True" : u"False"; }
        WideString operator()(int64_t i) const { return fromAscii(std::to_string(i)); }
        WideString operator()(double d) const {
            char buf[64];
            auto [p, ec] = std::to_chars(buf, buf + sizeof buf, d);
            return fromAscii(std::string(buf, p));
        }
        WideString operator()(const Decimal& d) const { return fromAscii(d.text); }
        WideString operator()(const DateTime& t) const {
            char buf[40];
            if (t.millisecond)
                std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d.%03d", t.year,
                              t.month, t.day, t.hour, t.minute, t.second, t.millisecond);
            else
                std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month,
                              t.day, t.hour, t.minute, t.second);
            return fromAscii(buf);
        }
        WideString operator()(const AnsiString& s) const { return platform::AnsiToWide(s); }
        WideString operator()(const WideString& s) const { return s; }
        WideString operator()(const Bytes& b) const {
            static const char* hex = "0123456789ABCDEF";
            WideString out = u"0x";
            for (uint8_t x : b) {
                out += char16_t(hex[x >> 4]);
                out += char16_t(hex[x & 15]);
            }
            return out;
        }
    };
    return std::visit(Visitor{}, v.value());
}

std::optional<double> numberOf(const Variant& v) {
    if (v.is<bool>())
        return v.get<bool>() ? -1.0 : 0.0; // ADO's True is -1
    if (v.is<int64_t>())
        return static_cast<double>(v.get<int64_t>());
    if (v.is<double>())
        return v.get<double>();
    std::string text;
    if (v.is<Decimal>())
        text = v.get<Decimal>().text;
    else if (v.is<WideString>())
        text = toAscii(v.get<WideString>());
    else if (v.is<AnsiString>())
        text = v.get<AnsiString>();
    else
        return std::nullopt;
    size_t b = text.find_first_not_of(' '), e = text.find_last_not_of(' ');
    if (b == std::string::npos)
        return std::nullopt;
    text = text.substr(b, e - b + 1);
    char* end = nullptr;
    const double d = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size())
        return std::nullopt;
    return d;
}

std::optional<DateTime> parseDate(const WideString& wide) {
    const std::string text = toAscii(wide);
    if (text.empty())
        return std::nullopt;
    int a = 0, b = 0, c = 0, hh = 0, mi = 0, ss = 0, ms = 0, used = 0;
    char s1 = 0, s2 = 0;
    if (std::sscanf(text.c_str(), " %d%c%d%c%d%n", &a, &s1, &b, &s2, &c, &used) < 5 || s1 != s2 ||
        (s1 != '-' && s1 != '/'))
        return std::nullopt;
    int year, month, day;
    if (a > 31) {
        year = a, month = b, day = c;
    } else {
        month = a, day = b, year = c;
    }
    const char* rest = text.c_str() + used;
    while (*rest == ' ' || *rest == 'T')
        ++rest;
    if (*rest) {
        int n = 0, consumed = 0;
        n = std::sscanf(rest, "%d:%d%n", &hh, &mi, &consumed);
        if (n < 2)
            return std::nullopt;
        rest += consumed;
        if (*rest == ':') {
            if (std::sscanf(rest, ":%d%n", &ss, &consumed) < 1)
                return std::nullopt;
            rest += consumed;
            if (*rest == '.') {
                ++rest;
                int digits = 0;
                while (*rest >= '0' && *rest <= '9') {
                    if (digits < 3) {
                        ms = ms * 10 + (*rest - '0');
                        ++digits;
                    }
                    ++rest;
                }
                while (digits++ < 3)
                    ms *= 10;
            }
        }
        while (*rest == ' ')
            ++rest;
        if (*rest)
            return std::nullopt;
    }
    if (month < 1 || month > 12 || day < 1 || day > 31 || hh > 23 || mi > 59 || ss > 59 ||
        year < 1 || year > 9999)
        return std::nullopt;
    DateTime t;
    t.year = static_cast<int16_t>(year);
    t.month = static_cast<uint8_t>(month);
    t.day = static_cast<uint8_t>(day);
    t.hour = static_cast<uint8_t>(hh);
    t.minute = static_cast<uint8_t>(mi);
    t.second = static_cast<uint8_t>(ss);
    t.millisecond = static_cast<uint16_t>(ms);
    return t;
}

int compareTextNoCase(const WideString& a, const WideString& b) {
    // Views over the texts as they are: sorting, filtering and column look-ups
    // call this for every pair, so neither text is copied into a QString.
    return QStringView(a).compare(QStringView(b), Qt::CaseInsensitive);
}

WideString upperText(const WideString& text) {
    const QString u = qs(text).toUpper();
    return WideString(reinterpret_cast<const char16_t*>(u.utf16()), static_cast<size_t>(u.size()));
}

} // namespace ado
