#pragma once
// The product's connection settings as the window reads them: a registry value
// names the product's folder, and the settings file in that folder holds the
// server address, port, login, password and the TTRS database name.
//
// Four of the values are stored scrambled: every byte XOR one fixed key. The key
// has its high bit set, so each printable ASCII byte scrambles to a byte >= 0x80;
// such bytes are never blanks, quotes, "=", ";" or line ends, and the INI reader
// returns them exactly as they were written.
#include "platform/Strings.h"

#include <cstdint>

namespace dbsettings {

using platform::AnsiString;

inline constexpr const char* DefaultRegistryKey = "\\Software\\Orvane\\Pelmar4";
inline constexpr const char* ServerPathValue = "ServerPath";
inline constexpr const char* SettingsFileName = "NOVIXSYS.INI";
inline constexpr const char* Section = "DBConnection";
inline constexpr const char* KeyServerIP = "SQLSvrIP";
inline constexpr const char* KeyServerPort = "SQLSvrPort";
inline constexpr const char* KeyLogin = "Login";
inline constexpr const char* KeyPassword = "password";
inline constexpr const char* KeyTTRSDBName = "TTRSDBName";
inline constexpr const char* DefaultTTRSDBName = "PELMAR_TTRS";

/// The one scrambling key of the four scrambled values.
inline constexpr uint8_t ScrambleKey = 0xB7;

/// `text` with every byte XOR `key`; applying it twice gives `text` back.
AnsiString XorText(const AnsiString& text, uint8_t key);

/// Part `n` (1 to 4) of a dotted address: parts 1 to 3 end at the next "." (empty
/// when there is none), part 4 is all that remains. No part is checked for range.
AnsiString GetIPPart(const AnsiString& address, int n);

/// The settings file named by a ServerPath value: the folder with a separator
/// appended unless it already ends in one ("\" or "/"), then the file name.
AnsiString SettingsFilePath(const AnsiString& serverPath);

/// `text` without the characters of codes 0 to 32 at either end.
AnsiString TrimText(const AnsiString& text);

} // namespace dbsettings
