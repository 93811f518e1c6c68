#include "standin/engine/Types.h"

#include "standin/engine/Text.h"

namespace standin::engine {
namespace {

struct TypeEntry {
    const char* name;
    SqlType type;
    int32_t length;
    uint8_t precision;
    uint8_t scale;
};

// Fixed sizes; sized types get their length from the definition.
const TypeEntry kTypes[] = {
    {"int", SqlType::Int, 4, 10, 0},
    {"smallint", SqlType::SmallInt, 2, 5, 0},
    {"tinyint", SqlType::TinyInt, 1, 3, 0},
    {"bigint", SqlType::BigInt, 8, 19, 0},
    {"bit", SqlType::Bit, 1, 1, 0},
    {"decimal", SqlType::Decimal, 17, 18, 0},
    {"numeric", SqlType::Numeric, 17, 18, 0},
    {"money", SqlType::Money, 8, 19, 4},
    {"smallmoney", SqlType::SmallMoney, 4, 10, 4},
    {"float", SqlType::Float, 8, 53, 0},
    {"real", SqlType::Real, 4, 24, 0},
    {"datetime", SqlType::DateTime, 8, 23, 3},
    {"smalldatetime", SqlType::SmallDateTime, 4, 16, 0},
    {"date", SqlType::Date, 3, 10, 0},
    {"char", SqlType::Char, 1, 0, 0},
    {"varchar", SqlType::VarChar, 1, 0, 0},
    {"text", SqlType::Text, 2147483647, 0, 0},
    {"nchar", SqlType::NChar, 1, 0, 0},
    {"nvarchar", SqlType::NVarChar, 1, 0, 0},
    {"ntext", SqlType::NText, 1073741823, 0, 0},
    {"binary", SqlType::Binary, 1, 0, 0},
    {"varbinary", SqlType::VarBinary, 1, 0, 0},
    {"image", SqlType::Image, 2147483647, 0, 0},
    {"uniqueidentifier", SqlType::UniqueIdentifier, 16, 0, 0},
};

bool isSized(SqlType t) {
    switch (t) {
    case SqlType::Char:
    case SqlType::VarChar:
    case SqlType::NChar:
    case SqlType::NVarChar:
    case SqlType::Binary:
    case SqlType::VarBinary:
        return true;
    default:
        return false;
    }
}

} // namespace

std::optional<ColumnType> makeColumnType(std::string_view name, const std::vector<int>& args) {
    std::string lower = lowerAscii(name);
    if (lower == "sysname")
        return ColumnType{SqlType::NVarChar, 128, 0, 0};
    if (lower == "integer")
        lower = "int";
    if (lower == "dec")
        lower = "decimal";
    if (lower == "character")
        lower = "char";
    for (const TypeEntry& e : kTypes) {
        if (lower != e.name)
            continue;
        ColumnType ct{e.type, e.length, e.precision, e.scale};
        if (isSized(e.type)) {
            if (args.size() > 1)
                return std::nullopt;
            int n = args.empty() ? 1 : args[0];
            if (n == 0 || n < -1)
                return std::nullopt;
            bool wide = isNCharType(e.type);
            if (n == -1 &&
                (e.type == SqlType::Char || e.type == SqlType::NChar || e.type == SqlType::Binary))
                return std::nullopt;
            if (n > (wide ? 4000 : 8000))
                return std::nullopt;
            ct.length = n;
        } else if (isDecimalType(e.type) &&
                   (e.type == SqlType::Decimal || e.type == SqlType::Numeric)) {
            if (args.size() > 2)
                return std::nullopt;
            int p = args.empty() ? 18 : args[0];
            int s = args.size() > 1 ? args[1] : 0;
            if (p < 1 || p > 38 || s < 0 || s > p)
                return std::nullopt;
            ct.precision = uint8_t(p);
            ct.scale = uint8_t(s);
            ct.length = p <= 9 ? 5 : p <= 19 ? 9 : p <= 28 ? 13 : 17;
        } else if (e.type == SqlType::Float) {
            if (args.size() > 1)
                return std::nullopt;
            int n = args.empty() ? 53 : args[0];
            if (n < 1 || n > 53)
                return std::nullopt;
            if (n <= 24)
                ct = ColumnType{SqlType::Real, 4, 24, 0};
        } else if (!args.empty()) {
            return std::nullopt;
        }
        return ct;
    }
    return std::nullopt;
}

const char* typeName(SqlType type) {
    for (const TypeEntry& e : kTypes)
        if (e.type == type)
            return e.name;
    return "int";
}

std::string typeDefinition(const ColumnType& t) {
    std::string out = typeName(t.type);
    if (isSized(t.type))
        out += "(" + (t.length < 0 ? std::string("max") : std::to_string(t.length)) + ")";
    else if (t.type == SqlType::Decimal || t.type == SqlType::Numeric)
        out += "(" + std::to_string(t.precision) + "," + std::to_string(t.scale) + ")";
    return out;
}

const char* storageDeclaration(SqlType type) {
    if (isIntegerType(type))
        return "INTEGER";
    if (type == SqlType::Float || type == SqlType::Real)
        return "REAL";
    if (isDecimalType(type))
        return "NUMERIC";
    if (isBinaryType(type))
        return "BLOB";
    return "TEXT COLLATE TSQL_CI";
}

bool isCharType(SqlType t) {
    return t == SqlType::Char || t == SqlType::VarChar || t == SqlType::Text;
}
bool isNCharType(SqlType t) {
    return t == SqlType::NChar || t == SqlType::NVarChar || t == SqlType::NText;
}
bool isIntegerType(SqlType t) {
    return t == SqlType::Int || t == SqlType::SmallInt || t == SqlType::TinyInt ||
           t == SqlType::BigInt || t == SqlType::Bit;
}
bool isDecimalType(SqlType t) {
    return t == SqlType::Decimal || t == SqlType::Numeric || t == SqlType::Money ||
           t == SqlType::SmallMoney;
}
bool isDateType(SqlType t) {
    return t == SqlType::DateTime || t == SqlType::SmallDateTime || t == SqlType::Date;
}
bool isBinaryType(SqlType t) {
    return t == SqlType::Binary || t == SqlType::VarBinary || t == SqlType::Image;
}

int odbcTypeCode(SqlType type) {
    switch (type) {
    case SqlType::Int:
        return 4;
    case SqlType::SmallInt:
        return 5;
    case SqlType::TinyInt:
        return -6;
    case SqlType::BigInt:
        return -5;
    case SqlType::Bit:
        return -7;
    case SqlType::Decimal:
    case SqlType::Money:
    case SqlType::SmallMoney:
        return 3;
    case SqlType::Numeric:
        return 2;
    case SqlType::Float:
        return 6;
    case SqlType::Real:
        return 7;
    case SqlType::DateTime:
    case SqlType::SmallDateTime:
        return 93;
    case SqlType::Date:
        return 91;
    case SqlType::Char:
        return 1;
    case SqlType::VarChar:
        return 12;
    case SqlType::Text:
        return -1;
    case SqlType::NChar:
        return -8;
    case SqlType::NVarChar:
        return -9;
    case SqlType::NText:
        return -10;
    case SqlType::Binary:
        return -2;
    case SqlType::VarBinary:
        return -3;
    case SqlType::Image:
        return -4;
    case SqlType::UniqueIdentifier:
        return -11;
    }
    return 0;
}

CatalogFigures catalogFigures(const ColumnType& t, bool nullable) {
    const int code = odbcTypeCode(t.type);
    CatalogFigures f{0, 0, -1, -1, code, -1, -1, 0};
    auto ss = [nullable](int notNull, int null) {
        return nullable ? null : notNull;
    };
    switch (t.type) {
    case SqlType::Int:
        f = {10, 4, 0, 10, code, -1, -1, ss(56, 38)};
        break;
    case SqlType::SmallInt:
        f = {5, 2, 0, 10, code, -1, -1, ss(52, 38)};
        break;
    case SqlType::TinyInt:
        f = {3, 1, 0, 10, code, -1, -1, ss(48, 38)};
        break;
    case SqlType::BigInt:
        f = {19, 8, 0, 10, code, -1, -1, ss(127, 38)};
        break;
    case SqlType::Bit:
        f = {1, 1, -1, -1, code, -1, -1, 50};
        break;
    case SqlType::Decimal:
        f = {t.precision, t.precision + 2, t.scale, 10, code, -1, -1, ss(55, 106)};
        break;
    case SqlType::Numeric:
        f = {t.precision, t.precision + 2, t.scale, 10, code, -1, -1, ss(63, 108)};
        break;
    case SqlType::Money:
        f = {19, 21, 4, 10, code, -1, -1, ss(60, 110)};
        break;
    case SqlType::SmallMoney:
        f = {10, 12, 4, 10, code, -1, -1, ss(122, 110)};
        break;
    case SqlType::Float:
        f = {15, 8, -1, 10, code, -1, -1, ss(62, 109)};
        break;
    case SqlType::Real:
        f = {7, 4, -1, 10, code, -1, -1, ss(59, 109)};
        break;
    case SqlType::DateTime:
        f = {23, 16, 3, -1, 9, 3, -1, ss(61, 111)};
        break;
    case SqlType::SmallDateTime:
        f = {16, 16, 0, -1, 9, 3, -1, ss(58, 111)};
        break;
    case SqlType::Date:
        f = {10, 6, 0, -1, 9, 1, -1, 0};
        break;
    case SqlType::Char:
    case SqlType::VarChar:
    case SqlType::Binary:
    case SqlType::VarBinary: {
        int32_t n = t.length < 0 ? 2147483647 : t.length;
        int ssType = t.type == SqlType::Char      ? 47
                     : t.type == SqlType::VarChar ? 39
                     : t.type == SqlType::Binary  ? 45
                                                  : 37;
        f = {n, n, -1, -1, code, -1, n, t.length < 0 ? 0 : ssType};
        break;
    }
    case SqlType::Text:
        f = {2147483647, 2147483647, -1, -1, code, -1, 2147483647, 35};
        break;
    case SqlType::Image:
        f = {2147483647, 2147483647, -1, -1, code, -1, 2147483647, 34};
        break;
    case SqlType::NChar:
    case SqlType::NVarChar: {
        int32_t n = t.length < 0 ? 1073741823 : t.length;
        int32_t bytes = t.length < 0 ? 2147483647 : 2 * t.length;
        f = {n, bytes, -1, -1, code, -1, bytes, 0};
        break;
    }
    case SqlType::NText:
        f = {1073741823, 2147483646, -1, -1, code, -1, 2147483646, 0};
        break;
    case SqlType::UniqueIdentifier:
        f = {36, 16, -1, -1, code, -1, -1, 0};
        break;
    }
    return f;
}

} // namespace standin::engine
