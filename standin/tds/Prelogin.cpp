#include "standin/tds/Prelogin.h"

#include "standin/tds/ByteReader.h"

namespace standin::tds {

namespace {
enum Option : uint8_t {
    Version = 0x00,
    Encryption = 0x01,
    InstOpt = 0x02,
    ThreadId = 0x03,
    Mars = 0x04,
    Terminator = 0xFF,
};
constexpr uint8_t kEncryptNotSupported = 0x02;
} // namespace

PreloginRequest parsePrelogin(std::span<const uint8_t> payload) {
    PreloginRequest request;
    ByteReader options(payload);
    for (;;) {
        const uint8_t option = options.u8();
        if (option == Terminator)
            break;
        const size_t offset = options.u16be();
        const size_t length = options.u16be();
        if (offset > payload.size() || length > payload.size() - offset)
            throw ProtocolError("PRELOGIN option points outside the message");
        ByteReader value(payload.subspan(offset, length));
        if (option == Encryption && length >= 1)
            request.encryption = value.u8();
        else if (option == Mars && length >= 1)
            request.mars = value.u8() != 0;
    }
    return request;
}

std::vector<uint8_t> buildPreloginReply(uint32_t threadId) {
    struct Entry {
        uint8_t option;
        std::vector<uint8_t> value;
    };
    const std::vector<Entry> entries = {
        // 16.0.1000, sub-build 0: a version recent clients accept for TDS 7.4.
        {Version, {0x10, 0x00, 0x03, 0xE8, 0x00, 0x00}},
        {Encryption, {kEncryptNotSupported}},
        {InstOpt, {0x00}},
        {ThreadId,
         {static_cast<uint8_t>(threadId >> 24), static_cast<uint8_t>(threadId >> 16),
          static_cast<uint8_t>(threadId >> 8), static_cast<uint8_t>(threadId)}},
        {Mars, {0x00}},
    };
    std::vector<uint8_t> out;
    size_t offset = entries.size() * 5 + 1;
    for (const auto& e : entries) {
        out.push_back(e.option);
        out.push_back(static_cast<uint8_t>(offset >> 8));
        out.push_back(static_cast<uint8_t>(offset));
        out.push_back(0);
        out.push_back(static_cast<uint8_t>(e.value.size()));
        offset += e.value.size();
    }
    out.push_back(Terminator);
    for (const auto& e : entries)
        out.insert(out.end(), e.value.begin(), e.value.end());
    return out;
}

} // namespace standin::tds
