#include "standin/tds/Request.h"

#include "standin/tds/ByteReader.h"
#include "standin/tds/TypeInfo.h"

namespace standin::tds {

namespace {
constexpr uint16_t kProcIdMarker = 0xFFFF;
constexpr uint8_t kBatchSeparator = 0xFF;
constexpr uint8_t kOldBatchSeparator = 0x80;
constexpr uint8_t kByRefValue = 0x01;
} // namespace

std::span<const uint8_t> skipAllHeaders(std::span<const uint8_t> payload) {
    ByteReader r(payload);
    const uint32_t total = r.u32();
    if (total < 4 || total > payload.size())
        throw ProtocolError("ALL_HEADERS length disagrees with the message");
    // Each header states its own length; check they tile the block exactly.
    size_t at = 4;
    while (at < total) {
        ByteReader h(payload.subspan(at, total - at));
        const uint32_t length = h.u32();
        if (length < 6 || length > total - at)
            throw ProtocolError("bad header in ALL_HEADERS");
        at += length;
    }
    return payload.subspan(total);
}

std::u16string parseSqlBatch(std::span<const uint8_t> payload) {
    const auto text = skipAllHeaders(payload);
    if (text.size() % 2 != 0)
        throw ProtocolError("SQL batch text has an odd byte count");
    ByteReader r(text);
    return r.utf16(text.size() / 2);
}

std::vector<uint8_t> buildSqlBatch(std::u16string_view sql) {
    // ALL_HEADERS: total length 22, one transaction descriptor header of 18
    // bytes (type 2, descriptor 0, one outstanding request).
    std::vector<uint8_t> out = {22, 0, 0, 0, 18, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0};
    for (char16_t c : sql) {
        out.push_back(static_cast<uint8_t>(c));
        out.push_back(static_cast<uint8_t>(c >> 8));
    }
    return out;
}

std::u16string_view procedureForId(uint16_t procId) {
    static constexpr std::u16string_view kNames[] = {
        u"",
        u"sp_cursor",
        u"sp_cursoropen",
        u"sp_cursorprepare",
        u"sp_cursorexecute",
        u"sp_cursorprepexec",
        u"sp_cursorunprepare",
        u"sp_cursorfetch",
        u"sp_cursoroption",
        u"sp_cursorclose",
        u"sp_executesql",
        u"sp_prepare",
        u"sp_execute",
        u"sp_prepexec",
        u"sp_prepexecrpc",
        u"sp_unprepare",
    };
    return procId < std::size(kNames) ? kNames[procId] : std::u16string_view();
}

std::vector<RpcCall> parseRpc(std::span<const uint8_t> payload) {
    ByteReader r(skipAllHeaders(payload));
    std::vector<RpcCall> calls;
    for (;;) {
        RpcCall call;
        const uint16_t nameLength = r.u16();
        if (nameLength == kProcIdMarker) {
            call.procId = r.u16();
            // Id 0 names no procedure, as a name of no characters does not.
            if (call.procId == 0)
                throw ProtocolError("RPC without a procedure name");
            call.procedure = std::u16string(procedureForId(call.procId));
        } else {
            if (nameLength == 0)
                throw ProtocolError("RPC without a procedure name");
            call.procedure = r.utf16(nameLength);
        }
        r.u16(); // option flags
        while (!r.atEnd() && r.peek() != kBatchSeparator && r.peek() != kOldBatchSeparator) {
            Param param;
            param.name = r.bVarchar();
            param.output = (r.u8() & kByRefValue) != 0;
            readParameter(r, param);
            call.params.push_back(std::move(param));
        }
        // Moving a Param may move its text out from under the value's view.
        for (auto& param : call.params)
            rebindParameterValue(param);
        calls.push_back(std::move(call));
        if (r.atEnd())
            return calls;
        r.u8();
        if (r.atEnd())
            return calls;
    }
}

TransactionRequest parseTransactionRequest(std::span<const uint8_t> payload) {
    // Clients differ on whether ALL_HEADERS precedes the request; a leading
    // length that fits the message says it does.
    const uint32_t lead = payload.size() >= 4 ? ByteReader(payload).u32() : 0;
    const bool hasHeaders = lead >= 4 && lead <= payload.size();
    ByteReader r(hasHeaders ? skipAllHeaders(payload) : payload);
    TransactionRequest request;
    const uint16_t type = r.u16();
    if (type == 5) {
        request.kind = TransactionKind::Begin;
    } else if (type == 7 || type == 8) {
        request.kind = type == 7 ? TransactionKind::Commit : TransactionKind::Rollback;
        // A transaction name, then the flag that begins the next transaction
        // (both optional in the shortest form).
        if (!r.atEnd())
            r.bVarchar();
        if (!r.atEnd())
            request.beginNext = (r.u8() & 0x01) != 0;
    }
    return request;
}

} // namespace standin::tds
