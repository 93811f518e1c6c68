// Start-up: the modules' start-up facts and the data-access runtime first, then
// the application object, the one main window into `Velkin`, and the message
// loop until that window closes.
#include "app/DataObjects.h"
#include "app/StartupFacts.h"
#include "app/Unit1.h"
#include "ui/Cmn_Modules.h"

#include <QApplication>
#include <cstdio>
#include <exception>
#include <memory>

int main(int argc, char** argv) {
    ReadWindowStartupFacts();
    Cmn_Modules::SetDataAccessStartup(&StartDataAccess);
    try {
        Cmn_Modules::InitializeDataAccess();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "Velkin(SQL): %s\n", e.what());
        return 1;
    }

    QApplication application(argc, argv);
    QApplication::setApplicationName(TVelkin::ApplicationTitle);

    auto window = std::make_unique<TVelkin>();
    Velkin = window.get();
    window->show();
    int result = QApplication::exec();
    Velkin = nullptr;
    return result;
}
