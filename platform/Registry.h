#pragma once
// HKEY_LOCAL_MACHINE kept in a text file in the Windows ".reg" export format, so
// that a key exported on Windows can be carried over as it stands.
//
// The file lives at a fixed place for the machine (defaultFilePath), or where the
// environment variable VELKIN_REGISTRY says. Keys are compared without regard to
// case. Creating a key rewrites the file atomically (write a sibling, rename).
//
// The file may be UTF-8 (with or without a byte order mark, CRLF or LF) or
// UTF-16LE with a byte order mark as regedit writes it; its header line is
// "Windows Registry Editor Version 5.00" or "REGEDIT4". String values ("..."
// with \\ and \" escapes) and hex(1)/hex(2) strings can be read; other value
// kinds read as "". Text from a UTF-16 file is returned as UTF-8. A key whose
// subkeys are listed exists even without a section of its own. A file that is
// not such an export, or larger than 16 MiB, counts as unreadable and is never
// written; a created key is appended to the file's bytes in its own encoding.
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
