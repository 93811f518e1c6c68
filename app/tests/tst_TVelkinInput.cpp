// What the operator does on the window before any data arrives: typing into the
// address boxes and the TTRS filters, the TTRS tab's check boxes and table pick,
// and the controls' part of Disconnect from each of its three triggers.
#include "WindowTestSupport.h"
#include "app/Unit1.h"
#include "platform/Dialogs.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>

class TestTVelkinInput : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void addressEntry_data();
    void addressEntry();
    void fullBoxWithCaretInsideKeepsFocus();
    void passwordShowsStars();
    void pasteIntoAddressBox_data();
    void pasteIntoAddressBox();
    void ttrsKeyRules_data();
    void ttrsKeyRules();
    void connectTTRSCheckBoxFlipsGroup();
    void readOnlySetsAllSixGrids();
    void pickingCustomTableShowsSixthPage();
    void ttrsTabNeedsTTRSConnection();
    void enterPressesRefreshOnlyOnTTRSDataPage_data();
    void enterPressesRefreshOnlyOnTTRSDataPage();
    void disconnectResetsControls_data();
    void disconnectResetsControls();

private:
    // Settings that leave every box empty: no settings file.
    std::unique_ptr<SettingsFixture> settings_;
    std::unique_ptr<platform::RecordingDialogs> dialogs_;
    std::unique_ptr<TVelkin> window_;
};

void TestTVelkinInput::init() {
    dialogs_ = std::make_unique<platform::RecordingDialogs>();
    settings_ = std::make_unique<SettingsFixture>();
    settings_->writeRegistry(settings_->folder());
    window_ = std::make_unique<TVelkin>();
    window_->show();
    QApplication::setActiveWindow(window_.get());
    QVERIFY(QTest::qWaitForWindowActive(window_.get()));
}

void TestTVelkinInput::cleanup() {
    QVERIFY(dialogs_->boxes.empty());
    window_.reset();
    settings_.reset();
    dialogs_.reset();
}

void TestTVelkinInput::addressEntry_data() {
    QTest::addColumn<QString>("startBox");
    QTest::addColumn<QString>("typed"); // "\b" is backspace
    QTest::addColumn<QStringList>("boxes");
    QTest::addColumn<QString>("focus");
    QTest::newRow("third digit moves on")
        << "edtSQLIP1"
        << "1234" << QStringList{"123", "4", "", ""} << "edtSQLIP2";
    QTest::newRow("letters dots and blanks ignored")
        << "edtSQLIP1"
        << "1a.2 x" << QStringList{"12", "", "", ""} << "edtSQLIP1";
    QTest::newRow("backspace works") << "edtSQLIP1"
                                     << "12\b5" << QStringList{"15", "", "", ""} << "edtSQLIP1";
    QTest::newRow("whole address")
        << "edtSQLIP1"
        << "192168000010" << QStringList{"192", "168", "000", "010"} << "edtSQLIP4";
    QTest::newRow("fourth box keeps focus and limit")
        << "edtSQLIP4"
        << "12345" << QStringList{"", "", "", "123"} << "edtSQLIP4";
    QTest::newRow("third box moves to fourth")
        << "edtSQLIP3"
        << "255" << QStringList{"", "", "255", ""} << "edtSQLIP4";
}

void TestTVelkinInput::addressEntry() {
    QFETCH(QString, startBox);
    QFETCH(QString, typed);
    QFETCH(QStringList, boxes);
    QFETCH(QString, focus);
    Control<QLineEdit>(*window_, startBox)->setFocus();
    for (QChar c : typed)
        QTest::keyClick(QApplication::focusWidget(), c.toLatin1());
    QStringList texts;
    for (int part = 1; part <= 4; ++part)
        texts << Control<QLineEdit>(*window_, QString("edtSQLIP%1").arg(part))->text();
    QCOMPARE(texts, boxes);
    QCOMPARE(QApplication::focusWidget()->objectName(), focus);
}

void TestTVelkinInput::fullBoxWithCaretInsideKeepsFocus() {
    auto* box = Control<QLineEdit>(*window_, "edtSQLIP1");
    box->setFocus();
    QTest::keyClicks(box, "12");
    QTest::keyClick(box, Qt::Key_Home);
    QTest::keyClick(box, '3');
    QCOMPARE(box->text(), QString("312"));
    QCOMPARE(QApplication::focusWidget(), box);
}

void TestTVelkinInput::passwordShowsStars() {
    auto* password = Control<QLineEdit>(*window_, "edtSQLPassword");
    QTest::keyClicks(password, "pw 1");
    QCOMPARE(password->text(), QString("pw 1"));
    QCOMPARE(password->displayText(), QString("****"));
}

