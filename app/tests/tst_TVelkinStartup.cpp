// The window as it starts: its tabs and controls, the settings it reads when it
// is shown or Refresh is pressed, and errors reaching the standard error box.
#include "WindowTestSupport.h"
#include "app/Unit1.h"
#include "platform/Dialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTest>

using Values = demosettings::ConnectionValues;

class TestTVelkinStartup : public QObject {
    Q_OBJECT
private slots:
    void tabsAndCaptionAfterShow();
    void controlInitialState_data();
    void controlInitialState();
    void ttrsPagesAtStart();
    void filterControlsInCreationOrder();
    void loadDBSetting_data();
    void loadDBSetting();
    void settingsFileInCurrentFolderWhenNoServerPath();
    void registryErrorIsShownAndWindowKeepsWorking();
    void uncaughtErrorReachesStandardErrorBox_data();
    void uncaughtErrorReachesStandardErrorBox();
};

void TestTVelkinStartup::tabsAndCaptionAfterShow() {
    platform::RecordingDialogs dialogs;
    SettingsFixture settings;
    settings.writeRegistry(settings.folder());
    settings.writeSettings({"10.1.2.3", "1500", "sa", "pw", "PELMAR_TTRS"});
    TVelkin window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    QCOMPARE(window.windowTitle(), QString("Velkin(SQL)"));
    QCOMPARE(window.size(), QSize(539, 533));
    auto* tabs = Control<QTabWidget>(window, "PageControl1");
    const QStringList names{"SQLServer", "DbTable", "SQLCommand", "TTRS"};
    const QStringList captions{"SQL Server", "Database Table", "SQL Command", "TTRS"};
    QCOMPARE(tabs->count(), 4);
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(tabs->widget(i)->objectName(), names[i]);
        QCOMPARE(tabs->tabText(i), captions[i]);
        QCOMPARE(tabs->isTabVisible(i), i == 0);
    }
    QCOMPARE(tabs->currentIndex(), 0);
    QCOMPARE(window.focusWidget(), Control<QWidget>(window, "edtRegistry"));
    // Showing the window read the settings.
    QCOMPARE(Control<QLineEdit>(window, "edtSQLIP4")->text(), QString("3"));
    QVERIFY(dialogs.boxes.empty());
}

void TestTVelkinStartup::controlInitialState_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("property");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<bool>("hidden");
    auto row = [](const char* name, const char* property, const QVariant& value,
                  bool enabled = true, bool hidden = false) {
        QTest::newRow(name) << QString(name) << QByteArray(property) << value << enabled << hidden;
    };
    // SQL Server
    row("edtRegistry", "text", QString("\\Software\\Orvane\\Pelmar4"));
    row("btnRefreshDBSetting", "text", QString("Refresh"));
    for (const char* box : {"edtSQLIP1", "edtSQLIP2", "edtSQLIP3", "edtSQLIP4"})
        row(box, "text", QString());
    for (const char* dot : {"lbSQLIP1", "lbSQLIP2", "lbSQLIP3"})
        row(dot, "text", QString("."));
    row("edtSQLPortNo", "text", QString());
    row("edtTimeout", "text", QString("30"));
    row("edtSQLLogin", "text", QString());
    row("edtSQLPassword", "echoMode", int(QLineEdit::Password));
    row("GrpBox_TTRS", "title", QString("TTRS Database Name"));
    row("lbl_TTRSDB", "text", QString("Database Name:"));
    row("edt_TTRSDB", "text", QString());
    row("chkbox_TTRS", "text", QString("Connect TTRS Database"));
    row("lbStatus", "text", QString("Disconnected"));
    row("btnConnect", "text", QString("Connect"));
    row("btnDisconnect", "text", QString("Disconnect"), false);
    // Database Table
    row("chkBoxSysTbl", "text", QString("Show System Tables"));
    row("btnClearTable", "text", QString("Clear table"), true, true);
    row("lbRecordNum1", "text", QString("na"));
    row("btnUpdate", "text", QString("Update"));
    row("btnCancel", "text", QString("Cancel"));
    row("btnExit", "text", QString("Exit"));
    // SQL Command
    row("Label9", "text", QString("Master"));
    row("btnSearch", "text", QString("Search"));
    row("btnExecute", "text", QString("Execute"));
    row("SQLCommandMemo", "plainText", QString());
    row("SQLResultMemo", "plainText", QString());
    row("SQLResultDBGrid", "editTriggers", int(QAbstractItemView::NoEditTriggers), true, true);
    // TTRS
    row("chkbox_ReadOnly", "text", QString("Read Only"));
    row("btnRefresh", "default", true);
    row("Button1", "text", QString("Exit"));
    row("grpboxT_Docmas", "title", QString("T_DocMas"));
    row("grpboxT_LstDoc", "title", QString("T_LstDoc"));
    row("grpboxT_CurSta", "title", QString("T_CurSta"));
    row("grpboxT_LxChg", "title", QString("T_LxChg"));
    row("grpboxT_MasterTable", "title", QString("Master Table"));
    row("TTRS_dm_BoxType", "maxLength", 1);
    row("TTRS_dm_CanSign", "maxLength", 1);
    row("TTRS_ld_BoxType", "maxLength", 1);
    row("TTRSmt_tifInitRole", "text", QString(), false);
    row("pnl_tblname", "text", QString());
}

