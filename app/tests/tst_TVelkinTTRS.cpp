// The TTRS tab against the stand-in's PELMAR_TTRS database, on a Traditional
// Chinese (950) system: the query each inner page and filter builds, the rows
// it finds (counted by an independent connection), the Master Table page's
// rules, refused queries, edits written back, Big5 text, the long-text page and
// which operator actions run a query.
#include "WindowTestSupport.h"
#include "app/DataObjects.h"
#include "app/GridFactory.h"
#include "app/Unit1.h"
#include "data/ado/Command.h"
#include "platform/Dialogs.h"
#include "platform/tests/EnvironmentGuard.h"
#include "standin/launcher/StandinProcess.h"
#include "ui/Cmn_Modules.h"
#include "ui/QXGridUnit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <ctime>
#include <memory>

namespace {

using Filters = QList<QPair<QString, QString>>; // control name, text

/// An independent login to PELMAR_TTRS: the referee for what a query must find.
class Referee {
public:
    explicit Referee(const standin::StandinProcess& server) {
        connection_.setConnectionString(
            QString::fromStdString("Provider=SQLOLEDB.1;Data Source=" + server.dataSource() +
                                   ";Initial Catalog=PELMAR_TTRS;User ID=sa;Password=velkin")
                .toStdU16String());
        connection_.setConnectionTimeout(10);
        connection_.Open();
    }
    /// The first value of the first row of `sql`.
    ado::Variant value(const QString& sql) {
        std::shared_ptr<ado::Recordset> rows = run(sql);
        rows->MoveFirst();
        return rows->Fields(0).Value();
    }
    /// The first value of `sql` as text, whichever width the driver gave it.
    QString text(const QString& sql) {
        const ado::Variant v = value(sql);
        if (v.is<std::u16string>())
            return QString::fromStdU16String(v.get<std::u16string>());
        if (v.is<std::string>())
            return QString::fromUtf8(v.get<std::string>());
        return "(not text)";
    }
    int count(const QString& sql) {
        const ado::Variant n = value(sql);
        return n.is<int64_t>() ? int(n.get<int64_t>()) : -1;
    }
    std::shared_ptr<ado::Recordset> run(const QString& sql) {
        ado::TADOCommand command;
        command.ParamCheck = false;
        command.Connection = &connection_;
        command.setCommandText(sql.toStdU16String());
        return command.Execute();
    }

private:
    ado::TADOConnection connection_;
};

// A window connected with the TTRS database, its TTRS tab shown.
class TTRSFixture {
public:
    explicit TTRSFixture(const standin::StandinProcess& server) {
        settings.writeRegistry(settings.folder());
        settings.writeSettings(
            {server.host(), std::to_string(server.port()), "sa", "velkin", "PELMAR_TTRS"});
        window = std::make_unique<TVelkin>();
        window->show();
        control<QCheckBox>("chkbox_TTRS")->setChecked(true);
        control<QPushButton>("btnConnect")->click();
        auto* tabs = control<QTabWidget>("PageControl1");
        tabs->setCurrentWidget(control<QWidget>("TTRS"));
        dataSet().AfterOpen = [this](db::TDataSet&) {
            ++opens;
        };
        dialogs.boxes.clear();
    }
    ~TTRSFixture() { window->close(); }

    template <class T> T* control(const QString& name) { return Control<T>(*window, name); }
    TQXADODataSet& dataSet() {
        return DataObject<TQXADODataSet>(window->DataObjects(), "adods_TTRS");
    }
    QString commandText() { return QString::fromStdU16String(dataSet().CommandText()); }
    QTabWidget* inner() { return control<QTabWidget>("PageControl_TTRS_Table"); }
    QString panel() { return control<QLabel>("pnl_tblname")->text(); }

