// The Unicode ADO dataset over an in-memory recordset (no server): field
// classes, long text as wide text, null wide reads, the change test of writes,
// provider detection, insert-state values and the table variant's properties.
#include "data/TntLXAdoDataSet.h"
#include "data/db/ADOComponents.h"

#include <QTest>

using namespace tnt;
using db::TDataSetState;

Q_DECLARE_METATYPE(ado::Variant)

namespace {

ado::ColumnInfo Col(const char16_t* name, ado::DataType type, int64_t size = 0,
                    bool longData = false) {
    ado::ColumnInfo c;
    c.name = name;
    c.type = type;
    c.definedSize = size;
    c.longData = longData;
    return c;
}

const ado::DateTime When{2024, 5, 6, 7, 8, 9, 10};

/// One row with a value in every column, one with nulls but the key.
std::shared_ptr<ado::Recordset> Sample() {
    using ado::DataType;
    const Variant null = Variant::null();
    return ado::Recordset::FromRows(
        {Col(u"ID", DataType::Integer, 4), Col(u"WName", DataType::VarWChar, 20),
         Col(u"AName", DataType::VarChar, 20),
         Col(u"Notes", DataType::LongVarWChar, 1073741823, true),
         Col(u"Memo8", DataType::LongVarChar, 2147483647, true),
         Col(u"Amount", DataType::Decimal, 30), Col(u"Big", DataType::BigInt, 8),
         Col(u"When", DataType::DBTimeStamp, 8), Col(u"Flag", DataType::Boolean, 1),
         Col(u"Ratio", DataType::Double, 8), Col(u"Bin", DataType::VarBinary, 8),
         Col(u"Small", DataType::SmallInt, 2)},
        {{int64_t{1}, u"Pear", "pear", u"long", "eight", ado::Decimal{"12.50"}, int64_t{9000000000},
          When, true, 0.5, ado::Bytes{1, 2}, int64_t{3}},
         {int64_t{2}, null, null, null, null, null, null, null, null, null, null, null}});
}

/// Opens the protected operations the tests drive.
class TestDataSet : public TTntADODataSetLX {
public:
    using TTntADODataSetLX::DefaultValues;
    using TTntADODataSetLX::DoBeforeOpen;
    using TTntADODataSetLX::FieldValueChanged;
    using TTntADODataSetLX::GetFieldClass;
    int schemaLoads = 0;

protected:
    void LoadFieldSchemaInfo() override { ++schemaLoads; }
};

QString ClassName(const TField& f) {
    if (dynamic_cast<const TTntWideStringField*>(&f))
        return "TTntWideStringField";
    if (dynamic_cast<const TTntDateField*>(&f))
        return "TTntDateField";
    if (dynamic_cast<const TTntTimeField*>(&f))
        return "TTntTimeField";
    if (dynamic_cast<const TTntDateTimeField*>(&f))
        return "TTntDateTimeField";
    if (typeid(f) == typeid(db::TStringField))
        return "TStringField";
    if (dynamic_cast<const db::TLargeintField*>(&f))
        return "TLargeintField";
    if (dynamic_cast<const db::TBlobField*>(&f))
        return "TBlobField";
    return "other";
}

} // namespace

class TntLXDataSetTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TestDataSet> ds_;

private slots:
    void init() {
        ds_ = std::make_unique<TestDataSet>();
        ds_->SetRecordset(Sample());
    }
    void cleanup() { ds_.reset(); }

    void fieldClassPerType_data();
    void fieldClassPerType();
    void longTextBecomesWideString_data();
    void longTextBecomesWideString();
    void nullWideReadClearsWideBuffer();
    void fieldValueChanged_data();
    void fieldValueChanged();
    void writeReachesRecordOnlyWhenChanging_data();
    void writeReachesRecordOnlyWhenChanging();
    void bufferToVariantRejectsOtherInput();
    void variantsEqual_data();
    void variantsEqual();
    void providerDetection_data();
    void providerDetection();
    void recordsetWithoutConnectionClearsProviderFlags();
    void insertStateOldValueIsNullCurrentIsTyped();
    void closeEmptiesDefaultsAndFieldListReloadsThem();
    void construction();
    void readOnlyMapsToLockType_data();
    void readOnlyMapsToLockType();
    void tableDirectMapsToCommandType();
    void emptyTableNameFails();
};

