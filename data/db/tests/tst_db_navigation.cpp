// Moving through a dataset: Bof/Eof, bookmarks, Locate and Lookup, temporary
// states, and the row-and-column reads a grid makes without moving.
#include "MemoryDataSet.h"

#include <QTest>

using namespace db;
using dbtest::MemoryDataSet;

Q_DECLARE_METATYPE(db::Variant)

class NavigationTest : public QObject {
    Q_OBJECT

private slots:
    void moves_data();
    void moves();
    void emptyDataSetIsBofAndEof();
    void bookmarkReturnsToRecordAfterDeleteBefore();
    void locate_data();
    void locate();
    void locateMovesOnlyWhenFound();
    void lookupDoesNotMove();
    void gridReadsAnyRowWithoutMoving();
    void gridReadsShiftAroundAnInsertedRecord();
    void tempStateIsRestoredOnError();
    void stateValuesWhileEditing();
    void scratchRecordIsReadInCalcState();
};

void NavigationTest::moves_data() {
    QTest::addColumn<QString>("steps"); // f=First l=Last n=Next p=Prior +k/-k=MoveBy
    QTest::addColumn<int>("recNo");
    QTest::addColumn<bool>("bof");
    QTest::addColumn<bool>("eof");

    QTest::newRow("open") << "" << 1 << true << false;
    QTest::newRow("next") << "n" << 2 << false << false;
    QTest::newRow("next past the end") << "nnn" << 3 << false << true;
    QTest::newRow("prior at the first") << "p" << 1 << true << false;
    QTest::newRow("last") << "l" << 3 << false << true;
    QTest::newRow("last then prior") << "lp" << 2 << false << false;
    QTest::newRow("first after last") << "lf" << 1 << true << false;
    QTest::newRow("move by 5") << "+5" << 3 << false << true;
    QTest::newRow("move back by 5") << "l-5" << 1 << true << false;
}

void NavigationTest::moves() {
    QFETCH(QString, steps);
    QFETCH(int, recNo);
    QFETCH(bool, bof);
    QFETCH(bool, eof);
    MemoryDataSet ds(dbtest::PeopleColumns(), dbtest::PeopleRows());
    ds.Open();
    for (int i = 0; i < steps.size(); ++i) {
        const QChar c = steps[i];
        if (c == 'f')
            ds.First();
        else if (c == 'l')
            ds.Last();
        else if (c == 'n')
            ds.Next();
        else if (c == 'p')
            ds.Prior();
        else {
            const int n = steps.mid(i + 1, 1).toInt();
            ds.MoveBy(c == '+' ? n : -n);
            ++i;
        }
    }
    QCOMPARE(ds.RecNo(), recNo);
    QCOMPARE(ds.Bof(), bof);
    QCOMPARE(ds.Eof(), eof);
    QCOMPARE(ds.FieldByName("ID")->AsInteger(), recNo);
}

void NavigationTest::emptyDataSetIsBofAndEof() {
    MemoryDataSet ds(dbtest::PeopleColumns());
    ds.Open();
    QVERIFY(ds.Bof());
    QVERIFY(ds.Eof());
    QVERIFY(ds.IsEmpty());
    QVERIFY(ds.FieldByName("Name")->IsNull());
    ds.Next();
    QVERIFY(ds.Eof());
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, ds.Delete());
    ds.Edit(); // edit of an empty dataset inserts
    QCOMPARE(ds.State(), dsInsert);
}

void NavigationTest::bookmarkReturnsToRecordAfterDeleteBefore() {
    MemoryDataSet ds(dbtest::PeopleColumns(), dbtest::PeopleRows());
    ds.Open();
    ds.Last();
    const TBookmark bm = ds.GetBookmark();
    QVERIFY(ds.BookmarkValid(bm));
    ds.First();
    ds.GotoBookmark(bm);
    QCOMPARE(ds.FieldByName("Name")->AsString(), std::string("Cyd"));
    QVERIFY(!ds.BookmarkValid(TBookmark()));
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, ds.GotoBookmark(Variant(int64_t{99})));
    QCOMPARE(ds.FieldByName("Name")->AsString(), std::string("Cyd"));
}

