#pragma once
// Writes the server's token stream into a PacketWriter.
//
// One TokenWriter serves one connection. resultBegin() remembers the wire form
// of the current result's columns so that row() encodes each cell straight into
// the outgoing packets. Byte layouts follow TDS 7.4.
#include "standin/engine/EngineApi.h"
#include "standin/tds/Packet.h"
#include "standin/tds/TypeInfo.h"

#include <string>
#include <vector>

namespace standin::tds {

enum Token : uint8_t {
    TokenReturnStatus = 0x79,
    TokenColMetadata = 0x81,
    TokenTabName = 0xA4,
    TokenColInfo = 0xA5,
    TokenError = 0xAA,
    TokenInfo = 0xAB,
    TokenReturnValue = 0xAC,
    TokenLoginAck = 0xAD,
    TokenRow = 0xD1,
    TokenNbcRow = 0xD2,
    TokenEnvChange = 0xE3,
    TokenDone = 0xFD,
    TokenDoneProc = 0xFE,
    TokenDoneInProc = 0xFF,
};

enum DoneStatus : uint16_t {
    DoneFinal = 0x00,
    DoneMore = 0x01,
    DoneError = 0x02,
    DoneInTransaction = 0x04,
    DoneCount = 0x10,
    DoneAttention = 0x20,
};

enum EnvChangeType : uint8_t {
    EnvDatabase = 1,
    EnvLanguage = 2,
    EnvPacketSize = 4,
    EnvCollation = 7,
    EnvBeginTransaction = 8,
    EnvCommitTransaction = 9,
    EnvRollbackTransaction = 10,
};

/// The server name carried by ERROR and INFO tokens.
inline constexpr std::u16string_view kServerName = u"VELKIN";

class TokenWriter {
public:
    explicit TokenWriter(PacketWriter& out) : out_(out) {}

    /// COLMETADATA, then TABNAME and COLINFO when the result carries base tables.
    void columnMetadata(const ResultMeta& meta);
    /// ROW, or NBCROW when some cell is NULL; one value per column of the last metadata.
    void row(std::span<const Value> values);
    void done(Token token, uint16_t status, uint16_t curCmd, uint64_t rowCount);
    void message(const ServerMessage& msg);
    void envChange(EnvChangeType type, std::u16string_view newValue, std::u16string_view oldValue);
    void envChangeBytes(EnvChangeType type, std::span<const uint8_t> newValue,
                        std::span<const uint8_t> oldValue);
    void collationChange(const Collation& collation);
    void loginAck(uint32_t tdsVersion, std::u16string_view programName);
    void returnStatus(int32_t status);
    /// RETURNVALUE for an output parameter (ordinal counts from 0).
    void returnValue(uint16_t ordinal, const Param& param);

    size_t columnCount() const { return columns_.size(); }

private:
    void tableNames(const ResultMeta& meta);
    void columnInfo(const ResultMeta& meta);
    void bytes(const std::vector<uint8_t>& b) { out_.put(b.data(), b.size()); }

    PacketWriter& out_;
    std::vector<WireColumn> columns_;
    std::vector<uint8_t> nullBitmap_;
};

} // namespace standin::tds
