// The client-side recordset over rows in memory: moving, sorting, filtering,
// finding, seeking, bookmarks, clones and edits that stay in memory.
#include "Fixture.h"

#include <QTest>

using namespace ado;
using fixture::ids;

namespace {
int64_t currentId(Recordset& rs) {
    return rs.Fields(u"ID").Value().get<int64_t>();
}
QString where(Recordset& rs) {
    if (rs.Eof())
        return "EOF";
    if (rs.Bof())
        return "BOF";
    return QString::number(currentId(rs));
}
} // namespace

class TestRecordset : public QObject {
    Q_OBJECT
private slots:
    void movesAndEnds() {
        auto rs = fixture::fruit();
        QCOMPARE(rs->RecordCount(), int64_t(5));
        QVERIFY(!rs->Bof() && !rs->Eof());
        QCOMPARE(currentId(*rs), int64_t(1));
        rs->MoveLast();
        QCOMPARE(currentId(*rs), int64_t(5));
        rs->MoveNext();
        QVERIFY(rs->Eof());
        QVERIFY_THROWS_EXCEPTION(AdoError, rs->MoveNext());
        QVERIFY_THROWS_EXCEPTION(AdoError, rs->Fields(0).Value());
        rs->MovePrevious();
        QCOMPARE(currentId(*rs), int64_t(5));
        rs->MoveFirst();
        rs->MovePrevious();
        QVERIFY(rs->Bof() && !rs->Eof());
        rs->Move(3);
        QCOMPARE(currentId(*rs), int64_t(3));
        QCOMPARE(rs->AbsolutePosition(), int64_t(3));
        rs->Move(10);
        QVERIFY(rs->Eof());
    }

    void emptyIsBothEnds() {
        auto rs = fixture::fruit();
        rs->setFilter(u"ID > 100");
        QCOMPARE(rs->RecordCount(), int64_t(0));
        QVERIFY(rs->Bof() && rs->Eof());
        rs->MoveFirst();
        QVERIFY(rs->Bof() && rs->Eof());
        rs->setFilter(u"");
        QCOMPARE(currentId(*rs), int64_t(1));
        QCOMPARE(rs->RecordCount(), int64_t(5));
    }

    void fieldsAndValues() {
        auto rs = fixture::fruit();
        QCOMPARE(rs->FieldCount(), 6);
        QCOMPARE(rs->FieldIndex(u"full name"), 5);
        QCOMPARE(rs->FieldIndex(u"nope"), -1);
        QVERIFY_THROWS_EXCEPTION(AdoError, rs->Fields(u"nope"));
        QVERIFY_THROWS_EXCEPTION(AdoError, rs->Fields(6));
        rs->MoveNext();
        QVERIFY(rs->Fields(u"qty").Value().isNull());
        QVERIFY(rs->Fields(u"Full Name").Value().isNull());
        QVERIFY(rs->Fields(u"Price").Value() == Variant(Decimal{"0.25"}));
        QVERIFY(rs->Fields(u"Born").Value() == Variant(fixture::date(2023, 1, 1)));
        rs->MoveLast();
        QVERIFY(rs->Fields(u"Full Name").Value() == Variant(u"台北"));
        QVERIFY(rs->Fields(u"Name").Property(u"BaseTableName").isNull());
        QVERIFY_THROWS_EXCEPTION(AdoError, rs->Fields(u"Name").Property(u"Nope"));
    }

    void sorts_data() {
        QTest::addColumn<QString>("sort");
        QTest::addColumn<QString>("ids");
        QTest::newRow("text ignores case") << "Name"
                                           << "1,4,2,3,5";
        QTest::newRow("desc") << "Name DESC"
                              << "5,3,2,4,1";
        QTest::newRow("nulls first, stable") << "Qty ASC"
                                             << "2,5,3,1,4";
        QTest::newRow("two keys") << "Qty DESC, Price DESC"
                                  << "4,1,3,5,2";
        QTest::newRow("decimal by value") << "Price"
                                          << "5,2,1,4,3";
        QTest::newRow("date") << "Born"
                              << "3,5,2,1,4";
        QTest::newRow("bracketed") << "[Full Name] desc"
                                   << "5,4,3,1,2";
        QTest::newRow("cleared") << ""
                                 << "1,2,3,4,5";
    }
    void sorts() {
        QFETCH(QString, sort);
        QFETCH(QString, ids);
        auto rs = fixture::fruit();
        rs->setSort(sort.toStdU16String());
        QCOMPARE(fixture::ids(*rs), ids);
        QCOMPARE(QString::fromStdU16String(rs->Sort()), sort);
    }

