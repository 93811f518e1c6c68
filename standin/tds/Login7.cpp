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

std::vector<uint8_t> buildLogin7(const Login7& login) {
    std::vector<uint8_t> out(kFixedPartSize, 0);
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            out[at + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (8 * i));
    };
    auto put16 = [&](size_t at, size_t v) {
        out[at] = static_cast<uint8_t>(v);
        out[at + 1] = static_cast<uint8_t>(v >> 8);
    };
    put32(4, login.tdsVersion != 0 ? login.tdsVersion : 0x74000004);
    put32(8, login.packetSize);
    out[24] = 0xE0; // OptionFlags1: USE_DB, INIT_DB_FATAL, SET_LANG
    out[25] = 0x03; // OptionFlags2: ODBC, INIT_LANG_FATAL
    auto append = [&](size_t at, const std::vector<uint8_t>& bytes) {
        put16(at, out.size());
        put16(at + 2, bytes.size() / 2);
        out.insert(out.end(), bytes.begin(), bytes.end());
    };
    auto utf16 = [](std::u16string_view s) {
        std::vector<uint8_t> b;
        for (char16_t c : s) {
            b.push_back(static_cast<uint8_t>(c));
            b.push_back(static_cast<uint8_t>(c >> 8));
        }
        return b;
    };
    append(kHostName, utf16(login.hostName));
    append(kUserName, utf16(login.userName));
    append(kPassword, obfuscatePassword(login.password));
    append(kAppName, utf16(login.appName));
    append(kDatabase, utf16(login.database));
    // The remaining (offset, length) pairs point at the end, empty.
    for (size_t at :
         {size_t{52}, size_t{56}, size_t{60}, size_t{64}, size_t{78}, size_t{82}, size_t{86}})
        put16(at, out.size());
    put32(0, static_cast<uint32_t>(out.size()));
    return out;
}

} // namespace standin::tds
