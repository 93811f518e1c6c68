#pragma once
// HKEY_LOCAL_MACHINE kept in a text file in the Windows ".reg" export format, so
// that a key exported on Windows can be carried over as it stands.
//
// The file lives at a fixed place for the machine (defaultFilePath), or where the
// environment variable VELKIN_REGISTRY says. Keys are compared without regard to
// case. Creating a key rewrites the file atomically (write a sibling, rename).
#include "platform/Strings.h"

#include <map>
#include <optional>

namespace platform {

class Registry {
public:
    /// The machine's registry file: $VELKIN_REGISTRY when set and not empty, else
    /// /etc/velkin/HKEY_LOCAL_MACHINE.reg.
    static AnsiString defaultFilePath();

    explicit Registry(AnsiString filePath = defaultFilePath());

    /// Opens the key at `keyPath` below HKEY_LOCAL_MACHINE ("\Software\A\B" or
    /// "Software\A\B"). With `canCreate`, a missing key is created and written to
    /// the file. Returns false when the key can neither be opened nor created: the
    /// file cannot be read, or the key is missing and the file cannot be written.
    bool OpenKey(const AnsiString& keyPath, bool canCreate);
    /// Reads a string value of the open key; a missing value or no open key gives "".
    AnsiString ReadString(const AnsiString& name) const;
    void CloseKey();

private:
    AnsiString filePath_;
    std::optional<std::map<AnsiString, AnsiString>> openValues_;
};

} // namespace platform