void TestTVelkinStartup::controlInitialState() {
    QFETCH(QString, name);
    QFETCH(QByteArray, property);
    QFETCH(QVariant, value);
    QFETCH(bool, enabled);
    QFETCH(bool, hidden);
    platform::RecordingDialogs dialogs;
    TVelkin window;
    auto* control = Control<QWidget>(window, name);
    QVariant actual = control->property(property.constData());
    QVERIFY2(actual.isValid(), "no such property");
    if (value.typeId() == QMetaType::Int)
        actual = actual.toInt();
    QCOMPARE(actual, value);
    QCOMPARE(control->isEnabled(), enabled);
    QCOMPARE(control->isHidden(), hidden);
    if (auto* box = qobject_cast<QCheckBox*>(control))
        QVERIFY(!box->isChecked());
}

void TestTVelkinStartup::ttrsPagesAtStart() {
    platform::RecordingDialogs dialogs;
    TVelkin window;
    auto* outer = Control<QTabWidget>(window, "PageControl_TTRS");
    QCOMPARE(outer->currentWidget()->objectName(), QString("ts_Data"));
    QVERIFY(Control<QWidget>(window, "ts_Memo"));

    auto* inner = Control<QTabWidget>(window, "PageControl_TTRS_Table");
    const QStringList pages{"ts_docmas", "ts_lstdoc",      "ts_lxchg",
                            "ts_cursta", "ts_mastertable", "ts_custom"};
    const QStringList captions{"T_DocMas", "T_LstDoc",     "T_LxChg",
                               "T_CurSta", "Master Table", "T_GdsDtl"};
    QCOMPARE(inner->count(), 6);
    for (int i = 0; i < 6; ++i) {
        QCOMPARE(inner->widget(i)->objectName(), pages[i]);
        QCOMPARE(inner->tabText(i), captions[i]);
        auto* grid = inner->widget(i)->findChild<DataGrid*>(QString("DBGrid%1").arg(i + 1));
        QVERIFY(grid);
        QVERIFY(!IsGridReadOnly(grid));
    }
    QCOMPARE(inner->currentIndex(), 0);
    QVERIFY(inner->widget(4)->findChild<QLabel*>("pnl_tblname"));

    auto* tables = Control<QComboBox>(window, "ComboBox1");
    QVERIFY(!tables->isEditable());
    QCOMPARE(tables->count(), 12);
    QCOMPARE(tables->currentText(), QString("T_GdsDtl"));
    QCOMPARE(tables->itemText(11), QString("T_RRMas"));
    QCOMPARE(tables->maxVisibleItems(), 12);

    auto* types = Control<QComboBox>(window, "TTRSGen_cbxMType");
    QVERIFY(types->isEditable());
    QCOMPARE(types->count(), 17);
    QCOMPARE(types->itemText(0), QString());
    QCOMPARE(types->itemText(13), QString("TTCARR"));
    QCOMPARE(types->currentText(), QString());
    QCOMPARE(types->maxVisibleItems(), 20);

    auto* roles = Control<QComboBox>(window, "TTRSGen_cbxProcessorRole");
    QVERIFY(roles->isEditable());
    QStringList roleItems;
    for (int i = 0; i < roles->count(); ++i)
        roleItems << roles->itemText(i);
    QCOMPARE(roleItems, (QStringList{"", "T", "M", "F", "IF", "OF", "IC", "OC"}));
}

