#pragma once
// Writes a set of product settings that the window can read: a registry file in
// the ".reg" export format whose key holds ServerPath, and a NOVIXSYS.INI with the
// address, port, login and password scrambled by the window's own key. Used by the
// demo and by the tests; the window itself never writes settings.
#include "platform/Strings.h"

#include <optional>

namespace demosettings {

using platform::AnsiString;

struct ConnectionValues {
    AnsiString ip;
    AnsiString port;
    AnsiString login;
    AnsiString password;
    AnsiString ttrsDatabase;
};

/// Writes `registryFile` holding HKEY_LOCAL_MACHINE + `keyPath` and, when given,
/// its string value ServerPath. Throws std::runtime_error when the file cannot be written.
void WriteRegistryFile(const AnsiString& registryFile, const AnsiString& keyPath,
                       const std::optional<AnsiString>& serverPath);

/// Writes `folder`/NOVIXSYS.INI with section DBConnection: the four scrambled values
/// and the plain TTRS database name. Throws std::runtime_error on failure.
void WriteSettingsFile(const AnsiString& folder, const ConnectionValues& values);

} // namespace demosettings
