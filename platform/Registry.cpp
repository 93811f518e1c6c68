// The registry file is parsed whole on every OpenKey, so that it is read fresh
// as the Windows registry would be. Creating a key appends its section to the
// file's bytes as they were read, in the file's own encoding and line ends, so
// nothing already in the file is rewritten or lost. A file that is not a
// registry export is never written: it reads as unreadable.
#include "platform/Registry.h"

#include "platform/CodePageConv.h"
#include "platform/FileBytes.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace platform {
namespace {

constexpr std::string_view kRootName = "HKEY_LOCAL_MACHINE";
constexpr std::string_view kHeader5 = "Windows Registry Editor Version 5.00";
constexpr std::string_view kHeader4 = "REGEDIT4";
constexpr CodePage kUtf8 = 65001;

AnsiString lowered(std::string_view text) {
    AnsiString result(text);
    for (char& c : result) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return result;
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
        text.remove_suffix(1);
    return text;
}

WideString utf16FromLittleEndian(std::string_view bytes) {
    WideString text(bytes.size() / 2, u'\0');
    for (size_t i = 0; i < text.size(); ++i) {
        text[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                        static_cast<unsigned char>(bytes[2 * i + 1]) << 8);
    }
    return text;
}

std::string littleEndianFromUtf16(std::u16string_view text) {
    std::string bytes;
    bytes.reserve(text.size() * 2);
    for (char16_t unit : text) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    return bytes;
}

/// A key path below the root without leading, trailing or doubled "\"; nullopt
/// when it holds a character that cannot be written into a section header.
std::optional<AnsiString> normalizedKeyPath(std::string_view path) {
    AnsiString result;
    for (char c : path) {
        if (static_cast<unsigned char>(c) < 0x20)
            return std::nullopt;
        if (c == '\\' && (result.empty() || result.back() == '\\'))
            continue;
        result += c;
    }
    while (!result.empty() && result.back() == '\\')
        result.pop_back();
    return result;
}

/// Reads a quoted .reg string starting at text[0] == '"'; advances `text` past it.
std::optional<AnsiString> readQuoted(std::string_view& text) {
    AnsiString value;
    for (size_t i = 1; i < text.size(); ++i) {
        char c = text[i];
        if (c == '"') {
            text.remove_prefix(i + 1);
            return value;
        }
        if (c == '\\' && i + 1 < text.size() && (text[i + 1] == '\\' || text[i + 1] == '"'))
            c = text[++i];
        value += c;
    }
    return std::nullopt;
}

/// The text of a hex(1) / hex(2) value: UTF-16LE bytes in a version 5 file,
/// code page bytes in a REGEDIT4 one; the terminating zero is dropped.
AnsiString stringFromHexBytes(std::string_view hexList, bool utf16) {
    std::string bytes;
    int digits = 0;
    unsigned value = 0;
    for (char c : hexList) {
        int nibble = -1;
        if (c >= '0' && c <= '9')
            nibble = c - '0';
        else if (c >= 'a' && c <= 'f')
            nibble = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            nibble = c - 'A' + 10;
        if (nibble >= 0) {
            value = value * 16 + static_cast<unsigned>(nibble);
            if (++digits == 2) {
                bytes += static_cast<char>(value);
                digits = 0;
                value = 0;
            }
        } else {
            digits = 0;
            value = 0;
        }
    }
    if (!utf16) {
        return bytes.substr(0, bytes.find('\0'));
    }
    WideString text = utf16FromLittleEndian(bytes);
    return WideToMultiByte(kUtf8, std::u16string_view(text).substr(0, text.find(u'\0')));
}

using Values = std::map<AnsiString, AnsiString>;

struct RegistryText {
    bool utf16 = false;
    bool crlf = false;
    bool headerSeen = false;           ///< false for a file of blanks only
    std::map<AnsiString, Values> keys; ///< by lowered path, as the sections name them

