// Locale names are reduced to language and territory ("zh_TW.UTF-8@x" →
// "zh_TW") before they are mapped; the code pages are those Windows assigns to
// the same language and territory.
#include "platform/Locale.h"

#include "platform/FileBytes.h"

#include <atomic>
#include <charconv>
#include <cstdlib>
#include <string_view>

namespace platform {
namespace {

constexpr const char* kFallbackLocale = "en_US";

char asciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}
char asciiUpper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

/// "zh_tw.UTF-8@euro" → "zh_TW"; "C", "POSIX" and "" → "".
AnsiString normalizeLocale(std::string_view name) {
    auto end = name.find_first_of(".@");
    if (end != std::string_view::npos)
        name = name.substr(0, end);
    if (name == "C" || name == "POSIX")
        return {};
    AnsiString result;
    bool territory = false;
    for (char c : name) {
        if (c == '_' || c == '-') {
            territory = true;
            result += '_';
        } else {
            result += territory ? asciiUpper(c) : asciiLower(c);
        }
    }
    return result;
}

const char* environmentValue(const char* variable) {
    const char* value = std::getenv(variable);
    return (value && *value) ? value : nullptr;
}

/// The LANG or LC_ALL of a shell-style assignment file; LC_ALL wins.
AnsiString rawLocaleFromConfigFile(const AnsiString& path) {
    FileBytes file = ReadFileBytes(path, 64 * 1024);
    if (file.status != FileReadStatus::Ok)
        return {};
    AnsiString lang, all;
    std::string_view text = file.bytes;
    while (!text.empty()) {
        auto eol = text.find('\n');
        std::string_view line = text.substr(0, eol);
        text = eol == std::string_view::npos ? std::string_view{} : text.substr(eol + 1);
        while (!line.empty() && (line.front() == ' ' || line.front() == '\t'))
            line.remove_prefix(1);
        if (line.starts_with("export "))
            line.remove_prefix(7);
        auto equals = line.find('=');
        if (equals == std::string_view::npos)
            continue;
        std::string_view variable = line.substr(0, equals);
        std::string_view value = line.substr(equals + 1);
        while (!value.empty() &&
               (value.back() == '\r' || value.back() == ' ' || value.back() == '\t'))
            value.remove_suffix(1);
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
            value.back() == value.front())
            value = value.substr(1, value.size() - 2);
        if (variable == "LANG" && lang.empty())
            lang = value;
        else if (variable == "LC_ALL" && all.empty())
            all = value;
    }
    return all.empty() ? lang : all;
}

AnsiString configuredSystemLocale() {
    for (const char* path : {"/etc/default/locale", "/etc/locale.conf"}) {
        AnsiString name = LocaleFromConfigFile(path);
        if (!name.empty())
            return name;
    }
    return kFallbackLocale;
}

struct LocaleEntry {
    std::string_view language;
    std::string_view territory; ///< empty: every territory not listed before
    LocaleCodePages codePages;
    uint16_t lcid;
};

// First match wins, so a territory entry precedes its language's catch-all.
constexpr LocaleEntry kLocales[] = {
    {"zh", "TW", {950, 950}, 0x0404},  {"zh", "HK", {950, 950}, 0x0C04},
    {"zh", "MO", {950, 950}, 0x1404},  {"zh", "SG", {936, 936}, 0x1004},
    {"zh", "", {936, 936}, 0x0804},    {"ja", "", {932, 932}, 0x0411},
    {"ko", "", {949, 949}, 0x0412},    {"en", "GB", {850, 1252}, 0x0809},
    {"en", "IE", {850, 1252}, 0x1809}, {"en", "AU", {850, 1252}, 0x0C09},
    {"en", "NZ", {850, 1252}, 0x1409}, {"en", "CA", {850, 1252}, 0x1009},
    {"en", "", {437, 1252}, 0x0409},   {"de", "", {850, 1252}, 0x0407},
    {"fr", "", {850, 1252}, 0x040C},   {"es", "", {850, 1252}, 0x0C0A},
    {"it", "", {850, 1252}, 0x0410},   {"nl", "", {850, 1252}, 0x0413},
    {"pt", "", {850, 1252}, 0x0816},   {"sv", "", {850, 1252}, 0x041D},
    {"da", "", {850, 1252}, 0x0406},   {"fi", "", {850, 1252}, 0x040B},
    {"no", "", {850, 1252}, 0x0414},   {"nb", "", {850, 1252}, 0x0414},
    {"nn", "", {850, 1252}, 0x0814},   {"is", "", {850, 1252}, 0x040F},
    {"ca", "", {850, 1252}, 0x0403},   {"eu", "", {850, 1252}, 0x042D},
    {"gl", "", {850, 1252}, 0x0456},   {"ga", "", {850, 1252}, 0x083C},
    {"ru", "", {866, 1251}, 0x0419},   {"uk", "", {866, 1251}, 0x0422},
    {"be", "", {866, 1251}, 0x0423},   {"bg", "", {866, 1251}, 0x0402},
    {"pl", "", {852, 1250}, 0x0415},   {"cs", "", {852, 1250}, 0x0405},
    {"sk", "", {852, 1250}, 0x041B},   {"hu", "", {852, 1250}, 0x040E},
    {"ro", "", {852, 1250}, 0x0418},   {"hr", "", {852, 1250}, 0x041A},
    {"sl", "", {852, 1250}, 0x0424},   {"el", "", {737, 1253}, 0x0408},
    {"tr", "", {857, 1254}, 0x041F},   {"he", "", {862, 1255}, 0x040D},
    {"ar", "", {720, 1256}, 0x0401},   {"et", "", {775, 1257}, 0x0425},
    {"lv", "", {775, 1257}, 0x0426},   {"lt", "", {775, 1257}, 0x0427},
    {"vi", "", {1258, 1258}, 0x042A},  {"th", "", {874, 874}, 0x041E},
};

