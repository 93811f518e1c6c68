#include "standin/tds/Login7.h"

#include "standin/tds/ByteReader.h"

namespace standin::tds {

namespace {
constexpr size_t kFixedPartSize = 94;
// Offsets of the (offset, character count) pairs in the fixed part.
constexpr size_t kHostName = 36;
constexpr size_t kUserName = 40;
constexpr size_t kPassword = 44;
constexpr size_t kAppName = 48;
constexpr size_t kDatabase = 68;

std::span<const uint8_t> field(std::span<const uint8_t> payload, size_t at) {
    ByteReader r(payload.subspan(at, 4));
    const size_t offset = r.u16();
    const size_t bytes = size_t{r.u16()} * 2;
    if (bytes == 0)
        return {};
    if (offset > payload.size() || bytes > payload.size() - offset)
        throw ProtocolError("LOGIN7 field points outside the message");
    return payload.subspan(offset, bytes);
}

std::u16string text(std::span<const uint8_t> bytes) {
    ByteReader r(bytes);
    return r.utf16(bytes.size() / 2);
}
} // namespace

std::u16string deobfuscatePassword(std::span<const uint8_t> bytes) {
    std::vector<uint8_t> clear(bytes.begin(), bytes.end());
    for (auto& b : clear) {
        b ^= 0xA5;
        b = static_cast<uint8_t>(b << 4 | b >> 4);
    }
    return text(clear);
}

std::vector<uint8_t> obfuscatePassword(std::u16string_view password) {
    std::vector<uint8_t> out;
    for (char16_t c : password) {
        for (uint8_t b : {static_cast<uint8_t>(c), static_cast<uint8_t>(c >> 8)})
            out.push_back(static_cast<uint8_t>((b << 4 | b >> 4) ^ 0xA5));
    }
    return out;
}

Login7 parseLogin7(std::span<const uint8_t> payload) {
    if (payload.size() < kFixedPartSize)
        throw ProtocolError("LOGIN7 shorter than its fixed part");
    ByteReader fixed(payload);
    const uint32_t declared = fixed.u32();
    if (declared > payload.size() || declared < kFixedPartSize)
        throw ProtocolError("LOGIN7 length field disagrees with the message");
    Login7 login;
    login.tdsVersion = fixed.u32();
    login.packetSize = fixed.u32();
    login.hostName = text(field(payload, kHostName));
    login.userName = text(field(payload, kUserName));
    login.password = deobfuscatePassword(field(payload, kPassword));
    login.appName = text(field(payload, kAppName));
    login.database = text(field(payload, kDatabase));
    return login;
}

} // namespace standin::tds
