#pragma once
// Column and parameter types as TDS carries them: the TYPE_INFO written in
// COLMETADATA and RETURNVALUE, the value encodings of ROW tokens, and the
// decoding of typed RPC parameters.
//
// A WireColumn is worked out once per result column so that encoding a row is
// a switch per cell with no allocation. Values are encoded from the engine's
// Value variant; where the variant holds a neighbouring kind (an integer for a
// decimal column, say) it is converted rather than refused, and a value longer
// than a non-(max) column can carry is cut at the column's wire limit so the
// stream stays well formed.
#include "standin/engine/EngineApi.h"
#include "standin/tds/ByteReader.h"
#include "standin/tds/Packet.h"

#include <cstdint>
#include <stdexcept>
#include <vector>

namespace standin::tds {

/// TDS data type tokens.
enum WireType : uint8_t {
    Image = 0x22,
    Text = 0x23,
    Guid = 0x24,
    IntN = 0x26,
    DateN = 0x28,
    TimeN = 0x29,
    DateTime2N = 0x2A,
    DateTimeOffsetN = 0x2B,
    Int1 = 0x30,
    Bit = 0x32,
    Int2 = 0x34,
    Int4 = 0x38,
    DateTime4 = 0x3A,
    Flt4 = 0x3B,
    Money = 0x3C,
    DateTime = 0x3D,
    Flt8 = 0x3E,
    NText = 0x63,
    BitN = 0x68,
    DecimalN = 0x6A,
    NumericN = 0x6C,
    FltN = 0x6D,
    MoneyN = 0x6E,
    DateTimeN = 0x6F,
    Money4 = 0x7A,
    Int8 = 0x7F,
    BigVarBinary = 0xA5,
    BigVarChar = 0xA7,
    BigBinary = 0xAD,
    BigChar = 0xAF,
    NVarChar = 0xE7,
    NChar = 0xEF,
};

/// A well-formed parameter of a type the stand-in does not take; reported to the
/// client as an error, the connection stays open.
class UnsupportedType : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/// Days from 0001-01-01 to 1900-01-01, the offset between DATE and DATETIME day counts.
constexpr int32_t kDaysTo1900 = 693595;

/// A result column's wire form.
struct WireColumn {
    SqlType type = SqlType::Int;
    uint8_t wireType = IntN;
    uint32_t maxLength = 4; ///< bytes; 0xFFFF for PLP
    bool plp = false;
    uint8_t precision = 0;
    uint8_t scale = 0;
    Collation collation;
};

/// Works out the wire form of a column.
WireColumn describeColumn(const ColumnInfo& column);

/// COLMETADATA flags of a column (nullable, updatable, identity, key, hidden).
uint16_t columnFlags(const ColumnInfo& column, bool browse);

/// Writes TYPE_INFO; text types get `tableParts` (COLMETADATA) when non-null.
void writeTypeInfo(PacketWriter& out, const WireColumn& column,
                   const std::vector<std::u16string>* tableParts);

/// Whether a value is SQL NULL.
inline bool isNull(const Value& v) {
    return std::holds_alternative<std::monostate>(v);
}

/// Writes one value in the column's ROW encoding (NULL included).
void writeValue(PacketWriter& out, const WireColumn& column, const Value& value);

/// Reads a parameter's TYPE_INFO and value into `param` (type, storage and value).
/// Throws ProtocolError on malformed input or an unsupported type.
void readParameter(ByteReader& in, Param& param);

/// Points `param.value` at its own storage again (after the Param was moved).
void rebindParameterValue(Param& param);

/// The 5 collation bytes (LCID and flags little-endian, then the sort id).
void writeCollation(PacketWriter& out, const Collation& collation);

} // namespace standin::tds