    /// Shows inner page `page` as the operator does (that runs a query of its own).
    void showPage(const QString& page) {
        const int index = inner()->indexOf(control<QWidget>(page));
        if (inner()->currentIndex() != index)
            QTest::mouseClick(inner()->tabBar(), Qt::LeftButton, {},
                              inner()->tabBar()->tabRect(index).center());
    }
    void setFilter(const QString& name, const QString& text) {
        if (auto* combo = window->findChild<QComboBox*>(name))
            combo->setCurrentText(text);
        else
            control<QLineEdit>(name)->setText(text);
    }
    void clearFilters() {
        for (QWidget* filter : window->TTRSFilterControlsInCreationOrder())
            setFilter(filter->objectName(), "");
    }
    void refresh() { control<QPushButton>("btnRefresh")->click(); }
    QStringList boxTexts() {
        QStringList texts;
        for (const auto& box : dialogs.boxes)
            texts << box.text;
        return texts;
    }

    platform::RecordingDialogs dialogs;
    SettingsFixture settings;
    std::unique_ptr<TVelkin> window;
    int opens = 0;
};

} // namespace

class TestTVelkinTTRS : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void queryFindsWhatTheRulesSay_data();
    void queryFindsWhatTheRulesSay();
    void masterTableWithoutMessageTypeStaysClosed();
    void unknownMessageTypeIsRefused_data();
    void unknownMessageTypeIsRefused();
    void enterInMessageTypeRefreshesWithoutAddingItems();
    void textTheCodePageCannotCarryIsRefused();
    void refusedQueryKeepsTextAndTabStaysUsable();
    void whichActionsRunAQuery();
    void editIsWrittenBack();
    void insertedRowShowsTheTableDefaults();
    void big5TextShownAndFound();
    void longTextOpensMemoPage();

private:
    std::unique_ptr<platform::testing::EnvironmentGuard> environment_;
    std::unique_ptr<standin::StandinProcess> server_;
    std::unique_ptr<Referee> referee_;
};

void TestTVelkinTTRS::initTestCase() {
    // A Traditional Chinese system and user: filter texts are Big5.
    environment_ = std::make_unique<platform::testing::EnvironmentGuard>();
    environment_->set("VELKIN_SYSTEM_LOCALE", "zh_TW");
    environment_->set("VELKIN_USER_LOCALE", "zh_TW");
    QXGrid::InitGridUnit();
    Cmn_Modules::SetDataAccessStartup(&StartDataAccess);
    Cmn_Modules::InitializeDataAccess();
    server_ = std::make_unique<standin::StandinProcess>(std::vector<std::string>{"--seed", "demo"});
    referee_ = std::make_unique<Referee>(*server_);
}

void TestTVelkinTTRS::cleanupTestCase() {
    referee_.reset();
    server_.reset();
    environment_.reset();
}