constexpr LocaleEntry kUsEnglish = {"en", "US", {437, 1252}, 0x0409};

const LocaleEntry& entryFor(const AnsiString& localeName) {
    AnsiString normalized = normalizeLocale(localeName);
    std::string_view name = normalized;
    std::string_view language = name.substr(0, name.find('_'));
    std::string_view territory;
    if (auto underscore = name.find('_'); underscore != std::string_view::npos)
        territory = name.substr(underscore + 1);
    for (const auto& entry : kLocales) {
        if (entry.language == language && (entry.territory.empty() || entry.territory == territory))
            return entry;
    }
    return kUsEnglish;
}

const LocaleEntry* entryForLcid(uint32_t lcid) {
    for (const auto& entry : kLocales) {
        if (entry.lcid == lcid)
            return &entry;
    }
    return nullptr;
}

/// -1: no test has set the family; 0 or 1: the family a test set (1 = NT).
std::atomic<int> ntPlatformForTesting{-1};

bool isBlankOrControl(char c) {
    auto byte = static_cast<unsigned char>(c);
    return byte <= 0x20 || byte == 0x7F;
}

} // namespace

AnsiString LocaleFromConfigFile(const AnsiString& path) {
    return normalizeLocale(rawLocaleFromConfigFile(path));
}

AnsiString SystemLocaleName() {
    if (const char* value = environmentValue("VELKIN_SYSTEM_LOCALE")) {
        AnsiString name = normalizeLocale(value);
        return name.empty() ? AnsiString(kFallbackLocale) : name;
    }
    // The machine's configuration is a start-up fact: read it once.
    static const AnsiString configured = configuredSystemLocale();
    return configured;
}

AnsiString UserLocaleName() {
    for (const char* variable : {"VELKIN_USER_LOCALE", "LC_ALL", "LC_CTYPE", "LANG"}) {
        if (const char* value = environmentValue(variable)) {
            AnsiString name = normalizeLocale(value);
            return name.empty() ? AnsiString(kFallbackLocale) : name;
        }
    }
    return kFallbackLocale;
}

LocaleCodePages CodePagesForLocale(const AnsiString& localeName) {
    return entryFor(localeName).codePages;
}

uint16_t LocaleIdentifier(const AnsiString& localeName) {
    return entryFor(localeName).lcid;
}

AnsiString GetLocaleInfoA(uint32_t locale, uint32_t infoType) {
    constexpr uint32_t kNoUserOverride = 0x80000000u;
    infoType &= ~kNoUserOverride;
    LocaleCodePages codePages{};
    if (locale == LOCALE_SYSTEM_DEFAULT)
        codePages = CodePagesForLocale(SystemLocaleName());
    else if (locale == LOCALE_USER_DEFAULT)
        codePages = CodePagesForLocale(UserLocaleName());
    else if (const LocaleEntry* entry = entryForLcid(locale))
        codePages = entry->codePages;
    else
        return {};
    if (infoType == LOCALE_IDEFAULTCODEPAGE)
        return std::to_string(codePages.oem);
    if (infoType == LOCALE_IDEFAULTANSICODEPAGE)
        return std::to_string(codePages.ansi);
    return {};
}

CodePage GetACP() {
    return CodePagesForLocale(SystemLocaleName()).ansi;
}

CodePage ReadDefaultCodePage(uint32_t locale) {
    return CodePageFromLocaleAnswer(GetLocaleInfoA(locale, LOCALE_IDEFAULTCODEPAGE));
}

CodePage CodePageFromLocaleAnswer(const AnsiString& answer) {
    std::string_view text(answer.c_str()); // up to the terminator
    while (!text.empty() && isBlankOrControl(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlankOrControl(text.back()))
        text.remove_suffix(1);
    if (text.starts_with('+'))
        text.remove_prefix(1);
    int32_t number = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    // Empty text, trailing garbage and numbers beyond 32 bits are not numbers.
    if (text.empty() || error != std::errc{} || end != text.data() + text.size())
        return GetACP();
    return static_cast<CodePage>(static_cast<uint32_t>(number) & 0xFFFFu);
}

bool IsNTPlatform() {
    if (int forced = ntPlatformForTesting.load(); forced >= 0)
        return forced == 1;
    if (const char* value = environmentValue("VELKIN_PLATFORM_FAMILY")) {
        AnsiString family;
        for (const char* c = value; *c; ++c)
            family += asciiLower(*c);
        return family != "9x";
    }
    return true;
}

void SetNTPlatformForTesting(bool isNT) {
    ntPlatformForTesting.store(isNT ? 1 : 0);
}

void ResetPlatformForTesting() {
    ntPlatformForTesting.store(-1);
}

} // namespace platform