    void sortRejectsUnknownField() {
        auto rs = fixture::fruit();
        QVERIFY_THROWS_EXCEPTION(AdoError, rs->setSort(u"Nope"));
    }

    void bookmarksSurviveSortAndFilter() {
        auto rs = fixture::fruit();
        rs->MoveNext();
        rs->MoveNext();
        const Bookmark cherry = rs->bookmark();
        rs->setSort(u"Name DESC");
        rs->setBookmark(cherry);
        QCOMPARE(currentId(*rs), int64_t(3));
        rs->setFilter(u"Qty = 10");
        rs->setBookmark(cherry); // hidden by the filter
        QVERIFY(rs->Eof());
        rs->setFilter(u"");
        rs->setBookmark(cherry);
        QCOMPARE(currentId(*rs), int64_t(3));
        QVERIFY_THROWS_EXCEPTION(AdoError, rs->setBookmark(999));
    }

    void filterCombinesWithSort() {
        auto rs = fixture::fruit();
        rs->setSort(u"Price DESC");
        rs->setFilter(u"Qty <> Null");
        QCOMPARE(ids(*rs), QString("3,4,1,5"));
        QCOMPARE(rs->RecordCount(), int64_t(4));
    }

    // A sorted recordset keeps its sorted rows while only the filter changes; rows
    // added, edited or deleted through another recordset on the same rows, and a
    // new sort, must still show in the order.
    void sortedOrderFollowsRowChangesAcrossFilters() {
        auto rs = fixture::fruit();
        auto clone = rs->Clone(LockType::ReadOnly);
        clone->setSort(u"Name");
        QCOMPARE(ids(*clone), QString("1,4,2,3,5"));
        clone->setFilter(u"Qty <> Null");
        QCOMPARE(ids(*clone), QString("1,4,3,5"));
        clone->setFilter(u"");
        QCOMPARE(ids(*clone), QString("1,4,2,3,5"));

        rs->MoveNext();
        rs->Fields(u"Name").setValue(u"Zucchini");
        rs->Update();
        clone->setFilter(u"ID > 1");
        QCOMPARE(ids(*clone), QString("4,3,5,2"));

        rs->AddNew();
        rs->Fields(u"ID").setValue(int64_t{6});
        rs->Fields(u"Name").setValue(u"Avocado");
        rs->Update();
        clone->setFilter(u"");
        QCOMPARE(ids(*clone), QString("1,4,6,3,5,2"));

        rs->MoveFirst();
        rs->Find(u"ID = 3");
        rs->Delete();
        clone->setFilter(u"ID <> 1");
        QCOMPARE(ids(*clone), QString("4,6,5,2"));

        clone->setSort(u"Name DESC");
        clone->setFilter(u"");
        QCOMPARE(ids(*clone), QString("2,5,6,4,1"));
    }

