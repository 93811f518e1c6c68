#include "standin/tds/TypeInfo.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

namespace standin::tds {

namespace {

constexpr uint32_t kPlpLength = 0xFFFF;
constexpr uint16_t kNullLength = 0xFFFF;
constexpr uint64_t kPlpNull = ~uint64_t{0};
constexpr uint32_t kTextMax = 0x7FFFFFFF;
constexpr uint32_t kNTextMax = 0x7FFFFFFE;
constexpr size_t kMaxShortBytes = 8000;

__int128 pow10(int n) {
    __int128 p = 1;
    while (n-- > 0)
        p *= 10;
    return p;
}

/// `v` (with `from` decimals) expressed with `to` decimals, rounded half away from zero.
__int128 rescale(__int128 v, int from, int to) {
    if (from == to)
        return v;
    if (from < to)
        return v * pow10(to - from);
    const __int128 d = pow10(from - to);
    const __int128 q = v / d;
    const __int128 r = v % d;
    if (2 * (r < 0 ? -r : r) >= d)
        return v < 0 ? q - 1 : q + 1;
    return q;
}

int64_t toInt(const Value& v) {
    if (auto p = std::get_if<int64_t>(&v))
        return *p;
    if (auto p = std::get_if<double>(&v))
        return std::isfinite(*p) ? static_cast<int64_t>(std::llround(*p)) : 0;
    if (auto p = std::get_if<DecimalValue>(&v))
        return static_cast<int64_t>(rescale(p->unscaled, p->scale, 0));
    return 0;
}

double toDouble(const Value& v) {
    if (auto p = std::get_if<double>(&v))
        return *p;
    if (auto p = std::get_if<int64_t>(&v))
        return static_cast<double>(*p);
    if (auto p = std::get_if<DecimalValue>(&v))
        return static_cast<double>(static_cast<long double>(p->unscaled) /
                                   static_cast<long double>(pow10(p->scale)));
    return 0;
}

__int128 toUnscaled(const Value& v, int scale) {
    if (auto p = std::get_if<DecimalValue>(&v))
        return rescale(p->unscaled, p->scale, scale);
    if (auto p = std::get_if<int64_t>(&v))
        return static_cast<__int128>(*p) * pow10(scale);
    if (auto p = std::get_if<double>(&v)) {
        if (!std::isfinite(*p))
            return 0;
        return static_cast<__int128>(std::llround(*p * std::pow(10.0, scale)));
    }
    return 0;
}

/// Bytes of a DECIMAL magnitude for a precision.
uint8_t decimalBytes(uint8_t precision) {
    return precision <= 9 ? 4 : precision <= 19 ? 8 : precision <= 28 ? 12 : 16;
}

/// A cell's bytes for a byte-string column; UTF-16 given for one is narrowed.
std::string_view byteText(const Value& v, std::string& scratch) {
    if (auto p = std::get_if<std::string_view>(&v))
        return *p;
    scratch.clear();
    if (auto p = std::get_if<std::u16string_view>(&v))
        for (char16_t c : *p)
            scratch.push_back(c < 0x100 ? static_cast<char>(c) : '?');
    return scratch;
}

/// A cell's UTF-16 units for an N-column; bytes given for one are widened.
std::u16string_view wideText(const Value& v, std::u16string& scratch) {
    if (auto p = std::get_if<std::u16string_view>(&v))
        return *p;
    scratch.clear();
    if (auto p = std::get_if<std::string_view>(&v))
        for (char c : *p)
            scratch.push_back(static_cast<char16_t>(static_cast<uint8_t>(c)));
    return scratch;
}

void writePlp(PacketWriter& out, const uint8_t* data, size_t size) {
    out.u64(size);
    if (size > 0) {
        out.u32(static_cast<uint32_t>(size));
        out.put(data, size);
    }
    out.u32(0);
}

void writeUtf16Bytes(PacketWriter& out, std::u16string_view s) {
    if constexpr (std::endian::native == std::endian::little)
        out.put(s.data(), s.size() * 2);
    else
        out.utf16(s);
}

uint16_t codePageForLcid(uint32_t lcid) {
    switch (lcid & 0xFFFF) {
    case 0x0404:
    case 0x0C04:
    case 0x1404:
        return 950;
    case 0x0804:
    case 0x1004:
        return 936;
    case 0x0411:
        return 932;
    case 0x0412:
        return 949;
    case 0x041E:
        return 874;
    case 0x0405:
    case 0x0415:
    case 0x040E:
    case 0x041B:
    case 0x0424:
        return 1250;
    case 0x0419:
    case 0x0422:
    case 0x0402:
        return 1251;
    case 0x0408:
        return 1253;
    case 0x041F:
        return 1254;
    case 0x040D:
        return 1255;
    case 0x0401:
        return 1256;
    case 0x0425:
    case 0x0426:
    case 0x0427:
        return 1257;
    case 0x042A:
        return 1258;
    default:
        return 1252;
    }
}

Collation readCollation(ByteReader& in) {
    Collation c;
    c.info = in.u32();
    c.sortId = in.u8();
    c.codePage = codePageForLcid(c.info & 0xFFFFF);
    return c;
}

} // namespace

WireColumn describeColumn(const ColumnInfo& c) {
    WireColumn w;
    w.type = c.type;
    w.collation = c.collation;
    auto shortLength = [&](int32_t bytes) -> uint32_t {
        return static_cast<uint32_t>(std::clamp<int64_t>(bytes, 1, kMaxShortBytes));
    };
    switch (c.type) {
    case SqlType::TinyInt:
        w.wireType = IntN;
        w.maxLength = 1;
        break;
    case SqlType::SmallInt:
        w.wireType = IntN;
        w.maxLength = 2;
        break;
    case SqlType::Int:
        w.wireType = IntN;
        w.maxLength = 4;
        break;
    case SqlType::BigInt:
        w.wireType = IntN;
        w.maxLength = 8;
        break;
    case SqlType::Bit:
        w.wireType = BitN;
        w.maxLength = 1;
        break;
    case SqlType::Real:
        w.wireType = FltN;
        w.maxLength = 4;
        break;
    case SqlType::Float:
        w.wireType = FltN;
        w.maxLength = 8;
        break;
    case SqlType::SmallMoney:
        w.wireType = MoneyN;
        w.maxLength = 4;
        break;
    case SqlType::Money:
        w.wireType = MoneyN;
        w.maxLength = 8;
        break;
    case SqlType::SmallDateTime:
        w.wireType = DateTimeN;
        w.maxLength = 4;
        break;
    case SqlType::DateTime:
        w.wireType = DateTimeN;
        w.maxLength = 8;
        break;
    case SqlType::Date:
        w.wireType = DateN;
        w.maxLength = 3;
        break;
    case SqlType::Decimal:
    case SqlType::Numeric:
        w.wireType = c.type == SqlType::Decimal ? DecimalN : NumericN;
        w.precision = c.precision == 0 ? 18 : std::min<uint8_t>(c.precision, 38);
        w.scale = std::min(c.scale, w.precision);
        w.maxLength = 1u + decimalBytes(w.precision);
        break;
    case SqlType::Char:
        w.wireType = BigChar;
        w.maxLength = shortLength(c.length);
        break;
    case SqlType::VarChar:
        w.wireType = BigVarChar;
        w.plp = c.length < 0 || static_cast<size_t>(c.length) > kMaxShortBytes;
        w.maxLength = w.plp ? kPlpLength : shortLength(c.length);
        break;
    case SqlType::NChar:
        w.wireType = NChar;
        w.maxLength = shortLength(c.length * 2);
        break;
    case SqlType::NVarChar:
        w.wireType = NVarChar;
        w.plp = c.length < 0 || static_cast<size_t>(c.length) * 2 > kMaxShortBytes;
        w.maxLength = w.plp ? kPlpLength : shortLength(c.length * 2);
        break;
    case SqlType::Binary:
        w.wireType = BigBinary;
        w.maxLength = shortLength(c.length);
        break;
    case SqlType::VarBinary:
        w.wireType = BigVarBinary;
        w.plp = c.length < 0 || static_cast<size_t>(c.length) > kMaxShortBytes;
        w.maxLength = w.plp ? kPlpLength : shortLength(c.length);
        break;
    case SqlType::Text:
        w.wireType = Text;
        w.maxLength = kTextMax;
        break;
    case SqlType::NText:
        w.wireType = NText;
        w.maxLength = kNTextMax;
        break;
    case SqlType::Image:
        w.wireType = Image;
        w.maxLength = kTextMax;
        break;
    case SqlType::UniqueIdentifier:
        w.wireType = Guid;
        w.maxLength = 16;
        break;
    }
    return w;
}

uint16_t columnFlags(const ColumnInfo& c, bool browse) {
    uint16_t flags = 0;
    if (c.nullable)
        flags |= 0x0001;
    if (c.writable)
        flags |= 0x0004; // updatable: read/write
    if (c.identity)
        flags |= 0x0010;
    if (browse && c.hidden)
        flags |= 0x2000;
    if (browse && c.isKey)
        flags |= 0x4000;
    return flags;
}

void writeCollation(PacketWriter& out, const Collation& c) {
    out.u32(c.info);
    out.u8(c.sortId);
}

void writeTypeInfo(PacketWriter& out, const WireColumn& c,
                   const std::vector<std::u16string>* tableParts) {
    out.u8(c.wireType);
    switch (c.wireType) {
    case IntN:
    case BitN:
    case FltN:
    case MoneyN:
    case DateTimeN:
    case Guid:
        out.u8(static_cast<uint8_t>(c.maxLength));
        break;
    case DateN:
        break;
    case DecimalN:
    case NumericN:
        out.u8(static_cast<uint8_t>(c.maxLength));
        out.u8(c.precision);
        out.u8(c.scale);
        break;
    case BigChar:
    case BigVarChar:
    case NChar:
    case NVarChar:
        out.u16(static_cast<uint16_t>(c.maxLength));
        writeCollation(out, c.collation);
        break;
    case BigBinary:
    case BigVarBinary:
        out.u16(static_cast<uint16_t>(c.maxLength));
        break;
    case Text:
    case NText:
    case Image:
        out.u32(c.maxLength);
        if (c.wireType != Image)
            writeCollation(out, c.collation);
        if (tableParts) {
            out.u8(static_cast<uint8_t>(std::min<size_t>(tableParts->size(), 255)));
            for (size_t i = 0; i < tableParts->size() && i < 255; ++i) {
                const auto& part = (*tableParts)[i];
                const size_t n = std::min<size_t>(part.size(), 0xFFFF);
                out.u16(static_cast<uint16_t>(n));
                out.utf16(std::u16string_view(part).substr(0, n));
            }
        }
        break;
    default:
        break;
    }
}

void writeValue(PacketWriter& out, const WireColumn& c, const Value& v) {
    const bool null = isNull(v);
    switch (c.wireType) {
    case IntN: {
        if (null) {
            out.u8(0);
            break;
        }
        out.u8(static_cast<uint8_t>(c.maxLength));
        const int64_t i = toInt(v);
        switch (c.maxLength) {
        case 1:
            out.u8(static_cast<uint8_t>(i));
            break;
        case 2:
            out.u16(static_cast<uint16_t>(i));
            break;
        case 4:
            out.u32(static_cast<uint32_t>(i));
            break;
        default:
            out.u64(static_cast<uint64_t>(i));
            break;
        }
        break;
    }
    case BitN:
        if (null) {
            out.u8(0);
        } else {
            out.u8(1);
            out.u8(toInt(v) != 0 ? 1 : 0);
        }
        break;
    case FltN:
        if (null) {
            out.u8(0);
        } else if (c.maxLength == 4) {
            out.u8(4);
            out.u32(std::bit_cast<uint32_t>(static_cast<float>(toDouble(v))));
        } else {
            out.u8(8);
            out.u64(std::bit_cast<uint64_t>(toDouble(v)));
        }
        break;
    case MoneyN: {
        if (null) {
            out.u8(0);
            break;
        }
        const auto money = static_cast<int64_t>(toUnscaled(v, 4));
        if (c.maxLength == 4) {
            out.u8(4);
            out.u32(static_cast<uint32_t>(static_cast<int32_t>(money)));
        } else {
            out.u8(8);
            out.u32(static_cast<uint32_t>(static_cast<uint64_t>(money) >> 32));
            out.u32(static_cast<uint32_t>(money));
        }
        break;
    }
    case DateTimeN: {
        const auto* dt = std::get_if<DateTimeValue>(&v);
        if (!dt) {
            out.u8(0);
            break;
        }
        if (c.maxLength == 4) {
            out.u8(4);
            out.u16(static_cast<uint16_t>(dt->days));
            out.u16(static_cast<uint16_t>((dt->ticks + 9000) / 18000));
        } else {
            out.u8(8);
            out.u32(static_cast<uint32_t>(dt->days));
            out.u32(dt->ticks);
        }
        break;
    }
    case DateN: {
        const auto* dt = std::get_if<DateTimeValue>(&v);
        if (!dt) {
            out.u8(0);
            break;
        }
        const auto days = static_cast<uint32_t>(dt->days + kDaysTo1900);
        out.u8(3);
        out.u8(static_cast<uint8_t>(days));
        out.u8(static_cast<uint8_t>(days >> 8));
        out.u8(static_cast<uint8_t>(days >> 16));
        break;
    }
    case DecimalN:
    case NumericN: {
        if (null) {
            out.u8(0);
            break;
        }
        __int128 unscaled = toUnscaled(v, c.scale);
        const bool negative = unscaled < 0;
        auto magnitude = static_cast<unsigned __int128>(negative ? -unscaled : unscaled);
        const uint8_t bytes = decimalBytes(c.precision);
        out.u8(static_cast<uint8_t>(bytes + 1));
        out.u8(negative ? 0 : 1);
        for (uint8_t i = 0; i < bytes; ++i) {
            out.u8(static_cast<uint8_t>(magnitude));
            magnitude >>= 8;
        }
        break;
    }
    case Guid: {
        const auto* g = std::get_if<GuidValue>(&v);
        if (!g) {
            out.u8(0);
            break;
        }
        out.u8(16);
        out.put(g->bytes, 16);
        break;
    }
    case BigChar:
    case BigVarChar:
    case BigBinary:
    case BigVarBinary: {
        std::string scratch;
        if (c.plp) {
            if (null) {
                out.u64(kPlpNull);
                break;
            }
            const auto s = byteText(v, scratch);
            writePlp(out, reinterpret_cast<const uint8_t*>(s.data()), s.size());
            break;
        }
        if (null) {
            out.u16(kNullLength);
            break;
        }
        const auto s = byteText(v, scratch);
        const size_t n = std::min<size_t>(s.size(), c.maxLength);
        const bool fixed = c.wireType == BigChar || c.wireType == BigBinary;
        out.u16(static_cast<uint16_t>(fixed ? c.maxLength : n));
        out.put(s.data(), n);
        // Fixed-length types are padded to their declared length, as stored.
        for (size_t i = n; fixed && i < c.maxLength; ++i)
            out.u8(c.wireType == BigChar ? ' ' : 0);
        break;
    }
    case NChar:
    case NVarChar: {
        std::u16string scratch;
        if (c.plp) {
            if (null) {
                out.u64(kPlpNull);
                break;
            }
            const auto s = wideText(v, scratch);
            out.u64(s.size() * 2);
            if (!s.empty()) {
                out.u32(static_cast<uint32_t>(s.size() * 2));
                writeUtf16Bytes(out, s);
            }
            out.u32(0);
            break;
        }
        if (null) {
            out.u16(kNullLength);
            break;
        }
        const auto s = wideText(v, scratch);
        const size_t units = std::min<size_t>(s.size(), c.maxLength / 2);
        const bool fixed = c.wireType == NChar;
        out.u16(static_cast<uint16_t>(fixed ? c.maxLength / 2 * 2 : units * 2));
        writeUtf16Bytes(out, s.substr(0, units));
        for (size_t i = units; fixed && i < c.maxLength / 2; ++i)
            out.u16(u' ');
        break;
    }
    case Text:
    case NText:
    case Image: {
        if (null) {
            out.u8(0);
            break;
        }
        // A text pointer and timestamp the client only echoes back; any
        // non-empty value will do.
        static const uint8_t kTextPointer[16] = {0x56, 0x45, 0x4C, 0x4B, 0x49, 0x4E, 1, 0,
                                                 0,    0,    0,    0,    0,    0,    0, 1};
        out.u8(16);
        out.put(kTextPointer, 16);
        out.u64(0);
        if (c.wireType == NText) {
            std::u16string scratch;
            const auto s = wideText(v, scratch);
            out.u32(static_cast<uint32_t>(s.size() * 2));
            writeUtf16Bytes(out, s);
        } else {
            std::string scratch;
            const auto s = byteText(v, scratch);
            out.u32(static_cast<uint32_t>(s.size()));
            out.put(s.data(), s.size());
        }
        break;
    }
    default:
        out.u8(0);
        break;
    }
}

namespace {

/// Reads a PLP value; returns false for NULL.
bool readPlp(ByteReader& in, std::string& into) {
    const uint64_t total = in.u64();
    if (total == kPlpNull)
        return false;
    for (;;) {
        const uint32_t chunk = in.u32();
        if (chunk == 0)
            break;
        const auto bytes = in.bytes(chunk);
        into.append(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    }
    return true;
}

std::u16string fromUtf16Bytes(const std::string& bytes) {
    if (bytes.size() % 2 != 0)
        throw ProtocolError("odd byte count in a UTF-16 parameter");
    std::u16string s(bytes.size() / 2, u'\0');
    for (size_t i = 0; i < s.size(); ++i)
        s[i] = static_cast<char16_t>(static_cast<uint8_t>(bytes[2 * i]) |
                                     static_cast<uint8_t>(bytes[2 * i + 1]) << 8);
    return s;
}

int64_t signExtend(uint64_t v, size_t bytes) {
    const unsigned shift = static_cast<unsigned>(64 - 8 * bytes);
    return static_cast<int64_t>(v << shift) >> shift;
}

uint64_t readLe(ByteReader& in, size_t n) {
    uint64_t v = 0;
    const auto b = in.bytes(n);
    for (size_t i = n; i-- > 0;)
        v = v << 8 | b[i];
    return v;
}

void readInteger(ByteReader& in, Param& p, size_t len) {
    if (len == 0)
        return;
    if (len != 1 && len != 2 && len != 4 && len != 8)
        throw ProtocolError("bad integer length");
    const uint64_t raw = readLe(in, len);
    // TINYINT is unsigned; the wider integers are signed.
    p.value = len == 1 ? static_cast<int64_t>(raw) : signExtend(raw, len);
}

void readFloat(ByteReader& in, Param& p, size_t len) {
    if (len == 4)
        p.value = static_cast<double>(std::bit_cast<float>(in.u32()));
    else if (len == 8)
        p.value = std::bit_cast<double>(in.u64());
    else if (len != 0)
        throw ProtocolError("bad float length");
}

void readMoney(ByteReader& in, Param& p, size_t len) {
    if (len == 4) {
        p.value = DecimalValue{static_cast<int32_t>(in.u32()), 4};
    } else if (len == 8) {
        const uint64_t high = in.u32();
        const uint64_t low = in.u32();
        p.value = DecimalValue{static_cast<int64_t>(high << 32 | low), 4};
    } else if (len != 0) {
        throw ProtocolError("bad money length");
    }
}

void readDateTime(ByteReader& in, Param& p, size_t len) {
    if (len == 4) {
        const uint16_t days = in.u16();
        const uint16_t minutes = in.u16();
        p.value = DateTimeValue{days, uint32_t{minutes} * 18000u};
    } else if (len == 8) {
        const auto days = static_cast<int32_t>(in.u32());
        p.value = DateTimeValue{days, in.u32()};
    } else if (len != 0) {
        throw ProtocolError("bad datetime length");
    }
}

void setType(Param& p, SqlType type, int32_t length = 0) {
    p.type.type = type;
    p.type.length = length;
}

} // namespace

void rebindParameterValue(Param& p) {
    if (std::holds_alternative<std::string_view>(p.value))
        p.value = std::string_view(p.bytes);
    else if (std::holds_alternative<std::u16string_view>(p.value))
        p.value = std::u16string_view(p.text);
}

void readParameter(ByteReader& in, Param& p) {
    const uint8_t type = in.u8();
    p.value = std::monostate{};
    switch (type) {
    case Int1:
        setType(p, SqlType::TinyInt);
        readInteger(in, p, 1);
        break;
    case Int2:
        setType(p, SqlType::SmallInt);
        readInteger(in, p, 2);
        break;
    case Int4:
        setType(p, SqlType::Int);
        readInteger(in, p, 4);
        break;
    case Int8:
        setType(p, SqlType::BigInt);
        readInteger(in, p, 8);
        break;
    case Bit:
        setType(p, SqlType::Bit);
        p.value = int64_t{in.u8() != 0};
        break;
    case Flt4:
        setType(p, SqlType::Real);
        readFloat(in, p, 4);
        break;
    case Flt8:
        setType(p, SqlType::Float);
        readFloat(in, p, 8);
        break;
    case Money4:
        setType(p, SqlType::SmallMoney);
        readMoney(in, p, 4);
        break;
    case Money:
        setType(p, SqlType::Money);
        readMoney(in, p, 8);
        break;
    case DateTime4:
        setType(p, SqlType::SmallDateTime);
        readDateTime(in, p, 4);
        break;
    case DateTime:
        setType(p, SqlType::DateTime);
        readDateTime(in, p, 8);
        break;
    case IntN: {
        const uint8_t max = in.u8();
        setType(p, max == 1   ? SqlType::TinyInt
                   : max == 2 ? SqlType::SmallInt
                   : max == 8 ? SqlType::BigInt
                              : SqlType::Int);
        readInteger(in, p, in.u8());
        break;
    }
    case BitN: {
        in.u8();
        setType(p, SqlType::Bit);
        const uint8_t len = in.u8();
        if (len > 1)
            throw ProtocolError("bad bit length");
        if (len == 1)
            p.value = int64_t{in.u8() != 0};
        break;
    }
    case FltN: {
        setType(p, in.u8() == 4 ? SqlType::Real : SqlType::Float);
        readFloat(in, p, in.u8());
        break;
    }
    case MoneyN: {
        setType(p, in.u8() == 4 ? SqlType::SmallMoney : SqlType::Money);
        readMoney(in, p, in.u8());
        break;
    }
    case DateTimeN: {
        setType(p, in.u8() == 4 ? SqlType::SmallDateTime : SqlType::DateTime);
        readDateTime(in, p, in.u8());
        break;
    }
    case DateN: {
        setType(p, SqlType::Date);
        const uint8_t len = in.u8();
        if (len == 3) {
            const auto days = static_cast<int32_t>(readLe(in, 3));
            p.value = DateTimeValue{days - kDaysTo1900, 0};
        } else if (len != 0) {
            throw ProtocolError("bad date length");
        }
        break;
    }
    case DateTime2N: {
        // Carried as DATETIME: whole days plus 1/300-second ticks.
        const uint8_t scale = in.u8();
        if (scale > 7)
            throw ProtocolError("bad datetime2 scale");
        setType(p, SqlType::DateTime);
        const uint8_t len = in.u8();
        if (len == 0)
            break;
        const size_t timeBytes = scale <= 2 ? 3 : scale <= 4 ? 4 : 5;
        if (len != timeBytes + 3)
            throw ProtocolError("bad datetime2 length");
        const uint64_t units = readLe(in, timeBytes);
        const auto days = static_cast<int32_t>(readLe(in, 3));
        const auto perSecond = static_cast<uint64_t>(pow10(scale));
        auto ticks = static_cast<uint32_t>((units * 300 + perSecond / 2) / perSecond);
        p.value = DateTimeValue{days - kDaysTo1900, std::min<uint32_t>(ticks, 25919999)};
        break;
    }
    case DecimalN:
    case NumericN: {
        in.u8();
        const uint8_t precision = in.u8();
        const uint8_t scale = in.u8();
        if (precision > 38 || scale > precision)
            throw ProtocolError("bad decimal precision or scale");
        setType(p, type == DecimalN ? SqlType::Decimal : SqlType::Numeric);
        p.type.precision = precision;
        p.type.scale = scale;
        const uint8_t len = in.u8();
        if (len == 0)
            break;
        if (len < 2 || len > 17)
            throw ProtocolError("bad decimal length");
        const bool positive = in.u8() != 0;
        unsigned __int128 magnitude = 0;
        const auto bytes = in.bytes(len - 1u);
        for (size_t i = bytes.size(); i-- > 0;)
            magnitude = magnitude << 8 | bytes[i];
        if (magnitude >= static_cast<unsigned __int128>(pow10(38)))
            throw ProtocolError("decimal magnitude out of range");
        const auto m = static_cast<__int128>(magnitude);
        p.value = DecimalValue{positive ? m : -m, scale};
        break;
    }
    case Guid: {
        in.u8();
        setType(p, SqlType::UniqueIdentifier, 16);
        const uint8_t len = in.u8();
        if (len == 16) {
            GuidValue g;
            std::memcpy(g.bytes, in.bytes(16).data(), 16);
            p.value = g;
        } else if (len != 0) {
            throw ProtocolError("bad uniqueidentifier length");
        }
        break;
    }
    case BigChar:
    case BigVarChar:
    case NChar:
    case NVarChar:
    case BigBinary:
    case BigVarBinary: {
        const uint16_t max = in.u16();
        const bool wide = type == NChar || type == NVarChar;
        const bool binary = type == BigBinary || type == BigVarBinary;
        const int32_t length = max == kPlpLength ? -1 : wide ? max / 2 : max;
        const SqlType sql = type == BigChar      ? SqlType::Char
                            : type == BigVarChar ? SqlType::VarChar
                            : type == NChar      ? SqlType::NChar
                            : type == NVarChar   ? SqlType::NVarChar
                            : type == BigBinary  ? SqlType::Binary
                                                 : SqlType::VarBinary;
        setType(p, sql, length);
        if (!binary)
            p.type.collation = readCollation(in);
        bool present;
        if (max == kPlpLength) {
            present = readPlp(in, p.bytes);
        } else {
            const uint16_t len = in.u16();
            present = len != kNullLength;
            if (present) {
                const auto b = in.bytes(len);
                p.bytes.assign(reinterpret_cast<const char*>(b.data()), b.size());
            }
        }
        if (present && wide) {
            p.text = fromUtf16Bytes(p.bytes);
            p.bytes.clear();
            p.value = std::u16string_view(p.text);
        } else if (present) {
            p.value = std::string_view(p.bytes);
        }
        break;
    }
    case Text:
    case NText:
    case Image: {
        in.u32();
        setType(p,
                type == Text    ? SqlType::Text
                : type == NText ? SqlType::NText
                                : SqlType::Image,
                -1);
        if (type != Image)
            p.type.collation = readCollation(in);
        const uint32_t len = in.u32();
        if (len == 0xFFFFFFFF)
            break;
        const auto b = in.bytes(len);
        p.bytes.assign(reinterpret_cast<const char*>(b.data()), b.size());
        if (type == NText) {
            p.text = fromUtf16Bytes(p.bytes);
            p.bytes.clear();
            p.value = std::u16string_view(p.text);
        } else {
            p.value = std::string_view(p.bytes);
        }
        break;
    }
    default:
        throw UnsupportedType("parameter type 0x" + [type] {
            const char* hex = "0123456789ABCDEF";
            return std::string{hex[type >> 4], hex[type & 15]};
        }() + " is not supported");
    }
}

} // namespace standin::tds
