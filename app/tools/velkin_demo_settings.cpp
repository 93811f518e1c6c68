// velkin-demo-settings: writes the registry file and the settings file that the
// demo (and anyone trying the program) starts from.
//
//   velkin-demo-settings --registry FILE --ini-dir DIR --ip A --port P --login L
//                        --password PW --ttrs-db NAME [--key PATH]
//
// ServerPath is set to DIR made absolute, so the window finds DIR/NOVIXSYS.INI
// wherever it is started.
#include "app/DBSettings.h"
#include "app/tools/DemoSettingsWriter.h"

#include <filesystem>
#include <iostream>
#include <map>
#include <string>

namespace {

int Usage() {
    std::cerr << "usage: velkin-demo-settings --registry FILE --ini-dir DIR --ip A --port P"
                 " --login L --password PW --ttrs-db NAME [--key PATH]\n";
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    std::map<std::string, std::string> args;
    for (int i = 1; i < argc; i += 2) {
        std::string name = argv[i];
        if (name.rfind("--", 0) != 0 || i + 1 >= argc)
            return Usage();
        args[name.substr(2)] = argv[i + 1];
    }
    for (const char* required :
         {"registry", "ini-dir", "ip", "port", "login", "password", "ttrs-db"}) {
        if (!args.count(required))
            return Usage();
    }
    try {
        std::filesystem::path folder = std::filesystem::absolute(args["ini-dir"]);
        std::filesystem::create_directories(folder);
        demosettings::WriteSettingsFile(folder.string(), {args["ip"], args["port"], args["login"],
                                                          args["password"], args["ttrs-db"]});
        std::string key = args.count("key") ? args["key"] : dbsettings::DefaultRegistryKey;
        demosettings::WriteRegistryFile(args["registry"], key, folder.string() + "/");
    } catch (const std::exception& e) {
        std::cerr << "velkin-demo-settings: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