void TestTVelkinTTRS::queryFindsWhatTheRulesSay_data() {
    QTest::addColumn<QString>("page");
    QTest::addColumn<Filters>("filters");
    QTest::addColumn<QString>("commandText");
    QTest::addColumn<QString>("refereeCount"); // the same rows, written by hand
    QTest::addColumn<bool>("findsRows");
    QTest::newRow("T_DocMas, nothing typed") << "ts_docmas" << Filters{} << "SELECT * FROM T_DOCMAS"
                                             << "SELECT COUNT(*) FROM T_DOCMAS" << true;
    QTest::newRow("T_DocMas, LIKE and equality, reverse creation order")
        << "ts_docmas" << Filters{{"TTRSGen_UTR", "UTR0000002023001*"}, {"TTRS_dm_Status", "A"}}
        << "SELECT * FROM T_DOCMAS where Status = 'A' and UTR LIKE 'UTR0000002023001%'"
        << "SELECT COUNT(*) FROM T_DOCMAS WHERE UTR >= 'UTR0000002023001' AND "
           "UTR < 'UTR0000002023002' AND Status = 'A'"
        << true;
    QTest::newRow("T_DocMas, CanSign first, UTR last")
        << "ts_docmas"
        << Filters{{"TTRSGen_UTR", "*"}, {"TTRS_dm_SSeqNo", "3"}, {"TTRS_dm_CanSign", "Y"}}
        << "SELECT * FROM T_DOCMAS where CanSign = 'Y' and SSeqNo = '3' and UTR LIKE '%'"
        << "SELECT COUNT(*) FROM T_DOCMAS WHERE CanSign = 'Y' AND SSeqNo = 3" << true;
    QTest::newRow("blank filters and the empty combo items add nothing")
        << "ts_lxchg"
        << Filters{{"TTRSGen_UTR", "   "},
                   {"TTRSGen_cbxProcessorRole", ""},
                   {"TTRSGen_cbxMType", ""}}
        << "SELECT * FROM T_LXCHG"
        << "SELECT COUNT(*) FROM T_LXCHG" << true;
    QTest::newRow("filters of other pages add nothing")
        << "ts_lxchg" << Filters{{"TTRS_dm_Status", "A"}, {"TTRS_lc_LstVersion", "2"}}
        << "SELECT * FROM T_LXCHG where LstVersion = '2'"
        << "SELECT COUNT(*) FROM T_LXCHG WHERE LstVersion = 2" << true;
    QTest::newRow("T_LstDoc, combo boxes filter")
        << "ts_lstdoc" << Filters{{"TTRSGen_cbxProcessorRole", "IF"}, {"TTRS_ld_BoxType", "I"}}
        << "SELECT * FROM T_LSTDOC where BoxType = 'I' and ProcessorRole = 'IF'"
        << "SELECT COUNT(*) FROM T_LSTDOC WHERE BoxType = 'I' AND ProcessorRole = 'IF'" << true;
    QTest::newRow("typed combo text with a star")
        << "ts_cursta" << Filters{{"TTRSGen_cbxProcessorRole", "I*"}}
        << "SELECT * FROM T_CURSTA where ProcessorRole LIKE 'I%'"
        << "SELECT COUNT(*) FROM T_CURSTA WHERE ProcessorRole IN ('IF', 'IC')" << true;
    QTest::newRow("T_CurSta, message type and state")
        << "ts_cursta" << Filters{{"TTRSGen_cbxMType", "TT0EN1"}, {"TTRS_cs_CurrState", "SENT"}}
        << "SELECT * FROM T_CURSTA where CurrState = 'SENT' and MType = 'TT0EN1'"
        << "SELECT COUNT(*) FROM T_CURSTA WHERE CurrState = 'SENT' AND MType = 'TT0EN1'" << true;
    QTest::newRow("Master Table: EDI and combo boxes do not filter, UTR does")
        << "ts_mastertable"
        << Filters{{"TTRSGen_cbxMType", "TT0EN1"},
                   {"TTRSGen_UTR", "UTR000000202300001"},
                   {"TTRSGen_ProcessorEDI", "E"},
                   {"TTRSGen_cbxProcessorRole", "T"}}
        << "SELECT * FROM T_EN1MAS where UTR = 'UTR000000202300001'"
        << "SELECT COUNT(*) FROM T_EN1MAS WHERE UTR = 'UTR000000202300001'" << true;
    QTest::newRow("Master Table: entry 13, typed in lower case")
        << "ts_mastertable" << Filters{{"TTRSGen_cbxMType", "ttcarr"}, {"TTRS_mt_tifMsgFn", "3"}}
        << "SELECT * FROM T_ARBYCA where tifMsgFn = '3'"
        << "SELECT COUNT(*) FROM T_ARBYCA WHERE tifMsgFn = '3'" << true;
    QTest::newRow("sixth page: only the general filters")
        << "ts_custom" << Filters{{"TTRSGen_cbxProcessorRole", "IF"}, {"TTRS_mt_SSeqNo", "1"}}
        << "SELECT * FROM T_GdsDtl where ProcessorRole = 'IF'"
        << "SELECT COUNT(*) FROM T_GdsDtl WHERE ProcessorRole = 'IF'" << true;
    QTest::newRow("equality compares the text as typed")
        << "ts_lstdoc" << Filters{{"TTRS_ld_ReferenceNo", "REF_000037"}}
        << "SELECT * FROM T_LSTDOC where ReferenceNo = 'REF_000037'"
        << "SELECT COUNT(*) FROM T_LSTDOC WHERE ReferenceNo = 'REF_000037'" << false;
    QTest::newRow("LIKE keeps brackets, percent and underscore literal")
        << "ts_lstdoc" << Filters{{"TTRS_ld_ReferenceNo", "REF_[%]*"}}
        << "SELECT * FROM T_LSTDOC where ReferenceNo LIKE 'REF[_][[][%]]%'"
        << "SELECT COUNT(*) FROM T_LSTDOC WHERE 1 = 0" << false;
    QTest::newRow("an attempted injection stays a value")
        << "ts_docmas" << Filters{{"TTRS_dm_Status", "x' OR '1'='1"}}
        << "SELECT * FROM T_DOCMAS where Status = 'x'' OR ''1''=''1'"
        << "SELECT COUNT(*) FROM T_DOCMAS WHERE 1 = 0" << false;
    QTest::newRow("an injection in a pattern stays a value")
        << "ts_docmas" << Filters{{"TTRSGen_UTR", "*' OR 1=1 --"}}
        << "SELECT * FROM T_DOCMAS where UTR LIKE '%'' OR 1=1 --'"
        << "SELECT COUNT(*) FROM T_DOCMAS WHERE 1 = 0" << false;
    QTest::newRow("leading blanks dropped, trailing blank kept")
        << "ts_docmas" << Filters{{"TTRS_dm_Status", "  OK "}}
        << "SELECT * FROM T_DOCMAS where Status = 'OK '"
        << "SELECT COUNT(*) FROM T_DOCMAS WHERE Status = 'OK'" << true;
}

