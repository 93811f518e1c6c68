// Pictures of the window for the README: starts the stand-in with the demo
// databases, drives the window offscreen through each tab the way the operator
// does and writes PNGs into the folder named on the command line (docs/).
//   velkin-screenshots DIR
#include "app/DataObjects.h"
#include "app/Unit1.h"
#include "platform/Dialogs.h"
#include "standin/launcher/StandinProcess.h"
#include "ui/Cmn_Modules.h"
#include "ui/ProgressBox.h"
#include "ui/QXGrid.h"
#include "ui/ServerWait.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>

#include <cstdio>
#include <stdexcept>

namespace {

template <class T> T* control(QWidget& window, const char* name) {
    auto* found = window.findChild<T*>(name);
    if (!found)
        throw std::runtime_error(std::string("no control ") + name);
    return found;
}

void settle() {
    for (int i = 0; i < 5; ++i)
        QApplication::processEvents();
}

void save(const QPixmap& picture, const QDir& dir, const char* name) {
    const QString path = dir.filePath(name);
    if (!picture.save(path))
        throw std::runtime_error("cannot write " + path.toStdString());
    std::printf("wrote %s\n", qPrintable(path));
}

void shoot(QWidget& window, const QDir& dir, const char* name) {
    settle();
    save(window.grab(), dir, name);
}

void pick(QListWidget* list, const char* text) {
    const auto found = list->findItems(text, Qt::MatchExactly);
    if (found.size() != 1)
        throw std::runtime_error(std::string("no list item ") + text);
    list->setCurrentItem(found[0]);
}

} // namespace

int main(int argc, char** argv) {
    if (qgetenv("QT_QPA_PLATFORM").isEmpty())
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc != 2) {
        std::fprintf(stderr, "usage: velkin-screenshots DIR\n");
        return 2;
    }
    try {
        Cmn_Modules::SetDataAccessStartup(&StartDataAccess);
        Cmn_Modules::InitializeDataAccess();
        QApplication app(argc, argv);
        QApplication::setFont(QFont("WenQuanYi Micro Hei", 9));
        platform::RecordingDialogs dialogs; // a failure is printed, not shown
        QDir dir(QString::fromLocal8Bit(argv[1]));
        dir.mkpath(".");

        standin::StandinProcess server({"--seed", "demo"});
        TVelkin window;
        window.resize(760, 560);
        window.show();
        const char* parts[] = {"127", "0", "0", "1"};
        for (int i = 0; i < 4; ++i)
            control<QLineEdit>(window, ("edtSQLIP" + std::to_string(i + 1)).c_str())
                ->setText(parts[i]);
        control<QLineEdit>(window, "edtSQLPortNo")->setText(QString::number(server.port()));
        control<QLineEdit>(window, "edtSQLLogin")->setText("sa");
        control<QLineEdit>(window, "edtSQLPassword")->setText("velkin");
        control<QCheckBox>(window, "chkbox_TTRS")->setChecked(true);
        control<QPushButton>(window, "btnConnect")->click();
        shoot(window, dir, "sql-server-tab.png");

        auto* tabs = control<QTabWidget>(window, "PageControl1");
        tabs->setCurrentIndex(1);
        pick(control<QListWidget>(window, "DatabaseList"), "PELMAR_TTRS");
        window.DatabaseListClick();
        pick(control<QListWidget>(window, "TableList"), "T_DOCMAS");
        window.TableListClick();
        shoot(window, dir, "database-table-tab.png");

        auto* grid = control<TQXDBGrid>(window, "browDBGrid");
        db::TDataSet& browse = [&]() -> db::TDataSet& {
            for (db::TComponent* c : window.DataObjects().Components())
                if (c->Name() == "browTntADOTableLX")
                    return dynamic_cast<db::TDataSet&>(*c);
            throw std::runtime_error("no browse table");
        }();
        if (db::TField* memo = browse.FindField("Memo")) {
            grid->SetSelectedField(memo);
            window.browDBGridCellClick(memo->Index());
            shoot(window, dir, "memo-page.png");
            control<QPushButton>(window, "btnExit")->click();
        }

        tabs->setCurrentIndex(2);
        control<QPlainTextEdit>(window, "SQLCommandMemo")
            ->setPlainText("SELECT UTR, Remark, MType, ProcessorEDI FROM PELMAR_TTRS.dbo.T_DOCMAS");
        control<QPushButton>(window, "btnSearch")->click();
        shoot(window, dir, "sql-command-tab.png");

        // The progress box over the window while a slow statement runs.
        control<QPlainTextEdit>(window, "SQLCommandMemo")->setPlainText("WAITFOR DELAY '00:00:04'");
        bool shot = false;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            ProgressBox* box = ServerWait::Box();
            if (shot || !box)
                return;
            shot = true;
            QPixmap picture = window.grab();
            QPainter painter(&picture);
            const QPixmap boxPicture = box->grab();
            painter.drawPixmap((picture.width() - boxPicture.width()) / 2,
                               (picture.height() - boxPicture.height()) / 2, boxPicture);
            painter.end();
            save(picture, dir, "progress-box.png");
            ServerWait::CancelWaiting();
        });
        poll.start(200);
        control<QPushButton>(window, "btnExecute")->click();
        poll.stop();
        shoot(window, dir, "sql-command-cancelled.png");

        if (tabs->isTabVisible(3)) {
            tabs->setCurrentIndex(3);
            control<QPushButton>(window, "btnRefresh")->click();
            shoot(window, dir, "ttrs-tab.png");
        }

        for (const auto& box : dialogs.boxes)
            std::fprintf(stderr, "box: %s\n", qPrintable(box.text));
        window.close();
        return shot ? 0 : 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "velkin-screenshots: %s\n", e.what());
        return 1;
    }
}
