#pragma once
// PRELOGIN: the client's option list and the server's answer.
//
// The server never offers encryption (ENCRYPTION = not supported), so the
// client proceeds with a plain LOGIN7. Unknown client options are skipped.
#include <cstdint>
#include <span>
#include <vector>

namespace standin::tds {

struct PreloginRequest {
    uint8_t encryption = 0;
    bool mars = false;
};

/// Parses a client's PRELOGIN payload; throws ProtocolError when malformed.
PreloginRequest parsePrelogin(std::span<const uint8_t> payload);

/// The server's PRELOGIN answer payload.
std::vector<uint8_t> buildPreloginReply(uint32_t threadId);

} // namespace standin::tds