void TntLXDataSetTest::fieldClassPerType_data() {
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("expected");
    QTest::newRow("string") << int(db::ftString) << "TStringField";
    QTest::newRow("fixed char") << int(db::ftFixedChar) << "TStringField";
    QTest::newRow("wide string") << int(db::ftWideString) << "TTntWideStringField";
    QTest::newRow("date") << int(db::ftDate) << "TTntDateField";
    QTest::newRow("time") << int(db::ftTime) << "TTntTimeField";
    QTest::newRow("date-time") << int(db::ftDateTime) << "TTntDateTimeField";
    QTest::newRow("large integer") << int(db::ftLargeint) << "TLargeintField";
    QTest::newRow("blob") << int(db::ftBlob) << "TBlobField";
}

void TntLXDataSetTest::fieldClassPerType() {
    QFETCH(int, type);
    QFETCH(QString, expected);
    db::TFieldClass cls = ds_->GetFieldClass(static_cast<TFieldType>(type));
    QVERIFY(cls);
    QCOMPARE(ClassName(*cls()), expected);
}

void TntLXDataSetTest::longTextBecomesWideString_data() {
    QTest::addColumn<QString>("field");
    QTest::newRow("ntext") << "Notes";
    QTest::newRow("text") << "Memo8";
}

void TntLXDataSetTest::longTextBecomesWideString() {
    QFETCH(QString, field);
    TField* f = ds_->FieldByName(field.toStdString());
    QCOMPARE(f->DataType(), db::ftWideString);
    QCOMPARE(f->Size(), 2147483647);
    QCOMPARE(ClassName(*f), QString("TTntWideStringField"));
    QVERIFY(!f->IsBlob());
}

void TntLXDataSetTest::nullWideReadClearsWideBuffer() {
    ds_->Last();
    TField* f = ds_->FieldByName("WName");
    Variant buffer = WideString(u"stale");
    QVERIFY(!ds_->GetFieldData(f, &buffer));
    QCOMPARE(buffer, Variant(WideString()));
    buffer = WideString(u"stale");
    QVERIFY(!ds_->GetFieldData(f->FieldNo(), &buffer));
    QCOMPARE(buffer, Variant(WideString()));
    // The field itself still reads null.
    QVERIFY(f->IsNull());
    QVERIFY(f->Value().isNull());
    ds_->First();
    QVERIFY(ds_->GetFieldData(f, &buffer));
    QCOMPARE(buffer, Variant(u"Pear"));
}

void TntLXDataSetTest::fieldValueChanged_data() {
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("field");
    QTest::addColumn<Variant>("value"); // empty: no buffer (null)
    QTest::addColumn<bool>("changed");
    const ado::DateTime later{2024, 5, 6, 7, 8, 9, 11};
    QTest::newRow("wide same") << 1 << "WName" << Variant(u"Pear") << false;
    QTest::newRow("wide case differs") << 1 << "WName" << Variant(u"pear") << true;
    QTest::newRow("8-bit same") << 1 << "AName" << Variant("pear") << false;
    QTest::newRow("8-bit case differs") << 1 << "AName" << Variant("Pear") << true;
    QTest::newRow("long text same") << 1 << "Notes" << Variant(u"long") << false;
    QTest::newRow("integer same") << 1 << "ID" << Variant(1) << false;
    QTest::newRow("integer differs") << 1 << "ID" << Variant(2) << true;
    QTest::newRow("small same") << 1 << "Small" << Variant(3) << false;
    QTest::newRow("small differs") << 1 << "Small" << Variant(4) << true;
    QTest::newRow("boolean same") << 1 << "Flag" << Variant(true) << false;
    QTest::newRow("boolean differs") << 1 << "Flag" << Variant(false) << true;
    QTest::newRow("float same") << 1 << "Ratio" << Variant(0.5) << false;
    QTest::newRow("float differs") << 1 << "Ratio" << Variant(0.25) << true;
    QTest::newRow("bcd same, other spelling")
        << 1 << "Amount" << Variant(ado::Decimal{"12.5"}) << false;
    QTest::newRow("bcd differs past a double's digits")
        << 1 << "Amount" << Variant(ado::Decimal{"12.500000000000000001"}) << true;
    QTest::newRow("large same") << 1 << "Big" << Variant(int64_t{9000000000}) << false;
    QTest::newRow("large differs") << 1 << "Big" << Variant(int64_t{9000000001}) << true;
    QTest::newRow("date-time same") << 1 << "When" << Variant(When) << false;
    QTest::newRow("date-time one ms later") << 1 << "When" << Variant(later) << true;
    QTest::newRow("bytes same") << 1 << "Bin" << Variant(ado::Bytes{1, 2}) << true;
    QTest::newRow("null to value") << 1 << "WName" << Variant() << true;
    QTest::newRow("null to null") << 2 << "WName" << Variant() << false;
    QTest::newRow("value onto null") << 2 << "Big" << Variant(int64_t{0}) << true;
    QTest::newRow("empty text to null") << 2 << "AName" << Variant("") << true;
}

