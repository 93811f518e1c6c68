#include "app/tools/DemoSettingsWriter.h"

#include "app/DBSettings.h"

#include <fstream>
#include <stdexcept>

namespace demosettings {

namespace {

// Backslashes and quotes are the two characters a .reg string value escapes.
AnsiString RegString(const AnsiString& text) {
    AnsiString out = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"')
            out += '\\';
        out += c;
    }
    return out + "\"";
}

void WriteFile(const AnsiString& path, const AnsiString& content) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << content;
    file.close();
    if (!file)
        throw std::runtime_error("Cannot write " + path);
}

} // namespace

void WriteRegistryFile(const AnsiString& registryFile, const AnsiString& keyPath,
                       const std::optional<AnsiString>& serverPath) {
    AnsiString key = keyPath;
    if (key.empty() || key.front() != '\\')
        key.insert(key.begin(), '\\');
    AnsiString content = "Windows Registry Editor Version 5.00\r\n\r\n";
    content += "[HKEY_LOCAL_MACHINE" + key + "]\r\n";
    if (serverPath)
        content += RegString(dbsettings::ServerPathValue) + "=" + RegString(*serverPath) + "\r\n";
    WriteFile(registryFile, content + "\r\n");
}

void WriteSettingsFile(const AnsiString& folder, const ConnectionValues& values) {
    using dbsettings::ScrambleKey;
    using dbsettings::XorText;
    AnsiString content = AnsiString("[") + dbsettings::Section + "]\r\n";
    auto line = [&content](const char* key, const AnsiString& value) {
        content += AnsiString(key) + "=" + value + "\r\n";
    };
    line(dbsettings::KeyServerIP, XorText(values.ip, ScrambleKey));
    line(dbsettings::KeyServerPort, XorText(values.port, ScrambleKey));
    line(dbsettings::KeyLogin, XorText(values.login, ScrambleKey));
    line(dbsettings::KeyPassword, XorText(values.password, ScrambleKey));
    line(dbsettings::KeyTTRSDBName, values.ttrsDatabase);
    AnsiString path = folder;
    if (!path.empty() && path.back() != '/')
        path += '/';
    WriteFile(path + dbsettings::SettingsFileName, content);
}

} // namespace demosettings