void NavigationTest::locate_data() {
    QTest::addColumn<QString>("keyFields");
    QTest::addColumn<QList<db::Variant>>("keys");
    QTest::addColumn<unsigned>("options");
    QTest::addColumn<int>("recNo"); // 0: not found

    QTest::newRow("integer") << "ID" << QList<Variant>{Variant(3)} << 0u << 3;
    QTest::newRow("integer as text") << "id" << QList<Variant>{Variant("2")} << 0u << 2;
    QTest::newRow("exact text") << "Name" << QList<Variant>{Variant("bob")} << 0u << 2;
    QTest::newRow("case differs") << "Name" << QList<Variant>{Variant("BOB")} << 0u << 0;
    QTest::newRow("case insensitive")
        << "Name" << QList<Variant>{Variant("BOB")} << unsigned(loCaseInsensitive) << 2;
    QTest::newRow("partial") << "Name" << QList<Variant>{Variant("Cy")} << unsigned(loPartialKey)
                             << 3;
    QTest::newRow("partial needs option") << "Name" << QList<Variant>{Variant("Cy")} << 0u << 0;
    QTest::newRow("wide key on wide field")
        << "City" << QList<Variant>{Variant(u"Paris")} << 0u << 2;
    QTest::newRow("null key finds null") << "City" << QList<Variant>{Variant::null()} << 0u << 3;
    QTest::newRow("two fields") << "Name;City" << QList<Variant>{Variant("Ada"), Variant(u"London")}
                                << 0u << 1;
    QTest::newRow("two fields, one differs")
        << "Name;City" << QList<Variant>{Variant("Ada"), Variant(u"Paris")} << 0u << 0;
    QTest::newRow("number key on text") << "Name" << QList<Variant>{Variant(5)} << 0u << 0;
}

void NavigationTest::locate() {
    QFETCH(QString, keyFields);
    QFETCH(QList<db::Variant>, keys);
    QFETCH(unsigned, options);
    QFETCH(int, recNo);
    MemoryDataSet ds(dbtest::PeopleColumns(), dbtest::PeopleRows());
    ds.Open();
    const KeyValues values = keys.size() == 1
                                 ? KeyValues(keys[0])
                                 : KeyValues::Array(std::vector<Variant>(keys.begin(), keys.end()));
    const bool found = ds.Locate(keyFields.toStdString(), values, options);
    QCOMPARE(found, recNo != 0);
    QCOMPARE(ds.RecNo(), recNo != 0 ? recNo : 1);
}

void NavigationTest::locateMovesOnlyWhenFound() {
    MemoryDataSet ds(dbtest::PeopleColumns(), dbtest::PeopleRows());
    ds.Open();
    ds.Next();
    QStringList log;
    ds.BeforeScroll = [&log](TDataSet&) {
        log << "BeforeScroll";
    };
    ds.AfterScroll = [&log](TDataSet&) {
        log << "AfterScroll";
    };
    QVERIFY(!ds.Locate("Name", "nobody", 0));
    QCOMPARE(ds.RecNo(), 2);
    QCOMPARE(log, QStringList{"BeforeScroll"});
    QVERIFY(ds.Locate("Name", "Cyd", 0));
    QCOMPARE(log, (QStringList{"BeforeScroll", "BeforeScroll", "AfterScroll"}));
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, ds.Locate("Nope", "x", 0));
}

void NavigationTest::lookupDoesNotMove() {
    MemoryDataSet ds(dbtest::PeopleColumns(), dbtest::PeopleRows());
    ds.Open();
    const KeyValues one = ds.Lookup("ID", 2, "Name");
    QVERIFY(!one.isArray());
    QCOMPARE(one.single(), Variant("bob"));
    const KeyValues two = ds.Lookup("ID", 2, "Name;City");
    QVERIFY(two.isArray());
    QCOMPARE(two[1], Variant(u"Paris"));
    QVERIFY(ds.Lookup("ID", 9, "Name").single().isNull());
    QCOMPARE(ds.RecNo(), 1);
}