void TntLXDataSetTest::fieldValueChanged() {
    QFETCH(int, row);
    QFETCH(QString, field);
    QFETCH(Variant, value);
    QFETCH(bool, changed);
    ds_->SetRecNo(row);
    TField* f = ds_->FieldByName(field.toStdString());
    QCOMPARE(ds_->FieldValueChanged(f, value.isEmpty() ? nullptr : &value, true), changed);
}

void TntLXDataSetTest::writeReachesRecordOnlyWhenChanging_data() {
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("field");
    QTest::addColumn<Variant>("value"); // blank: the field is cleared
    QTest::addColumn<bool>("validated");
    QTest::addColumn<bool>("reaches");
    QTest::newRow("same value") << 1 << "WName" << Variant(u"Pear") << false << false;
    QTest::newRow("same value, validated") << 1 << "WName" << Variant(u"Pear") << true << true;
    QTest::newRow("new value") << 1 << "WName" << Variant(u"Plum") << false << true;
    QTest::newRow("null to null") << 2 << "AName" << Variant() << false << false;
    QTest::newRow("null to a field with a value") << 1 << "AName" << Variant() << false << true;
    QTest::newRow("same bytes") << 1 << "Bin" << Variant(ado::Bytes{1, 2}) << false << true;
    QTest::newRow("same date-time") << 1 << "When" << Variant(When) << false << false;
}

void TntLXDataSetTest::writeReachesRecordOnlyWhenChanging() {
    QFETCH(int, row);
    QFETCH(QString, field);
    QFETCH(Variant, value);
    QFETCH(bool, validated);
    QFETCH(bool, reaches);
    ds_->SetRecNo(row);
    TField* f = ds_->FieldByName(field.toStdString());
    int changes = 0, validations = 0;
    f->OnChange = [&](TField&) {
        ++changes;
    };
    if (validated)
        f->OnValidate = [&](TField&) {
            ++validations;
        };
    ds_->Edit();
    f->SetAsVariant(value);
    QCOMPARE(changes, reaches ? 1 : 0);
    QCOMPARE(ds_->Modified(), reaches);
    QCOMPARE(validations, validated ? 1 : 0);
    ds_->Cancel();
}

void TntLXDataSetTest::bufferToVariantRejectsOtherInput() {
    const Variant amount = ado::Decimal{"1.25"};
    QCOMPARE(TTntADODataSetLX::BufferToVariant(db::ftBCD, &amount), amount);
    const Variant days = 45419.0; // 2024-05-07
    QCOMPARE(TTntADODataSetLX::BufferToVariant(db::ftDate, &days),
             Variant(ado::DateTime{2024, 5, 7}));
    QVERIFY_THROWS_EXCEPTION(ETntAssertionFailed,
                             TTntADODataSetLX::BufferToVariant(db::ftBCD, nullptr));
    try {
        TTntADODataSetLX::BufferToVariant(db::ftString, &amount);
        QFAIL("a string buffer was accepted");
    } catch (const ETntInternalError& e) {
        QCOMPARE(QString(e.what()), QString("Internal Error: Unexpected data type."));
    }
}

