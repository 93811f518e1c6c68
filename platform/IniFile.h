#pragma once
// An INI file read with the Windows profile-string rules: section and key names
// compared without regard to case, the first occurrence wins, values trimmed of
// surrounding blanks with one pair of surrounding quotes removed, ";" comment
// lines, no escape processing, and the value's bytes returned as they were read.
//
// Only the first section of a name is searched; a repeat further down is not.
// A UTF-8 byte order mark is skipped, and a UTF-16LE file with its byte order
// mark is read narrowed to the ANSI code page. A file that is not a regular file
// or exceeds 16 MiB reads as empty.
#include "platform/Strings.h"

#include <vector>

namespace platform {

class IniFile {
public:
    /// Reads the whole file once; a missing or unreadable file reads as empty.
    explicit IniFile(const AnsiString& path);

    AnsiString ReadString(const AnsiString& section, const AnsiString& key,
                          const AnsiString& defaultValue) const;

private:
    struct Entry {
        size_t section; ///< index into sections_
        AnsiString key, value;
    };
    std::vector<AnsiString> sections_;
    std::vector<Entry> entries_;
};

/// True when a regular file of that path exists; any path component may differ
/// in letter case only. Both "\" and "/" separate folders; a relative path is
/// taken from the current folder.
bool FileExists(const AnsiString& path);
/// The path of the existing file FileExists found, or "" when there is none.
AnsiString ResolveFilePath(const AnsiString& path);

} // namespace platform