void TestTVelkinInput::pasteIntoAddressBox_data() {
    QTest::addColumn<QString>("before"); // set by the program, as the settings are
    QTest::addColumn<QString>("pasted");
    QTest::addColumn<QString>("after");
    QTest::newRow("fits") << ""
                          << "12"
                          << "12";
    QTest::newRow("beyond the limit is refused") << "1"
                                                 << "234"
                                                 << "1";
    QTest::newRow("letters become upper case") << ""
                                               << "ab"
                                               << "AB";
}

void TestTVelkinInput::pasteIntoAddressBox() {
    QFETCH(QString, before);
    QFETCH(QString, pasted);
    QFETCH(QString, after);
    auto* box = Control<QLineEdit>(*window_, "edtSQLIP4");
    box->setText(before);
    QApplication::clipboard()->setText(pasted);
    box->paste();
    QCOMPARE(box->text(), after);
}

void TestTVelkinInput::ttrsKeyRules_data() {
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::newRow("digit rule drops letters") << "TTRS_dm_SSeqNo"
                                              << "1a2-3 "
                                              << "123";
    QTest::newRow("digit rule keeps backspace") << "TTRS_dm_SSeqNo"
                                                << "12\b3"
                                                << "13";
    QTest::newRow("digit rule on LstVersion") << "TTRS_lc_LstVersion"
                                              << "x9"
                                              << "9";
    QTest::newRow("digit rule on master SSeqNo") << "TTRS_mt_SSeqNo"
                                                 << "7q"
                                                 << "7";
    QTest::newRow("upper-case rule") << "TTRSGen_UTR"
                                     << "abc"
                                     << "ABC";
    QTest::newRow("upper-case rule leaves the rest") << "TTRSGen_ProcessorEDI"
                                                     << "a1-b_"
                                                     << "A1-B_";
    QTest::newRow("upper-case with one character") << "TTRS_dm_BoxType"
                                                   << "ab"
                                                   << "A";
    QTest::newRow("CanSign takes one") << "TTRS_dm_CanSign"
                                       << "yn"
                                       << "Y";
    QTest::newRow("LstDoc BoxType takes one") << "TTRS_ld_BoxType"
                                              << "io"
                                              << "I";
    QTest::newRow("no rule") << "TTRS_ld_ReferenceNo"
                             << "ab-1"
                             << "ab-1";
}

void TestTVelkinInput::ttrsKeyRules() {
    QFETCH(QString, box);
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    auto* edit = Control<QLineEdit>(*window_, box);
    for (QChar c : typed)
        QTest::keyClick(edit, c.toLatin1());
    QCOMPARE(edit->text(), shown);
}

void TestTVelkinInput::connectTTRSCheckBoxFlipsGroup() {
    auto* check = Control<QCheckBox>(*window_, "chkbox_TTRS");
    auto* group = Control<QGroupBox>(*window_, "GrpBox_TTRS");
    auto* name = Control<QLineEdit>(*window_, "edt_TTRSDB");
    auto* label = Control<QLabel>(*window_, "lbl_TTRSDB");
    for (bool enabledAfter : {false, true, false}) {
        check->click();
        QCOMPARE(group->isEnabled(), enabledAfter);
        QCOMPARE(name->isEnabled(), enabledAfter);
        QCOMPARE(label->isEnabled(), enabledAfter);
        QVERIFY(check->isEnabled());
    }
    QVERIFY(check->isChecked());
}

void TestTVelkinInput::readOnlySetsAllSixGrids() {
    auto* readOnly = Control<QCheckBox>(*window_, "chkbox_ReadOnly");
    for (bool checked : {true, false}) {
        readOnly->click();
        QCOMPARE(readOnly->isChecked(), checked);
        for (int i = 1; i <= 6; ++i)
            QCOMPARE(IsGridReadOnly(Control<DataGrid>(*window_, QString("DBGrid%1").arg(i))),
                     checked);
    }
    QVERIFY(!IsGridReadOnly(Control<DataGrid>(*window_, "browDBGrid")));
}

void TestTVelkinInput::pickingCustomTableShowsSixthPage() {
    auto* inner = Control<QTabWidget>(*window_, "PageControl_TTRS_Table");
    auto* tables = Control<QComboBox>(*window_, "ComboBox1");
    QCOMPARE(inner->currentIndex(), 0);
    tables->setCurrentIndex(tables->findText("T_RRMas"));
    emit tables->activated(tables->currentIndex());
    QCOMPARE(inner->currentWidget()->objectName(), QString("ts_custom"));
    QCOMPARE(inner->tabText(5), QString("T_RRMas"));
}

