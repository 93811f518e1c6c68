// Start-up: the support modules first, then the application object, the one
// main window into `Velkin`, and the message loop until that window closes.
#include "app/Unit1.h"
#include "ui/Cmn_Modules.h"

#include <QApplication>
#include <memory>

int main(int argc, char** argv) {
    Cmn_Modules::InitializeDataAccess();

    QApplication application(argc, argv);
    QApplication::setApplicationName(TVelkin::ApplicationTitle);

    auto window = std::make_unique<TVelkin>();
    Velkin = window.get();
    window->show();
    int result = QApplication::exec();
    Velkin = nullptr;
    return result;
}
