#include "standin/engine/LengthCheck.h"

#include "standin/engine/CodePage.h"
#include "standin/engine/Text.h"

#include <string_view>

namespace standin::engine {

namespace {

// How a column's length is counted.
enum class Measure { CodePageBytes = 0, Utf16Units = 1, Bytes = 2 };

size_t utf16Units(std::string_view utf8) {
    size_t units = 0;
    for (unsigned char b : utf8) {
        if ((b & 0xC0) != 0x80)
            ++units;
        if (b >= 0xF0)
            ++units; // outside the BMP: a surrogate pair
    }
    return units;
}

std::string_view withoutTrailingBlanks(std::string_view s) {
    while (!s.empty() && s.back() == ' ')
        s.remove_suffix(1);
    return s;
}

// __standin_fits(value, measure, length, codePage): 1 when the value fits its
// column. Blanks beyond the length are cut without complaint, as SQL Server does.
void fitsFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_int(ctx, 1);
        return;
    }
    const auto measure = static_cast<Measure>(sqlite3_value_int(argv[1]));
    const auto length = static_cast<size_t>(sqlite3_value_int64(argv[2]));
    size_t size = 0;
    if (measure == Measure::Bytes) {
        size = static_cast<size_t>(sqlite3_value_bytes(argv[0]));
    } else {
        const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(argv[0]));
        const std::string_view utf8 =
            withoutTrailingBlanks({text, static_cast<size_t>(sqlite3_value_bytes(argv[0]))});
        if (measure == Measure::Utf16Units) {
            size = utf16Units(utf8);
        } else {
            std::string bytes;
            utf8ToCodePage(static_cast<uint16_t>(sqlite3_value_int(argv[3])), utf8, bytes);
            size = bytes.size();
        }
    }
    sqlite3_result_int(ctx, size <= length ? 1 : 0);
}

} // namespace

void registerLengthCheck(sqlite3* db) {
    sqlite3_create_function_v2(db, "__standin_fits", 4, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                               fitsFunction, nullptr, nullptr, nullptr);
}

std::vector<std::string> lengthCheckTriggers(const std::string& table, const std::string& column,
                                             const ColumnType& type, uint16_t codePage) {
    Measure measure;
    switch (type.type) {
    case SqlType::Char:
    case SqlType::VarChar:
        measure = Measure::CodePageBytes;
        break;
    case SqlType::NChar:
    case SqlType::NVarChar:
        measure = Measure::Utf16Units;
        break;
    case SqlType::Binary:
    case SqlType::VarBinary:
        measure = Measure::Bytes;
        break;
    default:
        return {};
    }
    if (type.length <= 0)
        return {};
    const std::string q = quoteIdent(table), cq = quoteIdent(column);
    const std::string check = "NOT __standin_fits(NEW." + cq + ", " +
                              std::to_string(static_cast<int>(measure)) + ", " +
                              std::to_string(type.length) + ", " + std::to_string(codePage) + ")";
    std::vector<std::string> out;
    for (const std::string event : {"INSERT", "UPDATE"}) {
        // Named like the other insert triggers, so that a bulk load of seed rows
        // (already of the right length) lifts it with them.
        const std::string name = "__standin_" + lowerAscii(event) + "_fits_" + table + "_" + column;
        out.push_back("CREATE TRIGGER " + quoteIdent(name) + " BEFORE " + event +
                      (event == "UPDATE" ? " OF " + cq : std::string()) + " ON " + q +
                      " FOR EACH ROW WHEN " + check + " BEGIN SELECT RAISE(ABORT, '" +
                      TruncationMessage + "'); END");
    }
    return out;
}

} // namespace standin::engine
