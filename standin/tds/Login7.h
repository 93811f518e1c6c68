#pragma once
// LOGIN7: the fields of a client's login request that the server uses.
//
// Strings are UTF-16 as sent; the password arrives obfuscated (each byte's
// nibbles swapped, then XOR 0xA5) and is returned in clear. A FeatureExt
// block is tolerated and ignored.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace standin::tds {

struct Login7 {
    uint32_t tdsVersion = 0;
    uint32_t packetSize = 0; ///< 0: the server's default
    std::u16string hostName;
    std::u16string userName;
    std::u16string password;
    std::u16string appName;
    std::u16string database;
};

/// Parses a LOGIN7 payload; throws ProtocolError when malformed.
Login7 parseLogin7(std::span<const uint8_t> payload);

/// A LOGIN7 payload for `login` (for clients and tests): TDS 7.4, the given
/// packet size, no FeatureExt.
std::vector<uint8_t> buildLogin7(const Login7& login);

/// Undoes the LOGIN7 password obfuscation on UTF-16LE bytes.
std::u16string deobfuscatePassword(std::span<const uint8_t> bytes);

/// Applies the obfuscation (for clients and tests).
std::vector<uint8_t> obfuscatePassword(std::u16string_view password);

} // namespace standin::tds