void TestTVelkinTTRS::queryFindsWhatTheRulesSay() {
    QFETCH(QString, page);
    QFETCH(Filters, filters);
    QFETCH(QString, commandText);
    QFETCH(QString, refereeCount);
    QFETCH(bool, findsRows);
    TTRSFixture f(*server_);
    f.showPage(page);
    for (const auto& [name, text] : filters)
        f.setFilter(name, text);
    f.refresh();
    QCOMPARE(f.boxTexts(), QStringList());
    QCOMPARE(f.commandText(), commandText);
    QVERIFY(f.dataSet().Active());
    const int expected = referee_->count(refereeCount);
    QCOMPARE(f.dataSet().RecordCount(), expected);
    QCOMPARE(expected > 0, findsRows);
    // The strip names the master table after a Master Table query only.
    const QString table = commandText.section(' ', 3, 3);
    QCOMPARE(f.panel(), page == "ts_mastertable" ? table : QString());
    if (db::TField* utr = f.dataSet().FindField("UTR"))
        QCOMPARE(utr->DisplayWidth(), 18);
    if (db::TField* mtype = f.dataSet().FindField("MType"))
        QCOMPARE(mtype->DisplayWidth(), 9);
}

void TestTVelkinTTRS::masterTableWithoutMessageTypeStaysClosed() {
    TTRSFixture f(*server_);
    f.refresh(); // T_DocMas open, so that the Master Table page has something to close
    QVERIFY(f.dataSet().Active());
    f.setFilter("TTRSGen_cbxMType", " ");
    f.showPage("ts_mastertable");
    QCOMPARE(f.boxTexts(), QStringList());
    QVERIFY(!f.dataSet().Active());
    QCOMPARE(f.commandText(), QString());
    QCOMPARE(f.panel(), QString());
}

void TestTVelkinTTRS::unknownMessageTypeIsRefused_data() {
    QTest::addColumn<QString>("typed");
    QTest::newRow("text") << "TEXT";
    QTest::newRow("a prefix of an item") << "TT0EN";
    QTest::newRow("a quote") << "TT0EN1'";
}

