// The ADO dataset over an in-memory recordset (no server): opening on a
// recordset handed to it, field definitions from the columns, edits written
// through the recordset, bookmarks across sort and filter, seek and clones.
#include "data/db/ADODataSet.h"

#include <QTest>

using namespace db;

namespace {

ado::ColumnInfo Col(const char16_t* name, ado::DataType type, int64_t size = 0,
                    bool nullable = true) {
    ado::ColumnInfo c;
    c.name = name;
    c.type = type;
    c.definedSize = size;
    c.nullable = nullable;
    return c;
}

/// ID, Name (nvarchar 20), Qty, Notes (ntext): four rows.
std::shared_ptr<ado::Recordset> Goods() {
    const Variant null = Variant::null();
    ado::ColumnInfo notes = Col(u"Notes", ado::DataType::LongVarWChar, 1073741823);
    notes.longData = true;
    return ado::Recordset::FromRows({Col(u"ID", ado::DataType::Integer, 4, false),
                                     Col(u"Name", ado::DataType::VarWChar, 20),
                                     Col(u"Qty", ado::DataType::Integer, 4), notes},
                                    {{int64_t{1}, u"Pear", int64_t{3}, null},
                                     {int64_t{2}, u"apple", int64_t{7}, u"crisp"},
                                     {int64_t{3}, u"Fig", null, null},
                                     {int64_t{4}, u"Date", int64_t{1}, null}});
}

QString Names(TDataSet& ds) {
    QStringList out;
    for (ds.First(); !ds.Eof(); ds.Next())
        out << QString::fromStdU16String(ds.FieldByName("Name")->AsWideString());
    return out.join(',');
}

} // namespace

class AdoDataSetTest : public QObject {
    Q_OBJECT

private slots:
    void closedRecordsetIsRefused();
    void openOnRecordsetMakesFieldsFromColumns();
    void editPostWritesThroughRecordset();
    void insertAppendsRowAndDeleteRemovesIt();
    void bookmarkSurvivesSort();
    void filterShowsPassingRows();
    void badFilterKeepsOldRows();
    void seekOnIndexFieldNames();
    void cloneHasItsOwnPosition();
    void readOnlyLockRefusesEdit();
    void missingCommandText_data();
    void missingCommandText();
    void tablePropertiesMapToCommandAndLock();
    void parametersCollectedWhenParamCheckIsOn();
};

void AdoDataSetTest::closedRecordsetIsRefused() {
    TADODataSet ds;
    auto closed = std::make_shared<ado::Recordset>();
    try {
        ds.SetRecordset(closed);
        QFAIL("should raise");
    } catch (const EDatabaseError& e) {
        QCOMPARE(std::string(e.what()), std::string("Recordset is not open"));
    }
    QVERIFY(!ds.Active());
    QCOMPARE(ds.Recordset(), nullptr);
}

void AdoDataSetTest::openOnRecordsetMakesFieldsFromColumns() {
    TADODataSet ds;
    QStringList log;
    ds.BeforeOpen = [&](TDataSet& d) {
        log << (static_cast<TADODataSet&>(d).Recordset() ? "BeforeOpen with recordset"
                                                         : "BeforeOpen");
    };
    ds.SetRecordset(Goods());
    QCOMPARE(log, QStringList{"BeforeOpen with recordset"});
    QVERIFY(ds.Active());
    QCOMPARE(ds.RecordCount(), 4);
    QCOMPARE(ds.FieldCount(), 4);
    QCOMPARE(ds.FieldByName("ID")->DataType(), ftInteger);
    QVERIFY(ds.FieldByName("ID")->Required());
    QCOMPARE(ds.FieldByName("Name")->DataType(), ftWideString);
    QCOMPARE(ds.FieldByName("Name")->Size(), 20);
    QCOMPARE(ds.FieldByName("Notes")->DataType(), ftMemo);
    QCOMPARE(ds.FieldByName("Name")->AsWideString(), std::u16string(u"Pear"));
    ds.Next();
    QCOMPARE(ds.FieldByName("Notes")->DisplayText(), std::string("(MEMO)"));
    QCOMPARE(ds.FieldByName("Notes")->AsString(), std::string("crisp"));
    ds.Close();
    QCOMPARE(ds.Recordset(), nullptr);
}

void AdoDataSetTest::editPostWritesThroughRecordset() {
    TADODataSet ds;
    auto rs = Goods();
    ds.SetRecordset(rs);
    ds.Next();
    ds.Next();
    ds.Edit();
    ds.FieldByName("Qty")->SetAsInteger(12);
    ds.Post();
    QCOMPARE(ds.RecNo(), 3);
    rs->MoveFirst();
    rs->Move(2);
    QCOMPARE(rs->Fields(u"Qty").Value(), Variant(int64_t{12}));
    QCOMPARE(rs->Fields(u"Name").Value(), Variant(u"Fig"));
    // The other rows are untouched and still read through the dataset.
    ds.First();
    QCOMPARE(ds.FieldByName("Qty")->AsInteger(), 3);
}

void AdoDataSetTest::insertAppendsRowAndDeleteRemovesIt() {
    TADODataSet ds;
    ds.SetRecordset(Goods());
    ds.Append();
    ds.FieldByName("ID")->SetAsInteger(5);
    ds.FieldByName("Name")->SetAsWideString(u"Kiwi");
    ds.Post();
    QCOMPARE(ds.RecordCount(), 5);
    QCOMPARE(ds.RecNo(), 5);
    QCOMPARE(ds.FieldByName("Name")->AsString(), std::string("Kiwi"));
    ds.First();
    ds.Delete();
    QCOMPARE(ds.RecordCount(), 4);
    QCOMPARE(Names(ds), QString("apple,Fig,Date,Kiwi"));
}

