// The INI reader on arbitrary file contents. Properties:
// - section and key names compare without regard to case;
// - a key that is not there gives the caller's default, whatever it is;
// - a value never spans a line;
// - the first occurrence answers: text appended after the file changes no value
//   that was found, and a key only the appended section holds is found there;
// - a scrambled value (every byte XOR 0xB7) reads back byte for byte whatever
//   printable text it scrambles, so the settings' passwords survive the file.
#include "app/DBSettings.h"
#include "fuzz/FuzzCheck.h"
#include "fuzz/ScratchFile.h"
#include "platform/IniFile.h"

#include <optional>
#include <string>

namespace {

using platform::AnsiString;
using platform::IniFile;

constexpr const char* kDefaultA = "\x01-default-a";
constexpr const char* kDefaultB = "\x01-default-b";

/// The value, or nothing when the key is missing (both defaults come back).
std::optional<AnsiString> lookUp(const IniFile& ini, const AnsiString& section,
                                 const AnsiString& key) {
    const AnsiString a = ini.ReadString(section, key, kDefaultA);
    const AnsiString b = ini.ReadString(section, key, kDefaultB);
    if (a != b) {
        FUZZ_CHECK(a == kDefaultA && b == kDefaultB, "a missing key gives the default");
        return std::nullopt;
    }
    FUZZ_CHECK(a.find('\n') == AnsiString::npos, "a value never spans a line");
    return a;
}

AnsiString upper(AnsiString text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return text;
}

void checkScrambledRoundTrip(const std::string& input) {
    AnsiString password;
    for (char c : input)
        if (c >= 0x20 && c <= 0x7E)
            password += c;
    fuzz::ScratchFile file("scrambled.ini");
    file.write("[DBConnection]\r\npassword=" +
               dbsettings::XorText(password, dbsettings::ScrambleKey) + "\r\n");
    const IniFile ini(file.path());
    const AnsiString read = ini.ReadString(dbsettings::Section, dbsettings::KeyPassword, "");
    FUZZ_CHECK(dbsettings::XorText(read, dbsettings::ScrambleKey) == password,
               "a scrambled password reads back as written");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    fuzz::ScratchFile file("NOVIXSYS.INI");
    file.write(input);

    const AnsiString section = "DBConnection", key = "SQLSvrIP";
    std::optional<AnsiString> value;
    {
        const IniFile ini(file.path());
        value = lookUp(ini, section, key);
        FUZZ_CHECK(lookUp(ini, upper(section), upper(key)) == value,
                   "names compare without regard to case");
        FUZZ_CHECK(lookUp(ini, "dbconnection", "sqlsvrip") == value,
                   "names compare without regard to case");
        lookUp(ini, section, dbsettings::KeyPassword);
        lookUp(ini, "", "");
    }

    // A UTF-16 file would be misaligned by appended bytes; only byte files take them.
    if (!input.starts_with("\xFF\xFE")) {
        file.write(input + "\n[DBConnection]\nSQLSvrIP=appended\n");
        const IniFile ini(file.path());
        const std::optional<AnsiString> afterAppend = lookUp(ini, section, key);
        if (value)
            FUZZ_CHECK(afterAppend == value, "the first occurrence of a key answers");
        else
            FUZZ_CHECK(!afterAppend || *afterAppend == "appended",
                       "appended text adds no other value");
    }
    checkScrambledRoundTrip(input);
    return 0;
}