// The TTRS query reads page and column from these names and emits its clauses in
// the reverse of this order, so both names and order are part of the SQL.
void TestTVelkinStartup::filterControlsInCreationOrder() {
    platform::RecordingDialogs dialogs;
    TVelkin window;
    QStringList names;
    for (QWidget* control : window.TTRSFilterControlsInCreationOrder())
        names << control->objectName();
    const QStringList expected{"TTRSGen_UTR",
                               "TTRSGen_ProcessorEDI",
                               "TTRSGen_cbxProcessorRole",
                               "TTRSGen_cbxMType",
                               "TTRS_dm_SSeqNo",
                               "TTRS_dm_BoxType",
                               "TTRS_dm_Status",
                               "TTRS_dm_MTSeqNo",
                               "TTRS_dm_VersionNo",
                               "TTRS_dm_CanSign",
                               "TTRS_ld_LstSSeq",
                               "TTRS_ld_BoxType",
                               "TTRS_ld_ReferenceNo",
                               "TTRS_cs_CurrState",
                               "TTRS_cs_LockQueue",
                               "TTRS_cs_LstGovNotiVerNo",
                               "TTRS_lc_LstMTSeq",
                               "TTRS_lc_LstVersion",
                               "TTRS_mt_SSeqNo",
                               "TTRS_mt_tifMsgFn",
                               "TTRSmt_tifInitRole"};
    QCOMPARE(names, expected);
}

namespace {

const QStringList BoxNames{"edtSQLIP1",    "edtSQLIP2",   "edtSQLIP3",      "edtSQLIP4",
                           "edtSQLPortNo", "edtSQLLogin", "edtSQLPassword", "edt_TTRSDB"};
const QStringList TypedByOperator{"9", "9", "9", "9", "99", "typed", "typed", "typed"};

void TypeIntoBoxes(TVelkin& window) {
    for (int i = 0; i < BoxNames.size(); ++i)
        Control<QLineEdit>(window, BoxNames[i])->setText(TypedByOperator[i]);
}

QStringList BoxTexts(TVelkin& window) {
    QStringList texts;
    for (const QString& name : BoxNames)
        texts << Control<QLineEdit>(window, name)->text();
    return texts;
}

} // namespace

void TestTVelkinStartup::loadDBSetting_data() {
    QTest::addColumn<QString>("serverPathSuffix"); // appended to the folder
    QTest::addColumn<QByteArray>("iniText");       // "standard": written by the demo writer
    QTest::addColumn<QStringList>("boxes");
    const QStringList loaded{"192", "168", "0", "10", "1433", "sa", "se cret", "PELMAR_TTRS"};
    QTest::newRow("path without separator") << "" << QByteArray("standard") << loaded;
    QTest::newRow("path with final backslash") << "\\" << QByteArray("standard") << loaded;
    QTest::newRow("path with final slash") << "/" << QByteArray("standard") << loaded;
    QTest::newRow("file missing keeps typed values") << "" << QByteArray() << TypedByOperator;
    QByteArray onlyAddress = "[DBConnection]\r\nSQLSvrIP=" +
                             QByteArray::fromStdString(dbsettings::XorText("1.2.3.4", 0xB7)) +
                             "\r\n";
    QTest::newRow("missing keys empty their boxes")
        << "" << onlyAddress << QStringList{"1", "2", "3", "4", "", "", "", ""};
    QByteArray longFourth = "[dbconnection]\nsqlsvrip=" +
                            QByteArray::fromStdString(dbsettings::XorText("10.0.0.12345", 0xB7)) +
                            "\nTTRSDBName=TT\n";
    QTest::newRow("fourth part longer than 3 shown whole")
        << "" << longFourth << QStringList{"10", "0", "0", "12345", "", "", "", "TT"};
    QByteArray wrongSection = "[Other]\nTTRSDBName=X\n";
    QTest::newRow("section missing empties every box")
        << "" << wrongSection << QStringList{"", "", "", "", "", "", "", ""};
}