    void finds_data() {
        QTest::addColumn<QString>("criterion");
        QTest::addColumn<int>("startId"); // 0: from the current row (the first)
        QTest::addColumn<int>("skip");
        QTest::addColumn<int>("direction");
        QTest::addColumn<QString>("found");
        QTest::newRow("first match") << "Qty = 10" << 0 << 0 << 1 << "1";
        QTest::newRow("skip current") << "Qty = 10" << 0 << 1 << 1 << "4";
        QTest::newRow("from bookmark") << "Qty = 10" << 2 << 0 << 1 << "4";
        QTest::newRow("backward") << "Qty = 10" << 3 << 0 << -1 << "1";
        QTest::newRow("backward skip") << "Qty = 10" << 4 << 1 << -1 << "1";
        QTest::newRow("not found forward") << "Name = 'kiwi'" << 0 << 0 << 1 << "EOF";
        QTest::newRow("not found backward") << "Name = 'kiwi'" << 5 << 0 << -1 << "BOF";
        QTest::newRow("like") << "Name LIKE 'ch*'" << 0 << 0 << 1 << "3";
        QTest::newRow("null") << "Qty = Null" << 0 << 0 << 1 << "2";
    }
    void finds() {
        QFETCH(QString, criterion);
        QFETCH(int, startId);
        QFETCH(int, skip);
        QFETCH(int, direction);
        QFETCH(QString, found);
        auto rs = fixture::fruit();
        std::optional<Bookmark> start;
        if (startId) {
            rs->Find(u"ID = " + QString::number(startId).toStdU16String());
            start = rs->bookmark();
            rs->MoveFirst();
        }
        rs->Find(criterion.toStdU16String(), skip,
                 direction > 0 ? SearchDirection::Forward : SearchDirection::Backward, start);
        QCOMPARE(where(*rs), found);
    }

    void findRejectsCompoundCriteria() {
        auto rs = fixture::fruit();
        QVERIFY_THROWS_EXCEPTION(AdoError, rs->Find(u"ID = 1 AND Qty = 10"));
        QVERIFY_THROWS_EXCEPTION(AdoError, rs->Find(u"Nope = 1"));
    }

    void findHonoursSortAndFilter() {
        auto rs = fixture::fruit();
        rs->setSort(u"ID DESC");
        rs->Find(u"Qty = 10");
        QCOMPARE(currentId(*rs), int64_t(4));
        rs->setFilter(u"ID < 4");
        rs->Find(u"Qty = 10");
        QCOMPARE(currentId(*rs), int64_t(1));
    }

    void seeks_data() {
        QTest::addColumn<int>("qty");
        QTest::addColumn<int>("option");
        QTest::addColumn<QString>("found");
        // Qty in index order (ties in fetch order): NULL(2) 0(5) 5(3) 10(1) 10(4)
        QTest::newRow("first eq") << 10 << int(SeekOption::FirstEQ) << "1";
        QTest::newRow("last eq") << 10 << int(SeekOption::LastEQ) << "4";
        QTest::newRow("first eq missing") << 7 << int(SeekOption::FirstEQ) << "EOF";
        QTest::newRow("after eq hit") << 5 << int(SeekOption::AfterEQ) << "3";
        QTest::newRow("after eq between") << 7 << int(SeekOption::AfterEQ) << "1";
        QTest::newRow("after") << 5 << int(SeekOption::After) << "1";
        QTest::newRow("after last") << 10 << int(SeekOption::After) << "EOF";
        QTest::newRow("before eq") << 7 << int(SeekOption::BeforeEQ) << "3";
        QTest::newRow("before eq hit") << 10 << int(SeekOption::BeforeEQ) << "4";
        QTest::newRow("before") << 5 << int(SeekOption::Before) << "5";
        QTest::newRow("before all values: null sorts first")
            << -1 << int(SeekOption::Before) << "2";
    }
    void seeks() {
        QFETCH(int, qty);
        QFETCH(int, option);
        QFETCH(QString, found);
        auto rs = fixture::fruit();
        QVERIFY(!rs->SupportsSeek());
        rs->setIndex(u"Qty");
        QVERIFY(rs->SupportsSeek());
        rs->Seek({Variant(int64_t{qty})}, static_cast<SeekOption>(option));
        QCOMPARE(where(*rs), found);
    }

    void seeksOnTwoColumns() {
        auto rs = fixture::fruit();
        rs->setIndex(u"Qty;Name");
        rs->Seek({Variant(int64_t{10}), Variant(u"APPLE PIE")});
        QCOMPARE(currentId(*rs), int64_t(4));
        rs->Seek({Variant(int64_t{10})}, SeekOption::LastEQ);
        QCOMPARE(currentId(*rs), int64_t(4));
        QVERIFY_THROWS_EXCEPTION(AdoError, rs->Seek({1, 2, 3}));
        QVERIFY_THROWS_EXCEPTION(AdoError, rs->setIndex(u"Nope"));
    }