void TestTVelkinInput::ttrsTabNeedsTTRSConnection() {
    auto* tabs = Control<QTabWidget>(*window_, "PageControl1");
    Control<QCheckBox>(*window_, "chkbox_TTRS")->click();
    QVERIFY(QMetaObject::invokeMethod(window_.get(), "ShowDataTabs", Q_ARG(bool, true)));
    QVERIFY(tabs->isTabVisible(1));
    QVERIFY(tabs->isTabVisible(2));
    QVERIFY(!tabs->isTabVisible(3));
}

void TestTVelkinInput::enterPressesRefreshOnlyOnTTRSDataPage_data() {
    QTest::addColumn<int>("tab");
    QTest::addColumn<QString>("box");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("refreshes");
    QTest::newRow("Return in a TTRS filter") << 3 << "TTRSGen_UTR" << int(Qt::Key_Return) << 1;
    QTest::newRow("Enter in a TTRS filter") << 3 << "TTRS_dm_SSeqNo" << int(Qt::Key_Enter) << 1;
    QTest::newRow("Return on the SQL Server tab") << 0 << "edtRegistry" << int(Qt::Key_Return) << 0;
}

void TestTVelkinInput::enterPressesRefreshOnlyOnTTRSDataPage() {
    QFETCH(int, tab);
    QFETCH(QString, box);
    QFETCH(int, key);
    QFETCH(int, refreshes);
    auto* tabs = Control<QTabWidget>(*window_, "PageControl1");
    tabs->setTabVisible(3, true);
    tabs->setCurrentIndex(tab);
    QSignalSpy clicks(Control<QPushButton>(*window_, "btnRefresh"), &QPushButton::clicked);
    auto* edit = Control<QLineEdit>(*window_, box);
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key(key));
    QCOMPARE(int(clicks.count()), refreshes);
}

void TestTVelkinInput::disconnectResetsControls_data() {
    QTest::addColumn<QString>("trigger");
    QTest::newRow("Disconnect button") << "button";
    QTest::newRow("back to first tab while not connected") << "first tab";
    QTest::newRow("closing the window") << "close";
    QTest::newRow("twice in a row") << "twice";
}

void TestTVelkinInput::disconnectResetsControls() {
    QFETCH(QString, trigger);
    TVelkin& window = *window_;
    auto* tabs = Control<QTabWidget>(window, "PageControl1");
    auto* connectButton = Control<QPushButton>(window, "btnConnect");
    auto* disconnectButton = Control<QPushButton>(window, "btnDisconnect");
    auto* status = Control<QLabel>(window, "lbStatus");
    auto* databases = Control<QListWidget>(window, "DatabaseList");
    auto* tablesList = Control<QListWidget>(window, "TableList");
    auto* database = Control<QLabel>(window, "Label9");
    auto* records = Control<QLabel>(window, "lbRecordNum1");

    // The look of a connected window.
    connectButton->setEnabled(false);
    disconnectButton->setEnabled(true);
    status->setText("Connected");
    databases->addItems({"master", "PELMAR_TTRS"});
    tablesList->addItem("T_DOCMAS");
    database->setText("PELMAR_TTRS");
    records->setText("12");
    window.setWindowTitle("Velkin(SQL) - 10.0.0.5 : 1500");
    QVERIFY(QMetaObject::invokeMethod(&window, "ShowDataTabs", Q_ARG(bool, true)));
    tabs->setCurrentIndex(2);
    // Choosing a data tab changes nothing but the page.
    QCOMPARE(status->text(), QString("Connected"));

    if (trigger == "button") {
        disconnectButton->click();
    } else if (trigger == "first tab") {
        tabs->setCurrentIndex(0);
    } else if (trigger == "close") {
        window.close();
    } else {
        window.btnDisconnectClick();
        window.btnDisconnectClick();
    }

    QVERIFY(connectButton->isEnabled());
    QVERIFY(!disconnectButton->isEnabled());
    QCOMPARE(status->text(), QString("Disconnected"));
    QCOMPARE(databases->count(), 0);
    QCOMPARE(tablesList->count(), 0);
    QCOMPARE(database->text(), QString("Master"));
    QCOMPARE(records->text(), QString("na"));
    QCOMPARE(window.windowTitle(), QString("Velkin(SQL)"));
    for (int i = 1; i < tabs->count(); ++i)
        QVERIFY(!tabs->isTabVisible(i));
    QCOMPARE(tabs->currentIndex(), 0);
}

QTEST_MAIN(TestTVelkinInput)
#include "tst_TVelkinInput.moc"