void TestTVelkinTTRS::unknownMessageTypeIsRefused() {
    QFETCH(QString, typed);
    TTRSFixture f(*server_);
    f.setFilter("TTRSGen_cbxMType", "TT0EN1");
    f.showPage("ts_mastertable");
    QCOMPARE(f.panel(), QString("T_EN1MAS"));
    f.setFilter("TTRSGen_cbxMType", typed);
    f.refresh();
    QCOMPARE(f.boxTexts(), QStringList{"Unknown message type \"" + typed + "\"."});
    QCOMPARE(f.dialogs.boxes[0].kind, platform::BoxKind::Error);
    QVERIFY(!f.dataSet().Active());
    QCOMPARE(f.panel(), QString());
}

void TestTVelkinTTRS::enterInMessageTypeRefreshesWithoutAddingItems() {
    TTRSFixture f(*server_);
    f.showPage("ts_mastertable");
    auto* types = f.control<QComboBox>("TTRSGen_cbxMType");
    QApplication::setActiveWindow(f.window.get());
    types->setFocus();
    types->lineEdit()->selectAll();
    QTest::keyClicks(types, "NOSUCH");
    QTest::keyClick(types, Qt::Key_Return);
    QCOMPARE(types->count(), 17);
    QCOMPARE(f.boxTexts(), QStringList{"Unknown message type \"NOSUCH\"."});
    // A later Enter on a known type still picks the right table.
    f.dialogs.boxes.clear();
    types->lineEdit()->selectAll();
    QTest::keyClicks(types, "TTAERR");
    QTest::keyClick(types, Qt::Key_Return);
    QCOMPARE(f.boxTexts(), QStringList());
    QCOMPARE(f.panel(), QString("T_ERRMAS"));
    QVERIFY(f.dataSet().Active());
}

void TestTVelkinTTRS::textTheCodePageCannotCarryIsRefused() {
    TTRSFixture f(*server_);
    // "个" exists only in Simplified Chinese: Big5 has no byte for it.
    f.setFilter("TTRSGen_UTR", QString::fromUtf8("个*"));
    f.refresh();
    QCOMPARE(f.dialogs.boxes.size(), size_t{1});
    QVERIFY2(f.dialogs.boxes[0].text.contains("UTR"), qPrintable(f.dialogs.boxes[0].text));
    QVERIFY(f.dialogs.boxes[0].text.contains("950"));
    QVERIFY(!f.dataSet().Active());
    // A null character would cut the query short: refused too.
    f.dialogs.boxes.clear();
    f.setFilter("TTRSGen_UTR", QString("A") + QChar(0) + "' OR 1=1");
    f.refresh();
    QCOMPARE(f.dialogs.boxes.size(), size_t{1});
    QVERIFY(!f.dataSet().Active());
}

void TestTVelkinTTRS::refusedQueryKeepsTextAndTabStaysUsable() {
    TTRSFixture f(*server_);
    auto* tables = f.control<QComboBox>("ComboBox1");
    referee_->run("DROP TABLE T_QryRpl");
    tables->setCurrentIndex(tables->findText("T_QryRpl"));
    emit tables->activated(tables->currentIndex());
    QCOMPARE(f.dialogs.boxes.size(), size_t{1});
    QVERIFY2(f.dialogs.boxes[0].text.contains("Invalid object name 'T_QryRpl'"),
             qPrintable(f.dialogs.boxes[0].text));
    QVERIFY(!f.dataSet().Active());
    QCOMPARE(f.commandText(), QString("SELECT * FROM T_QryRpl"));
    QCOMPARE(f.inner()->tabText(5), QString("T_QryRpl"));

    // A column that is not there: the server's message, and the next query works.
    f.dialogs.boxes.clear();
    referee_->run("CREATE TABLE T_QryRpl (Other int NULL)");
    f.setFilter("TTRSGen_UTR", "X");
    f.refresh();
    QCOMPARE(f.dialogs.boxes.size(), size_t{1});
    QVERIFY2(f.dialogs.boxes[0].text.contains("UTR"), qPrintable(f.dialogs.boxes[0].text));
    QCOMPARE(f.commandText(), QString("SELECT * FROM T_QryRpl where UTR = 'X'"));
    f.dialogs.boxes.clear();
    f.setFilter("TTRSGen_UTR", "");
    f.showPage("ts_docmas");
    QCOMPARE(f.boxTexts(), QStringList());
    QVERIFY(f.dataSet().Active());
}