void TntLXDataSetTest::variantsEqual_data() {
    QTest::addColumn<Variant>("a");
    QTest::addColumn<Variant>("b");
    QTest::addColumn<bool>("equal");
    QTest::newRow("empty, empty") << Variant() << Variant() << true;
    QTest::newRow("null, null") << Variant::null() << Variant::null() << true;
    QTest::newRow("empty, null") << Variant() << Variant::null() << false;
    QTest::newRow("null, zero") << Variant::null() << Variant(0) << false;
    QTest::newRow("decimal spellings")
        << Variant(ado::Decimal{"-01.50"}) << Variant(ado::Decimal{"-1.5"}) << true;
    QTest::newRow("negative zero")
        << Variant(ado::Decimal{"-0.00"}) << Variant(ado::Decimal{"0"}) << true;
    QTest::newRow("decimal, double") << Variant(ado::Decimal{"2.5"}) << Variant(2.5) << true;
    QTest::newRow("integer, double") << Variant(1) << Variant(1.0) << true;
    QTest::newRow("dates") << Variant(When) << Variant(When) << true;
    QTest::newRow("text") << Variant("a") << Variant("A") << false;
}

void TntLXDataSetTest::variantsEqual() {
    QFETCH(Variant, a);
    QFETCH(Variant, b);
    QFETCH(bool, equal);
    QCOMPARE(VariantsEqual(a, b), equal);
    QCOMPARE(VariantsEqual(b, a), equal);
}

void TntLXDataSetTest::providerDetection_data() {
    QTest::addColumn<bool>("onComponent");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("sqlServer");
    QTest::addColumn<bool>("jet");
    const QString tmpl = "Provider=SQLOLEDB.1;Persist Security Info=True;Data Source=%1;"
                         "Initial Catalog=Master;User ID=sa;Password=x";
    for (bool onComponent : {false, true}) {
        const char* where = onComponent ? "component: " : "own: ";
        auto row = [&](const char* name) {
            return &QTest::newRow((QString(where) + name).toUtf8().constData());
        };
        *row("template") << onComponent << tmpl.arg("10.0.0.1,1433") << true << false;
        *row("lower case") << onComponent << tmpl.arg("h").toLower() << true << false;
        *row("blank before =") << onComponent << "Provider =SQLOLEDB.1;Data Source=h" << false
                               << false;
        *row("blank after =") << onComponent << "Provider= SQLOLEDB.1;Data Source=h" << false
                              << false;
        *row("jet") << onComponent << "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=a.mdb" << false
                    << true;
        *row("other provider") << onComponent << "Provider=MSDASQL;DSN=x" << false << false;
    }
}

void TntLXDataSetTest::providerDetection() {
    QFETCH(bool, onComponent);
    QFETCH(QString, text);
    QFETCH(bool, sqlServer);
    QFETCH(bool, jet);
    TestDataSet ds;
    db::TADOConnectionComponent connection;
    // The component's text wins over the dataset's own.
    if (onComponent) {
        connection.setConnectionString(text.toStdU16String());
        ds.SetConnectionString(u"Provider=Microsoft.Jet.OLEDB.4.0;Provider=SQLOLEDB");
        ds.SetConnection(&connection);
    } else {
        ds.SetConnectionString(text.toStdU16String());
    }
    ds.DoBeforeOpen();
    QCOMPARE(ds.IsSQLServer(), sqlServer);
    QCOMPARE(ds.IsJet(), jet);
}

void TntLXDataSetTest::recordsetWithoutConnectionClearsProviderFlags() {
    TestDataSet ds;
    ds.SetConnectionString(u"Provider=SQLOLEDB.1;Data Source=h");
    ds.DoBeforeOpen();
    QVERIFY(ds.IsSQLServer());
    ds.SetRecordset(Sample());
    QVERIFY(ds.Active());
    QVERIFY(!ds.IsSQLServer());
    QVERIFY(!ds.IsJet());
}

