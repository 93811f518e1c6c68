// The order of events and internal operations through a dataset's life:
// open, close, insert/append, post, cancel, delete, and what a failed post
// or a close during an edit leaves behind.
#include "MemoryDataSet.h"

#include <QTest>

using namespace db;
using dbtest::MemoryDataSet;

namespace {

/// Hooks every event of a dataset into one log.
void Record(TDataSet& ds, QStringList& log) {
    auto hook = [&log](const char* name) {
        return [&log, name](TDataSet&) {
            log << name;
        };
    };
    ds.BeforeOpen = hook("BeforeOpen");
    ds.AfterOpen = hook("AfterOpen");
    ds.BeforeClose = hook("BeforeClose");
    ds.AfterClose = hook("AfterClose");
    ds.BeforeInsert = hook("BeforeInsert");
    ds.AfterInsert = hook("AfterInsert");
    ds.BeforeEdit = hook("BeforeEdit");
    ds.AfterEdit = hook("AfterEdit");
    ds.BeforePost = hook("BeforePost");
    ds.AfterPost = hook("AfterPost");
    ds.BeforeCancel = hook("BeforeCancel");
    ds.AfterCancel = hook("AfterCancel");
    ds.BeforeDelete = hook("BeforeDelete");
    ds.AfterDelete = hook("AfterDelete");
    ds.BeforeScroll = hook("BeforeScroll");
    ds.AfterScroll = hook("AfterScroll");
    ds.OnNewRecord = hook("OnNewRecord");
}

} // namespace

class LifecycleTest : public QObject {
    Q_OBJECT

private slots:
    void eventOrder_data();
    void eventOrder();
    void openMakesFieldsFromDefinitions();
    void failedPostKeepsEditPending();
    void postErrorHandlerCanRetry();
    void closeDropsPendingEdit();
    void insertCancelReturnsToPreviousRecord();
    void appendPostsAtTheEnd();
    void requiredFieldRefusesPost();
    void operationsOnClosedDatasetRaise();
    void destroyRaisesNoCloseEvents();
};

void LifecycleTest::eventOrder_data() {
    QTest::addColumn<QString>("action");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("open") << "open" << QStringList{"BeforeOpen", "AfterOpen"};
    QTest::newRow("close") << "close" << QStringList{"BeforeClose", "AfterClose"};
    QTest::newRow("edit+post") << "edit+post"
                               << QStringList{"BeforeEdit", "AfterEdit", "BeforePost", "AfterPost"};
    QTest::newRow("edit+cancel") << "edit+cancel"
                                 << QStringList{"BeforeEdit", "AfterEdit", "BeforeCancel",
                                                "AfterCancel"};
    QTest::newRow("insert+post") << "insert+post"
                                 << QStringList{"BeforeInsert", "BeforeScroll", "OnNewRecord",
                                                "AfterInsert",  "AfterScroll",  "BeforePost",
                                                "AfterPost"};
    QTest::newRow("delete") << "delete"
                            << QStringList{"BeforeDelete", "BeforeScroll", "AfterDelete",
                                           "AfterScroll"};
    QTest::newRow("next") << "next" << QStringList{"BeforeScroll", "AfterScroll"};
    QTest::newRow("edit, then next posts")
        << "edit+next" << QStringList{"BeforeEdit", "AfterEdit",    "BeforePost",
                                      "AfterPost",  "BeforeScroll", "AfterScroll"};
    QTest::newRow("failed post") << "failedpost"
                                 << QStringList{"BeforeEdit", "AfterEdit", "BeforePost"};
}

