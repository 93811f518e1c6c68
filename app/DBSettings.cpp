#include "app/DBSettings.h"

namespace dbsettings {

AnsiString XorText(const AnsiString& text, uint8_t key) {
    AnsiString result = text;
    for (char& c : result)
        c = static_cast<char>(static_cast<uint8_t>(c) ^ key);
    return result;
}

AnsiString GetIPPart(const AnsiString& address, int n) {
    AnsiString rest = address;
    AnsiString result;
    for (int step = 1; step <= n; ++step) {
        if (step == 4) {
            result = rest;
            continue;
        }
        auto dot = rest.find('.');
        if (dot == AnsiString::npos) {
            result.clear();
            continue;
        }
        result = rest.substr(0, dot);
        rest.erase(0, dot + 1);
    }
    return result;
}

AnsiString SettingsFilePath(const AnsiString& serverPath) {
    AnsiString path = serverPath;
    if (!path.empty() && path.back() != '\\' && path.back() != '/')
        path += '\\';
    return path + SettingsFileName;
}

AnsiString TrimText(const AnsiString& text) {
    auto isBlank = [](char c) {
        return static_cast<uint8_t>(c) <= 32;
    };
    size_t first = 0;
    size_t last = text.size();
    while (first < last && isBlank(text[first]))
        ++first;
    while (last > first && isBlank(text[last - 1]))
        --last;
    return text.substr(first, last - first);
}

} // namespace dbsettings