void TntLXDataSetTest::insertStateOldValueIsNullCurrentIsTyped() {
    ds_->Insert();
    QVERIFY(!ds_->Modified());
    TField* f = ds_->FieldByName("WName");
    f->SetAsWideString(u"typed");
    QVERIFY(f->OldValue().isNull());
    QCOMPARE(f->CurValue(), Variant(u"typed"));
    QCOMPARE(f->NewValue(), Variant(u"typed"));
    QVERIFY(ds_->FieldByName("Big")->CurValue().isNull());
    ds_->Cancel();
    // Out of insert state the framework answers: the value as fetched.
    ds_->First();
    ds_->Edit();
    f->SetAsWideString(u"Plum");
    QCOMPARE(f->OldValue(), Variant(u"Pear"));
    ds_->Cancel();
}

void TntLXDataSetTest::closeEmptiesDefaultsAndFieldListReloadsThem() {
    ds_->DataEvent(db::deFieldListChange, 0);
    QCOMPARE(ds_->schemaLoads, 0); // nothing loaded yet, nothing to reload
    ds_->DefaultValues().push_back({u"x", true});
    ds_->DataEvent(db::deFieldListChange, 0);
    QCOMPARE(ds_->schemaLoads, 1);
    ds_->DataEvent(db::deDataSetChange, 0);
    QCOMPARE(ds_->schemaLoads, 1);
    int afterClose = -1;
    ds_->AfterClose = [&](db::TDataSet&) {
        afterClose = static_cast<int>(ds_->DefaultValues().size());
    };
    ds_->Close();
    QCOMPARE(afterClose, 1); // the event sees them; they go after it
    QVERIFY(ds_->DefaultValues().empty());
}

void TntLXDataSetTest::construction() {
    TTntADODataSetLX ds;
    QVERIFY(!ds.ParamCheck());
    QVERIFY(!ds.IsSQLServer());
    QVERIFY(!ds.IsJet());
    ds.SetCommandText(u"SELECT * FROM T WHERE A = :a");
    QVERIFY(ds.Parameters().empty());
    TTntADOTableLX table;
    QCOMPARE(table.CommandType(), db::cmdTable);
    QCOMPARE(table.CommandTimeout(), 30);
    QVERIFY(!table.ParamCheck());
    QVERIFY(!table.TableDirect());
    table.SetTableName(u"Customers");
    QCOMPARE(table.CommandText(), WideString(u"Customers"));
}

void TntLXDataSetTest::readOnlyMapsToLockType_data() {
    QTest::addColumn<int>("initial");
    QTest::newRow("read-only") << int(db::ltReadOnly);
    QTest::newRow("pessimistic") << int(db::ltPessimistic);
    QTest::newRow("batch optimistic") << int(db::ltBatchOptimistic);
    QTest::newRow("unspecified") << int(db::ltUnspecified);
}

void TntLXDataSetTest::readOnlyMapsToLockType() {
    QFETCH(int, initial);
    TTntADOTableLX table;
    table.SetLockType(static_cast<db::TADOLockType>(initial));
    QCOMPARE(table.ReadOnly(), initial == int(db::ltReadOnly));
    table.SetReadOnly(true);
    QVERIFY(table.ReadOnly());
    QCOMPARE(table.LockType(), db::ltReadOnly);
    table.SetReadOnly(false);
    QVERIFY(!table.ReadOnly());
    QCOMPARE(table.LockType(), db::ltOptimistic);
}

void TntLXDataSetTest::tableDirectMapsToCommandType() {
    TTntADOTableLX table;
    table.SetTableDirect(true);
    QCOMPARE(table.CommandType(), db::cmdTableDirect);
    QVERIFY(table.TableDirect());
    table.SetTableDirect(false);
    QCOMPARE(table.CommandType(), db::cmdTable);
}

void TntLXDataSetTest::emptyTableNameFails() {
    db::TADOConnectionComponent connection;
    TTntADOTableLX table;
    table.SetConnection(&connection);
    try {
        table.Open();
        QFAIL("a table without a name opened");
    } catch (const db::EDatabaseError& e) {
        QVERIFY2(QString(e.what()).endsWith("Missing TableName property"), e.what());
    }
    QVERIFY(!table.Active());
}

QTEST_GUILESS_MAIN(TntLXDataSetTest)
#include "tst_tntlx_dataset.moc"