void LifecycleTest::eventOrder() {
    QFETCH(QString, action);
    QFETCH(QStringList, expected);
    MemoryDataSet ds(dbtest::PeopleColumns(), dbtest::PeopleRows());
    QStringList log;
    Record(ds, log);
    if (action != "open") {
        ds.Open();
        log.clear();
    }
    if (action == "open") {
        ds.Open();
    } else if (action == "close") {
        ds.Close();
    } else if (action.startsWith("edit")) {
        ds.Edit();
        ds.FieldByName("Name")->SetAsString("Eve");
        if (action == "edit+post")
            ds.Post();
        else if (action == "edit+cancel")
            ds.Cancel();
        else
            ds.Next();
    } else if (action == "insert+post") {
        ds.Insert();
        ds.FieldByName("ID")->SetAsInteger(9);
        ds.Post();
    } else if (action == "delete") {
        ds.Delete();
    } else if (action == "next") {
        ds.Next();
    } else if (action == "failedpost") {
        ds.Edit();
        ds.FieldByName("Name")->SetAsString("Eve");
        ds.FailNextPost = "refused";
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, ds.Post());
    }
    QCOMPARE(log, expected);
}

void LifecycleTest::openMakesFieldsFromDefinitions() {
    MemoryDataSet ds(dbtest::PeopleColumns(), dbtest::PeopleRows());
    ds.Open();
    QCOMPARE(ds.Calls, (std::vector<std::string>{"open"}));
    QCOMPARE(ds.State(), dsBrowse);
    QCOMPARE(ds.FieldCount(), 4);
    QCOMPARE(ds.Fields()[2]->FieldNo(), 3);
    QCOMPARE(ds.FieldByName("name")->AsString(), std::string("Ada"));
    QVERIFY(ds.Bof());
    QVERIFY(!ds.Eof());
    ds.Close();
    // The lookup cursor is released before the cursor itself closes.
    QCOMPARE(ds.Calls, (std::vector<std::string>{"open", "destroyLookup", "close"}));
    QCOMPARE(ds.FieldCount(), 0);
    QCOMPARE(ds.State(), dsInactive);
}

void LifecycleTest::failedPostKeepsEditPending() {
    MemoryDataSet ds(dbtest::PeopleColumns(), dbtest::PeopleRows());
    ds.Open();
    ds.Next();
    ds.Edit();
    ds.FieldByName("Name")->SetAsString("Eve");
    ds.FailNextPost = "Violation of PRIMARY KEY constraint";
    try {
        ds.Post();
        QFAIL("post should fail");
    } catch (const std::runtime_error& e) {
        QCOMPARE(std::string(e.what()), std::string("Violation of PRIMARY KEY constraint"));
    }
    QCOMPARE(ds.State(), dsEdit);
    QVERIFY(ds.Modified());
    QCOMPARE(ds.FieldByName("Name")->AsString(), std::string("Eve"));
    QCOMPARE(ds.Rows()[1][1], Variant("bob"));
    ds.Post(); // the second attempt writes the same pending change
    QCOMPARE(ds.State(), dsBrowse);
    QCOMPARE(ds.Rows()[1][1], Variant("Eve"));
    QCOMPARE(ds.RecNo(), 2);
}

void LifecycleTest::postErrorHandlerCanRetry() {
    MemoryDataSet ds(dbtest::PeopleColumns(), dbtest::PeopleRows());
    ds.Open();
    int calls = 0;
    ds.OnPostError = [&calls](TDataSet&, const std::exception&, TDataAction& action) {
        ++calls;
        action = daRetry;
    };
    ds.Edit();
    ds.FieldByName("ID")->SetAsInteger(7);
    ds.FailNextPost = "deadlock";
    ds.Post();
    QCOMPARE(calls, 1);
    QCOMPARE(ds.Rows()[0][0], Variant(7));

    ds.OnPostError = [](TDataSet&, const std::exception&, TDataAction& action) {
        action = daAbort;
    };
    ds.Edit();
    ds.FieldByName("ID")->SetAsInteger(8);
    ds.FailNextPost = "deadlock";
    QVERIFY_THROWS_EXCEPTION(EAbort, ds.Post());
    QCOMPARE(ds.State(), dsEdit);
}

