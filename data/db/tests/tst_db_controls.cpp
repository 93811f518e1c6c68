// What bound controls hear: the data events a link receives for each dataset
// operation, the effect of DisableControls nesting, and a grid link's window.
#include "MemoryDataSet.h"
#include "data/db/DataSource.h"

#include <QTest>

using namespace db;
using dbtest::MemoryDataSet;

namespace {

const char* EventName(TDataEvent e) {
    switch (e) {
    case deFieldChange:
        return "FieldChange";
    case deRecordChange:
        return "RecordChange";
    case deDataSetChange:
        return "DataSetChange";
    case deDataSetScroll:
        return "DataSetScroll";
    case deLayoutChange:
        return "LayoutChange";
    case deUpdateRecord:
        return "UpdateRecord";
    case deUpdateState:
        return "UpdateState";
    case deCheckBrowseMode:
        return "CheckBrowseMode";
    case deFieldListChange:
        return "FieldListChange";
    case deDisabledStateChange:
        return "DisabledStateChange";
    default:
        return "Other";
    }
}

/// A control's link that writes down every event and its own callbacks.
class RecordingLink : public TDataLink {
public:
    QStringList events;
    QStringList calls;
    void DataEvent(TDataEvent event, intptr_t info) override {
        events << EventName(event);
        TDataLink::DataEvent(event, info);
    }

protected:
    void ActiveChanged() override { calls << (Active() ? "active" : "inactive"); }
    void EditingChanged() override { calls << (Editing() ? "editing" : "not editing"); }
    void RecordChanged(TField* field) override {
        calls << (field ? "record:" + QString::fromStdString(field->FieldName()) : "record");
    }
};

} // namespace

class ControlsTest : public QObject {
    Q_OBJECT

private slots:
    void eventsSeenByLink_data();
    void eventsSeenByLink();
    void disableControlsNests();
    void stateChangesPassWhileDisabled();
    void linkActiveAndEditing();
    void gridWindowFollowsCurrentRecord();
    void destroyingSourceOrDataSetUnbinds();
};

void ControlsTest::eventsSeenByLink_data() {
    QTest::addColumn<QString>("action");
    QTest::addColumn<QStringList>("events");

    QTest::newRow("next") << "next" << QStringList{"CheckBrowseMode", "DataSetScroll"};
    QTest::newRow("first") << "first" << QStringList{"CheckBrowseMode", "DataSetChange"};
    QTest::newRow("edit") << "edit" << QStringList{"UpdateState", "RecordChange"};
    QTest::newRow("edit+set") << "edit+set"
                              << QStringList{"UpdateState", "RecordChange", "FieldChange"};
    QTest::newRow("edit+set+post")
        << "edit+set+post"
        << QStringList{"UpdateState",     "RecordChange", "FieldChange",  "UpdateRecord",
                       "CheckBrowseMode", "UpdateState",  "DataSetChange"};
    QTest::newRow("close") << "close" << QStringList{"FieldListChange", "UpdateState"};
}

void ControlsTest::eventsSeenByLink() {
    QFETCH(QString, action);
    QFETCH(QStringList, events);
    MemoryDataSet ds(dbtest::PeopleColumns(), dbtest::PeopleRows());
    TDataSource source;
    source.SetDataSet(&ds);
    RecordingLink link;
    link.SetDataSource(&source);
    ds.Open();
    link.events.clear();
    if (action == "next")
        ds.Next();
    else if (action == "first")
        ds.First();
    else if (action == "close")
        ds.Close();
    else {
        ds.Edit();
        if (action.contains("set"))
            ds.FieldByName("Name")->SetAsString("x");
        if (action.contains("post"))
            ds.Post();
    }
    QCOMPARE(link.events, events);
}

void ControlsTest::disableControlsNests() {
    MemoryDataSet ds(dbtest::PeopleColumns(), dbtest::PeopleRows());
    TDataSource source;
    source.SetDataSet(&ds);
    RecordingLink link;
    link.SetDataSource(&source);
    ds.Open();
    link.events.clear();
    ds.DisableControls();
    ds.DisableControls();
    ds.Next();
    ds.Next();
    ds.EnableControls();
    QVERIFY(ds.ControlsDisabled());
    QVERIFY(link.events.isEmpty());
    ds.EnableControls();
    QVERIFY(!ds.ControlsDisabled());
    // The withheld scrolls come back as one data-set change.
    QCOMPARE(link.events, QStringList{"DataSetChange"});
    ds.EnableControls(); // unbalanced: harmless
    QCOMPARE(link.events, QStringList{"DataSetChange"});
}