void TestTVelkinStartup::loadDBSetting() {
    QFETCH(QString, serverPathSuffix);
    QFETCH(QByteArray, iniText);
    QFETCH(QStringList, boxes);
    platform::RecordingDialogs dialogs;
    SettingsFixture settings;
    settings.writeRegistry(settings.folder() + serverPathSuffix);
    if (iniText == "standard") {
        settings.writeSettings({"192.168.0.10", "1433", "sa", "se cret", "PELMAR_TTRS"});
    } else if (!iniText.isEmpty()) {
        QFile file(settings.folder() + "/NOVIXSYS.INI");
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(iniText);
    }
    TVelkin window;
    TypeIntoBoxes(window);
    Control<QLineEdit>(window, "edtTimeout")->setText("45");

    window.btnRefreshDBSettingClick();

    QCOMPARE(BoxTexts(window), boxes);
    QCOMPARE(Control<QLineEdit>(window, "edtTimeout")->text(), QString("45"));
    // A part longer than the typing limit can still be shortened by the operator.
    auto* fourth = Control<QLineEdit>(window, "edtSQLIP4");
    if (fourth->text().size() > 3) {
        fourth->end(false);
        QTest::keyClick(fourth, Qt::Key_Backspace);
        QCOMPARE(fourth->text(), boxes[3].chopped(1));
    }
    QVERIFY(dialogs.boxes.empty());
}

void TestTVelkinStartup::settingsFileInCurrentFolderWhenNoServerPath() {
    platform::RecordingDialogs dialogs;
    SettingsFixture settings;
    settings.writeRegistry(std::nullopt);
    settings.writeSettings({"127.0.0.1", "1500", "sa", "pw", "DB"});
    QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(settings.folder()));
    TVelkin window;
    // A key the registry does not hold yet is created and, lacking ServerPath,
    // leads to the bare file name.
    Control<QLineEdit>(window, "edtRegistry")->setText("  \\Software\\Orvane\\New  ");
    window.btnRefreshDBSettingClick();
    QDir::setCurrent(previous);
    QCOMPARE(BoxTexts(window), (QStringList{"127", "0", "0", "1", "1500", "sa", "pw", "DB"}));
    QVERIFY(dialogs.boxes.empty());
}

void TestTVelkinStartup::registryErrorIsShownAndWindowKeepsWorking() {
    platform::RecordingDialogs dialogs;
    SettingsFixture settings;
    // A file that is not a registry export can neither be read nor written to.
    {
        QFile file(settings.registryFile());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("not a registry\n");
    }
    TVelkin window;
    TypeIntoBoxes(window);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    QCOMPARE(int(dialogs.boxes.size()), 1);
    QCOMPARE(dialogs.boxes[0].kind, platform::BoxKind::Error);
    QCOMPARE(dialogs.boxes[0].title, QString("Velkin(SQL)"));
    QCOMPARE(dialogs.boxes[0].text, QString("Unable to open registry."));
    QCOMPARE(BoxTexts(window), TypedByOperator);
    QVERIFY(window.isVisible());

    settings.writeRegistry(settings.folder());
    settings.writeSettings({"1.2.3.4", "1", "l", "p", "T"});
    window.btnRefreshDBSettingClick();
    QCOMPARE(int(dialogs.boxes.size()), 1);
    QCOMPARE(BoxTexts(window), (QStringList{"1", "2", "3", "4", "1", "l", "p", "T"}));
}

void TestTVelkinStartup::uncaughtErrorReachesStandardErrorBox_data() {
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<QString>("shown");
    QTest::newRow("ends in a letter") << QByteArray("Disk full") << "Disk full.";
    QTest::newRow("ends in a digit") << QByteArray("Error 5") << "Error 5.";
    QTest::newRow("ends in a full stop") << QByteArray("Done.") << "Done.";
    QTest::newRow("ends in a bracket") << QByteArray("failed (x)") << "failed (x)";
    QTest::newRow("empty") << QByteArray() << "";
}

void TestTVelkinStartup::uncaughtErrorReachesStandardErrorBox() {
    QFETCH(QByteArray, message);
    QFETCH(QString, shown);
    platform::RecordingDialogs dialogs;
    TVelkin window;
    window.Guarded([&] { throw std::runtime_error(message.toStdString()); });
    QCOMPARE(int(dialogs.boxes.size()), 1);
    QCOMPARE(dialogs.boxes[0].kind, platform::BoxKind::Error);
    QCOMPARE(dialogs.boxes[0].title, QString("Velkin(SQL)"));
    QCOMPARE(dialogs.boxes[0].text, shown);
    // The window goes on: a handler runs normally afterwards.
    window.btnDisconnectClick();
    QCOMPARE(Control<QLabel>(window, "lbStatus")->text(), QString("Disconnected"));
    QCOMPARE(int(dialogs.boxes.size()), 1);
}

QTEST_MAIN(TestTVelkinStartup)
#include "tst_TVelkinStartup.moc"
