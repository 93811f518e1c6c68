// Nothing the operator typed into a grid is lost: a post the server refuses keeps
// the edited values for another try, and closing the window while a change is
// pending asks whether to post it first.
#include "WindowTestSupport.h"
#include "app/DataObjects.h"
#include "app/GridFactory.h"
#include "app/Unit1.h"
#include "data/ado/Connection.h"
#include "data/ado/Recordset.h"
#include "platform/Dialogs.h"
#include "standin/launcher/StandinProcess.h"
#include "ui/Cmn_Modules.h"

#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <memory>

using platform::Answer;
using platform::BoxKind;

namespace {

const QString kQuestion = "Post the pending change before closing?";

// A window with the Customers table of the demo database open in the browse grid.
class CustomersFixture {
public:
    explicit CustomersFixture(const standin::StandinProcess& server) : server(server) {
        settings.writeRegistry(settings.folder());
        settings.writeSettings({server.host(), std::to_string(server.port()), "sa", "velkin", ""});
        window = std::make_unique<TVelkin>();
        window->show();
        Control<QPushButton>(*window, "btnConnect")->click();
        clickItem("DatabaseList", "VELKIN_DEMO");
        clickItem("TableList", "Customers");
        id = browse().FieldByName("CustomerID")->AsInteger();
    }
    ~CustomersFixture() {
        dialogs.answers.clear();
        window->close();
    }

    db::TDataSet& browse() {
        return DataObject<db::TDataSet>(window->DataObjects(), "browTntADOTableLX");
    }
    void clickItem(const char* listName, const QString& text) {
        ClickItem(*window, listName, text);
    }
    /// Enter in the browse grid: the operator's way of posting.
    void pressEnterInGrid() {
        auto* grid = Control<DataGrid>(*window, "browDBGrid");
        grid->setFocus();
        QTest::keyClick(grid, Qt::Key_Return);
    }
    void edit(const char* field, const char* value) {
        if (browse().State() != db::dsEdit)
            browse().Edit();
        if (value)
            browse().FieldByName(field)->SetAsString(value);
        else
            browse().FieldByName(field)->Clear();
    }
    /// The row's City as the server holds it, read over a connection of its own.
    QString storedCity() {
        ado::TADOConnection connection;
        const std::string port = std::to_string(server.port());
        connection.setConnectionString(u"Provider=SQLOLEDB.1;Data Source=127.0.0.1," +
                                       std::u16string(port.begin(), port.end()) +
                                       u";Initial Catalog=VELKIN_DEMO;User ID=sa;Password=velkin");
        connection.Open();
        auto rows = connection.Execute(u"SELECT City FROM Customers WHERE CustomerID = " +
                                       QString::number(id).toStdU16String());
        const ado::Variant city = rows->Fields(0).Value();
        if (city.is<platform::WideString>())
            return QString::fromStdU16String(city.get<platform::WideString>());
        if (city.is<platform::AnsiString>())
            return QString::fromStdString(city.get<platform::AnsiString>());
        return city.isNull() ? QString() : QString("<not text>");
    }
    QString editedCity() {
        return QString::fromStdString(browse().FieldByName("City")->AsString());
    }

    const standin::StandinProcess& server;
    platform::RecordingDialogs dialogs;
    SettingsFixture settings;
    std::unique_ptr<TVelkin> window;
    int id = 0;
};

} // namespace

Q_DECLARE_METATYPE(platform::Answer)

class TestTVelkinPendingChanges : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();

    void refusedPostKeepsTheEdit();
    void closeAsksAboutAPendingChange_data();
    void closeAsksAboutAPendingChange();
    void closeWithoutAPendingChangeAsksNothing();

private:
    std::unique_ptr<standin::StandinProcess> server_;
};

void TestTVelkinPendingChanges::initTestCase() {
    Cmn_Modules::SetDataAccessStartup(&StartDataAccess);
    Cmn_Modules::InitializeDataAccess();
    server_ = std::make_unique<standin::StandinProcess>(std::vector<std::string>{"--seed", "demo"});
}

void TestTVelkinPendingChanges::cleanupTestCase() {
    server_.reset();
}

void TestTVelkinPendingChanges::refusedPostKeepsTheEdit() {
    CustomersFixture f(*server_);
    QVERIFY(f.dialogs.boxes.empty());
    const QString stored = f.storedCity();

    // Name is NOT NULL: the server refuses the row.
    f.edit("City", "Refused at first");
    f.edit("Name", nullptr);
    f.pressEnterInGrid();
    QCOMPARE(f.dialogs.boxes.size(), size_t(1));
    QCOMPARE(f.dialogs.boxes[0].kind, BoxKind::Error);
    QVERIFY(f.browse().State() == db::dsEdit);
    QCOMPARE(f.editedCity(), QString("Refused at first"));
    QCOMPARE(f.storedCity(), stored);

    // Mended, the same edit posts.
    f.edit("Name", "Named again");
    f.pressEnterInGrid();
    QCOMPARE(f.dialogs.boxes.size(), size_t(1));
    QVERIFY(f.browse().State() == db::dsBrowse);
    QCOMPARE(f.storedCity(), QString("Refused at first"));
}

void TestTVelkinPendingChanges::closeAsksAboutAPendingChange_data() {
    QTest::addColumn<Answer>("answer");
    QTest::addColumn<bool>("postFails");
    QTest::addColumn<bool>("closes");
    QTest::addColumn<bool>("stored");
    QTest::newRow("Yes posts and closes") << Answer::Yes << false << true << true;
    QTest::newRow("No discards and closes") << Answer::No << false << true << false;
    QTest::newRow("Yes with a refused post stays open") << Answer::Yes << true << false << false;
}

void TestTVelkinPendingChanges::closeAsksAboutAPendingChange() {
    QFETCH(Answer, answer);
    QFETCH(bool, postFails);
    QFETCH(bool, closes);
    QFETCH(bool, stored);
    CustomersFixture f(*server_);
    const QString before = f.storedCity();
    const QString typed = QString("Typed %1").arg(QTest::currentDataTag());
    f.edit("City", qPrintable(typed));
    if (postFails)
        f.edit("Name", nullptr);

    f.dialogs.answers = {answer};
    QCOMPARE(f.window->close(), closes);
    QVERIFY(f.dialogs.boxes.size() >= 1);
    QCOMPARE(f.dialogs.boxes[0].kind, BoxKind::Question);
    QCOMPARE(f.dialogs.boxes[0].text, kQuestion);
    QCOMPARE(f.dialogs.boxes.size(), size_t(postFails ? 2 : 1));
    QCOMPARE(f.window->isVisible(), !closes);
    QCOMPARE(f.storedCity(), stored ? typed : before);
    if (postFails) {
        // The refused change is still there to mend.
        QVERIFY(f.browse().State() == db::dsEdit);
        QCOMPARE(f.editedCity(), typed);
        f.browse().Cancel();
    }
}

void TestTVelkinPendingChanges::closeWithoutAPendingChangeAsksNothing() {
    CustomersFixture f(*server_);
    f.browse().Edit(); // editing without a change is nothing to lose
    QVERIFY(f.window->close());
    QVERIFY(f.dialogs.boxes.empty());
}

QTEST_MAIN(TestTVelkinPendingChanges)
#include "tst_TVelkinPendingChanges.moc"