void ControlsTest::stateChangesPassWhileDisabled() {
    MemoryDataSet ds(dbtest::PeopleColumns(), dbtest::PeopleRows());
    TDataSource source;
    source.SetDataSet(&ds);
    RecordingLink link;
    link.SetDataSource(&source);
    ds.Open();
    link.events.clear();
    link.calls.clear();
    ds.DisableControls();
    ds.Close();
    QCOMPARE(link.events, QStringList{"DisabledStateChange"});
    QCOMPARE(link.calls, QStringList{"inactive"});
    ds.Open();
    ds.EnableControls();
    QCOMPARE(link.calls, (QStringList{"inactive", "active", "record"}));
    // Closed while disabled: the controls are told to lay themselves out again.
    QCOMPARE(link.events.last(), QString("LayoutChange"));
}

void ControlsTest::linkActiveAndEditing() {
    MemoryDataSet ds(dbtest::PeopleColumns(), dbtest::PeopleRows());
    TDataSource source;
    RecordingLink link;
    link.SetDataSource(&source);
    source.SetDataSet(&ds);
    QVERIFY(!link.Active());
    ds.Open();
    QVERIFY(link.Active());
    QVERIFY(link.Edit());
    QVERIFY(link.Editing());
    ds.Cancel();
    QCOMPARE(link.calls, (QStringList{"active", "editing", "record", "not editing", "record"}));
    source.SetEnabled(false);
    QVERIFY(!link.Active());
}

void ControlsTest::gridWindowFollowsCurrentRecord() {
    std::vector<std::vector<Variant>> rows;
    for (int i = 0; i < 100; ++i)
        rows.push_back(
            {Variant(i), Variant("r" + std::to_string(i)), Variant::null(), Variant::null()});
    MemoryDataSet ds(dbtest::PeopleColumns(), std::move(rows));
    TDataSource source;
    source.SetDataSet(&ds);
    RecordingLink grid;
    grid.SetDataSource(&source);
    grid.SetBufferCount(10);
    ds.Open();
    QCOMPARE(grid.RecordCount(), 10);
    QCOMPARE(grid.FirstRecord(), 0);
    ds.MoveBy(15);
    QCOMPARE(grid.FirstRecord(), 6);
    QCOMPARE(grid.ActiveRecord(), 9);
    grid.SetActiveRecord(0);
    QCOMPARE(ds.FieldByName("Name")->AsString(), std::string("r6"));
    grid.SetActiveRecord(-1);
    QCOMPARE(ds.FieldByName("Name")->AsString(), std::string("r15"));
    ds.Last();
    QCOMPARE(grid.FirstRecord(), 90);
    QCOMPARE(grid.RecordCount(), 10);
}

void ControlsTest::destroyingSourceOrDataSetUnbinds() {
    RecordingLink link;
    {
        MemoryDataSet ds(dbtest::PeopleColumns(), dbtest::PeopleRows());
        {
            TDataSource source;
            source.SetDataSet(&ds);
            link.SetDataSource(&source);
            ds.Open();
            QVERIFY(link.Active());
        }
        QCOMPARE(link.DataSource(), nullptr);
        QVERIFY(!link.Active());
        ds.Next(); // no source left to notify
    }
    auto ds = std::make_unique<MemoryDataSet>(dbtest::PeopleColumns(), dbtest::PeopleRows());
    TDataSource source;
    source.SetDataSet(ds.get());
    link.SetDataSource(&source);
    ds->Open();
    QVERIFY(link.Active());
    ds.reset(); // a grid must not go on reading the fields of a dataset that is gone
    QCOMPARE(source.DataSet(), nullptr);
    QVERIFY(!link.Active());
    QCOMPARE(source.State(), dsInactive);
}

QTEST_APPLESS_MAIN(ControlsTest)
#include "tst_db_controls.moc"
