// Only the first section of a name is searched, and within it the first key of
// a name, as the Windows profile reader does. Lines are split on LF with a CR
// before it dropped; a line that is neither a section, a comment nor a
// key=value pair is skipped.
#include "platform/IniFile.h"

#include "platform/CodePageConv.h"
#include "platform/FileBytes.h"

#include <dirent.h>
#include <string_view>
#include <sys/stat.h>
#include <unordered_set>

namespace platform {
namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view trimBlanks(std::string_view text) {
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

std::string_view unquoted(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return value;
}

AnsiString lowered(std::string_view text) {
    AnsiString result(text);
    for (char& c : result) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return result;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

/// The file's text as bytes of the ANSI code page: UTF-16 files are narrowed,
/// a UTF-8 byte order mark is dropped, anything else is taken as it stands.
std::string profileText(const std::string& bytes) {
    if (bytes.starts_with("\xFF\xFE")) {
        WideString text((bytes.size() - 2) / 2, u'\0');
        for (size_t i = 0; i < text.size(); ++i)
            text[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 + 2 * i]) |
                                            static_cast<unsigned char>(bytes[3 + 2 * i]) << 8);
        return WideToAnsi(text);
    }
    if (bytes.starts_with("\xEF\xBB\xBF"))
        return bytes.substr(3);
    return bytes;
}

bool isRegularFile(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool isDirectory(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

/// The entry of `folder` named `name` up to letter case; the exact name wins.
std::string findEntry(const std::string& folder, const std::string& name, bool wantFolder) {
    std::string exact = folder + name;
    if (wantFolder ? isDirectory(exact) : isRegularFile(exact))
        return exact;
    DIR* directory = ::opendir(folder.empty() ? "." : folder.c_str());
    if (!directory)
        return {};
    std::string found;
    while (dirent* entry = ::readdir(directory)) {
        std::string candidate = folder + entry->d_name;
        if (equalsIgnoringCase(entry->d_name, name) &&
            (wantFolder ? isDirectory(candidate) : isRegularFile(candidate)) &&
            (found.empty() || candidate < found))
            found = candidate;
    }
    ::closedir(directory);
    return found;
}

} // namespace

IniFile::IniFile(const AnsiString& path) {
    FileBytes file = ReadFileBytes(ResolveFilePath(path));
    if (file.status != FileReadStatus::Ok)
        return;
    const std::string text = profileText(file.bytes);
    std::string_view rest = text;
    std::string_view section;
    bool inSection = false;
    std::unordered_set<AnsiString> sectionsSeen; // lowered names
    while (!rest.empty()) {
        auto eol = rest.find('\n');
        std::string_view line = rest.substr(0, eol);
        rest = eol == std::string_view::npos ? std::string_view{} : rest.substr(eol + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        line = trimBlanks(line);
        if (line.empty() || line.front() == ';')
            continue;
        if (line.front() == '[') {
            auto close = line.find(']');
            section =
                trimBlanks(line.substr(1, close == std::string_view::npos ? line.npos : close - 1));
            // A section repeated further down is not searched: the first one answers.
            inSection = sectionsSeen.insert(lowered(section)).second;
            if (inSection)
                sections_.emplace_back(section);
            continue;
        }
        auto equals = line.find('=');
        if (!inSection || equals == std::string_view::npos)
            continue;
        std::string_view key = trimBlanks(line.substr(0, equals));
        if (key.empty())
            continue;
        // Entries refer to their section by index: a long section name with many
        // keys below it must not be copied once per key.
        entries_.push_back({sections_.size() - 1, AnsiString(key),
                            AnsiString(unquoted(trimBlanks(line.substr(equals + 1))))});
    }
}

AnsiString IniFile::ReadString(const AnsiString& section, const AnsiString& key,
                               const AnsiString& defaultValue) const {
    for (const auto& entry : entries_) {
        if (equalsIgnoringCase(entry.key, key) &&
            equalsIgnoringCase(sections_[entry.section], section))
            return entry.value;
    }
    // As the profile reader does, the default loses its trailing blanks.
    std::string_view fallback = defaultValue;
    while (!fallback.empty() && isBlank(fallback.back()))
        fallback.remove_suffix(1);
    return AnsiString(fallback);
}

bool FileExists(const AnsiString& path) {
    return !ResolveFilePath(path).empty();
}

AnsiString ResolveFilePath(const AnsiString& path) {
    std::string normalized = path;
    for (char& c : normalized) {
        if (c == '\\')
            c = '/';
    }
    if (normalized.empty() || normalized.back() == '/')
        return {};
    if (isRegularFile(normalized))
        return normalized;
    // Walk the path, matching each component up to letter case.
    std::string resolved = normalized.front() == '/' ? "/" : "";
    size_t start = 0;
    while (start < normalized.size()) {
        size_t slash = normalized.find('/', start);
        bool last = slash == std::string::npos;
        std::string component = normalized.substr(start, last ? std::string::npos : slash - start);
        start = last ? normalized.size() : slash + 1;
        if (component.empty() || component == ".")
            continue;
        if (component == "..") {
            resolved += "../";
            continue;
        }
        std::string found = findEntry(resolved, component, !last);
        if (found.empty())
            return {};
        resolved = last ? found : found + "/";
    }
    return resolved;
}

} // namespace platform
