#pragma once
// Decoding of the client's requests: SQL_BATCH text, RPC calls with typed
// parameters and TRANS_MGR requests.
//
// Every decoder works on a complete message held in memory and throws
// ProtocolError when the bytes do not add up, UnsupportedType when a
// parameter is well formed but of a type the stand-in does not take.
#include "standin/engine/EngineApi.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace standin::tds {

/// The message after its ALL_HEADERS block (which is checked, then ignored).
std::span<const uint8_t> skipAllHeaders(std::span<const uint8_t> payload);

/// A SQL_BATCH message's statement text.
std::u16string parseSqlBatch(std::span<const uint8_t> payload);

/// A SQL_BATCH payload for `sql` with an ALL_HEADERS block naming no transaction
/// (for clients and tests).
std::vector<uint8_t> buildSqlBatch(std::u16string_view sql);

struct RpcCall {
    std::u16string procedure; ///< by name, or the well-known name of its ProcID
    uint16_t procId = 0;      ///< 0 when called by name
    std::vector<Param> params;
};

/// The well-known procedure of a ProcID; empty when there is none.
std::u16string_view procedureForId(uint16_t procId);

/// The calls of an RPC message (usually one).
std::vector<RpcCall> parseRpc(std::span<const uint8_t> payload);

enum class TransactionKind { Begin, Commit, Rollback, Other };

struct TransactionRequest {
    TransactionKind kind = TransactionKind::Other;
    /// Commit or rollback asks for a new transaction to begin at once (the
    /// driver's way of staying in manual-commit mode).
    bool beginNext = false;
};

/// Decodes a TRANS_MGR request.
TransactionRequest parseTransactionRequest(std::span<const uint8_t> payload);

} // namespace standin::tds
