// Opening the million-row table of the stand-in's big seed the way the operator
// does (Connect, a click on the database, a click on the table) into the browse
// grid, against draining the same rows with a bare ODBC loop in the same run.
// Prints the time until the grid has painted its first screen, the memory the
// open table takes per row, the median time to repaint one screen while paging
// through the table, and last the ratio of the first screen to the bare drain.
#include "app/DataObjects.h"
#include "app/Unit1.h"
#include "bench/BareDrain.h"
#include "data/ado/ConnectionString.h"
#include "platform/Dialogs.h"
#include "standin/launcher/StandinProcess.h"
#include "ui/Cmn_Modules.h"
#include "ui/QXGrid.h"

#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point from) {
    return std::chrono::duration<double>(Clock::now() - from).count();
}

/// Resident memory of this process in bytes.
double residentBytes() {
    std::ifstream statm("/proc/self/statm");
    double pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * 4096.0;
}

template <class T> T* control(TVelkin& window, const char* name) {
    auto* found = window.findChild<T*>(name);
    if (!found)
        throw std::runtime_error(std::string("no control ") + name);
    return found;
}

void selectItem(QListWidget* list, const QString& text) {
    const auto found = list->findItems(text, Qt::MatchExactly);
    if (found.size() != 1)
        throw std::runtime_error("no list item " + text.toStdString());
    list->setCurrentItem(found[0]);
}

} // namespace

int main(int argc, char** argv) {
    // Without a screen the window still opens and paints, offscreen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    try {
        Cmn_Modules::SetDataAccessStartup(&StartDataAccess);
        Cmn_Modules::InitializeDataAccess();
        QApplication app(argc, argv);
        platform::RecordingDialogs dialogs; // a failure shows up as a box, printed below

        standin::StandinProcess server({"--seed", "big"}, std::chrono::seconds(600));
        const std::string port = std::to_string(server.port());

        size_t bareRows = 0;
        const std::u16string odbcText =
            ado::OdbcConnectionStringFor(u"Provider=SQLOLEDB.1;Data Source=127.0.0.1," +
                                         std::u16string(port.begin(), port.end()) +
                                         u";Initial Catalog=PELMAR_BIG;User ID=sa;Password=velkin");
        const double bare =
            bench::bareDrain(odbcText, u"SELECT * FROM PELMAR_BIG.dbo.T_BIG", bareRows);

        TVelkin window;
        window.show();
        const char* parts[] = {"127", "0", "0", "1"};
        for (int i = 0; i < 4; ++i)
            control<QLineEdit>(window, ("edtSQLIP" + std::to_string(i + 1)).c_str())
                ->setText(parts[i]);
        control<QLineEdit>(window, "edtSQLPortNo")->setText(QString::fromStdString(port));
        control<QLineEdit>(window, "edtSQLLogin")->setText("sa");
        control<QLineEdit>(window, "edtSQLPassword")->setText("velkin");
        control<QLineEdit>(window, "edtTimeout")->setText("0");
        control<QPushButton>(window, "btnConnect")->click();
        selectItem(control<QListWidget>(window, "DatabaseList"), "PELMAR_BIG");
        window.DatabaseListClick();
        control<QTabWidget>(window, "PageControl1")->setCurrentIndex(1);
        auto* grid = control<TQXDBGrid>(window, "browDBGrid");
        QApplication::processEvents();

        selectItem(control<QListWidget>(window, "TableList"), "T_BIG");
        const double memoryBefore = residentBytes();
        const auto start = Clock::now();
        window.TableListClick();
        grid->viewport()->repaint();
        const double firstScreen = secondsSince(start);
        const double memoryPerRow = (residentBytes() - memoryBefore) / double(bareRows);
        for (const auto& box : dialogs.boxes)
            std::fprintf(stderr, "box: %s\n", qPrintable(box.text));

        // Page through the table, one screen at a time, from top to bottom.
        QScrollBar* bar = grid->verticalScrollBar();
        std::vector<double> repaints;
        const int pages = 100;
        for (int page = 1; page <= pages; ++page) {
            bar->setValue(int(int64_t(bar->maximum()) * page / pages));
            const auto t = Clock::now();
            grid->viewport()->repaint();
            repaints.push_back(secondsSince(t) * 1000.0);
        }
        std::sort(repaints.begin(), repaints.end());

        std::printf("rows: %zu\n", bareRows);
        std::printf("bare_fetch_seconds: %.3f\n", bare);
        std::printf("first_screen_seconds: %.3f\n", firstScreen);
        std::printf("memory_per_row_bytes: %.1f\n", memoryPerRow);
        std::printf("median_repaint_ms: %.2f\n", repaints[repaints.size() / 2]);
        std::printf("ratio_first_screen_to_bare: %.3f\n", firstScreen / bare);
        window.close();
        return dialogs.boxes.empty() ? 0 : 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "browse_open: %s\n", e.what());
        return 1;
    }
}