void TestTVelkinTTRS::whichActionsRunAQuery() {
    TTRSFixture f(*server_);
    QVERIFY(!f.dataSet().Active()); // nothing runs when the tab is shown
    f.showPage("ts_lstdoc");
    QCOMPARE(f.opens, 1);
    QCOMPARE(f.commandText(), QString("SELECT * FROM T_LSTDOC"));
    // A click on the tab already shown runs nothing.
    QTest::mouseClick(f.inner()->tabBar(), Qt::LeftButton, {},
                      f.inner()->tabBar()->tabRect(1).center());
    QCOMPARE(f.opens, 1);
    // Picking a table switches to the sixth page and queries once.
    auto* tables = f.control<QComboBox>("ComboBox1");
    tables->setCurrentIndex(tables->findText("T_RRMas"));
    emit tables->activated(tables->currentIndex());
    QCOMPARE(f.opens, 2);
    QCOMPARE(f.inner()->currentWidget()->objectName(), QString("ts_custom"));
    QCOMPARE(f.inner()->tabText(5), QString("T_RRMas"));
    QCOMPARE(f.dataSet().RecordCount(), referee_->count("SELECT COUNT(*) FROM T_RRMas"));
    // Enter in a filter presses Refresh.
    QApplication::setActiveWindow(f.window.get());
    auto* utr = f.control<QLineEdit>("TTRSGen_UTR");
    utr->setFocus();
    QTest::keyClick(utr, Qt::Key_Return);
    QCOMPARE(f.opens, 3);
    QCOMPARE(f.boxTexts(), QStringList());
}

void TestTVelkinTTRS::insertedRowShowsTheTableDefaults() {
    TTRSFixture f(*server_);
    f.showPage("ts_docmas");
    f.setFilter("TTRS_dm_SSeqNo", "1");
    f.refresh();
    QCOMPARE(f.boxTexts(), QStringList());
    TQXADODataSet& ds = f.dataSet();
    QVERIFY(ds.Active());
    QVERIFY(ds.ColumnMetadataLoaded());
    QVERIFY(ds.FieldByName("SSeqNo")->Required());
    QVERIFY(!ds.FieldByName("Remark")->Required());
    const std::time_t before = std::time(nullptr);
    ds.Insert();
    // T_DOCMAS.CreateDate defaults to getdate().
    QVERIFY(!ds.FieldByName("CreateDate")->IsNull());
    std::tm local{};
    localtime_r(&before, &local);
    QCOMPARE(int(ds.FieldByName("CreateDate")->AsDateTime().year), local.tm_year + 1900);
    QVERIFY(ds.FieldByName("Remark")->IsNull());
    ds.Cancel();
    QCOMPARE(f.boxTexts(), QStringList());
}

void TestTVelkinTTRS::editIsWrittenBack() {
    TTRSFixture f(*server_);
    f.showPage("ts_cursta");
    f.setFilter("TTRSGen_UTR", "UTR000000202300007");
    f.refresh();
    QCOMPARE(f.dataSet().RecordCount(), 1);
    TQXADODataSet& ds = f.dataSet();
    ds.Edit();
    ds.FieldByName("LockQueue")->SetAsString("QZ9");
    ds.Post();
    QCOMPARE(referee_->text("SELECT LockQueue FROM T_CURSTA WHERE UTR = 'UTR000000202300007'"),
             QString("QZ9"));

    // Wide text goes back as typed.
    f.showPage("ts_docmas");
    f.setFilter("TTRS_dm_SSeqNo", "1");
    f.refresh();
    QVERIFY(ds.RecordCount() > 0);
    const std::u16string remark = u"\u7E41\u9AD4 / \u7B80\u4F53";
    const std::u16string utr = ds.FieldByName("UTR")->AsWideString();
    ds.Edit();
    ds.FieldByName("Remark")->SetAsWideString(remark);
    ds.Post();
    const QString remarkQuery = "SELECT Remark FROM T_DOCMAS WHERE SSeqNo = 1 AND UTR = '" +
                                QString::fromStdU16String(utr) + "'";
    QCOMPARE(referee_->text(remarkQuery), QString::fromStdU16String(remark));

    // Closing over a half-done edit (the next query) drops it without a word.
    ds.Edit();
    ds.FieldByName("Remark")->SetAsWideString(u"dropped");
    f.refresh();
    QCOMPARE(f.boxTexts(), QStringList());
    QCOMPARE(referee_->text(remarkQuery), QString::fromStdU16String(remark));
}