void AdoDataSetTest::bookmarkSurvivesSort() {
    TADODataSet ds;
    ds.SetRecordset(Goods());
    ds.Locate("Name", "Fig", 0);
    const TBookmark bm = ds.GetBookmark();
    ds.SetSort(u"Name");
    QCOMPARE(Names(ds), QString("apple,Date,Fig,Pear"));
    ds.GotoBookmark(bm);
    QCOMPARE(ds.FieldByName("ID")->AsInteger(), 3);
    QCOMPARE(ds.RecNo(), 3);
}

void AdoDataSetTest::filterShowsPassingRows() {
    TADODataSet ds;
    ds.SetRecordset(Goods());
    ds.SetFilter(u"Qty > 2");
    QCOMPARE(ds.RecordCount(), 4); // not filtered yet
    ds.SetFiltered(true);
    QCOMPARE(ds.RecordCount(), 2);
    QCOMPARE(Names(ds), QString("Pear,apple"));
    ds.SetFilter(u"Name LIKE 'F*'");
    QCOMPARE(Names(ds), QString("Fig"));
    ds.SetFiltered(false);
    QCOMPARE(ds.RecordCount(), 4);
}

void AdoDataSetTest::badFilterKeepsOldRows() {
    TADODataSet ds;
    ds.SetRecordset(Goods());
    ds.SetFiltered(true);
    ds.SetFilter(u"Qty > 2");
    QVERIFY_THROWS_EXCEPTION(std::exception, ds.SetFilter(u"Qty >> 2 ("));
    QCOMPARE(ds.Filter(), std::u16string(u"Qty > 2"));
    QCOMPARE(ds.RecordCount(), 2);
}

void AdoDataSetTest::seekOnIndexFieldNames() {
    TADODataSet ds;
    ds.SetRecordset(Goods());
    QVERIFY(!ds.Supports(coSeek));
    ds.SetIndexFieldNames("Name");
    QVERIFY(ds.Supports(coSeek));
    QCOMPARE(ds.IndexFieldCount(), 1);
    QCOMPARE(ds.IndexFields(0), ds.FieldByName("Name"));
    QVERIFY(ds.Seek(KeyValues(u"Fig")));
    QCOMPARE(ds.FieldByName("ID")->AsInteger(), 3);
    QVERIFY(!ds.Seek(KeyValues(u"Zucchini")));
    QCOMPARE(ds.FieldByName("ID")->AsInteger(), 3);
}

void AdoDataSetTest::cloneHasItsOwnPosition() {
    TADODataSet ds, copy;
    ds.SetRecordset(Goods());
    ds.Last();
    copy.Clone(ds, ltReadOnly);
    QCOMPARE(copy.RecNo(), 1);
    QCOMPARE(copy.RecordCount(), 4);
    QCOMPARE(ds.RecNo(), 4);
    QVERIFY(!copy.CanModify());
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, copy.Edit());
}

void AdoDataSetTest::readOnlyLockRefusesEdit() {
    TADOTable table;
    table.SetReadOnly(true);
    QCOMPARE(table.LockType(), ltReadOnly);
    table.SetReadOnly(false);
    QCOMPARE(table.LockType(), ltOptimistic);
    table.SetLockType(ltBatchOptimistic);
    table.SetReadOnly(true);
    table.SetReadOnly(false);
    QCOMPARE(table.LockType(), ltOptimistic);
}

void AdoDataSetTest::missingCommandText_data() {
    QTest::addColumn<bool>("table");
    QTest::addColumn<QString>("message");
    QTest::newRow("table") << true << "Missing TableName property";
    QTest::newRow("text") << false << "Missing CommandText property";
}

void AdoDataSetTest::missingCommandText() {
    QFETCH(bool, table);
    QFETCH(QString, message);
    std::unique_ptr<TCustomADODataSet> ds;
    if (table)
        ds = std::make_unique<TADOTable>();
    else
        ds = std::make_unique<TADODataSet>();
    ado::TADOConnection connection; // never opened: the check comes first
    ds->SetConnection(&connection);
    try {
        ds->Open();
        QFAIL("should raise");
    } catch (const EDatabaseError& e) {
        QCOMPARE(QString::fromStdString(e.what()), message);
    }
    QVERIFY(!ds->Active());
}

void AdoDataSetTest::tablePropertiesMapToCommandAndLock() {
    TADOTable table;
    QCOMPARE(table.CommandType(), cmdTable);
    table.SetTableDirect(true);
    QCOMPARE(table.CommandType(), cmdTableDirect);
    table.SetTableDirect(false);
    QCOMPARE(table.CommandType(), cmdTable);
    table.SetTableName(u"dbo.Customers");
    QCOMPARE(table.CommandText(), std::u16string(u"dbo.Customers"));
}

void AdoDataSetTest::parametersCollectedWhenParamCheckIsOn() {
    TADODataSet ds;
    ds.SetCommandText(u"select * from T where A = :a and B = ':b'");
    QCOMPARE(ds.Parameters().size(), size_t{1});
    ds.SetParamCheck(false);
    QVERIFY(ds.Parameters().empty());
}

QTEST_APPLESS_MAIN(AdoDataSetTest)
#include "tst_db_ado.moc"
