#include "bench/ConvertingOpen.h"

#include "data/QXADODataSet.h"
#include "data/db/ADOComponents.h"
#include "data/db/DataSource.h"
#include "data/odbc/Environment.h"
#include "standin/launcher/StandinProcess.h"
#include "ui/Cmn_Modules.h"
#include "ui/QXGrid.h"

#include <QImage>
#include <QScrollBar>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <stdexcept>
#include <vector>

namespace bench {
namespace {

using Clock = std::chrono::steady_clock;

double CpuMilliseconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1000.0 + double(t.tv_nsec) / 1e6;
}

struct Timing {
    double wallMs, cpuMs;
};

/// Opens `dataSet` on the table and returns how long the open took.
Timing TimeOpen(tnt::TTntADODataSetLX& dataSet, ado::TADOConnection& connection) {
    dataSet.SetConnection(&connection);
    dataSet.SetCommandTimeout(0);
    dataSet.SetCommandText(u"SELECT * FROM T_BIG");
    const double cpu = CpuMilliseconds();
    const auto start = Clock::now();
    dataSet.Open();
    return {std::chrono::duration<double, std::milli>(Clock::now() - start).count(),
            CpuMilliseconds() - cpu};
}

double MedianRepaint(db::TDataSet& dataSet) {
    db::TDataSource source;
    source.SetDataSet(&dataSet);
    TQXDBGrid grid;
    grid.resize(1000, 700);
    grid.SetDataSource(&source);
    grid.show();
    QImage screen(grid.size(), QImage::Format_RGB32);
    grid.render(&screen);
    QScrollBar* bar = grid.verticalScrollBar();
    std::vector<double> repaints;
    constexpr int Pages = 60;
    for (int page = 1; page <= Pages; ++page) {
        bar->setValue(static_cast<int>(static_cast<long long>(bar->maximum()) * page / Pages));
        const auto start = Clock::now();
        grid.render(&screen);
        repaints.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    grid.SetDataSource(nullptr);
    std::sort(repaints.begin(), repaints.end());
    return repaints[repaints.size() / 2];
}

} // namespace

void PrepareConvertingOpen() {
    // A Traditional Chinese system under a Simplified Chinese user: the code
    // pages differ, so with WorkAsAnsi every conversion applies.
    setenv("VELKIN_SYSTEM_LOCALE", "zh_TW", 1);
    setenv("VELKIN_USER_LOCALE", "zh_CN", 1);
    Cmn_Modules::SetDataAccessStartup([] { odbc::Environment::instance(); });
    Cmn_Modules::InitializeDataAccess();
}

ConvertingOpenFigures MeasureConvertingOpen(int rounds) {

    standin::StandinProcess server({"--seed", "big"}, std::chrono::seconds(600));
    db::TADOConnectionComponent connection;
    connection.setConnectionString(
        QString::fromStdString("Provider=SQLOLEDB.1;Data Source=" + server.dataSource() +
                               ";Initial Catalog=PELMAR_BIG;User ID=sa;Password=velkin")
            .toStdU16String());
    connection.setConnectionTimeout(30);
    connection.Open();

    ConvertingOpenFigures figures;
    figures.plainOpenMs = figures.convertingOpenMs = 1e300;
    for (int round = 0; round < rounds; ++round) {
        {
            tnt::TTntADODataSetLX plain;
            const Timing t = TimeOpen(plain, connection);
            figures.rows = plain.RecordCount();
            if (t.wallMs < figures.plainOpenMs)
                figures.plainOpenMs = t.wallMs, figures.plainOpenCpuMs = t.cpuMs;
        }
        TQXADODataSet converting;
        converting.SetWorkAsAnsi(true);
        if (!converting.CodePageDiffers())
            throw std::runtime_error("the code pages do not differ: nothing would convert");
        const Timing t = TimeOpen(converting, connection);
        if (converting.RecordCount() != figures.rows)
            throw std::runtime_error("the two datasets hold different row counts");
        if (t.wallMs < figures.convertingOpenMs)
            figures.convertingOpenMs = t.wallMs, figures.convertingOpenCpuMs = t.cpuMs;
        if (round == rounds - 1)
            figures.convertingRepaintMs = MedianRepaint(converting);
    }
    return figures;
}

} // namespace bench
