#pragma once
// SQL Server column types as the engine declares, stores and reports them.
// A column keeps its declared SQL Server type in the database's own catalogue;
// SQLite only sees a storage affinity: integers and bit as INTEGER, float and
// real as REAL, decimal and money as NUMERIC, character and date types as
// TEXT (UTF-8, dates as "YYYY-MM-DD HH:MM:SS.mmm"), binary types as BLOB.
#include "standin/engine/EngineApi.h"

#include <optional>
#include <string>
#include <string_view>

namespace standin::engine {

struct ColumnType {
    SqlType type = SqlType::Int;
    int32_t length = 4; ///< bytes, or characters for N-types; -1 for (max)
    uint8_t precision = 10;
    uint8_t scale = 0;
};

/// The type named `name` (any case) with its parenthesised arguments, or none
/// for an unknown name. `args` holds 0 to 2 numbers; -1 stands for "max".
std::optional<ColumnType> makeColumnType(std::string_view name, const std::vector<int>& args);
/// The type's lower-case SQL Server name ("nvarchar").
const char* typeName(SqlType type);
/// The type as SQL Server writes it in a definition ("nvarchar(50)", "decimal(18,4)").
std::string typeDefinition(const ColumnType& type);
/// The SQLite column declaration giving the storage affinity and, for text,
/// the TSQL_CI comparison (see Functions.h).
const char* storageDeclaration(SqlType type);

bool isCharType(SqlType type);    ///< char, varchar, text
bool isNCharType(SqlType type);   ///< nchar, nvarchar, ntext
bool isIntegerType(SqlType type); ///< int, smallint, tinyint, bigint, bit
bool isDecimalType(SqlType type); ///< decimal, numeric, money, smallmoney
bool isDateType(SqlType type);    ///< datetime, smalldatetime, date
bool isBinaryType(SqlType type);

/// The ODBC 3 SQL data type code (SQL_INTEGER = 4, SQL_WVARCHAR = -9, ...).
int odbcTypeCode(SqlType type);
/// sp_columns figures: PRECISION, LENGTH, SCALE (-1: NULL), RADIX (-1: NULL),
/// SQL_DATA_TYPE, SQL_DATETIME_SUB (-1: NULL), CHAR_OCTET_LENGTH (-1: NULL), SS_DATA_TYPE.
struct CatalogFigures {
    int32_t precision, length, scale, radix, sqlDataType, datetimeSub, octetLength, ssDataType;
};
CatalogFigures catalogFigures(const ColumnType& type, bool nullable);

} // namespace standin::engine