void NavigationTest::gridReadsAnyRowWithoutMoving() {
    // A large cursor: reading its last row must not touch the rows before it.
    std::vector<std::vector<Variant>> rows;
    for (int i = 0; i < 5000; ++i)
        rows.push_back(
            {Variant(i), Variant("n" + std::to_string(i)), Variant::null(), Variant::null()});
    MemoryDataSet ds(dbtest::PeopleColumns(), std::move(rows));
    ds.Open();
    ds.Next();
    TField* name = ds.FieldByName("Name");
    Variant v;
    QVERIFY(ds.RecordValue(4999, *name, v));
    QCOMPARE(v, Variant("n4999"));
    const int saved = ds.SetActiveRecordIndex(1234);
    QCOMPARE(name->AsString(), std::string("n1234"));
    QCOMPARE(ds.FieldByName("Notes")->DisplayText(), std::string("(Memo)"));
    ds.SetActiveRecordIndex(saved);
    QCOMPARE(name->AsString(), std::string("n1"));
    QCOMPARE(ds.RecNo(), 2);
}

void NavigationTest::gridReadsShiftAroundAnInsertedRecord() {
    MemoryDataSet ds(dbtest::PeopleColumns(), dbtest::PeopleRows());
    ds.Open();
    ds.Next();
    ds.Insert();
    ds.FieldByName("Name")->SetAsString("new");
    TField& name = *ds.FieldByName("Name");
    QStringList seen;
    for (int row = 0; row < ds.ViewRecordCount(); ++row) {
        Variant v;
        ds.RecordValue(row, name, v);
        seen << QString::fromStdString(v.get<std::string>());
    }
    QCOMPARE(seen, (QStringList{"Ada", "new", "bob", "Cyd"}));
    QCOMPARE(ds.InsertIndex(), 1);
}

void NavigationTest::tempStateIsRestoredOnError() {
    MemoryDataSet ds(dbtest::PeopleColumns(), dbtest::PeopleRows());
    ds.Open();
    try {
        TTempState temp(ds, dsCalcFields);
        QCOMPARE(ds.State(), dsCalcFields);
        throw std::runtime_error("inside");
    } catch (const std::runtime_error&) {
    }
    QCOMPARE(ds.State(), dsBrowse);
}

void NavigationTest::stateValuesWhileEditing() {
    MemoryDataSet ds(dbtest::PeopleColumns(), dbtest::PeopleRows());
    ds.Open();
    TField* name = ds.FieldByName("Name");
    ds.Edit();
    name->SetAsString("Zed");
    QCOMPARE(ds.GetStateFieldValue(dsOldValue, name), Variant("Ada"));
    QCOMPARE(ds.GetStateFieldValue(dsNewValue, name), Variant("Zed"));
    QCOMPARE(ds.GetStateFieldValue(dsCurValue, name), Variant("Ada"));
    QCOMPARE(ds.State(), dsEdit);
    ds.Cancel();
    QCOMPARE(name->AsString(), std::string("Ada"));
    QVERIFY(!ds.Modified());
}

namespace {
/// Fills the scratch record the way a search override does, then reads it back.
class ScratchDataSet : public MemoryDataSet {
public:
    using MemoryDataSet::MemoryDataSet;
    KeyValues ReadScratch(const std::vector<Variant>& values, const AnsiString& names) {
        InitTempBuffer();
        for (size_t i = 0; i < values.size(); ++i)
            TempBuffer()[i] = values[i];
        TTempState temp(*this, dsCalcFields);
        CalculateFields();
        return FieldValues(names);
    }
};
} // namespace

void NavigationTest::scratchRecordIsReadInCalcState() {
    ScratchDataSet ds(dbtest::PeopleColumns(), dbtest::PeopleRows());
    ds.Open();
    int calcs = 0;
    ds.OnCalcFields = [&calcs](TDataSet& d) {
        ++calcs;
        QCOMPARE(d.State(), dsCalcFields);
    };
    const KeyValues v = ds.ReadScratch({Variant(9), Variant("Zoe")}, "Name;ID;City");
    QVERIFY(v.isArray());
    QCOMPARE(v[0], Variant("Zoe"));
    QCOMPARE(v[1], Variant(9));
    QVERIFY(v[2].isNull());
    QCOMPARE(calcs, 1);
    QCOMPARE(ds.State(), dsBrowse);
    QCOMPARE(ds.FieldValues("Name").single(), Variant("Ada")); // the current record again
}

QTEST_APPLESS_MAIN(NavigationTest)
#include "tst_db_navigation.moc"
