#pragma once
// Whole-file reads with a size limit, for the small text files the platform
// layer parses (registry export, settings file, locale configuration). Only
// regular files are read, so a folder, a pipe or a device never blocks or
// floods a reader; a file above the limit is refused rather than cut short.
#include <cstddef>
#include <string>

namespace platform {

/// No settings or registry file of this program comes near this size.
constexpr std::size_t kMaxFileBytes = 16u * 1024u * 1024u;

enum class FileReadStatus {
    Ok,
    Missing,    ///< no such file
    Unreadable, ///< not a regular file, no permission, an I/O error, or too large
};

struct FileBytes {
    FileReadStatus status = FileReadStatus::Missing;
    std::string bytes;
};

/// Reads the file at `path` whole when it is a regular file of at most `limit` bytes.
FileBytes ReadFileBytes(const std::string& path, std::size_t limit = kMaxFileBytes);

} // namespace platform