void LifecycleTest::closeDropsPendingEdit() {
    MemoryDataSet ds(dbtest::PeopleColumns(), dbtest::PeopleRows());
    QStringList log;
    ds.Open();
    Record(ds, log);
    ds.Edit();
    ds.FieldByName("Name")->SetAsString("Eve");
    ds.Close();
    QCOMPARE(log, (QStringList{"BeforeEdit", "AfterEdit", "BeforeClose", "AfterClose"}));
    QCOMPARE(ds.Rows()[0][1], Variant("Ada"));
    ds.Open();
    QCOMPARE(ds.State(), dsBrowse);
    QCOMPARE(ds.FieldByName("Name")->AsString(), std::string("Ada"));
}

void LifecycleTest::insertCancelReturnsToPreviousRecord() {
    MemoryDataSet ds(dbtest::PeopleColumns(), dbtest::PeopleRows());
    ds.Open();
    ds.Next();
    ds.Insert();
    QCOMPARE(ds.State(), dsInsert);
    QCOMPARE(ds.ViewRecordCount(), 4);
    QVERIFY(ds.FieldByName("Name")->IsNull());
    QVERIFY(!ds.Modified());
    ds.FieldByName("Name")->SetAsString("new");
    QVERIFY(ds.Modified());
    ds.Cancel();
    QCOMPARE(ds.State(), dsBrowse);
    QCOMPARE(ds.RecordCount(), 3);
    QCOMPARE(ds.FieldByName("Name")->AsString(), std::string("bob"));
}

void LifecycleTest::appendPostsAtTheEnd() {
    MemoryDataSet ds(dbtest::PeopleColumns(), dbtest::PeopleRows());
    ds.Open();
    ds.Append();
    ds.FieldByName("ID")->SetAsInteger(4);
    ds.FieldByName("Name")->SetAsString("Dee");
    ds.Post();
    QCOMPARE(ds.RecordCount(), 4);
    QCOMPARE(ds.RecNo(), 4);
    QCOMPARE(ds.Rows()[3][1], Variant("Dee"));
    ds.First();
    ds.Insert(); // before the current record
    ds.FieldByName("ID")->SetAsInteger(0);
    ds.Post();
    QCOMPARE(ds.RecNo(), 1);
    QCOMPARE(ds.Rows()[0][0], Variant(int64_t{0}));
}

void LifecycleTest::requiredFieldRefusesPost() {
    MemoryDataSet ds(dbtest::PeopleColumns(), dbtest::PeopleRows());
    ds.Open();
    ds.Append();
    ds.FieldByName("Name")->SetAsString("NoId");
    try {
        ds.Post();
        QFAIL("post should fail");
    } catch (const EDatabaseError& e) {
        QCOMPARE(std::string(e.what()), std::string("Field 'ID' must have a value"));
    }
    QCOMPARE(ds.State(), dsInsert);
    QVERIFY(std::find(ds.Calls.begin(), ds.Calls.end(), "post") == ds.Calls.end());
}

void LifecycleTest::operationsOnClosedDatasetRaise() {
    MemoryDataSet ds(dbtest::PeopleColumns(), dbtest::PeopleRows());
    ds.SetName("browTable");
    try {
        (void)ds.RecordCount();
        QFAIL("should raise");
    } catch (const EDatabaseError& e) {
        QCOMPARE(std::string(e.what()),
                 std::string("browTable: Cannot perform this operation on a closed dataset"));
    }
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, ds.Edit());
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, ds.Next());
    ds.Open();
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, ds.Post());
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, ds.FieldByName("ID")->SetAsInteger(5));
}

void LifecycleTest::destroyRaisesNoCloseEvents() {
    QStringList log;
    {
        MemoryDataSet ds(dbtest::PeopleColumns(), dbtest::PeopleRows());
        ds.Open();
        Record(ds, log);
        ds.Edit();
        ds.FieldByName("Name")->SetAsString("x");
        log.clear();
    }
    QVERIFY(log.isEmpty());
}

QTEST_APPLESS_MAIN(LifecycleTest)
#include "tst_db_lifecycle.moc"