    /// True when a section names the key or one of its subkeys.
    bool hasKey(const AnsiString& loweredPath) const {
        if (loweredPath.empty() || keys.contains(loweredPath))
            return true;
        // Subkeys sort right after their parent's path and "\".
        AnsiString prefix = loweredPath + '\\';
        auto subkey = keys.lower_bound(prefix);
        return subkey != keys.end() && subkey->first.starts_with(prefix);
    }
};

/// Parses a registry export; nullopt when the bytes are not one.
std::optional<RegistryText> parseRegistry(const std::string& bytes) {
    RegistryText registry;
    std::string text;
    if (bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE') {
        // A key appended to a file cut off mid-unit would be misaligned and lost.
        if (bytes.size() % 2 != 0)
            return std::nullopt;
        registry.utf16 = true;
        text = WideToMultiByte(kUtf8, utf16FromLittleEndian(std::string_view(bytes).substr(2)));
    } else if (bytes.starts_with("\xEF\xBB\xBF")) {
        text = bytes.substr(3);
    } else {
        text = bytes;
    }
    registry.crlf = text.find("\r\n") != std::string::npos;

    std::string_view rest = text;
    bool headerSeen = false;
    bool version5 = true;
    Values* current = nullptr;
    while (!rest.empty()) {
        auto eol = rest.find('\n');
        std::string_view line = trimmed(rest.substr(0, eol));
        rest = eol == std::string_view::npos ? std::string_view{} : rest.substr(eol + 1);
        if (line.empty() || line.front() == ';')
            continue;
        if (!headerSeen) {
            if (line != kHeader5 && line != kHeader4)
                return std::nullopt;
            headerSeen = true;
            version5 = line == kHeader5;
            continue;
        }
        if (line.front() == '[') {
            current = nullptr;
            auto close = line.rfind(']');
            if (close == std::string_view::npos || line.size() < 2 || line[1] == '-')
                continue;
            std::string_view path = line.substr(1, close - 1);
            std::string_view root = path.substr(0, path.find('\\'));
            if (lowered(root) != lowered(kRootName))
                continue;
            path.remove_prefix(root.size());
            auto normalized = normalizedKeyPath(path);
            if (!normalized)
                continue;
            current = &registry.keys[lowered(*normalized)];
            continue;
        }
        // Hex values continue on the next line after a trailing "\", but never
        // across a blank line: that ends the value, so a key appended after a
        // file's broken last value is still a key.
        std::string joined(line);
        while (!joined.empty() && joined.back() == '\\' && !rest.empty() &&
               joined.find("=hex") != std::string::npos) {
            auto next = rest.find('\n');
            const std::string_view continuation = trimmed(rest.substr(0, next));
            if (continuation.empty())
                break;
            joined.pop_back();
            joined += continuation;
            rest = next == std::string_view::npos ? std::string_view{} : rest.substr(next + 1);
        }
        if (!current)
            continue;
        std::string_view entry = joined;
        AnsiString name;
        if (entry.front() == '@') {
            entry.remove_prefix(1);
        } else if (entry.front() == '"') {
            auto quoted = readQuoted(entry);
            if (!quoted)
                continue;
            name = std::move(*quoted);
        } else {
            continue;
        }
        entry = trimmed(entry);
        if (entry.empty() || entry.front() != '=')
            continue;
        entry = trimmed(entry.substr(1));
        if (entry.starts_with("\"")) {
            if (auto value = readQuoted(entry))
                (*current)[lowered(name)] = std::move(*value);
        } else if (entry.starts_with("hex(1):") || entry.starts_with("hex(2):")) {
            (*current)[lowered(name)] = stringFromHexBytes(entry.substr(7), version5);
        } else if (entry == "-") {
            current->erase(lowered(name));
        }
        // dword, qword, binary and multi-string values carry no string to read.
    }
    if (!headerSeen && !trimmed(text).empty())
        return std::nullopt;
    registry.headerSeen = headerSeen;
    return registry;
}

/// Replaces the file at `path` with `bytes` through a sibling and a rename, so
/// that a reader sees either the old file or the new one, never a part.
bool writeAtomically(const AnsiString& givenPath, const std::string& bytes, mode_t mode) {
    std::error_code error;
    // A link is followed, so that the file it points to is the one replaced.
    std::filesystem::path target = std::filesystem::canonical(givenPath, error);
    if (error)
        target = givenPath;
    const std::string path = target.string();
    if (target.has_parent_path())
        std::filesystem::create_directories(target.parent_path(), error);
    std::string temporary = path + ".XXXXXX";
    int fd = ::mkstemp(temporary.data());
    if (fd < 0)
        return false;
    bool written = true;
    for (size_t offset = 0; written && offset < bytes.size();) {
        ssize_t n = ::write(fd, bytes.data() + offset, bytes.size() - offset);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            written = false;
        else
            offset += static_cast<size_t>(n);
    }
    written = written && ::fchmod(fd, mode) == 0 && ::fsync(fd) == 0;
    written = ::close(fd) == 0 && written;
    if (!written || ::rename(temporary.c_str(), path.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

} // namespace

AnsiString Registry::defaultFilePath() {
    const char* configured = std::getenv("VELKIN_REGISTRY");
    if (configured && *configured)
        return configured;
    return "/etc/velkin/HKEY_LOCAL_MACHINE.reg";
}

Registry::Registry(AnsiString filePath) : filePath_(std::move(filePath)) {}

bool Registry::OpenKey(const AnsiString& keyPath, bool canCreate) {
    CloseKey();
    auto path = normalizedKeyPath(keyPath);
    if (!path)
        return false;
    FileBytes file = ReadFileBytes(filePath_);
    if (file.status == FileReadStatus::Unreadable)
        return false;
    std::optional<RegistryText> registry;
    if (file.status == FileReadStatus::Ok) {
        registry = parseRegistry(file.bytes);
        if (!registry)
            return false;
        AnsiString key = lowered(*path);
        if (registry->hasKey(key)) {
            auto section = registry->keys.find(key);
            openValues_ = section == registry->keys.end() ? Values{} : section->second;
            return true;
        }
    }
    if (!canCreate)
        return false;

    // A new file is written as UTF-8 with CRLF line ends, as a version 5 export.
    std::string bytes = std::move(file.bytes);
    bool utf16 = registry && registry->utf16;
    std::string lineEnd = (!registry || registry->crlf) ? "\r\n" : "\n";
    std::string addition;
    const bool bom = utf16 && bytes.size() == 2;
    if (!bytes.empty() && !bom && !bytes.ends_with(utf16 ? std::string("\n", 1) + '\0' : "\n"))
        addition = lineEnd;
    // A file of blanks only gets the header before its first key.
    if (!registry || !registry->headerSeen)
        addition += std::string(kHeader5) + lineEnd;
    if (!path->empty())
        addition += lineEnd + "[" + std::string(kRootName) + "\\" + *path + "]" + lineEnd;
    if (utf16) {
        if (bytes.empty())
            bytes = "\xFF\xFE";
        bytes += littleEndianFromUtf16(MultiByteToWide(kUtf8, addition));
    } else {
        bytes += addition;
    }

    mode_t mode = 0644;
    struct stat info {};
    if (::stat(filePath_.c_str(), &info) == 0)
        mode = info.st_mode & 07777;
    if (!writeAtomically(filePath_, bytes, mode))
        return false;
    openValues_ = Values{};
    return true;
}

AnsiString Registry::ReadString(const AnsiString& name) const {
    if (!openValues_)
        return {};
    auto value = openValues_->find(lowered(name));
    return value == openValues_->end() ? AnsiString{} : value->second;
}

void Registry::CloseKey() {
    openValues_.reset();
}

} // namespace platform