    void cloneHasOwnPositionSortAndFilter() {
        auto rs = fixture::fruit();
        rs->setFilter(u"Qty = 10");
        rs->MoveLast();
        auto clone = rs->Clone(LockType::ReadOnly);
        QCOMPARE(clone->RecordCount(), int64_t(5));
        QCOMPARE(currentId(*clone), int64_t(1));
        clone->setSort(u"ID DESC");
        QCOMPARE(currentId(*rs), int64_t(4));
        QCOMPARE(ids(*rs), QString("1,4"));
        // Bookmarks are shared: a row found in the clone is found in the original.
        clone->Find(u"Name = 'apple pie'");
        rs->setBookmark(clone->bookmark());
        QCOMPARE(currentId(*rs), int64_t(4));
        QVERIFY_THROWS_EXCEPTION(AdoError, clone->Fields(u"Name").setValue(u"x"));
        QVERIFY_THROWS_EXCEPTION(AdoError, clone->AddNew());
        // The clone outlives a close of the original.
        rs->Close();
        QCOMPARE(clone->RecordCount(), int64_t(5));
    }

    void editsStayInMemoryWithoutConnection() {
        auto rs = fixture::fruit();
        auto clone = rs->Clone();
        rs->MoveNext();
        const Bookmark banana = rs->bookmark();
        rs->Fields(u"Qty").setValue(int64_t{7});
        QCOMPARE(rs->editMode(), EditMode::InProgress);
        QVERIFY(rs->Fields(u"Qty").Value() == Variant(int64_t{7}));
        QVERIFY(rs->Fields(u"Qty").OriginalValue().isNull());
        rs->CancelUpdate();
        QVERIFY(rs->Fields(u"Qty").Value().isNull());

        rs->Fields(u"Qty").setValue(u"8"); // converted to the field's type
        rs->Update();
        QVERIFY(rs->Fields(u"Qty").Value() == Variant(int64_t{8}));
        clone->setBookmark(banana);
        QVERIFY(clone->Fields(u"Qty").Value() == Variant(int64_t{8}));
        QVERIFY_THROWS_EXCEPTION(AdoError, rs->Fields(u"Qty").setValue(u"many"));

        rs->AddNew();
        rs->Fields(u"ID").setValue(int64_t{6});
        rs->Fields(u"Name").setValue(u"Fig");
        rs->Update();
        QCOMPARE(rs->RecordCount(), int64_t(6));
        QCOMPARE(currentId(*rs), int64_t(6));
        QVERIFY(rs->Fields(u"Price").Value().isNull());

        rs->Find(u"ID = 3", 0, SearchDirection::Forward, rs->bookmark() - 5);
        rs->Delete();
        QCOMPARE(rs->RecordCount(), int64_t(5));
        QCOMPARE(currentId(*rs), int64_t(4));
        QCOMPARE(ids(*rs), QString("1,2,4,5,6"));
    }

    void addNewThenCancelReturns() {
        auto rs = fixture::fruit();
        rs->MoveNext();
        rs->AddNew();
        rs->Fields(u"Name").setValue(u"x");
        rs->CancelUpdate();
        QCOMPARE(currentId(*rs), int64_t(2));
        QCOMPARE(rs->RecordCount(), int64_t(5));
    }

    void closedRefusesWork() {
        auto rs = fixture::fruit();
        rs->Close();
        QCOMPARE(rs->State(), ObjectState::Closed);
        QVERIFY_THROWS_EXCEPTION(AdoError, rs->MoveFirst());
        QVERIFY_THROWS_EXCEPTION(AdoError, rs->RecordCount());
        QCOMPARE(rs->FieldCount(), 0);
        QVERIFY(rs->ActiveConnection() == nullptr);
    }
};

QTEST_APPLESS_MAIN(TestRecordset)
#include "tst_recordset.moc"