void TestTVelkinTTRS::big5TextShownAndFound() {
    // A reference number with Big5 characters whose second bytes are "_" and "[".
    const QString reference = QString::fromUtf8("北_久[1]");
    referee_->run("UPDATE T_LSTDOC SET ReferenceNo = N'" + reference + "' WHERE LstSSeq = 5");
    TTRSFixture f(*server_);
    f.showPage("ts_lstdoc");
    for (const QString& typed : {reference, QString::fromUtf8("北_*"), QString::fromUtf8("*久[1]"),
                                 QString::fromUtf8("北*")}) {
        f.setFilter("TTRS_ld_ReferenceNo", typed);
        f.refresh();
        QCOMPARE(f.boxTexts(), QStringList());
        QVERIFY2(f.dataSet().RecordCount() == 1, qPrintable(typed + " " + f.commandText()));
        QCOMPARE(f.dataSet().FieldByName("LstSSeq")->AsInteger(), 5);
    }
    // The Big5 titles show as Chinese in the grid on this 950 system.
    auto* grid = f.control<DataGrid>("DBGrid2");
    const platform::WideString shown = QXGrid::CellText(f.dataSet().FieldByName("Note"));
    QVERIFY(grid->ColumnCount() > 0);
    QVERIFY(!shown.empty());
    QCOMPARE(QString::fromStdU16String(shown),
             referee_->text("SELECT Note FROM T_LSTDOC WHERE LstSSeq = 5"));
    QVERIFY(!QString::fromStdU16String(shown).contains('?'));
}

void TestTVelkinTTRS::longTextOpensMemoPage() {
    TTRSFixture f(*server_);
    f.setFilter("TTRSGen_UTR", "UTR000000202300001");
    f.refresh();
    QCOMPARE(f.dataSet().RecordCount(), 1);
    auto* grid = f.control<DataGrid>("DBGrid1");
    auto* pages = f.control<QTabWidget>("PageControl_TTRS");

    // A short column stays on the data page.
    grid->SetSelectedField(f.dataSet().FieldByName("Status"));
    emit grid->CellClick(grid->SelectedIndex());
    QCOMPARE(pages->currentWidget()->objectName(), QString("ts_Data"));

    grid->SetSelectedField(f.dataSet().FieldByName("Memo"));
    emit grid->CellClick(grid->SelectedIndex());
    QCOMPARE(pages->currentWidget()->objectName(), QString("ts_Memo"));
    const QString memo = f.control<QPlainTextEdit>("Memo2")->toPlainText();
    QVERIFY(memo.size() > 1000);
    QCOMPARE(memo, referee_->text("SELECT Memo FROM T_DOCMAS WHERE UTR = 'UTR000000202300001'"));
    QVERIFY(f.control<QPlainTextEdit>("Memo2")->isReadOnly());

    f.control<QPushButton>("Button1")->click();
    QCOMPARE(pages->currentWidget()->objectName(), QString("ts_Data"));
    QCOMPARE(f.boxTexts(), QStringList());
}

QTEST_MAIN(TestTVelkinTTRS)
#include "tst_TVelkinTTRS.moc"
